#include <gtest/gtest.h>

#include <vector>

#include "files/PSWComponents.h"

namespace {

PSWComponents Make(const std::vector<uint32_t>& values) {
    PSWComponents list;
    for (uint32_t v : values) list.Add(v);
    return list;
}

std::vector<uint32_t> Values(const PSWComponents& list) {
    std::vector<uint32_t> out;
    for (int32_t i = 0; i < list.Size(); ++i) out.push_back(list.Get(i));
    return out;
}

}  // namespace

TEST(Components, IndexedQueriesAndOutOfRange) {
    PSWComponents list = Make({0x2002, 0, 0x3010});
    EXPECT_EQ(list.Size(), 3);
    EXPECT_EQ(list.Get(2), 0x3010u);
    EXPECT_EQ(list.Get(3), 0u);
    EXPECT_EQ(list.Get(-1), 0u);
    EXPECT_TRUE(list.IsModule(0));
    EXPECT_FALSE(list.IsModule(1));
    EXPECT_FALSE(list.IsModule(3));
    EXPECT_TRUE(list.IsModuleBefore(0));
    EXPECT_TRUE(list.IsModuleBefore(1));  // the firmware entry too
    EXPECT_FALSE(list.IsModuleBefore(2));
    EXPECT_TRUE(list.IsModuleBefore(7));
    EXPECT_TRUE(list.IsModuleAfter(2));
    EXPECT_FALSE(list.IsModuleAfter(7));
    EXPECT_TRUE(list.HasComponent(0));
    EXPECT_FALSE(list.HasComponent(0x2004));
    list.ResetList();
    EXPECT_EQ(list.Size(), 0);
    EXPECT_FALSE(list.HasComponent(0));
}

TEST(Components, KeepOnlyMainOrOtherModules) {
    PSWComponents other = Make({0x2002, 0, 0x3010, 0x3008});
    other.KeepOnlyOtherModules();
    EXPECT_EQ(Values(other), (std::vector<uint32_t>{0, 0x3010}));
    PSWComponents main = Make({0x2002, 0, 0x3010, 0x3008});
    main.KeepOnlyMainModules();
    EXPECT_EQ(Values(main), (std::vector<uint32_t>{0x2002, 0x3008}));
    EXPECT_FALSE(main.HasComponent(PSWCOMP_FW));
}

TEST(Components, ChangeFirstMatchOnly) {
    PSWComponents list = Make({0x2004, 0x2004});
    list.ChangeFirstModuleFind(0x2004, 0x3010);
    EXPECT_EQ(Values(list), (std::vector<uint32_t>{0x3010, 0x2004}));
    list.ChangeFirstModuleFind(0x2008, 0x1);
    EXPECT_EQ(Values(list), (std::vector<uint32_t>{0x3010, 0x2004}));
}

TEST(Components, BeforeModulesMovedAfter) {
    PSWComponents list = Make({0x2002, 0});
    EXPECT_FALSE(list.HasAfterModules());
    list.ConvertModulesBeforeToAfter();
    EXPECT_EQ(Values(list), (std::vector<uint32_t>{0x3002, 0}));
    EXPECT_TRUE(list.HasAfterModules());
}

// The engines' shared work: the module download and its verdict,
// the module groups of a package and the reopening before each of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/ModuleData.h"
#include "files/PSWFile.h"
#include "tests/files/FilesTestHelpers.h"
#include "tests/upgrade/EngineTestSupport.h"
#include "upgrade/UpgradePrinter.h"

using enginetest::EngineLink;
using enginetest::FakeClock;
using filestest::LogCapture;

class ModuleDownload : public ::testing::Test {
  protected:
    bool Send(int type, size_t size, bool closeOnHandshake = false) {
        engine.SetClock(clock);
        data.assign(size, 0x5A);
        return engine.SendModuleToDevice(link, type, data.data(), static_cast<int>(size),
                                         closeOnHandshake, nullptr);
    }

    FakeClock clock;
    EngineLink link{clock};
    UpgradePrinter engine{255, 1};
    std::vector<unsigned char> data;
};

TEST_F(ModuleDownload, VerdictBytes) {
    struct Case {
        std::string answer;  // what the printer sends, in one read
        bool ok;
        const char* log;  // nullptr: no error line
    } cases[] = {
        {"\xAA", true, nullptr},
        {"\x06\x33", false, "Answer Error(0x33) : ID Module Error"},
        {"\x44", false, "Answer Error(0x44) : Module Error"},
    };
    for (const Case& c : cases) {
        link.reads = {"", "\x06", c.answer};  // nothing, an ignored byte, the verdict
        link.closes = 0;
        LogCapture log;
        EXPECT_EQ(Send(ModulesAvailable::MODULE_FONT, 5000), c.ok) << c.log;
        EXPECT_EQ(link.closes, 1);
        if (c.log != nullptr) {
            EXPECT_TRUE(log.Has(c.log)) << log.Text();
        }
        EXPECT_EQ(link.reads.size(), 0u);
    }
    // The module went out whole in 4096-byte pieces.
    ASSERT_GE(link.writes.size(), 2u);
    EXPECT_EQ(link.writes[0].bytes.size(), 4096u);
    EXPECT_EQ(link.writes[1].bytes.size(), 5000u - 4096u);
}

TEST_F(ModuleDownload, TransmitTimeOutsAndWaitLimitsByTypeAndSize) {
    struct Case {
        int type;
        int txTimeout;
    } cases[] = {{1, 2000}, {4, 4000}, {8, 4000}, {16, 22000}, {64, 2000}};
    for (const Case& c : cases) {
        link.reads = {"\xAA"};
        link.writeTimeouts.clear();
        link.iTimeoutTX = 777;
        ASSERT_TRUE(Send(c.type, 100));
        ASSERT_EQ(link.writeTimeouts.size(), 1u);
        EXPECT_EQ(link.writeTimeouts[0], c.txTimeout) << c.type;
        EXPECT_EQ(link.iTimeoutTX, 777) << "put back after the module";
    }
    // A silent printer is waited for exactly as long as the module asks,
    // multiplier or not: 60 s, one minute more for RFID.
    struct Wait {
        int type;
        uint64_t limitMs;
    } waits[] = {{1, 60000}, {4, 120000}, {16, 60000}};
    for (const Wait& w : waits) {
        link.reads.clear();
        link.fallback = "";
        engine.timem = 0;
        uint64_t start = clock.now;
        LogCapture log;
        EXPECT_FALSE(Send(w.type, 100));
        uint64_t waited = clock.now - start;
        EXPECT_GE(waited, w.limitMs) << w.type;
        EXPECT_LE(waited, w.limitMs + 50) << w.type;
        EXPECT_TRUE(log.Has("Wait Answer Error"));
    }
}

TEST_F(ModuleDownload, VerdictAfterTheLimitCountsAsNone) {
    link.readCostMs = 61000;  // the one read returns after the limit
    link.reads = {"\xAA"};
    EXPECT_FALSE(Send(1, 100));
}

TEST(ModuleWaitExtraTime, GrowsWithTheModuleSize) {
    struct Case {
        int type;
        int size;
        int64_t waitMs;
    } cases[] = {{1, 1024000, 60000}, {1, 1024001, 80000},  {1, 3000000, 100000},
                 {4, 100, 120000},    {8, 3000000, 160000}, {16, 100, 60000}};
    for (const Case& c : cases) {
        EXPECT_EQ(UpgradePrinter::ModuleAnswerWaitMs(c.type, c.size), c.waitMs)
            << c.type << " " << c.size;
    }
}

// A package with a module of every group, and what went to the printer.
class AllModules : public ::testing::Test {
  protected:
    void SetUp() override {
        layout.firmware = mkfile::Pattern(2048, 3);
        layout.numBanks = 2;
        const struct {
            char record;
            const char* letter;
            uint8_t seed;
        } kinds[] = {{'f', "F", 11}, {'d', "D", 12}, {'l', "L", 13}, {'x', "H", 14}};
        for (const auto& k : kinds) {
            mkfile::ModuleLayout m;
            m.typeLetter = k.letter;
            m.payload = mkfile::Pattern(300, k.seed);
            mkfile::PackageModule pm;
            pm.typeChar = k.record;
            pm.file = mkfile::BuildModule(m);
            modules.push_back(pm.file);
            layout.modules.push_back(pm);
        }
        ASSERT_TRUE(enginetest::LoadPackage(layout, psw));
        engine.SetClock(clock);
        link.fallback = "\xAA";
    }

    // Indexes (0 fonts .. 3 other) of the modules in the order they were written.
    std::vector<int> SentModules() const {
        std::vector<unsigned char> all = link.Written();
        std::vector<std::pair<size_t, int>> found;
        for (size_t m = 0; m < modules.size(); ++m) {
            auto it = std::search(all.begin(), all.end(), modules[m].begin(), modules[m].end());
            if (it != all.end()) found.push_back({static_cast<size_t>(it - all.begin()), int(m)});
        }
        std::sort(found.begin(), found.end());
        std::vector<int> order;
        for (auto& f : found) order.push_back(f.second);
        return order;
    }

    mkfile::PackageLayout layout;
    std::vector<mkfile::Bytes> modules;
    PSWFile psw;
    FakeClock clock;
    EngineLink link{clock};
    UpgradePrinter engine{255, 1};
};

TEST_F(AllModules, GroupsInListOrderEachWithItsPause) {
    EXPECT_TRUE(engine.SendAllModules(link, psw, psw.components, nullptr, 10000, true, false));
    EXPECT_EQ(SentModules(), (std::vector<int>{0, 1}));  // fonts and flash disk go before
    EXPECT_EQ(clock.Count(10000), 2);

    link.writes.clear();
    engine.timem = 3;
    EXPECT_TRUE(engine.SendAllModules(link, psw, psw.components, nullptr, 20000, false, true));
    EXPECT_EQ(SentModules(), (std::vector<int>{2, 3}));  // logos and other go after
    EXPECT_EQ(clock.Count(60000), 2);
}

TEST_F(AllModules, GivesUpAfterNineReopenings) {
    link.reopenDefault = false;
    LogCapture log;
    engine.timem = 2;
    EXPECT_FALSE(engine.SendAllModules(link, psw, psw.components, nullptr, 10000, true, true));
    EXPECT_EQ(link.reopens, 9);
    EXPECT_EQ(clock.Count(10000), 8);
    EXPECT_TRUE(log.Has("ReOpen Error. Num Max Retry found. Throw Error"));
    EXPECT_TRUE(link.writes.empty());
}

TEST_F(AllModules, AGroupWithoutRecordsIsSkippedWithoutPause) {
    PSWComponents onlyFonts;
    onlyFonts.Add(0x2002);
    PSWFile bare;
    mkfile::PackageLayout plain;
    plain.firmware = mkfile::Pattern(1024, 1);
    ASSERT_TRUE(enginetest::LoadPackage(plain, bare));
    LogCapture log;
    EXPECT_TRUE(engine.SendAllModules(link, bare, onlyFonts, nullptr, 10000, true, true));
    EXPECT_TRUE(log.Has("Fonts Module not found"));
    EXPECT_EQ(clock.Count(10000), 0);
}

TEST_F(AllModules, ANegativeMultiplierWaitsNothing) {
    engine.timem = -1;
    EXPECT_TRUE(engine.SendAllModules(link, psw, psw.components, nullptr, 10000, true, true));
    EXPECT_TRUE(clock.sleeps.empty());
}

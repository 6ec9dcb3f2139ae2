#include <string>

#include "AnswerTestSupport.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/StatusInfoGenData.h"
#include "protocol/UpgradeDataInfo.h"

TEST(UpgradeDataInfo, TextFormats) {
    UpgradeDataInfo info;
    EXPECT_TRUE(info.SetUpgradeMode("<u4>"));
    EXPECT_EQ(info.iUpgradeMode, 4);
    EXPECT_FALSE(info.SetUpgradeMode("<U6>"));
    EXPECT_EQ(info.iUpgradeMode, 0);
    EXPECT_FALSE(info.SetUpgradeMode("<U12>"));

    ASSERT_TRUE(info.SetUpgradeDeviceIDs("<4; 13; 1>"));  // blanks before a number
    EXPECT_EQ(info.iIDModel, 13u);
    ASSERT_TRUE(info.SetUpgradeDeviceIDs("<3;12abc;0>"));  // text after its digits
    EXPECT_EQ(info.iIDFamily, 3u);
    EXPECT_EQ(info.iIDModel, 12u);
    EXPECT_EQ(info.iIDCustomization, 0u);
    for (const char* bad :
         {"<1;2>", "<1;x;3>", "<1;2;3;4>", "<1;;3>", "<1;2;4294967296>", "<1;-2;3>", "<>"}) {
        EXPECT_FALSE(info.SetUpgradeDeviceIDs(bad)) << bad;
        EXPECT_EQ(info.iIDModel, 12u) << bad;
    }
    EXPECT_TRUE(info.SetUpgradeDeviceIDs("<4294967295;0;7>"));
    EXPECT_EQ(info.iIDFamily, 4294967295u);

    EXPECT_TRUE(info.SetUpgradeConfigurationSettings("<A<B>C>"));
    EXPECT_STREQ(info.szConfigurationSettings, "ABC");
    EXPECT_TRUE(info.SetUpgradeConfigurationSettings(std::string(700, 'c').c_str()));
    EXPECT_EQ(std::string(info.szConfigurationSettings), std::string(511, 'c'));
}

TEST(ProtocollDataAvailable, GroupBits) {
    ProtocollDataAvailable a;
    a.ulAvailable = 36;
    EXPECT_TRUE(a.UpgradeModulesAvailable(true, false));
    EXPECT_TRUE(a.UpgradePrinterAvailable(true, false));
    EXPECT_FALSE(a.ToolsAvailable(true, false));
    a.ulAvailable = 64;
    EXPECT_FALSE(a.ToolsAvailable(true, false));
    a.ulAvailable = 16;
    EXPECT_TRUE(a.ToolsAvailable(true, false));
}

// Status descriptions come from the printer: numbers and positions are bounded.
TEST(StatusBits, BoundsOfDescriptions) {
    StatusBitInfo bit;
    EXPECT_TRUE(bit.AddByteBit("2,7"));
    EXPECT_EQ(bit.iBit, 7);
    for (const char* bad : {"1,2,3", "12", "x,1", "3,"}) EXPECT_FALSE(bit.AddByteBit(bad)) << bad;
    EXPECT_FALSE(bit.AddId("99999999999"));
    StatusInfoGenData gen;
    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(5, 0, "Far", 0)));
    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(1, 8, "Wide", 0)));
    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(0, 0, "Zero", 0)));
    EXPECT_TRUE(gen.AddStatusBitInfo(new StatusBitInfo(4, 7, "New", 0)));
    gen.ulBitMaskSupported = 1u << 31;  // byte 4 bit 7
    ASSERT_EQ(gen.GetOnlyBitsAvailable().size(), 1u);
    EXPECT_STREQ(gen.GetOnlyBitsAvailable()[0]->szDescription, "New");
}

#include <string>

#include "AnswerTestSupport.h"
#include "protocol/LogosIDList.h"
#include "protocol/LogosType.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"
#include "protocol/UpgradeDataInfo.h"

TEST(UpgradeDataInfo, TextFormats) {
    UpgradeDataInfo info;
    EXPECT_EQ(info.iUpgradeMode, 0);
    EXPECT_TRUE(info.SetUpgradeMode("<u4>"));
    EXPECT_EQ(info.iUpgradeMode, 4);
    EXPECT_FALSE(info.SetUpgradeMode("<U6>"));
    EXPECT_EQ(info.iUpgradeMode, 0);
    EXPECT_FALSE(info.SetUpgradeMode("<U12>"));

    ASSERT_TRUE(info.SetUpgradeDeviceIDs("<3;12;0>"));
    EXPECT_EQ(info.iIDFamily, 3u);
    EXPECT_EQ(info.iIDModel, 12u);
    EXPECT_EQ(info.iIDCustomization, 0u);
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
    EXPECT_TRUE(info.SetUpgradeConfigurationSettings(" "));
    EXPECT_STREQ(info.szConfigurationSettings, "");
    EXPECT_TRUE(info.SetUpgradeConfigurationSettings(std::string(700, 'c').c_str()));
    EXPECT_EQ(std::string(info.szConfigurationSettings), std::string(511, 'c'));
}

TEST(ProtocollDataAvailable, GroupBits) {
    ProtocollDataAvailable a;
    a.ulAvailable = 36;
    EXPECT_TRUE(a.UpgradeModulesAvailable(true, false));
    EXPECT_TRUE(a.UpgradePrinterAvailable(true, false));
    EXPECT_FALSE(a.SetupDataAvailable(true, false));
    EXPECT_FALSE(a.LogoDataAvailable(true, false));
    EXPECT_FALSE(a.FontsDataAvailable(true, false));
    EXPECT_FALSE(a.ToolsAvailable(true, false));
    EXPECT_FALSE(a.StatusPrinterAvailable(true, false));
    a.ulAvailable = 64;
    EXPECT_FALSE(a.StatusPrinterAvailable(true, false));
    EXPECT_FALSE(a.ToolsAvailable(true, false));
    a.ulAvailable = 128 + 16;
    EXPECT_TRUE(a.StatusPrinterAvailable(true, false));
    EXPECT_TRUE(a.ToolsAvailable(true, false));

    a.ToolsToSave(false, true);
    a.StatusPrinterToSave(false, true);
    EXPECT_EQ(a.ulToSave, 144u);
    a.ToolsToSave(false, false);
    EXPECT_EQ(a.ulToSave, 128u);
}

TEST(LogosType, CalcNumMaxLogo) {
    auto limits = [](std::initializer_list<int> values) {
        LogosType logos;
        for (int v : values) {
            logos.vLogosInfo.push_back(new LogosInfo());
            logos.vLogosInfo.back()->iMaxLogos = v;
        }
        logos.CalcNumMaxLogo();
        return logos.iNumMaxLogo;
    };
    EXPECT_EQ(limits({5, 20}), 20);
    EXPECT_EQ(limits({5, 0}), 2147483647);
    EXPECT_EQ(limits({}), 0);
    EXPECT_EQ(limits({-3, -1}), 0);
    EXPECT_EQ(limits({-3, 4}), 4);
}

TEST(LogosIDList, KeptSortedWithDuplicates) {
    LogosIDList list;
    for (uint64_t id : {9, 3, 5, 3}) list.AddID(id);
    EXPECT_EQ(list.vIDs, (std::vector<uint64_t>{3, 3, 5, 9}));
}

TEST(StatusBits, ParsingOfDescriptions) {
    StatusBitInfo bit;
    EXPECT_TRUE(bit.AddByteBit("2,7"));
    EXPECT_EQ(bit.iByte, 2);
    EXPECT_EQ(bit.iBit, 7);
    EXPECT_TRUE(bit.AddByteBit("1,0x"));  // text after the digits is ignored
    EXPECT_EQ(bit.iByte, 1);
    EXPECT_EQ(bit.iBit, 0);
    EXPECT_FALSE(bit.AddByteBit("1,2,3"));
    EXPECT_FALSE(bit.AddByteBit("12"));
    std::string log = CaptureLog([&] { EXPECT_FALSE(bit.AddByteBit("x,1")); });
    EXPECT_NE(log.find("Error extracting byte value from x"), std::string::npos);
    EXPECT_EQ(bit.iByte, 1);
    EXPECT_FALSE(bit.AddByteBit("3,"));
    EXPECT_TRUE(bit.AddId(" 42"));
    EXPECT_EQ(bit.iID, 42);
    EXPECT_TRUE(bit.AddId("4a"));
    EXPECT_EQ(bit.iID, 4);
    EXPECT_FALSE(bit.AddId("a4"));
    EXPECT_FALSE(bit.AddId("99999999999"));
    EXPECT_TRUE(bit.AddSignal("1"));
    EXPECT_EQ(bit.eSignalFamily, 1);
    EXPECT_FALSE(bit.AddSignal(""));
}

TEST(StatusBits, GeneralStatusTableAndMask) {
    StatusInfoGenData gen;
    EXPECT_EQ(gen.iNumBytes, 4);
    EXPECT_EQ(gen.ports.iValue, 1);
    ASSERT_EQ(gen.vBits.size(), 18u);
    EXPECT_STREQ(gen.vBits[0]->szDescription, "Paper not present");
    EXPECT_EQ(gen.vBits[0]->eSignalFamily, 2);
    EXPECT_STREQ(gen.vBits[17]->szDescription, "EEPROM Error");
    EXPECT_EQ(gen.vBits[17]->iByte, 4);
    EXPECT_EQ(gen.vBits[17]->iBit, 3);

    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(5, 0, "Far", 0)));
    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(1, 8, "Wide", 0)));
    EXPECT_FALSE(gen.AddStatusBitInfo(new StatusBitInfo(0, 0, "Zero", 0)));
    EXPECT_TRUE(gen.AddStatusBitInfo(new StatusBitInfo(1, 2, "Paper low", 1)));
    EXPECT_EQ(gen.vBits.size(), 18u);
    EXPECT_TRUE(gen.AddStatusBitInfo(new StatusBitInfo(4, 7, "New", 0)));
    EXPECT_EQ(gen.vBits.size(), 19u);

    gen.ulBitMaskSupported = (1u << 31) | (1u << 2) | 1u;  // byte 4 bit 7, byte 1 bits 2 and 0
    std::vector<StatusBitInfo*> shown = gen.GetOnlyBitsAvailable();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_STREQ(shown[0]->szDescription, "Paper not present");
    EXPECT_STREQ(shown[1]->szDescription, "Paper low");
    EXPECT_STREQ(shown[2]->szDescription, "New");
    gen.SetStatusPorts(6);
    EXPECT_FALSE(gen.ports.AvailableStandardPort());
    EXPECT_TRUE(gen.ports.AvailableUsb0Port());
    EXPECT_TRUE(gen.ports.AvailableUdpPort());
}

TEST(StatusBits, ExtendedStatusInOrder) {
    StatusInfoExtData ext;
    ext.iNumBytes = 2;
    std::vector<StatusBitInfo*> bits = {new StatusBitInfo(2, 1, "b", 0),
                                        new StatusBitInfo(1, 5, "a", 0),
                                        new StatusBitInfo(3, 0, "refused", 0)};
    ext.AddStatusBitInfoList(&bits);
    EXPECT_TRUE(bits.empty());
    std::vector<StatusBitInfo*> shown = ext.GetOnlyBitsAvailable();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_STREQ(shown[0]->szDescription, "a");
    EXPECT_STREQ(shown[1]->szDescription, "b");
}

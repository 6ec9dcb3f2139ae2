#include <cstring>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/InfoItemPrnLifeInfo.h"
#include "protocol/LogoItem.h"
#include "protocol/LogosIDList.h"
#include "protocol/LogosType.h"
#include "protocol/ModuleItemPrnModuleList.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/SetupItemHeader.h"
#include "protocol/SetupItemIDList.h"
#include "protocol/SetupItemTypeDateTime.h"
#include "protocol/SetupItemTypeList.h"
#include "protocol/SetupItemTypeNumeric.h"
#include "protocol/SetupItemTypeString.h"
#include "protocol/StatusData.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"
#include "protocol/ToolsData.h"
#include "protocol/UpgradeDataInfo.h"
#include "sim/core/AnswerEncoder.h"

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(AnswerEncoder, BytesOnTheWire) {
    EXPECT_EQ(AsText(AnswerEncoder::Error(40, 3)), "\x02<C40>\x15<ERR3>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::ProtocolVersion("1.00")), "\x02<C1><1.00>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::IDList(3, {10, 20})), "\x02<C3><2><10><20><83>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::ToolLines({"a", ""})),
              std::string("\x02<C81>\x06<2>a\0 \0\x03", 15));
    EXPECT_EQ(AsText(AnswerEncoder::ModuleFont({1, 2, 3})),
              "\x02<C96><3><DATABYTES>\x01\x02\x03</DATABYTES><68>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::UpgradeInfo("U3", "", 3, 12, 0)),
              "\x02<C112><U3><><3;12;0>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::Tools(15, 0)), "\x02<C80><15><0>\x03");
    // An empty tag adds nothing to the checksum: '<' 'C' '3' '>' is 240.
    EXPECT_EQ(AsText(AnswerEncoder(3).Empty().Checksum().Finish()), "\x02<C3><><240>\x03");
    const uint8_t status[4] = {0, 1, 2, 3};
    EXPECT_EQ(AsText(AnswerEncoder::StatusBytes(status)),
              std::string("\x02<C138><DATABYTES>\x00\x01\x02\x03</DATABYTES>\x03", 35));
}

TEST(AnswerEncoder, ErrorAnswersPassTheCheck) {
    for (int code : {0, 3, 99, 150}) {
        std::vector<uint8_t> answer = AnswerEncoder::Error(96, code);
        ProtocollFields f;
        f.CreateFields(answer.data(), static_cast<int>(answer.size()));
        PrinterSetError err = 0;
        EXPECT_TRUE(f.CheckAnswer(&err));
        EXPECT_EQ(err, code < 100 ? code + 100 : code);
    }
}

TEST(AnswerEncoder, RoundTripSimpleTags) {
    Decoded version(AnswerEncoder::ProtocolVersion("1.00"));
    ASSERT_NE(version.item, nullptr);
    EXPECT_EQ(version.As<ProtocollVersion>()->ulVersion, 100u);

    Decoded header(AnswerEncoder::Lines(2, {"A", "B C"}));
    ASSERT_EQ(header.type, OBJTYPE_HEADERSETUP);
    ASSERT_NE(header.item, nullptr);
    EXPECT_STREQ(header.As<SetupItemHeader>()->vLines.at(1), "B C");
    Decoded life(AnswerEncoder::Lines(32, {"x"}));
    ASSERT_EQ(life.type, OBJTYPE_LIFEINFO);
    ASSERT_NE(life.item, nullptr);
    Decoded modules(AnswerEncoder::Lines(64, {"m1", "m2", ""}));
    ASSERT_NE(modules.item, nullptr);
    EXPECT_EQ(modules.As<ModuleItemPrnModuleList>()->vLines.size(), 3u);

    Decoded ids(AnswerEncoder::IDList(3, {7, 1000000, 0}));
    ASSERT_NE(ids.item, nullptr);
    EXPECT_EQ(ids.As<SetupItemIDList>()->vIDs, (std::vector<uint64_t>{7, 1000000, 0}));
    Decoded logoIds(AnswerEncoder::IDList(49, {8, 2}));
    ASSERT_NE(logoIds.item, nullptr);
    EXPECT_EQ(logoIds.As<LogosIDList>()->vIDs, (std::vector<uint64_t>{2, 8}));

    Decoded groups(AnswerEncoder::DataAvailable(16 + 128));
    ASSERT_NE(groups.item, nullptr);
    EXPECT_TRUE(groups.As<ProtocollDataAvailable>()->ToolsAvailable(true, true));
    Decoded tools(AnswerEncoder::Tools(0x7F, 3));
    ASSERT_NE(tools.item, nullptr);
    EXPECT_TRUE(tools.As<ToolsData>()->IsRequestedToolSupported(2, 2));

    Decoded lines(AnswerEncoder::ToolLines({"OK", "DONE"}));
    ASSERT_NE(lines.item, nullptr);
    EXPECT_STREQ(lines.As<char>() + 130, "DONE");

    std::vector<uint8_t> font = {0x02, 0x03, 0x00, '<', '>', 0x15};
    Decoded module(AnswerEncoder::ModuleFont(font));
    ASSERT_NE(module.item, nullptr);
    EXPECT_EQ(memcmp(module.item, font.data(), font.size()), 0);

    Decoded upgrade(AnswerEncoder::UpgradeInfo("U5", "BANK=2", 1, 2, 3));
    ASSERT_NE(upgrade.item, nullptr);
    EXPECT_EQ(upgrade.As<UpgradeDataInfo>()->iUpgradeMode, 5);
    EXPECT_STREQ(upgrade.As<UpgradeDataInfo>()->szConfigurationSettings, "BANK=2");
    EXPECT_EQ(upgrade.As<UpgradeDataInfo>()->iIDCustomization, 3u);

    const uint8_t bytes[4] = {9, 8, 7, 6};
    Decoded status(AnswerEncoder::StatusBytes(bytes));
    ASSERT_NE(status.item, nullptr);
    EXPECT_EQ(status.As<StatusData>()->ucStatus[3], 6);
}

TEST(AnswerEncoder, RoundTripSetupItems) {
    AnswerEncoder::SetupHead head{12, {{"D,H", 4, 2}}, "Mode", true, "extra"};
    Decoded list(AnswerEncoder::SetupList(head, 1, 2, 3, {"one", "two", "three"}));
    ASSERT_EQ(list.type, OBJTYPE_TYPELIST);
    ASSERT_NE(list.item, nullptr);
    EXPECT_EQ(list.errors, 0u);
    auto* l = list.As<SetupItemTypeList>();
    EXPECT_EQ(l->iID, 12);
    EXPECT_EQ(l->vLinks.at(0)->iViewOperation1, 2);
    EXPECT_EQ(l->vLinks.at(0)->iViewOperation2, 0);
    EXPECT_STREQ(l->vItems.at(2).szText, "three");

    AnswerEncoder::SetupHead plain{13, {}, "Level", false, ""};
    Decoded numeric(AnswerEncoder::SetupNumeric(plain, "-5", "5", "0.5", "0", "1.5"));
    ASSERT_NE(numeric.item, nullptr);
    EXPECT_EQ(numeric.errors, 0u);
    EXPECT_FLOAT_EQ(numeric.As<SetupItemTypeNumeric>()->fMinValue, -5.0f);
    EXPECT_FLOAT_EQ(numeric.As<SetupItemTypeNumeric>()->fCurValue, 1.5f);

    Decoded clock(AnswerEncoder::SetupDateTime(plain, "0126-01-31 23:59:58"));
    ASSERT_EQ(clock.type, OBJTYPE_TYPEDATETIME);
    ASSERT_NE(clock.item, nullptr);

    Decoded text(AnswerEncoder::SetupString(plain, 0, 16, 1, "", "Shop"));
    ASSERT_EQ(text.type, OBJTYPE_TYPESTRING);
    ASSERT_NE(text.item, nullptr);
    EXPECT_STREQ(text.As<SetupItemTypeString>()->szCurValue, "Shop");
}

TEST(AnswerEncoder, RoundTripLogosAndStatus) {
    std::vector<AnswerEncoder::LogoMemory> memories = {
        {1, 10, "BMP", "Y", "M1", 0, "F64X32", 0, 0},
        {2, 4, "RAW", "N", "M2", 1, "V", 2, 3},
    };
    Decoded logos(AnswerEncoder::LogosType(memories, false));
    ASSERT_NE(logos.item, nullptr);
    auto* type = logos.As<LogosType>();
    EXPECT_EQ(type->iNumMaxLogo, 10);
    EXPECT_FALSE(type->bPrintPreview);
    EXPECT_EQ(type->vLogosInfo.at(0)->uiHeight, 32u);
    EXPECT_EQ(type->vLogosInfo.at(1)->iValue9, 3);

    Decoded logo(AnswerEncoder::LogoData(4, "BMP", "A.BMP", 8, 2, {0x03, 0x02}));
    ASSERT_EQ(logo.type, OBJTYPE_LOGODATA);
    ASSERT_NE(logo.item, nullptr);
    EXPECT_EQ(logo.As<LogoItem>()->uiWidth, 8u);
    EXPECT_EQ(logo.As<LogoItem>()->pData[0], 0x03);

    const uint8_t mask[4] = {0x01, 0x00, 0x00, 0x80};
    std::vector<AnswerEncoder::StatusBit> bits = {{1, 0, 5, "Out", "Refill", 2},
                                                  {4, 7, 6, "Hot", "", 1}};
    Decoded gen(AnswerEncoder::GenStatusInfo(7, mask, bits));
    ASSERT_NE(gen.item, nullptr);
    std::vector<StatusBitInfo*> shown = gen.As<StatusInfoGenData>()->GetOnlyBitsAvailable();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_STREQ(shown[0]->szAdditionalDescription, "Refill");
    EXPECT_EQ(shown[1]->iID, 6);
    Decoded ext(AnswerEncoder::ExtStatusInfo(2, 2, {{2, 3, 9, "Drawer", "", 0}}));
    ASSERT_NE(ext.item, nullptr);
    EXPECT_EQ(ext.As<StatusInfoExtData>()->vBits.at(0)->iID, 9);
}

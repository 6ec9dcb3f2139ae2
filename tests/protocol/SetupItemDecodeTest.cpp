#include <cstring>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/InfoItemGenericInfo.h"
#include "protocol/LogoItem.h"
#include "protocol/LogosIDList.h"
#include "protocol/LogosType.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/SetupItemHeader.h"
#include "protocol/SetupItemIDList.h"
#include "protocol/StatusData.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"
#include "protocol/ToolsData.h"
#include "protocol/UpgradeDataInfo.h"

TEST(DecodeFrame, UnknownTagIsNoError) {
    Decoded unknown("\x02<C200><1.00>\x03");
    EXPECT_EQ(unknown.item, nullptr);
    EXPECT_EQ(unknown.type, OBJTYPE_NONE);
    EXPECT_FALSE(unknown.Logged("Error"));
}

// Every refused answer names its fault in the log.
TEST(DecodeFrame, RefusedAnswers) {
    const std::string block4 = "<DATABYTES>abcd</DATABYTES>";
    const std::string font = "<DATABYTES>\x01\x02\x03</DATABYTES>";
    struct Bad {
        std::string answer;
        const char* message;
    } bad[] = {
        {"<C1><1.00>\x03", "FTYPE_STX Error"},
        {"\x02\x06<1.00>\x03", "FTYPE_VCMDID_VALUE Error"},
        // Protocol version: too short to hold three digits, digits missing, or of the wrong kind.
        {"\x02<C1><1.>\x03", "FTYPE_VSTRING_VALUE Error"},
        {"\x02<C1><1.0>\x03", "FTYPE_VSTRING_VALUE Error"},
        {"\x02<C1><1.x0>\x03", "FTYPE_VSTRING_VALUE Error"},
        {"\x02<C1><100>\x03", "FTYPE_VSTRING_VALUE Error"},
        {"\x02<C1>\x03", "FTYPE_VSTRING_VALUE Error"},
        // Line lists: a count past the fields, a huge count, a count of the wrong kind.
        {STX + "<C2><3>" + Txt("a") + Txt("b") + ETX, "FTYPE_STRING_VALUE Error"},
        {STX + "<C64><2147483647>" + Txt("a") + ETX, "FTYPE_STRING_VALUE Error"},
        {STX + "<C33><x>" + ETX, "FTYPE_VINT_VALUE Error"},
        {"\x02<C35><1><line>\x03", "FTYPE_STRING_VALUE Error"},
        // Id lists: the checksum (83 here) one off, missing, or a list too short.
        {"\x02<C3><2><10><20><84>\x03", "Checksum Error"},
        {"\x02<C3><2><10><20>\x03", "FTYPE_VINT_VALUE Error"},
        {"\x02<C3><3><10><20>\x03", "FTYPE_VINT_VALUE Error"},
        {"\x02<C49><3><9><3><5><231>\x03", "Checksum Error"},
        {"\x02<C80><15>\x03", "FTYPE_VINT_VALUE Error"},
        {STX + "<C81>" + ACK + "<2>" + Txt("only") + ETX, "FTYPE_STRING_VALUE Error"},
        // Module font: the block one byte short, a bad checksum, no block.
        {"\x02<C96><4>" + font + "<68>\x03", "Buffer Size error: 4 - 3"},
        {"\x02<C96><3>" + font + "<67>\x03", "Checksum Error"},
        {"\x02<C96><3><abc>\x03", "FTYPE_VDATABYTES Error"},
        // Upgrade information.
        {"\x02<C112><U6><><1;2;3>\x03", "SetUpgradeMode Error"},
        {"\x02<C112><1><><1;2;3>\x03", "FTYPE_VSTRING_VALUE Error"},
        {STX + "<C112><U1>" + Txt("text") + "<1;2;3>\x03",
         "FTYPE_VSTRING_VALUE/FTYPE_EMPTY/FTYPE_VINT_VALUE Error"},
        {"\x02<C112><U1>", "FTYPE_VSTRING_VALUE/FTYPE_EMPTY/FTYPE_VINT_VALUE Error"},
        {"\x02<C112><U1><><1;x;3>\x03", "SetUpgradeDeviceIDs Error"},
        {"\x02<C112><U1><><123>\x03", "FTYPE_VSTRING_VALUE Error"},
        // Logos.
        {"\x02<C48><1><1><5><BMP><Y><M1><6><F100X200><8><9>\x03", "FTYPE_VSTRING_VALUE Error"},
        {"\x02<C48><1><1><5><BMP><Y><M1><6><><8><9><N>\x03",
         "FTYPE_VSTRING_VALUE or FTYPE_VINT_VALUE Error"},
        {STX + "<C50><7><BMP><L><2x1><3><DATABYTES>\xAA\x55</DATABYTES><0>" + ETX,
         "Image size Error (3 - 2)"},
        {STX + "<C50><7><BMP><L><2x><2><DATABYTES>ab</DATABYTES><0>" + ETX,
         "Extract Image size Error"},
        {STX + "<C50><7><BMP><L><2x1><2><DATABYTES>ab</DATABYTES><1>" + ETX, "Checksum Error"},
        // Status descriptions and bytes.
        {STX + "<C128><1><DATABYTES>abc</DATABYTES><0>" + ETX, "Buffer Size error: 4 - 3"},
        {STX + "<C128><1>" + block4 + "<1><1;0><1>" + Txt("d") + "<0><1>" + ETX,
         "Add Byte/Bit Error"},
        {STX + "<C128><1>" + block4 + "<1><1,0><x>" + Txt("d") + "<0><1>" + ETX,
         "Add Bit ID Error"},
        {STX + "<C128><1>" + block4 + "<1><1,0><1>" + Txt("d") + "<0><y>" + ETX,
         "Add Signal Family Error"},
        {STX + "<C128><1>" + block4 + "<1><1,0><1>" + Txt("d") + "<1><1>" + ETX,
         "FTYPE_STRING_VALUE Error"},
        {STX + "<C128><1>" + block4 + "<2><1,0><1>" + Txt("d") + "<0><1>" + ETX,
         "FTYPE_VSTRING_VALUE Error"},
        {STX + "<C129><1><2>" + ETX, "FTYPE_VINT_VALUE Error"},
        {STX + "<C138><DATABYTES>abcde</DATABYTES>" + ETX, "Buffer Size error: 4 - 5"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.answer);
        ExpectRefused(b.answer, b.message);
    }
}

TEST(DecodeFrame, OnlyProtocolVersion100IsDecoded) {
    std::vector<unsigned char> answer = AnswerBytes("\x02<C40><36>\x03");
    ProtocollFields f;
    f.CreateFields(answer.data(), static_cast<int>(answer.size()));
    ProtocollVersion other(200), current(100);
    OBJTYPE type = OBJTYPE_TOOLS;
    EXPECT_EQ(f.CreateSetupItem(nullptr, &other, &type), nullptr);
    EXPECT_EQ(type, OBJTYPE_NONE);
    void* item = f.CreateSetupItem(nullptr, &current, &type);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(type, OBJTYPE_DATAAVAILABLE);
    ProtocollFields::ReleaseSetupItem(item, type);
}

TEST(DecodeProtocolVersion, DigitsOfTheVersionText) {
    Decoded v100("\x02<C1><1.00>\x03");
    ASSERT_TRUE(v100.Is(OBJTYPE_PROTVERSION));
    EXPECT_EQ(v100.As<ProtocollVersion>()->ulVersion, 100u);
    EXPECT_TRUE(v100.Logged("Printer Protocoll Version Supported"));
    Decoded v215("\x02<C1><2.15>\x03");
    ASSERT_NE(v215.item, nullptr);
    EXPECT_EQ(v215.As<ProtocollVersion>()->ulVersion, 215u);
}

TEST(DecodeLineLists, HeaderAndInformationLines) {
    Decoded header(STX + "<C2><2>" + Txt("PRINTER X") + Txt("FW 1.2") + ETX);
    ASSERT_TRUE(header.Is(OBJTYPE_HEADERSETUP));
    auto* lines = header.As<SetupItemHeader>();
    ASSERT_EQ(lines->vLines.size(), 2u);
    EXPECT_STREQ(lines->vLines[1], "FW 1.2");
    EXPECT_TRUE(header.Logged("Number of Header Lines : 2"));
    EXPECT_TRUE(header.Logged("01 - PRINTER X"));

    Decoded empty("\x02<C2><0>\x03");
    ASSERT_NE(empty.item, nullptr);
    EXPECT_TRUE(empty.As<SetupItemHeader>()->vLines.empty());

    struct List {
        std::string answer;
        OBJTYPE type;
        size_t index;
        const char* line;
    } lists[] = {
        {STX + "<C32><1>" + Txt("Cuts 12") + ETX, OBJTYPE_LIFEINFO, 0, "Cuts 12"},
        {STX + "<C33><1>" + Txt("Serial 9") + ETX, OBJTYPE_DEVICEINFO, 0, "Serial 9"},
        {STX + "<C35><2>" + Txt("Dots 576") + Txt("Width 80") + ETX, OBJTYPE_HEADINFO, 1,
         "Width 80"},
        {STX + "<C64><1>" + Txt("FONT1") + ETX, OBJTYPE_MODULESLIST, 0, "FONT1"},
    };
    for (const List& l : lists) {
        SCOPED_TRACE(l.answer);
        Decoded d(l.answer);
        ASSERT_EQ(d.type, l.type);
        ASSERT_NE(d.item, nullptr);
        EXPECT_STREQ(d.As<InfoItemGenericInfo>()->vLines.at(l.index), l.line);
    }
    EXPECT_TRUE(Decoded(lists[3].answer).Logged("Number of Modules List : 1"));
}

TEST(DecodeIdLists, SetupIdsAndLogoIdsWithChecksum) {
    Decoded ids("\x02<C3><2><10><20>" + SumTag("<C3><2><10><20>") + "\x03");
    ASSERT_TRUE(ids.Is(OBJTYPE_IDLIST));
    EXPECT_EQ(ids.As<SetupItemIDList>()->vIDs, (std::vector<uint64_t>{10, 20}));
    // The same answer with the checksum written out (83) and one off.
    Decoded literal("\x02<C3><2><10><20><83>\x03");
    EXPECT_NE(literal.item, nullptr);

    Decoded logos("\x02<C49><3><9><3><5><230>\x03");
    ASSERT_TRUE(logos.Is(OBJTYPE_LOGOSIDLIST));
    EXPECT_EQ(logos.As<LogosIDList>()->vIDs, (std::vector<uint64_t>{3, 5, 9}));
}

TEST(DecodeGroupsAndTools, DataAvailableAndToolMasks) {
    Decoded groups("\x02<C40><36>\x03");
    ASSERT_TRUE(groups.Is(OBJTYPE_DATAAVAILABLE));
    auto* available = groups.As<ProtocollDataAvailable>();
    EXPECT_TRUE(available->UpgradeModulesAvailable(true, true));
    EXPECT_TRUE(available->UpgradePrinterAvailable(true, true));
    EXPECT_FALSE(available->ToolsAvailable(true, true));
    EXPECT_TRUE(groups.Logged("Protocoll Data Available : 36"));
    Decoded none("\x02<C40><0>\x03");
    ASSERT_NE(none.item, nullptr);
    EXPECT_EQ(none.As<ProtocollDataAvailable>()->ulAvailable, 0u);

    Decoded tools("\x02<C80><15><2>\x03");
    ASSERT_TRUE(tools.Is(OBJTYPE_TOOLS));
    EXPECT_EQ(tools.As<ToolsData>()->uiToolsMask1, 15u);
    EXPECT_EQ(tools.As<ToolsData>()->uiToolsMask2, 2u);
    EXPECT_TRUE(tools.Logged("Tools1 : 0x0000000f"));
}

TEST(DecodeToolLines, LinesStandInFixedSlots) {
    Decoded d(STX + "<C81>" + ACK + "<3>" + Txt("first") + Txt("second") + Txt("third") + ETX);
    EXPECT_EQ(d.type, OBJTYPE_NONE);
    ASSERT_NE(d.item, nullptr);
    const char* buffer = d.As<char>();
    EXPECT_EQ(std::string(buffer, 2), "03");
    EXPECT_STREQ(buffer + 2, "first");
    EXPECT_STREQ(buffer + 130, "second");
    EXPECT_STREQ(buffer + 258, "third");
    EXPECT_TRUE(d.Logged("Number of strings: 3"));
    EXPECT_TRUE(d.Logged("Line string: second"));

    std::string longLine(300, 'x');
    Decoded cut(STX + "<C81>" + ACK + "<2>" + Txt(longLine) + Txt("next") + ETX);
    ASSERT_NE(cut.item, nullptr);
    EXPECT_EQ(strlen(cut.As<char>() + 2), 125u);
    EXPECT_STREQ(cut.As<char>() + 130, "next");
}

TEST(DecodeModuleFont, SizeAndChecksum) {
    const std::string block = "<DATABYTES>\x01\x02\x03</DATABYTES>";
    Decoded font("\x02<C96><3>" + block + "<68>\x03");
    ASSERT_TRUE(font.Is(OBJTYPE_MODULEFONT));
    EXPECT_EQ(memcmp(font.item, "\x01\x02\x03", 3), 0);
    EXPECT_TRUE(font.Logged("Module Font Size Expected : 3"));
}

TEST(DecodeUpgradeInfo, ModeSettingsAndIdentifiers) {
    Decoded d("\x02<C112><U3><A=1;B=2><3;12;0>\x03");
    ASSERT_TRUE(d.Is(OBJTYPE_UPGRADEINFO));
    auto* info = d.As<UpgradeDataInfo>();
    EXPECT_EQ(info->iUpgradeMode, 3);
    EXPECT_STREQ(info->szConfigurationSettings, "A=1;B=2");
    EXPECT_EQ(info->iIDFamily, 3u);
    EXPECT_EQ(info->iIDModel, 12u);
    EXPECT_EQ(info->iIDCustomization, 0u);

    Decoded empty("\x02<C112><u4><><1;2;3>\x03");
    ASSERT_NE(empty.item, nullptr);
    EXPECT_EQ(empty.As<UpgradeDataInfo>()->iUpgradeMode, 4);
    EXPECT_STREQ(empty.As<UpgradeDataInfo>()->szConfigurationSettings, "");
    Decoded number("\x02<C112><U1><5><1;2;3>\x03");
    ASSERT_NE(number.item, nullptr);
    EXPECT_STREQ(number.As<UpgradeDataInfo>()->szConfigurationSettings, "5;");
}

TEST(DecodeLogos, MemoryDescriptions) {
    std::string first = "<1><5><BMP><Y><M1><6><F100X200><8><9>";
    std::string second = "<2><0><RAW><N><M2><0><V><0><0>";
    Decoded d("\x02<C48><2>" + first + second + "<Y>\x03");
    ASSERT_TRUE(d.Is(OBJTYPE_LOGOSTYPE));
    auto* logos = d.As<LogosType>();
    ASSERT_EQ(logos->vLogosInfo.size(), 2u);
    const LogosInfo* a = logos->vLogosInfo[0];
    EXPECT_EQ(a->iLogoKind, 1);
    EXPECT_EQ(a->iMaxLogos, 5);
    EXPECT_FALSE(a->bNotBitmap);
    EXPECT_TRUE(a->bFlagY);
    EXPECT_EQ(a->iMode, 0);
    EXPECT_EQ(a->iValue6, 6);
    EXPECT_TRUE(a->bFixedSize);
    EXPECT_EQ(a->uiWidth, 100u);
    EXPECT_EQ(a->uiHeight, 200u);
    EXPECT_EQ(a->iValue8, 8);
    EXPECT_EQ(a->iValue9, 9);
    const LogosInfo* b = logos->vLogosInfo[1];
    EXPECT_TRUE(b->bNotBitmap);
    EXPECT_FALSE(b->bFlagY);
    EXPECT_NE(b->iMode, 0);
    EXPECT_FALSE(b->bFixedSize);
    EXPECT_EQ(b->uiWidth, 16777215u);
    EXPECT_EQ(b->uiHeight, 16777215u);
    EXPECT_TRUE(logos->bPrintPreview);
    EXPECT_EQ(logos->iNumMaxLogo, LogosType::INFINITE);
    EXPECT_TRUE(d.Logged("Printer supports PrintPreview"));

    Decoded none("\x02<C48><0><N>\x03");
    ASSERT_NE(none.item, nullptr);
    EXPECT_EQ(none.As<LogosType>()->iNumMaxLogo, 0);
}

TEST(DecodeLogos, OneStoredLogo) {
    const std::string fields = "<C50><7><BMP><LOGO.BMP><2x1><2><DATABYTES>\xAA\x55</DATABYTES>";
    Decoded d(STX + fields + SumTag(fields) + ETX);
    ASSERT_TRUE(d.Is(OBJTYPE_LOGODATA));
    auto* logo = d.As<LogoItem>();
    EXPECT_EQ(logo->ulLogoID, 7u);
    EXPECT_TRUE(logo->bBitmap);
    EXPECT_STREQ(logo->szFileName, "LOGO.BMP");
    EXPECT_EQ(logo->uiWidth, 2u);
    EXPECT_EQ(logo->uiHeight, 1u);
    ASSERT_EQ(logo->iDataSize, 2);
    EXPECT_EQ(logo->pData[0], 0xAA);
    EXPECT_TRUE(d.Logged("Logo Image Size : 2x1 (2 x 1)"));

    // The size may come as a text as well as a tag.
    const std::string text =
        "<C50><7><BMP><LOGO.BMP>" + Txt("640x48") + "<2><DATABYTES>ab</DATABYTES>";
    Decoded t(STX + text + SumTag(text) + ETX);
    ASSERT_TRUE(t.Is(OBJTYPE_LOGODATA));
    EXPECT_EQ(t.As<LogoItem>()->uiWidth, 640u);
    EXPECT_EQ(t.As<LogoItem>()->uiHeight, 48u);
}

TEST(DecodeStatus, GeneralDescriptionReplacesStandardBits) {
    // Mask bytes in host order: bits 0 (byte 1 bit 0) and 9 (byte 2 bit 1).
    uint32_t mask = 0x201;
    std::string block =
        "<DATABYTES>" + std::string(reinterpret_cast<char*>(&mask), 4) + "</DATABYTES>";
    std::string bit1 = "<1,0>< 3>" + Txt("No paper") + "<1>" + Txt("Load paper") + "< 2>";
    std::string bit2 = "<2,1><4>" + Txt("Lid open") + "<0><1>";
    Decoded d(STX + "<C128><3>" + block + "<2>" + bit1 + bit2 + ETX);
    ASSERT_TRUE(d.Is(OBJTYPE_GENSTATUSINFO));
    auto* info = d.As<StatusInfoGenData>();
    EXPECT_EQ(info->ports.iValue, 3);
    EXPECT_EQ(info->ulBitMaskSupported, 0x201u);
    std::vector<StatusBitInfo*> shown = info->GetOnlyBitsAvailable();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_STREQ(shown[0]->szDescription, "No paper");
    EXPECT_STREQ(shown[0]->szAdditionalDescription, "Load paper");
    EXPECT_EQ(shown[0]->iID, 3);
    EXPECT_EQ(shown[0]->eSignalFamily, 2);
    EXPECT_STREQ(shown[1]->szDescription, "Lid open");
    EXPECT_EQ(shown[1]->iID, 4);
    EXPECT_EQ(info->vBits.size(), 18u);  // the standard bits, two replaced
    EXPECT_TRUE(d.Logged("Bit mask supported : 0x00000201"));

    Decoded none(STX + "<C128><1>" + block + "<0>" + ETX);
    ASSERT_NE(none.item, nullptr);
    EXPECT_EQ(none.As<StatusInfoGenData>()->vBits.size(), 18u);
}

TEST(DecodeStatus, ExtendedDescriptionAndStatusBytes) {
    std::string bits =
        "<3,7>< 1>" + Txt("Drawer") + "<0>< 0>" + "<9,0>< 2>" + Txt("Far") + "<0>< 0>";
    Decoded d(STX + "<C129><4><3><2>" + bits + ETX);
    ASSERT_TRUE(d.Is(OBJTYPE_EXTSTATUSINFO));
    auto* info = d.As<StatusInfoExtData>();
    EXPECT_EQ(info->iNumBytes, 3);
    EXPECT_TRUE(info->ports.AvailableUdpPort());
    // The bit of byte 9 lies outside the three bytes and is refused.
    ASSERT_EQ(info->vBits.size(), 1u);
    EXPECT_EQ(info->vBits[0]->iByte, 3);
    EXPECT_EQ(info->vBits[0]->iBit, 7);
    EXPECT_TRUE(d.Logged("Bit : {0}"));

    Decoded status(STX + "<C138><DATABYTES>" + std::string("\x01\x00\x80\x03", 4) + "</DATABYTES>" +
                   ETX);
    ASSERT_TRUE(status.Is(OBJTYPE_STATUSDATA));
    auto* bytes = status.As<StatusData>();
    EXPECT_EQ(bytes->ucStatus[0], 1);
    EXPECT_EQ(bytes->ucStatus[2], 0x80);
    EXPECT_EQ(bytes->ucStatus[3], 3);
}

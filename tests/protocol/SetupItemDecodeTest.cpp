#include <cstring>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/InfoItemGenericInfo.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/ToolsData.h"
#include "protocol/UpgradeDataInfo.h"

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
        {STX + "<C50><7><BMP><L><2x1><3><DATABYTES>\xAA\x55</DATABYTES><0>" + ETX,
         "Image size Error (3 - 2)"},
        {STX + "<C50><7><BMP><L><2x1><2><DATABYTES>ab</DATABYTES><1>" + ETX, "Checksum Error"},
        // Status descriptions and bytes.
        {STX + "<C128><1><DATABYTES>abc</DATABYTES><0>" + ETX, "Buffer Size error: 4 - 3"},
        {STX + "<C128><1>" + block4 + "<1><1;0><1>" + Txt("d") + "<0><1>" + ETX,
         "Add Byte/Bit Error"},
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
    Decoded unknown("\x02<C200><1.00>\x03");  // an unknown tag is no error
    EXPECT_EQ(unknown.item, nullptr);
    EXPECT_FALSE(unknown.Logged("Error"));
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

TEST(DecodeLineLists, ModuleList) {
    Decoded modules(STX + "<C64><2>" + Txt("FONT1") + Txt("DISK") + ETX);
    ASSERT_TRUE(modules.Is(OBJTYPE_MODULESLIST));
    EXPECT_STREQ(modules.As<InfoItemGenericInfo>()->vLines.at(1), "DISK");
    EXPECT_TRUE(modules.Logged("Number of Modules List : 2"));
}

TEST(DecodeGroupsAndTools, DataAvailableAndToolMasks) {
    Decoded groups("\x02<C40><36>\x03");
    ASSERT_TRUE(groups.Is(OBJTYPE_DATAAVAILABLE));
    auto* available = groups.As<ProtocollDataAvailable>();
    EXPECT_EQ(available->ulAvailable, 36u);
    EXPECT_TRUE(groups.Logged("Protocoll Data Available : 36"));

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
    EXPECT_TRUE(d.Logged("Line string: second"));

    std::string longLine(300, 'x');
    Decoded cut(STX + "<C81>" + ACK + "<2>" + Txt(longLine) + Txt("next") + ETX);
    ASSERT_NE(cut.item, nullptr);
    EXPECT_EQ(strlen(cut.As<char>() + 2), 125u);
    EXPECT_STREQ(cut.As<char>() + 130, "next");
}

TEST(DecodeUpgradeInfo, ModeSettingsAndIdentifiers) {
    Decoded d("\x02<C112><U3><A=1;B=2><3;12;0>\x03");
    ASSERT_TRUE(d.Is(OBJTYPE_UPGRADEINFO));
    auto* info = d.As<UpgradeDataInfo>();
    EXPECT_EQ(info->iUpgradeMode, 3);
    EXPECT_STREQ(info->szConfigurationSettings, "A=1;B=2");
    EXPECT_EQ(info->iIDModel, 12u);
    Decoded number("\x02<C112><U1><5><1;2;3>\x03");
    ASSERT_NE(number.item, nullptr);
    EXPECT_STREQ(number.As<UpgradeDataInfo>()->szConfigurationSettings, "5;");
}

// A record the program never asks for, decoded when a printer sends it.
TEST(DecodeRecords, StatusBitsOutsideTheStatusBytesAreRefused) {
    // A bit of byte 9 lies outside the three bytes and is refused.
    Decoded ext(STX + "<C129><4><3><2><3,7>< 1>" + Txt("Drawer") + "<0>< 0><9,0>< 2>" + Txt("Far") +
                "<0>< 0>" + ETX);
    ASSERT_TRUE(ext.Is(OBJTYPE_EXTSTATUSINFO));
    EXPECT_EQ(ext.As<StatusInfoExtData>()->vBits.size(), 1u);
}

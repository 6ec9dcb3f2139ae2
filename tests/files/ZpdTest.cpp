#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/ZPDFormat.h"
#include "sim/mkfile/MkFile.h"
#include "tests/files/FilesTestHelpers.h"
#include "tests/support/TempDir.h"

using filestest::LogCapture;

namespace {

bool Load(CZPDFormat& zpd, const std::string& text) {
    return zpd.LoadFromMemory(text.data(), text.size());
}

testing::AssertionResult Refused(const std::string& text,
                                 std::initializer_list<std::string> messages) {
    return filestest::Refused<CZPDFormat>([&](CZPDFormat& zpd) { return Load(zpd, text); },
                                          messages);
}

// A script with the given body lines and the right checksum.
std::string Script(const std::vector<std::string>& body, bool crlf = false) {
    mkfile::ZpdLayout layout;
    layout.body = body;
    layout.crlf = crlf;
    return mkfile::BuildZpd(layout);
}

}  // namespace

TEST(ZpdBuilder, ChecksumAndLayoutByHand) {
    mkfile::ZpdLayout layout;
    layout.body = {"[1B]"};
    // Sum of the characters of "#>HB", "#>DEV:1234 REL:0100", "#>HE", "[1B]", "#>ZPDEND".
    EXPECT_EQ(mkfile::BuildZpd(layout),
              "#>ZPD100\n#>CK:096C\n#>HB\n#>DEV:1234 REL:0100\n#>HE\n[1B]\n#>ZPDEND\n");
    layout.crlf = true;
    EXPECT_EQ(mkfile::BuildZpd(layout).substr(0, 22), "#>ZPD100\r\n#>CK:096C\r\n#");
}

TEST(Zpd, LoadsElementsDeviceAndDescriptions) {
    CZPDFormat zpd;
    ASSERT_TRUE(Load(zpd, Script({"# init printer", "[1B][40]", "xx[0A]", "", "[0D]", "# second",
                                  "#>[OP_WAITPSANSWER]", "[01]", "#>[OP_RESETDEV]",
                                  "#>[OP_SLEEPMSEC] 250", "#>UNKNOWN", "no pairs at all"})));
    EXPECT_EQ(zpd.uiDeviceGSI, 0x1234u);
    EXPECT_EQ(zpd.strDeviceRelease, "0100");
    ASSERT_EQ(zpd.vElements.size(), 7u);
    const CZPDElement& first = *zpd.vElements[0];
    EXPECT_EQ(first.eType, ZPD_DATA);
    ASSERT_EQ(first.uiLength, 2u);
    EXPECT_EQ(first.pData[1], 0x40);
    ASSERT_NE(zpd.vElements[1]->pDescription, nullptr);  // kept for the next data line
    EXPECT_STREQ(zpd.vElements[1]->pDescription.get(), "# init printer");
    EXPECT_EQ(zpd.vElements[2]->pDescription, nullptr);  // cleared by the empty line
    EXPECT_EQ(zpd.vElements[3]->eType, ZPD_WAITANSWER);
    EXPECT_TRUE(zpd.vElements[3]->IsAnswerCheck());
    EXPECT_EQ(zpd.vElements[4]->pDescription, nullptr);  // cleared by the directive
    EXPECT_EQ(zpd.vElements[5]->eType, ZPD_RESETDEV);
    EXPECT_EQ(zpd.vElements[6]->uiSleepMsec, 250u);
}

// Refused scripts, each with the message that says why: signature, version,
// checksum line and value, device line, elements.
TEST(Zpd, RefusedScripts) {
    const std::string good = Script({"[01]"});
    const std::string body = good.substr(good.find('\n') + 1);
    mkfile::ZpdLayout badSum;
    badSum.body = {"[01]"};
    badSum.checksum = 0x1234;
    mkfile::ZpdLayout noDevice;
    noDevice.deviceLine = false;
    struct Row {
        std::string text;
        std::string message;
    };
    std::vector<Row> rows = {
        {"#>ZPD10\n" + body, "File isn't ZPD format (protocol version unsupported)"},
        {"#ZPD100\n" + body, "[LoadFile]File isn't ZPD format\n"},
        {"", ""},
        {mkfile::BuildZpd(badSum), "File checksum error"},
        {mkfile::BuildZpd(noDevice), "File device data error"},  // checksum right
    };
    for (const char* text :
         {"#>ZPD100\n#>CK:12G4\n#>HB\n", "#>ZPD100\n#>CK:\n", "#>ZPD100\n#>XX:0000\n", "#>ZPD100"})
        rows.push_back({text, "File isn't ZPD format (checksum not available)"});
    for (const char* line :
         {"#>DEV:12", "#>DEV:12G4 REL:0100", "#>DEV:1234 REL:", "#>DEV:0000 REL:01"}) {
        mkfile::ZpdLayout layout = noDevice;
        layout.body = {"#>HB", line, "#>HE"};
        rows.push_back({mkfile::BuildZpd(layout), "File device data error"});
    }
    for (const char* line :
         {"no bytes here", "[01][G1]", "#>[OP_SLEEPMSEC] soon", "#>[OP_SLEEPMSEC]-5",
          "#>[OP_SLEEPMSEC] 99999999999", "#>[OP_SLEEPMSEC]"})
        rows.push_back({Script({line}), "File elements error"});
    for (const Row& row : rows) {
        EXPECT_TRUE(row.message.empty() ? Refused(row.text, {}) : Refused(row.text, {row.message}))
            << row.text;
    }
    CZPDFormat zpd;
    EXPECT_FALSE(Load(zpd, mkfile::BuildZpd(badSum)));
    EXPECT_TRUE(zpd.vElements.empty());
    EXPECT_EQ(zpd.uiDeviceGSI, 0u);
    LogCapture log;
    EXPECT_FALSE(Load(zpd, mkfile::BuildZpd(noDevice)));
    EXPECT_FALSE(log.Has("File checksum error"));
}

// Accepted variants: a longer version text (three characters compared), no
// end line (every body line counts), lines after the end line (none counts),
// a short release, device data inside the header block.
TEST(Zpd, AcceptedVariants) {
    const std::string good = Script({"[01]"});
    CZPDFormat zpd;
    EXPECT_TRUE(Load(zpd, "#>ZPD1000\n" + good.substr(good.find('\n') + 1)));
    mkfile::ZpdLayout layout;
    layout.body = {"[01]"};
    layout.end = false;
    EXPECT_TRUE(Load(zpd, mkfile::BuildZpd(layout)));
    layout.end = true;
    EXPECT_TRUE(Load(zpd, mkfile::BuildZpd(layout) + "[FF]\nwhatever\n"));
    EXPECT_EQ(zpd.vElements.size(), 1u);
    layout = mkfile::ZpdLayout();
    layout.release = "7";
    EXPECT_TRUE(Load(zpd, mkfile::BuildZpd(layout)));
    EXPECT_EQ(zpd.strDeviceRelease, "7");

    layout = mkfile::ZpdLayout();
    layout.deviceLine = false;
    layout.body = {"#>HB", "[01][02]", "#>DEV:ABCD REL:0001", "#>HE", "[03]"};
    ASSERT_TRUE(Load(zpd, mkfile::BuildZpd(layout)));
    EXPECT_EQ(zpd.uiDeviceGSI, 0xABCDu);
    ASSERT_EQ(zpd.vElements.size(), 1u);
    EXPECT_EQ(zpd.vElements[0]->pData[0], 0x03);
}

TEST(Zpd, CrLfCountsNeitherInChecksumNorInDescriptions) {
    CZPDFormat zpd;
    ASSERT_TRUE(Load(zpd, Script({"# comment", "[0A][0b]x[FF]", "#>[OP_SLEEPMSEC]12 ms"}, true)));
    EXPECT_EQ(zpd.strDeviceRelease, "0100");
    ASSERT_EQ(zpd.vElements.size(), 2u);
    EXPECT_STREQ(zpd.vElements[0]->pDescription.get(), "# comment");
    ASSERT_EQ(zpd.vElements[0]->uiLength, 3u);
    EXPECT_EQ(zpd.vElements[0]->pData[1], 0x0B);
    EXPECT_EQ(zpd.vElements[0]->pData[2], 0xFF);
    EXPECT_EQ(zpd.vElements[1]->uiSleepMsec, 12u);
}

TEST(Zpd, ByteArrayScan) {
    std::unique_ptr<unsigned char[]> bytes;
    std::string text = "[0A][0B";
    EXPECT_EQ(CZPDFormat::ZPDStringToByteArray(text.data(), text.size(), bytes), 1);
    text = "[0A";
    EXPECT_EQ(CZPDFormat::ZPDStringToByteArray(text.data(), text.size(), bytes), 0);
    EXPECT_EQ(bytes, nullptr);
    text = "[0A[11][22]";  // a "[" not closed three on ends the scan
    EXPECT_EQ(CZPDFormat::ZPDStringToByteArray(text.data(), text.size(), bytes), 0);
    text = "[zz]";
    EXPECT_EQ(CZPDFormat::ZPDStringToByteArray(text.data(), text.size(), bytes), -1);
    EXPECT_EQ(CZPDFormat::GetZPDStringChecksum("A\r\nB", 4), 131u);
}

TEST(Zpd, Files) {
    testsupport::TempDir dir;
    CZPDFormat zpd;
    LogCapture log;
    EXPECT_FALSE(zpd.LoadFile(dir.file("missing.zpd").c_str()));
    EXPECT_TRUE(log.Has("File doesn't exist"));
    EXPECT_TRUE(zpd.LoadFile(dir.write("ok.zpd", Script({"[01]"})).c_str()));
}

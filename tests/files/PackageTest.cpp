#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/ModuleData.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderFonts.h"
#include "files/PSWHeaderLogos.h"
#include "files/PSWHeaderModule.h"
#include "files/PSWHeaderPrinter.h"
#include "files/PSWHeaderSoftware.h"
#include "files/PSWHeaderUpgrade.h"
#include "sim/mkfile/MkFile.h"
#include "tests/files/FilesTestHelpers.h"

using filestest::LogCapture;

namespace {

mkfile::Bytes ModuleFile(const std::string& letter, uint8_t key, int mode = 0) {
    mkfile::ModuleLayout layout;
    layout.typeLetter = letter;
    layout.key = key;
    layout.enmode = mode;
    layout.payload = mkfile::Pattern(500, static_cast<uint8_t>(letter[0]));
    return mkfile::BuildModule(layout);
}

mkfile::PackageLayout FullLayout(int generation, uint8_t key) {
    mkfile::PackageLayout layout;
    layout.generation = generation;
    layout.key = key;
    layout.firmware = mkfile::Pattern(3000, 1);
    layout.numBanks = 3;
    layout.logos = {{20, 8, {}}, {64, 2, {}}};
    mkfile::PackageFont font;
    font.marginRight = 3;
    layout.fonts = {font};
    layout.modules = {{'f', ModuleFile("F", 0x11), 0, 0},
                      {'d', ModuleFile("D", 0x12, 1), 0, 0},
                      {'l', ModuleFile("L", 0), 0, 0},
                      {'Z', ModuleFile("E", 0x13), 0, 0}};
    return layout;
}

bool Load(PSWFile& psw, const mkfile::Bytes& file, bool requireUpgrade = true) {
    return psw.LoadPSWFromMemory(file.data(), static_cast<int64_t>(file.size()), requireUpgrade);
}

testing::AssertionResult Refused(const mkfile::Bytes& file,
                                 std::initializer_list<std::string> messages) {
    return filestest::Refused<PSWFile>([&](PSWFile& psw) { return Load(psw, file); }, messages);
}

std::vector<uint32_t> Components(const PSWFile& psw) {
    std::vector<uint32_t> out;
    for (int32_t i = 0; i < psw.components.Size(); ++i) out.push_back(psw.components.Get(i));
    return out;
}

void PutBE(mkfile::Bytes& b, size_t at, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) b[at + i] = value & 0xFF;
}

}  // namespace

TEST(PackageBuilder, FirstGenerationBytesByHand) {
    mkfile::PackageLayout layout;
    layout.generation = 1;
    layout.key = 0x01;
    layout.firmware.assign(4, 0x00);
    layout.numBanks = 1;
    mkfile::Bytes b = mkfile::BuildPackage(layout);
    ASSERT_EQ(b.size(), 76u);  // printer, software, 8-byte bin record, 4 data bytes
    EXPECT_EQ(std::string(b.begin(), b.begin() + 14), std::string("PPRN80\0\0\0"
                                                                  "01123",
                                                                  14));
    EXPECT_EQ(b[21], 0xCA);  // GSI low 0x34 scrambled: NOT(0x34 XOR 0x01)
    EXPECT_EQ(b[23], 0x01);
    EXPECT_EQ(b[24], '1');
    EXPECT_EQ(b[25], 0x12);
    // Checksum over the plain data area: 0 and 0^0 + 0^1 + 0^2 + 0^3.
    EXPECT_EQ(mkfile::Bytes(b.begin() + 26, b.begin() + 30), (mkfile::Bytes{0, 0, 0, 6}));
    EXPECT_EQ(b[32], 'S');
    EXPECT_EQ(b[38], 0xAA);
    EXPECT_EQ(mkfile::Bytes(b.begin() + 39, b.begin() + 45), (mkfile::Bytes{0, 1, 0, 2, 0, 3}));
    EXPECT_EQ(mkfile::Bytes(b.begin() + 64, b.end()),
              (mkfile::Bytes{'@', 0, 0, 4, 1, 0, 0, 4, 0xFE, 0xFE, 0xFE, 0xFE}));
}

TEST(Package, RoundTripBothGenerationsOddAndEvenKeys) {
    for (int generation : {1, 2}) {
        for (uint8_t key : {0x00, 0x01, 0x02, 0xFF}) {
            SCOPED_TRACE("generation " + std::to_string(generation) + " key " +
                         std::to_string(key));
            mkfile::PackageLayout layout = FullLayout(generation, key);
            PSWFile psw;
            LogCapture log;
            ASSERT_TRUE(Load(psw, mkfile::BuildPackage(layout)));
            EXPECT_TRUE(log.Has("File integrity Checksum PASSED!"));
            EXPECT_EQ(psw.iPswType, generation == 2 ? 1u : 0u);
            PSWHeaderPrinter* printer = psw.GetHeaderPrinter();
            ASSERT_NE(printer, nullptr);
            EXPECT_EQ(printer->iGSILow, 0x34);
            EXPECT_EQ(printer->iGSIHight, 0x12);
            EXPECT_EQ(printer->strReleasePSW, "123");
            auto* upgrade = static_cast<PSWHeaderUpgrade*>(psw.GetHeaders(HTYPE_UPGRADE).at(0));
            EXPECT_EQ(upgrade->iIDModel, 2);

            auto* logo = static_cast<PSWHeaderLogos*>(psw.GetHeaders(HTYPE_LOGOS).at(0));
            EXPECT_EQ(logo->uiDataSize, 2u * 8);  // 20 dots wide: the partial byte is dropped
            mkfile::Bytes expectedLogo = mkfile::Pattern(16, 7);
            EXPECT_EQ(0, memcmp(logo->pDataBuffer.get(), expectedLogo.data(), 16));

            auto* font = static_cast<PSWHeaderFonts*>(psw.GetHeaders(HTYPE_FONTS).at(0));
            EXPECT_EQ(font->uiDataSize, 2u * 24 * 96);  // ceil(15 / 8) bytes, 24 rows, 96 chars

            PSWHeaderBin* bin = psw.GetHeaderBin();
            ASSERT_NE(bin, nullptr);
            if (generation == 1) {
                EXPECT_EQ(bin->uiBinSize, 1000u);
                EXPECT_EQ(0, memcmp(bin->pDataBuffer.get(), layout.firmware.data(), 3000));
                EXPECT_EQ(Components(psw),
                          (std::vector<uint32_t>{0, 0x2002, 0x2004, 0x3008, 0x3010}));
            } else {
                PSWHeaderModule* fw = psw.GetHeaderModuleSoftware();
                ASSERT_NE(fw, nullptr);
                EXPECT_EQ(fw->uiBankDim, 1000u);
                EXPECT_EQ(0, memcmp(fw->pDataBuffer.get(), layout.firmware.data(), 3000));
                EXPECT_EQ(Components(psw),
                          (std::vector<uint32_t>{0, 0, 0x2002, 0x2004, 0x3008, 0x3010}));
            }
            auto modules = psw.GetHeaders(HTYPE_MODULE);
            const size_t first = generation == 2 ? 1 : 0;
            ASSERT_EQ(modules.size(), first + 4);
            for (size_t i = 0; i < 4; ++i) {
                auto* m = static_cast<PSWHeaderModule*>(modules[first + i]);
                const mkfile::Bytes& file = layout.modules[i].file;
                ASSERT_EQ(m->uiDataSize, file.size());
                EXPECT_EQ(0, memcmp(m->pDataBuffer.get(), file.data(), file.size()));
            }
            EXPECT_EQ(static_cast<PSWHeaderModule*>(modules[first + 3])->modModuleID, 5);

            // A second unscrambling changes nothing.
            ASSERT_TRUE(psw.DecryptionData());
            EXPECT_EQ(0, memcmp(logo->pDataBuffer.get(), expectedLogo.data(), 16));
        }
    }
}

TEST(Package, IntegrityCheckInBothGenerations) {
    for (int generation : {1, 2}) {
        SCOPED_TRACE(generation);
        mkfile::Bytes good = mkfile::BuildPackage(FullLayout(generation, 0x35));
        const size_t dataByte = good.size() - 100;
        {
            mkfile::Bytes bad = good;
            bad[dataByte] ^= 0x40;
            PSWFile psw;
            LogCapture log;
            EXPECT_FALSE(Load(psw, bad));
            EXPECT_TRUE(log.Has("ERROR File integrity Checksum!"));
            EXPECT_TRUE(log.Has("ERROR Checksum file (1) : 0x"));
            // The second generation checks before unscrambling, the first after.
            EXPECT_EQ(log.Has("ERROR Checksum file (1)") && !log.Has("Found 10 (HEADER BIN)"),
                      generation == 2);
        }
        {
            // Plain package, so that the file bytes are the checked bytes. Two
            // neighbours at an even distance from the start of the checked
            // run whose low bits differ: swapping them keeps the sum and
            // changes the XOR sum by 2. Both runs start at an even offset.
            mkfile::Bytes swapped = mkfile::BuildPackage(FullLayout(generation, 0x00));
            size_t i = (swapped.size() - 100) & ~size_t(1);
            while (((swapped[i] ^ swapped[i + 1]) & 1) == 0) i += 2;
            std::swap(swapped[i], swapped[i + 1]);
            EXPECT_TRUE(Refused(swapped, {"ERROR Checksum file (2) : 0x"}));
        }
        {
            mkfile::PackageLayout layout = FullLayout(generation, 0x35);
            layout.checksum = false;
            mkfile::Bytes off = mkfile::BuildPackage(layout);
            off[off.size() - 1] ^= 0x01;  // inside the firmware or a module's trailer
            PSWFile psw;
            LogCapture log;
            EXPECT_TRUE(Load(psw, off));
            EXPECT_TRUE(log.Has("Checksum not available into the PSW file"));
        }
    }
}

TEST(Package, MissingOrDoubledRecordsAndUpgradeFields) {
    EXPECT_TRUE(Refused(mkfile::Bytes(64, 'x'),
                        {"Found 0 Headers", "ERROR Searching Header 1 (HEADER PRINTER)"}));
    {
        mkfile::PackageLayout layout = FullLayout(2, 0x10);
        layout.upgrade = false;
        mkfile::Bytes b = mkfile::BuildPackage(layout);
        EXPECT_TRUE(Refused(b, {"This PSW doesn't contain the Upgrade fields"}));
        PSWFile relaxed;
        EXPECT_TRUE(Load(relaxed, b, false));
    }
    {
        // A second software record (a raw record before the bin record).
        mkfile::PackageLayout layout = FullLayout(1, 0x10);
        mkfile::Bytes extra(32, 0);
        extra[0] = 'S';
        layout.extraRecords = {extra};
        EXPECT_TRUE(
            Refused(mkfile::BuildPackage(layout), {"ERROR Searching Header 2 (HEADER SOFTWARE)"}));
    }
    {
        // No bin record: the scan stops at a byte that is no marker.
        mkfile::Bytes b = mkfile::BuildPackage(FullLayout(1, 0));
        size_t bin = 32 * (2 + 2 + 1 + 4);
        ASSERT_EQ(b[bin], '@');
        b[bin] = 'z';
        EXPECT_TRUE(Refused(b, {"ERROR Searching Header 10 (HEADER BIN)"}));
    }
    // Nothing after the bin record is read: a second printer record there.
    mkfile::Bytes b = mkfile::BuildPackage(FullLayout(1, 0x21));
    mkfile::Bytes tail(32, 0);
    tail[0] = 'P';
    b.insert(b.end(), tail.begin(), tail.end());
    PSWFile psw;
    EXPECT_TRUE(Load(psw, b));
    EXPECT_EQ(psw.GetHeadersCount(HTYPE_PRINTER), 1);
}

TEST(Package, RangesTakenFromTheFileAreChecked) {
    mkfile::PackageLayout layout = FullLayout(2, 0x21);
    layout.checksum = false;
    const mkfile::Bytes good = mkfile::BuildPackage(layout);
    const size_t logoRecord = 64 + 32;        // after printer and software
    const size_t moduleRecord = 32 * 5 + 32;  // after 2 logos, 1 font, fw module
    const size_t binRecord = 32 * 10;
    ASSERT_EQ(good[logoRecord], 'l');
    ASSERT_EQ(good[moduleRecord], 'm');
    ASSERT_EQ(good[binRecord], '?');
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int bytes;
    } cases[] = {
        {"module size", moduleRecord + 8, 0xFFFFFFF0u, 4},
        {"module start before the data area", moduleRecord + 4, 10, 4},
        {"module start past the end", moduleRecord + 4, 0x7FFFFFFFu, 4},
        {"logo size", logoRecord + 5, 0xFFFF, 2},
        {"bin length", binRecord + 1, static_cast<uint32_t>(good.size()), 4},
    };
    for (const Case& c : cases) {
        mkfile::Bytes bad = good;
        PutBE(bad, c.at, c.value, c.bytes);
        PSWFile psw;
        LogCapture log;
        EXPECT_FALSE(Load(psw, bad)) << c.what;
        EXPECT_TRUE(log.Has("out of range") || log.Has("exceeds the file")) << c.what;
    }
    // Every truncation of the package fails cleanly.
    for (size_t length = 0; length < binRecord + 5 + 40; ++length) {
        PSWFile psw;
        EXPECT_FALSE(Load(psw, mkfile::Bytes(good.begin(), good.begin() + length))) << length;
    }
    PSWFile none;
    EXPECT_FALSE(none.LoadPSWFromMemory(nullptr, 5, true));
    EXPECT_FALSE(none.LoadPSWFromFile("/nonexistent/x.psw", true));
}

TEST(Package, DiskMarkedModuleThatIsNoDiskModuleBecomesOther) {
    mkfile::PackageLayout layout;
    layout.key = 0x44;
    layout.firmware = mkfile::Pattern(100, 2);
    layout.modules = {{'d', ModuleFile("F", 0x09), 0, 0}, {'d', ModuleFile("D", 0x09), 0, 0}};
    PSWFile psw;
    ASSERT_TRUE(Load(psw, mkfile::BuildPackage(layout)));
    EXPECT_EQ(Components(psw), (std::vector<uint32_t>{0, 0, 0x3010, 0x2004}));
}

TEST(Package, RecordFieldsOfBothForms) {
    unsigned char s[32] = {'S', 4, 9, 0x01, 0x02, 0x03, 0x00};
    PSWHeaderSoftware old;
    bool carries = false;
    ASSERT_EQ(old.ExtractHederInfo(s, 32, 0, carries), 0);
    EXPECT_EQ(old.iNumTotBanks, 9);
    EXPECT_EQ(old.uiAddrStart, 0x010203u);
    s[0] = 's';
    PSWHeaderSoftware second;
    ASSERT_EQ(second.ExtractHederInfo(s, 32, 0, carries), 0);
    EXPECT_EQ(second.iNumTotBanks, 0);
    EXPECT_EQ(second.uiAddrStart, 0x01020300u);
    EXPECT_EQ(second.ExtractHederInfo(s, 31, 0, carries), PSWHeader::HEADER_RANGE_ERROR);

    unsigned char f[32] = {'F', 1, 1, 8, 8, 32, 33, 0, 0, 5, 2, 0x80, 0xFF, 0x7F, 0x81, 3};
    PSWHeaderFonts font;
    ASSERT_EQ(font.ExtractHederInfo(f, 32, 0, carries), 0);
    EXPECT_EQ(font.iMarginLeft, -128);
    EXPECT_EQ(font.iMarginUp, 127);
    EXPECT_EQ(font.iSort, 3);
    // Width 8 - 1 = 7 dots: one byte per row, 8 rows, 2 characters; the "F"
    // form takes its address inside the data area.
    unsigned char area[64] = {};
    area[5] = 0xAB;
    ASSERT_EQ(font.ExtractDataBuffer(area, 64, 1000), 0);
    EXPECT_EQ(font.uiDataSize, 16u);
    EXPECT_EQ(font.pDataBuffer[0], 0xAB);
    EXPECT_EQ(font.ExtractDataBuffer(area, 20, 1000), PSWHeader::HEADER_RANGE_ERROR);
    // Width plus right margin of -1 to -7 dots is 0 bytes a row: a font without
    // data; -8 gives a negative size.
    for (const auto& [margin, result] : std::vector<std::pair<int, int>>{
             {-9, 0}, {-15, 0}, {-16, PSWHeader::HEADER_RANGE_ERROR}}) {
        font.iMarginRight = margin;
        EXPECT_EQ(font.ExtractDataBuffer(area, 64, 1000), result) << margin;
        EXPECT_EQ(font.uiDataSize, 0u) << margin;
    }
}

TEST(Package, FileInfoTextIsCompleteAndBounded) {
    mkfile::PackageLayout layout = FullLayout(2, 0x5B);
    PSWFile psw;
    ASSERT_TRUE(Load(psw, mkfile::BuildPackage(layout)));
    std::vector<char> text(8192, '\0');
    psw.GetFileInfo(text.data(), text.size());
    const std::string info(text.data());  // its head is in the recorded runs
    EXPECT_NE(info.find("Number of Logos:2\n\n LOGO 1/2\n Size:          20x8\n\n LOGO 2/2\n"),
              std::string::npos);
    EXPECT_NE(info.find("Number of Fonts:1\n\n FONT 1/1\n Size:          12x24\n"),
              std::string::npos);
    EXPECT_NE(info.find("Modules:\n"), std::string::npos);
    EXPECT_NE(info.find("Type:       DISK MODULE"), std::string::npos);

    // Many logos and fonts: the text is cut, never overrun.
    mkfile::PackageLayout many;
    many.firmware = mkfile::Pattern(10, 1);
    many.logos.assign(250, {8, 1, {}});
    many.fonts.assign(250, mkfile::PackageFont{8, 1, 65, 65, 0, "F", {}});
    PSWFile big;
    ASSERT_TRUE(Load(big, mkfile::BuildPackage(many)));
    std::vector<char> bounded(8192 + 16, 'Z');
    big.GetFileInfo(bounded.data(), 8192);
    EXPECT_EQ(strlen(bounded.data()), 8191u);
    EXPECT_EQ(bounded[8192], 'Z');
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/ModuleData.h"
#include "sim/mkfile/MkFile.h"
#include "tests/files/FilesTestHelpers.h"

using filestest::LogCapture;

namespace {

mkfile::ModuleLayout Layout(const std::string& letter = "D") {
    mkfile::ModuleLayout layout;
    layout.typeLetter = letter;
    layout.payload = mkfile::Pattern(300, 21);
    return layout;
}

bool Load(ModuleData& module, const mkfile::Bytes& file) {
    return module.LoadModuleFromMemory(file.data(), static_cast<int64_t>(file.size()));
}

testing::AssertionResult Refused(const mkfile::Bytes& file,
                                 std::initializer_list<std::string> messages) {
    return filestest::Refused<ModuleData>([&](ModuleData& m) { return Load(m, file); }, messages);
}

}  // namespace

TEST(ModuleBuilder, BytesMatchTheLayoutByHand) {
    mkfile::ModuleLayout layout;
    layout.typeLetter = "L";
    layout.key = 0x01;
    layout.payload.assign(14, 0x00);
    mkfile::Bytes file = mkfile::BuildModule(layout);
    ASSERT_EQ(file.size(), 4122u);  // 4102 + 14 + 6
    EXPECT_EQ(file[10], 'B');
    EXPECT_EQ(file[4101], 0x01);
    const std::string header(file.begin() + 11, file.begin() + 120);
    const std::string expected =
        "\nREL:1.00\nMOD_ID:L\nDATE:20240101\nCODE:MODCODE\nFILE_SIZE:4110\nFACTORY:";
    EXPECT_EQ(header.substr(0, expected.size()), expected);
    // Two scrambled payload bytes (odd key: NOT(1 XOR 0)), then 12 plain ones.
    EXPECT_EQ(file[4102], 0xFE);
    EXPECT_EQ(file[4103], 0xFE);
    for (size_t i = 4104; i < 4116; ++i) EXPECT_EQ(file[i], 0x00);
    // The stored pair covers offsets 6 to N - 7.
    unsigned sum1 = 0, sum2 = 0;
    for (size_t i = 6; i < file.size() - 6; ++i) {
        sum1 += file[i];
        sum2 += file[i] ^ ((i - 6) & 0xFFFF);
    }
    EXPECT_EQ(file[file.size() - 4] << 8 | file[file.size() - 3], static_cast<int>(sum1 & 0xFFFF));
    EXPECT_EQ(file[file.size() - 2] << 8 | file[file.size() - 1], static_cast<int>(sum2 & 0xFFFF));
}

TEST(ModuleData, EveryTypeLetterLoadsWithItsType) {
    const std::vector<std::pair<std::string, int32_t>> types = {
        {"F", 1},  {"D", 2},   {"H", 4},   {"I", 8},    {"E", 16},
        {"L", 64}, {"N", 128}, {"O", 128}, {"X", 32768}};
    for (const auto& [letter, value] : types) {
        ModuleData module;
        ASSERT_TRUE(Load(module, mkfile::BuildModule(Layout(letter)))) << letter;
        EXPECT_EQ(module.GetModuleID(), value) << letter;
    }
}

// The plain copy exists for the font list only: it is checked on font modules.
TEST(ModuleData, UnscramblesBothModesAndKeepsTheFileAsRead) {
    for (int mode : {0, 1}) {
        for (int key : {0x01, 0x02, 0x7F, 0xFF}) {
            mkfile::ModuleLayout layout = Layout("F");
            layout.enmode = mode;
            layout.key = static_cast<uint8_t>(key);
            mkfile::Bytes file = mkfile::BuildModule(layout);
            ModuleData module;
            ASSERT_TRUE(Load(module, file)) << mode << " " << key;
            EXPECT_EQ(0, memcmp(module.pFileBuffer.get(), file.data(), file.size()));
            EXPECT_EQ(0, memcmp(module.pModuleData.get() + 4102, layout.payload.data(),
                                layout.payload.size()));
        }
    }
    // Any other module keeps no second copy; the file as read stays.
    mkfile::ModuleLayout layout = Layout("D");
    layout.key = 0x5B;
    mkfile::Bytes file = mkfile::BuildModule(layout);
    ModuleData disk;
    ASSERT_TRUE(Load(disk, file));
    EXPECT_EQ(disk.pModuleData, nullptr);
    EXPECT_EQ(0, memcmp(disk.FileData(), file.data(), file.size()));

    // In place: the caller's bytes, not a copy, and the same checks.
    ModuleData inPlace;
    ASSERT_TRUE(inPlace.LoadModuleInPlace(file.data(), static_cast<int64_t>(file.size())));
    EXPECT_EQ(inPlace.FileData(), file.data());
    file[4200] ^= 1;
    EXPECT_FALSE(inPlace.LoadModuleInPlace(file.data(), static_cast<int64_t>(file.size())));
}

TEST(ModuleData, KeyWithoutModeLeavesThePayloadScrambled) {
    mkfile::ModuleLayout layout = Layout("F");
    layout.enmode = -1;
    layout.key = 0x33;
    mkfile::ScramblePackage(0x33, layout.payload.data(), 300 - 12);  // scrambled by someone else
    mkfile::Bytes file = mkfile::BuildModule(layout);
    ModuleData module;
    ASSERT_TRUE(Load(module, file));
    EXPECT_EQ(module.iEnMode, -1);
    EXPECT_EQ(0, memcmp(module.pModuleData.get() + 4102, file.data() + 4102, 300));
}

TEST(ModuleData, CrLfHeaderKeepsATrailingBlankAndRejectsTheLetter) {
    mkfile::ModuleLayout layout = Layout();
    layout.crlf = true;
    ModuleData module;
    LogCapture log;
    EXPECT_FALSE(Load(module, mkfile::BuildModule(layout)));
    EXPECT_TRUE(log.Has("File not Correct! Exctract param MOD_ID: Error(Value <D >)!"));
    EXPECT_TRUE(log.Has("File not Correct! Params Error!"));
    EXPECT_EQ(module.strRelease, "1.00 ");
    EXPECT_EQ(module.iFileSizeParam, module.iFileLength - 12);  // numbers still read
}

TEST(ModuleData, KeyFoundTwiceCountsAsMissing) {
    mkfile::ModuleLayout layout = Layout();
    layout.extraLines = {"CODE:AGAIN"};
    EXPECT_TRUE(Refused(mkfile::BuildModule(layout),
                        {"CODE: not found!", "Exctract param CODE: Error(Value <>)!"}));
}

TEST(ModuleData, FileSizeMustBeTheBodyLength) {
    mkfile::ModuleLayout layout = Layout();
    layout.fileSize = 4396 - 5;  // as if 5 bytes had been appended after building
    EXPECT_TRUE(Refused(mkfile::BuildModule(layout),
                        {"Exctract param FILE_SIZE: Error(Value <4391> and not 4396)!"}));
    layout.fileSize = -2;  // absent
    EXPECT_TRUE(
        Refused(mkfile::BuildModule(layout), {"Exctract param FILE_SIZE: Error(Value <0>)!"}));
    layout.extraLines = {"FILE_SIZE:4294971492"};  // N - 12 + 2^32: refused, not cut to 32 bits
    EXPECT_TRUE(
        Refused(mkfile::BuildModule(layout), {"Exctract param FILE_SIZE: Error(Value <0>)!"}));
}

TEST(ModuleData, NumbersAreReadUpToTheFirstNonDigit) {
    mkfile::ModuleLayout layout = Layout("F");  // a font module keeps the plain copy
    layout.enmode = 1;
    layout.key = 0x5A;
    layout.numberSuffix = " (decimal)";  // "FILE_SIZE:4396 (decimal)", "ENMODE:1 (decimal)"
    ModuleData module;
    ASSERT_TRUE(Load(module, mkfile::BuildModule(layout)));
    EXPECT_EQ(module.iFileSizeParam, 4396);
    EXPECT_EQ(
        0, memcmp(module.pModuleData.get() + 4102, layout.payload.data(), layout.payload.size()));
}

TEST(ModuleData, ChecksumsOrderMarkAndShortFilesAreRefused) {
    mkfile::Bytes good = mkfile::BuildModule(Layout());
    mkfile::Bytes bad = good;
    bad[4200] ^= 0x01;
    EXPECT_TRUE(Refused(
        bad, {"Checksums 1 not Correct! Read value", "File not Correct! CheckSumOk Error!"}));
    mkfile::Bytes swapped = good;
    size_t i = 4200;  // neighbours whose low bits differ, at an even index of the body
    while (((swapped[i] ^ swapped[i + 1]) & 1) == 0) i += 2;
    std::swap(swapped[i], swapped[i + 1]);  // same sum, other XOR sum
    EXPECT_TRUE(Refused(swapped, {"Checksums 2 not Correct!"}));

    mkfile::ModuleLayout layout = Layout("F");  // a font module keeps the plain copy
    layout.orderMark = 'X';
    EXPECT_TRUE(Refused(mkfile::BuildModule(layout), {"File not Correct! Endianism Error!"}));
    ModuleData module;
    // A payload of up to the 12 plain bytes has nothing scrambled and loads.
    layout.orderMark = 'L';
    layout.key = 0x3B;
    for (size_t length : {0ul, 5ul, 11ul, 12ul}) {
        layout.payload = mkfile::Pattern(length, 9);
        ASSERT_TRUE(Load(module, mkfile::BuildModule(layout))) << length;
        EXPECT_EQ(module.iFileLength, static_cast<int32_t>(4108 + length));
        EXPECT_TRUE(std::equal(layout.payload.begin(), layout.payload.end(),
                               module.pModuleData.get() + 4102));
    }

    for (size_t length : {0ul, 11ul, 4101ul})
        EXPECT_TRUE(Refused(mkfile::Bytes(good.begin(), good.begin() + length), {})) << length;
    ModuleData none;
    EXPECT_FALSE(none.LoadModuleFromFile("/nonexistent/file.mod"));
}

TEST(ModuleData, FontModuleListsItsFonts) {
    mkfile::ModuleLayout layout = Layout("F");
    layout.key = 0x45;
    layout.payload.clear();
    mkfile::AddFontEntry(layout.payload, "ARIAL", 7);
    mkfile::AddFontEntry(layout.payload, "A_VERY_LONG_FONT_NAME", -1);
    mkfile::Bytes tail = mkfile::Pattern(64, 1);
    layout.payload.insert(layout.payload.end(), tail.begin(), tail.end());
    ModuleData module;
    ASSERT_TRUE(Load(module, mkfile::BuildModule(layout)));
    EXPECT_EQ(module.strModuleInfo, "\nFONT MODULE:\n  ARIAL (Code: 7)\n  A_VERY_LONG_FONT\n");
}

TEST(ModuleData, DescriptionIsCutToTheCallersText) {
    mkfile::ModuleLayout layout = Layout("F");
    layout.payload.clear();
    for (int i = 0; i < 600; ++i)
        mkfile::AddFontEntry(layout.payload, "FONT" + std::to_string(i), i & 0xFF);
    layout.payload.resize(layout.payload.size() + 12, 0);
    ModuleData module;
    ASSERT_TRUE(Load(module, mkfile::BuildModule(layout)));
    EXPECT_LE(module.strModuleInfo.size(), ModuleData::MODULE_INFO_MAX);
    std::vector<char> small(40, 'x');
    module.GetFileInfo(small.data(), small.size());
    EXPECT_EQ(strlen(small.data()), 39u);
}

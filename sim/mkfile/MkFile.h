#pragma once

// Builders for every upgrade file format: firmware packages of both
// generations, module files, ZPD scripts and anti-tamper images. Used by the
// prnmkfile program, by the tests (fixtures) and by the fuzz seed programs.
// The scrambling and checksums here are written independently of the
// loaders, so that one mistake on both sides cannot pass unnoticed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mkfile {

using Bytes = std::vector<uint8_t>;

// Scrambling in the package scheme (odd and even key) and in module mode 1.
void ScramblePackage(uint8_t key, uint8_t* data, size_t length);
void ScrambleMode1(uint8_t key, uint8_t* data, size_t length);

struct ChecksumPair {
    uint16_t sum1 = 0;
    uint16_t sum2 = 0;
};
ChecksumPair Checksum(const uint8_t* data, size_t length);

// ---- module files ----
struct ModuleLayout {
    std::string typeLetter = "D";  // the "MOD_ID:" value
    std::string release = "1.00";
    std::string date = "20240101";
    std::string code = "MODCODE";
    std::string factory = "FACTORY";
    std::string note = "NOTE";
    int enmode = 0;     // "ENMODE:" value; -1 leaves the key out
    uint8_t key = 0;    // scramble key at offset 4101
    Bytes payload;      // plain payload; all but its last 12 bytes get scrambled
    bool crlf = false;  // header lines end in CR LF
    char orderMark = 'B';
    long long fileSize = -1;  // "FILE_SIZE:" value; -1 the right one (N - 12), -2 leaves it out
    std::vector<std::string> extraLines;  // more header lines, written as given
    std::string numberSuffix;  // text written after the "FILE_SIZE:" and "ENMODE:" numbers
};
Bytes BuildModule(const ModuleLayout& layout);
// Appends a 40-byte font entry ("FNT:", name, "N" and code when code >= 0).
void AddFontEntry(Bytes& payload, const std::string& name, int code);
// A payload of length bytes with a fixed pattern.
Bytes Pattern(size_t length, uint8_t seed = 1);

// ---- firmware packages ----
struct PackageModule {
    char typeChar = 'd';  // record type character: f C d u b s l, anything else other
    Bytes file;
    uint16_t numBank = 0;
    uint32_t bankDim = 0;
};
struct PackageLogo {
    uint16_t width = 16;
    uint16_t height = 8;
    Bytes bitmap;  // empty: a pattern of (width / 8) * height bytes
};
struct PackageFont {
    uint8_t sizeX = 12;
    uint8_t sizeY = 24;
    uint8_t asciiStart = 32;
    uint8_t asciiEnd = 127;
    int8_t marginRight = 0;
    std::string name = "FONTA";
    Bytes glyphs;  // empty: a pattern of the size the record gives
};
struct PackageLayout {
    int generation = 2;  // 2: type "2", lower-case markers, bin "?"; 1: upper-case, bin "@"
    std::string model = "PRN80";
    std::string releaseHW = "01";
    std::string releasePSW = "123";
    std::string date = "240101";
    uint8_t gsiLow = 0x34;
    uint8_t gsiHigh = 0x12;
    char comType = 'U';
    uint8_t key = 0x5A;
    bool checksum = true;  // false stores 0, 0 (check switched off)
    bool upgrade = true;   // software record carries the upgrade identification
    uint16_t family = 1;
    uint16_t modelId = 2;
    uint16_t customization = 3;
    // Firmware image: generation 1 puts it at the start of the data area,
    // generation 2 in a module record of type "s" (when not empty).
    Bytes firmware;
    uint8_t numBanks = 1;
    uint32_t bankSize = 0;  // 0: the firmware size divided by numBanks
    std::vector<PackageModule> modules;
    std::vector<PackageLogo> logos;
    std::vector<PackageFont> fonts;
    std::vector<Bytes> extraRecords;  // raw records placed before the bin record (padded to 32)
};
Bytes BuildPackage(const PackageLayout& layout);

// ---- ZPD scripts ----
struct ZpdLayout {
    std::string version = "100";
    std::string device = "1234";
    std::string release = "0100";
    bool deviceLine = true;
    std::vector<std::string> body = {"# reset the head", "[1B][40]", "#>[OP_WAITPSANSWER]"};
    bool end = true;  // closing "#>ZPDEND" line
    bool crlf = false;
    long checksum = -1;  // -1: the right one
};
std::string BuildZpd(const ZpdLayout& layout);
// The ZPD checksum of body lines (CR and LF left out), modulo 65536.
uint16_t ZpdChecksum(const std::vector<std::string>& lines);

// ---- anti-tamper images ----
Bytes BuildTamperImage(const std::string& release, size_t size = 32768, bool marker = true);

}  // namespace mkfile

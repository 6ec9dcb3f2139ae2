#include "files/ModuleData.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "files/EncryptionMode1.h"
#include "files/EncryptionPSW.h"
#include "files/FileChecksum.h"
#include "files/InfoText.h"

namespace {

constexpr int32_t TRAILER_LENGTH = 6;
constexpr int32_t LEADING_LENGTH = 6;
// Bytes of the checksummed body that lie outside the scrambled range.
constexpr int32_t UNSCRAMBLED_OVERHEAD = 4108;

// A module is addressed with 32-bit lengths: anything longer is refused.
bool TooLarge(const char* function, int64_t length) {
    if (length <= INT32_MAX) return false;
    Log::WriteLogP(function, "File not Correct! Too large (%lld bytes)!",
                   static_cast<long long>(length));
    return true;
}

}  // namespace

void ModuleData::Reset() {
    pFile = nullptr;
    pFileBuffer.reset();
    pModuleData.reset();
    pHeaderBuffer.reset();
    iFileLength = iModuleDataLength = iHeaderLength = 0;
    strRelease.clear();
    strModuleID.clear();
    strDate.clear();
    strCode.clear();
    strFactory.clear();
    strNote.clear();
    strModuleInfo.clear();
    iModuleID = iFileSizeParam = iEnMode = iScrambleKey = 0;
}

bool ModuleData::LoadModuleFromFile(const char* path) {
    Reset();
    long size = -1;
    ByteBuffer data = ReadWholeFile(path, size);
    if (!data || size < 0) return false;
    if (TooLarge("LoadModuleFromFile", size)) return false;
    pFileBuffer = std::move(data);
    pFile = pFileBuffer.get();
    iFileLength = static_cast<int32_t>(size);
    return Load("LoadModuleFromFile");
}

bool ModuleData::LoadModuleFromMemory(const unsigned char* buffer, int64_t length) {
    Reset();
    if (buffer == nullptr || length < 0) return false;
    if (TooLarge("LoadModuleFromMemory", length)) return false;
    pFileBuffer = CopyToByteBuffer(buffer, static_cast<size_t>(length));
    if (!pFileBuffer) {
        Log::WriteLogP("LoadModuleFromMemory", "File not Correct! No memory for %lld bytes!",
                       static_cast<long long>(length));
        return false;
    }
    pFile = pFileBuffer.get();
    iFileLength = static_cast<int32_t>(length);
    return Load("LoadModuleFromMemory");
}

bool ModuleData::LoadModuleInPlace(const unsigned char* buffer, int64_t length) {
    Reset();
    if (buffer == nullptr || length < 0) return false;
    if (TooLarge("LoadModuleFromMemory", length)) return false;
    pFile = buffer;
    iFileLength = static_cast<int32_t>(length);
    return Load("LoadModuleFromMemory");
}

bool ModuleData::Load(const char* function) {
    if (iFileLength < HEADER_LENGTH) {
        Log::WriteLogP(function, "File not Correct! Size %d below the %d header bytes!",
                       iFileLength, HEADER_LENGTH);
        return false;
    }
    pHeaderBuffer = CopyToByteBuffer(pFile, HEADER_LENGTH);
    if (!pHeaderBuffer) {
        Log::WriteLogP(function, "File not Correct! No memory for %d bytes!", HEADER_LENGTH);
        return false;
    }
    iHeaderLength = HEADER_LENGTH;

    unsigned char mark = pFile[ORDER_MARK_OFFSET];
    if (mark != 'B' && mark != 'L') {
        Log::WriteLogP(function, "File not Correct! Endianism Error!");
        return false;
    }
    if (!CheckSumOk()) {
        Log::WriteLogP(function, "File not Correct! CheckSumOk Error!");
        return false;
    }
    if (!ExtractModuleHeaderParams()) {
        Log::WriteLogP(function, "File not Correct! Params Error!");
        return false;
    }
    if (!DecodingBufferExtractInfo()) {
        Log::WriteLogP(function, "File not Correct! Decoding Error!");
        return false;
    }
    return true;
}

bool ModuleData::CheckSumOk() {
    if (pFile == nullptr || iFileLength < LEADING_LENGTH + TRAILER_LENGTH) return false;
    const unsigned char* d = pFile;
    const int32_t n = iFileLength;
    FileChecksum computed = FileChecksum::Compute(d + LEADING_LENGTH, n - 12);
    int stored1 = (d[n - 4] << 8) | d[n - 3];
    int stored2 = (d[n - 2] << 8) | d[n - 1];
    if (stored1 != computed.uiChecksum1) {
        Log::WriteLogP("CheckSumOk", "Checksums 1 not Correct! Read value %d Calc value  %d!",
                       stored1, computed.uiChecksum1);
        return false;
    }
    if (stored2 != computed.uiChecksum2) {
        Log::WriteLogP("CheckSumOk", "Checksums 2 not Correct! Read value %d Calc value  %d!",
                       stored2, computed.uiChecksum2);
        return false;
    }
    return true;
}

bool ModuleData::ExtractStringFieldFromHeader(std::string& out, const unsigned char* header,
                                              size_t headerLength, const char* key) {
    static const char* const fn = "ExtractStringFieldFromHeader";
    out.clear();
    if (header == nullptr || key == nullptr) return false;
    std::vector<int32_t> found = GenericFunctions::FindString(header, headerLength, key);
    if (found.size() != 1) {
        Log::WriteLogP(fn, "%s not found!", key);
        return false;
    }
    size_t start = static_cast<size_t>(found[0]) + strlen(key);
    const void* lf = memchr(header + start, '\n', headerLength - start);
    if (lf == nullptr) {
        Log::WriteLogP(fn, "%s Error!", key);
        return false;
    }
    size_t count = static_cast<const unsigned char*>(lf) - (header + start);
    char value[TEXT_MAX + 1];
    GenericFunctions::ConvertBufferToStringAndClean(value, sizeof(value), header, headerLength,
                                                    start, count);
    out = value;
    Log::WriteLogP(fn, "String Found with Param %s : %s", key, value);
    return true;
}

bool ModuleData::ExtractIntFieldFromHeader(int32_t& out, const unsigned char* header,
                                           size_t headerLength, const char* key) {
    std::string text;
    if (!ExtractStringFieldFromHeader(text, header, headerLength, key) || text.empty()) {
        return false;
    }
    // Decimal, read up to the first character that is no digit ("4196 bytes"
    // reads as 4196); a value beyond 32 bits is refused rather than cut.
    int64_t value = 0;
    if (!GenericFunctions::ParseDecimal(text.c_str(), value) || value < INT32_MIN ||
        value > INT32_MAX) {
        Log::WriteLogP("ExtractIntFieldFromHeader", "%s is no number: %s", key, text.c_str());
        return false;
    }
    out = static_cast<int32_t>(value);
    return true;
}

bool ModuleData::ExtractModuleHeaderParams() {
    static const char* const fn = "ExtractModuleHeaderParams";
    const unsigned char* h = pHeaderBuffer.get();
    const size_t hl = static_cast<size_t>(iHeaderLength);
    if (h == nullptr) return false;
    ExtractStringFieldFromHeader(strRelease, h, hl, "REL:");
    ExtractStringFieldFromHeader(strModuleID, h, hl, "MOD_ID:");
    ExtractStringFieldFromHeader(strDate, h, hl, "DATE:");
    ExtractStringFieldFromHeader(strCode, h, hl, "CODE:");
    iFileSizeParam = 0;
    ExtractIntFieldFromHeader(iFileSizeParam, h, hl, "FILE_SIZE:");
    iScrambleKey = h[KEY_OFFSET];
    ExtractStringFieldFromHeader(strFactory, h, hl, "FACTORY:");
    ExtractStringFieldFromHeader(strNote, h, hl, "NOTE:");
    iEnMode = iScrambleKey != 0 ? -1 : 0;
    ExtractIntFieldFromHeader(iEnMode, h, hl, "ENMODE:");

    static const char* const textError = "File not Correct! Exctract param %s Error(Value <%s>)!";
    if (strRelease.empty()) {
        Log::WriteLogP(fn, textError, "REL:", strRelease.c_str());
        return false;
    }
    if (strModuleID.size() != 1) {
        Log::WriteLogP(fn, textError, "MOD_ID:", strModuleID.c_str());
        return false;
    }
    iModuleID = GetModuleID();
    if (strDate.empty()) {
        Log::WriteLogP(fn, textError, "DATE:", strDate.c_str());
        return false;
    }
    if (strCode.empty()) {
        Log::WriteLogP(fn, textError, "CODE:", strCode.c_str());
        return false;
    }
    if (iFileSizeParam == 0) {
        Log::WriteLogP(fn, "File not Correct! Exctract param %s Error(Value <%d>)!",
                       "FILE_SIZE:", iFileSizeParam);
        return false;
    }
    if (iFileSizeParam != iFileLength - 12) {
        Log::WriteLogP(fn, "File not Correct! Exctract param %s Error(Value <%d> and not %d)!",
                       "FILE_SIZE:", iFileSizeParam, iFileLength - 12);
        return false;
    }
    return true;
}

bool ModuleData::DecodingBufferExtractInfo() {
    static const char* const fn = "DecodingBufferExtractInfo";
    // FILE_SIZE: equals N - 12 here, so the range ends 12 bytes before the
    // checksummed body does. A payload shorter than those 12 bytes has nothing
    // scrambled (a negative length unscrambles nothing).
    int64_t length =
        std::max<int64_t>(0, static_cast<int64_t>(iFileSizeParam) - UNSCRAMBLED_OVERHEAD);
    if (HEADER_LENGTH + length > iFileLength) {
        Log::WriteLogP(fn, "Scrambled range of %lld bytes does not fit the file (%d bytes)!",
                       static_cast<long long>(length), iFileLength);
        return false;
    }
    strModuleInfo.clear();
    pModuleData.reset();
    iModuleDataLength = 0;
    // Only the font list reads the plain payload: other modules, a firmware
    // image among them, are never copied.
    if (strModuleID != "F") return true;
    pModuleData = CopyToByteBuffer(pFile, static_cast<size_t>(iFileLength));
    if (!pModuleData) {
        Log::WriteLogP(fn, "No memory for %d bytes!", iFileLength);
        return false;
    }
    iModuleDataLength = iFileLength;
    // The routines work in place and cannot fail, so the working copy is
    // unscrambled directly rather than through a second copy.
    unsigned char key = static_cast<unsigned char>(iScrambleKey);
    if (iEnMode == 1) {
        if (EncryptionMode1::DecryptionBuffer(key, pModuleData.get(), HEADER_LENGTH, length) != 1) {
            Log::WriteLogP(fn, "Decryption Buffer, mode 1, Error!");
            return false;
        }
    } else if (iEnMode == 0) {
        if (EncryptionPSW::DecryptionBuffer(key, pModuleData.get(), HEADER_LENGTH, length) != 1) {
            Log::WriteLogP(fn, "Decryption Buffer, mode PSW, Error!");
            return false;
        }
    }
    pModuleData[KEY_OFFSET] = 0;
    strModuleInfo = "\nFONT MODULE:\n";
    ExtractFontModuleInformations(strModuleInfo);
    return true;
}

int32_t ModuleData::GetModuleID() const {
    if (strModuleID.size() != 1) return ModulesAvailable::MODULE_OTHER;
    switch (strModuleID[0]) {
        case 'F':
            return ModulesAvailable::MODULE_FONT;
        case 'D':
            return ModulesAvailable::MODULE_DISK;
        case 'H':
            return ModulesAvailable::MODULE_RFID_HF;
        case 'I':
            return ModulesAvailable::MODULE_RFID_UHF;
        case 'E':
            return ModulesAvailable::MODULE_BLUETOOTH;
        case 'L':
            return ModulesAvailable::MODULE_LOGOS;
        case 'N':
        case 'O':
            return ModulesAvailable::MODULE_CAMERA;
        default:
            return ModulesAvailable::MODULE_OTHER;
    }
}

const char* ModuleData::ModuleTypeName(int32_t moduleType) {
    switch (moduleType) {
        case ModulesAvailable::MODULE_FONT:
            return "FONT MODULE";
        case ModulesAvailable::MODULE_DISK:
            return "DISK MODULE";
        case ModulesAvailable::MODULE_RFID_HF:
            return "RFID_HF MODULE";
        case ModulesAvailable::MODULE_RFID_UHF:
            return "RFID_UHF MODULE";
        case ModulesAvailable::MODULE_BLUETOOTH:
            return "BLUETOOTH MODULE";
        case ModulesAvailable::MODULE_LOGOS:
            return "LOGOS MODULE";
        case ModulesAvailable::MODULE_CAMERA:
            return "CAMERA MODULE";
        default:
            return "OTHER MODULE";
    }
}

std::vector<ModuleData::FontEntry> ModuleData::FontList() const {
    std::vector<FontEntry> fonts;
    if (!pModuleData || iModuleDataLength <= HEADER_LENGTH) return fonts;
    const unsigned char* d = pModuleData.get();
    const size_t n = static_cast<size_t>(iModuleDataLength);
    for (int32_t p32 : GenericFunctions::FindString(d, n, HEADER_LENGTH, "FNT:")) {
        size_t p = static_cast<size_t>(p32);
        char name[17];
        GenericFunctions::ConvertBufferToStringAndClean(name, sizeof(name), d, n, p + 4, 16);
        int code = (p + 37 < n && d[p + 26] == 'N') ? d[p + 37] : -1;
        fonts.push_back({name, code});
    }
    return fonts;
}

void ModuleData::ExtractFontModuleInformations(std::string& text) const {
    for (const FontEntry& font : FontList()) {
        std::string line = "  " + font.name;
        if (font.code >= 0) line += " (Code: " + std::to_string(font.code) + ")";
        line += "\n";
        if (text.size() + line.size() > MODULE_INFO_MAX) break;
        text += line;
    }
}

void ModuleData::GetFileInfo(char* text, size_t size) const {
    if (text == nullptr || size == 0) return;
    text[0] = '\0';
    InfoText info(text, size);
    info.Line('-');
    info.Appendf("Type:       %s\n", ModuleTypeName(iModuleID));
    info.Appendf("Release:    %s\n", strRelease.c_str());
    info.Appendf("Factory:    %s\n", strFactory.c_str());
    info.Appendf("Note:       %s\n", strNote.c_str());
    info.Appendf("Code:       %s\n", strCode.c_str());
    info.Line('-');
    info.Append(strModuleInfo);
}

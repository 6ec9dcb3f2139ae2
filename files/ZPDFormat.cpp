#include "files/ZPDFormat.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "common/CmdConsole.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "files/ByteBuffer.h"

namespace {

const char* const LOAD = "LoadFile";

bool StartsWith(const std::string& line, const char* prefix) {
    return line.compare(0, strlen(prefix), prefix) == 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The line without a trailing CR.
std::string WithoutCR(const std::string& line) {
    if (!line.empty() && line.back() == '\r') return line.substr(0, line.size() - 1);
    return line;
}

// Reads 1 to maxDigits hexadecimal digits filling the whole of text.
bool ParseHex(const std::string& text, size_t maxDigits, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        int v = HexValue(c);
        if (v < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(v);
    }
    return true;
}

// A decimal number from 0 up that fits 32 bits; blanks before it and text
// after its digits are allowed ("250 ms" reads as 250).
bool ParseDecimal(const std::string& text, uint32_t& value) {
    int64_t parsed = 0;
    if (!GenericFunctions::ParseDecimal(text.c_str(), parsed) || parsed < 0 ||
        parsed > UINT32_MAX) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

void CZPDFormat::ResetData() {
    vElements.clear();
    uiDeviceGSI = 0;
    strDeviceRelease.clear();
}

bool CZPDFormat::Fail(const char* message) {
    Log::WriteLogP(LOAD, "%s", message);
    CmdConsole::WriteToConsoleString("%s", message);
    ResetData();
    return false;
}

int32_t CZPDFormat::ZPDStringToByteArray(const char* text, size_t length,
                                         std::unique_ptr<unsigned char[]>& bytes) {
    bytes.reset();
    if (text == nullptr) return 0;
    std::vector<unsigned char> found;
    size_t i = 0;
    while (i < length) {
        if (text[i] == '[' && i + 3 < length) {
            if (text[i + 3] != ']') break;
            int high = HexValue(text[i + 1]);
            int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return -1;
            found.push_back(static_cast<unsigned char>((high << 4) | low));
            i += 4;
        } else {
            ++i;
        }
    }
    if (found.empty()) return 0;
    bytes.reset(new unsigned char[found.size()]);
    memcpy(bytes.get(), found.data(), found.size());
    return static_cast<int32_t>(found.size());
}

uint32_t CZPDFormat::GetZPDStringChecksum(const char* text, int64_t length) {
    uint32_t sum = 0;
    if (text == nullptr || length < 1) return 0;
    for (int64_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '\r' && c != '\n') sum += c;
    }
    return sum;
}

bool CZPDFormat::LoadFile(const char* path) {
    ResetData();
    long size = -1;
    ByteBuffer data = ReadWholeFile(path, size);
    if (!data || size < 0) return Fail("File doesn't exist");
    return LoadFromMemory(reinterpret_cast<const char*>(data.get()), static_cast<size_t>(size));
}

bool CZPDFormat::ReadDeviceLine(const std::string& line) {
    // "#>DEV:" 4 hex digits, a separator, "REL:", then the release.
    const size_t idStart = strlen(MARKER_DEVGSI);
    const size_t releaseStart = idStart + 4 + 1 + strlen(MARKER_DEVREL);
    std::string text = WithoutCR(line);
    uint32_t id = 0;
    if (text.size() < releaseStart || !ParseHex(text.substr(idStart, 4), 4, id)) {
        Log::WriteLogP(LOAD, "Device line not valid: %s", text.c_str());
        return false;
    }
    uiDeviceGSI = id;
    strDeviceRelease = text.substr(releaseStart, 4);
    return true;
}

bool CZPDFormat::LoadFromMemory(const char* text, size_t length) {
    ResetData();
    std::vector<std::string> lines;
    if (text != nullptr) {
        size_t begin = 0;
        while (begin < length) {
            const void* lf = memchr(text + begin, '\n', length - begin);
            size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text) : length;
            lines.emplace_back(text + begin, end - begin);
            begin = end + 1;
        }
    }
    if (lines.empty() || !StartsWith(lines[0], MARKER_SIGN)) return Fail("File isn't ZPD format");
    if (lines[0].compare(strlen(MARKER_SIGN), 3, ZPDCURRENTVERSIONPROTO) != 0) {
        return Fail("File isn't ZPD format (protocol version unsupported)");
    }
    uint32_t stored = 0;
    if (lines.size() < 2 || !StartsWith(lines[1], MARKER_CKSUM) ||
        !ParseHex(WithoutCR(lines[1].substr(strlen(MARKER_CKSUM), 4)), 4, stored)) {
        return Fail("File isn't ZPD format (checksum not available)");
    }

    uint32_t checksum = 0;
    std::string description;
    bool inHeader = false;
    bool deviceError = false;
    bool elementsError = false;
    for (size_t n = 2; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        checksum += GetZPDStringChecksum(line.data(), static_cast<int64_t>(line.size()));
        if (line.empty() || line[0] == '\r' || line[0] == '\n') {
            description.clear();
        } else if (!StartsWith(line, MARKER_ZPDDATA)) {
            if (StartsWith(line, MARKER_GENERIC)) {
                description = line;
            } else if (!inHeader) {
                std::unique_ptr<unsigned char[]> bytes;
                int32_t count = ZPDStringToByteArray(line.data(), line.size(), bytes);
                if (count < 0) {
                    Log::WriteLogP(LOAD, "Data line %d not valid", static_cast<int>(n + 1));
                    elementsError = true;
                } else if (count > 0) {
                    auto element = std::make_unique<CZPDElement>(ZPD_DATA, bytes.get(),
                                                                 static_cast<uint32_t>(count));
                    if (!description.empty()) {
                        element->SetDescription(description.data(), description.size());
                    }
                    vElements.push_back(std::move(element));
                }
            }
        } else {
            description.clear();
            if (StartsWith(line, MARKER_STARTHEADER)) {
                inHeader = true;
            } else if (StartsWith(line, MARKER_ENDHEADER)) {
                inHeader = false;
            } else if (inHeader) {
                if (StartsWith(line, MARKER_DEVGSI) && !ReadDeviceLine(line)) deviceError = true;
            } else if (StartsWith(line, MARKER_OPWAITPSANSWER)) {
                vElements.push_back(std::make_unique<CZPDElement>(ZPD_WAITANSWER));
            } else if (StartsWith(line, MARKER_OPRESETDEV)) {
                vElements.push_back(std::make_unique<CZPDElement>(ZPD_RESETDEV));
            } else if (StartsWith(line, MARKER_OPSLEEPMSEC)) {
                uint32_t msec = 0;
                if (!ParseDecimal(WithoutCR(line.substr(strlen(MARKER_OPSLEEPMSEC))), msec)) {
                    Log::WriteLogP(LOAD, "Sleep time on line %d not valid",
                                   static_cast<int>(n + 1));
                    elementsError = true;
                }
                vElements.push_back(std::make_unique<CZPDElement>(ZPD_SLEEPMSEC, msec));
            } else if (StartsWith(line, MARKER_ENDZPD)) {
                break;
            }
        }
    }

    if ((checksum & 0xFFFF) != stored) {
        Log::WriteLogP(LOAD, "Checksum read 0x%04X computed 0x%04X", stored, checksum & 0xFFFF);
        return Fail("File checksum error");
    }
    if (deviceError || uiDeviceGSI == 0 || strDeviceRelease.empty()) {
        return Fail("File device data error");
    }
    if (elementsError || vElements.empty()) return Fail("File elements error");
    return true;
}

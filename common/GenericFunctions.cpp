#include "common/GenericFunctions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool GenericFunctions::ParseCheckInt(const char* text, int32_t& value) {
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = strtol(text, &end, 10);
    if (end == text || errno == ERANGE) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

int32_t GenericFunctions::ParseInt(const char* text, int32_t defaultValue) {
    int32_t value = 0;
    return ParseCheckInt(text, value) ? value : defaultValue;
}

bool GenericFunctions::ParseDecimal(const char* text, int64_t& value) {
    if (text == nullptr) return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = strtoll(text, &end, 10);
    if (end == text || errno == ERANGE) return false;
    value = static_cast<int64_t>(parsed);
    return true;
}

float GenericFunctions::ParseFloat(const char* text, float defaultValue) {
    if (text == nullptr) return defaultValue;
    char* end = nullptr;
    float parsed = strtof(text, &end);
    if (end == text || std::isinf(parsed)) return defaultValue;
    return parsed;
}

bool GenericFunctions::IsaNumericField(const unsigned char* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = buffer[i];
        if (!(c >= '0' && c <= '9') && c != '<' && c != '>') return false;
    }
    return true;
}

size_t GenericFunctions::ExtractIntFromString(const char* text, int32_t* values, size_t max) {
    size_t count = 0;
    const char* p = text;
    while (p != nullptr && *p != '\0' && count < max) {
        if (!isdigit(static_cast<unsigned char>(*p))) {
            ++p;
            continue;
        }
        long long number = 0;
        while (isdigit(static_cast<unsigned char>(*p))) {
            if (number <= INT32_MAX) number = number * 10 + (*p - '0');
            ++p;
        }
        values[count++] = static_cast<int32_t>(number > INT32_MAX ? INT32_MAX : number);
    }
    return count;
}

void GenericFunctions::ToUpper(char* text) {
    for (; text != nullptr && *text != '\0'; ++text) {
        *text = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
    }
}

void GenericFunctions::RemovecharsFromString(char* text, char c) {
    if (text == nullptr) return;
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        if (*in != c) *out++ = *in;
    }
    *out = '\0';
}

void GenericFunctions::RemoveStrFromString(char* text, const char* part) {
    if (text == nullptr || part == nullptr || *part == '\0') return;
    size_t partLength = strlen(part);
    char* found;
    while ((found = strstr(text, part)) != nullptr) {
        memmove(found, found + partLength, strlen(found + partLength) + 1);
    }
}

std::unique_ptr<char[]> GenericFunctions::repl_str(const char* text, const char* from,
                                                   const char* to) {
    if (text == nullptr || from == nullptr || to == nullptr) return nullptr;
    size_t textLength = strlen(text);
    size_t fromLength = strlen(from);
    size_t toLength = strlen(to);
    std::vector<size_t> matches;
    if (fromLength > 0) {
        for (const char* p = strstr(text, from); p != nullptr; p = strstr(p + fromLength, from)) {
            matches.push_back(static_cast<size_t>(p - text));
        }
    }
    size_t resultLength = textLength - matches.size() * fromLength + matches.size() * toLength;
    std::unique_ptr<char[]> result(new char[resultLength + 1]);
    char* out = result.get();
    size_t copiedUpTo = 0;
    for (size_t position : matches) {
        memcpy(out, text + copiedUpTo, position - copiedUpTo);
        out += position - copiedUpTo;
        memcpy(out, to, toLength);
        out += toLength;
        copiedUpTo = position + fromLength;
    }
    memcpy(out, text + copiedUpTo, textLength - copiedUpTo);
    out[textLength - copiedUpTo] = '\0';
    return result;
}

void GenericFunctions::ConvertBufferToStringAndClean(char* destination, size_t destinationSize,
                                                     const unsigned char* source,
                                                     size_t sourceLength, size_t offset,
                                                     size_t count) {
    if (destination == nullptr || destinationSize == 0) return;
    size_t written = 0;
    for (size_t i = 0; i < count && written + 1 < destinationSize; ++i) {
        if (offset + i >= sourceLength) break;
        unsigned char c = source[offset + i];
        if (c == 0) break;
        destination[written++] = (c >= 32 && c <= 126) ? static_cast<char>(c) : ' ';
    }
    destination[written] = '\0';
}

std::string GenericFunctions::ConvertBufferToStringAndClean(const unsigned char* source,
                                                            size_t length) {
    std::string text(length + 1, '\0');
    ConvertBufferToStringAndClean(&text[0], text.size(), source, length, 0, length);
    text.resize(strlen(text.c_str()));
    return text;
}

uint32_t GenericFunctions::ConvertByteBufferToULong4(const unsigned char* buffer) {
    uint32_t value;
    memcpy(&value, buffer, sizeof(value));
    return value;
}

int GenericFunctions::IndexOf(const char* const* list, const char* text) {
    if (list == nullptr || text == nullptr) return -1;
    for (int i = 0; list[i] != nullptr && list[i][0] != '\0'; ++i) {
        if (strcmp(list[i], text) == 0) return i;
    }
    return -1;
}

void GenericFunctions::splitModify(char* text, const char* delimiters, std::vector<char*>& pieces) {
    if (text == nullptr || delimiters == nullptr) return;
    char* save = nullptr;
    for (char* piece = strtok_r(text, delimiters, &save); piece != nullptr;
         piece = strtok_r(nullptr, delimiters, &save)) {
        pieces.push_back(piece);
    }
}

unsigned GenericFunctions::GetMSBIndexFromUInt(uint32_t v) {
    unsigned bits = 1;
    while (v > 1) {
        v >>= 1;
        ++bits;
    }
    return bits;
}

std::vector<int32_t> GenericFunctions::FindBytePattern(const unsigned char* buffer, size_t length,
                                                       size_t start, const unsigned char* pattern,
                                                       size_t patternLength) {
    std::vector<int32_t> offsets;
    if (buffer == nullptr || pattern == nullptr || patternLength == 0) return offsets;
    size_t i = start;
    while (i < length && length - i >= patternLength) {
        if (memcmp(buffer + i, pattern, patternLength) == 0) {
            offsets.push_back(static_cast<int32_t>(i));
            i += patternLength;
        } else {
            ++i;
        }
    }
    return offsets;
}

std::vector<int32_t> GenericFunctions::FindString(const unsigned char* buffer, size_t length,
                                                  const char* text) {
    return FindString(buffer, length, 0, text);
}

std::vector<int32_t> GenericFunctions::FindString(const unsigned char* buffer, size_t length,
                                                  size_t start, const char* text) {
    if (text == nullptr) return {};
    return FindBytePattern(buffer, length, start, reinterpret_cast<const unsigned char*>(text),
                           strlen(text));
}

uint64_t GenericFunctions::GetCurrentTimeMsec() {
    struct timeval now {};
    if (gettimeofday(&now, nullptr) != 0) return 0;
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_usec) / 1000u;
}

uint32_t GenericFunctions::GetTickCount() { return static_cast<uint32_t>(GetCurrentTimeMsec()); }

bool GenericFunctions::ISVirtualCOM(const char* devicePath, const char* ttyClassDir) {
    if (devicePath == nullptr || ttyClassDir == nullptr) return false;
    const char* name = devicePath;
    for (const char* p = devicePath; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    std::string deviceLink = std::string(ttyClassDir) + name + "/device";
    struct stat status {};
    if (lstat(deviceLink.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
    std::string driverLink = deviceLink + "/driver";
    char target[1025];
    ssize_t length = readlink(driverLink.c_str(), target, 1024);
    if (length <= 0) return false;
    target[length] = '\0';
    const char* driver = strrchr(target, '/');
    driver = driver ? driver + 1 : target;
    return strcmp(driver, "vrvcom") == 0;
}

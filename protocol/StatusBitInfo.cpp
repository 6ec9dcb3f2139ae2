#include "protocol/StatusBitInfo.h"

#include <climits>
#include <cstdio>
#include <string>

#include "common/GenericFunctions.h"
#include "common/Log.h"

namespace {

// A decimal number; text after its digits is ignored ("4a" reads as 4).
bool ParseNumber(const std::string& text, int& value) {
    int64_t parsed = 0;
    if (!GenericFunctions::ParseDecimal(text.c_str(), parsed) || parsed < INT_MIN ||
        parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

StatusBitInfo::StatusBitInfo() {
    szDescription[0] = '\0';
    szAdditionalDescription[0] = '\0';
}

StatusBitInfo::StatusBitInfo(int byte, int bit, const char* description, SignalFamilyTable family)
    : StatusBitInfo() {
    iByte = byte;
    iBit = bit;
    eSignalFamily = family;
    SetDescription(description);
}

bool StatusBitInfo::AddByteBit(const char* text) {
    std::string all = text != nullptr ? text : "";
    size_t comma = all.find(',');
    if (comma == std::string::npos || all.find(',', comma + 1) != std::string::npos) {
        Log::WriteLogP("AddByteBit", "%s", all.c_str());
        return false;
    }
    std::string parts[2] = {all.substr(0, comma), all.substr(comma + 1)};
    int values[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (!ParseNumber(parts[i], values[i])) {
            Log::WriteLogP("AddByteBit", "Error extracting byte value from %c",
                           parts[i].empty() ? ' ' : parts[i][0]);
            return false;
        }
    }
    iByte = values[0];
    iBit = values[1];
    return true;
}

bool StatusBitInfo::AddId(const char* text) {
    std::string all = text != nullptr ? text : "";
    if (ParseNumber(all, iID)) return true;
    Log::WriteLogP("AddId", "%s", all.c_str());
    return false;
}

bool StatusBitInfo::AddSignal(const char* text) {
    std::string all = text != nullptr ? text : "";
    int family = 0;
    if (ParseNumber(all, family)) {
        eSignalFamily = family;
        return true;
    }
    Log::WriteLogP("AddSignal", "%s", all.c_str());
    return false;
}

void StatusBitInfo::SetDescription(const char* text) {
    snprintf(szDescription, sizeof(szDescription), "%s", text != nullptr ? text : "");
}

void StatusBitInfo::SetAdditionalDescription(const char* text) {
    snprintf(szAdditionalDescription, sizeof(szAdditionalDescription), "%s",
             text != nullptr ? text : "");
}

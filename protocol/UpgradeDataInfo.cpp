#include "protocol/UpgradeDataInfo.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/GenericFunctions.h"

namespace {

std::string WithoutBrackets(const char* text) {
    std::string out;
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
        if (*p != '<' && *p != '>') out += *p;
    }
    return out;
}

// A decimal number from 0 up that fits 32 bits; blanks before it and text
// after its digits are allowed ("<3; 12; 0>").
bool ParseId(const std::string& part, uint32_t& value) {
    int64_t parsed = 0;
    if (!GenericFunctions::ParseDecimal(part.c_str(), parsed) || parsed < 0 ||
        parsed > UINT32_MAX) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

UpgradeDataInfo::UpgradeDataInfo()
    : iUpgradeMode(UPGRADEMODE_NONE), iIDFamily(0), iIDModel(0), iIDCustomization(0) {
    szConfigurationSettings[0] = '\0';
}

bool UpgradeDataInfo::SetUpgradeMode(const char* text) {
    std::string mode = WithoutBrackets(text);
    GenericFunctions::ToUpper(&mode[0]);
    if (mode.size() == 2 && mode[0] == 'U' && mode[1] >= '1' && mode[1] <= '5') {
        iUpgradeMode = mode[1] - '0';
        return true;
    }
    iUpgradeMode = UPGRADEMODE_NONE;
    return false;
}

bool UpgradeDataInfo::SetUpgradeConfigurationSettings(const char* text) {
    std::string settings = WithoutBrackets(text);
    if (settings == " ") settings.clear();
    snprintf(szConfigurationSettings, sizeof(szConfigurationSettings), "%s", settings.c_str());
    return true;
}

bool UpgradeDataInfo::SetUpgradeDeviceIDs(const char* text) {
    std::string ids = WithoutBrackets(text);
    uint32_t values[3] = {0, 0, 0};
    size_t count = 0;
    size_t begin = 0;
    while (true) {
        size_t end = ids.find(';', begin);
        std::string part = ids.substr(begin, end == std::string::npos ? end : end - begin);
        if (count == 3 || !ParseId(part, values[count])) return false;
        ++count;
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    if (count != 3) return false;
    iIDFamily = values[0];
    iIDModel = values[1];
    iIDCustomization = values[2];
    return true;
}

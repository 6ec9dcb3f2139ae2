#include "files/PSWHeaderUpgrade.h"

#include "common/Log.h"

const char* const PSWHeaderUpgrade::HeaderMarker[] = {""};

int PSWHeaderUpgrade::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                       bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iPswType = r[0] == 's' ? 1 : 0;
    const int base = iPswType == 1 ? 11 : 6;
    bex = r[base];
    Log::WriteLogP(fn, "bex: %d", bex);
    if (bex != HeaderMarkerExtraInfo) return HEADER_OK;
    iIDFamily = static_cast<int32_t>(ReadBE(r + base + 1, 2));
    Log::WriteLogP(fn, "iIDFamily: %d", iIDFamily);
    iIDModel = static_cast<int32_t>(ReadBE(r + base + 3, 2));
    Log::WriteLogP(fn, "iIDModel: %d", iIDModel);
    iIDCustomization = static_cast<int32_t>(ReadBE(r + base + 5, 2));
    Log::WriteLogP(fn, "iIDCustomization: %d", iIDCustomization);
    return HEADER_OK;
}

#include "files/PSWHeaderBootLoader.h"

#include "common/Log.h"

const char* const PSWHeaderBootLoader::HeaderMarker[] = {"b", ""};

int PSWHeaderBootLoader::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                          bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    uiAddrStart = ReadBE(r + 1, 4);
    Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
    strRelHeaderSupp = ReadText(r + 5, 3);
    Log::WriteLogP(fn, "strRelHeaderSupp: %s", strRelHeaderSupp.c_str());
    strHeaderType = ReadText(r + 8, 1);
    Log::WriteLogP(fn, "strHeaderType: %s", strHeaderType.c_str());
    return HEADER_OK;
}

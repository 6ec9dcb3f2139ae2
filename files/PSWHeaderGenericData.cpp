#include "files/PSWHeaderGenericData.h"

#include "common/Log.h"

const char* const PSWHeaderGenericData::HeaderMarker[] = {"d", ""};

int PSWHeaderGenericData::ExtractHederInfo(const unsigned char* data, int64_t size,
                                           int64_t position, bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iBlock = r[1];
    Log::WriteLogP(fn, "iBlock: %d", iBlock);
    iTotBlocks = r[2];
    Log::WriteLogP(fn, "iTotBlocks: %d", iTotBlocks);
    ReadAddressAndRelease(r + 3, uiAddrStart, strRelHeaderSupp, strHeaderType);
    return HEADER_OK;
}

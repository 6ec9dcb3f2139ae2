#include "files/PSWHeaderLoader.h"

int PSWHeaderLoader::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                      bool& /*carriesUpgrade*/) {
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    ReadAddressAndRelease(data + position + 1, uiAddrStart, strRelHeaderSupp, strHeaderType);
    return HEADER_OK;
}

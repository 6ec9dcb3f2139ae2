#include "files/PSWHeaderSoftware.h"

#include "common/Log.h"
#include "files/PSWHeaderUpgrade.h"

const char* const PSWHeaderSoftware::HeaderMarker[] = {"s", "S", ""};

int PSWHeaderSoftware::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                        bool& carriesUpgrade) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iPswType = r[0] == 's' ? 1 : 0;
    if (iPswType == 1) {
        ReadAddressAndRelease(r + 3, uiAddrStart, strRelHeaderSupp, strHeaderType);
        bex = r[11];
    } else {
        iNumBank = r[1];
        Log::WriteLogP(fn, "iNumBank: %d", iNumBank);
        iNumTotBanks = r[2];
        Log::WriteLogP(fn, "iNumTotBanks: %d", iNumTotBanks);
        uiAddrStart = ReadBE(r + 3, 3);
        Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
        bex = r[6];
    }
    Log::WriteLogP(fn, "bex: %d", bex);
    if (bex == PSWHeaderUpgrade::HeaderMarkerExtraInfo) carriesUpgrade = true;
    return HEADER_OK;
}

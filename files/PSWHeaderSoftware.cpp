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
        uiAddrStart = ReadBE(r + 3, 4);
        Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
        strRelHeaderSupp = ReadText(r + 7, 3);
        Log::WriteLogP(fn, "strRelHeaderSupp: %s", strRelHeaderSupp.c_str());
        strHeaderType = ReadText(r + 10, 1);
        Log::WriteLogP(fn, "strHeaderType: %s", strHeaderType.c_str());
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

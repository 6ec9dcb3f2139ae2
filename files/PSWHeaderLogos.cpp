#include "files/PSWHeaderLogos.h"

#include "common/Log.h"

const char* const PSWHeaderLogos::HeaderMarker[] = {"l", "L", ""};

int PSWHeaderLogos::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                     bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || !HasBytes(size, position, RECORD_SIZE)) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iPswType = r[0] == 'l' ? 1 : 0;
    iNumLogo = r[1];
    Log::WriteLogP(fn, "iNumLogo: %d", iNumLogo);
    iTotLogos = r[2];
    Log::WriteLogP(fn, "iTotLogos: %d", iTotLogos);
    iDotSizeX = static_cast<int32_t>(ReadBE(r + 3, 2));
    Log::WriteLogP(fn, "iDotSizeX: %d", iDotSizeX);
    iDotSizeY = static_cast<int32_t>(ReadBE(r + 5, 2));
    Log::WriteLogP(fn, "iDotSizeY: %d", iDotSizeY);
    if (iPswType == 1) {
        uiAddrStart = ReadBE(r + 7, 4);
        Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
        iNumColors = r[11];
        Log::WriteLogP(fn, "iNumColors: %d", iNumColors);
        strRelHeaderSupp = ReadText(r + 12, 3);
        Log::WriteLogP(fn, "strRelHeaderSupp: %s", strRelHeaderSupp.c_str());
        strHeaderType = ReadText(r + 15, 1);
        Log::WriteLogP(fn, "strHeaderType: %s", strHeaderType.c_str());
    } else {
        uiAddrStart = ReadBE(r + 7, 3);
        Log::WriteLogP(fn, "uiAddrStart: %d", static_cast<int>(uiAddrStart));
        iNumColors = r[10];
        Log::WriteLogP(fn, "iNumColors: %d", iNumColors);
    }
    return HEADER_OK;
}

int PSWHeaderLogos::ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                                      int64_t startDataIntoFile) {
    // A width that is no multiple of 8 loses its last partial column.
    int64_t bytes = static_cast<int64_t>(iDotSizeX / 8) * iDotSizeY;
    int64_t offset = static_cast<int64_t>(uiAddrStart) - (iPswType == 1 ? startDataIntoFile : 0);
    return ViewRange(binData, binLength, offset, bytes, pDataBuffer, uiDataSize, "Logo")
               ? HEADER_OK
               : HEADER_RANGE_ERROR;
}

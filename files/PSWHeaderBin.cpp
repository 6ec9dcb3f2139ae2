#include "files/PSWHeaderBin.h"

#include "common/Log.h"

const char* const PSWHeaderBin::HeaderMarker[] = {"?", "@", ""};

int PSWHeaderBin::ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                                   bool& /*carriesUpgrade*/) {
    static const char* const fn = "ExtractHederInfo";
    if (data == nullptr || position < 0 || position >= size) return HEADER_RANGE_ERROR;
    const unsigned char* r = data + position;
    iPswType = r[0] == '?' ? 1 : 0;
    Log::WriteLogP(fn, "iPswType: %d\n", iPswType);
    const int recordLength = iPswType == 1 ? 5 : 8;
    if (!HasBytes(size, position, recordLength)) {
        Log::WriteLogP(fn, "ERROR bin record truncated: %lld of %d bytes",
                       static_cast<long long>(size - position), recordLength);
        return HEADER_RANGE_ERROR;
    }
    if (iPswType == 1) {
        uiBinLength = ReadBE(r + 1, 4);
    } else {
        uiBinLength = ReadBE(r + 1, 3);
        iNumBanks = r[4];
        uiBinSize = ReadBE(r + 5, 3);
    }
    Log::WriteLogP(fn, "uiBinLength: %d", static_cast<int>(uiBinLength));
    if (iPswType == 0) {
        Log::WriteLogP(fn, "iNumBanks: %d", iNumBanks);
        Log::WriteLogP(fn, "uiBinSize: %d", static_cast<int>(uiBinSize));
    }
    iStartDataIntoFile = position + recordLength;
    Log::WriteLogP(fn, "iStartDataIntoFile: %d", static_cast<int>(iStartDataIntoFile));
    if (!HasBytes(size, iStartDataIntoFile, uiBinLength)) {
        Log::WriteLogP(fn, "ERROR data area of %u bytes exceeds the file (%lld bytes left)",
                       uiBinLength, static_cast<long long>(size - iStartDataIntoFile));
        return HEADER_RANGE_ERROR;
    }
    return HEADER_OK;
}

#pragma once

#include "files/PSWHeader.h"

// Bin record, markers "?" (second generation) and "@": the last record,
// followed at once by the data area. Reading the record checks that the data
// area lies inside the file; the package then points pDataBuffer at it.
class PSWHeaderBin : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderBin() : PSWHeader(HTYPE_BIN) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    uint32_t uiBinLength = 0;
    int32_t iNumBanks = 0;
    uint32_t uiBinSize = 0;
    int64_t iStartDataIntoFile = 0;
    ByteView pDataBuffer;
};

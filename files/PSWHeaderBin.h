#pragma once

#include "files/PSWHeader.h"

// Bin record, markers "?" (second generation) and "@": the last record,
// followed at once by the data area, which it copies into its own buffer.
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
    ByteBuffer pDataBuffer;
};

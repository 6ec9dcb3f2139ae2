#pragma once

#include "files/PSWHeader.h"

// Logos record, markers "l" (second generation, file offset) and "L"
// (offset into the data area).
class PSWHeaderLogos : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderLogos() : PSWHeader(HTYPE_LOGOS) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;
    int ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                          int64_t startDataIntoFile) override;

    int32_t iNumLogo = 0;
    int32_t iTotLogos = 0;
    int32_t iDotSizeX = 0;
    int32_t iDotSizeY = 0;
    uint32_t uiAddrStart = 0;
    int32_t iNumColors = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
    ByteView pDataBuffer;
    uint32_t uiDataSize = 0;
};

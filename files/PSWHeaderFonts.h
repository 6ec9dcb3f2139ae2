#pragma once

#include "files/PSWHeader.h"

// Fonts record, markers "f" (second generation, file offset) and "F"
// (offset into the data area).
class PSWHeaderFonts : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderFonts() : PSWHeader(HTYPE_FONTS) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;
    int ExtractDataBuffer(unsigned char* binData, int64_t binLength,
                          int64_t startDataIntoFile) override;

    int32_t iNumFont = 0;
    int32_t iTotFonts = 0;
    int32_t iFontSizeX = 0;
    int32_t iFontSizeY = 0;
    int32_t iFontAsciiStart = 0;
    int32_t iFontAsciiEnd = 0;
    uint32_t uiAddrStart = 0;
    int32_t iFontOrient = 0;
    int32_t iMarginLeft = 0;
    int32_t iMarginRight = 0;
    int32_t iMarginUp = 0;
    int32_t iMarginDown = 0;
    int32_t iSort = 0;
    std::string strFontName;
    int32_t iNumModuleParent = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
    ByteView pDataBuffer;
    uint32_t uiDataSize = 0;
};

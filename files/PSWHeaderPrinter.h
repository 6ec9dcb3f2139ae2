#pragma once

#include "files/PSWHeader.h"

// Printer record, marker "P": always the first record of a package.
class PSWHeaderPrinter : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderPrinter() : PSWHeader(HTYPE_PRINTER) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    std::string strPrinterModel;
    std::string strReleaseHW;
    std::string strReleasePSW;
    std::string strCreationDate;
    int32_t iNumBanksVectorInterrupt = 0;
    int32_t iGSILow = 0;
    int32_t cComPortType = 0;
    int32_t iScrambleByte = 0;
    int32_t iGSIHight = 0;
    uint32_t uiChecksum1 = 0;
    uint32_t uiChecksum2 = 0;
};

#pragma once

#include "files/PSWHeader.h"

// Software record, markers "s" (second generation) and "S".
class PSWHeaderSoftware : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderSoftware() : PSWHeader(HTYPE_SOFTWARE) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    int32_t iNumBank = 0;
    int32_t iNumTotBanks = 0;
    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
    int32_t bex = 0;
};

#pragma once

#include "files/PSWHeader.h"

// Generic data record, marker "d": read and logged only.
class PSWHeaderGenericData : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderGenericData() : PSWHeader(HTYPE_GENERICDATA) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    int32_t iBlock = 0;
    int32_t iTotBlocks = 0;
    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

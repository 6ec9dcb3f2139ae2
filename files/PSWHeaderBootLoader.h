#pragma once

#include "files/PSWHeader.h"

// Boot loader record, marker "b": read and logged only.
class PSWHeaderBootLoader : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderBootLoader() : PSWHeader(HTYPE_BOOTLOADER) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

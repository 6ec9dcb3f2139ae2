#pragma once

#include "files/PSWHeader.h"

// USB loader record, marker "u": read and logged only.
class PSWHeaderUSBLoader : public PSWHeader {
  public:
    static const char* const HeaderMarker[];

    PSWHeaderUSBLoader() : PSWHeader(HTYPE_USBLOADER) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

#pragma once

#include "files/PSWHeader.h"

// A loader record (USB loader or boot loader): its start address, the header
// release it supports and its header type, read and logged only.
class PSWHeaderLoader : public PSWHeader {
  public:
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;

  protected:
    explicit PSWHeaderLoader(HTYPE type) : PSWHeader(type) {}
};

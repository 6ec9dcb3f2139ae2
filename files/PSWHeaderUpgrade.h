#pragma once

#include "files/PSWHeader.h"

// Upgrade identification carried by a software record whose bex byte is
// HeaderMarkerExtraInfo; it has no marker of its own.
class PSWHeaderUpgrade : public PSWHeader {
  public:
    static const char* const HeaderMarker[];
    static constexpr unsigned char HeaderMarkerExtraInfo = 0xAA;

    PSWHeaderUpgrade() : PSWHeader(HTYPE_UPGRADE) {}
    int ExtractHederInfo(const unsigned char* data, int64_t size, int64_t position,
                         bool& carriesUpgrade) override;

    int32_t bex = 0;
    int32_t iIDFamily = 0;
    int32_t iIDModel = 0;
    int32_t iIDCustomization = 0;
};

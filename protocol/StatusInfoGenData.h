#pragma once

#include <cstdint>
#include <vector>

#include "protocol/StatusInfoBits.h"

// Description of the four general status bytes ("<C128>"), preloaded with
// the standard bits.
class StatusInfoGenData : public StatusInfoBits {
  public:
    StatusInfoGenData();

    void InitWithStandardBits();
    // Held bits whose position is set in ulBitMaskSupported, byte 1 bit 0
    // first. The bits stay owned by this record.
    std::vector<StatusBitInfo*> GetOnlyBitsAvailable() const;

    uint64_t ulBitMaskSupported = 0;
};

#pragma once

#include <vector>

#include "protocol/StatusInfoBits.h"

// Description of the extended status bytes ("<C129>").
class StatusInfoExtData : public StatusInfoBits {
  public:
    StatusInfoExtData() : StatusInfoBits(0) {}

    // Every held bit of bytes 1..iNumBytes, byte 1 bit 0 first. The bits stay
    // owned by this record.
    std::vector<StatusBitInfo*> GetOnlyBitsAvailable() const {
        return BitsInOrder([](int, int) { return true; });
    }
};

#pragma once

#include <cstdint>

#include "protocol/SetupItemType.h"

// A setup item holding a local date and time (calendar seconds, 64 bits
// whatever the width of the system's time_t).
class SetupItemTypeDateTime : public SetupItemType {
  public:
    int64_t tCurValue = 0;
    int64_t tNewValue = 0;
};

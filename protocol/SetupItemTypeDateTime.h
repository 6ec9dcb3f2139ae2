#pragma once

#include <ctime>

#include "protocol/SetupItemType.h"

// A setup item holding a local date and time (calendar seconds).
class SetupItemTypeDateTime : public SetupItemType {
  public:
    time_t tCurValue = 0;
    time_t tNewValue = 0;
};

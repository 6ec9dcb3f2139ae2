#pragma once

#include "protocol/SetupItemType.h"

// A setup item with a numeric value in a range.
class SetupItemTypeNumeric : public SetupItemType {
  public:
    float fMinValue = 0.0f;
    float fMaxValue = 0.0f;
    float fStepValue = 0.0f;
    float fDefValue = 0.0f;
    float fCurValue = 0.0f;
    float fNewValue = 0.0f;
};

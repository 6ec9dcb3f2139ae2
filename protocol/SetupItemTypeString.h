#pragma once

#include "protocol/SetupItemType.h"

// A setup item holding a text.
class SetupItemTypeString : public SetupItemType {
  public:
    SetupItemTypeString() {
        szDefValue[0] = '\0';
        szCurValue[0] = '\0';
        szNewValue[0] = '\0';
    }

    int iMinLen = 0;
    int iMaxLen = 0;
    int iDataMask = 0;
    char szDefValue[TEXT_SIZE];
    char szCurValue[TEXT_SIZE];
    char szNewValue[TEXT_SIZE];
};

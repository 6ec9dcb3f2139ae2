#pragma once

#include <vector>

#include "protocol/LogosInfo.h"

// Logo memory of a printer ("<C48>"). Owns its descriptions.
class LogosType {
  public:
    static constexpr int INFINITE = 0x7FFFFFFF;

    LogosType() = default;
    ~LogosType();
    LogosType(const LogosType&) = delete;
    LogosType& operator=(const LogosType&) = delete;

    // 0 without descriptions, INFINITE when one has no limit, else the largest
    // limit (0 when every limit is negative).
    void CalcNumMaxLogo();

    bool bPrintPreview = false;
    std::vector<LogosInfo*> vLogosInfo;
    int iNumMaxLogo = 0;
};

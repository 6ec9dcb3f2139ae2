#pragma once

#include <cstdint>

// One logo memory description of a "<C48>" answer, members in answer order.
class LogosInfo {
  public:
    static constexpr uint32_t NO_SIZE = 16777215;

    int iLogoKind = 0;
    // Most logos of this kind; 0 means no limit.
    int iMaxLogos = 0;
    bool bNotBitmap = false;
    bool bFlagY = false;
    // 0 for mode "M1", 1 otherwise.
    int iMode = 1;
    int iValue6 = 0;
    bool bFixedSize = false;
    uint32_t uiWidth = NO_SIZE;
    uint32_t uiHeight = NO_SIZE;
    int iValue8 = 0;
    int iValue9 = 0;
};

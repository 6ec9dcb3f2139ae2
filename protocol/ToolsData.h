#pragma once

#include <cstdint>

// Printer tools: the tool masks a printer supports ("<C80>"), the conversion
// between tool identifier and mask, and the tools' time-outs.
class ToolsData {
  public:
    static constexpr int DEFAULT_TIMEOUT_MS = 1000;

    // 1 shifted left by (toolId - 1), the shift taken modulo 32.
    static unsigned FromIntToToolMask(int toolId);
    // Time-out of the known tool (toolNum, toolId); DEFAULT_TIMEOUT_MS for others.
    static int GetToolTimeout(int toolNum, int toolId);

    // True when toolMask shares a bit with the mask of table toolNum (1 or 2).
    bool IsRequestedToolSupported(unsigned toolNum, unsigned toolMask) const;

    uint32_t uiToolsMask1 = 0;
    uint32_t uiToolsMask2 = 0;
};

#pragma once

// Printer tools: tool tables, masks and time-outs.
class ToolsData {
  public:
    // 1 shifted left by (toolId - 1), the shift taken modulo 32.
    static unsigned FromIntToToolMask(int toolId);
};

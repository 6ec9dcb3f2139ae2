#pragma once

#include <cstdint>
#include <vector>

// One tool known to the program: its tool table, its bit in that table's
// mask, its name and how long to wait for its answer.
class ToolTag {
  public:
    ToolTag(unsigned toolNum, unsigned toolMask, const char* name, int timeoutMs)
        : uiToolNum(toolNum), uiToolMask(toolMask), szName(name), iTimeout(timeoutMs) {}

    uint32_t uiToolNum;
    uint32_t uiToolMask;
    const char* szName;
    int iTimeout;
};

// The known tools, in table order.
extern const std::vector<ToolTag> ToolsVector;

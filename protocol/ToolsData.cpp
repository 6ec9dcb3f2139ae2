#include "protocol/ToolsData.h"

#include "common/GenericFunctions.h"
#include "protocol/ToolTag.h"

unsigned ToolsData::FromIntToToolMask(int toolId) {
    return 1u << (static_cast<unsigned>(toolId - 1) % 32u);
}

int ToolsData::GetToolTimeout(int toolNum, int toolId) {
    for (const ToolTag& tool : ToolsVector) {
        if (static_cast<int64_t>(tool.uiToolNum) == toolNum &&
            static_cast<int64_t>(GenericFunctions::GetMSBIndexFromUInt(tool.uiToolMask)) ==
                toolId) {
            return tool.iTimeout;
        }
    }
    return DEFAULT_TIMEOUT_MS;
}

bool ToolsData::IsRequestedToolSupported(unsigned toolNum, unsigned toolMask) const {
    if (toolNum == 1) return (toolMask & uiToolsMask1) != 0;
    if (toolNum == 2) return (toolMask & uiToolsMask2) != 0;
    return false;
}

#include "protocol/ToolsData.h"

unsigned ToolsData::FromIntToToolMask(int toolId) {
    return 1u << (static_cast<unsigned>(toolId - 1) % 32u);
}

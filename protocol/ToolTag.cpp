#include "protocol/ToolTag.h"

const std::vector<ToolTag> ToolsVector = {
    ToolTag(1, 1, "BLACKMARK AUTOSET", 20000), ToolTag(1, 2, "CHARACTERIZATION PAPER", 15000),
    ToolTag(1, 4, "PRINT DEVICE SETUP", 5000), ToolTag(1, 8, "SET DATETIME", 5000),
    ToolTag(1, 16, "HEAD TEST", 120000),       ToolTag(1, 32, "UPLOAD SPTFILE", 5000),
    ToolTag(1, 64, "FLASH RESET", 5000),
};

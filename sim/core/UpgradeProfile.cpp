#include "sim/core/UpgradeProfile.h"

bool ParseUpgradeStep(const std::string& name, UpgradeProfile::Step& step) {
    static const char* const NAMES[UpgradeProfile::STEP_COUNT] = {"upginfo", "modlist", "module",
                                                                  "program"};
    for (int i = 0; i < UpgradeProfile::STEP_COUNT; ++i) {
        if (name == NAMES[i]) {
            step = static_cast<UpgradeProfile::Step>(i);
            return true;
        }
    }
    return false;
}

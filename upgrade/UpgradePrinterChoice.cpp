// The one place that knows the engine classes.
#include "upgrade/UpgradePrinter.h"
#include "upgrade/UpgradePrinter_ModeU1.h"
#include "upgrade/UpgradePrinter_ModeU2.h"
#include "upgrade/UpgradePrinter_ModeU3.h"
#include "upgrade/UpgradePrinter_ModeU4.h"
#include "upgrade/UpgradePrinter_ModeU5.h"

std::unique_ptr<UpgradePrinter> UpgradePrinter::GetUpgradeClass(int mode, int components,
                                                                int timeMultiplier) {
    switch (mode) {
        case 1:
            return std::make_unique<UpgradePrinter_ModeU1>(components, timeMultiplier);
        case 2:
            return std::make_unique<UpgradePrinter_ModeU2>(components, timeMultiplier);
        case 3:
            return std::make_unique<UpgradePrinter_ModeU3>(components, timeMultiplier);
        case 4:
            return std::make_unique<UpgradePrinter_ModeU4>(components, timeMultiplier);
        case 5:
            return std::make_unique<UpgradePrinter_ModeU5>(components, timeMultiplier);
        default:
            return nullptr;
    }
}

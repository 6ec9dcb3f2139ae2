#include "sim/core/UpgradeVerdict.h"

#include <algorithm>
#include <set>

#include "sim/core/PackageImage.h"

namespace {

// Module record characters: fonts, flash disk and logos are the main
// modules; font kind "C", "u", "b" and the firmware record "s" are never sent
// as modules; every other character is an other module.
bool MainModule(char record) { return record == 'f' || record == 'd' || record == 'l'; }
bool NeverSent(char record) {
    return record == 'C' || record == 'u' || record == 'b' || record == 's';
}

}  // namespace

std::string HoldsText(const HeldState& held, const PackageImage& package) {
    std::string text = "firmware=";
    if (!held.firmwareWritten) {
        text += "old";
    } else {
        text += held.firmware == package.Firmware() ? "package" : "other";
    }
    text += " modules=";
    for (size_t i = 0; i < held.modules.size(); ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(held.modules[i]);
    }
    if (held.modules.empty()) text += "none";
    return text;
}

std::string VerdictText(const HeldState& held, const PackageImage& package, unsigned mask) {
    if ((mask & 7u) == 0) mask = 7;
    std::vector<std::string> reasons;
    const bool firmwareWanted = (mask & 1u) != 0;
    if (firmwareWanted && !held.firmwareWritten) reasons.push_back("firmware not written");
    if (firmwareWanted && held.firmwareWritten && held.firmware != package.Firmware()) {
        reasons.push_back("firmware not the package's");
    }
    if (!firmwareWanted && held.firmwareWritten) reasons.push_back("firmware written unasked");

    std::set<int> wanted;
    const auto& modules = package.Modules();
    for (size_t k = 0; k < modules.size() && package.Generation() == 2; ++k) {
        const char record = modules[k].typeChar;
        if (NeverSent(record)) continue;
        if ((MainModule(record) && (mask & 2u)) || (!MainModule(record) && (mask & 4u))) {
            wanted.insert(static_cast<int>(k + 1));
        }
    }
    const std::set<int> got(held.modules.begin(), held.modules.end());
    for (int k : wanted) {
        if (got.count(k) == 0) reasons.push_back("module " + std::to_string(k) + " missing");
    }
    for (int k : got) {
        if (k == 0) {
            reasons.push_back("a module not the package's");
        } else if (wanted.count(k) == 0) {
            reasons.push_back("module " + std::to_string(k) + " unasked");
        }
    }
    if (reasons.empty()) return "package";
    std::string text = "not-package:";
    for (const std::string& r : reasons) text += " " + r + ";";
    text.pop_back();
    return text;
}

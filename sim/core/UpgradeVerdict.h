#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PackageImage;

// What the printer holds once an upgrade has ended: the firmware it wrote
// into its flash (or its boot program did) and the modules it accepted.
struct HeldState {
    bool firmwareWritten = false;
    std::vector<uint8_t> firmware;  // the whole image written; empty when it is not whole
    std::vector<int> modules;       // package module numbers accepted (0: not the package's)
};

// "firmware=package|other|old modules=N,N|none" ("old": nothing written;
// module 0 is one that is not the package's).
std::string HoldsText(const HeldState& held, const PackageImage& package);

// "package" when the printer holds exactly what a download of the package
// with this component mask (1 firmware, 2 fonts, flash disk and logos, 4 other
// modules; none of them: all) selects, else "not-package: " and the reasons.
// A first-generation package carries only its firmware.
std::string VerdictText(const HeldState& held, const PackageImage& package, unsigned mask);

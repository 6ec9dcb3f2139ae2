#pragma once

#include <string>

#include "sim/core/UpgradeProfile.h"

class PackageImage;

// The printer profile for package upgrades and module writes, from prnsim's
// command line or from a profile file (--profile).
struct UpgradeOptions {
    UpgradeProfile profile;
    std::string package;  // package to compare what arrives with
    std::string saveDir;  // folder for the received firmware image and modules
    std::string release;  // firmware release given by a profile file
    int expectMask = -1;  // component mask of the download, for the verdict (-1: none)
    bool bankSizeGiven = false;
    bool banksGiven = false;
};

// words[0] is an option, words[1..count-1] what follows it. Returns how many
// words it used, 0 for an option that is not one of these, -1 with a reason
// for a bad value.
int ParseUpgradeOption(int count, char** words, UpgradeOptions& options, std::string& error);

// Loads the package named by the options and takes its bank size and count
// where the options left them open; false with a reason when it cannot be read.
bool LoadUpgradePackage(UpgradeOptions& options, PackageImage& package, std::string& error);

const char* UpgradeUsage();

#pragma once

#include <cstdint>

// Upgrade modes a printer can ask for (0: not recognised).
enum UPGRADEMODE : int {
    UPGRADEMODE_NONE = 0,
    UPGRADEMODE_U1 = 1,
    UPGRADEMODE_U2 = 2,
    UPGRADEMODE_U3 = 3,
    UPGRADEMODE_U4 = 4,
    UPGRADEMODE_U5 = 5,
};

// Upgrade mode and identification of a printer ("<C112>").
class UpgradeDataInfo {
  public:
    static constexpr int TEXT_SIZE = 512;

    UpgradeDataInfo();

    // "<U1>".."<U5>" (any case) set the mode 1..5; anything else sets 0 and fails.
    bool SetUpgradeMode(const char* text);
    // Stores the text without "<" and ">"; a lone blank becomes empty. Cut at
    // 511 characters.
    bool SetUpgradeConfigurationSettings(const char* text);
    // "<family;model;customization>", three decimal numbers; nothing changes
    // on failure.
    bool SetUpgradeDeviceIDs(const char* text);

    int iUpgradeMode;
    char szConfigurationSettings[TEXT_SIZE];
    uint32_t iIDFamily;
    uint32_t iIDModel;
    uint32_t iIDCustomization;
};

#pragma once

#include <vector>

#include "upgrade/UpgradePrinter.h"

// Engine of upgrade mode U5: the first three banks (the code) in one start and
// program sequence, after which the printer restarts; every further bank (the
// data) with its own commands and, but for the last, a one-byte answer. All
// modules go after the firmware.
class UpgradePrinter_ModeU5 : public UpgradePrinter {
  public:
    static constexpr int CODE_BANKS = 3;

    UpgradePrinter_ModeU5(int components, int timeMultiplier);

    bool StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool SendFW(UpgradeDataInfo& info, CComPort& port, PSWFile& psw, CommPortSettings& settings,
                void* reserved1, void* reserved2);
    bool SendBankFlashCODE(CComPort& port, std::vector<unsigned char*>& banks, int bankSize,
                           unsigned long sum1, unsigned long sum2, bool unused, void* reserved);
    bool SendBankFlashDATA(CComPort& port, unsigned char* bank, int bankSize, unsigned long sum1,
                           unsigned long sum2, bool unused, void* reserved, int bankIndex,
                           int numBanks, bool isLast);

  private:
    bool WaitDataBankAnswer(CComPort& port);
};

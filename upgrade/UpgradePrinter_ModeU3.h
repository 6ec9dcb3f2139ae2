#pragma once

#include <vector>

#include "upgrade/UpgradePrinter.h"

// Engine of upgrade mode U3: the banks go out in large pieces between a start
// and a program command; no programming answer is read and nothing is
// retried: the printer restarts (USB) or is given a fixed time.
class UpgradePrinter_ModeU3 : public UpgradePrinter {
  public:
    UpgradePrinter_ModeU3(int components, int timeMultiplier);

    bool StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool SendFW(UpgradeDataInfo& info, CComPort& port, PSWFile& psw, CommPortSettings& settings,
                void* reserved1, void* reserved2);
    bool SendBankFlashGeneric(CComPort& port, std::vector<unsigned char*>& banks, int bankSize,
                              unsigned long sum1, unsigned long sum2, bool sameVersion,
                              void* reserved);
};

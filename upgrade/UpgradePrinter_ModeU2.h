#pragma once

#include "upgrade/UpgradePrinter_ModeU4.h"

// Engine of upgrade mode U2: the USB boot-mode download of mode U4 with the
// boot program's security kept. The boot program's release is read first;
// from release 1.00 on its security setting is saved, and a boot program that
// refuses the first save command is of the newer kind, which takes a second
// one and answers "R" in places. The boot device is reset at the end, and
// the modules follow the firmware without asking the user.
class UpgradePrinter_ModeU2 : public UpgradePrinter_ModeU4 {
  public:
    // The boot program's release could not be asked for.
    static constexpr BTPRGERROR ERROR_RELEASE_REQUEST = 10;
    static constexpr int MODULES_WAIT_MS = 20000;  // not multiplied by timem

    UpgradePrinter_ModeU2(int components, int timeMultiplier);

    bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool SendResetCommandUSB(CComPort& port) override;
    bool SendResetCommandUSBForSuccess(CComPort& port) override;

  protected:
    bool AfterBitRateAdjustment(CComPort& port, BTPRGERROR& error) override;
    BootStep DataAreaBlankCheck() const override;
    unsigned char ReadyStatusByte() const override;
    void ExplainConnectionError(BTPRGERROR error) override;
};

#include "upgrade/UpgradePrinter_ModeU3.h"

#include "comm/ComPort.h"
#include "common/Log.h"

namespace {

const char* const FN_PSW2 = "StartUpgrade_PSW2";
const char* const FN_SEND = "SendFW";
const char* const FN_BANKS = "SendBankFlashGeneric";

}  // namespace

UpgradePrinter_ModeU3::UpgradePrinter_ModeU3(int components, int timeMultiplier)
    : UpgradePrinter(components, timeMultiplier) {
    iModeNumber = 3;
}

bool UpgradePrinter_ModeU3::StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& /*components*/) {
    return SendFirmwareOnly(
        [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); });
}

bool UpgradePrinter_ModeU3::StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& components) {
    Log::WriteLog(FN_PSW2, "START Upgrade PSW2");
    FirmwareImage image;
    // A broken image stops the upgrade before any module is sent.
    if (FirmwareToBeSent(components) && !TakeFirmwareImage(port, psw, 1, FN_SEND, image)) {
        return false;
    }

    if (!SendModulesBeforeFirmware(port, psw, components, reserved1, 20000, FN_PSW2)) return false;

    auto sendFirmware = [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); };
    // The printer needs this long whatever the multiplier says.
    if (!SendFirmwareStep(components, sendFirmware, 20000, WaitScale::Unscaled)) return false;

    if (!ModulesEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
        return true;
    }
    if (!SendModulePass(port, psw, components, reserved1, 20000, false, FN_PSW2)) return false;
    return true;
}

bool UpgradePrinter_ModeU3::SendFW(UpgradeDataInfo& /*info*/, CComPort& port, PSWFile& psw,
                                   CommPortSettings& /*settings*/, void* /*reserved1*/,
                                   void* reserved2) {
    FirmwareImage image;
    if (!TakeFirmwareImage(port, psw, 1, FN_SEND, image)) return false;
    bool sameVersion = false;
    if (!PrepareFirmwareTransfer(port, psw, FN_SEND, kReOpenAndGoOn, sameVersion)) return false;
    std::vector<unsigned char*> banks = CutBanks(image, 0, image.numBanks);
    unsigned long sum1 = 0;
    unsigned long sum2 = 0;
    GetCheckSumBanks(banks, image.bankSize, sum1, sum2);
    if (!SendBankFlashGeneric(port, banks, image.bankSize, sum1, sum2, sameVersion, reserved2)) {
        Log::WriteLog(FN_SEND, "Upgrade Error");
        return false;
    }
    return true;
}

bool UpgradePrinter_ModeU3::SendBankFlashGeneric(CComPort& port, std::vector<unsigned char*>& banks,
                                                 int bankSize, unsigned long sum1,
                                                 unsigned long sum2, bool sameVersion,
                                                 void* /*reserved*/) {
    int count = static_cast<int>(banks.size());
    if (!SendBankRun(port, banks, count, bankSize, sum1, sum2, FN_BANKS)) return false;
    if (sameVersion) {
        Log::WriteLog(FN_BANKS, "Same version: Wait then exit...");
        return true;
    }
    if (port.iPortType == COMMPORT_USB) {
        Log::WriteLog(FN_BANKS, "Different version: Wait printer reset...");
        WaitPrinterRestart(port, FN_BANKS, "Different version: Printer reset...");
        return true;
    }
    Log::WriteLog(FN_BANKS, "Com or Eth port: Wait then exit..");
    Pause(12000, "waiting for the printer to restart");
    return true;
}

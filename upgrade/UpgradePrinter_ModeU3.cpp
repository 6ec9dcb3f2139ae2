#include "upgrade/UpgradePrinter_ModeU3.h"

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "files/PSWComponents.h"

namespace {

const char* const FN_PSW1 = "StartUpgrade_PSW1";
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
    Log::WriteLog(FN_PSW1, "START Upgrade PSW1");
    if (!FirmwareEnabled()) {
        Log::WriteLog(FN_PSW1, "Upgrade FW not enabled in command line arguments ");
        return false;
    }
    Log::WriteLog(FN_PSW1, "Send Fw...");
    bool result = SendFW(info, port, psw, settings, reserved1, reserved2);
    // Service scripts search for this line as it has always been written.
    Log::WriteLog(FN_PSW1, "Send FW:{0}");
    return result;
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

    if (ModulesEnabled()) {
        FilterModulesByMask(components);
        if (!SendAllModules(port, psw, components, reserved1, 20000, true, false)) {
            Log::WriteLog(FN_PSW2, "SendAllModules Failed...");
            return false;
        }
    } else {
        Log::WriteLog(FN_PSW2, "Upgrade Before Modules not enabled in command line arguments ");
    }

    if (!FirmwareEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade FW not enabled in command line arguments ");
    } else if (components.HasComponent(PSWCOMP_FW)) {
        Log::WriteLog(FN_PSW2, "Send Fw...");
        bool result = SendFW(info, port, psw, settings, reserved1, reserved2);
        Log::WriteLogP(FN_PSW2, "Send FW:%d", result ? 1 : 0);
        if (!result) {
            Log::WriteLog(FN_PSW2, "Programming SW NOT OK!");
            return false;
        }
        Log::WriteLog(FN_PSW2, "Programming OK!");
        CmdConsole::WriteToConsoleString("%s", "Programming OK!");
        Pause(8000);
        if (components.HasAfterModules()) {
            Log::WriteLog(FN_PSW2, "Wait before starting modules upgrade!");
            // The printer needs this long whatever the multiplier says.
            PauseUnscaled(20000);
        }
    } else {
        Log::WriteLog(FN_PSW2, "Skip Fw...");
    }

    if (!ModulesEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
        return true;
    }
    FilterModulesByMask(components);
    if (!SendAllModules(port, psw, components, reserved1, 20000, false, true)) {
        Log::WriteLog(FN_PSW2, "SendAllModules Failed...");
        return false;
    }
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
    {
        BankWindow window(port);
        Log::WriteLog(FN_BANKS, "Sending command to start upgrade...");
        if (!WriteAll(port, StartCommand(0, count - 1))) {
            Log::WriteLog(FN_BANKS, "Communication Error! exit...");
            return false;
        }
        for (int i = 1; i <= count; ++i) {
            int percent = 100 * i / count;
            CmdConsole::WriteToConsoleString("Sending bank...%d/%d (%d%%)", i, count, percent);
            Log::WriteLogP(FN_BANKS, "Sending bank...%d/%d (%d%%)", i, count, percent);
            if (!WriteBank(port, banks[static_cast<size_t>(i - 1)], bankSize)) {
                Log::WriteLog(FN_BANKS, "Communication Error! exit...");
                return false;
            }
        }
        Log::WriteLog(FN_BANKS, "Sending command to program Flash...");
        if (!WriteAll(port, ProgramCommand(0, count - 1, sum1, sum2))) {
            Log::WriteLog(FN_BANKS, "Communication Error! exit...");
            return false;
        }
    }
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
    Pause(12000);
    return true;
}

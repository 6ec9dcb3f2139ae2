// Firmware package upgrade: the package checked against the printer, then
// handed to the engine of the printer's upgrade mode.
#include <cstdio>
#include <memory>
#include <vector>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/PersonConsole.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderUpgrade.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/UpgradeDataInfo.h"
#include "upgrade/UpgradePrinter.h"

namespace {

const char* const FN = "PrnCom_UpgradePrinter";

struct IdentityCheck {
    const char* format;
    uint32_t printer;
    int32_t package;
};

}  // namespace

bool PrinterComm::PrnCom_UpgradePrinter(CComPort* link, PSWFile* package,
                                        CommPortSettings* settings, PSWComponents* components) {
    Log::WriteLog(FN, "Begin");
    std::vector<PSWHeader*> records = package->GetHeaders(HTYPE_UPGRADE);
    if (records.empty() || records.front() == nullptr) {
        // Not one byte goes to the printer for a package of another program.
        Log::WriteLog(FN, "This PSW isn't for this software");
        iErrorCode = ERROR_NO_UPGRADE_RECORD;
        return false;
    }
    const auto* upgrade = static_cast<const PSWHeaderUpgrade*>(records.front());

    PrinterDialogue dialogue(*this, *link, FN);
    ProtocollDataAvailable* available =
        dialogue.OpenAndReadDataAvailable(*settings, PrinterDialogue::Opening::EscPosSwitch);
    if (available == nullptr) return false;
    if (!available->UpgradePrinterAvailable(true, true)) {
        return dialogue.Fail(ERROR_UPGRADE_NOT_OFFERED, "Upgrade printer not supported!");
    }

    dialogue.Send(Commands::Cmd_CommandUpgradeInfo);
    if (!dialogue.Receive())
        return dialogue.Fail(ERROR_UPGRADE_NOT_OFFERED, "Get Upgrade Info Error");
    if (dialogue.FailOnErrorAnswer()) return false;
    auto* info = static_cast<UpgradeDataInfo*>(dialogue.Decode(OBJTYPE_UPGRADEINFO));
    if (info == nullptr) return dialogue.Fail(ERROR_STEP, "Extract UpgradeDataInfo Error");
    Log::WriteLog(FN, "GetUpgradeInfo OK");

    // A printer identifier of 0 takes a package of any value.
    const IdentityCheck checks[] = {
        {"Family Compare Error (%d,%d)", info->iIDFamily, upgrade->iIDFamily},
        {"Model Compare Error (%d,%d)", info->iIDModel, upgrade->iIDModel},
        {"Customization Compare Error (%d,%d)", info->iIDCustomization, upgrade->iIDCustomization},
    };
    for (const IdentityCheck& check : checks) {
        if (check.printer == 0 || static_cast<int64_t>(check.printer) == check.package) continue;
        char text[128];
        snprintf(text, sizeof(text), check.format, static_cast<int>(check.printer), check.package);
        PersonConsole::Cause(
            "the package is for family %d, model %d, customization %d; the printer is family %u, "
            "model %u, customization %u",
            upgrade->iIDFamily, upgrade->iIDModel, upgrade->iIDCustomization, info->iIDFamily,
            info->iIDModel, info->iIDCustomization);
        return dialogue.Fail(ERROR_DEVICE_MISMATCH, text);
    }

    std::unique_ptr<UpgradePrinter> engine =
        UpgradePrinter::GetUpgradeClass(info->iUpgradeMode, iComponentMask, timem);
    if (!engine) {
        char text[64];
        snprintf(text, sizeof(text), "Upgrade Mode %d Not Supported!", info->iUpgradeMode);
        return dialogue.Fail(ERROR_STEP, text);
    }
    engine->bVerify = bVerify;
    bool done = package->iPswType != 0
                    ? engine->StartUpgrade_PSW2(*info, *link, *package, *settings, nullptr, nullptr,
                                                *components)
                    : engine->StartUpgrade_PSW1(*info, *link, *package, *settings, nullptr, nullptr,
                                                *components);
    if (!done) return dialogue.Fail(ERROR_STEP, "Upgrade Error!");
    if (bVerify && !engine->ConfirmUpgrade(*link, *package, strNotVerified)) {
        return dialogue.Fail(ERROR_NOT_VERIFIED, strNotVerified.c_str());
    }
    Log::WriteLog(FN, "End");
    link->Close();
    return true;
}

#include "operations/PackageDryRun.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "comm/ComPort.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderUpgrade.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "operations/UpgradePlan.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/UpgradeDataInfo.h"
#include "upgrade/UpgradePrinter.h"

namespace {

const char* const FN = "PrnCom_DryRunUpgrade";
// Requests of the opening and the upgrade information: the ESC/POS switch
// goes unanswered, three are answered.
constexpr int ANSWERED_REQUESTS = 3;

bool Stop(const PrinterComm& comm, DryRunFacts& facts, const char* stage) {
    facts.stage = stage;
    facts.errorCode = comm.iErrorCode;
    return false;
}

// Where the shared opening stopped, from the code it stored.
const char* OpeningStage(int code, const PrinterDialogue& dialogue) {
    if (code == PrinterComm::ERROR_OPEN) return "open";
    if (code == PrinterComm::ERROR_STEP && dialogue.PrinterVersion().ulVersion != 0) {
        return "data available";
    }
    return "protocol version";
}

}  // namespace

bool PackageDryRun::Run(PrinterComm& comm, CComPort& link, PSWFile& package,
                        CommPortSettings& settings, DryRunFacts& facts) {
    Log::WriteLog(FN, "Begin");
    facts.generation = package.iPswType != 0 ? 2 : 1;
    facts.packageRelease = UpgradePlan::PackageRelease(package);
    std::vector<PSWHeader*> records = package.GetHeaders(HTYPE_UPGRADE);
    if (records.empty() || records.front() == nullptr) {
        Log::WriteLog(FN, "This PSW isn't for this software");
        comm.iErrorCode = PrinterComm::ERROR_NO_UPGRADE_RECORD;
        return Stop(comm, facts, "package");
    }
    const auto* upgrade = static_cast<const PSWHeaderUpgrade*>(records.front());
    facts.identityKnown = true;
    facts.packageFamily = upgrade->iIDFamily;
    facts.packageModel = upgrade->iIDModel;
    facts.packageCustomization = upgrade->iIDCustomization;

    PrinterDialogue dialogue(comm, link, FN);
    const uint64_t start = GenericFunctions::GetCurrentTimeMsec();
    ProtocollDataAvailable* available =
        dialogue.OpenAndReadDataAvailable(settings, PrinterDialogue::Opening::EscPosSwitch);
    if (available == nullptr) {
        return Stop(comm, facts, OpeningStage(comm.iErrorCode, dialogue));
    }
    if (!available->UpgradePrinterAvailable(true, true)) {
        dialogue.Fail(PrinterComm::ERROR_UPGRADE_NOT_OFFERED, "Upgrade printer not supported!");
        return Stop(comm, facts, "upgrade offered");
    }
    dialogue.Send(Commands::Cmd_CommandUpgradeInfo);
    if (!dialogue.Receive()) {
        dialogue.Fail(PrinterComm::ERROR_UPGRADE_NOT_OFFERED, "Get Upgrade Info Error");
        return Stop(comm, facts, "upgrade information");
    }
    if (dialogue.FailOnErrorAnswer()) return Stop(comm, facts, "upgrade information");
    auto* info = static_cast<UpgradeDataInfo*>(dialogue.Decode(OBJTYPE_UPGRADEINFO));
    if (info == nullptr) {
        dialogue.Fail(PrinterComm::ERROR_STEP, "Extract UpgradeDataInfo Error");
        return Stop(comm, facts, "upgrade information");
    }
    facts.roundTripMs =
        static_cast<int64_t>(GenericFunctions::GetCurrentTimeMsec() - start) / ANSWERED_REQUESTS;
    facts.infoRead = true;
    facts.mode = info->iUpgradeMode;
    facts.configuration = info->szConfigurationSettings;
    facts.family = info->iIDFamily;
    facts.model = info->iIDModel;
    facts.customization = info->iIDCustomization;

    // As the upgrade checks: a printer identifier of 0 takes any package value.
    const struct {
        const char* format;
        uint32_t printer;
        int32_t package;
    } checks[] = {
        {"Family Compare Error (%d,%d)", info->iIDFamily, upgrade->iIDFamily},
        {"Model Compare Error (%d,%d)", info->iIDModel, upgrade->iIDModel},
        {"Customization Compare Error (%d,%d)", info->iIDCustomization, upgrade->iIDCustomization},
    };
    for (const auto& check : checks) {
        if (check.printer == 0 || static_cast<int64_t>(check.printer) == check.package) continue;
        char text[128];
        snprintf(text, sizeof(text), check.format, static_cast<int>(check.printer), check.package);
        dialogue.Fail(PrinterComm::ERROR_DEVICE_MISMATCH, text);
        return Stop(comm, facts, "identity");
    }
    facts.fits = true;

    std::unique_ptr<UpgradePrinter> engine =
        UpgradePrinter::GetUpgradeClass(info->iUpgradeMode, comm.iComponentMask, comm.timem);
    if (!engine) {
        char text[64];
        snprintf(text, sizeof(text), "Upgrade Mode %d Not Supported!", info->iUpgradeMode);
        dialogue.Fail(PrinterComm::ERROR_STEP, text);
        return Stop(comm, facts, "upgrade mode");
    }
    if (!UpgradePlan::Make(*engine, *info, link, package, facts)) {
        comm.iErrorCode = facts.errorCode;
        return false;
    }
    // The engines read the release before the first bank; without the
    // firmware in the plan it is only told.
    std::string release;
    if (UpgradePlan::ReadRelease(link, release)) {
        facts.releaseRead = true;
        facts.release = release;
    } else if (facts.firmwareSent) {
        dialogue.Fail(PrinterComm::ERROR_STEP, "Read FW Release Error");
        return Stop(comm, facts, "release");
    }
    UpgradePlan::Estimate(*engine, *info, settings, facts);
    facts.stage = "done";
    Log::WriteLog(FN, "End");
    link.Close();
    return true;
}

#include "operations/UpgradePlan.h"

#include <cstdint>

#include "comm/ComPort.h"
#include "comm/CommPortSettings.h"
#include "common/Log.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderModule.h"
#include "operations/PrinterComm.h"
#include "upgrade/UpgradePrinter.h"
#include "upgrade/UpgradePrinter_ModeU1.h"
#include "upgrade/UpgradePrinter_ModeU2.h"
#include "upgrade/UpgradePrinter_ModeU5.h"

namespace {

const char* const FN = "PrnCom_DryRunUpgrade";

// The module groups of a component list and the records each one sends.
struct Group {
    uint32_t entry;
    int32_t recordId;
    const char* kind;
};
const Group kGroups[] = {
    {PSWCOMP_MODULE | PSWCOMP_FONTS, PSWHeaderModule::MODULE_FONT, "fonts"},
    {PSWCOMP_MODULE | PSWCOMP_FLASHDISK, PSWHeaderModule::MODULE_FLASHDISK, "flash disk"},
    {PSWCOMP_MODULE | PSWCOMP_LOGOS, PSWHeaderModule::MODULE_LOGOS, "logos"},
    {PSWCOMP_MODULE | PSWCOMP_OTHER, PSWHeaderModule::MODULE_OTHER, "other"},
};

// Link rates assumed for the transfer time: a serial line moves ten bits a
// byte; USB full speed and a printer's network interface about 1 MB/s.
constexpr int64_t ASSUMED_BYTES_PER_S = 1000000;
constexpr int64_t MODULE_PACKET = UpgradePrinter::MODULE_PACKET_SIZE;
constexpr int64_t MODULE_PACKET_PAUSE_MS = UpgradePrinter::MODULE_PACKET_PAUSE_MS;
constexpr int64_t RESTART_AT_MOST_MS = 6 * 5000;  // 7 reopenings 5 s apart
constexpr int64_t PROGRAMMING_ANSWER_AT_MOST_MS = 110000;

bool UsbOnlyMode(int mode) { return mode == 2 || mode == 4; }

// The module pass on one side of the firmware; the count of groups that
// send something, each followed by the engine's pause.
int AddModules(const PSWComponents& list, const PSWFile& package, bool after,
               std::vector<DryRunFacts::Step>& steps) {
    int groups = 0;
    for (int32_t i = 0; i < list.Size(); ++i) {
        if (!list.IsModule(i) || list.IsModuleAfter(i) != after) continue;
        const uint32_t entry = list.Get(i) & ~static_cast<uint32_t>(PSWCOMP_AFTER);
        for (const Group& group : kGroups) {
            if (group.entry != entry) continue;
            bool sent = false;
            for (PSWHeader* header : package.GetHeaders(HTYPE_MODULE)) {
                const auto* record = static_cast<const PSWHeaderModule*>(header);
                if (record->modModuleID != group.recordId) continue;
                steps.push_back({group.kind, after ? "after" : "before", record->uiDataSize,
                                 record->iNumModule});
                sent = true;
            }
            if (sent) ++groups;
        }
    }
    return groups;
}

bool Refuse(CComPort& port, DryRunFacts& facts, const char* stage, const char* text) {
    Log::WriteLog(FN, text);
    port.Close();
    facts.stage = stage;
    facts.errorCode = PrinterComm::ERROR_STEP;
    return false;
}

uint64_t BootImageSize(const PSWFile& package) {
    if (package.iPswType == 0) {
        const PSWHeaderBin* bin = package.GetHeaderBin();
        return bin != nullptr ? bin->uiBinLength : 0;
    }
    const PSWHeaderModule* software = package.GetHeaderModuleSoftware();
    return software != nullptr ? software->uiDataSize : 0;
}

int ModulePauseUnit(int mode, bool after) {
    switch (mode) {
        case 3:
            return 20000;
        case 2:
            return after ? 20000 : 10000;
        default:
            return 10000;
    }
}

}  // namespace

bool UpgradePlan::Make(UpgradePrinter& engine, const UpgradeDataInfo& /*info*/, CComPort& port,
                       PSWFile& package, DryRunFacts& facts) {
    const int mode = facts.mode;
    const bool second = package.iPswType != 0;
    PSWComponents list = package.components;
    // The boot-mode engines and U5 send every module after the firmware.
    if (second && (UsbOnlyMode(mode) || mode == 5)) list.ConvertModulesBeforeToAfter();

    bool firmware = true;
    if (!second) {
        if (!engine.FirmwareEnabled()) {
            return Refuse(port, facts, "plan", "Upgrade FW not enabled in command line arguments ");
        }
    } else if (mode == 2) {
        firmware = engine.FirmwareEnabled() && list.HasComponent(PSWCOMP_FW);
    } else {
        firmware = engine.FirmwareToBeSent(list);
    }
    if (UsbOnlyMode(mode) && port.iPortType != COMMPORT_USB &&
        (firmware || (second && mode == 2))) {
        return Refuse(port, facts, "plan", "Communication port not supported (only USB)");
    }
    uint64_t firmwareSize = 0;
    if (firmware && !UsbOnlyMode(mode)) {
        UpgradePrinter::FirmwareImage image;
        const int minBanks = mode == 5 ? UpgradePrinter_ModeU5::CODE_BANKS : 1;
        if (!engine.TakeFirmwareImage(port, package, minBanks, FN, image)) {
            facts.stage = "firmware image";
            facts.errorCode = PrinterComm::ERROR_STEP;
            return false;
        }
        facts.bankCount = image.numBanks;
        facts.bankSize = image.bankSize;
        firmwareSize =
            static_cast<uint64_t>(image.numBanks) * static_cast<uint64_t>(image.bankSize);
    } else if (firmware) {
        firmwareSize = BootImageSize(package);
    }

    if (second && engine.ModulesEnabled()) engine.FilterModulesByMask(list);
    const bool modules = second && engine.ModulesEnabled();
    int groupsBefore = modules ? AddModules(list, package, false, facts.steps) : 0;
    if (firmware) facts.steps.push_back({"firmware", "firmware", firmwareSize, 0});
    int groupsAfter = modules ? AddModules(list, package, true, facts.steps) : 0;
    for (int g = 0; g < groupsBefore + groupsAfter; ++g) {
        facts.waits.push_back({"after a module group",
                               engine.Scaled(ModulePauseUnit(mode, g >= groupsBefore)), false});
    }
    facts.firmwareSent = firmware;
    facts.modulesAfter = groupsAfter > 0;
    return true;
}

std::string UpgradePlan::PackageRelease(const PSWFile& package) {
    return UpgradePrinter::ExpectedRelease(package);
}

bool UpgradePlan::ReadRelease(CComPort& port, std::string& release) {
    // The engines reopen the link first, as a module pass may have closed
    // it; here it is still open from the upgrade information.
    if (!port.HandshakeCommunication(nullptr)) return false;
    unsigned length = 0;
    return UpgradePrinter::ReadFirmwareRelease(port, 511, release, length);
}

void UpgradePlan::Estimate(const UpgradePrinter& engine, const UpgradeDataInfo& info,
                           const CommPortSettings& link, DryRunFacts& facts) {
    std::vector<DryRunFacts::Wait>& waits = facts.waits;
    auto fixed = [&](const char* what, int64_t ms) { waits.push_back({what, ms, false}); };
    auto atMost = [&](const char* what, int64_t ms) { waits.push_back({what, ms, true}); };
    const bool second = facts.generation == 2;
    const bool same = facts.releaseRead && facts.release == facts.packageRelease;
    const int kind = link.iType;
    if (facts.firmwareSent) {
        switch (facts.mode) {
            case 1: {
                const bool silent = kind == COMMPORT_USB || kind == COMMPORT_SERIAL;
                if (kind == COMMPORT_ETH) {
                    fixed("reconnection after programming", engine.Scaled(3000));
                } else if (silent && UpgradePrinter_ModeU1::ReadUsbPrgAnswer(info) == 0) {
                    if (same) {
                        fixed("same release: restart", engine.Scaled(6000));
                    } else {
                        atMost("printer restart", engine.Scaled(RESTART_AT_MOST_MS));
                    }
                } else {
                    atMost("programming answer", engine.Scaled(PROGRAMMING_ANSWER_AT_MOST_MS));
                }
                fixed("after the firmware", engine.Scaled(3000));
                if (second) fixed("before the module pass after it", engine.Scaled(10000));
                break;
            }
            case 3:
                if (!same && kind == COMMPORT_USB) {
                    atMost("printer restart", engine.Scaled(RESTART_AT_MOST_MS));
                } else if (!same) {
                    fixed("printer restart", engine.Scaled(12000));
                }
                break;
            case 5:
                if (kind == COMMPORT_USB) {
                    atMost("printer restart after the code banks",
                           engine.Scaled(RESTART_AT_MOST_MS));
                    fixed("after the restart", engine.Scaled(2000));
                } else {
                    fixed("printer restart after the code banks", engine.Scaled(30000));
                }
                fixed("data banks", engine.Scaled(1000) *
                                        (facts.bankCount - UpgradePrinter_ModeU5::CODE_BANKS + 2));
                break;
            default:
                atMost("boot program (not estimated)", 0);
                break;
        }
        if (second && facts.mode != 1) {
            fixed("after the firmware", engine.Scaled(8000));
            if (facts.modulesAfter) {
                const int64_t ms = facts.mode == 3   ? 20000
                                   : facts.mode == 2 ? UpgradePrinter_ModeU2::MODULES_WAIT_MS
                                                     : engine.Scaled(10000);
                fixed("before the modules after it", ms);
            }
        }
    }

    int64_t rate =
        kind == COMMPORT_SERIAL && link.iBaudRate > 0 ? link.iBaudRate / 10 : ASSUMED_BYTES_PER_S;
    if (rate <= 0) rate = 1;
    int64_t total = 0;
    for (const DryRunFacts::Wait& w : waits) {
        if (!w.atMost) total += w.ms;
    }
    for (const DryRunFacts::Step& step : facts.steps) {
        const int64_t size = static_cast<int64_t>(step.size);
        total += size * 1000 / rate;
        if (step.kind != "firmware") {
            total += (size + MODULE_PACKET - 1) / MODULE_PACKET * MODULE_PACKET_PAUSE_MS;
        }
    }
    facts.estimateMs = total;
}

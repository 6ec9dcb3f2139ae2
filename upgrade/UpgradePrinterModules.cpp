// The module download of the engines: the module groups of a package in
// their order, each module file through the handshake and its packets, and
// the printer's verdict on it.
#include <cstdint>
#include <vector>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/ModuleData.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderModule.h"
#include "upgrade/UpgradePrinter.h"

namespace {

constexpr unsigned VERDICT_BUFFER = 8192;

struct VerdictText {
    unsigned char byte;
    const char* text;
};

// Error verdicts of a module download.
const VerdictText kModuleVerdicts[] = {
    {0x33, "ID Module Error"},
    {0x44, "Module Error"},
    {0x66, "Ram Error"},
    {0x95, "Generic Error"},
    {0x88, "Clear Flash Error"},
    {0x77, "Program Flash Error"},
    {0x98, "Upgrade Port not supported Error"},
};

const char* ModuleVerdictText(unsigned char byte) {
    for (const VerdictText& v : kModuleVerdicts) {
        if (v.byte == byte) return v.text;
    }
    return nullptr;
}

// The module groups of a package, by component list entry.
struct ModuleGroup {
    uint32_t entry;  // without the after bit
    int32_t moduleId;
    int type;  // 0: the module file's own type
    const char* startLog;
    const char* startConsole;
    const char* programmingConsole;
    const char* failureLog;
    const char* notFoundLog;
};

const ModuleGroup kGroups[] = {
    {0x2002, PSWHeaderModule::MODULE_FONT, 1, "Send Fonts...", "Sending Fonts...",
     "Programming Fonts...", "Programming Fonts Module Error", "Fonts Module not found"},
    {0x2004, PSWHeaderModule::MODULE_FLASHDISK, 2, "Send Flash Disk...", "Sending Flash Disk...",
     "Programming Flash Disk...", "Programming Flash Disk Module Error.",
     "Flash Disk Module not found"},
    {0x2008, PSWHeaderModule::MODULE_LOGOS, 64, "Send Logos...", "Sending Logos...",
     "Programming Logos...", "Programming Logos Module Error", "Logos Module not found"},
    {0x2010, PSWHeaderModule::MODULE_OTHER, 0, "Send unknown module...", "Sending modules...",
     "Programming modules...", "Programming unknown Module Error", "unknown Module not found"},
};

const ModuleGroup* GroupOf(uint32_t entry) {
    for (const ModuleGroup& g : kGroups) {
        if (g.entry == (entry & ~static_cast<uint32_t>(PSWCOMP_AFTER))) return &g;
    }
    return nullptr;
}

}  // namespace

bool UpgradePrinter::SendAllModules(CComPort& port, PSWFile& psw, PSWComponents& components,
                                    void* reserved, int pauseUnit, bool before, bool after) {
    static const char* const FN = "SendAllModules";
    for (int32_t i = 0; i < components.Size(); ++i) {
        if (!components.IsModule(i)) continue;
        if ((components.IsModuleBefore(i) && !before) || (components.IsModuleAfter(i) && !after)) {
            continue;
        }
        const ModuleGroup* group = GroupOf(components.Get(i));
        if (group == nullptr) continue;
        std::vector<PSWHeader*> records = psw.GetHeaders(HTYPE_MODULE);
        Log::WriteLog(FN, group->startLog);
        CmdConsole::WriteToConsoleString("%s", group->startConsole);
        bool result = false;
        for (PSWHeader* header : records) {
            // The previous download left the link closed.
            if (!ReOpenWithRetries(port, FN, kReOpenOrFail)) return false;
            auto* record = static_cast<PSWHeaderModule*>(header);
            if (record->modModuleID != group->moduleId) continue;
            ByteBuffer copy = CopyToByteBuffer(record->pDataBuffer.get(), record->uiDataSize);
            if (!copy) {
                Log::WriteLog(FN, group->failureLog);
                return false;
            }
            CmdConsole::WriteToConsoleString("%s", group->programmingConsole);
            int type = group->type;
            if (type == 0) {
                ModuleData module;
                if (!module.LoadModuleFromMemory(copy.get(), record->uiDataSize)) {
                    Log::WriteLog(FN, "Module file not readable: sent without its own type");
                }
                type = module.GetModuleID();
            }
            result = SendModuleToDevice(port, type, copy.get(),
                                        static_cast<int>(record->uiDataSize), false, reserved);
            if (!result) {
                Log::WriteLog(FN, group->failureLog);
                return false;
            }
        }
        if (result) {
            CmdConsole::WriteToConsoleString("%s", "Programming OK!");
            Log::WriteLog(FN, "Programming OK");
            Pause(pauseUnit, "waiting for the printer to store the modules");
        } else {
            Log::WriteLog(FN, group->notFoundLog);
        }
    }
    return true;
}

bool UpgradePrinter::SendModuleToDevice(CComPort& port, int type, unsigned char* data, int size,
                                        bool closeOnHandshakeFailure, void* /*reserved*/) {
    static const char* const FN = "SendModuleToDevice";
    if (data == nullptr || size < 0) size = 0;
    if (static_cast<uint32_t>(size) > MODULE_EXTRA_STEP) {
        Log::WriteLog(FN, "Add Timeout module size > 2MB");
    }
    port.CleanRX();
    if (!port.HandshakeCommunication(nullptr)) {
        Log::WriteLog(FN, "Handshake Communication Error ");
        if (closeOnHandshakeFailure) port.Close();
        return false;
    }
    int normalTimeout = 2000;
    int bluetoothTimeout = 22000;
    if (type == ModulesAvailable::MODULE_RFID_HF || type == ModulesAvailable::MODULE_RFID_UHF) {
        Log::WriteLog(FN, "Add another Timeout due to RFID module ");
        normalTimeout = 4000;
        bluetoothTimeout = 24000;
    }
    int savedTimeout = port.iTimeoutTX;
    if (type == ModulesAvailable::MODULE_BLUETOOTH) {
        Log::WriteLog(FN, "Add another Timeout due to Bluetooth module ");
        port.SetTimeoutTX(bluetoothTimeout);
    } else {
        port.SetTimeoutTX(normalTimeout);
    }
    unsigned err = 0;
    {
        StatusLine::Transfer transfer("module", static_cast<uint64_t>(size));
        // A short write shows in the verdict, which then never comes.
        port.WritePackets(data, static_cast<unsigned>(size), MODULE_PACKET_PAUSE_MS,
                          MODULE_PACKET_SIZE, &err);
    }
    Log::WriteLog(FN, "Waiting Answer...");
    port.SetTimeoutTX(savedTimeout);
    return WaitModuleVerdict(port, ModuleAnswerWaitMs(type, size));
}

int64_t UpgradePrinter::ModuleAnswerWaitMs(int type, int size) {
    int64_t wait = MODULE_ANSWER_WAIT_MS;
    // The threshold is one step, although the log line speaks of 2 MB.
    if (size > 0 && static_cast<uint32_t>(size) > MODULE_EXTRA_STEP) {
        wait += static_cast<int64_t>(static_cast<uint32_t>(size) / MODULE_EXTRA_STEP) *
                MODULE_EXTRA_WAIT_MS;
    }
    if (type == ModulesAvailable::MODULE_RFID_HF || type == ModulesAvailable::MODULE_RFID_UHF) {
        wait += MODULE_RFID_EXTRA_WAIT_MS;
    }
    return wait;
}

bool UpgradePrinter::WaitModuleVerdict(CComPort& port, int64_t limitMs) {
    static const char* const FN = "SendModuleToDevice";
    std::vector<unsigned char> answer(VERDICT_BUFFER);
    const uint64_t start = NowMs();
    const uint64_t limit = static_cast<uint64_t>(limitMs);
    while (NowMs() - start < limit) {
        uint64_t readStart = NowMs();
        unsigned err = 0;
        unsigned got = port.Read(answer.data(), VERDICT_BUFFER, &err);
        if (EmptyRead(got, VERDICT_BUFFER)) {
            AfterEmptyRead(readStart);
            continue;
        }
        Log::WriteLogP(FN, "Read Answer len: %u", got);
        if (NowMs() - start > limit) break;  // too late: counts as no answer
        unsigned char verdict = answer[got - 1];
        if (verdict == VERDICT_OK) {
            port.Close();
            return true;
        }
        if (const char* text = ModuleVerdictText(verdict)) {
            port.Close();
            Log::WriteLogP(FN, "Answer Error(0x%02x) : %s", verdict, text);
            return false;
        }
    }
    port.Close();
    Log::WriteLog(FN, "Wait Answer Error");
    return false;
}

bool UpgradePrinter::SendModule(CComPort& port, int type, unsigned char* data, int size,
                                void* reserved) {
    return SendModuleToDevice(port, type, data, size, false, reserved);
}

void UpgradePrinter::FilterModulesByMask(PSWComponents& components) const {
    if ((iComponentMask & 6) == 4) components.KeepOnlyOtherModules();
    if ((iComponentMask & 6) == 2) components.KeepOnlyMainModules();
}

bool UpgradePrinter::SendModulePass(CComPort& port, PSWFile& psw, PSWComponents& components,
                                    void* reserved, int timeoutMs, bool beforeFirmware,
                                    const char* function) {
    FilterModulesByMask(components);
    if (SendAllModules(port, psw, components, reserved, timeoutMs, beforeFirmware,
                       !beforeFirmware)) {
        return true;
    }
    Log::WriteLog(function, "SendAllModules Failed...");
    return false;
}

bool UpgradePrinter::SendModulesBeforeFirmware(CComPort& port, PSWFile& psw,
                                               PSWComponents& components, void* reserved,
                                               int timeoutMs, const char* function) {
    if (ModulesEnabled()) {
        return SendModulePass(port, psw, components, reserved, timeoutMs, true, function);
    }
    Log::WriteLog(function, "Upgrade Before Modules not enabled in command line arguments ");
    return true;
}

#include "upgrade/UpgradePrinter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/ModuleData.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderModule.h"
#include "files/PSWHeaderPrinter.h"
#include "protocol/Commands.h"
#include "upgrade/EngineClock.h"

namespace {

constexpr unsigned ALL_ONES = 0xFFFFFFFFu;
constexpr unsigned VERDICT_BUFFER = 8192;
// A read that comes back empty at once (a link that is gone) is not repeated
// sooner than this, so that the waits poll rather than spin.
constexpr int64_t POLL_MS = 10;
constexpr int RESTART_TRIES = 7;
constexpr int RESTART_PAUSE_MS = 5000;
// Every wait of an upgrade is one the printer must not lose its power in.
constexpr const char* UNPLUG_NOTE = "do not unplug it";

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

bool EmptyRead(unsigned got, unsigned asked) { return got == 0 || got == ALL_ONES || got > asked; }

}  // namespace

const UpgradePrinter::ReOpenRetry UpgradePrinter::kReOpenOrFail = {
    9, 5000, false, false, "ReOpen Error. Num Max Retry found. Throw Error", true};
const UpgradePrinter::ReOpenRetry UpgradePrinter::kReOpenAndGoOn = {
    9, 5000, true, true, "ReOpen Error. Num max Retry found. Throw Error", false};

UpgradePrinter::UpgradePrinter(int components, int timeMultiplier)
    : timem(timeMultiplier),
      iComponentMask(components),
      iModeNumber(0),
      clock_(&EngineClock::System()) {}

int UpgradePrinter::GetTimeoutRX() { return 0; }

bool UpgradePrinter::StartUpgrade_PSW1(UpgradeDataInfo&, CComPort&, PSWFile&, CommPortSettings&,
                                       void*, void*, PSWComponents&) {
    Log::WriteLog("StartUpgrade_PSW1", "Unsupported Upgrade PSW1");
    return false;
}

bool UpgradePrinter::StartUpgrade_PSW2(UpgradeDataInfo&, CComPort&, PSWFile&, CommPortSettings&,
                                       void*, void*, PSWComponents&) {
    Log::WriteLog("StartUpgrade_PSW2", "Unsupported Upgrade PSW2");
    return false;
}

bool UpgradePrinter::SendFirmwareOnly(const std::function<bool()>& sendFirmware) {
    static const char* const FN = "StartUpgrade_PSW1";
    Log::WriteLog(FN, "START Upgrade PSW1");
    if (!FirmwareEnabled()) {
        Log::WriteLog(FN, "Upgrade FW not enabled in command line arguments ");
        return false;
    }
    Log::WriteLog(FN, "Send Fw...");
    bool result = sendFirmware();
    // Service scripts search for this line as it has always been written.
    Log::WriteLog(FN, "Send FW:{0}");
    return result;
}

bool UpgradePrinter::SendFirmwareStep(PSWComponents& components,
                                      const std::function<bool()>& sendFirmware,
                                      int64_t modulesWaitMs, WaitScale scale,
                                      bool* waitedForModules) {
    static const char* const FN = "StartUpgrade_PSW2";
    if (waitedForModules != nullptr) *waitedForModules = false;
    if (!FirmwareEnabled()) {
        Log::WriteLog(FN, "Upgrade FW not enabled in command line arguments ");
        return true;
    }
    if (!components.HasComponent(PSWCOMP_FW)) {
        Log::WriteLog(FN, "Skip Fw...");
        return true;
    }
    Log::WriteLog(FN, "Send Fw...");
    bool result = sendFirmware();
    Log::WriteLogP(FN, "Send FW:%d", result ? 1 : 0);
    if (!result) {
        Log::WriteLog(FN, "Programming SW NOT OK!");
        return false;
    }
    Log::WriteLog(FN, "Programming OK!");
    CmdConsole::WriteToConsoleString("%s", "Programming OK!");
    Pause(8000, "waiting for the printer to take the firmware");
    if (!components.HasAfterModules()) return true;
    Log::WriteLog(FN, "Wait before starting modules upgrade!");
    static const char* const MODULES_WAIT = "waiting for the printer before the modules";
    if (scale == WaitScale::Scaled) {
        Pause(modulesWaitMs, MODULES_WAIT);
    } else {
        PauseUnscaled(modulesWaitMs, MODULES_WAIT);
    }
    if (waitedForModules != nullptr) *waitedForModules = true;
    return true;
}

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

bool UpgradePrinter::GetCheckSumImage(const unsigned char* data, int64_t length, unsigned long& sum,
                                      unsigned long& xorSum) {
    uint32_t s = 0;
    uint32_t x = 0;
    for (int64_t i = 0; data != nullptr && i < length; ++i) {
        s += data[i];
        x += data[i] ^ static_cast<uint32_t>(i & 0xFFFF);
    }
    sum = s & 0xFFFF;
    xorSum = x & 0xFFFF;
    return true;
}

bool UpgradePrinter::GetCheckSumBanks(const std::vector<unsigned char*>& banks, int bankLength,
                                      unsigned long& sum, unsigned long& xorSum) {
    uint32_t s = 0;
    uint32_t x = 0;
    for (unsigned char* bank : banks) {
        unsigned long bankSum = 0;
        unsigned long bankXor = 0;
        GetCheckSumImage(bank, bankLength, bankSum, bankXor);
        s += static_cast<uint32_t>(bankSum);
        x += static_cast<uint32_t>(bankXor);
    }
    sum = s & 0xFFFF;
    xorSum = x & 0xFFFF;
    return true;
}

bool UpgradePrinter::SilentDriverRenesasInstall() { return false; }

void UpgradePrinter::Pause(int64_t baseMs, const char* what) {
    PauseUnscaled(Scaled(baseMs), what);
}

void UpgradePrinter::PauseUnscaled(int64_t ms, const char* what) {
    if (ms <= 0) return;
    StatusLine::Wait(
        what != nullptr ? what : "waiting for the printer", static_cast<uint64_t>(ms),
        [this](uint64_t piece) { clock_->SleepMs(piece); }, UNPLUG_NOTE);
}

uint64_t UpgradePrinter::NowMs() { return clock_->NowMs(); }

int64_t UpgradePrinter::Scaled(int64_t baseMs) const {
    // A negative multiplier waits nothing rather than forever.
    return timem > 0 ? baseMs * timem : 0;
}

bool UpgradePrinter::ReOpenWithRetries(CComPort& port, const char* function,
                                       const ReOpenRetry& how) {
    for (int failures = 0; failures < how.attempts;) {
        if (port.ReOpen()) {
            if (how.pauseAfterSuccess) Pause(how.pauseMs, "waiting for the printer to get ready");
            return true;
        }
        ++failures;
        if (how.numbered) {
            Log::WriteLogP(function, "ReOpen Error. Retry %d", failures);
        } else {
            Log::WriteLog(function, "ReOpen Error. Retry");
        }
        if (failures < how.attempts) Pause(how.pauseMs, "printer not found yet, looking again");
    }
    Log::WriteLog(function, how.giveUpText);
    return false;
}

bool UpgradePrinter::WaitPrinterRestart(CComPort& port, const char* function,
                                        const char* successText) {
    for (int attempt = 1; attempt <= RESTART_TRIES; ++attempt) {
        if (port.ReOpen()) {
            Log::WriteLog(function, successText);
            return true;
        }
        if (attempt < RESTART_TRIES) Pause(RESTART_PAUSE_MS, "waiting for the printer to restart");
    }
    return false;
}

bool UpgradePrinter::TakeFirmwareImage(CComPort& port, PSWFile& psw, int minBanks,
                                       const char* function, FirmwareImage& image) {
    image = FirmwareImage{};
    if (psw.iPswType != 0) {
        if (PSWHeaderModule* record = psw.GetHeaderModuleSoftware()) {
            image.data = record->pDataBuffer.get();
            image.size = record->uiDataSize;
            image.bankSize = static_cast<int>(record->uiBankDim);
            image.numBanks = record->iNumBank & 0xFF;
        }
    } else if (PSWHeaderBin* bin = psw.GetHeaderBin()) {
        image.data = bin->pDataBuffer.get();
        image.size = bin->uiBinLength;
        image.bankSize = static_cast<int>(bin->uiBinSize);
        image.numBanks = bin->iNumBanks & 0xFF;
    }
    if (image.numBanks == 0 || image.bankSize == 0) {
        Log::WriteLog(function, "Upgrade file wrong or incomplete:");
        if (image.numBanks == 0) Log::WriteLogP(function, "NumBank Error : %d", image.numBanks);
        if (image.bankSize == 0) Log::WriteLogP(function, "BankDim Error : %d", image.bankSize);
        port.Close();
        return false;
    }
    uint64_t needed = static_cast<uint64_t>(image.numBanks) * static_cast<uint64_t>(image.bankSize);
    if (image.numBanks < minBanks || image.data == nullptr || image.size < needed) {
        // Nothing is sent of an image that cannot fill its banks.
        Log::WriteLog(function, "Upgrade file wrong or incomplete:");
        Log::WriteLogP(function,
                       "Image of %" PRIu64 " bytes for %d banks of %d bytes (%d at least)",
                       image.size, image.numBanks, image.bankSize, minBanks);
        port.Close();
        return false;
    }
    return true;
}

std::string UpgradePrinter::ExpectedRelease(const PSWFile& psw) {
    PSWHeaderPrinter* printer = psw.GetHeaderPrinter();
    std::string release = printer != nullptr ? printer->strReleasePSW : std::string();
    if (release.empty()) return release;
    return release.substr(0, 1) + "." + release.substr(1);
}

bool UpgradePrinter::ReadFirmwareRelease(CComPort& port, unsigned maxLength, std::string& release,
                                         unsigned& length) {
    WriteAll(port, Commands::Cmd_CommandCAN.data(), Commands::Cmd_CommandCAN.size());
    WriteAll(port, Commands::Cmd_CommandGetFWREL.data(), Commands::Cmd_CommandGetFWREL.size());
    std::vector<unsigned char> answer(maxLength + 1, 0);
    unsigned err = 0;
    unsigned got = port.Read(answer.data(), maxLength, &err);
    length = 0;
    release.clear();
    if (EmptyRead(got, maxLength)) return false;
    length = got;
    release = reinterpret_cast<const char*>(answer.data());  // the buffer ends in a NUL
    return true;
}

bool UpgradePrinter::PrepareFirmwareTransfer(CComPort& port, PSWFile& psw, const char* function,
                                             const ReOpenRetry& reopen, bool& sameVersion) {
    if (!ReOpenWithRetries(port, function, reopen) && reopen.failOnGiveUp) return false;
    if (!port.HandshakeCommunication(nullptr)) {
        Log::WriteLog(function, "Handshake Communication Error");
        return false;
    }
    std::string current;
    unsigned length = 0;
    if (!ReadFirmwareRelease(port, 511, current, length)) {
        Log::WriteLog(function, "Read FW Release Error");
        port.Close();
        return false;
    }
    sameVersion = current == ExpectedRelease(psw);
    confirmation_.firmwareSent = true;
    confirmation_.sameVersion = sameVersion;
    return true;
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

bool UpgradePrinter::FirmwareToBeSent(const PSWComponents& components) const {
    // Keeping only the main modules drops the firmware entry too.
    return FirmwareEnabled() && (iComponentMask & 6) != 2 && components.HasComponent(PSWCOMP_FW);
}

bool UpgradePrinter::WriteAll(CComPort& port, const unsigned char* bytes, unsigned length) {
    std::vector<unsigned char> copy(bytes, bytes + length);
    unsigned err = 0;
    unsigned sent = port.Write(copy.data(), length, &err);
    return sent == length;
}

void UpgradePrinter::AfterEmptyRead(uint64_t readStartMs) {
    if (NowMs() - readStartMs < static_cast<uint64_t>(POLL_MS)) PauseUnscaled(POLL_MS);
}

UpgradePrinter::BankWindow::BankWindow(CComPort& port)
    : port_(port), packetSize_(port.uiPacketSize), timeoutTX_(port.iTimeoutTX) {
    int64_t factor = 1;
    if (packetSize_ != 0) factor = 1 + BANK_PACKET_SIZE / packetSize_;
    int64_t timeout = static_cast<int64_t>(timeoutTX_) * factor;
    if (timeout > INT32_MAX) timeout = INT32_MAX;
    port_.uiPacketSize = BANK_PACKET_SIZE;
    port_.SetTimeoutTX(static_cast<int>(timeout));
}

UpgradePrinter::BankWindow::~BankWindow() {
    port_.uiPacketSize = packetSize_;
    port_.SetTimeoutTX(timeoutTX_);
}

bool UpgradePrinter::WriteBank(CComPort& port, unsigned char* bank, int bankSize) {
    unsigned err = 0;
    unsigned sent = port.Write(bank, static_cast<unsigned>(bankSize), &err);
    return sent == static_cast<unsigned>(bankSize);
}

std::vector<unsigned char*> UpgradePrinter::CutBanks(const FirmwareImage& image, int first,
                                                     int count) {
    std::vector<unsigned char*> banks;
    for (int b = first; b < first + count; ++b) {
        banks.push_back(image.data +
                        static_cast<uint64_t>(b) * static_cast<uint64_t>(image.bankSize));
    }
    return banks;
}

bool UpgradePrinter::SendBankRun(CComPort& port, const std::vector<unsigned char*>& banks,
                                 int count, int bankSize, unsigned long sum1, unsigned long sum2,
                                 const char* function) {
    BankWindow window(port);
    Log::WriteLog(function, "Sending command to start upgrade...");
    if (!WriteAll(port, StartCommand(0, count - 1))) {
        Log::WriteLog(function, "Communication Error! exit...");
        return false;
    }
    StatusLine::Transfer transfer("firmware", static_cast<uint64_t>(count) * bankSize);
    for (int i = 1; i <= count; ++i) {
        int percent = 100 * i / count;
        CmdConsole::WriteToConsoleString("Sending bank...%d/%d (%d%%)", i, count, percent);
        Log::WriteLogP(function, "Sending bank...%d/%d (%d%%)", i, count, percent);
        if (!WriteBank(port, banks[static_cast<size_t>(i - 1)], bankSize)) {
            Log::WriteLog(function, "Communication Error! exit...");
            return false;
        }
    }
    Log::WriteLog(function, "Sending command to program Flash...");
    if (!WriteAll(port, ProgramCommand(0, count - 1, sum1, sum2))) {
        Log::WriteLog(function, "Communication Error! exit...");
        return false;
    }
    return true;
}

std::vector<unsigned char> UpgradePrinter::StartCommand(int firstBank, int lastBank) {
    return {0x1C, 0xFD, static_cast<unsigned char>(firstBank),
            static_cast<unsigned char>(lastBank)};
}

std::vector<unsigned char> UpgradePrinter::ProgramCommand(int firstBank, int lastBank,
                                                          unsigned long sum1, unsigned long sum2) {
    return {0x1C,
            0xFF,
            static_cast<unsigned char>(firstBank),
            static_cast<unsigned char>(lastBank),
            static_cast<unsigned char>((sum1 >> 8) & 0xFF),
            static_cast<unsigned char>(sum1 & 0xFF),
            static_cast<unsigned char>((sum2 >> 8) & 0xFF),
            static_cast<unsigned char>(sum2 & 0xFF)};
}

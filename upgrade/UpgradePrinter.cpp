#include "upgrade/UpgradePrinter.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderModule.h"
#include "files/PSWHeaderPrinter.h"
#include "protocol/Commands.h"
#include "upgrade/EngineClock.h"

namespace {

constexpr unsigned ALL_ONES = 0xFFFFFFFFu;
// A read that comes back empty at once (a link that is gone) is not repeated
// sooner than this, so that the waits poll rather than spin.
constexpr int64_t POLL_MS = 10;
constexpr int RESTART_TRIES = 7;
constexpr int RESTART_PAUSE_MS = 5000;
// Every wait of an upgrade is one the printer must not lose its power in.
constexpr const char* UNPLUG_NOTE = "do not unplug it";

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

bool UpgradePrinter::EmptyRead(unsigned got, unsigned asked) {
    return got == 0 || got == ALL_ONES || got > asked;
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

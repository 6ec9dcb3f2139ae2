#include "upgrade/UpgradePrinter_ModeU5.h"

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/PSWComponents.h"

namespace {

const char* const FN_PSW2 = "StartUpgrade_PSW2";
const char* const FN_SEND = "SendFW";
const char* const FN_CODE = "SendBankFlashCODE";
const char* const FN_DATA = "SendBankFlashDATA";

constexpr unsigned ALL_ONES = 0xFFFFFFFFu;
constexpr unsigned ANSWER_BUFFER = 8192;
constexpr int DATA_ANSWER_TIMEOUT_RX = 5000;
constexpr int64_t DATA_ANSWER_WAIT_MS = 60000;

struct DataAnswer {
    unsigned char byte;
    const char* text;  // none for the bank programmed
};

const DataAnswer kDataAnswers[] = {
    {0xAA, nullptr},          {0x33, "ID Module Error"},     {0x44, "Module Error"},
    {0x66, "Ram Error"},      {0x77, "Program Flash Error"}, {0x88, "Clear Flash Error"},
    {0x99, "Checksum Error"},
};

const DataAnswer* FindDataAnswer(const unsigned char* bytes, unsigned length) {
    for (unsigned i = 0; i < length; ++i) {
        for (const DataAnswer& a : kDataAnswers) {
            if (a.byte == bytes[i]) return &a;
        }
    }
    return nullptr;
}

}  // namespace

UpgradePrinter_ModeU5::UpgradePrinter_ModeU5(int components, int timeMultiplier)
    : UpgradePrinter(components, timeMultiplier) {
    iModeNumber = 5;
}

bool UpgradePrinter_ModeU5::StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& /*components*/) {
    return SendFirmwareOnly(
        [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); });
}

bool UpgradePrinter_ModeU5::StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& components) {
    Log::WriteLog(FN_PSW2, "START Upgrade PSW2");
    components.ConvertModulesBeforeToAfter();
    // The module download after the firmware needs the identifiers the
    // printer had before it restarted.
    port.BackupPortInfo();
    FirmwareImage image;
    // A broken image stops the upgrade before anything is sent.
    if (FirmwareToBeSent(components) && !TakeFirmwareImage(port, psw, CODE_BANKS, FN_SEND, image)) {
        return false;
    }

    if (!SendModulesBeforeFirmware(port, psw, components, reserved1, 10000, FN_PSW2)) return false;

    auto sendFirmware = [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); };
    if (!SendFirmwareStep(components, sendFirmware, 10000, WaitScale::Scaled)) return false;

    if (!ModulesEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
        return true;
    }
    port.RestoreportInfo();
    if (!SendModulePass(port, psw, components, reserved1, 10000, false, FN_PSW2)) return false;
    return true;
}

bool UpgradePrinter_ModeU5::SendFW(UpgradeDataInfo& /*info*/, CComPort& port, PSWFile& psw,
                                   CommPortSettings& /*settings*/, void* /*reserved1*/,
                                   void* reserved2) {
    FirmwareImage image;
    if (!TakeFirmwareImage(port, psw, CODE_BANKS, FN_SEND, image)) return false;
    bool sameVersion = false;
    if (!PrepareFirmwareTransfer(port, psw, FN_SEND, kReOpenAndGoOn, sameVersion)) return false;

    std::vector<unsigned char*> code = CutBanks(image, 0, CODE_BANKS);
    unsigned long sum1 = 0;
    unsigned long sum2 = 0;
    GetCheckSumBanks(code, image.bankSize, sum1, sum2);
    if (!SendBankFlashCODE(port, code, image.bankSize, sum1, sum2, false, reserved2)) {
        Log::WriteLog(FN_SEND, "Upgrade Error");
        return false;
    }

    Pause(1000);
    port.Close();
    static const ReOpenRetry kAfterCode = {
        9, 2000, true, true, "ReOpen Error. Num max Retry found. Throw Error", false};
    ReOpenWithRetries(port, FN_SEND, kAfterCode);

    StatusLine::Transfer transfer(
        "firmware data banks",
        static_cast<uint64_t>(image.numBanks - CODE_BANKS) * static_cast<uint64_t>(image.bankSize));
    for (int b = CODE_BANKS; b < image.numBanks; ++b) {
        std::vector<unsigned char*> one = CutBanks(image, b, 1);
        GetCheckSumBanks(one, image.bankSize, sum1, sum2);
        if (!SendBankFlashDATA(port, one[0], image.bankSize, sum1, sum2, false, reserved2, b,
                               image.numBanks, b == image.numBanks - 1)) {
            Log::WriteLog(FN_SEND, "Upgrade Error");
            return false;
        }
    }
    // The printer does not answer the last data bank, and its release came
    // with the code banks.
    if (image.numBanks > CODE_BANKS) confirmation_.unanswered = "the last data bank (mode U5)";
    Pause(1000);
    port.Close();
    return true;
}

bool UpgradePrinter_ModeU5::SendBankFlashCODE(CComPort& port, std::vector<unsigned char*>& banks,
                                              int bankSize, unsigned long sum1, unsigned long sum2,
                                              bool /*unused*/, void* /*reserved*/) {
    // Where the printer is plugged in, to find it after its restart.
    port.SaveLocationCurrentDevice();
    if (!SendBankRun(port, banks, CODE_BANKS, bankSize, sum1, sum2, FN_CODE)) return false;
    if (port.iPortType == COMMPORT_USB) {
        Log::WriteLog(FN_CODE, "Different version: Wait printer reset...");
        WaitPrinterRestart(port, FN_CODE, "Different version: Printer reset...");
        Pause(2000);
        port.RestoreAddrNumFrmLocatio();
        return true;
    }
    Log::WriteLog(FN_CODE, "Com or Eth port: Wait then exit..");
    Pause(30000, "waiting for the printer to restart");
    return true;
}

bool UpgradePrinter_ModeU5::SendBankFlashDATA(CComPort& port, unsigned char* bank, int bankSize,
                                              unsigned long sum1, unsigned long sum2,
                                              bool /*unused*/, void* /*reserved*/, int bankIndex,
                                              int numBanks, bool isLast) {
    {
        BankWindow window(port);
        Log::WriteLog(FN_DATA, "Sending command to start upgrade...");
        if (!WriteAll(port, StartCommand(bankIndex, bankIndex))) {
            Log::WriteLog(FN_DATA, "Communication Error! exit...");
            return false;
        }
        Log::WriteLogP(FN_DATA, "Sending bank...%d/%d (%d%%)", bankIndex + 1, numBanks,
                       100 * (bankIndex + 1) / numBanks);
        if (!WriteBank(port, bank, bankSize)) {
            Log::WriteLog(FN_DATA, "Communication Error! exit...");
            return false;
        }
        Log::WriteLog(FN_DATA, "Sending command to program Flash...");
        if (!WriteAll(port, ProgramCommand(bankIndex, bankIndex, sum1, sum2))) {
            Log::WriteLog(FN_DATA, "Communication Error! exit...");
            return false;
        }
    }
    Pause(1000);
    if (!isLast) return WaitDataBankAnswer(port);
    if (port.iPortType != COMMPORT_USB) {
        Log::WriteLog(FN_DATA, "Wait than exit...");
        return true;
    }
    Log::WriteLog(FN_DATA, "Different version: Wait printer reset...");
    WaitPrinterRestart(port, FN_DATA, "Different version: Printer reset... Done");
    return true;
}

bool UpgradePrinter_ModeU5::WaitDataBankAnswer(CComPort& port) {
    int savedTimeout = port.GetTimeoutRX();
    port.SetTimeoutRX(DATA_ANSWER_TIMEOUT_RX);
    Log::WriteLog(FN_DATA, "Waiting Answer...");
    std::vector<unsigned char> answer(ANSWER_BUFFER);
    const uint64_t start = NowMs();
    const DataAnswer* found = nullptr;
    while (found == nullptr) {
        uint64_t readStart = NowMs();
        unsigned err = 0;
        unsigned got = port.Read(answer.data(), ANSWER_BUFFER, &err);
        bool empty = got == 0 || got == ALL_ONES || got > ANSWER_BUFFER;
        if (!empty) {
            Log::WriteLogP(FN_DATA, "Read Answer len: %u", got);
            found = FindDataAnswer(answer.data(), got);
            if (found != nullptr) break;
        }
        if (NowMs() - start >= static_cast<uint64_t>(Scaled(DATA_ANSWER_WAIT_MS))) {
            port.SetTimeoutRX(savedTimeout);
            Log::WriteLog(FN_DATA, "Wait Answer Error");
            return false;
        }
        if (empty) AfterEmptyRead(readStart);
    }
    port.SetTimeoutRX(savedTimeout);
    if (found->text == nullptr) return true;
    Log::WriteLogP(FN_DATA, "Answer Error(0x%02x) : %s", found->byte, found->text);
    return false;
}

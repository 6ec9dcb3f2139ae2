#include "upgrade/UpgradePrinter_ModeU1.h"

#include <cstring>
#include <string>
#include <vector>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "common/PersonConsole.h"
#include "common/StatusLine.h"
#include "files/PSWComponents.h"
#include "protocol/UpgradeDataInfo.h"

namespace {

const char* const FN_PSW1 = "StartUpgrade_PSW1";
const char* const FN_PSW2 = "StartUpgrade_PSW2";
const char* const FN_SEND = "SendFW";
const char* const FN_BANKS = "SendBankFlashBanksNew";

constexpr unsigned ALL_ONES = 0xFFFFFFFFu;
constexpr unsigned ANSWER_BUFFER = 8191;
constexpr int BANK_TIMEOUT_TX = 2500;
constexpr uint32_t BANK_PACKET = 48;
constexpr int64_t PROGRAMMING_ANSWER_WAIT_MS = 110000;
constexpr int NETWORK_ROUNDS = 9;

struct ProgrammingByte {
    unsigned char byte;
    const char* text;
    int code;
};

const ProgrammingByte kProgrammingBytes[] = {
    {0xAA, "Answer: NO_ERROR_COM", UpgradePrinter_ModeU1::NO_ERROR_COM},
    {0x99, "Answer: ERROR_CECKSUM", UpgradePrinter_ModeU1::ERROR_CECKSUM},
    {0x88, "Answer: ERROR_BANK_NOT_DELETED", UpgradePrinter_ModeU1::ERROR_BANK_NOT_DELETED},
    {0x77, "Answer: ERROR_BANK_NOT_PROGRAMMED", UpgradePrinter_ModeU1::ERROR_BANK_NOT_PROGRAMMED},
    {0x66, "Answer: ERROR_BANK_DAMAGED", UpgradePrinter_ModeU1::ERROR_BANK_DAMAGED},
    {0x55, "Answer: ERROR_SEND_SIGN", UpgradePrinter_ModeU1::ERROR_SEND_SIGN},
};

// Codes after which another attempt cannot help.
bool StopsAtOnce(int code) {
    return code == 5 || code == 107 || code == 108 || code == 110 || code == 111 || code == 114;
}

const char* RetryAdvice(int code) {
    if (code == UpgradePrinter_ModeU1::ERROR_CECKSUM) {
        return "You have problem during the upgrade procedure.  Please repeat the upgrade.";
    }
    if (code == UpgradePrinter_ModeU1::ERROR_BANK_NOT_DELETED ||
        code == UpgradePrinter_ModeU1::ERROR_BANK_NOT_PROGRAMMED) {
        return "You have a serious problem during upgrade phase. Please send your printer to "
               "Varnel Technical Service.";
    }
    return "Some serious problem occurred during the upgrade process. Please repeat operation.";
}

void ReturnStatus(bool ok) { Log::WriteLogP(FN_BANKS, "Upgrade Return Status: %d", ok ? 1 : 0); }

}  // namespace

UpgradePrinter_ModeU1::UpgradePrinter_ModeU1(int components, int timeMultiplier)
    : UpgradePrinter(components, timeMultiplier) {
    iModeNumber = 1;
}

int UpgradePrinter_ModeU1::ReadUsbPrgAnswer(const UpgradeDataInfo& info) {
    char text[UpgradeDataInfo::TEXT_SIZE];
    snprintf(text, sizeof(text), "%s", info.szConfigurationSettings);
    char* end = strchr(text, ';');
    if (end != nullptr) *end = '\0';
    int32_t value = 1;
    if (text[0] == '\0' || !GenericFunctions::ParseCheckInt(text, value)) value = 1;
    return value;
}

bool UpgradePrinter_ModeU1::StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& /*components*/) {
    Log::WriteLog(FN_PSW1, "START Upgrade PSW1");
    int usbPrgAnswer = ReadUsbPrgAnswer(info);
    Log::WriteLogP(FN_PSW1, "iUSB_PRG_ANSWER:%d", usbPrgAnswer);
    if (!FirmwareEnabled()) {
        Log::WriteLog(FN_PSW1, "Upgrade FW not enabled in command line arguments ");
        return false;
    }
    Log::WriteLog(FN_PSW1, "Send Fw...");
    bool result = SendFW(info, port, psw, settings, reserved1, reserved2, usbPrgAnswer);
    Log::WriteLogP(FN_PSW1, "Send FW:%d", result ? 1 : 0);
    return result;
}

bool UpgradePrinter_ModeU1::StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& components) {
    Log::WriteLog(FN_PSW2, "START Upgrade PSW2");
    int usbPrgAnswer = ReadUsbPrgAnswer(info);
    Log::WriteLogP(FN_PSW2, "iUSB_PRG_ANSWER:%d", usbPrgAnswer);
    FirmwareImage image;
    // A broken image stops the upgrade before any module is sent.
    if (FirmwareToBeSent(components) && !TakeFirmwareImage(port, psw, 1, FN_SEND, image)) {
        return false;
    }

    if (!SendModulesBeforeFirmware(port, psw, components, reserved1, 10000, FN_PSW2)) return false;

    if (!FirmwareEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade FW not enabled in command line arguments ");
    } else {
        port.ReOpen();
        if (components.HasComponent(PSWCOMP_FW)) {
            Log::WriteLog(FN_PSW2, "Send Fw...");
            bool result = SendFW(info, port, psw, settings, reserved1, reserved2, usbPrgAnswer);
            Log::WriteLogP(FN_PSW2, "Send FW:%d", result ? 1 : 0);
            if (!result) {
                Log::WriteLog(FN_PSW2, "FW Upgrade error");
                return false;
            }
            Pause(10000);
        } else {
            Log::WriteLog(FN_PSW2, "Skip Fw...");
        }
    }

    if (ModulesEnabled()) {
        port.ReOpen();
        if (!SendModulePass(port, psw, components, reserved1, 10000, false, FN_PSW2)) return false;
    } else {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
    }
    return true;
}

bool UpgradePrinter_ModeU1::SendFW(UpgradeDataInfo& /*info*/, CComPort& port, PSWFile& psw,
                                   CommPortSettings& /*settings*/, void* /*reserved1*/,
                                   void* reserved2, int usbPrgAnswer) {
    FirmwareImage image;
    if (!TakeFirmwareImage(port, psw, 1, FN_SEND, image)) return false;
    bool sameVersion = false;
    if (!PrepareFirmwareTransfer(port, psw, FN_SEND, kReOpenOrFail, sameVersion)) return false;
    std::string expected = ExpectedRelease(psw);

    int64_t length = static_cast<int64_t>(image.numBanks) * image.bankSize;
    unsigned long sum1 = 0;
    unsigned long sum2 = 0;
    GetCheckSumImage(image.data, length, sum1, sum2);

    int answerCode = NO_ERROR_COM;
    for (int failures = 0;;) {
        CmdConsole::WriteToConsoleString("Sending bank %d/%d (%d%%)", 1, 1, 100);
        Log::WriteLogP(FN_SEND, "Sending bank...%d", 1);
        if (SendBankFlashBanksNew(port, image.data, image.bankSize, image.numBanks, sum1, sum2, 0,
                                  answerCode, expected.c_str(), sameVersion, usbPrgAnswer,
                                  reserved2)) {
            Pause(3000);
            return true;
        }
        if (StopsAtOnce(answerCode)) return false;
        Log::WriteLog(FN_SEND, RetryAdvice(answerCode));
        ++failures;
        char message[128];
        snprintf(message, sizeof(message), "Error on sending banks. This is the %d/%d try.",
                 failures, MAX_RETRIES);
        Log::WriteLog(FN_SEND, message);
        CmdConsole::WriteToConsoleString("%s", message);
        Pause(1000);
        if (failures > MAX_RETRIES) return false;
    }
}

bool UpgradePrinter_ModeU1::SendBankFlashBanksNew(CComPort& port, unsigned char* image,
                                                  int bankSize, int numBanks, unsigned long sum1,
                                                  unsigned long sum2, int firstBank,
                                                  int& answerCode, const char* expectedRelease,
                                                  bool sameVersion, int usbPrgAnswer,
                                                  void* /*reserved*/) {
    int lastBank = numBanks - 1;
    if (!WriteAll(port, StartCommand(firstBank, lastBank))) {
        Log::WriteLog(FN_BANKS, "ERROR_COMMAND_TO_SEND_BANK");
        answerCode = ERROR_COMMAND_TO_SEND_BANK;
        return false;
    }
    std::vector<unsigned char> bank(static_cast<size_t>(bankSize));
    StatusLine::Transfer transfer("firmware", static_cast<uint64_t>(numBanks) * bankSize);
    for (int i = 1; i <= numBanks; ++i) {
        CmdConsole::WriteToConsoleString("Tx Bank %d of %d", i, numBanks);
        memcpy(bank.data(), image + static_cast<int64_t>(i - 1) * bankSize, bank.size());
        int savedTimeout = port.iTimeoutTX;
        uint32_t savedPacket = port.uiPacketSize;
        port.SetTimeoutTX(BANK_TIMEOUT_TX);
        port.uiPacketSize = BANK_PACKET;
        Log::WriteLogP(FN_BANKS, "Sending flash block start...%d/%d", i, numBanks);
        bool sent = WriteBank(port, bank.data(), bankSize);
        Log::WriteLogP(FN_BANKS, "Sending flash block end  ...%d/%d", i, numBanks);
        port.SetTimeoutTX(savedTimeout);
        port.uiPacketSize = savedPacket;
        if (!sent) {
            answerCode = ERROR_WRITE_BANK;
            return false;
        }
    }
    CmdConsole::WriteToConsoleString("%s", "Programming Firmware...");
    if (!WriteAll(port, ProgramCommand(firstBank, lastBank, sum1, sum2))) return false;

    if (port.iPortType == COMMPORT_ETH) {
        if (bVerify && !NetworkProgrammingAnswer(port, answerCode)) return false;
        return NetworkCheck(port, expectedRelease, sameVersion, answerCode);
    }
    bool silentPort = port.iPortType == COMMPORT_USB ||
                      (port.iPortType == COMMPORT_SERIAL && port.IsVirtualPort());
    if (silentPort && usbPrgAnswer == 0) return RestartWait(port, sameVersion);
    return ProgrammingAnswer(port, answerCode);
}

unsigned UpgradePrinter_ModeU1::ReadProgrammingAnswer(CComPort& port,
                                                      std::vector<unsigned char>& answer,
                                                      bool endOnClose) {
    const uint64_t start = NowMs();
    for (;;) {
        uint64_t readStart = NowMs();
        unsigned err = 0;
        unsigned got = port.Read(answer.data(), ANSWER_BUFFER, &err);
        if (got != 0 && got != ALL_ONES && got <= ANSWER_BUFFER) return got;
        // A network link reads 0 once the printer has closed the connection.
        if (endOnClose && got == 0) return 0;
        if (NowMs() - start > static_cast<uint64_t>(Scaled(PROGRAMMING_ANSWER_WAIT_MS))) {
            return 0;
        }
        AfterEmptyRead(readStart);
    }
}

bool UpgradePrinter_ModeU1::TakeProgrammingByte(unsigned char byte, int& answerCode) {
    Log::WriteLogP(FN_BANKS, "Programming answer: 0x%02x", byte);
    const ProgrammingByte* known = nullptr;
    for (const ProgrammingByte& p : kProgrammingBytes) {
        if (p.byte == byte) known = &p;
    }
    if (known == nullptr) {
        Log::WriteLog(FN_BANKS, "Answer: ERROR_DEFAULT_CASE");
        answerCode = ERROR_DEFAULT_CASE;
        ReturnStatus(false);
        return false;
    }
    if (known->code != NO_ERROR_COM) {
        Log::WriteLog(FN_BANKS, known->text);
        answerCode = known->code;
        ReturnStatus(false);
        return false;
    }
    return true;
}

bool UpgradePrinter_ModeU1::NetworkProgrammingAnswer(CComPort& port, int& answerCode) {
    std::vector<unsigned char> answer(ANSWER_BUFFER + 1);
    unsigned got = ReadProgrammingAnswer(port, answer, true);
    if (got == 0) {
        Log::WriteLog(FN_BANKS, "No programming answer on the network link");
        return true;
    }
    if (got != 1 || !TakeProgrammingByte(answer[0], answerCode)) return false;
    confirmation_.answered = true;
    return true;
}

bool UpgradePrinter_ModeU1::ProgrammingAnswer(CComPort& port, int& answerCode) {
    std::vector<unsigned char> answer(ANSWER_BUFFER + 1);
    unsigned got = ReadProgrammingAnswer(port, answer, false);
    if (got != 1 || !TakeProgrammingByte(answer[0], answerCode)) return false;
    const ProgrammingByte& known = kProgrammingBytes[0];
    confirmation_.answered = true;
    // The printer restarts with the new firmware: find it again.
    static const ReOpenRetry kAfterProgramming = {
        9, 2000, true, true, "ReOpen Error. Num max Retry found. Throw Error", false};
    ReOpenWithRetries(port, FN_BANKS, kAfterProgramming);
    answerCode = NO_ERROR_COM;
    Log::WriteLog(FN_BANKS, known.text);
    ReturnStatus(true);
    return true;
}

bool UpgradePrinter_ModeU1::RestartWait(CComPort& port, bool sameVersion) {
    if (sameVersion) {
        Log::WriteLog(FN_BANKS, "Same version: Wait then exit...");
        Pause(6000);
    } else {
        Log::WriteLog(FN_BANKS, "Different version: Wait printer reset...");
        WaitPrinterRestart(port, FN_BANKS, "Different version: Printer reset...");
    }
    ReturnStatus(true);
    return true;
}

bool UpgradePrinter_ModeU1::NetworkCheck(CComPort& port, const char* expectedRelease,
                                         bool sameVersion, int& answerCode) {
    port.Close();
    Pause(2000);
    std::vector<unsigned char> answer(ANSWER_BUFFER + 1);
    bool released = false;
    std::string release;
    for (int round = 1; round <= NETWORK_ROUNDS; ++round) {
        Pause(1000);
        if (sameVersion) {
            answerCode = NO_ERROR_COM;
            Log::WriteLog(FN_BANKS, "Same version. Force NO_ERROR_COM");
            ReturnStatus(true);
            return true;
        }
        port.ReOpen();
        if (!port.HandshakeCommunication(nullptr)) {
            Log::WriteLog(FN_BANKS, "Handshake Communication Error");
            return false;
        }
        unsigned length = 0;
        if (ReadFirmwareRelease(port, ANSWER_BUFFER, release, length) && length == 4) {
            port.Close();
            released = true;
            break;
        }
        port.Close();
        Log::WriteLog(FN_BANKS, "Read FW Release Error");
        if (round < NETWORK_ROUNDS) Pause(500);
    }
    if (released) Log::WriteLogP(FN_BANKS, "New FW Release :%s", release.c_str());
    if (released && release != expectedRelease) {
        PersonConsole::Cause("the printer came back with release %s, not the package's %s",
                             release.c_str(), expectedRelease);
    }
    if (!released || release != expectedRelease) {
        Log::WriteLog(FN_BANKS, "Upgrade Error, so force ERROR_BANK_NOT_PROGRAMMED");
        answerCode = ERROR_BANK_NOT_PROGRAMMED;
        ReturnStatus(false);
        return false;
    }
    answerCode = NO_ERROR_COM;
    Log::WriteLog(FN_BANKS, "Upgrade succesfully, version correct. Force NO_ERROR_COM");
    ReturnStatus(true);
    return true;
}

#pragma once

#include <vector>

#include "upgrade/UpgradePrinter.h"

// Engine of upgrade mode U1: the firmware image as one run of banks between a
// start and a program command, the outcome learnt from a programming answer
// byte, a restart wait or (on the network) the release the printer comes
// back with; retried on the answers that allow it.
class UpgradePrinter_ModeU1 : public UpgradePrinter {
  public:
    // Outcome codes of one bank transfer.
    enum AnswerCode {
        NO_ERROR_COM = 0,
        ERROR_DEFAULT_CASE = 5,
        ERROR_CECKSUM = 100,
        ERROR_BANK_NOT_DELETED = 101,
        ERROR_BANK_NOT_PROGRAMMED = 102,
        ERROR_BANK_DAMAGED = 110,
        ERROR_COMMAND_TO_SEND_BANK = 111,
        ERROR_WRITE_BANK = 112,
        ERROR_SEND_SIGN = 114,
    };
    static constexpr int MAX_RETRIES = 3;

    UpgradePrinter_ModeU1(int components, int timeMultiplier);

    bool StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool SendFW(UpgradeDataInfo& info, CComPort& port, PSWFile& psw, CommPortSettings& settings,
                void* reserved1, void* reserved2, int usbPrgAnswer);
    bool SendBankFlashBanksNew(CComPort& port, unsigned char* image, int bankSize, int numBanks,
                               unsigned long sum1, unsigned long sum2, int firstBank,
                               int& answerCode, const char* expectedRelease, bool sameVersion,
                               int usbPrgAnswer, void* reserved);

    // First ";" piece of the printer's configuration text; 1 when it is no number.
    static int ReadUsbPrgAnswer(const UpgradeDataInfo& info);

  private:
    // The programming answer, waited for as long as the mode allows; 0 for
    // none (endOnClose: also when the network link reads the connection closed).
    unsigned ReadProgrammingAnswer(CComPort& port, std::vector<unsigned char>& answer,
                                   bool endOnClose);
    // Logs the answer byte; a refusal also stores its code and is false.
    bool TakeProgrammingByte(unsigned char byte, int& answerCode);
    bool ProgrammingAnswer(CComPort& port, int& answerCode);
    // "--verify" on the network: the answer the printer gives there too.
    bool NetworkProgrammingAnswer(CComPort& port, int& answerCode);
    bool RestartWait(CComPort& port, bool sameVersion);
    bool NetworkCheck(CComPort& port, const char* expectedRelease, bool sameVersion,
                      int& answerCode);
};

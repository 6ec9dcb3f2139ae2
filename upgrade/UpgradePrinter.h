#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CComPort;
class CommPortSettings;
class EngineClock;
class PSWComponents;
class PSWFile;
class UpgradeDataInfo;

// Base of the upgrade engines, one per upgrade mode of the printers. It holds
// what every engine shares: the module download, the image checksums, the
// reopening of the link with retries, the restart waits and the one place
// through which every pause and deadline passes.
class UpgradePrinter {
    // The dry run asks the engine what it would do, without it doing it.
    friend class UpgradePlan;

  public:
    // Module download time-outs and verdict bytes.
    static constexpr int MODULE_PACKET_SIZE = 4096;
    static constexpr int MODULE_PACKET_PAUSE_MS = 20;
    static constexpr int MODULE_ANSWER_WAIT_MS = 60000;
    static constexpr uint32_t MODULE_EXTRA_STEP = 1024000;
    static constexpr int MODULE_EXTRA_WAIT_MS = 20000;
    static constexpr int MODULE_RFID_EXTRA_WAIT_MS = 60000;
    static constexpr unsigned char VERDICT_OK = 0xAA;

    // A firmware image as a package carries it.
    struct FirmwareImage {
        unsigned char* data = nullptr;  // owned by the package
        uint64_t size = 0;
        int bankSize = 0;
        int numBanks = 0;  // already taken as one byte
    };

    UpgradePrinter(int components, int timeMultiplier);
    virtual ~UpgradePrinter() = default;
    UpgradePrinter(const UpgradePrinter&) = delete;
    UpgradePrinter& operator=(const UpgradePrinter&) = delete;

    // The engine of a printer's upgrade mode, or none for a mode without one.
    static std::unique_ptr<UpgradePrinter> GetUpgradeClass(int mode, int components,
                                                           int timeMultiplier);

    virtual int GetTimeoutRX();
    virtual bool StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                   CommPortSettings& settings, void* reserved1, void* reserved2,
                                   PSWComponents& components);
    virtual bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                   CommPortSettings& settings, void* reserved1, void* reserved2,
                                   PSWComponents& components);

    // Sends the package's modules that the list names, before and/or after
    // the firmware, pausing pauseUnit x timem ms after each group sent.
    bool SendAllModules(CComPort& port, PSWFile& psw, PSWComponents& components, void* reserved,
                        int pauseUnit, bool before, bool after);
    // Downloads one module file and waits for the printer's verdict. The link
    // is closed on every way out except a failed handshake without
    // closeOnHandshakeFailure.
    bool SendModuleToDevice(CComPort& port, int type, unsigned char* data, int size,
                            bool closeOnHandshakeFailure, void* reserved);
    bool SendModule(CComPort& port, int type, unsigned char* data, int size, void* reserved);
    // How long the module download waits for the verdict on a module.
    static int64_t ModuleAnswerWaitMs(int type, int size);

    static bool GetCheckSumImage(const unsigned char* data, int64_t length, unsigned long& sum,
                                 unsigned long& xorSum);
    static bool GetCheckSumBanks(const std::vector<unsigned char*>& banks, int bankLength,
                                 unsigned long& sum, unsigned long& xorSum);
    bool SilentDriverRenesasInstall();

    // Replaces the clock (tests); the engine does not own it.
    void SetClock(EngineClock& clock) { clock_ = &clock; }

    // After a download that went through, under "--verify": the printer must
    // be back within the reopen and handshake bounds with the package's
    // release, and what that release cannot show must have been confirmed by
    // an answer of the printer. False with the one line that says why.
    bool ConfirmUpgrade(CComPort& port, PSWFile& psw, std::string& failure);

    int timem;
    int iComponentMask;
    int iModeNumber;
    // "--verify": the engines take every answer the printer gives, also
    // where they would go on without it.
    bool bVerify = false;

  protected:
    // What the printer has confirmed of the firmware download (ConfirmUpgrade).
    struct Confirmation {
        bool firmwareSent = false;         // a firmware transfer was started
        bool sameVersion = false;          // the printer already carried the package's release
        bool answered = false;             // a good answer of the printer took the whole image
        const char* unanswered = nullptr;  // a part that neither an answer nor the release shows
    };
    Confirmation confirmation_;
    // One look at the printer for ConfirmUpgrade: what is wrong, or nothing.
    std::string Look(CComPort& port, PSWFile& psw);
    // The link names the printer again before ConfirmUpgrade reopens it.
    virtual void PointAtPrinter(CComPort& /*port*/) {}

    // How a reopening with retries behaves; the engines differ in the pause,
    // in the texts and in what follows a success.
    struct ReOpenRetry {
        int attempts;
        int pauseMs;             // x timem, after a failure that is not the last
        bool numbered;           // "ReOpen Error. Retry %d" rather than "... Retry"
        bool pauseAfterSuccess;  // the same pause once more after a success
        const char* giveUpText;  // logged after the last failure
        bool failOnGiveUp;       // false: the caller goes on all the same
    };
    static const ReOpenRetry kReOpenOrFail;   // 9, 5 s apart, then gives up
    static const ReOpenRetry kReOpenAndGoOn;  // 9, 5 s apart and after, numbered, goes on

    // Packet size and transmit time-out of the link, kept while the banks
    // go out in large pieces and put back when the guard ends.
    class BankWindow {
      public:
        explicit BankWindow(CComPort& port);
        ~BankWindow();
        BankWindow(const BankWindow&) = delete;
        BankWindow& operator=(const BankWindow&) = delete;

      private:
        CComPort& port_;
        uint32_t packetSize_;
        int timeoutTX_;
    };
    static constexpr uint32_t BANK_PACKET_SIZE = 57344;

    // Every wait of the engines: base x timem ms, or ms as given. what says
    // what the wait is for on the live status line of a terminal.
    void Pause(int64_t baseMs, const char* what = nullptr);
    void PauseUnscaled(int64_t ms, const char* what = nullptr);
    uint64_t NowMs();
    int64_t Scaled(int64_t baseMs) const;

    bool ReOpenWithRetries(CComPort& port, const char* function, const ReOpenRetry& how);
    // After programming: up to 7 reopenings 5 s x timem apart; logs
    // successText on the first success. The result only tells whether the
    // printer came back.
    bool WaitPrinterRestart(CComPort& port, const char* function, const char* successText);
    // Writes one bank; a bank that does not go out whole is a failure.
    static bool WriteBank(CComPort& port, unsigned char* bank, int bankSize);
    // Cuts the image into numBanks pointers, bankSize bytes apart.
    static std::vector<unsigned char*> CutBanks(const FirmwareImage& image, int first, int count);
    // Start (0x1C 0xFD) and program (0x1C 0xFF) commands of a bank range.
    static std::vector<unsigned char> StartCommand(int firstBank, int lastBank);
    static std::vector<unsigned char> ProgramCommand(int firstBank, int lastBank,
                                                     unsigned long sum1, unsigned long sum2);
    // Banks 0 to count - 1 in one start and program sequence, with the
    // progress on the console and in the log under function. No answer is
    // read.
    bool SendBankRun(CComPort& port, const std::vector<unsigned char*>& banks, int count,
                     int bankSize, unsigned long sum1, unsigned long sum2, const char* function);
    // Polling without spinning when a read came back empty at once.
    void AfterEmptyRead(uint64_t readStartMs);

    // Image, bank size and bank count of the package's firmware. False, with
    // "Upgrade file wrong or incomplete:" logged and the link closed, when a
    // number is 0, the image holds fewer than minBanks banks or is shorter
    // than its banks.
    bool TakeFirmwareImage(CComPort& port, PSWFile& psw, int minBanks, const char* function,
                           FirmwareImage& image);
    // "1.23" for the package release "123".
    static std::string ExpectedRelease(const PSWFile& psw);
    // Writes the cancel byte and the firmware release request and reads the
    // answer (up to maxLength bytes, their count in length); false when
    // nothing came. The release is the answer as a text: up to its first NUL.
    static bool ReadFirmwareRelease(CComPort& port, unsigned maxLength, std::string& release,
                                    unsigned& length);
    // The three steps that start every firmware transfer: reopen, handshake
    // and the current release; sameVersion tells whether the printer already
    // runs the package's release.
    bool PrepareFirmwareTransfer(CComPort& port, PSWFile& psw, const char* function,
                                 const ReOpenRetry& reopen, bool& sameVersion);
    // Keeps only the modules the mask admits (main, other, or both).
    void FilterModulesByMask(PSWComponents& components) const;
    // One module pass of a PSW2 upgrade, those sent before the firmware or
    // those after it, filtered by the mask; a failure is logged under
    // function. The caller has checked that modules are enabled.
    bool SendModulePass(CComPort& port, PSWFile& psw, PSWComponents& components, void* reserved,
                        int timeoutMs, bool beforeFirmware, const char* function);
    // The pass before the firmware, or the log line that modules are not
    // enabled.
    bool SendModulesBeforeFirmware(CComPort& port, PSWFile& psw, PSWComponents& components,
                                   void* reserved, int timeoutMs, const char* function);
    bool ModulesEnabled() const { return (iComponentMask & 6) != 0; }
    bool FirmwareEnabled() const { return (iComponentMask & 1) != 0; }
    // Whether PSW2 is going to send the firmware once the list is filtered.
    bool FirmwareToBeSent(const PSWComponents& components) const;
    // The whole of a PSW1 upgrade that sends only the firmware.
    bool SendFirmwareOnly(const std::function<bool()>& sendFirmware);
    // Whether the wait before the modules that follow the firmware is
    // multiplied by timem.
    enum class WaitScale { Scaled, Unscaled };
    // The firmware step of a PSW2 upgrade: sends the firmware when enabled
    // and listed and, once it went through, pauses 8 s x timem and, when
    // modules follow it, modulesWaitMs more. False only when the firmware
    // failed; waitedForModules tells whether that last wait took place.
    bool SendFirmwareStep(PSWComponents& components, const std::function<bool()>& sendFirmware,
                          int64_t modulesWaitMs, WaitScale scale, bool* waitedForModules = nullptr);
    // Writes a whole command; false when the link took less.
    static bool WriteAll(CComPort& port, const unsigned char* bytes, unsigned length);
    static bool WriteAll(CComPort& port, const std::vector<unsigned char>& bytes) {
        return WriteAll(port, bytes.data(), static_cast<unsigned>(bytes.size()));
    }

  private:
    bool WaitModuleVerdict(CComPort& port, int64_t limitMs);

    EngineClock* clock_;
};

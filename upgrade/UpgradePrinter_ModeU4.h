#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "comm/ComPort.h"
#include "upgrade/UpgradePrinter.h"

// Engine of upgrade mode U4: the firmware goes through the USB boot program of
// the printer's microcontroller. The running printer is told to restart into
// it, the boot device (vendor id 045B) is awaited, walked through its
// connection sequence and programmed in banks of its programming size so that
// the image ends at address FFFFFFFF. Modules go after the firmware, through
// the printer protocol once the printer runs again.
class UpgradePrinter_ModeU4 : public UpgradePrinter {
  public:
    // Error code that the connection sequence hands back.
    using BTPRGERROR = int;

    static constexpr const char* BOOT_VID = "045B";
    static constexpr int BOOT_DEVICE_WAIT_MS = 40000;  // x timem
    static constexpr int BOOT_ENTRY_WAIT_MS = 10000;   // x timem
    static constexpr int SHORT_PAUSE_MS = 100;         // x timem
    static constexpr int BOOT_LOOK_PAUSE_MS = 5;       // between two looks for the boot device
    // A whole programming packet goes out in one write.
    static constexpr uint32_t BOOT_PACKET_SIZE = 57344;

    UpgradePrinter_ModeU4(int components, int timeMultiplier);

    bool StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                           CommPortSettings& settings, void* reserved1, void* reserved2,
                           PSWComponents& components) override;
    bool SendFW(UpgradeDataInfo& info, CComPort& port, PSWFile& psw, CommPortSettings& settings,
                void* reserved1, void* reserved2);
    bool EnterUSBBootDirectModeOnUSB(CComPort& port);
    bool InitConnectRenesasDevice(CComPort& port, const char* deviceName, BTPRGERROR& error,
                                  int& programmingSize);
    // Programs the image through the boot device and ends the programming.
    bool StartUpgradeUsb(CComPort& port, const char* deviceName, const unsigned char* image,
                         uint32_t imageSize, int programmingSize);
    virtual bool SendResetCommandUSB(CComPort& port);
    virtual bool SendResetCommandUSBForSuccess(CComPort& port);

    // Programming command 50 for one bank: address, data and the checksum
    // byte that makes the 8-bit sum of the whole packet 0.
    static std::vector<unsigned char> ProgrammingPacket(uint32_t address, const unsigned char* data,
                                                        int size);

    bool bNewBootloader;

    // One request of the connection sequence and the answer it must get.
    struct Expect {
        int index;
        unsigned char value;
    };
    struct BootStep {
        const char* logLine;
        const unsigned char* command;
        unsigned length;
        int count;      // answer bytes
        int readAllMs;  // 0: one read that must yield exactly count bytes
        Expect expect[3];
        int expects;
    };

  protected:
    // Answers of the boot program are read into a buffer of this size.
    static constexpr unsigned ANSWER_BUFFER = 8191;
    static constexpr unsigned char BOOT_ACK = 0x06;
    static constexpr const char* WRITE_FAILED = "Error during send command! exit...";
    static constexpr const char* WRONG_ANSWER = "ERROR: wrong response! exit...";

    // Between the bit-rate adjustment and the programming size inquiry: the
    // boot program release and security of mode U2. False ends the sequence.
    virtual bool AfterBitRateAdjustment(CComPort& port, BTPRGERROR& error);
    // The last step of the connection sequence.
    virtual BootStep DataAreaBlankCheck() const;
    // Fourth byte of the status answer that means ready for programming.
    virtual unsigned char ReadyStatusByte() const;
    // What follows "Init Renesas connection Error(%d)".
    virtual void ExplainConnectionError(BTPRGERROR error);
    // The printer's own identifiers, kept before the boot device took the link.
    void PointAtPrinter(CComPort& port) override { port.RestoreportInfo(); }

    // Writes the step's request and reads and checks its answer; a failure
    // is logged, the boot device reset and the link closed.
    bool RunBootStep(CComPort& port, const char* function, const BootStep& step,
                     std::vector<unsigned char>& answer);
    // Logs text, resets the boot device and closes the link: always false.
    bool BootFailure(CComPort& port, const char* function, const char* text);
    // Writes a boot command after emptying the receive side.
    static bool WriteBootCommand(CComPort& port, const unsigned char* bytes, unsigned length);
    // One read that yields exactly one byte, value.
    static bool ReadSingleByte(CComPort& port, unsigned char value);
    // The module download after the firmware; pauseUnit as SendAllModules.
    bool SendModulesAfter(CComPort& port, PSWFile& psw, PSWComponents& components, void* reserved,
                          int pauseUnit);

  private:
    // Polls the bus for the boot device until it is listed or the wait ends.
    bool WaitBootDevice(std::string& deviceName);
    bool OpenBootDevice(CComPort& port, const char* deviceName);
    bool SendBanks(CComPort& port, const unsigned char* image, uint32_t imageSize,
                   int programmingSize);
    bool EndProgramming(CComPort& port);
};

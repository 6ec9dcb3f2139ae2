#pragma once

#include <termios.h>

#include <functional>

#include "comm/ComPort.h"

// Printer link on a serial terminal (a real RS-232 port or the printer's USB
// virtual COM port): raw 8-bit termios, DSR checked before every transfer and
// CTS before every write, time-outs by waiting on the descriptor.
class CComPortRs232 : public CComPort {
  public:
    static constexpr int DEVICE_SIZE = 1024;

    // Reads the modem lines (TIOCM_* bits) of the open descriptor; false when
    // the device has none.
    using ModemLineSource = std::function<bool(int fd, int* lines)>;

    CComPortRs232();
    ~CComPortRs232() override;
    CComPortRs232(const CComPortRs232&) = delete;
    CComPortRs232& operator=(const CComPortRs232&) = delete;

    using CComPort::Init;
    bool Init(char* device, int baud, int flow, bool isVirtual) override;
    bool Open() override;
    bool Close() override;
    unsigned Write(unsigned char* buf, unsigned len, unsigned* err) override;
    unsigned Read(unsigned char* buf, unsigned len, unsigned* err) override;
    void CleanTX() override;
    void CleanRX() override;
    void SetTimeoutTX(int ms) override;
    void SetTimeoutRX(int ms) override;
    int GetTimeoutRX() override;
    bool HandshakeCommunication(unsigned long* gsi) override;
    bool IsVirtualPort() override;
    bool ReOpen() override;

    bool OpenPort();
    // One write guarded by the modem lines.
    unsigned ComWrite(unsigned char* buf, unsigned len, unsigned* err);

    // Replaces the TIOCMGET reading of the modem lines (for tests).
    void SetModemLineSource(ModemLineSource source);

    int iFd;
    char szDevice[DEVICE_SIZE];
    int iBaudRate;
    int iFlowControl;
    struct termios tty;
    bool isVirtual;

  private:
    enum class Lines { Present, Absent };
    // Reads the lines; Absent when the device has no modem lines, which is
    // then treated like a virtual port (logged once per device).
    Lines ReadLines(const char* function, int* lines);
    bool DsrOff(const char* function, const char* errorText, unsigned* err);
    void SetLastError(const char* text);

    ModemLineSource modemLines_;
    bool noLinesLogged_ = false;
};

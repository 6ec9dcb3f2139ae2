#pragma once

#include <cstddef>
#include <functional>

#include "comm/ComPort.h"

// Printer link over TCP to the printer's raw port (9100 unless told
// otherwise). Connects with a bounded wait, reconnects before every transfer
// when the connection is gone, and applies the link time-outs to the socket.
class CComPortEth : public CComPort {
  public:
    static constexpr int HOST_SIZE = 256;
    static constexpr int DEFAULT_PORT = 9100;

    // Sleeps the given number of milliseconds (replaceable for tests).
    using PauseFunction = std::function<void(int ms)>;

    CComPortEth();
    ~CComPortEth() override;
    CComPortEth(const CComPortEth&) = delete;
    CComPortEth& operator=(const CComPortEth&) = delete;

    using CComPort::Init;
    bool Init(char* host, int port) override;
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
    bool ReOpen() override;

    // Connects when not connected.
    bool OpenPort();
    // The pauses of the handshake and of Close go through pause.
    void SetPauseFunction(PauseFunction pause);

    // Printers found by UDP broadcast on the local networks, one
    // "%s:%d(%s)\n" line each (address, port, name), appended to out, which
    // holds outSize bytes; lines that do not fit are left out. False when
    // none answered. errText is not written.
    static bool GetDeviceList(char* out, size_t outSize, char* errText);

    int iSocket;
    int iPort;
    char szHost[HOST_SIZE];
    int iTimeoutMultiplier;

  private:
    void ApplyTimeouts();
    PauseFunction pause_;
    bool FailOpen(const char* text);
    void SetLastError(const char* text);
};

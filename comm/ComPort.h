#pragma once

#include <cstddef>
#include <cstdint>

#include "comm/CommPortType.h"

// Abstract printer link. The three kinds (serial, network, USB) override the
// virtual operations they support; the others keep the base stubs, which do
// nothing and report failure, so that callers may use any operation on any link.
// Every err out-parameter is set to 0 on success and 1 on failure.
class CComPort {
  public:
    static constexpr int LAST_ERROR_SIZE = 1024;
    // An answer that grows past this without its end is dropped.
    static constexpr size_t MAX_ANSWER_SIZE = 16u * 1024u * 1024u;

    explicit CComPort(int unused = 0);
    virtual ~CComPort() = default;

    // Slot order is fixed: 0 .. 20.
    virtual bool Init(char* a, char* b);
    virtual bool Init(char* device, int baud, int flow, bool isVirtual);
    virtual bool Init(char* host, int port);
    virtual bool InitWithVid(char* vid, char* pid, char* serial);
    virtual bool Open();
    virtual bool Close();
    virtual unsigned Write(unsigned char* buf, unsigned len, unsigned* err);
    virtual unsigned Read(unsigned char* buf, unsigned len, unsigned* err);
    virtual void CleanTX();
    virtual void CleanRX();
    virtual void SetTimeoutTX(int ms);
    virtual void SetTimeoutRX(int ms);
    virtual int GetTimeoutRX();
    virtual bool HandshakeCommunication(unsigned long* gsi);
    virtual bool IsVirtualPort();
    virtual bool ReOpen();
    virtual bool BackupPortInfo();
    virtual bool RestoreportInfo();
    virtual bool DumpPortInfo();
    virtual bool SaveLocationCurrentDevice();
    virtual bool RestoreAddrNumFrmLocatio();

    // Reads one complete answer; the caller releases it with free().
    unsigned char* ReadProtocollData(int* size);
    unsigned char* ReadProtocollData(int* size, int timeoutMs);
    unsigned WritePackets(unsigned char* buf, unsigned len, int pauseMs, int packetSize,
                          unsigned* err);
    unsigned ReadAll(unsigned char* buf, int len, int timeoutMs, unsigned* err);

    int iPortType;
    char szLastError[LAST_ERROR_SIZE];
    int iTimeoutTX;
    int iTimeoutRX;
    uint32_t uiPacketSize;
    // Reading an answer goes on while bytes keep coming, but an answer still
    // without its end this long after its first byte is dropped: a printer
    // streaming on a slow line would otherwise hold the run for hours.
    int iAnswerTimeLimitMs;
    static constexpr int ANSWER_TIME_LIMIT_MS = 60000;

    // Function name of the link trace lines in the log.
    static constexpr const char* TRACE_FUNCTION = "LinkTrace";

  protected:
    // Link trace, written only while the log is on: every byte string the
    // link hands to the printer or takes from it, as a hex dump under a line
    // "<kind> sent|received <n> bytes", and the moments the link is opened,
    // fails to open, is lost or is closed ("<kind> <event>"). The kind is
    // "ser", "eth" or "usb"; the log line carries the time.
    void TraceSent(const unsigned char* data, unsigned count) const;
    void TraceReceived(const unsigned char* data, unsigned count) const;
    void TraceEvent(const char* event) const;

  private:
    void TraceData(const char* direction, const unsigned char* data, unsigned count) const;
    unsigned char* ReadAnswer(int* size, int timeoutMs, bool timed);
};

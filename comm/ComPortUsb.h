#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "comm/ComPort.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

// Printer link over USB: bulk transfers on interface 0 through libusb. The
// printer is found by vendor id, product id and the address number (the last
// character of its serial-number string), or by the whole serial string.
class CComPortUsb : public CComPort {
  public:
    static constexpr int TEXT_SIZE = 1024;
    static constexpr int LOCATION_SIZE = 8;
    // Size of the list and error texts that callers of GetDeviceList pass.
    static constexpr size_t LIST_TEXT_SIZE = 8192;
    static constexpr const char* DEFAULT_VID = "0AE7";

    // Sleeps the given number of milliseconds (replaceable for tests).
    using PauseFunction = std::function<void(int ms)>;

    explicit CComPortUsb(int timeMultiplier = 1);
    ~CComPortUsb() override;
    CComPortUsb(const CComPortUsb&) = delete;
    CComPortUsb& operator=(const CComPortUsb&) = delete;

    using CComPort::Init;
    bool Init(char* pid, char* addrNum) override;
    bool InitWithVid(char* vid, char* pid, char* serial) override;
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
    bool BackupPortInfo() override;
    bool RestoreportInfo() override;
    bool DumpPortInfo() override;
    bool SaveLocationCurrentDevice() override;
    bool RestoreAddrNumFrmLocatio() override;

    bool FindDevice(const char* vid, const char* pid, int addrNum);
    bool FindDeviceWithVid(const char* vid, const char* pid, const char* serial);

    // Appends "VID|PID|SERIAL\n" for every attached device of the vendor id
    // (DEFAULT_VID when vid is null). Lines that would not fit in outSize
    // bytes are left out whole. errText (may be null) gets the last failure.
    static bool GetDeviceList(char* out, char* errText, const char* vid,
                              size_t outSize = LIST_TEXT_SIZE, size_t errSize = LIST_TEXT_SIZE);

    void SetPauseFunction(PauseFunction pause);

    // True once a device of the searched vendor id was found in this process
    // but could not be opened for lack of permission (LIBUSB_ERROR_ACCESS).
    static bool AccessDenied();

    bool bClaimed;
    bool bLibusbReady;
    char szPid[TEXT_SIZE];
    char szVid[TEXT_SIZE];
    char szAddrNum[TEXT_SIZE];
    char szPidBackup[TEXT_SIZE];
    char szVidBackup[TEXT_SIZE];
    char szAddrNumBackup[TEXT_SIZE];
    int iEndpointIn;
    int iEndpointOut;
    int iTimeMultiplier;
    uint8_t location[LOCATION_SIZE];
    bool bInitialised;

  private:
    enum class Match { AddressNumber, WholeSerial };
    static constexpr int INTERFACE = 0;  // the printer's bulk endpoints

    bool StartLibusb(const char* function);
    // The start of Init and InitWithVid: keeps the ids, clears the last
    // error and starts libusb.
    bool StartSearch(const char* function, bool byWholeSerial, const char* vid, const char* pid,
                     const char* addrNum);
    void ReleaseLibusb();
    bool Find(const char* function, Match match, const char* vid, const char* pid, int addrNum,
              const char* serial);
    bool PrepareDevice(const char* function, Match match);
    // Finds the printer again with the ids it was looked for with last:
    // through InitWithVid when byWholeSerial is set, else through Init.
    bool Reconnect(bool byWholeSerial);
    void SetLastError(const char* text);
    // Transfer time-out in milliseconds: base x multiplier, never 0 ("wait forever").
    unsigned TransferTimeout(int baseMs) const;
    void Pause(int ms);

    libusb_context* context_;
    libusb_device** deviceList_;
    long deviceCount_;
    libusb_device_handle* handle_;
    // Which form opened the link last: Init (address number) or InitWithVid.
    bool byWholeSerial_;
    PauseFunction pause_;
};

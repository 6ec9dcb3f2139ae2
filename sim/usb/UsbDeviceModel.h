#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "sim/usb/UsbDeviceConfig.h"

class PrinterCore;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

// The usbdevfs side of one emulated device node: answers the ioctls that
// libusb sends to /dev/bus/usb/BBB/DDD. Bulk OUT data goes to the printer
// core, bulk IN transfers are filled from its output. A foreign device (no
// core) takes OUT data and never answers. Runs on umockdev's handler thread.
class UsbDeviceModel {
  public:
    // Called (on the handler thread) when the host asks for a port reset.
    using ResetListener = std::function<void(UsbDeviceModel& device)>;

    UsbDeviceModel(const UsbDeviceConfig& layout, PrinterCore* core, ResetListener onReset);
    ~UsbDeviceModel();
    UsbDeviceModel(const UsbDeviceModel&) = delete;
    UsbDeviceModel& operator=(const UsbDeviceModel&) = delete;

    const UsbDeviceConfig& Config() const { return config_; }
    // The umockdev handler object to attach to the device node.
    _UMockdevIoctlBase* Handler() const { return handler_; }

    // Bulk OUT bytes taken since the device was added.
    uint64_t BytesReceived() const;
    // Bulk OUT transfers (URBs) taken since the device was added.
    uint64_t OutTransfers() const;
    // True while the kernel driver named in the layout is bound to interface 0.
    bool DriverBound() const;
    bool InterfaceClaimed() const;
    // The device was unplugged: every waiting transfer ends with ENODEV.
    void Unplug();
    // When the host last sent an ioctl (the epoch of steady_clock if never).
    std::chrono::steady_clock::time_point LastIoctl() const;

    // Dispatches one ioctl; public for the C signal trampoline.
    bool HandleIoctl(_UMockdevIoctlClient* client);

  private:
    struct Urb {
        unsigned long clientAddress = 0;
        _UMockdevIoctlData* data = nullptr;    // the usbdevfs_urb (a reference we own)
        _UMockdevIoctlData* buffer = nullptr;  // its transfer buffer (owned)
        bool in = false;
        bool done = false;
        bool zeroLengthSeen = false;
    };

    // Each returns 0 or the errno value of the ioctl.
    int Claim(bool claim, unsigned interface);
    int DriverCommand(int interface, int code);
    int SubmitUrb(_UMockdevIoctlData* arg);
    int ControlUrb(Urb& urb);
    int Reap(_UMockdevIoctlData* arg);
    int Discard(unsigned long clientAddress);
    void FillInUrbs();
    static void ReleaseUrb(Urb& urb);
    void SetUrbResult(Urb& urb, int status, int actualLength);

    UsbDeviceConfig config_;
    PrinterCore* core_;
    ResetListener onReset_;
    _UMockdevIoctlBase* handler_;

    mutable std::mutex mutex_;
    std::deque<Urb> urbs_;  // submitted, not yet reaped, in submission order
    bool driverBound_;
    bool claimed_ = false;
    bool unplugged_ = false;
    uint64_t bytesReceived_ = 0;
    uint64_t outTransfers_ = 0;
    std::atomic<std::chrono::steady_clock::rep> lastIoctl_{0};
};

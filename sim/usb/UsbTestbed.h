#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/usb/UsbBusEvent.h"
#include "sim/usb/UsbDeviceConfig.h"
#include "sim/usb/UsbDeviceModel.h"

class PrinterCore;
struct _UMockdevTestbed;

// An emulated USB bus for the real libusb: a umockdev testbed with root hubs
// and the declared devices. Every process started under umockdev's preload
// after the testbed exists (or this process, when it runs under the preload)
// sees the devices in sysfs, udev and /dev/bus/usb. Devices that carry the
// printer flag share one printer core; a device keeps its core when it is
// unplugged and plugged in again, as a printer does across a restart.
//
// Owned and driven by one thread; the device models answer ioctls on
// umockdev's handler thread.
class UsbTestbed {
  public:
    explicit UsbTestbed(PrinterCore* core);
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Makes a device known by its name; plugs it in unless it is declared absent.
    bool Declare(const UsbDeviceConfig& layout, std::string& error);
    // Plugs a declared device in under the next free device number of its bus.
    bool Plug(const std::string& name, std::string& error);
    bool Unplug(const std::string& name, std::string& error);
    // Gives a declared device a core of its own instead of the shared printer
    // core (a boot program, for instance); takes effect when it is plugged in.
    void SetCore(const std::string& name, PrinterCore* core);

    void AddEvent(const UsbBusEvent& event);
    // When the printer core restarts, its devices leave the bus; when it is
    // back they come again, or this declared device instead (the printer
    // under another address number).
    void SetRestartDevice(const std::string& name) { restartDevice_ = name; }
    // Runs the events that are due; call it often from the owning thread.
    // Returns false with a reason when an event names an unknown device.
    bool Poll(std::string& error);
    // True while an event has fired and its addition is still to come, or an
    // event has not fired yet.
    bool EventsPending() const;
    // True when nothing is due soon: no event or restart under way, no late
    // answer, and no ioctl from the host for a second. Poll may then be
    // called less often (a quiet bus is looked at every 20 ms, not every ms).
    bool Quiet();

    // The plugged-in model of a device, or null.
    UsbDeviceModel* Device(const std::string& name);
    // "/dev/bus/usb/BBB/DDD" of a plugged-in device, or empty.
    std::string DeviceNode(const std::string& name) const;
    std::string RootDir() const;

  private:
    struct Plugged {
        std::unique_ptr<UsbDeviceModel> model;
        std::string sysPath;
        std::string devNode;
    };
    struct PendingAdd {
        std::string name;
        std::chrono::steady_clock::time_point due;
    };

    bool EnsureHub(int bus, const std::vector<uint8_t>& ports, std::string& error);
    bool AddRecord(const std::string& record, std::string& error);
    bool EventDue(const UsbBusEvent& event);
    PrinterCore* CoreOf(const UsbDeviceConfig& layout) const;
    // Unplugs the printer devices for a restart of the core, and plugs them
    // in again once it is over.
    bool FollowRestart(std::string& error);
    std::vector<std::string> PrinterDevices() const;
    void OnReset(UsbDeviceModel& device);

    _UMockdevTestbed* testbed_;
    PrinterCore* core_;
    std::chrono::steady_clock::time_point start_;
    std::map<std::string, UsbDeviceConfig> declared_;
    std::map<std::string, PrinterCore*> ownCores_;
    std::map<std::string, Plugged> plugged_;
    std::vector<std::unique_ptr<UsbDeviceModel>> retired_;  // unplugged; may still get ioctls
    std::set<std::string> hubs_;                            // kernel names of hubs added
    std::map<int, int> nextDevnum_;
    std::vector<UsbBusEvent> events_;
    std::vector<PendingAdd> pendingAdds_;
    std::string restartDevice_;
    std::vector<std::string> awayDevices_;  // to come back after the restart

    mutable std::mutex resetMutex_;
    std::set<std::string> resetRequests_;  // device names, filled on the handler thread
};

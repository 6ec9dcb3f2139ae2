#include "sim/usb/UsbTestbed.h"

#include <sys/stat.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/core/PrinterCore.h"

namespace {

constexpr const char* CONTROLLER_PATH = "/devices/pci0000:00/0000:00:14.0";
constexpr int USB_DEVICE_MAJOR = 189;
constexpr uint16_t HUB_VENDOR = 0x1D6B;

// umockdev builds a removal's uevent with libudev, which reads /sys: only a
// process under umockdev's preload (the bus in a test program) sees the
// testbed's devices there. Elsewhere (prnsim, whose command alone runs under
// the preload) the uevent cannot be made and umockdev would only print
// "ERROR: uevent_sender_send: No such device ...".
bool RemovalUeventPossible() {
    const char* preload = getenv("LD_PRELOAD");
    return preload != nullptr && strstr(preload, "libumockdev-preload") != nullptr;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";  // umockdev reads upper case only
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[64];
    snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string KernelName(int bus, const std::vector<uint8_t>& ports, size_t depth) {
    if (depth == 0) return "usb" + std::to_string(bus);
    std::string name = std::to_string(bus) + "-";
    for (size_t i = 0; i < depth; ++i) name += (i ? "." : "") + std::to_string(ports[i]);
    return name;
}

std::string SysPath(int bus, const std::vector<uint8_t>& ports, size_t depth) {
    std::string path = CONTROLLER_PATH;
    for (size_t d = 0; d <= depth; ++d) path += "/" + KernelName(bus, ports, d);
    return path;
}

// One device in umockdev's text format: sysfs path, /dev node with the
// descriptors, udev properties and sysfs attributes.
std::string Record(const UsbDeviceConfig& layout, const std::string& sysPath, int devnum,
                   bool hub) {
    unsigned bus = static_cast<unsigned>(layout.bus);
    unsigned dev = static_cast<unsigned>(devnum);
    unsigned minor = (bus - 1) * 128 + (dev - 1);
    std::string node = Format("bus/usb/%03u/%03u", bus, dev);
    std::string descriptors = Hex(BuildUsbDescriptors(layout, hub));
    std::string r;
    r += "P: " + sysPath + "\n";
    r += "N: " + node + "=" + descriptors + "\n";
    r += "E: DEVNAME=/dev/" + node + "\n";
    r += "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n";
    r += Format("E: BUSNUM=%03u\nE: DEVNUM=%03u\n", bus, dev);
    r += Format("E: MAJOR=%u\nE: MINOR=%u\n", USB_DEVICE_MAJOR, minor);
    r += Format("E: PRODUCT=%x/%x/100\n", layout.vendorId, layout.productId);
    r += Format("A: busnum=%u\\n\nA: devnum=%u\\n\n", bus, dev);
    r += Format("A: speed=%u\\n\n", static_cast<unsigned>(layout.speedMbps));
    r += Format("A: dev=%u:%u\\n\n", USB_DEVICE_MAJOR, minor);
    r += Format("A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", layout.vendorId, layout.productId);
    r += "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\n";
    if (layout.hasSerial && !layout.serial.empty() && IsPrintableText(layout.serial))
        r += "A: serial=" + layout.serial + "\\n\n";
    r += "H: descriptors=" + descriptors + "\n";
    return r;
}

}  // namespace

UsbTestbed::UsbTestbed(PrinterCore* core)
    : testbed_(umockdev_testbed_new()), core_(core), start_(std::chrono::steady_clock::now()) {}

UsbTestbed::~UsbTestbed() {
    for (auto& entry : plugged_) entry.second.model->Unplug();
    g_object_unref(testbed_);
}

std::string UsbTestbed::RootDir() const {
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);
    std::string out = dir ? dir : "";
    g_free(dir);
    return out;
}

bool UsbTestbed::AddRecord(const std::string& record, std::string& error) {
    GError* gerror = nullptr;
    if (umockdev_testbed_add_from_string(testbed_, record.c_str(), &gerror)) return true;
    error = std::string("cannot add device: ") + (gerror ? gerror->message : "unknown error");
    if (gerror) g_error_free(gerror);
    return false;
}

bool UsbTestbed::EnsureHub(int bus, const std::vector<uint8_t>& ports, std::string& error) {
    // The root hub and every hub between it and the device's port.
    for (size_t depth = 0; depth < ports.size(); ++depth) {
        std::string name = KernelName(bus, ports, depth);
        if (hubs_.count(name)) continue;
        UsbDeviceConfig hub;
        hub.bus = bus;
        hub.vendorId = HUB_VENDOR;
        hub.productId = depth == 0 ? 0x0002 : 0x0001;
        hub.hasSerial = false;
        hub.printer = false;
        int devnum = depth == 0 ? 1 : nextDevnum_[bus]++;
        if (depth == 0 && nextDevnum_[bus] < 2) nextDevnum_[bus] = 2;
        if (!AddRecord(Record(hub, SysPath(bus, ports, depth), devnum, true), error)) return false;
        hubs_.insert(name);
    }
    return true;
}

bool UsbTestbed::Declare(const UsbDeviceConfig& layout, std::string& error) {
    if (layout.name.empty() || declared_.count(layout.name)) {
        error = "device name \"" + layout.name + "\" is empty or used twice";
        return false;
    }
    declared_[layout.name] = layout;
    return !layout.present || Plug(layout.name, error);
}

bool UsbTestbed::Plug(const std::string& name, std::string& error) {
    auto it = declared_.find(name);
    if (it == declared_.end() || plugged_.count(name)) {
        error = "device \"" + name + "\" is unknown or already plugged in";
        return false;
    }
    const UsbDeviceConfig& layout = it->second;
    for (const auto& other : plugged_) {
        const UsbDeviceConfig& o = other.second.model->Config();
        if (o.bus == layout.bus && o.ports == layout.ports) {
            error = "port " + layout.KernelName() + " is taken by \"" + other.first + "\"";
            return false;
        }
    }
    if (!EnsureHub(layout.bus, layout.ports, error)) return false;
    int devnum = nextDevnum_[layout.bus]++;
    if (devnum > 127) {
        error = "no free device number on the bus";
        return false;
    }
    Plugged p;
    p.model = std::make_unique<UsbDeviceModel>(layout, CoreOf(layout),
                                               [this](UsbDeviceModel& d) { OnReset(d); });
    p.sysPath = SysPath(layout.bus, layout.ports, layout.ports.size());
    p.devNode = Format("/dev/bus/usb/%03u/%03u", static_cast<unsigned>(layout.bus),
                       static_cast<unsigned>(devnum));
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, p.devNode.c_str(), p.model->Handler(), &gerror)) {
        error = std::string("cannot attach the device node: ") +
                (gerror ? gerror->message : "unknown error");
        if (gerror) g_error_free(gerror);
        return false;
    }
    if (!AddRecord(Record(layout, p.sysPath, devnum, false), error)) return false;
    // As on a machine without the rule that grants access: opening the node
    // fails with EACCES (a root child must lose CAP_DAC_OVERRIDE for that).
    if (!layout.accessible && chmod((RootDir() + p.devNode).c_str(), 0) != 0) {
        error = "cannot take the rights of " + p.devNode + ": " + strerror(errno);
        return false;
    }
    plugged_[name] = std::move(p);
    return true;
}

bool UsbTestbed::Unplug(const std::string& name, std::string& error) {
    auto it = plugged_.find(name);
    if (it == plugged_.end()) {
        error = "device \"" + name + "\" is not plugged in";
        return false;
    }
    Plugged& p = it->second;
    p.model->Unplug();
    gchar* sys = g_strconcat("/sys", p.sysPath.c_str(), nullptr);
    if (RemovalUeventPossible()) umockdev_testbed_uevent(testbed_, sys, "remove");
    umockdev_testbed_remove_device(testbed_, sys);
    g_free(sys);
    retired_.push_back(std::move(p.model));
    plugged_.erase(it);
    return true;
}

void UsbTestbed::SetCore(const std::string& name, PrinterCore* core) { ownCores_[name] = core; }

PrinterCore* UsbTestbed::CoreOf(const UsbDeviceConfig& layout) const {
    if (!layout.printer) return nullptr;
    auto it = ownCores_.find(layout.name);
    return it == ownCores_.end() ? core_ : it->second;
}

UsbDeviceModel* UsbTestbed::Device(const std::string& name) {
    auto it = plugged_.find(name);
    return it == plugged_.end() ? nullptr : it->second.model.get();
}

std::string UsbTestbed::DeviceNode(const std::string& name) const {
    auto it = plugged_.find(name);
    return it == plugged_.end() ? "" : it->second.devNode;
}

void UsbTestbed::AddEvent(const UsbBusEvent& event) { events_.push_back(event); }

void UsbTestbed::OnReset(UsbDeviceModel& device) {
    std::lock_guard<std::mutex> lock(resetMutex_);
    resetRequests_.insert(device.Config().name);
}

bool UsbTestbed::EventDue(const UsbBusEvent& event) {
    switch (event.trigger) {
        case UsbBusEvent::Trigger::AfterMs:
            return std::chrono::steady_clock::now() - start_ >=
                   std::chrono::milliseconds(event.value);
        case UsbBusEvent::Trigger::OnReset: {
            std::lock_guard<std::mutex> lock(resetMutex_);
            if (!event.source.empty()) return resetRequests_.erase(event.source) > 0;
            bool any = !resetRequests_.empty();
            resetRequests_.clear();
            return any;
        }
        case UsbBusEvent::Trigger::AfterBytes:
            for (const auto& entry : plugged_) {
                const UsbDeviceModel& m = *entry.second.model;
                bool source =
                    event.source.empty() ? m.Config().printer : entry.first == event.source;
                if (source && m.BytesReceived() >= event.value) return true;
            }
            return false;
    }
    return false;
}

std::vector<std::string> UsbTestbed::PrinterDevices() const {
    std::vector<std::string> printers;
    for (const auto& entry : plugged_) {
        // Devices with a core of their own (a boot program) are not the printer.
        if (CoreOf(entry.second.model->Config()) == core_) printers.push_back(entry.first);
    }
    return printers;
}

bool UsbTestbed::FollowRestart(std::string& error) {
    if (core_->TakeRestartBegin()) {
        std::vector<std::string> printers = PrinterDevices();
        for (const std::string& name : printers) {
            if (!Unplug(name, error)) return false;
        }
        awayDevices_ = restartDevice_.empty() ? printers : std::vector<std::string>{restartDevice_};
    }
    if (!awayDevices_.empty() && !core_->Restarting()) {
        std::vector<std::string> back;
        back.swap(awayDevices_);
        for (const std::string& name : back) {
            if (!Plug(name, error)) return false;
        }
    }
    return true;
}

bool UsbTestbed::Poll(std::string& error) {
    auto now = std::chrono::steady_clock::now();
    // The printer core's "drop the connection" fault: the printer leaves the bus.
    if (core_ != nullptr && core_->TakeCloseRequest()) {
        for (const std::string& name : PrinterDevices()) {
            if (!Unplug(name, error)) return false;
        }
    }
    if (core_ != nullptr && !FollowRestart(error)) return false;
    for (UsbBusEvent& event : events_) {
        if (event.fired || !EventDue(event)) continue;
        event.fired = true;
        if (!event.remove.empty() && !Unplug(event.remove, error)) return false;
        if (!event.add.empty()) {
            pendingAdds_.push_back({event.add, now + std::chrono::milliseconds(event.delayMs)});
        }
    }
    for (auto it = pendingAdds_.begin(); it != pendingAdds_.end();) {
        if (it->due > now) {
            ++it;
            continue;
        }
        std::string name = it->name;
        it = pendingAdds_.erase(it);
        if (!Plug(name, error)) return false;
    }
    return true;
}

bool UsbTestbed::Quiet() {
    const auto since = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    auto talking = [&](const UsbDeviceModel& model) { return model.LastIoctl() > since; };
    for (const auto& entry : plugged_) {
        if (talking(*entry.second.model)) return false;
    }
    for (const auto& model : retired_) {
        if (talking(*model)) return false;
    }
    {
        std::lock_guard<std::mutex> lock(resetMutex_);
        if (!resetRequests_.empty()) return false;
    }
    if (EventsPending() || !awayDevices_.empty()) return false;
    return core_ == nullptr || (!core_->RestartPending() && !core_->HasLateAnswers());
}

bool UsbTestbed::EventsPending() const {
    if (!pendingAdds_.empty()) return true;
    for (const UsbBusEvent& e : events_) {
        if (!e.fired) return true;
    }
    return false;
}

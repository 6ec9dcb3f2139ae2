#include "sim/usb/UsbDeviceModel.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include "sim/core/PrinterCore.h"

namespace {

constexpr uint32_t CAPABILITIES = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                  USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr uint8_t REQUEST_GET_DESCRIPTOR = 6;
constexpr uint8_t DESCRIPTOR_STRING = 3;
constexpr size_t SETUP_SIZE = 8;

gboolean OnIoctl(UMockdevIoctlBase* /*handler*/, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<UsbDeviceModel*>(self)->HandleIoctl(client) ? TRUE : FALSE;
}

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) { return reinterpret_cast<usbdevfs_urb*>(data->data); }

// The ioctl argument is the caller's pointer: its memory, size bytes of it,
// copied over (and written back when the ioctl completes). Owned by the caller.
UMockdevIoctlData* Pointee(UMockdevIoctlData* arg, size_t size) {
    if (arg == nullptr || arg->data_len < static_cast<int>(sizeof(void*))) return nullptr;
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (data == nullptr) g_clear_error(&error);
    return data;
}

// The argument's value itself (for ioctls that take a plain pointer value).
unsigned long ArgValue(UMockdevIoctlData* arg) {
    unsigned long value = 0;
    if (arg != nullptr && arg->data_len >= static_cast<int>(sizeof value)) {
        memcpy(&value, arg->data, sizeof value);
    }
    return value;
}

// A pointee released at scope end.
class Mem {
  public:
    Mem(UMockdevIoctlData* arg, size_t size) : data_(Pointee(arg, size)) {}
    ~Mem() {
        if (data_ != nullptr) g_object_unref(data_);
    }
    Mem(const Mem&) = delete;
    Mem& operator=(const Mem&) = delete;
    UMockdevIoctlData* get() const { return data_; }
    template <typename T>
    T* as() const {
        return data_ != nullptr ? reinterpret_cast<T*>(data_->data) : nullptr;
    }

  private:
    UMockdevIoctlData* data_;
};

std::vector<uint8_t> StringDescriptor(uint8_t index, const UsbDeviceConfig& layout) {
    if (index == 0) return {4, DESCRIPTOR_STRING, 0x09, 0x04};  // English (US)
    if (index != USB_SERIAL_STRING_INDEX || !layout.hasSerial) return {};
    std::vector<uint8_t> d{0, DESCRIPTOR_STRING};
    for (char c : layout.serial.substr(0, UsbDeviceConfig::MAX_SERIAL)) {
        d.push_back(static_cast<uint8_t>(c));
        d.push_back(0);
    }
    d[0] = static_cast<uint8_t>(d.size());
    return d;
}

}  // namespace

UsbDeviceModel::UsbDeviceModel(const UsbDeviceConfig& layout, PrinterCore* core,
                               ResetListener onReset)
    : config_(layout),
      core_(core),
      onReset_(std::move(onReset)),
      handler_(umockdev_ioctl_base_new()),
      driverBound_(!layout.driver.empty()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbDeviceModel::~UsbDeviceModel() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    for (Urb& urb : urbs_) ReleaseUrb(urb);
    g_object_unref(handler_);
}

uint64_t UsbDeviceModel::BytesReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytesReceived_;
}

uint64_t UsbDeviceModel::OutTransfers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outTransfers_;
}

bool UsbDeviceModel::DriverBound() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return driverBound_;
}

bool UsbDeviceModel::InterfaceClaimed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return claimed_;
}

void UsbDeviceModel::Unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    unplugged_ = true;
    for (Urb& urb : urbs_) {
        if (!urb.done) SetUrbResult(urb, -ENODEV, UrbOf(urb.data)->actual_length);
    }
}

void UsbDeviceModel::ReleaseUrb(Urb& urb) {
    if (urb.buffer != nullptr) g_object_unref(urb.buffer);
    if (urb.data != nullptr) g_object_unref(urb.data);
    urb.buffer = nullptr;
    urb.data = nullptr;
}

void UsbDeviceModel::SetUrbResult(Urb& urb, int status, int actualLength) {
    usbdevfs_urb* u = UrbOf(urb.data);
    u->status = status;
    u->actual_length = actualLength;
    urb.done = true;
}

std::chrono::steady_clock::time_point UsbDeviceModel::LastIoctl() const {
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastIoctl_));
}

bool UsbDeviceModel::HandleIoctl(UMockdevIoctlClient* client) {
    lastIoctl_ = std::chrono::steady_clock::now().time_since_epoch().count();
    unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    int error = 0;
    bool notifyReset = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
        if (unplugged_ && !reap) {
            error = ENODEV;
        } else if (request == USBDEVFS_GET_CAPABILITIES) {
            Mem caps(arg, sizeof(uint32_t));
            if (caps.get() == nullptr) {
                error = EFAULT;
            } else {
                *caps.as<uint32_t>() = CAPABILITIES;
            }
        } else if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_RELEASEINTERFACE) {
            Mem number(arg, sizeof(unsigned));
            error = number.get() == nullptr
                        ? EFAULT
                        : Claim(request == USBDEVFS_CLAIMINTERFACE, *number.as<unsigned>());
        } else if (request == USBDEVFS_GETDRIVER) {
            Mem d(arg, sizeof(usbdevfs_getdriver));
            auto* getDriver = d.as<usbdevfs_getdriver>();
            if (getDriver == nullptr) {
                error = EFAULT;
            } else if (getDriver->interface != 0) {
                error = EINVAL;
            } else if (!driverBound_) {
                error = ENODATA;
            } else {
                snprintf(getDriver->driver, sizeof getDriver->driver, "%s", config_.driver.c_str());
            }
        } else if (request == USBDEVFS_IOCTL) {
            Mem c(arg, sizeof(usbdevfs_ioctl));
            auto* command = c.as<usbdevfs_ioctl>();
            error = command == nullptr ? EFAULT : DriverCommand(command->ifno, command->ioctl_code);
        } else if (request == USBDEVFS_DISCONNECT_CLAIM) {
            Mem c(arg, sizeof(usbdevfs_disconnect_claim));
            auto* command = c.as<usbdevfs_disconnect_claim>();
            if (command == nullptr) {
                error = EFAULT;
            } else if (command->interface != 0) {
                error = EINVAL;
            } else {
                driverBound_ = false;
                claimed_ = true;
            }
        } else if (request == USBDEVFS_SUBMITURB) {
            error = SubmitUrb(arg);
        } else if (reap) {
            error = Reap(arg);
        } else if (request == USBDEVFS_DISCARDURB) {
            error = Discard(ArgValue(arg));
        } else if (request == USBDEVFS_RESET) {
            notifyReset = true;
        } else if (request != USBDEVFS_CLEAR_HALT && request != USBDEVFS_SETCONFIGURATION) {
            error = ENOTTY;
        }
    }
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    if (onReset_ && notifyReset) onReset_(*this);
    return true;
}

int UsbDeviceModel::Claim(bool claim, unsigned interface) {
    if (interface != 0) return EINVAL;
    if (!claim) {
        if (!claimed_) return EINVAL;
        claimed_ = false;
        return 0;
    }
    if (driverBound_) return EBUSY;  // the kernel driver holds the interface
    claimed_ = true;
    return 0;
}

int UsbDeviceModel::DriverCommand(int interface, int code) {
    if (interface != 0) return EINVAL;
    if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!driverBound_) return ENODATA;
        driverBound_ = false;
        return 0;
    }
    if (code == static_cast<int>(USBDEVFS_CONNECT)) {
        driverBound_ = !config_.driver.empty() && !claimed_;
        return 0;
    }
    return ENOTTY;
}

int UsbDeviceModel::SubmitUrb(UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Pointee(arg, sizeof(usbdevfs_urb));
    if (data == nullptr) return EFAULT;
    Urb urb;
    urb.data = data;
    urb.clientAddress = data->client_addr;
    usbdevfs_urb* u = UrbOf(data);
    urb.in = (u->endpoint & 0x80) != 0;
    if (u->buffer_length < 0 ||
        (u->type != USBDEVFS_URB_TYPE_BULK && u->type != USBDEVFS_URB_TYPE_CONTROL)) {
        ReleaseUrb(urb);
        return EINVAL;
    }
    if (u->buffer_length > 0) {
        GError* gerror = nullptr;
        urb.buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                                 static_cast<gsize>(u->buffer_length), &gerror);
        if (urb.buffer == nullptr) {
            g_clear_error(&gerror);
            ReleaseUrb(urb);
            return EFAULT;
        }
    }
    u->status = 0;
    u->actual_length = 0;
    if (u->type == USBDEVFS_URB_TYPE_CONTROL) {
        int error = ControlUrb(urb);
        if (error != 0) {
            ReleaseUrb(urb);
            return error;
        }
    } else if (!urb.in) {
        if (core_ != nullptr && u->buffer_length > 0) {
            core_->Receive(urb.buffer->data, static_cast<size_t>(u->buffer_length));
        }
        bytesReceived_ += static_cast<uint64_t>(u->buffer_length);
        ++outTransfers_;
        SetUrbResult(urb, 0, u->buffer_length);
    }
    urbs_.push_back(urb);
    return 0;
}

int UsbDeviceModel::ControlUrb(Urb& urb) {
    usbdevfs_urb* u = UrbOf(urb.data);
    if (urb.buffer == nullptr || u->buffer_length < static_cast<int>(SETUP_SIZE)) return EINVAL;
    const uint8_t* setup = urb.buffer->data;
    uint8_t requestType = setup[0];
    uint8_t request = setup[1];
    uint8_t descriptorIndex = setup[2];
    uint8_t descriptorType = setup[3];
    size_t wanted = static_cast<size_t>(setup[6] | (setup[7] << 8));
    size_t room = static_cast<size_t>(u->buffer_length) - SETUP_SIZE;
    std::vector<uint8_t> answer;
    if (requestType == 0x80 && request == REQUEST_GET_DESCRIPTOR &&
        descriptorType == DESCRIPTOR_STRING) {
        answer = StringDescriptor(descriptorIndex, config_);
    }
    if (answer.empty()) {
        SetUrbResult(urb, -EPIPE, 0);  // stall: request not supported
        return 0;
    }
    size_t n = std::min({answer.size(), wanted, room});
    memcpy(urb.buffer->data + SETUP_SIZE, answer.data(), n);
    SetUrbResult(urb, 0, static_cast<int>(n));
    return 0;
}

// Moves the printer's output into waiting IN transfers. The device sends full
// packets while it has data; a transfer ends when its buffer is full, on a
// short packet, or (with zero-length packets on) when the output runs dry.
void UsbDeviceModel::FillInUrbs() {
    if (core_ == nullptr) return;
    const size_t packet = config_.MaxPacketSize();
    for (Urb& urb : urbs_) {
        if (urb.done || !urb.in) continue;
        usbdevfs_urb* u = UrbOf(urb.data);
        size_t have = static_cast<size_t>(u->actual_length);
        size_t room = static_cast<size_t>(u->buffer_length) - have;
        if (!core_->HasOutput()) return;
        size_t got = core_->TakeOutput(urb.buffer->data + have, room);
        have += got;
        u->actual_length = static_cast<int>(have);
        bool full = have == static_cast<size_t>(u->buffer_length);
        bool shortPacket = got % packet != 0;
        bool zeroLength = config_.zeroLengthPacket && !core_->HasOutput();
        if (full || shortPacket || zeroLength) {
            SetUrbResult(urb, 0, static_cast<int>(have));
        } else {
            return;  // the transfer waits for more packets
        }
    }
}

int UsbDeviceModel::Reap(UMockdevIoctlData* arg) {
    FillInUrbs();
    auto it = std::find_if(urbs_.begin(), urbs_.end(), [](const Urb& u) { return u.done; });
    if (it == urbs_.end()) return EAGAIN;
    Mem slot(arg, sizeof(void*));
    if (slot.get() == nullptr || !umockdev_ioctl_data_set_ptr(slot.get(), 0, it->data)) {
        return EFAULT;
    }
    ReleaseUrb(*it);
    urbs_.erase(it);
    return 0;
}

int UsbDeviceModel::Discard(unsigned long clientAddress) {
    for (Urb& urb : urbs_) {
        if (urb.clientAddress == clientAddress && !urb.done) {
            SetUrbResult(urb, -ENOENT, UrbOf(urb.data)->actual_length);
            return 0;
        }
    }
    return EINVAL;
}

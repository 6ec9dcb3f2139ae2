// The search of the USB link: the printers on the bus, found by product id
// and address number or by whole serial, the device list, and the location
// of a printer kept over its restart.
#include <libusb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "comm/ComPortUsb.h"
#include "common/Log.h"

namespace {

constexpr int SERIAL_BUFFER = 256;
constexpr int LAST_ERROR_TEXT = 255;

const char* const OPEN_ACCESS_DENIED =
    "Couldn't open device(Access denied (insufficient permissions))";
const char* const OPEN_FAILED = "Couldn't open device";
const char* const NO_SERIAL = "Coudn't get serial string";
const char* const NO_DESCRIPTOR = "failed to get device descriptor";

void CopyText(char* out, size_t size, const char* text) {
    if (out == nullptr || size == 0) return;
    snprintf(out, size, "%s", text ? text : "");
}

// Vendor and product id as four upper-case hexadecimal digits.
bool ReadIds(libusb_device* dev, char* vid, char* pid, uint8_t* serialIndex) {
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(dev, &desc) < 0) return false;
    snprintf(vid, 5, "%04X", desc.idVendor);
    snprintf(pid, 5, "%04X", desc.idProduct);
    *serialIndex = desc.iSerialNumber;
    return true;
}

bool g_accessDenied = false;

const char* OpenFailureText(int result) {
    return result == LIBUSB_ERROR_ACCESS ? OPEN_ACCESS_DENIED : OPEN_FAILED;
}

// The serial-number string as ASCII, at most SERIAL_BUFFER - 1 characters.
// Characters that would break a device-list line (control characters and
// the "|" separator) are shown as "?".
bool ReadSerial(libusb_device_handle* handle, uint8_t index, char* out) {
    out[0] = '\0';
    unsigned char text[SERIAL_BUFFER + 1] = {0};
    int n = libusb_get_string_descriptor_ascii(handle, index, text, SERIAL_BUFFER);
    if (n < 0) return false;
    if (n > SERIAL_BUFFER - 1) n = SERIAL_BUFFER - 1;
    for (int i = 0; i < n; ++i) {
        unsigned char c = text[i];
        out[i] = (c < 0x20 || c == 0x7F || c == '|') ? '?' : static_cast<char>(c);
    }
    out[n] = '\0';
    return true;
}

char LastChar(const char* text) {
    size_t n = strlen(text);
    return n == 0 ? '\0' : text[n - 1];
}

// The port numbers one after another, each written at its own position.
void LocationText(const uint8_t* location, char* out, size_t size) {
    memset(out, 0, size);
    for (int i = 0; i < CComPortUsb::LOCATION_SIZE && static_cast<size_t>(i) < size - 1; ++i) {
        snprintf(out + i, size - static_cast<size_t>(i), "%d", location[i]);
    }
}

// What went wrong with one device while visiting a device list.
enum class Problem { Descriptor, Open, Serial };

// What a visit does next: go on, stop, or stop keeping the device's handle
// open (the visitor has taken it).
enum class Step { GoOn, Stop, Keep };

// Which devices a visit opens: the vendor id, the product id (null: any) and,
// when withSerialIndex is set, only devices that name a serial-number string.
struct DeviceFilter {
    const char* vid;
    const char* pid;
    bool withSerialIndex;
};

// One opened device of a visit with its ids and serial-number text (empty
// when it could not be read).
struct VisitedDevice {
    libusb_device* dev;
    libusb_device_handle* handle;
    const char* vid;
    const char* pid;
    const char* serial;
};

using ProblemVisitor = std::function<Step(Problem problem, const char* text)>;
using DeviceVisitor = std::function<Step(const VisitedDevice& device)>;

Step IgnoreProblem(Problem, const char*) { return Step::GoOn; }

// Opens each device of the list that passes the filter, reads its serial
// number and hands it to onDevice; the handle is closed afterwards unless
// onDevice answers Step::Keep. Each failure is logged under `function` and
// told to onProblem: Step::Stop ends the visit; otherwise a descriptor or open
// failure passes on to the next device and a serial failure goes on with an
// empty serial.
void VisitDevices(const char* function, libusb_device* const* list, long count,
                  const DeviceFilter& filter, const ProblemVisitor& onProblem,
                  const DeviceVisitor& onDevice) {
    for (long i = 0; i < count; ++i) {
        libusb_device* dev = list[i];
        char vid[8];
        char pid[8];
        uint8_t serialIndex = 0;
        if (!ReadIds(dev, vid, pid, &serialIndex)) {
            Log::WriteLogP(function, "%s", NO_DESCRIPTOR);
            if (onProblem(Problem::Descriptor, NO_DESCRIPTOR) == Step::Stop) return;
            continue;
        }
        if (strcmp(vid, filter.vid) != 0) continue;
        if (filter.pid != nullptr && strcmp(pid, filter.pid) != 0) continue;
        if (filter.withSerialIndex && serialIndex == 0) continue;
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(dev, &handle);
        if (result < 0) {
            if (result == LIBUSB_ERROR_ACCESS) g_accessDenied = true;
            Log::WriteLogP(function, "%s", OpenFailureText(result));
            if (onProblem(Problem::Open, OpenFailureText(result)) == Step::Stop) return;
            continue;
        }
        char serial[SERIAL_BUFFER];
        if (!ReadSerial(handle, serialIndex, serial)) {
            Log::WriteLogP(function, "%s", NO_SERIAL);
            if (onProblem(Problem::Serial, NO_SERIAL) == Step::Stop) {
                libusb_close(handle);
                return;
            }
        }
        Step step = onDevice(VisitedDevice{dev, handle, vid, pid, serial});
        if (step != Step::Keep) libusb_close(handle);
        if (step != Step::GoOn) return;
    }
}

// A libusb context with its device list, released at scope end.
class ScopedList {
  public:
    explicit ScopedList(const char* function) {
        if (libusb_init(&context_) < 0) {
            context_ = nullptr;
            Log::WriteLogP(function, "%s", "libusb_init error");
            error_ = "libusb_init error";
            return;
        }
        count_ = libusb_get_device_list(context_, &list_);
        if (count_ < 0) {
            list_ = nullptr;
            count_ = 0;
            Log::WriteLogP(function, "%s", "libusb_get_device_list error");
            error_ = "libusb_get_device_list error";
        }
    }
    ~ScopedList() {
        if (list_ != nullptr) libusb_free_device_list(list_, 1);
        if (context_ != nullptr) libusb_exit(context_);
    }
    ScopedList(const ScopedList&) = delete;
    ScopedList& operator=(const ScopedList&) = delete;

    bool Ok() const { return list_ != nullptr; }
    const char* Error() const { return error_; }
    long Count() const { return count_; }
    libusb_device* const* Devices() const { return list_; }

  private:
    libusb_context* context_ = nullptr;
    libusb_device** list_ = nullptr;
    long count_ = 0;
    const char* error_ = "";
};

}  // namespace

bool CComPortUsb::AccessDenied() { return g_accessDenied; }

void CComPortUsb::SetLastError(const char* text) { CopyText(szLastError, LAST_ERROR_TEXT, text); }

bool CComPortUsb::StartSearch(const char* function, bool byWholeSerial, const char* vid,
                              const char* pid, const char* addrNum) {
    bInitialised = true;
    byWholeSerial_ = byWholeSerial;
    CopyText(szPid, TEXT_SIZE, pid);
    CopyText(szAddrNum, TEXT_SIZE, addrNum);
    CopyText(szVid, TEXT_SIZE, vid);
    SetLastError("");
    return StartLibusb(function);
}

bool CComPortUsb::Init(char* pid, char* addrNum) {
    if (!StartSearch("Init", false, DEFAULT_VID, pid, addrNum)) return false;
    // Text that does not start with a digit reads as 0.
    int number = static_cast<int>(strtol(szAddrNum, nullptr, 10));
    return FindDevice(DEFAULT_VID, szPid, number);
}

bool CComPortUsb::InitWithVid(char* vid, char* pid, char* serial) {
    if (!StartSearch("InitWithVid", true, vid, pid, serial)) return false;
    return FindDeviceWithVid(szVid, szPid, szAddrNum);
}

bool CComPortUsb::FindDevice(const char* vid, const char* pid, int addrNum) {
    return Find("FindDevice", Match::AddressNumber, vid, pid, addrNum, nullptr);
}

bool CComPortUsb::FindDeviceWithVid(const char* vid, const char* pid, const char* serial) {
    return Find("FindDeviceWithVid", Match::WholeSerial, vid, pid, 0, serial);
}

bool CComPortUsb::Find(const char* function, Match match, const char* vid, const char* pid,
                       int addrNum, const char* serial) {
    SetLastError("");
    if (handle_ != nullptr) {  // a search again: the device found before is let go
        if (bClaimed) libusb_release_interface(handle_, INTERFACE);
        libusb_close(handle_);
        handle_ = nullptr;
        bClaimed = false;
    }
    if (deviceList_ == nullptr || vid == nullptr || pid == nullptr) return false;
    bool prepared = false;
    auto onProblem = [&](Problem problem, const char* text) {
        SetLastError(text);
        // By whole serial an unreadable serial counts as empty.
        return problem == Problem::Serial && match == Match::WholeSerial ? Step::GoOn : Step::Stop;
    };
    auto onDevice = [&](const VisitedDevice& device) {
        bool matches =
            device.serial[0] == '\0' ||
            (match == Match::AddressNumber ? LastChar(device.serial) - '0' == addrNum
                                           : strcmp(device.serial, serial ? serial : "") == 0);
        if (!matches) return Step::GoOn;
        handle_ = device.handle;
        prepared = PrepareDevice(function, match);
        return Step::Keep;
    };
    VisitDevices(function, deviceList_, deviceCount_, DeviceFilter{vid, pid, false}, onProblem,
                 onDevice);
    return prepared;
}

// Endpoints of interface 0 and the kernel drivers to detach.
bool CComPortUsb::PrepareDevice(const char* function, Match match) {
    libusb_device* dev = libusb_get_device(handle_);
    libusb_config_descriptor* config = nullptr;
    int result = libusb_get_active_config_descriptor(dev, &config);
    if (result < 0) {
        printf("Error getting usb config descriptor : %d \n", result);
        fflush(stdout);
        exit(-1);
    }
    bool endpointsFound = false;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        if (alt.bNumEndpoints >= 2) {
            int first = alt.endpoint[0].bEndpointAddress;
            int second = alt.endpoint[1].bEndpointAddress;
            bool firstIsIn = (first & LIBUSB_ENDPOINT_IN) != 0;
            iEndpointIn = firstIsIn ? first : second;
            iEndpointOut = firstIsIn ? second : first;
            endpointsFound = true;
        }
    }
    int interfaces = config->bNumInterfaces;
    libusb_free_config_descriptor(config);
    if (!endpointsFound) {
        // A device without two endpoints on interface 0 is no printer link.
        Log::WriteLogP(function, "%s", "interface 0 has no bulk endpoint pair");
        SetLastError("interface 0 has no bulk endpoint pair");
        libusb_close(handle_);
        handle_ = nullptr;
        return false;
    }
    if (libusb_kernel_driver_active(handle_, INTERFACE) == 1 &&
        libusb_detach_kernel_driver(handle_, INTERFACE) < 0) {
        Log::WriteLogP(function, "%s", "libusb_detach_kernel_driver error");
        SetLastError("libusb_detach_kernel_driver error");
        libusb_close(handle_);
        handle_ = nullptr;
        return false;
    }
    if (match == Match::AddressNumber) {
        for (int i = 1; i < interfaces; ++i) {
            if (libusb_kernel_driver_active(handle_, i) == 1 &&
                libusb_detach_kernel_driver(handle_, i) < 0) {
                Log::WriteLogP(function, "libusb_detach_kernel_driver error interface index %d", i);
                SetLastError("libusb_detach_kernel_driver error");
            }
        }
    }
    return true;
}

bool CComPortUsb::Reconnect(bool byWholeSerial) {
    // Copies: Init and InitWithVid write the link's own texts.
    char pid[TEXT_SIZE];
    char vid[TEXT_SIZE];
    char addrNum[TEXT_SIZE];
    CopyText(pid, sizeof pid, szPid);
    CopyText(vid, sizeof vid, szVid);
    CopyText(addrNum, sizeof addrNum, szAddrNum);
    return byWholeSerial ? InitWithVid(vid, pid, addrNum) : Init(pid, addrNum);
}

bool CComPortUsb::BackupPortInfo() {
    CopyText(szPidBackup, TEXT_SIZE, szPid);
    CopyText(szVidBackup, TEXT_SIZE, szVid);
    CopyText(szAddrNumBackup, TEXT_SIZE, szAddrNum);
    return true;
}

bool CComPortUsb::RestoreportInfo() {
    CopyText(szPid, TEXT_SIZE, szPidBackup);
    CopyText(szVid, TEXT_SIZE, szVidBackup);
    CopyText(szAddrNum, TEXT_SIZE, szAddrNumBackup);
    return true;
}

bool CComPortUsb::DumpPortInfo() {
    printf("Pid : %s \n", szPid);
    printf("Vid : %s \n", szVid);
    printf("AddressNumberExt : %s \n", szAddrNum);
    return true;
}

bool CComPortUsb::SaveLocationCurrentDevice() {
    const char* fn = "SaveLocationCurrentDevice";
    Log::WriteLogP(fn, "%s", "SaveLocationCurrentDevice Begin");
    if (szPid[0] == '\0' || szVid[0] == '\0' || szAddrNum[0] == '\0') {
        Log::WriteLogP(fn, "%s", "No Pid, Vid or AddrNumber Error ");
        return false;
    }
    ScopedList list(fn);
    if (!list.Ok()) return false;
    VisitDevices(fn, list.Devices(), list.Count(), DeviceFilter{szVid, szPid, true}, IgnoreProblem,
                 [&](const VisitedDevice& device) {
                     // The address number is one character: the last one of the serial.
                     if (szAddrNum[1] != '\0' || LastChar(device.serial) != szAddrNum[0]) {
                         return Step::GoOn;
                     }
                     memset(location, 0, sizeof location);
                     libusb_get_port_numbers(device.dev, location, LOCATION_SIZE);
                     char text[LOCATION_SIZE + 4];
                     LocationText(location, text, sizeof text);
                     Log::WriteLogP(fn, "Vid:%s, Pid:%s, AddrNum:%s, Location: %s", szVid, szPid,
                                    szAddrNum, text);
                     return Step::GoOn;
                 });
    Log::WriteLogP(fn, "%s", "SaveLocationCurrentDevice End");
    return true;
}

bool CComPortUsb::RestoreAddrNumFrmLocatio() {
    const char* fn = "RestoreAddrNumFrmLocatio";
    Log::WriteLogP(fn, "%s", "RestoreAddrNumFrmLocatio Begin");
    if (location[0] == 0) {
        Log::WriteLogP(fn, "%s", "No location saved : Error.");
        return false;
    }
    ScopedList list(fn);
    if (!list.Ok()) return false;
    VisitDevices(fn, list.Devices(), list.Count(), DeviceFilter{szVid, szPid, true}, IgnoreProblem,
                 [&](const VisitedDevice& device) {
                     uint8_t ports[LOCATION_SIZE] = {0};
                     libusb_get_port_numbers(device.dev, ports, LOCATION_SIZE);
                     if (memcmp(ports, location, LOCATION_SIZE) != 0 || device.serial[0] == '\0') {
                         return Step::GoOn;
                     }
                     szAddrNum[0] = LastChar(device.serial);
                     szAddrNum[1] = '\0';
                     char text[LOCATION_SIZE + 4];
                     LocationText(location, text, sizeof text);
                     Log::WriteLogP(fn, "New info Vid:%s, Pid:%s, AddrNum:%s, Location: %s", szVid,
                                    szPid, szAddrNum, text);
                     return Step::GoOn;
                 });
    Log::WriteLogP(fn, "%s", "RestoreAddrNumFrmLocatio End");
    return true;
}

bool CComPortUsb::GetDeviceList(char* out, char* errText, const char* vid, size_t outSize,
                                size_t errSize) {
    const char* fn = "GetDeviceList";
    if (out == nullptr || outSize == 0) return false;
    out[0] = '\0';
    ScopedList list(fn);
    if (!list.Ok()) {
        CopyText(errText, errSize, list.Error());
        return false;
    }
    const char* wanted = vid != nullptr ? vid : DEFAULT_VID;
    bool result = true;
    size_t used = 0;
    auto onProblem = [&](Problem problem, const char* text) {
        CopyText(errText, errSize, text);
        if (problem == Problem::Serial && vid == nullptr) result = false;
        return Step::GoOn;
    };
    auto onDevice = [&](const VisitedDevice& device) {
        int n = snprintf(out + used, outSize - used, "%s|%s|%s\n", device.vid, device.pid,
                         device.serial);
        if (n < 0 || static_cast<size_t>(n) >= outSize - used) {
            out[used] = '\0';  // the line does not fit: leave it out whole
            Log::WriteLogP(fn, "%s", "device list text full");
            return Step::Stop;
        }
        used += static_cast<size_t>(n);
        return Step::GoOn;
    };
    VisitDevices(fn, list.Devices(), list.Count(), DeviceFilter{wanted, nullptr, false}, onProblem,
                 onDevice);
    return result;
}

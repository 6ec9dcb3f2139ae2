#include "comm/ComPortUsb.h"

#include <libusb.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "comm/IdentificationHandshake.h"
#include "common/Log.h"

namespace {

constexpr int INTERFACE = 0;
constexpr int SERIAL_BUFFER = 256;
constexpr int CLEAN_RX_BUFFER = 20480;
constexpr unsigned CLEAN_RX_TIMEOUT_MS = 50;
// A device that never stops sending must not keep CleanRX draining for ever.
constexpr int CLEAN_RX_MAX_READS = 1024;
constexpr unsigned PAUSE_EVERY_BYTES = 1023;
constexpr int HANDSHAKE_ATTEMPTS = 5;
constexpr int HANDSHAKE_PAUSE_MS = 1500;
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
    libusb_device* At(long i) const { return list_[i]; }

  private:
    libusb_context* context_ = nullptr;
    libusb_device** list_ = nullptr;
    long count_ = 0;
    const char* error_ = "";
};

}  // namespace

CComPortUsb::CComPortUsb(int timeMultiplier)
    : bClaimed(false),
      bLibusbReady(false),
      szPid{},
      szVid{},
      szAddrNum{},
      szPidBackup{},
      szVidBackup{},
      szAddrNumBackup{},
      iEndpointIn(0),
      iEndpointOut(0),
      iTimeMultiplier(timeMultiplier),
      location{},
      bInitialised(false),
      context_(nullptr),
      deviceList_(nullptr),
      deviceCount_(0),
      handle_(nullptr),
      byWholeSerial_(false),
      pause_([](int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }) {
    iPortType = COMMPORT_USB;
    iTimeoutTX = 1000;
    iTimeoutRX = 1000;
    uiPacketSize = 64;
}

CComPortUsb::~CComPortUsb() { Close(); }

void CComPortUsb::SetPauseFunction(PauseFunction pause) { pause_ = std::move(pause); }

void CComPortUsb::SetLastError(const char* text) { CopyText(szLastError, LAST_ERROR_TEXT, text); }

unsigned CComPortUsb::TransferTimeout(int baseMs) const {
    long long multiplier = iTimeMultiplier > 0 ? iTimeMultiplier : 1;
    long long ms = static_cast<long long>(baseMs) * multiplier;
    if (ms < 1) ms = 1;
    if (ms > INT_MAX) ms = INT_MAX;
    return static_cast<unsigned>(ms);
}

void CComPortUsb::Pause(int ms) {
    if (ms > 0) pause_(ms);
}

void CComPortUsb::ReleaseLibusb() {
    if (handle_ != nullptr) {
        if (bClaimed) libusb_release_interface(handle_, INTERFACE);
        libusb_close(handle_);
        handle_ = nullptr;
    }
    bClaimed = false;
    if (bLibusbReady) {
        if (deviceList_ != nullptr) libusb_free_device_list(deviceList_, 1);
        libusb_exit(context_);
        deviceList_ = nullptr;
        deviceCount_ = 0;
        context_ = nullptr;
        bLibusbReady = false;
    }
}

bool CComPortUsb::StartLibusb(const char* function) {
    ReleaseLibusb();
    if (libusb_init(&context_) < 0) {
        context_ = nullptr;
        Log::WriteLogP(function, "%s", "libusb_init error");
        SetLastError("libusb_init error");
        return false;
    }
    bLibusbReady = true;
    deviceCount_ = libusb_get_device_list(context_, &deviceList_);
    if (deviceCount_ < 0) {
        deviceList_ = nullptr;
        deviceCount_ = 0;
        Log::WriteLogP(function, "%s", "libusb_get_device_list error");
        SetLastError("libusb_get_device_list error");
        return false;
    }
    return true;
}

bool CComPortUsb::Init(char* pid, char* addrNum) {
    bInitialised = true;
    byWholeSerial_ = false;
    CopyText(szPid, TEXT_SIZE, pid);
    CopyText(szAddrNum, TEXT_SIZE, addrNum);
    CopyText(szVid, TEXT_SIZE, DEFAULT_VID);
    SetLastError("");
    if (!StartLibusb("Init")) return false;
    // Text that does not start with a digit reads as 0.
    int number = static_cast<int>(strtol(szAddrNum, nullptr, 10));
    return FindDevice(DEFAULT_VID, szPid, number);
}

bool CComPortUsb::InitWithVid(char* vid, char* pid, char* serial) {
    bInitialised = true;
    byWholeSerial_ = true;
    CopyText(szPid, TEXT_SIZE, pid);
    CopyText(szAddrNum, TEXT_SIZE, serial);
    CopyText(szVid, TEXT_SIZE, vid);
    SetLastError("");
    if (!StartLibusb("InitWithVid")) return false;
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
    for (long i = 0; i < deviceCount_; ++i) {
        libusb_device* dev = deviceList_[i];
        char devVid[8];
        char devPid[8];
        uint8_t serialIndex = 0;
        if (!ReadIds(dev, devVid, devPid, &serialIndex)) {
            Log::WriteLogP(function, "%s", NO_DESCRIPTOR);
            SetLastError(NO_DESCRIPTOR);
            return false;
        }
        if (strcmp(devVid, vid) != 0 || strcmp(devPid, pid) != 0) continue;
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(dev, &handle);
        if (result < 0) {
            Log::WriteLogP(function, "%s", OpenFailureText(result));
            SetLastError(OpenFailureText(result));
            return false;
        }
        char devSerial[SERIAL_BUFFER];
        if (!ReadSerial(handle, serialIndex, devSerial)) {
            Log::WriteLogP(function, "%s", NO_SERIAL);
            SetLastError(NO_SERIAL);
            if (match == Match::AddressNumber) {
                libusb_close(handle);
                return false;
            }
            devSerial[0] = '\0';  // by whole serial: unreadable counts as empty
        }
        bool matches = devSerial[0] == '\0' || (match == Match::AddressNumber
                                                    ? LastChar(devSerial) - '0' == addrNum
                                                    : strcmp(devSerial, serial ? serial : "") == 0);
        if (!matches) {
            libusb_close(handle);
            continue;
        }
        handle_ = handle;
        return PrepareDevice(function, match);
    }
    return false;
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

bool CComPortUsb::Open() {
    SetLastError("");
    if (handle_ == nullptr || libusb_claim_interface(handle_, INTERFACE) < 0) {
        Log::WriteLogP("Open", "%s", "libusb_claim_interface error");
        SetLastError("libusb_claim_interface error");
        return false;
    }
    bClaimed = true;
    return true;
}

bool CComPortUsb::Close() {
    ReleaseLibusb();
    return true;
}

bool CComPortUsb::ReOpen() {
    char pid[TEXT_SIZE];
    char vid[TEXT_SIZE];
    char addrNum[TEXT_SIZE];
    CopyText(pid, sizeof pid, szPid);
    CopyText(vid, sizeof vid, szVid);
    CopyText(addrNum, sizeof addrNum, szAddrNum);
    Close();
    bool found = bInitialised ? Init(pid, addrNum) : InitWithVid(vid, pid, addrNum);
    if (!found) return false;
    return Open();
}

// Finds the printer again with the form of Init that found it last.
bool CComPortUsb::Reconnect() {
    char pid[TEXT_SIZE];
    char vid[TEXT_SIZE];
    char addrNum[TEXT_SIZE];
    CopyText(pid, sizeof pid, szPid);
    CopyText(vid, sizeof vid, szVid);
    CopyText(addrNum, sizeof addrNum, szAddrNum);
    return byWholeSerial_ ? InitWithVid(vid, pid, addrNum) : Init(pid, addrNum);
}

unsigned CComPortUsb::Write(unsigned char* buf, unsigned len, unsigned* err) {
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    SetLastError("");
    if (!bClaimed) {
        if (!Reconnect()) {
            *err = 1;
            SetLastError("Write Error---> error to reinit device");
            return 0;
        }
        if (libusb_claim_interface(handle_, INTERFACE) < 0) {
            Log::WriteLogP("Write", "%s", "libusb_claim_interface error");
            *err = 1;
            SetLastError("Write Error---> error to oen device");
            return 0;
        }
        bClaimed = true;
    }
    unsigned timeout = TransferTimeout(iTimeoutTX);
    unsigned packet = uiPacketSize > 0 ? uiPacketSize : 1;
    if (packet > static_cast<unsigned>(INT_MAX)) packet = static_cast<unsigned>(INT_MAX);
    if (len < packet) {
        int transferred = 0;
        if (libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointOut), buf,
                                 static_cast<int>(len), &transferred, timeout) != 0) {
            *err = 1;
            SetLastError("Write Error");
            return 0;
        }
        *err = 0;
        return static_cast<unsigned>(transferred);
    }
    unsigned total = 0;
    unsigned sinceLastPause = 0;
    for (unsigned offset = 0; offset < len;) {
        unsigned piece = len - offset < packet ? len - offset : packet;
        int transferred = 0;
        if (libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointOut), buf + offset,
                                 static_cast<int>(piece), &transferred, timeout) != 0) {
            *err = 1;
            SetLastError("Write Error");
            return 0;
        }
        total += static_cast<unsigned>(transferred);
        sinceLastPause += static_cast<unsigned>(transferred);
        if (sinceLastPause > PAUSE_EVERY_BYTES) {
            Pause(iTimeMultiplier);
            sinceLastPause = 0;
        }
        offset += piece;
    }
    *err = 0;
    return total;
}

unsigned CComPortUsb::Read(unsigned char* buf, unsigned len, unsigned* err) {
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    SetLastError("");
    *err = 0;
    if (handle_ == nullptr) {
        *err = 1;
        SetLastError("Read timeout! No data read");
        return 0;
    }
    int wanted = len > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(len);
    int transferred = 0;
    int result = libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointIn), buf, wanted,
                                      &transferred, TransferTimeout(iTimeoutRX));
    if (result == 0) return static_cast<unsigned>(transferred);
    if (transferred > 0) {
        // The transfer ended early (a time-out before a short packet), but the
        // bytes that did arrive are part of the printer's answer: keep them.
        Log::WriteLogP("Read", "transfer ended by %s after %d bytes", libusb_error_name(result),
                       transferred);
        return static_cast<unsigned>(transferred);
    }
    *err = 1;
    SetLastError("Read timeout! No data read");
    return 0;
}

void CComPortUsb::CleanTX() {}

void CComPortUsb::CleanRX() {
    if (handle_ == nullptr) return;
    std::unique_ptr<unsigned char[]> scratch(new unsigned char[CLEAN_RX_BUFFER]);
    for (int i = 0; i < CLEAN_RX_MAX_READS; ++i) {
        int transferred = 0;
        if (libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointIn), scratch.get(),
                                 CLEAN_RX_BUFFER, &transferred, CLEAN_RX_TIMEOUT_MS) != 0) {
            return;
        }
    }
}

void CComPortUsb::SetTimeoutTX(int ms) { iTimeoutTX = ms; }
void CComPortUsb::SetTimeoutRX(int ms) { iTimeoutRX = ms; }
int CComPortUsb::GetTimeoutRX() { return iTimeoutRX; }

bool CComPortUsb::HandshakeCommunication(unsigned long* gsi) {
    return IdentificationHandshake{HANDSHAKE_ATTEMPTS, HANDSHAKE_PAUSE_MS}.Run(*this, gsi);
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
    for (long i = 0; i < list.Count(); ++i) {
        libusb_device* dev = list.At(i);
        char vid[8];
        char pid[8];
        uint8_t serialIndex = 0;
        if (!ReadIds(dev, vid, pid, &serialIndex)) {
            Log::WriteLogP(fn, "%s", NO_DESCRIPTOR);
            continue;
        }
        if (strcmp(vid, szVid) != 0 || strcmp(pid, szPid) != 0 || serialIndex == 0) continue;
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(dev, &handle);
        if (result < 0) {
            Log::WriteLogP(fn, "%s", OpenFailureText(result));
            continue;
        }
        char serial[SERIAL_BUFFER];
        if (!ReadSerial(handle, serialIndex, serial)) Log::WriteLogP(fn, "%s", NO_SERIAL);
        libusb_close(handle);
        // The address number is one character: the last one of the serial.
        if (szAddrNum[1] != '\0' || LastChar(serial) != szAddrNum[0]) continue;
        memset(location, 0, sizeof location);
        libusb_get_port_numbers(dev, location, LOCATION_SIZE);
        char text[LOCATION_SIZE + 4];
        LocationText(location, text, sizeof text);
        Log::WriteLogP(fn, "Vid:%s, Pid:%s, AddrNum:%s, Location: %s", szVid, szPid, szAddrNum,
                       text);
    }
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
    for (long i = 0; i < list.Count(); ++i) {
        libusb_device* dev = list.At(i);
        char vid[8];
        char pid[8];
        uint8_t serialIndex = 0;
        if (!ReadIds(dev, vid, pid, &serialIndex)) {
            Log::WriteLogP(fn, "%s", NO_DESCRIPTOR);
            continue;
        }
        if (strcmp(vid, szVid) != 0 || strcmp(pid, szPid) != 0 || serialIndex == 0) continue;
        libusb_device_handle* handle = nullptr;
        int result = libusb_open(dev, &handle);
        if (result < 0) {
            Log::WriteLogP(fn, "%s", OpenFailureText(result));
            continue;
        }
        char serial[SERIAL_BUFFER];
        if (!ReadSerial(handle, serialIndex, serial)) Log::WriteLogP(fn, "%s", NO_SERIAL);
        libusb_close(handle);
        uint8_t ports[LOCATION_SIZE] = {0};
        libusb_get_port_numbers(dev, ports, LOCATION_SIZE);
        if (memcmp(ports, location, LOCATION_SIZE) != 0 || serial[0] == '\0') continue;
        szAddrNum[0] = LastChar(serial);
        szAddrNum[1] = '\0';
        char text[LOCATION_SIZE + 4];
        LocationText(location, text, sizeof text);
        Log::WriteLogP(fn, "New info Vid:%s, Pid:%s, AddrNum:%s, Location: %s", szVid, szPid,
                       szAddrNum, text);
    }
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
    for (long i = 0; i < list.Count(); ++i) {
        libusb_device* dev = list.At(i);
        char devVid[8];
        char devPid[8];
        uint8_t serialIndex = 0;
        if (!ReadIds(dev, devVid, devPid, &serialIndex)) {
            Log::WriteLogP(fn, "%s", NO_DESCRIPTOR);
            CopyText(errText, errSize, NO_DESCRIPTOR);
            continue;
        }
        if (strcmp(devVid, wanted) != 0) continue;
        libusb_device_handle* handle = nullptr;
        int opened = libusb_open(dev, &handle);
        if (opened < 0) {
            Log::WriteLogP(fn, "%s", OpenFailureText(opened));
            CopyText(errText, errSize, OpenFailureText(opened));
            continue;
        }
        char serial[SERIAL_BUFFER];
        if (!ReadSerial(handle, serialIndex, serial)) {
            Log::WriteLogP(fn, "%s", NO_SERIAL);
            CopyText(errText, errSize, NO_SERIAL);
            if (vid == nullptr) result = false;
        }
        libusb_close(handle);
        int n = snprintf(out + used, outSize - used, "%s|%s|%s\n", devVid, devPid, serial);
        if (n < 0 || static_cast<size_t>(n) >= outSize - used) {
            out[used] = '\0';  // the line does not fit: leave it out whole
            Log::WriteLogP(fn, "%s", "device list text full");
            break;
        }
        used += static_cast<size_t>(n);
    }
    return result;
}

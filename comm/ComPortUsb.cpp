#include "comm/ComPortUsb.h"

#include <libusb.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "comm/IdentificationHandshake.h"
#include "common/Log.h"

namespace {

constexpr int CLEAN_RX_BUFFER = 20480;
constexpr unsigned CLEAN_RX_TIMEOUT_MS = 50;
// A device that never stops sending must not keep CleanRX draining for ever.
constexpr int CLEAN_RX_MAX_READS = 1024;
constexpr unsigned PAUSE_EVERY_BYTES = 1023;
constexpr int HANDSHAKE_ATTEMPTS = 5;
constexpr int HANDSHAKE_PAUSE_MS = 1500;

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

bool CComPortUsb::Open() {
    SetLastError("");
    if (handle_ == nullptr || libusb_claim_interface(handle_, INTERFACE) < 0) {
        Log::WriteLogP("Open", "%s", "libusb_claim_interface error");
        SetLastError("libusb_claim_interface error");
        TraceEvent("open failed");
        return false;
    }
    bClaimed = true;
    TraceEvent("opened");
    return true;
}

bool CComPortUsb::Close() {
    if (handle_ != nullptr) TraceEvent("closed");
    ReleaseLibusb();
    return true;
}

bool CComPortUsb::ReOpen() {
    Close();
    // A link that was never initialised is looked for by its whole serial.
    if (!Reconnect(!bInitialised)) {
        TraceEvent("open failed");
        return false;
    }
    return Open();
}

unsigned CComPortUsb::Write(unsigned char* buf, unsigned len, unsigned* err) {
    unsigned dummy = 0;
    if (err == nullptr) err = &dummy;
    SetLastError("");
    if (!bClaimed) {
        // Finds the printer again with the form of Init that found it last.
        if (!Reconnect(byWholeSerial_)) {
            TraceEvent("open failed");
            *err = 1;
            SetLastError("Write Error---> error to reinit device");
            return 0;
        }
        if (libusb_claim_interface(handle_, INTERFACE) < 0) {
            Log::WriteLogP("Write", "%s", "libusb_claim_interface error");
            *err = 1;
            SetLastError("Write Error---> error to oen device");
            TraceEvent("open failed");
            return 0;
        }
        bClaimed = true;
        TraceEvent("opened");
    }
    unsigned timeout = TransferTimeout(iTimeoutTX);
    unsigned packet = uiPacketSize > 0 ? uiPacketSize : 1;
    if (packet > static_cast<unsigned>(INT_MAX)) packet = static_cast<unsigned>(INT_MAX);
    if (len < packet) {
        int transferred = 0;
        int result = libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointOut), buf,
                                          static_cast<int>(len), &transferred, timeout);
        if (transferred > 0) TraceSent(buf, static_cast<unsigned>(transferred));
        if (result != 0) {
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
        int result =
            libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointOut), buf + offset,
                                 static_cast<int>(piece), &transferred, timeout);
        if (transferred > 0) TraceSent(buf + offset, static_cast<unsigned>(transferred));
        if (result != 0) {
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
    if (transferred > 0) TraceReceived(buf, static_cast<unsigned>(transferred));
    if (result == LIBUSB_ERROR_NO_DEVICE) TraceEvent("lost");
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
        int result =
            libusb_bulk_transfer(handle_, static_cast<unsigned char>(iEndpointIn), scratch.get(),
                                 CLEAN_RX_BUFFER, &transferred, CLEAN_RX_TIMEOUT_MS);
        if (transferred > 0) TraceReceived(scratch.get(), static_cast<unsigned>(transferred));
        if (result != 0) return;
    }
}

void CComPortUsb::SetTimeoutTX(int ms) { iTimeoutTX = ms; }
void CComPortUsb::SetTimeoutRX(int ms) { iTimeoutRX = ms; }
int CComPortUsb::GetTimeoutRX() { return iTimeoutRX; }

bool CComPortUsb::HandshakeCommunication(unsigned long* gsi) {
    return IdentificationHandshake{HANDSHAKE_ATTEMPTS, HANDSHAKE_PAUSE_MS, pause_}.Run(*this, gsi);
}

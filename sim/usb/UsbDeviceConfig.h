#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What one emulated USB device looks like to the host: identifiers, serial
// text, where it is plugged in, and the kernel driver bound to interface 0.
struct UsbDeviceConfig {
    std::string name;  // how options and events refer to the device
    uint16_t vendorId = 0x0AE7;
    uint16_t productId = 0x0E15;
    bool hasSerial = true;  // false: no serial-number string at all
    std::string serial;     // ASCII; at most MAX_SERIAL characters
    int bus = 1;
    std::vector<uint8_t> ports{1};  // port path below the root hub, e.g. {1, 4}
    std::string driver;             // bound kernel driver; empty when none
    bool printer = true;            // true: bulk traffic goes to the printer core
    bool zeroLengthPacket = true;   // an answer ending on a packet boundary is closed by a ZLP
    bool inEndpointFirst = false;   // the IN endpoint is listed before the OUT endpoint
    int speedMbps = 480;            // 12 (full speed, 64-byte packets) or 480 (512-byte packets)
    bool present = true;            // false: added later by an event
    bool accessible = true;         // false: the device node has mode 000 (no udev rule)

    static constexpr size_t MAX_SERIAL = 126;
    static constexpr size_t MAX_DRIVER = 255;

    uint16_t MaxPacketSize() const { return speedMbps >= 480 ? 512 : 64; }
    // "1-4" or "1-1.4": the kernel's name of the device.
    std::string KernelName() const;
};

// Parses "vid=0AE7,pid=0E15,serial=PR0011,port=1.4,driver=usblp,..." into layout.
// Returns false with a reason in error for unknown keys or bad values.
// Printable text (0x20..0x7E) only.
bool IsPrintableText(const std::string& text);

bool ParseUsbDeviceConfig(const std::string& text, UsbDeviceConfig& layout, std::string& error);

// The device descriptor followed by the one configuration (interface 0 with a
// bulk OUT and a bulk IN endpoint), as the kernel exposes them in sysfs.
std::vector<uint8_t> BuildUsbDescriptors(const UsbDeviceConfig& layout, bool hub = false);

// Index of the serial-number string in the device descriptor (0 when none).
constexpr uint8_t USB_SERIAL_STRING_INDEX = 3;

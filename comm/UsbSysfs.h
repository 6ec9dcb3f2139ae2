#pragma once

// What the kernel's device tree in sysfs tells about the USB bus, read
// without libusb: a few directory entries and small files, some microseconds,
// where a libusb enumeration (a context with its event thread, a udev scan)
// costs some tenths of a millisecond of processor time.
class UsbSysfs {
  public:
    // Whether sysfs lists a USB device with vendor id vid (four hexadecimal
    // digits, any case). False also when the tree cannot be read.
    static bool ListsVendor(const char* vid, const char* devicesDir = DEVICES_DIR);

    static constexpr const char* DEVICES_DIR = "/sys/bus/usb/devices";
};

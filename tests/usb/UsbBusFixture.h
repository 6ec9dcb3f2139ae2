#pragma once

#include <gtest/gtest.h>
#include <libusb.h>

#include <memory>
#include <string>

#include "comm/ComPortUsb.h"
#include "sim/core/PrinterCore.h"
#include "sim/usb/UsbDeviceConfig.h"
#include "sim/usb/UsbTestbed.h"

// An emulated USB bus in this process with the simulated printer on it.
class UsbBusFixture : public ::testing::Test {
  protected:
    // Declares a device from a prnsim device text ("name=p,vid=0AE7,...").
    void Add(const std::string& text) {
        UsbDeviceConfig layout;
        std::string error;
        ASSERT_TRUE(ParseUsbDeviceConfig(text, layout, error)) << error;
        ASSERT_TRUE(bus->Declare(layout, error)) << error;
    }

    // Finds the printer by product id 0E15 and address number, and opens it.
    static void InitAndOpen(CComPortUsb& link, std::string addr = "1") {
        std::string pid = "0E15";
        ASSERT_TRUE(link.Init(&pid[0], &addr[0]));
        ASSERT_TRUE(link.Open());
    }

    PrinterCore core;
    std::unique_ptr<UsbTestbed> bus = std::make_unique<UsbTestbed>(&core);
};

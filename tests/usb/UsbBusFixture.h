#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
    void Plug(const std::string& name) {
        std::string error;
        ASSERT_TRUE(bus->Plug(name, error)) << error;
    }
    void Unplug(const std::string& name) {
        std::string error;
        ASSERT_TRUE(bus->Unplug(name, error)) << error;
    }

    PrinterCore core;
    std::unique_ptr<UsbTestbed> bus = std::make_unique<UsbTestbed>(&core);
};

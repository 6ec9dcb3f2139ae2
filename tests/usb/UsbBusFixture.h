#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/core/PrinterCore.h"
#include "sim/usb/UsbDeviceSpec.h"
#include "sim/usb/UsbTestbed.h"

// An emulated USB bus in this process with the simulated printer on it.
class UsbBusFixture : public ::testing::Test {
  protected:
    // Declares a device from a prnsim device text ("name=p,vid=0AE7,...").
    void Add(const std::string& text) {
        UsbDeviceSpec spec;
        std::string error;
        ASSERT_TRUE(ParseUsbDeviceSpec(text, spec, error)) << error;
        ASSERT_TRUE(bus->Declare(spec, error)) << error;
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

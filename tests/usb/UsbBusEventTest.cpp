// The emulated bus changing under a running link: a printer that restarts
// as a boot loader, and the parsing of bus changes.
#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <string>
#include <thread>

#include "comm/ComPortUsb.h"
#include "sim/usb/UsbBusEvent.h"
#include "tests/usb/UsbBusFixture.h"

namespace {

// Resets the first device of the vendor id through libusb.
int ResetFirstDevice(uint16_t vendorId) {
    int result = LIBUSB_ERROR_NOT_FOUND;
    ForEachListedDevice([&](libusb_device* device, const libusb_device_descriptor& d) {
        libusb_device_handle* handle = nullptr;
        if (result != LIBUSB_ERROR_NOT_FOUND || d.idVendor != vendorId) return;
        if (libusb_open(device, &handle) != 0) return;
        result = libusb_reset_device(handle);
        libusb_close(handle);
    });
    return result;
}

class UsbBusEventTest : public UsbBusFixture {
  protected:
    // Polls the bus until the condition holds or five seconds have passed.
    template <typename Condition>
    bool PollUntil(Condition done) {
        std::string error;
        for (int i = 0; i < 5000; ++i) {
            EXPECT_TRUE(bus->Poll(error)) << error;
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

TEST_F(UsbBusEventTest, PrinterRestartsAsBootLoaderAfterItsRestartCommand) {
    Add("name=p,serial=PR0011,port=2");
    Add("name=boot,vid=045B,pid=0025,noserial,port=2,absent");
    UsbBusEvent restart;
    std::string error;
    ASSERT_TRUE(ParseUsbBusEvent("bytes=8,remove=p,add=boot,delay=20", restart, error)) << error;
    bus->AddEvent(restart);

    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    unsigned char command[8] = {0x1B, 'R', 'E', 'S', 'E', 'T', 0, 0};
    unsigned err = 0;
    ASSERT_EQ(link.Write(command, 4, &err), 4u);
    ASSERT_TRUE(bus->Poll(error));
    EXPECT_NE(bus->Device("p"), nullptr);  // 4 bytes: not yet
    ASSERT_EQ(link.Write(command + 4, 4, &err), 4u);
    ASSERT_TRUE(PollUntil([&] { return bus->Device("boot") != nullptr; }));
    EXPECT_EQ(bus->Device("p"), nullptr);
    EXPECT_FALSE(bus->EventsPending());

    std::string vid = "045B", bootPid = "0025", serial = "";
    link.Close();
    ASSERT_TRUE(link.InitWithVid(&vid[0], &bootPid[0], &serial[0]));
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(bus->Device("boot")->InterfaceClaimed());
}

TEST_F(UsbBusEventTest, ResetRequestTriggersItsEvent) {
    Add("name=p,serial=PR0011,port=1");
    UsbBusEvent event;
    std::string error;
    ASSERT_TRUE(ParseUsbBusEvent("reset,on=p,remove=p,add=p,delay=0", event, error)) << error;
    bus->AddEvent(event);
    ASSERT_TRUE(bus->Poll(error));
    ASSERT_TRUE(bus->EventsPending());
    std::string node = bus->DeviceNode("p");

    // A port reset through libusb: the device comes back under a new number.
    ASSERT_EQ(ResetFirstDevice(0x0AE7), LIBUSB_SUCCESS);
    ASSERT_TRUE(PollUntil([&] { return !bus->EventsPending(); }));
    EXPECT_NE(bus->DeviceNode("p"), node);
    EXPECT_NE(bus->DeviceNode("p"), "");
}

TEST_F(UsbBusEventTest, ConnectionDropFaultUnplugsThePrinter) {
    Add("name=p,serial=PR0011,port=1");
    Add("name=x,vid=1234,foreign,port=2");
    PrinterCore::Faults faults;
    faults.closeAfterBytes = 5;
    core.SetFaults(faults);
    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    unsigned char data[8] = {0};
    unsigned err = 0;
    ASSERT_EQ(link.Write(data, sizeof data, &err), 8u);
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p") == nullptr; }));
    EXPECT_NE(bus->Device("x"), nullptr);  // only the printer goes
    EXPECT_EQ(link.Write(data, sizeof data, &err), 0u);
    EXPECT_EQ(err, 1u);
}

TEST_F(UsbBusEventTest, PrinterRestartReenumeratesUnderTheRestartDevice) {
    Add("name=p,serial=PR0011,port=1");
    Add("name=p2,serial=PR0012,port=1,absent");
    bus->SetRestartDevice("p2");
    std::string error;
    ASSERT_TRUE(bus->Poll(error));
    auto start = std::chrono::steady_clock::now();
    core.RequestRestart(0, 100, "2.00");
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p") == nullptr; }));
    EXPECT_EQ(bus->Device("p2"), nullptr);  // away for a while
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p2") != nullptr; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(core.FirmwareRelease(), "2.00");

    // The address number is now 2; the printer answers there.
    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link, "2"));
    EXPECT_TRUE(bus->Device("p2")->InterfaceClaimed());
}

TEST(UsbBusEventParse, RejectsIncompleteOrUnknownChanges) {
    UsbBusEvent event;
    std::string error;
    EXPECT_FALSE(ParseUsbBusEvent("remove=p", event, error));  // no trigger
    EXPECT_FALSE(ParseUsbBusEvent("bytes=10", event, error));  // changes nothing
    EXPECT_FALSE(ParseUsbBusEvent("bytes=x,remove=p", event, error));
    EXPECT_FALSE(ParseUsbBusEvent("ms=5,remove=p,colour=red", event, error));
    EXPECT_NE(error.find("colour"), std::string::npos);
    ASSERT_TRUE(ParseUsbBusEvent("ms=5,add=late", event, error));
    EXPECT_EQ(event.trigger, UsbBusEvent::Trigger::AfterMs);
    EXPECT_EQ(event.value, 5u);
}

}  // namespace

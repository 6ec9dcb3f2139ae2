// The printer restarting into its USB boot program on the emulated bus, seen
// through the real libusb: the restart answer, the boot device under vendor
// 045B with an empty serial, a short programming, and the printer's return.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "comm/ComPortUsb.h"
#include "sim/usb/UsbBootMode.h"
#include "tests/support/TempDir.h"
#include "tests/usb/UsbBusFixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class UsbBootModeTest : public UsbBusFixture {
  protected:
    void Install(const std::string& text) {
        Add("name=p,serial=PR0011,port=2");
        Add("name=p2,serial=PR0012,port=3,absent");
        UsbBootSetup setup;
        std::string error;
        ASSERT_TRUE(ParseUsbBootSetup(text, setup, error)) << error;
        boot = std::make_unique<UsbBootMode>(setup, core);
        UsbDeviceConfig printer;
        ASSERT_TRUE(ParseUsbDeviceConfig("name=p,serial=PR0011,port=2", printer, error));
        ASSERT_TRUE(boot->Install(*bus, printer, error)) << error;
    }

    template <typename Condition>
    bool PollUntil(Condition done, int ms = 5000) {
        std::string error;
        for (int i = 0; i < ms; ++i) {
            if (boot) {
                EXPECT_TRUE(boot->Poll(*bus, error)) << error;
            }
            EXPECT_TRUE(bus->Poll(error)) << error;
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    Bytes Exchange(CComPortUsb& link, Bytes request) {
        unsigned err = 0;
        EXPECT_EQ(link.Write(request.data(), static_cast<unsigned>(request.size()), &err),
                  request.size());
        unsigned char answer[64];
        unsigned n = link.Read(answer, sizeof answer, &err);
        return Bytes(answer, answer + n);
    }

    // Tells the running printer to restart into the boot program.
    void EnterBootMode() {
        CComPortUsb link(1);
        ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
        Bytes answer = Exchange(link, {0x1C, 0x4C, 0x49});
        EXPECT_EQ(std::string(answer.begin(), answer.end()), "BOOT_RST");
        link.Close();
        ASSERT_TRUE(PollUntil([&] { return bus->Device("p") == nullptr; }));
    }

    std::unique_ptr<UsbBootMode> boot;
};

TEST_F(UsbBootModeTest, PrinterRestartsIntoTheBootProgramAndComesBackWithItsNewRelease) {
    testsupport::TempDir folder;
    std::string file = folder.path() + "/image.bin";
    ASSERT_NO_FATAL_FAILURE(
        Install("userarea=FFFFFF00,size=128,newrelease=2.00,back=p2,image=" + file));
    ASSERT_NO_FATAL_FAILURE(EnterBootMode());
    ASSERT_TRUE(PollUntil([&] { return bus->Device("boot") != nullptr; }));

    char list[1024] = {0}, errText[1024] = {0};
    ASSERT_TRUE(CComPortUsb::GetDeviceList(list, errText, "045B")) << errText;
    EXPECT_STREQ(list, "045B|0025|\n");

    CComPortUsb link(1);
    std::string vid = "045B", pid = "0025", serial;
    ASSERT_TRUE(link.InitWithVid(&vid[0], &pid[0], &serial[0]));
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(Exchange(link, {0x55}), Bytes{0xE6});
    EXPECT_EQ(Exchange(link, {0x40}), Bytes{0x06});
    EXPECT_EQ(Exchange(link, {0x43}), Bytes{0x06});
    Bytes image;
    for (uint32_t address : {0xFFFFFF00u, 0xFFFFFF80u}) {
        Bytes packet{0x50, 0xFF, 0xFF, 0xFF, uint8_t(address)};
        for (int i = 0; i < 128; ++i) packet.push_back(uint8_t(address + i * 3));
        image.insert(image.end(), packet.begin() + 5, packet.end());
        uint8_t sum = 0;
        for (uint8_t b : packet) sum = uint8_t(sum + b);
        packet.push_back(uint8_t(0x100 - sum));
        EXPECT_EQ(Exchange(link, packet), Bytes{0x06});
    }
    EXPECT_EQ(Exchange(link, {0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}), Bytes{0x06});
    EXPECT_EQ(Exchange(link, {0x31}), Bytes{0x06});
    link.Close();
    EXPECT_EQ(boot->Program().Programmed().bytes, image);
    std::string summary, error;
    Bytes held;
    ASSERT_TRUE(boot->Finish(summary, held, error)) << error;
    EXPECT_EQ(held, image);
    EXPECT_EQ(summary,
              "boot image 256 bytes from FFFFFF00 sum 00007F80 terminated 1 complete 1 locked 0 "
              "refused 0");
    std::string written = testsupport::ReadWholeFile(file);
    EXPECT_EQ(Bytes(written.begin(), written.end()), image);

    // The printer comes back under its other address, with the new release.
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p2") != nullptr; }));
    EXPECT_EQ(bus->Device("boot"), nullptr);
    CComPortUsb again(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(again, "2"));
    Bytes release = Exchange(again, {0x1D, 0x49, 0x03});
    EXPECT_EQ(std::string(release.begin(), release.end()), "2.00");
}

TEST_F(UsbBootModeTest, WithoutAPauseTheBootDeviceIsListedBeforeTheRestartAnswerIsOut) {
    ASSERT_NO_FATAL_FAILURE(Install("appear=0,backon=lock-bit,backdelay=0"));
    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    unsigned char request[] = {0x1C, 0x4C, 0x49}, answer[16];
    unsigned err = 0;
    ASSERT_EQ(link.Write(request, 3, &err), 3u);
    link.SetTimeoutRX(50);
    EXPECT_EQ(link.Read(answer, sizeof answer, &err), 0u);  // held until the bus has changed

    ASSERT_TRUE(PollUntil([&] { return bus->Device("boot") != nullptr; }));
    ASSERT_EQ(link.Read(answer, sizeof answer, &err), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(answer), 8), "BOOT_RST");
    char list[1024] = {0}, errText[1024] = {0};
    ASSERT_TRUE(CComPortUsb::GetDeviceList(list, errText, "045B")) << errText;
    EXPECT_STREQ(list, "045B|0025|\n");
    link.Close();
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p") == nullptr; }));

    // A person restarts the printer after the lock bit: no reset command.
    CComPortUsb bootLink(1);
    std::string vid = "045B", pid = "0025", serial;
    ASSERT_TRUE(bootLink.InitWithVid(&vid[0], &pid[0], &serial[0]));
    ASSERT_TRUE(bootLink.Open());
    EXPECT_EQ(Exchange(bootLink, {0x55}), Bytes{0xE6});
    EXPECT_EQ(Exchange(bootLink, {0x1D, 0x49, 0x01}), Bytes{});  // not a printer any more
    EXPECT_EQ(Exchange(bootLink, {0x40}), Bytes{0x06});
    EXPECT_EQ(Exchange(bootLink, {0x7A}), Bytes{0x06});
    bootLink.Close();
    ASSERT_TRUE(PollUntil([&] { return bus->Device("p") != nullptr; }));
    EXPECT_EQ(bus->Device("boot"), nullptr);
}

}  // namespace

#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "comm/ComPortUsb.h"
#include "tests/usb/UsbBusFixture.h"

namespace {

char* Text(std::string& s) { return &s[0]; }

// Answers a request "Q<n>" with n bytes 'a', 'b', ... so that the length of
// an answer can be chosen by the test.
void AddSizedAnswer(PrinterCore& core, uint8_t n) {
    core.AddRequestHandler({'Q', n}, "SIZED",
                           [n](const uint8_t*, size_t, std::vector<uint8_t>& out) {
                               for (uint8_t i = 0; i < n; ++i)
                                   out.push_back(static_cast<uint8_t>('a' + i % 26));
                               return size_t{2};
                           });
}

class ComPortUsbTest : public UsbBusFixture {};

TEST_F(ComPortUsbTest, InitFindsThePrinterByProductIdAndAddressNumber) {
    Add("name=other,vid=0AE7,pid=0E16,serial=PR0013,port=1");
    Add("name=p1,vid=0AE7,pid=0E15,serial=PR0011,port=2");
    Add("name=p3,vid=0AE7,pid=0E15,serial=PR0013,port=3,driver=usblp");
    Add("name=foreign,vid=1234,pid=0E15,serial=XX0013,port=4,foreign");
    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link, "3"));
    EXPECT_TRUE(bus->Device("p3")->InterfaceClaimed());
    EXPECT_FALSE(bus->Device("p3")->DriverBound());  // the kernel driver let go of it
    EXPECT_FALSE(bus->Device("p1")->InterfaceClaimed());
    link.Close();
    EXPECT_FALSE(bus->Device("p3")->InterfaceClaimed());
}

TEST_F(ComPortUsbTest, InitAcceptsAnEmptySerialAndFailsQuietlyWithoutMatch) {
    Add("name=blank,vid=0AE7,pid=0E15,serial=,port=1,infirst");
    CComPortUsb link(1);
    std::string pid = "0E15", addr = "7", other = "0E99";
    ASSERT_TRUE(link.Init(Text(pid), Text(addr)));
    EXPECT_EQ(link.iEndpointIn, 0x82);  // listed first, still told apart by direction
    EXPECT_EQ(link.iEndpointOut, 0x01);
    link.Close();
    EXPECT_FALSE(link.Init(Text(other), Text(addr)));
    EXPECT_STREQ(link.szLastError, "");
    EXPECT_FALSE(link.Open());
    EXPECT_STREQ(link.szLastError, "libusb_claim_interface error");
}

// Five attempts 1.5 s apart, counted through the pause function and on the
// printer's side; the printer answers nothing.
TEST_F(ComPortUsbTest, HandshakeWithASilentPrinterFailsAfterFiveAttempts) {
    Add("name=p,serial=PR0011");
    PrinterCore::Faults silent;
    silent.silent = true;
    core.SetFaults(silent);
    CComPortUsb link(1);
    std::vector<int> pauses;
    link.SetPauseFunction([&](int ms) { pauses.push_back(ms); });
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    link.SetTimeoutRX(10);
    unsigned long gsi = 77;
    EXPECT_FALSE(link.HandshakeCommunication(&gsi));
    EXPECT_EQ(gsi, 77u);
    EXPECT_EQ(pauses, std::vector<int>(4, 1500));
    EXPECT_EQ(core.CountRequests("GSI"), 5u);
    EXPECT_EQ(core.CountRequests("ESCPOS_SV"), 3u);
}

TEST_F(ComPortUsbTest, WriteSendsPiecesAndPausesAfterEveryKilobyte) {
    Add("name=p,serial=PR0011");
    CComPortUsb link(1);
    std::vector<int> pauses;
    link.SetPauseFunction([&](int ms) { pauses.push_back(ms); });
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    std::vector<unsigned char> data(4096, 0x41);
    unsigned err = 7;
    EXPECT_EQ(link.Write(data.data(), 4096, &err), 4096u);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(bus->Device("p")->OutTransfers(), 64u);
    EXPECT_EQ(pauses, std::vector<int>(4, 1));
    // Shorter than a piece: one transfer, no pause.
    EXPECT_EQ(link.Write(data.data(), 10, &err), 10u);
    EXPECT_EQ(bus->Device("p")->OutTransfers(), 65u);
    EXPECT_EQ(pauses.size(), 4u);
    EXPECT_EQ(core.Received().size(), 4106u);
    // A packet size of 0 (a caller's bad value) still writes, one byte a piece.
    link.uiPacketSize = 0;
    EXPECT_EQ(link.Write(data.data(), 3, &err), 3u);
    EXPECT_EQ(bus->Device("p")->OutTransfers(), 68u);
}

TEST_F(ComPortUsbTest, ReadKeepsTheBytesOfATransferEndedByTheTimeOut) {
    // Full speed, no zero-length packet: an answer of exactly one packet
    // leaves the transfer open until its time-out.
    Add("name=p,serial=PR0011,speed=12,zlp=0");
    AddSizedAnswer(core, 64);
    CComPortUsb link(1);
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    link.SetTimeoutRX(100);
    unsigned char request[] = {'Q', 64};
    unsigned err = 0;
    ASSERT_EQ(link.Write(request, sizeof request, &err), 2u);
    unsigned char answer[1024] = {0};
    EXPECT_EQ(link.Read(answer, sizeof answer, &err), 64u);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(answer[0], 'a');
    EXPECT_EQ(answer[63], 'a' + 63 % 26);
}

TEST_F(ComPortUsbTest, ReadWithNothingToReadTimesOut) {
    Add("name=p,serial=PR0011");
    CComPortUsb link(0);  // a multiplier of 0 must not mean "wait for ever"
    ASSERT_NO_FATAL_FAILURE(InitAndOpen(link));
    link.SetTimeoutRX(50);
    unsigned char answer[16];
    unsigned err = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Read(answer, sizeof answer, &err), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(err, 1u);
    EXPECT_STREQ(link.szLastError, "Read timeout! No data read");
    // ... nor a pause between pieces.
    std::vector<int> pauses;
    link.SetPauseFunction([&](int ms) { pauses.push_back(ms); });
    std::vector<unsigned char> data(2048, 0);
    EXPECT_EQ(link.Write(data.data(), 2048, &err), 2048u);
    EXPECT_TRUE(pauses.empty());
}

TEST_F(ComPortUsbTest, DeviceListKeepsItsLinesWholeAndFiltersByVendor) {
    Add("name=a,vid=0AE7,pid=0E15,serial=PR0011,port=1");
    Add("name=b,vid=0AE7,pid=0E16,serial=PR0022,port=3");
    Add("name=boot,vid=045B,pid=0025,serial=,port=4");
    char out[CComPortUsb::LIST_TEXT_SIZE];
    char err[CComPortUsb::LIST_TEXT_SIZE] = "";
    ASSERT_TRUE(CComPortUsb::GetDeviceList(out, err, "045B"));
    EXPECT_STREQ(out, "045B|0025|\n");
    ASSERT_TRUE(CComPortUsb::GetDeviceList(out, err, nullptr));
    const std::string all(out);
    ASSERT_EQ(all.size(), 2 * strlen("0AE7|0E15|PR0011\n")) << all;
    // A text too small for the second line keeps the first one whole.
    char small[30];
    ASSERT_TRUE(CComPortUsb::GetDeviceList(small, err, nullptr, sizeof small, sizeof err));
    EXPECT_EQ(std::string(small), all.substr(0, all.size() / 2));
}

TEST_F(ComPortUsbTest, DeviceListFailsOnAnUnreadableSerialButStillListsTheDevice) {
    Add("name=a,noserial,port=1");
    Add("name=b,serial=A|B\x01,port=2");
    char out[CComPortUsb::LIST_TEXT_SIZE];
    char err[CComPortUsb::LIST_TEXT_SIZE] = "";
    EXPECT_FALSE(CComPortUsb::GetDeviceList(out, err, nullptr));
    EXPECT_STREQ(err, "Coudn't get serial string");
    // Separators and control characters of a serial never break the line format.
    std::string text(out);
    EXPECT_NE(text.find("0AE7|0E15|\n"), std::string::npos) << text;
    EXPECT_NE(text.find("0AE7|0E15|A?B?\n"), std::string::npos) << text;
    EXPECT_EQ(text.size(), strlen("0AE7|0E15|\n0AE7|0E15|A?B?\n"));
    // With an explicit vendor id an unreadable serial is not a failure.
    EXPECT_TRUE(CComPortUsb::GetDeviceList(out, err, "0AE7"));
}

}  // namespace

// Opening the link for each link kind.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "comm/ComPortRs232.h"
#include "comm/CommPortSettings.h"
#include "common/Log.h"
#include "operations/PrinterComm.h"
#include "tests/comm/PtyPair.h"

namespace {

// Records the Init forms it is given; Init and Open succeed as told.
class RecordingLink : public CComPort {
  public:
    bool initResult = true;
    bool openResult = true;
    std::vector<std::string> calls;

    bool Init(char* a, char* b) override {
        calls.push_back(std::string("usb:") + a + "|" + b);
        return Result();
    }
    bool Init(char* host, int port) override {
        calls.push_back(std::string("eth:") + host + ":" + std::to_string(port));
        return Result();
    }
    using CComPort::Init;
    bool Open() override {
        calls.push_back("open");
        return openResult;
    }

  private:
    bool Result() {
        if (!initResult) snprintf(szLastError, sizeof(szLastError), "%s", "no such printer");
        return initResult;
    }
};

std::string Captured(const std::function<bool()>& action, bool* result) {
    Log::SetLogEnable(1, true);
    ::testing::internal::CaptureStdout();
    *result = action();
    std::string text = ::testing::internal::GetCapturedStdout();
    Log::SetLogEnable(0, false);
    return text;
}

struct UsbParts {
    char vendor[PrinterComm::USB_PART_SIZE];
    char product[PrinterComm::USB_PART_SIZE];
    char serial[PrinterComm::USB_PART_SIZE];
};

UsbParts Split(const char* name) {
    UsbParts p;
    memset(&p, 'x', sizeof(p));
    EXPECT_TRUE(PrinterComm::ExtractUsbParamsFromName(name, p.vendor, p.product, p.serial));
    return p;
}

}  // namespace

TEST(ExtractUsbParamsFromName, SplitsOnTheFirstTwoBars) {
    UsbParts full = Split("0DD4|0195|PRN123|tail");
    EXPECT_STREQ(full.vendor, "0DD4");
    EXPECT_STREQ(full.product, "0195");
    EXPECT_STREQ(full.serial, "PRN123|tail");

    UsbParts none = Split("0DD4");
    EXPECT_STREQ(none.vendor, "");
    EXPECT_STREQ(none.product, "");
    EXPECT_STREQ(none.serial, "");

    UsbParts one = Split("0DD4|0195");
    EXPECT_STREQ(one.vendor, "0DD4");
    EXPECT_STREQ(one.product, "");

    UsbParts empty = Split("0DD4|0195|");
    EXPECT_STREQ(empty.product, "0195");
    EXPECT_STREQ(empty.serial, "");

    std::string huge = "V|P|" + std::string(5000, 's');
    UsbParts cut = Split(huge.c_str());
    EXPECT_EQ(strlen(cut.serial), PrinterComm::USB_PART_SIZE - 1);
}

TEST(OpenCommunicationPort, UsbUsesProductIdAndTheSerialsLastCharacter) {
    PrinterComm comm(255, 1);
    CommPortSettings settings;
    settings.iType = COMMPORT_USB;
    snprintf(settings.szUsbDevice, sizeof(settings.szUsbDevice), "%s", "0DD4|0195|ABC3");
    RecordingLink link;
    bool ok = false;
    std::string log = Captured([&] { return comm.OpenCommunicationPort(&link, &settings); }, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"usb:0195|3", "open"}));
    EXPECT_NE(log.find("[OpenCommunicationPort]USB PRN Port"), std::string::npos);

    snprintf(settings.szUsbDevice, sizeof(settings.szUsbDevice), "%s", "0DD4|0195|");
    settings.iType = 3;  // handled like USB
    RecordingLink second;
    EXPECT_TRUE(comm.OpenCommunicationPort(&second, &settings));
    EXPECT_EQ(second.calls.front(), "usb:0195|");
}

TEST(OpenCommunicationPort, FailedInitLogsTheLinksReason) {
    PrinterComm comm(255, 1);
    CommPortSettings settings;
    settings.iType = COMMPORT_USB;
    snprintf(settings.szUsbDevice, sizeof(settings.szUsbDevice), "%s", "nobars");
    RecordingLink link;
    link.initResult = false;
    bool ok = true;
    std::string log = Captured([&] { return comm.OpenCommunicationPort(&link, &settings); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"usb:|"}));  // never opened
    EXPECT_NE(log.find("[OpenCommunicationPort]Open Port Error"), std::string::npos);
    EXPECT_NE(log.find("[OpenCommunicationPort]Error: no such printer"), std::string::npos);
    EXPECT_EQ(comm.iErrorCode, 0);  // the operations store their own code
}

TEST(OpenCommunicationPort, EthernetLogsTheAddressAndPort) {
    PrinterComm comm(255, 1);
    CommPortSettings settings;
    settings.iType = COMMPORT_ETH;
    snprintf(settings.szEthAddress, sizeof(settings.szEthAddress), "%s", "192.168.1.50");
    settings.iEthPort = 9100;
    RecordingLink link;
    link.openResult = false;
    bool ok = true;
    std::string log = Captured([&] { return comm.OpenCommunicationPort(&link, &settings); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"eth:192.168.1.50:9100", "open"}));
    EXPECT_NE(log.find("[OpenCommunicationPort]ETH Port Name: {192.168.1.50}:{9100}"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Open Port Error"), std::string::npos);
}

TEST(OpenCommunicationPort, SerialOpensThePortAndDoublesTheReceiveTimeout) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    PrinterComm comm(255, 1);
    CommPortSettings settings;
    settings.iType = COMMPORT_SERIAL;
    snprintf(settings.szSerialDevice, sizeof(settings.szSerialDevice), "%s", pty.slave.c_str());
    settings.iBaudRate = 115200;
    settings.iFlowControl = 1;
    CComPortRs232 link;
    bool ok = false;
    std::string log = Captured([&] { return comm.OpenCommunicationPort(&link, &settings); }, &ok);
    EXPECT_TRUE(ok) << log;
    EXPECT_NE(link.iFd, -1);
    EXPECT_EQ(link.GetTimeoutRX(), 2000);
    EXPECT_EQ(link.iFlowControl, 1);
    EXPECT_NE(log.find("[OpenCommunicationPort]COM Port"), std::string::npos);
    EXPECT_EQ(log.find("COM Port VIRTUAL"), std::string::npos);

    // A serial link asked to open as a network printer: the base Init fails.
    settings.iType = COMMPORT_ETH;
    snprintf(settings.szEthAddress, sizeof(settings.szEthAddress), "%s", "10.0.0.9");
    CComPortRs232 wrongKind;
    log = Captured([&] { return comm.OpenCommunicationPort(&wrongKind, &settings); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("Open Port Error"), std::string::npos);
}

TEST(OpenCommunicationPort, UnknownKindIsInvalid) {
    PrinterComm comm(255, 1);
    CommPortSettings settings;  // kind -1
    RecordingLink link;
    bool ok = true;
    std::string log = Captured([&] { return comm.OpenCommunicationPort(&link, &settings); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(link.calls.empty());
    EXPECT_NE(log.find("[OpenCommunicationPort]Port Invalid"), std::string::npos);
    EXPECT_EQ(log.find("Error:"), std::string::npos);
}

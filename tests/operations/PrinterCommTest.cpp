// Opening the link for each link kind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comm/ComPortRs232.h"
#include "comm/CommPortSettings.h"
#include "common/Log.h"
#include "operations/PrinterComm.h"
#include "tests/comm/PtyPair.h"
#include "tests/support/TempDir.h"

using testsupport::TempDir;

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
    bool Init(char* device, int baud, int flow, bool isVirtual) override {
        calls.push_back(std::string("ser:") + device + ":" + std::to_string(baud) + ":" +
                        std::to_string(flow) + (isVirtual ? ":virtual" : ""));
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

// Opens the link with the settings and returns the log; ok tells the outcome.
class OpenPort : public ::testing::Test {
  protected:
    std::string Open(CComPort& link, bool& ok) {
        Log::SetLogEnable(1, true);
        ::testing::internal::CaptureStdout();
        ok = comm.OpenCommunicationPort(&link, &settings);
        std::string text = ::testing::internal::GetCapturedStdout();
        Log::SetLogEnable(0, false);
        return text;
    }
    static bool Has(const std::string& log, const std::string& part) {
        return log.find(part) != std::string::npos;
    }

    PrinterComm comm{255, 1};
    CommPortSettings settings;
};

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
    struct Case {
        const char* name;
        const char* vendor;
        const char* product;
        const char* serial;
    } cases[] = {
        {"0DD4|0195|PRN123|tail", "0DD4", "0195", "PRN123|tail"},
        {"0DD4", "", "", ""},
        {"0DD4|0195", "0DD4", "", ""},
        {"0DD4|0195|", "0DD4", "0195", ""},
    };
    for (const Case& c : cases) {
        UsbParts p = Split(c.name);
        EXPECT_STREQ(p.vendor, c.vendor) << c.name;
        EXPECT_STREQ(p.product, c.product) << c.name;
        EXPECT_STREQ(p.serial, c.serial) << c.name;
    }
    std::string huge = "V|P|" + std::string(5000, 's');
    EXPECT_EQ(strlen(Split(huge.c_str()).serial), PrinterComm::USB_PART_SIZE - 1);
}

TEST_F(OpenPort, FailedInitLogsTheLinksReason) {
    settings.iType = COMMPORT_USB;
    snprintf(settings.szUsbDevice, sizeof(settings.szUsbDevice), "%s", "nobars");
    RecordingLink link;
    link.initResult = false;
    bool ok = true;
    std::string log = Open(link, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(link.calls, (std::vector<std::string>{"usb:|"}));  // never opened
    EXPECT_TRUE(Has(log, "[OpenCommunicationPort]Open Port Error"));
    EXPECT_TRUE(Has(log, "[OpenCommunicationPort]Error: no such printer"));
    EXPECT_EQ(comm.iErrorCode, 0);  // the operations store their own code
}

TEST_F(OpenPort, SerialOpensThePortAndDoublesTheReceiveTimeout) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    settings.iType = COMMPORT_SERIAL;
    snprintf(settings.szSerialDevice, sizeof(settings.szSerialDevice), "%s", pty.slave.c_str());
    settings.iBaudRate = 115200;
    settings.iFlowControl = 1;
    CComPortRs232 link;
    bool ok = false;
    std::string log = Open(link, ok);
    EXPECT_TRUE(ok) << log;
    EXPECT_NE(link.iFd, -1);
    EXPECT_EQ(link.GetTimeoutRX(), 2000);
    EXPECT_EQ(link.iFlowControl, 1);
    EXPECT_TRUE(Has(log, "[OpenCommunicationPort]COM Port"));
    EXPECT_EQ(log.find("COM Port VIRTUAL"), std::string::npos);
}

// The printer's USB virtual serial port is told by its driver's name in
// the device tree, here one made by the test.
TEST_F(OpenPort, SerialPortOfTheVirtualPortDriverOpensAsVirtual) {
    TempDir sys;
    const std::string root = sys.path() + "/";
    for (const char* driver : {"vrvcom", "ftdi_sio"}) {
        const std::string tty = std::string("tty") + driver;
        const std::string target = sys.path() + "/devices/" + tty;
        ASSERT_EQ(system(("mkdir -p " + target + "/drv/" + driver + " " + root + tty).c_str()), 0);
        ASSERT_EQ(symlink(target.c_str(), (root + tty + "/device").c_str()), 0);
        ASSERT_EQ(symlink((target + "/drv/" + driver).c_str(), (target + "/driver").c_str()), 0);
    }
    comm.szTtyClassDir = root.c_str();
    settings.iType = COMMPORT_SERIAL;
    settings.iBaudRate = 9600;
    settings.iFlowControl = 2;
    const struct {
        const char* device;
        const char* init;
        bool isVirtual;
    } rows[] = {{"/dev/ttyvrvcom", "ser:/dev/ttyvrvcom:9600:2:virtual", true},
                {"/dev/ttyftdi_sio", "ser:/dev/ttyftdi_sio:9600:2", false}};
    for (const auto& row : rows) {
        snprintf(settings.szSerialDevice, sizeof(settings.szSerialDevice), "%s", row.device);
        RecordingLink link;
        bool ok = false;
        std::string log = Open(link, ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(link.calls, (std::vector<std::string>{row.init, "open"}));
        EXPECT_EQ(Has(log, "[OpenCommunicationPort]COM Port VIRTUAL"), row.isVirtual) << log;
    }
}

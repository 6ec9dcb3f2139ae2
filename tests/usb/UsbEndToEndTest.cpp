// prnupgrade, unmodified, against the emulated bus of prnsim --usb.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;

class UsbEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // This test program runs under the preload itself; prnsim must not.
        unsetenv("LD_PRELOAD");
        unsetenv("UMOCKDEV_DIR");
    }

    // prnsim --usb BUS... -- prnupgrade ARGS...
    ProgramResult Run(const std::vector<std::string>& bus, const std::vector<std::string>& args) {
        std::vector<std::string> argv{PRNSIM_BIN, "--usb"};
        argv.insert(argv.end(), bus.begin(), bus.end());
        argv.push_back("--");
        argv.push_back(PRNUPGRADE_BIN);
        argv.insert(argv.end(), args.begin(), args.end());
        testsupport::RunOptions options;
        options.extraEnv.push_back("TMPDIR=" + folder.path());
        options.timeoutMs = 60000;
        return RunProgram(argv, options);
    }

    testsupport::TempDir folder;
};

TEST_F(UsbEndToEndTest, DeviceListShowsEveryPrinterAndNoOtherDevice) {
    ProgramResult r = Run({"--device", "name=a,pid=0E15,serial=PR0011,port=1,driver=usblp",
                           "--device", "name=x,vid=1234,pid=0001,serial=PR0099,port=2,foreign",
                           "--device", "name=b,pid=0E16,serial=PR0022,port=3"},
                          {"--usbdevlist"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<std::string> lines = testsupport::SplitLines(r.out);
    ASSERT_GE(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0], "LIST USB DEVICES:");
    std::vector<std::string> devices{lines[1], lines[2]};
    std::sort(devices.begin(), devices.end());
    EXPECT_EQ(devices, (std::vector<std::string>{"0AE7|0E15|PR0011", "0AE7|0E16|PR0022"}));
    EXPECT_EQ(lines[3], "");
}

TEST_F(UsbEndToEndTest, EmptyBusGivesAnEmptyList) {
    ProgramResult r = Run({"--empty"}, {"--usbdevlist"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("LIST USB DEVICES:\n\n", 0), 0u) << r.out;
}

TEST_F(UsbEndToEndTest, UnreadableSerialEndsTheListWithAnError) {
    ProgramResult r = Run({"--device", "noserial"}, {"--usbdevlist"});
    EXPECT_EQ(r.exitCode, 255) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("LIST USB DEVICES ERROR\n", 0), 0u) << r.out;
}

TEST_F(UsbEndToEndTest, AnyNeedsAListedPrinter) {
    // With a printer the device argument is accepted and the run reaches the
    // setup read; without one the device argument is refused.
    ProgramResult found = Run({}, {"--printerversion", "-t", "usb", "-d", "any"});
    EXPECT_EQ(found.exitCode, 0) << found.out << found.err;
    EXPECT_NE(found.out.find("<C2>"), std::string::npos) << found.out;
    ProgramResult none = Run({"--empty"}, {"--printerversion", "-t", "usb", "-d", "ANY", "-v"});
    EXPECT_EQ(none.exitCode, 13) << none.out << none.err;
    EXPECT_NE(none.out.find("device argument not valid"), std::string::npos) << none.out;
}

TEST_F(UsbEndToEndTest, PrnsimRefusesBadBusOptions) {
    ProgramResult r = Run({"--device", "vid=XYZ"}, {"--usbdevlist"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("vid"), std::string::npos) << r.err;
}

}  // namespace

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

// The device list: printers only, an empty bus, an unreadable serial. A
// printer whose device node the user may not open (no udev rule): the
// documented output stays as it is, and "-v" adds one last line that says
// how to get the rights.
TEST_F(UsbEndToEndTest, DeviceListAndPermissionHint) {
    const std::string hint =
        "Hint: a USB printer was found but could not be opened (no permission): the udev rule "
        "/lib/udev/rules.d/60-prnupgrade.rules lets the plugdev group open it; join the group "
        "(sudo adduser $USER plugdev), log in again and replug the printer\n";
    const std::string args =
        "ARGS: usbdevlist=1 ethdevlist=0 filename= type= device= "
        "upg_components=255 rtool=0 toolfilename=\n";
    struct Case {
        std::vector<std::string> bus;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    };
    const std::string denied = "noaccess";
    const Case cases[] = {
        {{"--device", "name=a,pid=0E15,serial=PR0011,port=1,driver=usblp", "--device",
          "name=x,vid=1234,pid=0001,serial=PR0099,port=2,foreign"},
         {"--usbdevlist"},
         0,
         "LIST USB DEVICES:\n0AE7|0E15|PR0011\n\n"},
        {{"--empty"}, {"--usbdevlist"}, 0, "LIST USB DEVICES:\n\n"},
        {{"--device", "noserial"}, {"--usbdevlist"}, 255, "LIST USB DEVICES ERROR\n"},
        {{"--device", denied}, {"--usbdevlist"}, 0, "LIST USB DEVICES:\n\n"},
        {{"--device", denied},
         {"--usbdevlist", "-v"},
         0,
         args + "LIST USB DEVICES:\n\nOperation Completed\n" + hint},
        {{"--device", denied},
         {"--printerversion", "-t", "usb", "-d", "ANY", "-v"},
         13,
         "ARGS: usbdevlist=0 ethdevlist=0 filename= type=usb device=ANY upg_components=255 "
         "rtool=0 toolfilename=\ndevice argument not valid\n\nParameter not OK\n" +
             hint},
        // A printer that can be opened gets no hint.
        {{},
         {"--usbdevlist", "-v"},
         0,
         args + "LIST USB DEVICES:\n0AE7|0E15|PR0011\n\n"
                "Operation Completed\n"},
    };
    for (const Case& c : cases) {
        ProgramResult r = Run(c.bus, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0];
    }
}

}  // namespace

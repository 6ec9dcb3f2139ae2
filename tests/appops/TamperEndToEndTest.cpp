// Anti-tamper module upgrades run by prnupgrade on prnsim.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/appops/OpsEndToEnd.h"

using opstest::Contains;
using opstest::OpsRun;
using opstest::SimPrinter;

namespace {

// A printer whose serial text holds "tamper", as the device list shows it.
const char* const TAMPER_PRINTER = "name=p,pid=0E15,serial=ATtamper1,port=1";

class TamperEndToEnd : public ::testing::Test {
  protected:
    std::string Image(size_t size = 32768) {
        mkfile::Bytes image = mkfile::BuildTamperImage("0104", size);
        return dir.write("module" + std::to_string(size) + ".bin",
                         std::string(image.begin(), image.end()));
    }
    // A printer with an anti-tamper module (--tamper) and the options given.
    OpsRun OnUsb(std::vector<std::string> printer, const std::string& device,
                 const std::string& file) {
        printer.push_back("--tamper");
        return opstest::RunOnUsb(printer, {"--device", TAMPER_PRINTER},
                                 {"-v", "-TM1", "-f", file, "-t", "usb", "-d", device});
    }

    testsupport::TempDir dir;
};

}  // namespace

TEST_F(TamperEndToEnd, WholeImageReachesTheModule) {
    std::string image = Image();
    std::string received = dir.file("received.bin");
    OpsRun run = OnUsb({"--tamper-out", received}, "ANY", image);
    EXPECT_EQ(run.program.exitCode, 0) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Bank 128/128...\n")) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Upgrade Finish!\n\nOPERATION SUCCESS\n"));
    // The printer checked both sums of the end request against what it got.
    EXPECT_TRUE(Contains(run.program.out + run.program.err,
                         "prnsim: tamper starts 1, sum errors 0, image 32768"));
    EXPECT_EQ(testsupport::ReadWholeFile(received), testsupport::ReadWholeFile(image));
    // 129 pauses of 100 ms and the 5 s restart wait.
    EXPECT_GE(run.ms, 129 * 100 + 5000);
}

TEST_F(TamperEndToEnd, RefusedBankEndsWithItsReadError) {
    OpsRun run = OnUsb({"--tamper-nack", "3"}, "ANY", Image());
    EXPECT_EQ(run.program.exitCode, 14) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Bank 3/128...\n")) << run.program.out;
    EXPECT_FALSE(Contains(run.program.out, "Bank 4/128")) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Upgrade Module Error 14 (13)\n")) << run.program.out;
}

TEST_F(TamperEndToEnd, UnansweredBankEndsAfterTheAnswerTimeout) {
    OpsRun run = OnUsb({"--tamper-silent", "2"}, "ANY", Image());
    EXPECT_EQ(run.program.exitCode, 14) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Bank 2/128...\n")) << run.program.out;
    EXPECT_FALSE(Contains(run.program.out, "Bank 3/128")) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Upgrade Module Error 14 (13)\n")) << run.program.out;
    EXPECT_GE(run.ms, 5000);
    EXPECT_LT(run.ms, 20000);
}

TEST_F(TamperEndToEnd, OnlyATamperImageOnATamperDeviceIsSent) {
    std::string image = Image();
    struct Case {
        const char* name;
        std::string device;
        std::string file;
        int exitCode;
        const char* message;
    } cases[] = {
        // A name given by hand is upper-cased: its "tamper" no longer matches.
        {"explicit name", "0AE7|0E15|ATtamper1", image, 12, "Wrong Device to upgrade\n"},
        {"image one byte short", "ANY", Image(32767), 11, "Wrong Tamper upgrade file\n"},
    };
    for (const Case& c : cases) {
        OpsRun run = OnUsb({}, c.device, c.file);
        EXPECT_EQ(run.program.exitCode, c.exitCode) << c.name << "\n" << run.program.out;
        EXPECT_TRUE(Contains(run.program.out, c.message)) << c.name << "\n" << run.program.out;
        EXPECT_FALSE(Contains(run.program.out, "Starting upgrade")) << c.name;
    }
    for (const char* link : {"pty", "tcp"}) {
        SimPrinter sim(link, {"--tamper"});
        ASSERT_TRUE(sim.Started()) << sim.Failure();
        OpsRun run = sim.Run({"-v", "-TM1", "-f", image});
        EXPECT_EQ(run.program.exitCode, 12) << link << "\n" << run.program.out;
        EXPECT_TRUE(Contains(run.program.out, "Wrong Device to upgrade\n")) << link;
        EXPECT_FALSE(Contains(run.printer, "TAMPER")) << link << "\n" << run.printer;
    }
}

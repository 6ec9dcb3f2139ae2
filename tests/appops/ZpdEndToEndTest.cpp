// ZPD scripts played by prnupgrade on prnsim.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/appops/OpsEndToEnd.h"

using opstest::Contains;
using opstest::HANDSHAKE;
using opstest::OpsRun;
using opstest::SimPrinter;

namespace {

// prnsim's identification word with its default one-byte identification 0x12.
const char* const PRINTER_DEVICE = "0112";

class ZpdEndToEnd : public ::testing::Test {
  protected:
    std::string Script(const std::vector<std::string>& body, const char* device = PRINTER_DEVICE) {
        mkfile::ZpdLayout layout;
        layout.device = device;
        layout.body = body;
        return dir.write("script.zpd", mkfile::BuildZpd(layout));
    }
    OpsRun OnPty(std::vector<std::string> printer, const std::string& script) {
        printer.insert(printer.end(), {"--record", record()});
        SimPrinter sim("pty", printer);
        EXPECT_TRUE(sim.Started()) << sim.Failure();
        return sim.Run({"-v", "-lv", "-f", script});
    }
    std::string record() const { return dir.file("received.bin"); }
    std::string Received() const { return testsupport::ReadWholeFile(record()); }

    testsupport::TempDir dir;
};

}  // namespace

TEST_F(ZpdEndToEnd, ScriptBytesGoOutInOrderWithTheirPauses) {
    // The printer loses what comes within 300 ms of its reset: the pause
    // after the reset request keeps the next request from being lost.
    // A script ends with an answer here: a pseudo-terminal closed by the
    // program may drop what the printer has not read yet.
    std::string script = Script({"# restart", "[1F][FF][07]", "#>[OP_SLEEPMSEC] 600",
                                 "[1B]x[40] [0A]", "[1F][FF][01]", "#>[OP_WAITPSANSWER]"});
    OpsRun run = OnPty({"--reset-time", "300"}, script);
    EXPECT_EQ(run.program.exitCode, 0) << run.program.out;
    EXPECT_EQ(Received(), HANDSHAKE + std::string("\x1F\xFF\x07\x1B\x40\x0A\x1F\xFF\x01"));
    EXPECT_TRUE(Contains(run.printer, "prnsim: resets 1, lost 0 bytes\n")) << run.printer;
    EXPECT_TRUE(Contains(run.program.out, "Setting # restart ...\n")) << run.program.out;
    EXPECT_GE(run.ms, 600);
    EXPECT_TRUE(Contains(run.program.out, "OPERATION SUCCESS\n\nOperation Completed\n"));
}

TEST_F(ZpdEndToEnd, ScriptForAnotherDeviceSendsNothing) {
    OpsRun run = OnPty({}, Script({"[1B][40]"}, "0099"));
    EXPECT_EQ(run.program.exitCode, 12) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "[PrnCom_WriteZPDFile]Device not compatible \n"));
    EXPECT_TRUE(Contains(run.program.out, "Send ZPD file Error 12 (9)\n")) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "OPERATION FAILURE\n")) << run.program.out;
    EXPECT_EQ(Received(), HANDSHAKE);
}

TEST_F(ZpdEndToEnd, RefusedAnswerCheckDoesNotStopTheScript) {
    // The second request's answer ends the script, so that every byte has
    // been read by the printer when the program closes the line.
    OpsRun run = OnPty({"--refuse", "PROTVER:5"}, Script({"[1F][FF][01]", "#>[OP_WAITPSANSWER]",
                                                          "[1F][FF][28]", "#>[OP_WAITPSANSWER]"}));
    EXPECT_EQ(run.program.exitCode, 0) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "[ManageElement]Return is a Error Answer 105\n"));
    EXPECT_EQ(Received(), HANDSHAKE + "\x1F\xFF\x01\x1F\xFF\x28");
}

TEST_F(ZpdEndToEnd, FailedWriteEndsTheScriptWithItsCode) {
    // The printer leaves the bus once the handshake and the first request
    // have arrived; the pause lets it go before the next write.
    std::string script = Script({"[1B][40]", "#>[OP_SLEEPMSEC] 500", "[0A]", "[0B]"});
    OpsRun run = opstest::RunOnUsb({"--close-after", "17"}, {},
                                   {"-v", "-lv", "-f", script, "-t", "usb", "-d", "ANY"});
    EXPECT_EQ(run.program.exitCode, 14) << run.program.out;
    EXPECT_EQ(Contains(run.program.out, "[ManageElement]Write error"), true) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Send ZPD file Error 14 (13)\n")) << run.program.out;
    EXPECT_FALSE(Contains(run.program.out, "Write ZPD File Finish!")) << run.program.out;
}

// Printer tools and the setup read, end to end.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "tests/appops/OpsEndToEnd.h"

using opstest::Contains;
using opstest::OpsRun;
using opstest::SimPrinter;

namespace {

// The setup header prnsim sends for two lines, as the program prints it: the
// frame start, tag and count on the first line, a line end for every 00 byte.
const std::string HEADER_PRINTED = "\x02<C2><2>\nMODEL X1\nREL 2.07\n\x03";

OpsRun OnPty(const std::vector<std::string>& printer, const std::vector<std::string>& args) {
    SimPrinter sim("pty", printer);
    EXPECT_TRUE(sim.Started()) << sim.Failure();
    return sim.Run(args);
}

}  // namespace

TEST(ToolsEndToEnd, ExitCodesOfTheToolDialogue) {
    struct Case {
        const char* name;
        std::vector<std::string> printer;
        const char* tool;
        int exitCode;
        const char* message;
        bool requestSent;
    } cases[] = {
        {"printer without tools",
         {"--data-available", "175"},
         "1-1",
         17,
         "Execute Tool Error 17 (24)\n",
         false},
        {"tool not in the printer's table",
         {"--tools", "1,0"},
         "1-2",
         18,
         "Execute Tool Error 18 (25)\n",
         false},
        {"tool of table 2 not offered",
         {"--tools", "127,0"},
         "2-1",
         18,
         "Execute Tool Error 18 (25)\n",
         false},
        {"tool refused by the printer",
         {"--refuse", "TOOLEXEC:5"},
         "1-1",
         14,
         "Execute Tool Error 14 (105)\n",
         true},
    };
    for (const Case& c : cases) {
        OpsRun run = OnPty(c.printer, {"-v", "-rtool", c.tool});
        EXPECT_EQ(run.program.exitCode, c.exitCode) << c.name << "\n" << run.program.out;
        EXPECT_TRUE(Contains(run.program.out, c.message)) << c.name << "\n" << run.program.out;
        EXPECT_EQ(Contains(run.printer, "TOOLEXEC"), c.requestSent) << c.name << "\n"
                                                                    << run.printer;
    }
}

TEST(ToolsEndToEnd, AnswerLinesArePrintedOneByOne) {
    OpsRun run =
        OnPty({"--tool-line", "MARK FOUND", "--tool-line", "GAP 3.5 MM"}, {"-v", "-rtool", "1-1"});
    EXPECT_EQ(run.program.exitCode, 0) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "\nMARK FOUND\nGAP 3.5 MM\nOperation Completed\n"))
        << run.program.out;
    EXPECT_TRUE(Contains(run.printer, "prnsim: tool 1/1\n")) << run.printer;
}

TEST(ToolsEndToEnd, ToolWithoutAnswerWaitsItsOwnTimeout) {
    // Table 2 tools wait 1000 ms.
    OpsRun run = OnPty({"--tools", "127,1", "--mute", "TOOLEXEC"}, {"-v", "-rtool", "2-1"});
    EXPECT_EQ(run.program.exitCode, 14) << run.program.out;
    EXPECT_TRUE(Contains(run.program.out, "Execute Tool Error 14 (20)\n")) << run.program.out;
    EXPECT_GE(run.ms, 1000);
    EXPECT_LT(run.ms, 8000);
}

TEST(ToolsEndToEnd, SetDateTimeSendsTheLocalTime) {
    time_t before = time(nullptr);
    OpsRun run = OnPty({}, {"-rtool", "1-4"});
    time_t after = time(nullptr);
    EXPECT_EQ(run.program.exitCode, 0);
    // prnupgrade and this test share the time zone of the environment.
    std::vector<std::string> accepted;
    for (time_t t = before; t <= after; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char text[16];
        strftime(text, sizeof(text), "%d%m%y%H%M%S", &local);
        accepted.push_back(std::string("prnsim: datetime ") + text + "\n");
    }
    bool found = false;
    for (const std::string& line : accepted) found = found || Contains(run.printer, line);
    EXPECT_TRUE(found) << run.printer;
    EXPECT_TRUE(Contains(run.printer, "prnsim: tool 1/8\n")) << run.printer;
}

TEST(ToolsEndToEnd, UploadSptFileSendsTheFile) {
    testsupport::TempDir dir;
    std::string content("SPT\x00\x01\x02<>\x03 data", 15);
    std::string spt = dir.write("paper.spt", content);
    std::string received = dir.file("received.spt");
    OpsRun run = OnPty({"--spt-out", received}, {"-rtool", "1-6", spt});
    EXPECT_EQ(run.program.exitCode, 0) << run.program.out;
    EXPECT_EQ(testsupport::ReadWholeFile(received), content);
    EXPECT_TRUE(Contains(run.printer, "prnsim: tool 1/32\n")) << run.printer;
}

TEST(ToolsEndToEnd, FailedHandshakeEndsAsCommunicationError) {
    // The firmware release request goes unanswered: the handshake fails
    // after one read, without the retries of a silent printer.
    OpsRun run = OnPty({"--answer", "1D4903="}, {"-v", "-rtool", "1-1"});
    EXPECT_EQ(run.program.exitCode, 14);
    EXPECT_TRUE(Contains(run.program.out, "Execute Tool Error 14 (0)\n")) << run.program.out;
    EXPECT_FALSE(Contains(run.printer, "PROTVER")) << run.printer;
}

TEST(PrinterVersionEndToEnd, HeaderPrintedOverEveryLink) {
    const std::vector<std::string> header{"--header-line", "MODEL X1", "--header-line", "REL 2.07"};
    for (const char* link : {"pty", "tcp"}) {
        SimPrinter sim(link, header);
        ASSERT_TRUE(sim.Started()) << sim.Failure();
        OpsRun run = sim.Run({"--printerversion"});
        EXPECT_EQ(run.program.exitCode, 0) << link;
        EXPECT_EQ(run.program.out, HEADER_PRINTED) << link;
    }
    OpsRun usb = opstest::RunOnUsb(header, {}, {"--printerversion", "-t", "usb", "-d", "ANY"});
    EXPECT_EQ(usb.program.exitCode, 0);
    EXPECT_EQ(usb.program.out.rfind(HEADER_PRINTED, 0), 0u) << usb.program.out;
}

TEST(PrinterVersionEndToEnd, EndsWellWithoutHeader) {
    OpsRun absent = opstest::RunOnUsb(
        {}, {"--empty"}, {"-v", "--printerversion", "-t", "usb", "-d", "0AE7|0E15|PR0011"});
    EXPECT_EQ(absent.program.exitCode, 0);
    EXPECT_TRUE(Contains(absent.program.out, "Operation Completed\n")) << absent.program.out;

    OpsRun silent = OnPty({"--mute", "HEADER"}, {"-v", "--printerversion"});
    EXPECT_EQ(silent.program.exitCode, 0);
    EXPECT_FALSE(Contains(silent.program.out, "<C2>")) << silent.program.out;
    EXPECT_TRUE(Contains(silent.printer, "HEADER")) << silent.printer;
}

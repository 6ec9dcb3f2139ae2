// What prnupgrade adds for a person at a terminal: the live status line on
// standard error (a bar during the transfer, a countdown during each wait)
// and, with "-d ANY", which printer it took. Standard output and the log stay
// byte for byte what a run without a terminal writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;

struct Outcome {
    ProgramResult result;
    std::string log;  // data.log without its time stamps
};

// A mode U3 upgrade over TCP with -m 0: four banks, then the two 2 s closes
// of the network link, the only waits left.
Outcome UpgradeOverTcp(const std::string& package, bool errOnTerminal, const std::string& term) {
    testsupport::SimProcess printer;
    EXPECT_TRUE(printer.Start(
        {PRNSIM_BIN, "--tcp", "0", "--mode", "U3", "--package", package, "--restart-ms", "0"}))
        << printer.Output();
    const std::string port = std::to_string(printer.TcpPort());
    testsupport::TempDir work;
    testsupport::RunOptions options;
    options.workingDirectory = work.path();
    options.errOnTerminal = errOnTerminal;
    options.extraEnv.push_back("TERM=" + term);
    Outcome run;
    run.result = testsupport::RunProgram({PRNUPGRADE_BIN, "-f", package, "-t", "eth", "-d",
                                          "127.0.0.1:" + port, "-v", "-m", "0", "-lf"},
                                         options);
    printer.Stop();
    // Each printer listens on a port of its own; the time stamps differ too.
    const std::regex portNumber(port);
    run.result.out = std::regex_replace(run.result.out, portNumber, "PORT");
    const std::regex stamp(R"(^\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\])");
    for (const std::string& line :
         testsupport::SplitLines(testsupport::ReadWholeFile(work.file("data.log")))) {
        run.log += std::regex_replace(std::regex_replace(line, stamp, ""), portNumber, "PORT");
        run.log += '\n';
    }
    return run;
}

// A package of four banks in dir.
std::string Package(const testsupport::TempDir& dir, int generation, uint32_t bankSize) {
    mkfile::PackageLayout layout;
    layout.generation = generation;
    layout.numBanks = 4;
    layout.bankSize = bankSize;
    layout.firmware = mkfile::Pattern(4 * bankSize, 21);
    const mkfile::Bytes bytes = mkfile::BuildPackage(layout);
    return dir.write("p.psw", std::string(bytes.begin(), bytes.end()));
}

TEST(StatusLineEndToEnd, OnATerminalOnlyAndNothingElseChanges) {
    testsupport::TempDir dir;
    const std::string package = Package(dir, 2, 65536);

    const Outcome piped = UpgradeOverTcp(package, false, "xterm");
    const Outcome terminal = UpgradeOverTcp(package, true, "xterm");
    const Outcome dumb = UpgradeOverTcp(package, true, "dumb");

    ASSERT_EQ(piped.result.exitCode, 0) << piped.result.out << piped.result.err;
    EXPECT_NE(piped.result.out.find("Sending bank...4/4 (100%)"), std::string::npos);
    EXPECT_NE(piped.log.find("LinkTrace"), std::string::npos);
    EXPECT_EQ(piped.result.err, "");
    for (const Outcome* run : {&terminal, &dumb}) {
        EXPECT_EQ(run->result.exitCode, 0);
        EXPECT_EQ(run->result.out, piped.result.out);
        EXPECT_EQ(run->log, piped.log);
    }
    EXPECT_EQ(dumb.result.err, "");

    // The bar at its start and at its end, and the countdown of each close,
    // each drawn over the line and wiped at its end.
    const std::string& shown = terminal.result.err;
    for (const char* part : {"\rfirmware [------------------------]   0%  0 B / 256.0 KiB\033[K",
                             "\rfirmware [########################] 100%  256.0 KiB / 256.0 KiB",
                             "\rclosing the network connection: 2 s left\033[K"
                             "\rclosing the network connection: 1 s left\033[K\r\033[K"}) {
        EXPECT_NE(shown.find(part), std::string::npos) << part << "\nin:\n" << shown;
    }
    // Nothing but the line itself: no line end ever reaches the terminal.
    EXPECT_EQ(shown.find('\n'), std::string::npos);
}

// Mode U4 with -m 1: the boot device comes 300 ms after the printer left, and
// the wait for it shows; the boot-mode banks show as a transfer. "-d ANY"
// names the printer it took, with -v only.
TEST(StatusLineEndToEnd, BootDeviceWaitBootModeBanksAndThePrinterAnyTook) {
    unsetenv("LD_PRELOAD");  // prnsim must not run under the emulated bus's preload
    testsupport::TempDir dir;
    const std::string package = Package(dir, 1, 1024);
    testsupport::RunOptions options;
    options.extraEnv = {"TMPDIR=" + dir.path(), "TERM=xterm"};
    options.errOnTerminal = true;
    const ProgramResult r = testsupport::RunProgram(
        {PRNSIM_BIN, "--mode", "U4", "--package", package, "--restart-ms", "0", "--usb", "--boot",
         "appear=300,backdelay=0,size=1024,backon=lock-bit", "--", PRNUPGRADE_BIN, "-f", package,
         "-t", "usb", "-d", "ANY", "-v"},
        options);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const char* part :
         {"complete 1 locked 1", "-d ANY: the first printer listed, 0AE7|0E15|PR0011",
          "\rwaiting for the printer's boot device (vendor 045B): 40 s left",
          "\rboot-mode banks [########################] 100%"}) {
        EXPECT_NE(r.err.find(part), std::string::npos) << part << "\nin:\n" << r.err;
    }
    // Without -v the printer is taken silently.
    const ProgramResult quiet = testsupport::RunProgram(
        {PRNSIM_BIN, "--usb", "--", PRNUPGRADE_BIN, "--printerversion", "-t", "usb", "-d", "ANY"},
        options);
    EXPECT_EQ(quiet.exitCode, 0) << quiet.out << quiet.err;
    EXPECT_EQ(quiet.err.find("-d ANY"), std::string::npos) << quiet.err;
}

}  // namespace

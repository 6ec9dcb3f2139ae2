// "--verify" over the emulated USB bus: the boot-mode engine, whose every
// bank the boot program acknowledges, and mode U1 on a printer that gives no
// programming answer over USB.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;

struct Case {
    std::vector<std::string> printer;  // prnsim options before --usb
    std::vector<std::string> bus;      // after it
    int exitCode;
    const char* text;
};

}  // namespace

TEST(UsbVerify, TheReleaseAndTheAnswersConfirmTheUpgrade) {
    unsetenv("LD_PRELOAD");  // this program runs under the preload; prnsim must not
    unsetenv("UMOCKDEV_DIR");
    testsupport::TempDir folder;
    mkfile::PackageLayout layout;  // release 1.23, 4 banks of 1024 bytes
    layout.generation = 1;
    layout.numBanks = 4;
    layout.bankSize = 1024;
    layout.firmware = mkfile::Pattern(4096, 3);
    mkfile::Bytes bytes = mkfile::BuildPackage(layout);
    const std::string package = folder.write("p.psw", std::string(bytes.begin(), bytes.end()));
    const std::string boot = "appear=0,backdelay=0,size=1024,backon=lock-bit";
    const Case cases[] = {
        {{"--mode", "U4"}, {"--boot", boot + ",newrelease=1.23"}, 0, "Upgrade verified"},
        // Every bank acknowledged, but the printer comes back on its old release.
        {{"--mode", "U4"},
         {"--boot", boot},
         19,
         "Upgrade not verified: the printer reports release 1.00, the package holds 1.23"},
        // No programming answer over USB: only the new release confirms.
        {{"--mode", "U1", "--config", "0;"}, {}, 0, "Upgrade verified"},
        {{"--mode", "U1", "--config", "0;", "--release", "1.23"},
         {},
         19,
         "already carried release 1.23 and no answer"},
    };
    // -m 1: the printer restarts within the program's pauses; with -m 0 the
    // look after the upgrade may come before the restart.
    std::vector<std::future<ProgramResult>> runs;
    for (const Case& c : cases) {
        std::vector<std::string> argv{PRNSIM_BIN, "--package", package, "--restart-ms", "0"};
        argv.insert(argv.end(), c.printer.begin(), c.printer.end());
        argv.push_back("--usb");
        argv.insert(argv.end(), c.bus.begin(), c.bus.end());
        argv.insert(argv.end(), {"--", PRNUPGRADE_BIN, "-f", package, "-t", "usb", "-d", "ANY",
                                 "-m", "1", "-v", "-lv", "--verify"});
        testsupport::RunOptions options;
        options.extraEnv.push_back("TMPDIR=" + folder.path());
        options.timeoutMs = 90000;
        runs.push_back(std::async(std::launch::async, [argv, options] {
            return testsupport::RunProgram(argv, options);
        }));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        ProgramResult r = runs[i].get();
        EXPECT_EQ(r.exitCode, cases[i].exitCode) << i << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(cases[i].text), std::string::npos)
            << i << ": " << cases[i].text;
    }
}

// Package upgrades by the real prnupgrade over the emulated USB bus of prnsim.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class UsbUpgradeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // This test program runs under the preload itself; prnsim must not.
        unsetenv("LD_PRELOAD");
        unsetenv("UMOCKDEV_DIR");
    }

    std::string Package(int generation, int banks, int bankSize, bool withModule = true) {
        mkfile::PackageLayout layout;
        layout.generation = generation;
        layout.numBanks = static_cast<uint8_t>(banks);
        layout.bankSize = static_cast<uint32_t>(bankSize);
        layout.firmware = mkfile::Pattern(static_cast<size_t>(banks * bankSize), 5);
        if (generation == 2 && withModule) {
            mkfile::ModuleLayout font;
            font.typeLetter = "F";
            font.payload = mkfile::Pattern(300, 6);
            layout.modules.push_back({'f', mkfile::BuildModule(font), 0, 0});
        }
        mkfile::Bytes bytes = mkfile::BuildPackage(layout);
        return folder.write("p" + std::to_string(generation) + ".psw",
                            std::string(bytes.begin(), bytes.end()));
    }

    // prnsim PRINTER... --usb BUS... -- prnupgrade ARGS...
    ProgramResult Run(std::vector<std::string> printer, const std::vector<std::string>& bus,
                      const std::vector<std::string>& args) {
        std::vector<std::string> argv{PRNSIM_BIN};
        argv.insert(argv.end(), printer.begin(), printer.end());
        argv.push_back("--usb");
        argv.insert(argv.end(), bus.begin(), bus.end());
        argv.push_back("--");
        argv.push_back(PRNUPGRADE_BIN);
        argv.insert(argv.end(), args.begin(), args.end());
        testsupport::RunOptions options;
        options.extraEnv.push_back("TMPDIR=" + folder.path());
        options.timeoutMs = 60000;
        return testsupport::RunProgram(argv, options);
    }

    testsupport::TempDir folder;
};

}  // namespace

TEST_F(UsbUpgradeTest, EveryModeWithBothGenerations) {
    struct Case {
        const char* mode;
        int generation;
        const char* config;
        bool module;
    } cases[] = {{"U1", 1, "", false},
                 {"U1", 2, "0;", true},
                 {"U3", 1, "", false},
                 {"U3", 2, "", true},
                 // U5 sends its modules after the printer's restarts, which
                 // -m 0 does not wait for: the module download is the unit tests'.
                 {"U5", 1, "", false},
                 {"U5", 2, "", false}};
    for (const Case& c : cases) {
        std::string package = Package(c.generation, 4, 1024, c.module);
        // With -m 0 the program does not wait for the printer's restarts: a
        // printer that left the bus in the middle of the run (U5 between its
        // code and data banks) would race it. This printer restarts only once
        // the run is over; leaving and coming back is the next test's.
        std::vector<std::string> printer{"--mode",       c.mode, "--package",          package,
                                         "--restart-ms", "0",    "--restart-grace-ms", "60000"};
        if (c.config[0] != '\0') printer.insert(printer.end(), {"--config", c.config});
        ProgramResult r =
            Run(printer, {}, {"-f", package, "-t", "usb", "-d", "ANY", "-m", "0", "-v"});
        std::string what = std::string(c.mode) + " gen " + std::to_string(c.generation);
        EXPECT_EQ(r.exitCode, 0) << what << "\n" << r.out << r.err;
        EXPECT_TRUE(Has(r.out, "OPERATION SUCCESS\n")) << what;
        // prnsim reports on either stream.
        std::string all = r.out + r.err;
        EXPECT_TRUE(Has(all, "firmware matches the package")) << what << "\n" << all;
        if (c.module) {
            EXPECT_TRUE(Has(all, "matches package module 1")) << what << "\n" << all;
        }
    }
}

TEST_F(UsbUpgradeTest, PrinterBackUnderAnotherAddressNumber) {
    // U5 finds the printer again where it is plugged in. The waits are real
    // (-m 1): the printer must have left before its new address is looked for.
    std::string package = Package(1, 3, 1024);
    ProgramResult r =
        Run({"--mode", "U5", "--package", package},
            {"--device", "name=printer,pid=0E15,serial=PR0011,port=1", "--device",
             "name=again,pid=0E15,serial=PR0012,port=1,absent", "--restart-as", "again"},
            {"-f", package, "-t", "usb", "-d", "ANY", "-v", "-lv"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "New info Vid:0AE7, Pid:0E15, AddrNum:2")) << r.out;
    EXPECT_TRUE(Has(r.out + r.err, "firmware matches the package")) << r.out << r.err;
}

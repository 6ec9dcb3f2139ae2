// End to end: package upgrades and module writes by the real prnupgrade
// against prnsim on TCP and on a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/UpgradeTestSupport.h"

using testsupport::NowMs;
using testsupport::ProgramResult;
using testsupport::TempDir;
using upgradetest::Has;
using upgradetest::Module;
using upgradetest::Printer;
using upgradetest::Text;

namespace {

class UpgradeEndToEnd : public ::testing::Test {
  protected:
    // Writes the package and returns its path.
    std::string Package(const mkfile::PackageLayout& layout, const std::string& name = "p.psw") {
        return dir.write(name, Text(mkfile::BuildPackage(layout)));
    }
    static mkfile::PackageLayout Layout(int generation, int banks, int bankSize) {
        mkfile::PackageLayout layout;
        layout.generation = generation;
        layout.numBanks = static_cast<uint8_t>(banks);
        layout.bankSize = static_cast<uint32_t>(bankSize);
        layout.firmware = mkfile::Pattern(static_cast<size_t>(banks * bankSize), 21);
        return layout;
    }
    // Upgrade of the package with the printer options; -m 0 and the log on.
    // The printer restarts at once: with -m 0 the program does not wait for it.
    ProgramResult Upgrade(Printer& printer, const std::string& link, const std::string& package,
                          std::vector<std::string> options, std::vector<std::string> extra = {}) {
        options.insert(options.begin(), {"--restart-ms", "0"});
        options.insert(options.end(), {"--package", package});
        EXPECT_TRUE(printer.Start(link, options)) << printer.Output();
        std::vector<std::string> args{"-f", package, "-m", "0", "-v", "-lv"};
        args.insert(args.end(), extra.begin(), extra.end());
        return printer.Run(args);
    }

    struct ModeCase {
        const char* link;
        const char* mode;
        int generation;
    };
    void EveryMode(const std::vector<ModeCase>& cases);

    TempDir dir;
};

}  // namespace

// Whole upgrades, one printer each: the firmware and the modules that
// prnsim received are compared with the package.
void UpgradeEndToEnd::EveryMode(const std::vector<ModeCase>& cases) {
    for (const ModeCase& c : cases) {
        // Three banks: with -m 0 a data bank of U5 would reach a printer still restarting.
        mkfile::PackageLayout layout = Layout(c.generation, 3, 1024);
        if (c.generation == 2) {
            // Modules that go before the firmware (U5 sends them after it).
            layout.modules.push_back(Module('f', "F", 300, 1));
            layout.modules.push_back(Module('d', "D", 300, 2));
        }
        Printer printer;
        // U5 reopens the link at once with -m 0: the printer restarts only
        // after the run, so that no bank meets it while it is away.
        std::vector<std::string> profile{"--mode", c.mode};
        if (std::string(c.mode) == "U5")
            profile.insert(profile.end(), {"--restart-grace-ms", "60000"});
        ProgramResult r = Upgrade(printer, c.link, Package(layout), profile);
        std::string what =
            std::string(c.link) + " " + c.mode + " gen " + std::to_string(c.generation);
        EXPECT_EQ(r.exitCode, 0) << what << "\n" << r.out << printer.Report();
        EXPECT_TRUE(Has(r.out, "OPERATION SUCCESS\n")) << what;
        EXPECT_TRUE(Has(printer.Report(), "firmware matches the package"))
            << what << printer.Report();
        if (c.generation == 2) {
            EXPECT_TRUE(Has(printer.Report(), "matches package module 1")) << what;
            EXPECT_TRUE(Has(printer.Report(), "matches package module 2")) << what;
        }
    }
}

TEST_F(UpgradeEndToEnd, EveryModeOverSerialWithBothGenerations) {
    // U5 closes and reopens the line right after its banks; a pseudo-terminal
    // does not drain on close, so U5 runs on the network and USB links only.
    EveryMode({{"ser", "U1", 1}, {"ser", "U1", 2}, {"ser", "U3", 1}, {"ser", "U3", 2}});
}

// The network: the printer is found again and its new release checked.
TEST_F(UpgradeEndToEnd, EveryModeOverTcpWithBothGenerations) {
    EveryMode({{"eth", "U1", 1}, {"eth", "U3", 2}, {"eth", "U5", 1}});
}

TEST_F(UpgradeEndToEnd, ExitCodesOfThePackageUpgrade) {
    mkfile::PackageLayout layout = Layout(2, 2, 512);
    layout.family = 1;
    layout.modelId = 2;
    layout.customization = 3;
    std::string package = Package(layout);
    struct Case {
        const char* link;
        std::vector<std::string> printer;
        int exitCode;
        const char* text;  // in the output
    } cases[] = {
        // The network link gives up on a missing answer sooner than the serial one.
        {"eth", {"--mute", "PROTVER"}, 12, "Upgrade Printer Error 12 (7)"},
        {"ser", {"--refuse", "PROTVER:5"}, 14, "Upgrade Printer Error 14 (105)"},
        {"ser", {"--family", "1", "--model", "9"}, 12, "Model Compare Error (9,2)"},
        {"ser", {"--data-available", "159"}, 12, "Upgrade printer not supported!"},
        {"ser", {"--mode", "U6"}, 11, "Extract UpgradeDataInfo Error"},
        {"ser", {"--prg-answer", "0x66"}, 11, "Upgrade Printer Error 11 (2)"},
        {"ser", {"--refuse", "DATAAVAIL:5"}, 11, "Extract ProtocollDataAvailable Error"},
    };
    for (const Case& c : cases) {
        Printer printer;
        ProgramResult r = Upgrade(printer, c.link, package, c.printer);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.text << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.text)) << c.text << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "OPERATION FAILURE\n")) << c.text;
        EXPECT_FALSE(Has(r.out, "Family Compare Error")) << c.text;
    }
}

TEST_F(UpgradeEndToEnd, BootModesOnlyOverUsb) {
    // The firmware goes through the USB boot program: other links are refused
    // before the printer is told to restart.
    struct Case {
        const char* link;
        const char* mode;
        int generation;
        const char* text;
    } cases[] = {
        {"ser", "U4", 2, "[SendFW]Communication port not supported (only USB)"},
        {"eth", "U4", 1, "[SendFW]Communication port not supported (only USB)"},
        {"ser", "U2", 2, "[StartUpgrade_PSW2]Upgrade U2 just support USB port error \n"},
        {"eth", "U2", 1, "[SendFW]Communication port not supported (only USB)"},
    };
    for (const Case& c : cases) {
        Printer printer;
        std::string package = Package(Layout(c.generation, 2, 512));
        ProgramResult r = Upgrade(printer, c.link, package, {"--mode", c.mode});
        std::string what = std::string(c.link) + " " + c.mode;
        EXPECT_EQ(r.exitCode, 11) << what << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.text)) << what << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "Upgrade Printer Error 11 (2)\nOPERATION FAILURE\n")) << what;
        // Refused before the release read that starts a firmware transfer.
        EXPECT_FALSE(Has(printer.Report(), "FWREL")) << what << printer.Report();
    }
}

TEST_F(UpgradeEndToEnd, RefusedBeforeTheLink) {
    // A package without upgrade record is refused while loading: not one byte goes out.
    mkfile::PackageLayout layout = Layout(2, 1, 256);
    layout.upgrade = false;
    Printer printer;
    ProgramResult r = Upgrade(printer, "eth", Package(layout), {});
    EXPECT_EQ(r.exitCode, 11) << r.out;
    // (The identification request is the test's own, made after the run.)
    EXPECT_TRUE(Has(printer.Report(), "prnsim: requests CAN GSI\n")) << printer.Report();

    // No such device: the link does not open.
    std::string good = Package(Layout(2, 1, 256), "good.psw");
    ProgramResult closed =
        testsupport::RunProgram({PRNUPGRADE_BIN, "-f", good, "-t", "ser", "-d",
                                 dir.path() + "/no-such-tty:115200:NONE", "-m", "0", "-v"});
    EXPECT_EQ(closed.exitCode, 15) << closed.out;
    EXPECT_TRUE(Has(closed.out, "Upgrade Printer Error 15 (6)\nOPERATION FAILURE\n"));
}

TEST_F(UpgradeEndToEnd, ModuleWrite) {
    mkfile::ModuleLayout m;
    m.typeLetter = "F";
    m.code = "FONT01";
    m.payload = mkfile::Pattern(5000, 3);
    std::string module = dir.write("font.mod", Text(mkfile::BuildModule(m)));
    struct Case {
        std::vector<std::string> printer;
        std::vector<std::string> args;
        int exitCode;
        const char* text;
    } cases[] = {
        {{"--module-code", "FONT01"}, {}, 0, "Module supported by this printer"},
        {{}, {}, 0, "Module not supported by this printer,  proceed anyway!!!"},
        {{"--data-available", "187"}, {}, 14, "Upgrade module not supported!"},
        {{"--module-verdict", "0x44"}, {}, 11, "Answer Error(0x44) : Module Error"},
        {{}, {"-c", "1"}, 0, "Upgrade Modules not enabled in command line arguments "},
    };
    for (const Case& c : cases) {
        Printer printer;
        ASSERT_TRUE(printer.Start("ser", c.printer)) << printer.Output();
        std::vector<std::string> args{"-f", module, "-m", "0", "-v", "-lv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProgramResult r = printer.Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.text << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.text)) << c.text << "\n" << r.out;
        bool sent = c.exitCode == 0 && c.args.empty();
        EXPECT_EQ(Has(printer.Report(), "module 1 "), sent || c.exitCode == 11) << printer.Report();
        if (c.exitCode != 0) {
            EXPECT_TRUE(Has(r.out, "Upgrade Module Error " + std::to_string(c.exitCode)));
        }
    }
}

// The network release check that fails (each attempt pays the link's close
// pauses) is the engine tests'; the one that passes is above.
TEST_F(UpgradeEndToEnd, U1ProgrammingAnswers) {
    std::string package = Package(Layout(2, 2, 512));
    struct Case {
        const char* link;
        std::vector<std::string> printer;
        int exitCode;
        int attempts;  // start commands the printer saw
        const char* text;
    } cases[] = {
        {"ser", {"--prg-answer", "0x66"}, 11, 1, "Answer: ERROR_BANK_DAMAGED"},
        {"ser",
         {"--prg-answer-once", "0x99"},
         0,
         2,
         "Error on sending banks. This is the 1/3 try."},
        {"ser", {"--prg-answer", "0x99"}, 11, 4, "Error on sending banks. This is the 4/3 try."},
    };
    for (const Case& c : cases) {
        Printer printer;
        ProgramResult r = Upgrade(printer, c.link, package, c.printer);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.text << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.text)) << c.text << "\n" << r.out;
        std::string report = printer.Report();
        size_t line = report.find("prnsim: requests");
        std::string requests = report.substr(line, report.find('\n', line) - line);
        size_t starts = 0;
        for (size_t at = 0; (at = requests.find(" FLASH", at)) != std::string::npos; ++at) {
            ++starts;
        }
        EXPECT_EQ(starts, size_t(c.attempts)) << c.text << "\n" << printer.Report();
    }
}

TEST_F(UpgradeEndToEnd, ComponentMasksChooseTheModules) {
    mkfile::PackageLayout layout = Layout(2, 2, 512);
    layout.modules = {Module('f', "F", 200, 1), Module('d', "D", 200, 2), Module('l', "L", 200, 3),
                      Module('x', "B", 200, 4)};
    std::string package = Package(layout);
    struct Case {
        const char* mask;
        bool firmware;
        std::vector<int> modules;  // package module numbers, in the order received
    } cases[] = {
        {"1", true, {}},           {"2", false, {1, 2, 3}},
        {"4", false, {4}},         {"6", false, {1, 2, 3, 4}},
        {"7", true, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Printer printer;
        ProgramResult r = Upgrade(printer, "ser", package, {}, {"-c", c.mask});
        EXPECT_EQ(r.exitCode, 0) << c.mask << "\n" << r.out;
        const std::string& report = printer.Report();
        EXPECT_EQ(Has(report, "firmware matches the package"), c.firmware) << c.mask << report;
        for (size_t i = 0; i < c.modules.size(); ++i) {
            std::string line = "module " + std::to_string(i + 1) + " ";
            size_t at = report.find(line);
            ASSERT_NE(at, std::string::npos) << c.mask << report;
            std::string match = "matches package module " + std::to_string(c.modules[i]);
            EXPECT_EQ(
                report.substr(at, report.find('\n', at) - at).find(match) != std::string::npos,
                true)
                << c.mask << " " << line << report;
        }
        EXPECT_FALSE(Has(report, "module " + std::to_string(c.modules.size() + 1) + " "))
            << c.mask << report;
    }
}

TEST_F(UpgradeEndToEnd, FaultsEndWithTheirCodeWithinTheWaits) {
    std::string package = Package(Layout(2, 4, 1024));
    struct Case {
        const char* link;
        std::vector<std::string> printer;
        int exitCode;
        long long maxMs;
    } cases[] = {
        {"ser", {"--silent-after-bank", "2"}, 11, 30000},
        {"ser", {"--fail", "program:garbage"}, 11, 30000},
        {"eth", {"--close-after", "10"}, 12, 30000},
    };
    for (const Case& c : cases) {
        Printer printer;
        long long start = NowMs();
        ProgramResult r = Upgrade(printer, c.link, package, c.printer);
        long long took = NowMs() - start;
        std::string what = std::string(c.link) + " " + c.printer.back();
        EXPECT_EQ(r.signal, 0) << what;
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.out;
        EXPECT_LT(took, c.maxMs) << what;
    }
}

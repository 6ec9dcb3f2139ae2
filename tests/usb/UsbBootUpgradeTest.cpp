// Firmware packages through the printer's USB boot program: the real
// prnupgrade against prnsim's emulated bus, where the printer restarts into
// a boot device (vendor id 045B) that keeps the bytes it was programmed with.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
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

struct BootRun {
    ProgramResult r;
    std::string programmed;  // the bytes the boot device accepted
    std::string all() const { return r.out + r.err; }
};

// 4096 bytes of firmware; the boot device's programming size is 1024 unless
// the row says otherwise, so the image goes out in four banks.
constexpr int BANKS = 4;
constexpr int BANK_SIZE = 1024;

class UsbBootUpgradeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // This test program runs under the preload itself; prnsim must not.
        unsetenv("LD_PRELOAD");
        unsetenv("UMOCKDEV_DIR");
    }

    // Writes a package; firmware gets its firmware bytes.
    std::string Package(int generation, bool withModule, std::string& firmware) {
        mkfile::PackageLayout layout;
        layout.generation = generation;
        layout.numBanks = BANKS;
        layout.bankSize = BANK_SIZE;
        layout.firmware = mkfile::Pattern(static_cast<size_t>(BANKS * BANK_SIZE), 9);
        firmware.assign(layout.firmware.begin(), layout.firmware.end());
        if (withModule) {
            mkfile::ModuleLayout font;
            font.typeLetter = "F";
            font.payload = mkfile::Pattern(300, 6);
            layout.modules.push_back({'f', mkfile::BuildModule(font), 0, 0});
        }
        mkfile::Bytes bytes = mkfile::BuildPackage(layout);
        return folder.write("p" + std::to_string(++files) + ".psw",
                            std::string(bytes.begin(), bytes.end()));
    }

    // prnsim --mode MODE --package P --usb --boot DESC -- prnupgrade -f P ...
    // The boot device is listed before the restart answer is out (appear=0),
    // so that -m 0 finds it with its one look.
    BootRun Run(const std::string& mode, const std::string& package, const std::string& boot,
                const std::string& input = "\n") {
        std::string image = folder.path() + "/image" + std::to_string(++files) + ".bin";
        std::vector<std::string> argv{
            PRNSIM_BIN, "--mode",
            mode,       "--package",
            package,    "--restart-ms",
            "0",        "--usb",
            "--boot",   "appear=0,backdelay=0,size=1024,image=" + image + "," + boot,
            "--",       PRNUPGRADE_BIN,
            "-f",       package,
            "-t",       "usb",
            "-d",       "ANY",
            "-m",       "0",
            "-v",       "-lv"};
        testsupport::RunOptions options;
        options.extraEnv.push_back("TMPDIR=" + folder.path());
        options.input = input;
        // The person answers the prompt once the printer has restarted.
        options.inputAfter = "press Enter to continue!";
        options.inputDelayMs = 500;
        options.timeoutMs = 90000;
        BootRun run;
        run.r = testsupport::RunProgram(argv, options);
        run.programmed = testsupport::ReadWholeFile(image);
        return run;
    }

    testsupport::TempDir folder;
    std::atomic<int> files{0};  // runs go side by side
};

}  // namespace

TEST_F(UsbBootUpgradeTest, BothModesWithBothGenerations) {
    struct Case {
        const char* mode;
        int generation;
        bool module;
        const char* boot;
        std::vector<const char*> present;
        std::vector<const char*> absent;
        const char* input = "\n";
    } cases[] = {
        // U4 leaves the printer to a person after the lock bit; the modules
        // follow once Enter has been read from standard input.
        {"U4", 1, false, "backon=lock-bit", {"Upgrade firmware. Please, restart the printer"}, {}},
        {"U4",
         2,
         true,
         "backon=lock-bit",
         {"reset the printer, than press Enter to continue!", "matches package module 1"},
         {"Sending Reset command", "No input"}},
        // Nobody at the console: the end of the input counts as Enter.
        {"U4",
         2,
         true,
         "backon=lock-bit",
         {"No input: going on without confirmation", "matches package module 1"},
         {},
         ""},
        // An old boot program: no save-security exchange.
        {"U2",
         1,
         false,
         "release=0.90",
         {"Release Found: 0.90", "Sending Reset command"},
         {"Sending Save Security command", "Bootloader release support security!"}},
        // The newer boot program, then the modules after the fixed wait.
        {"U2",
         2,
         true,
         "newer",
         {"New Bootloader...", "Sending Save Security NEW command",
          "Sending Data Area Blank Check command(New Bootloader)", "matches package module 1"},
         {"press Enter"}},
    };
    // The runs are independent buses; U2's module wait is a fixed 20 s, so
    // they go side by side.
    std::vector<std::future<BootRun>> runs;
    std::vector<std::string> firmware(std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string package = Package(cases[i].generation, cases[i].module, firmware[i]);
        runs.push_back(std::async(std::launch::async, [this, i, package, &cases] {
            return Run(cases[i].mode, package, cases[i].boot, cases[i].input);
        }));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        BootRun run = runs[i].get();
        std::string what = std::string(c.mode) + " gen " + std::to_string(c.generation);
        EXPECT_EQ(run.r.exitCode, 0) << what << "\n" << run.all();
        EXPECT_TRUE(Has(run.r.out, "OPERATION SUCCESS\n")) << what;
        // The image ends at the top of the address space, byte for byte.
        EXPECT_TRUE(Has(run.r.err, "boot image 4096 bytes from FFFFF000")) << what << run.r.err;
        EXPECT_TRUE(Has(run.r.err, "terminated 1 complete 1 locked 1 refused 0"))
            << what << run.r.err;
        EXPECT_TRUE(run.programmed == firmware[i]) << what;
        for (const char* text : c.present)
            EXPECT_TRUE(Has(run.all(), text)) << what << ": " << text;
        for (const char* text : c.absent)
            EXPECT_FALSE(Has(run.all(), text)) << what << ": " << text;
    }
}

TEST_F(UsbBootUpgradeTest, RefusedBanks) {
    struct Case {
        const char* boot;
        int exitCode;
        size_t programmed;  // bytes the boot device kept
        std::vector<const char*> present;
        std::vector<const char*> absent;
        const char* mode = "U4";
    } cases[] = {
        {"failonce=2",
         0,
         4096,
         {"ERROR: wrong response: PROGRAMMING error!", "Retry to send 2 bank!",
          "Bank 2 successfully sent!"},
         {"Exit.."}},
        {"failonce=3,bankerror=11",
         0,
         4096,
         {"ERROR: wrong response: CHECKSUM error!", "Retry to send 3 bank!"},
         {}},
        {"failonce=1,bankerror=2A", 0, 4096, {"ERROR: wrong response: ADDRESS error!"}, {}},
        {"failonce=1,bankerror=99", 0, 4096, {"ERROR: Unknown response!"}, {}},
        // A second refusal ends the download.
        {"failalways=2",
         11,
         1024,
         {"Retry to send 2 bank!", "Exit..", "Upgrade Error", "OPERATION FAILURE"},
         {"Sending Terminate Programming command"}},
        // The last bank is sent once more like any other; a second refusal
        // ends the download before the programming is terminated.
        {"failonce=4", 0, 4096, {"Retry to send 4 bank!", "Bank 4 successfully sent!"}, {}},
        {"failalways=4",
         11,
         3072,
         {"Retry to send 4 bank!", "Exit..", "Upgrade Error", "OPERATION FAILURE"},
         {"Sending Terminate Programming command", "Sending Lock Bit"}},
        {"failalways=4",
         11,
         3072,
         {"Retry to send 4 bank!", "Exit..", "Sending Reset command"},
         {"Sending Terminate Programming command"},
         "U2"},
    };
    std::string firmware;
    std::string package = Package(1, false, firmware);
    std::vector<std::future<BootRun>> runs;
    for (const Case& c : cases) {
        std::string boot = std::string("backon=lock-bit,") + c.boot;
        const char* mode = c.mode;
        runs.push_back(std::async(
            std::launch::async, [this, mode, package, boot] { return Run(mode, package, boot); }));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        BootRun run = runs[i].get();
        EXPECT_EQ(run.r.exitCode, c.exitCode) << c.boot << "\n" << run.all();
        EXPECT_TRUE(run.programmed == firmware.substr(0, c.programmed)) << c.boot;
        for (const char* text : c.present)
            EXPECT_TRUE(Has(run.all(), text)) << c.boot << ": " << text;
        for (const char* text : c.absent)
            EXPECT_FALSE(Has(run.all(), text)) << c.boot << ": " << text;
    }
}

TEST_F(UsbBootUpgradeTest, ConnectionAndReleasePaths) {
    struct Case {
        const char* mode;
        const char* boot;
        int exitCode;
        std::vector<const char*> present;
        std::vector<const char*> absent;
    } cases[] = {
        // Only whole banks: nothing is programmed of an image they do not fill.
        {"U4",
         "size=1000",
         11,
         {"Programming Size: 1000", "Upgrade Error"},
         {"Start do sending data!", "Sending bank"}},
        // A programming size of 0 is a wrong answer, not a division.
        {"U4",
         "size=0",
         11,
         {"ERROR: wrong response! exit...", "Init Renesas connection Error(1)"},
         {"Sending Device Selection command"}},
        {"U4",
         "noappear",
         11,
         {"Error waiting renesas device timeout..."},
         {"Starting connecting operations..."}},
        // Another answer to the restart request is logged; the boot device is
        // looked for all the same.
        {"U4",
         "backon=lock-bit,entry=HELLO_XX",
         0,
         {"Answer: HELLO_XX", "Wrong response from device! Exit from upgrade procedure..",
          "Connecting operations executed!"},
         {}},
        {"U4",
         "statuserror=01",
         11,
         {"Sending Boot Program Status Inquiry command", "ERROR: wrong response! exit..."},
         {"Start do sending data!"}},
        // Release 1.00 saves its security and takes the older paths.
        {"U2",
         "release=1.00",
         0,
         {"Bootloader release support security!", "Sending Save Security command",
          "Sending Data Area Blank Check command(OLD BOOTLOADER)"},
         {"Sending Save Security NEW command"}},
        {"U2",
         "security=00",
         11,
         {"Sending Save Security command", "ERROR: wrong response! exit...",
          "Init Renesas connection Error(1)"},
         {"Programming Size"}},
        {"U2",
         "wrong=release",
         11,
         {"Sending Get Bootloader Release command", "Init Renesas connection Error(1)"},
         {"Release Found"}},
        {"U2",
         "newer,wrong=security-new",
         11,
         {"Sending Save Security NEW command", "ERROR: wrong response! exit..."},
         {"Programming Size"}},
        // The newer boot program's status must carry its "R" before programming.
        {"U2",
         "newer,statuserror=00",
         11,
         {"ERROR: wrong status mode response! exit..."},
         {"Start do sending data!"}},
    };
    std::string firmware;
    std::string package = Package(1, false, firmware);
    std::vector<std::future<BootRun>> runs;
    for (const Case& c : cases) {
        std::string mode = c.mode;
        std::string boot = c.boot;
        runs.push_back(std::async(
            std::launch::async, [this, mode, package, boot] { return Run(mode, package, boot); }));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        BootRun run = runs[i].get();
        std::string what = std::string(c.mode) + " " + c.boot;
        EXPECT_EQ(run.r.exitCode, c.exitCode) << what << "\n" << run.all();
        EXPECT_FALSE(run.r.timedOut) << what;
        if (c.exitCode != 0) {
            EXPECT_TRUE(Has(run.r.out, "OPERATION FAILURE\n")) << what;
            EXPECT_TRUE(run.programmed.empty()) << what;
        }
        for (const char* text : c.present)
            EXPECT_TRUE(Has(run.all(), text)) << what << ": " << text;
        for (const char* text : c.absent)
            EXPECT_FALSE(Has(run.all(), text)) << what << ": " << text;
    }
}

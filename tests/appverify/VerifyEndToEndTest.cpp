// "--verify" end to end: the real prnupgrade against prnsim on TCP and on a
// pseudo-terminal (only where no restart is awaited: the line loses what is
// unread when it is reopened). A download counts as done only when the printer confirms
// it; without the option the same runs end as they always have.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "tests/app/UpgradeTestSupport.h"

using testsupport::ProgramResult;
using upgradetest::Has;
using upgradetest::Printer;
using upgradetest::Text;

namespace {

// The package holds release 1.23 in 3 banks (5 for the U5 rows that name it).
std::string Package(testsupport::TempDir& dir, int banks) {
    mkfile::PackageLayout layout;
    layout.numBanks = static_cast<uint8_t>(banks);
    layout.bankSize = 256;
    layout.firmware = mkfile::Pattern(static_cast<size_t>(banks) * 256, 7);
    return dir.write("p" + std::to_string(banks) + ".psw", Text(mkfile::BuildPackage(layout)));
}

struct Case {
    const char* link;
    const char* mode;
    std::vector<std::string> printer;  // prnsim options beyond the mode
    bool verify;
    int exitCode;
    std::vector<const char*> present;
    int banks = 3;
};

}  // namespace

TEST(VerifyEndToEnd, OnlyWhatThePrinterConfirmsCountsAsDone) {
    const char* same = "1.23";  // the printer already carries the package's release
    const Case cases[] = {
        // The printer comes back with the package's release.
        {"eth", "U1", {}, true, 0, {"Upgrade verified: the printer reports release 1.23"}},
        {"eth", "U3", {}, true, 0, {"Upgrade verified: the printer reports release 1.23"}},
        {"eth", "U5", {}, true, 0, {"Upgrade verified"}},
        // ... or with its old one: a false success without the option.
        {"eth", "U3", {"--keep-release"}, false, 0, {"OPERATION SUCCESS"}},
        {"eth",
         "U3",
         {"--keep-release"},
         true,
         19,
         {"Upgrade not verified: the printer reports release 1.00, the package holds 1.23",
          "OPERATION FAILURE", "Upgrade not verified\n"}},
        // Same release and no answer: nothing can confirm the image.
        {"ser",
         "U3",
         {"--release", same},
         true,
         19,
         {"Upgrade not verified: the printer already carried release 1.23 and no answer"}},
        // U1 on the network takes the programming answer it otherwise leaves:
        // a refusal fails, an acceptance confirms the same release.
        {"eth", "U1", {"--release", same, "--prg-answer", "0x99"}, false, 0, {"Same version"}},
        {"eth",
         "U1",
         {"--release", same, "--prg-answer", "0x99"},
         true,
         11,
         {"Programming answer: 0x99", "Error on sending banks. This is the 4/3 try."}},
        {"eth", "U1", {"--release", same}, true, 0, {"Programming answer: 0xaa", "verified"}},
        {"eth",
         "U1",
         {"--release", same, "--fail", "program:silent"},
         true,
         19,
         {"No programming answer on the network link", "already carried release 1.23"}},
        // U5 never answers its last data bank.
        {"eth",
         "U5",
         {},
         true,
         19,
         {"Upgrade not verified: the printer reports release 1.23, but no answer confirms the "
          "last data bank (mode U5)"},
         5},
    };
    testsupport::TempDir dir;
    const std::string packages[] = {Package(dir, 3), Package(dir, 5)};
    std::vector<std::future<ProgramResult>> runs;
    for (const Case& c : cases) {
        const std::string package = packages[c.banks == 3 ? 0 : 1];
        runs.push_back(std::async(std::launch::async, [&c, package] {
            std::vector<std::string> options{"--mode", c.mode,      "--restart-ms",
                                             "0",      "--package", package};
            options.insert(options.end(), c.printer.begin(), c.printer.end());
            Printer printer;
            EXPECT_TRUE(printer.Start(c.link, options)) << printer.Output();
            std::vector<std::string> args{"-f", package, "-m", "0", "-v", "-lv"};
            if (c.verify) args.push_back("--verify");
            return printer.Run(args, 120000);
        }));
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ProgramResult r = runs[i].get();
        const std::string what = std::string(c.link) + " " + c.mode + " row " + std::to_string(i);
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.out << r.err;
        for (const char* text : c.present)
            EXPECT_TRUE(Has(r.out + r.err, text)) << what << ": " << text;
        if (!c.verify) {
            EXPECT_FALSE(Has(r.out + r.err, "verified")) << what;
        }
    }
}

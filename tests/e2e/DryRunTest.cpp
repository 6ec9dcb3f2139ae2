// End to end: "--dry-run" of the real prnupgrade against prnsim on every
// link. The printer records every byte it receives: a dry run must send
// nothing but requests that only read, and its exit code must be the one the
// real run of the same package on the same printer ends with.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;
using Words = std::vector<std::string>;

// Every request a dry run may send; nothing else may reach the printer.
const Words kReadOnlyRequests = {
    "\x18",                          // cancel
    "\x1C<EPOS>",                    // ESC/POS switch
    std::string("\x1D\x49\x01", 3),  // identification
    std::string("\x1D\x49\xFF", 3),  // extended identification
    std::string("\x1D\x49\x03", 3),  // firmware release
    std::string("\x1F\xFF\x01", 3),  // protocol version
    std::string("\x1F\xFF\x28", 3),  // data available
    std::string("\x1F\xFF\x70", 3),  // upgrade information
};

// The first byte offset at which the record is no read-only request, or -1.
long FirstWrite(const std::string& record) {
    size_t at = 0;
    while (at < record.size()) {
        size_t taken = 0;
        for (const std::string& r : kReadOnlyRequests) {
            if (record.compare(at, r.size(), r) == 0) taken = r.size();
        }
        if (taken == 0) return static_cast<long>(at);
        at += taken;
    }
    return -1;
}

struct Case {
    const char* link;
    const char* name;
    Words printer;  // prnsim options
    Words args;     // prnupgrade's after -f PACKAGE
    int exitCode;
    const char* stoppedAt;  // null: the run would go on
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.link << " " << c.name; }

// prnupgrade -f ARGS -m 0 over link against a printer with the options; what
// the printer received in record.
ProgramResult RunRecorded(const std::string& link, Words printer, Words args, std::string& record) {
    testsupport::TempDir dir;
    printer.insert(printer.end(),
                   {"--restart-ms", "0", "--package", "@g2.psw", "--record", "@out"});
    if (link == "usb") printer.insert(printer.end(), {"--restart-grace-ms", "60000"});
    args.insert(args.end(), {"-m", "0"});
    ProgramResult r =
        e2e::Execute({"dry run", {link}, printer, args, 0}, link, dir.file("record")).program;
    record = testsupport::ReadWholeFile(dir.file("record"));
    return r;
}

const Words FITS{"--mode", "U1", "--config", "0;", "--family", "1"};
const Words G2{"@g2.psw"};

const Case kCases[] = {
    {"eth", "fits, newer", FITS, G2, 0, nullptr},
    {"ser", "fits, newer", FITS, G2, 0, nullptr},
    {"usb", "fits, newer", FITS, G2, 0, nullptr},
    {"eth", "wrong model", {"--model", "9"}, G2, 12, "identity"},
    {"eth", "no upgrade offered", {"--data-available", "159"}, G2, 12, "upgrade offered"},
    {"eth", "error answer", {"--fail", "upginfo:error:7"}, G2, 14, "upgrade information"},
    {"eth", "mode U6", {"--mode", "U6"}, G2, 11, "upgrade information"},
    {"eth", "generation 1 without firmware", {}, {"@g1.psw", "-c", "2"}, 11, "plan"},
    {"eth", "mode U4 off USB", {"--mode", "U4"}, G2, 11, "plan"},
    {"eth", "no upgrade information", {"--fail", "upginfo:silent"}, G2, 12, "upgrade information"},
    {"eth", "no protocol version", {"--mute", "PROTVER"}, G2, 12, "protocol version"},
};

class DryRunEndToEnd : public testing::TestWithParam<Case> {};

TEST_P(DryRunEndToEnd, PredictsTheRealRun) {
    const Case& c = GetParam();
    Words args{"-f"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Words dryArgs = args;
    dryArgs.insert(dryArgs.end(), {"--dry-run", "--json"});
    std::string record;
    ProgramResult dry = RunRecorded(c.link, c.printer, dryArgs, record);
    EXPECT_EQ(dry.exitCode, c.exitCode) << dry.out << dry.err;
    EXPECT_FALSE(record.empty()) << "the printer was not reached";
    EXPECT_EQ(FirstWrite(record), -1) << "the printer received a write";
    nlohmann::json report = nlohmann::json::parse(dry.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << dry.out;
    EXPECT_EQ(report["exit_code"], c.exitCode);
    EXPECT_EQ(report["would_go_on"], c.stoppedAt == nullptr);
    if (c.stoppedAt != nullptr) {
        EXPECT_EQ(report["stopped_at"], c.stoppedAt);
    }

    // The real run of the same package on the same printer ends alike.
    ProgramResult real = RunRecorded(c.link, c.printer, args, record);
    EXPECT_EQ(real.exitCode, c.exitCode) << "real run\n" << real.out << real.err;
    if (c.exitCode == 0) {
        EXPECT_NE(FirstWrite(record), -1) << "the real run wrote nothing";
    }
}
INSTANTIATE_TEST_SUITE_P(Cases, DryRunEndToEnd, testing::ValuesIn(kCases));

using e2e::EndToEnd;
using e2e::Row;
const Words NONE{"none"};

// clang-format off
const std::vector<Row> kDryRun = {
    // What a person reads: the printer, the package and the plan in order.
    {"text report", {"eth"}, {"--mode", "U3", "--release", "1.00", "--package", "@g2.psw"},
     {"-f", "@g2.psw", "--dry-run", "-m", "0"}, 0,
     {"DRY RUN: nothing was written to the printer\n",
      "Printer:     upgrade mode U3, family 0, model 0, customization 0, release 1.00\n",
      "Package:     generation 2, family 1, model 2, customization 3, release 1.23\n",
      "Fits:        yes\n", "Release:     newer\n", "  1. before   fonts      ",
      "  3. firmware firmware   3072 bytes, 3 banks of 1024 bytes\n",
      "Result:      the upgrade would go on (exit 0: Operation Completed)\n"}},
    // Other operations would write, or have nothing to plan: refused before
    // the link is opened; "--json" alone changes nothing.
    {"not for modules", NONE, {}, {"-f", "@font.mod", "--dry-run", "-t", "eth", "-d", "127.0.0.1:1"},
     13, {"--dry-run takes -f with a firmware package"}},
    {"not for tools", NONE, {}, {"-rtool", "2:1", "--dry-run", "-t", "eth", "-d", "127.0.0.1:1"},
     13, {"--dry-run takes -f with a firmware package"}},
    {"json alone", NONE, {}, {"--json", "-f", "none.psw", "-t", "eth"}, e2e::ANY_EXIT,
     {"--json is for --dry-run only: ignored"}},
};
E2E_ROWS(DryRun, kDryRun);
// clang-format on

}  // namespace

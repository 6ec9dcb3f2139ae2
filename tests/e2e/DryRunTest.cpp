// End to end: "--dry-run" of the real prnupgrade against prnsim on every
// link. The printer records every byte it receives: a dry run must send
// nothing but requests that only read, and its exit code must be the one the
// real run of the same package on the same printer ends with.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/mkfile/MkFile.h"
#include "tests/e2e/EndToEnd.h"
#include "tests/support/TempDir.h"

using testsupport::ProgramResult;
using testsupport::TempDir;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Text(const mkfile::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

mkfile::Bytes Module(size_t payload) {
    mkfile::ModuleLayout m;
    m.typeLetter = "F";
    m.payload = mkfile::Pattern(payload, 1);
    return mkfile::BuildModule(m);
}

using Json = nlohmann::json;

// Every request a dry run may send; nothing else may reach the printer.
const std::vector<std::string> kReadOnlyRequests = {
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
    const char* name;
    std::vector<std::string> printer;  // prnsim options
    std::vector<std::string> extra;    // prnupgrade options
    int exitCode;
    const char* stoppedAt;  // null: the run would go on
};

class DryRunEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        mkfile::PackageLayout layout;
        layout.numBanks = 3;
        layout.bankSize = 1024;
        layout.firmware = mkfile::Pattern(3 * 1024, 7);
        layout.modules.push_back({'f', Module(300), 0, 0});
        package = dir.write("p.psw", Text(mkfile::BuildPackage(layout)));
        layout.generation = 1;
        layout.modules.clear();
        firstGeneration = dir.write("p1.psw", Text(mkfile::BuildPackage(layout)));
    }

    // prnupgrade ARGS against a printer with OPTIONS on link (eth, ser, usb);
    // the printer's record of what it received in record.
    ProgramResult Run(const std::string& link, std::vector<std::string> options,
                      std::vector<std::string> args, std::string& record) {
        const std::string recordPath = dir.path() + "/record.bin";
        options.insert(options.end(),
                       {"--restart-ms", "0", "--package", package, "--record", recordPath});
        if (link == "usb") options.insert(options.end(), {"--restart-grace-ms", "60000"});
        args.insert(args.end(), {"-m", "0"});
        e2e::Row row{"dry run", {link}, options, args, 0};
        ProgramResult r = e2e::Execute(row, link, recordPath).program;
        record = testsupport::ReadWholeFile(recordPath);
        return r;
    }

    void Check(const std::string& link, const Case& c);

    TempDir dir;
    std::string package;
    std::string firstGeneration;
};

void DryRunEndToEnd::Check(const std::string& link, const Case& c) {
    const std::string what = link + " " + c.name;
    std::vector<std::string> args{"-f", package, "--dry-run", "--json"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    if (Has(c.name, "generation 1")) args[1] = firstGeneration;
    std::string record;
    ProgramResult dry = Run(link, c.printer, args, record);
    EXPECT_EQ(dry.exitCode, c.exitCode) << what << "\n" << dry.out << dry.err;
    EXPECT_FALSE(record.empty()) << what << ": the printer was not reached";
    EXPECT_EQ(FirstWrite(record), -1) << what << ": the printer received a write";
    Json report = Json::parse(dry.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << what << "\n" << dry.out;
    EXPECT_EQ(report["exit_code"], c.exitCode) << what;
    EXPECT_EQ(report["would_go_on"], c.stoppedAt == nullptr) << what;
    if (c.stoppedAt != nullptr) {
        EXPECT_EQ(report["stopped_at"], c.stoppedAt) << what;
    }

    // The real run of the same package on the same printer ends alike.
    args.erase(args.begin() + 2, args.begin() + 4);
    ProgramResult real = Run(link, c.printer, args, record);
    EXPECT_EQ(real.exitCode, c.exitCode) << what << " (real run)\n" << real.out << real.err;
    if (c.exitCode == 0) {
        EXPECT_NE(FirstWrite(record), -1) << what << ": the real run wrote nothing";
    }
}

const Case kFits{
    "fits, newer", {"--mode", "U1", "--config", "0;", "--family", "1"}, {}, 0, nullptr};
const Case kWrongModel{"wrong model", {"--model", "9"}, {}, 12, "identity"};

}  // namespace

TEST_F(DryRunEndToEnd, PredictsTheRealRunOnTheNetwork) {
    const Case cases[] = {
        kFits,
        kWrongModel,
        {"no upgrade offered", {"--data-available", "159"}, {}, 12, "upgrade offered"},
        {"error answer", {"--fail", "upginfo:error:7"}, {}, 14, "upgrade information"},
        {"mode U6", {"--mode", "U6"}, {}, 11, "upgrade information"},
        {"generation 1 without firmware", {}, {"-c", "2"}, 11, "plan"},
        {"mode U4 off USB", {"--mode", "U4"}, {}, 11, "plan"},
    };
    for (const Case& c : cases) Check("eth", c);
}

TEST_F(DryRunEndToEnd, PredictsTheRealRunWithASilentPrinter) {
    const Case cases[] = {
        {"no upgrade information", {"--fail", "upginfo:silent"}, {}, 12, "upgrade information"},
        {"no protocol version", {"--mute", "PROTVER"}, {}, 12, "protocol version"},
    };
    for (const Case& c : cases) Check("eth", c);
}

TEST_F(DryRunEndToEnd, PredictsTheRealRunOnTheSerialLineAndUsb) {
    for (const char* link : {"ser", "usb"}) {
        Check(link, kFits);
        Check(link, kWrongModel);
    }
}

// What a person reads: the printer, the package and the plan in order.
TEST_F(DryRunEndToEnd, TextReport) {
    std::string record;
    ProgramResult r =
        Run("eth", {"--mode", "U3", "--release", "1.00"}, {"-f", package, "--dry-run"}, record);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const char* line :
         {"DRY RUN: nothing was written to the printer\n",
          "Printer:     upgrade mode U3, family 0, model 0, customization 0, release 1.00\n",
          "Package:     generation 2, family 1, model 2, customization 3, release 1.23\n",
          "Fits:        yes\n", "Release:     newer\n", "  1. before   fonts      ",
          "  2. firmware firmware   3072 bytes, 3 banks of 1024 bytes\n",
          "Result:      the upgrade would go on (exit 0: Operation Completed)\n"}) {
        EXPECT_TRUE(Has(r.out, line)) << line << "\n" << r.out;
    }
}

// Other operations would write, or have nothing to plan: refused before the
// link is opened; "--json" alone changes nothing.
TEST_F(DryRunEndToEnd, OnlyForPackages) {
    std::string module = dir.write("m.mod", Text(Module(10)));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-f", module, "--dry-run", "-t", "eth", "-d", "127.0.0.1:1"},
          {"-rtool", "2:1", "--dry-run", "-t", "eth", "-d", "127.0.0.1:1"}}) {
        std::vector<std::string> argv{PRNUPGRADE_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        ProgramResult r = testsupport::RunProgram(argv);
        EXPECT_EQ(r.exitCode, 13) << args[0];
        EXPECT_TRUE(Has(r.err, "--dry-run takes -f with a firmware package")) << r.err;
    }
    ProgramResult plain =
        testsupport::RunProgram({PRNUPGRADE_BIN, "--json", "-f", "none.psw", "-t", "eth"});
    EXPECT_TRUE(Has(plain.err, "--json is for --dry-run only: ignored")) << plain.err;
}

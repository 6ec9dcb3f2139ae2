// End-to-end: the real prnupgrade binary, its output and exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

using testsupport::ProgramResult;
using testsupport::RunOptions;
using testsupport::RunProgram;
using testsupport::SplitLines;
using testsupport::TempDir;

namespace {

ProgramResult RunCli(std::vector<std::string> args, const std::string& cwd = "") {
    args.insert(args.begin(), PRNUPGRADE_BIN);
    RunOptions options;
    options.workingDirectory = cwd;
    return RunProgram(args, options);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(CommandLine, NoArgumentsPrintsTheUsageTextAndSucceeds) {
    ProgramResult r = RunCli({});
    ASSERT_EQ(r.exitCode, 0);
    std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[0], "VR Receipt Printer Upgrade Utility Command Line Application Rel:  1.24");
    EXPECT_EQ(lines[1], std::string("usage: ") + PRNUPGRADE_BIN + " --version");
    EXPECT_EQ(lines[10], std::string("usage ") + PRNUPGRADE_BIN +
                             " -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] "
                             "[toolfilename] [-v/-lv/-lf]");
    EXPECT_EQ(lines[11], lines[5]);
    EXPECT_EQ(lines[15], lines[9]);
    EXPECT_EQ(lines[22], "       -c:   if PFW select components to download can be ");
    EXPECT_EQ(lines[23], "       \t\t\t1: FW  ");
    EXPECT_EQ(lines[26], "       \t\t\t255: ALL [default] ");
    EXPECT_FALSE(Contains(r.out, "Operation Completed"));
}

TEST(CommandLine, VersionOnlyAsFirstWord) {
    ProgramResult first = RunCli({"--version", "-v"});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, "Release: 1.24\n");  // the code text goes through the silent console

    ProgramResult later = RunCli({"-v", "--version"});
    EXPECT_FALSE(Contains(later.out, "Release:"));
    EXPECT_EQ(later.exitCode, 11);  // no file given
}

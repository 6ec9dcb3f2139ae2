// End-to-end: the real prnupgrade binary, its output and exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>
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
    const std::string name = PRNUPGRADE_BIN;
    const std::string device[] = {
        "        where [device] is:",
        "              for usb: device name as returned by usbdevlist or ANY for first device "
        "in list",
        "              for eth: [ip address]:[port]",
        "              for ser: [uart device]:[baudrate]:[flow control]",
        "                       flow control can be SW, HW or NONE",
    };
    std::vector<std::string> expected = {
        "VR Receipt Printer Upgrade Utility Command Line Application Rel:  1.24",
        "usage: " + name + " --version",
        "usage: " + name + " --usbdevlist [-v/-lv/-lf]",
        "usage: " + name + " --ethdevlist [-v/-lv/-lf]",
        "usage: " + name + " -f [filename] -t [usb|eth|ser] -d [device] [-v/-lv/-lf]",
    };
    expected.insert(expected.end(), std::begin(device), std::end(device));
    expected.push_back("usage " + name +
                       " -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] "
                       "[toolfilename] [-v/-lv/-lf]");
    expected.insert(expected.end(), std::begin(device), std::end(device));
    const std::vector<std::string> tail = {
        "       [toolnum]        indicates the tool bitmask table",
        "       [toolid]         indicates the id of the tool to call",
        "       [toolfilename]   is the path of the file to read/write with specified tool and "
        "is mandatory only for the tools that required it",
        "       -v:   enable view on video",
        "       -lv:  enable log on video",
        "       -lf:  enable log on file",
        "       -c:   if PFW select components to download can be ",
        "       \t\t\t1: FW  ",
        "       \t\t\t2: MODULES (Fonts, Flash Disk, Logos) ",
        "       \t\t\t4: MODULES (other types) ",
        "       \t\t\t255: ALL [default] ",
    };
    expected.insert(expected.end(), tail.begin(), tail.end());
    ASSERT_EQ(expected.size(), 27u);
    std::string whole;
    for (const std::string& line : expected) whole += line + "\n";
    EXPECT_EQ(r.out, whole);
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

TEST(CommandLine, ArgumentScanIsShownWithTheConsoleOn) {
    struct Case {
        const char* word;
        int mask;
    } cases[] = {{"0", 255}, {"8", 255}, {"3", 3}, {"4", 4}, {"9", 9}};
    for (const Case& c : cases) {
        ProgramResult r = RunCli({"-v", "-c", c.word});
        EXPECT_TRUE(Contains(r.out, "upg_components=" + std::to_string(c.mask) + " "))
            << c.word << ": " << r.out;
    }
}

TEST(CommandLine, FileArgumentErrors) {
    TempDir dir;
    std::string mixedCase = dir.write("update.pSw", "x");
    std::string upperCase = dir.write("update.PSW", "x");
    std::string bin = dir.write("tamper.bin", std::string(32768, '\0'));

    ProgramResult last = RunCli({"-v", "-f"});
    EXPECT_EQ(last.exitCode, 11);
    EXPECT_TRUE(Contains(last.out, "filename argument not valid\n\nFile corrupted or not found\n"));

    ProgramResult refused = RunCli({"-v", "-f", mixedCase, "-t", "usb", "-d", "x"});
    EXPECT_EQ(refused.exitCode, 11);
    EXPECT_TRUE(Contains(refused.out, "filename argument not valid"));

    // Accepted: the run goes on to the link kind, which is wrong here.
    ProgramResult accepted = RunCli({"-v", "-f", upperCase, "-t", "USB", "-d", "x"});
    EXPECT_EQ(accepted.exitCode, 13);
    EXPECT_TRUE(Contains(accepted.out, "type argument not valid\n\nParameter not OK\n"));

    ProgramResult binWithoutTamper = RunCli({"-v", "-f", bin, "-t", "usb", "-d", "x"});
    EXPECT_EQ(binWithoutTamper.exitCode, 11);
    EXPECT_TRUE(Contains(binWithoutTamper.out, "filename not correct (must be a modpfw/psw)\n"));

    ProgramResult pswForTamper = RunCli({"-v", "-TM1", "-f", upperCase, "-t", "usb", "-d", "x"});
    EXPECT_EQ(pswForTamper.exitCode, 11);
    EXPECT_TRUE(Contains(pswForTamper.out,
                         "filename not correct for this type of upgrade (must be a bin)\n"));
}

TEST(CommandLine, DeviceArgumentErrors) {
    TempDir dir;
    std::string psw = dir.write("update.psw", "x");
    ProgramResult noColon = RunCli({"-v", "-f", psw, "-t", "eth", "-d", "localhost"});
    EXPECT_EQ(noColon.exitCode, 13);
    EXPECT_TRUE(Contains(noColon.out, "device argument not valid\n"));

    ProgramResult badFlow = RunCli({"-v", "-f", psw, "-t", "ser", "-d", "/dev/ttyS0:9600:XON"});
    EXPECT_EQ(badFlow.exitCode, 13);

    ProgramResult tooLong = RunCli({"-v", "-f", std::string(2000, 'a') + ".psw"});
    EXPECT_EQ(tooLong.exitCode, 13);
    EXPECT_TRUE(Contains(tooLong.out, "-f argument too long"));
}

TEST(CommandLine, ToolArgumentErrors) {
    TempDir dir;
    ProgramResult noFile = RunCli({"-v", "-rtool", "1-6"});
    EXPECT_EQ(noFile.exitCode, 13);
    EXPECT_TRUE(Contains(noFile.out, "[toolfilename] for upload SPT file not specified\n"));

    ProgramResult noDash = RunCli({"-v", "-rtool", "3"});
    EXPECT_EQ(noDash.exitCode, 13);
    EXPECT_TRUE(Contains(noDash.out, "-rtool argument not valid\n"));

    ProgramResult unknownTable = RunCli({"-v", "-rtool", "3-1"});
    EXPECT_EQ(unknownTable.exitCode, 13);

    std::string text = dir.write("tool.txt", "x");
    ProgramResult notSpt = RunCli({"-v", "-rtool", "1-6", text});
    EXPECT_EQ(notSpt.exitCode, 11);
    EXPECT_TRUE(Contains(notSpt.out, "filename argument not valid\n"));

    // An SPT name that exists but cannot be read (a folder: even root cannot
    // read it as a file).
    std::string folder = dir.file("tool.spt");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ProgramResult unreadable = RunCli({"-v", "-rtool", "1-6", folder});
    EXPECT_EQ(unreadable.exitCode, 11);
    EXPECT_TRUE(Contains(unreadable.out, "LoadBinFile FAILURE\n")) << unreadable.out;

    ProgramResult badType = RunCli({"-v", "-t", "serial", "-d", "x", "-rtool", "2-1"});
    EXPECT_EQ(badType.exitCode, 13);
    EXPECT_TRUE(Contains(badType.out, "type argument not valid\n"));
}

TEST(CommandLine, WithoutTheConsoleFailuresPrintNothing) {
    ProgramResult r = RunCli({"-rtool", "3"});
    EXPECT_EQ(r.exitCode, 13);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST(CommandLine, FileLogAppendsAcrossRunsAndIsAbsentWithoutIt) {
    TempDir dir;
    RunCli({"-rtool", "3"}, dir.path());
    EXPECT_FALSE(testsupport::FileExists(dir.file("data.log")));

    RunCli({"-lf", "-rtool", "3"}, dir.path());
    std::string once = testsupport::ReadWholeFile(dir.file("data.log"));
    RunCli({"-lf", "-rtool", "3"}, dir.path());
    std::string twice = testsupport::ReadWholeFile(dir.file("data.log"));
    ASSERT_FALSE(once.empty());
    EXPECT_EQ(twice.substr(0, once.size()), once);
    EXPECT_EQ(SplitLines(twice).size(), 2 * SplitLines(once).size());
    EXPECT_TRUE(Contains(once, "][]Parameter not OK\n"));
}

TEST(CommandLine, ScreenLogInterleavesWithTheConsole) {
    TempDir dir;
    std::string psw = dir.write("update.psw", "x");
    ProgramResult r = RunCli({"-lv", "-v", "-f", psw, "-t", "USB"}, dir.path());
    EXPECT_EQ(r.exitCode, 13);
    std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("ARGS: ", 0), 0u);
    // "[YYYY/MM/DD hh:mm:ss.mmm][main]parse_filename <name> (1) m=0 p=1 b=0 z=0 s=0"
    const std::string& logLine = lines[1];
    ASSERT_GE(logLine.size(), 26u) << logLine;
    EXPECT_EQ(logLine[0], '[');
    EXPECT_EQ(logLine[24], ']');
    EXPECT_EQ(logLine.substr(25), "[main]parse_filename " + psw + " (1) m=0 p=1 b=0 z=0 s=0");
    EXPECT_TRUE(Contains(r.out, "type argument not valid\n\n"));
    EXPECT_TRUE(Contains(r.out, "][]Parameter not OK\n"));
    EXPECT_FALSE(testsupport::FileExists(dir.file("data.log")));
}

// A tool on a device that is no serial port: the link does not open.
TEST(CommandLine, ToolOnADeviceThatDoesNotOpenIsNotFound) {
    ProgramResult tool = RunCli({"-v", "-rtool", "2-1", "-t", "ser", "-d", "/dev/null:9600:NONE"});
    EXPECT_EQ(tool.exitCode, 15);
    EXPECT_TRUE(Contains(tool.out, "Execute Tool Error 15 (6)\nDevice not found\n")) << tool.out;
}

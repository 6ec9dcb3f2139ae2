// The command line without a printer: usage, arguments, logs and exit codes.
#include "tests/e2e/EndToEnd.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using e2e::EndToEnd;
using e2e::Row;

const std::vector<std::string> NONE{"none"};

#define DEVICE_HELP                                                                            \
    "        where [device] is:\n"                                                             \
    "              for usb: device name as returned by usbdevlist or ANY for first device in " \
    "list\n"                                                                                   \
    "              for eth: [ip address]:[port]\n"                                             \
    "              for ser: [uart device]:[baudrate]:[flow control]\n"                         \
    "                       flow control can be SW, HW or NONE\n"

const char* const USAGE =
    "VR Receipt Printer Upgrade Utility Command Line Application Rel:  1.24\n"
    "usage: @bin --version\n"
    "usage: @bin --usbdevlist [-v/-lv/-lf]\n"
    "usage: @bin --ethdevlist [-v/-lv/-lf]\n"
    "usage: @bin -f [filename] -t [usb|eth|ser] -d [device] [-v/-lv/-lf]\n" DEVICE_HELP
    "usage @bin -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] [toolfilename] "
    "[-v/-lv/-lf]\n" DEVICE_HELP
    "       [toolnum]        indicates the tool bitmask table\n"
    "       [toolid]         indicates the id of the tool to call\n"
    "       [toolfilename]   is the path of the file to read/write with specified tool and is "
    "mandatory only for the tools that required it\n"
    "       -v:   enable view on video\n"
    "       -lv:  enable log on video\n"
    "       -lf:  enable log on file\n"
    "       -c:   if PFW select components to download can be \n"
    "       \t\t\t1: FW  \n"
    "       \t\t\t2: MODULES (Fonts, Flash Disk, Logos) \n"
    "       \t\t\t4: MODULES (other types) \n"
    "       \t\t\t255: ALL [default] \n";

Row Out(const char* name, std::vector<std::string> args, int exitCode, const char* out) {
    Row row{name, NONE, {}, args, exitCode};
    row.exactOut = out;
    return row;
}

// clang-format off
const std::vector<Row> kCommandLine = {
    Out("usage", {}, 0, USAGE),
    // The code text goes through the silent console.
    Out("version", {"--version", "-v"}, 0, "Release: 1.24\n"),
    {"mask 8 is all", NONE, {}, {"-v", "-c", "8"}, e2e::ANY_EXIT, {"upg_components=255 "}},
    {"mask 4", NONE, {}, {"-v", "-c", "4"}, e2e::ANY_EXIT, {"upg_components=4 "}},
    {"mask 9", NONE, {}, {"-v", "-c", "9"}, e2e::ANY_EXIT, {"upg_components=9 "}},
    {"no file name", NONE, {}, {"-v", "-f"}, 11,
     {"filename argument not valid\n\nFile corrupted or not found\n"}},
    {"mixed-case extension", NONE, {}, {"-v", "-f", "@update.pSw", "-t", "usb", "-d", "x"}, 11,
     {"filename argument not valid"}},
    // Accepted: the run goes on to the link kind, which is wrong here.
    {"upper-case extension", NONE, {}, {"-v", "-f", "@update.PSW", "-t", "USB", "-d", "x"}, 13,
     {"type argument not valid\n\nParameter not OK\n"}},
    {"image without -TM1", NONE, {}, {"-v", "-f", "@tamper.bin", "-t", "usb", "-d", "x"}, 11,
     {"filename not correct (must be a modpfw/psw)\n"}},
    {"package with -TM1", NONE, {}, {"-v", "-TM1", "-f", "@update.PSW", "-t", "usb", "-d", "x"}, 11,
     {"filename not correct for this type of upgrade (must be a bin)\n"}},
    {"network device without port", NONE, {}, {"-v", "-f", "@update.psw", "-t", "eth", "-d", "localhost"},
     13, {"device argument not valid\n"}},
    {"unknown flow control", NONE, {}, {"-v", "-f", "@update.psw", "-t", "ser", "-d", "/dev/ttyS0:9600:XON"},
     13},
    {"overlong file name", NONE, {}, {"-v", "-f", std::string(2000, 'a') + ".psw"}, 13,
     {"-f argument too long"}},
    {"SPT tool without file", NONE, {}, {"-v", "-rtool", "1-6"}, 13,
     {"[toolfilename] for upload SPT file not specified\n"}},
    {"tool without dash", NONE, {}, {"-v", "-rtool", "3"}, 13, {"-rtool argument not valid\n"}},
    {"unknown tool table", NONE, {}, {"-v", "-rtool", "3-1"}, 13},
    {"tool file not SPT", NONE, {}, {"-v", "-rtool", "1-6", "@tool.txt"}, 11,
     {"filename argument not valid\n"}},
    // An SPT name that exists but cannot be read (a folder: even root cannot
    // read it as a file).
    {"unreadable tool file", NONE, {}, {"-v", "-rtool", "1-6", "@folder.spt"}, 11,
     {"LoadBinFile FAILURE\n"}},
    {"tool with bad link kind", NONE, {}, {"-v", "-t", "serial", "-d", "x", "-rtool", "2-1"}, 13,
     {"type argument not valid\n"}},
    Out("failure without console", {"-rtool", "3"}, 13, ""),
    // A tool on a device that is no serial port: the link does not open.
    {"tool on a device that does not open", NONE, {},
     {"-v", "-rtool", "2-1", "-t", "ser", "-d", "/dev/null:9600:NONE"}, 15,
     {"Execute Tool Error 15 (6)\nDevice not found\n"}},
    // The screen log interleaves with the console.
    {"screen log", NONE, {}, {"-lv", "-v", "-f", "@update.psw", "-t", "USB"}, 13,
     {"ARGS: ", "][main]parse_filename @update.psw (1) m=0 p=1 b=0 z=0 s=0\n",
      "type argument not valid\n\n", "][]Parameter not OK\n"}},
};
E2E_ROWS(CommandLine, kCommandLine);
// clang-format on

TEST(CommandLine, FileLogAppendsAcrossRunsAndIsAbsentWithoutIt) {
    testsupport::TempDir dir;
    testsupport::RunOptions options;
    options.workingDirectory = dir.path();
    testsupport::RunProgram({PRNUPGRADE_BIN, "-rtool", "3"}, options);
    EXPECT_FALSE(testsupport::FileExists(dir.file("data.log")));
    testsupport::RunProgram({PRNUPGRADE_BIN, "-lf", "-rtool", "3"}, options);
    std::string once = testsupport::ReadWholeFile(dir.file("data.log"));
    testsupport::RunProgram({PRNUPGRADE_BIN, "-lf", "-rtool", "3"}, options);
    std::string twice = testsupport::ReadWholeFile(dir.file("data.log"));
    EXPECT_TRUE(once.find("][]Parameter not OK\n") != std::string::npos) << once;
    EXPECT_EQ(twice.substr(0, once.size()), once);
    EXPECT_EQ(testsupport::SplitLines(twice).size(), 2 * testsupport::SplitLines(once).size());
}

}  // namespace

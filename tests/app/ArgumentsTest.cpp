// The argument scan and the classifiers, called directly.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/Arguments.h"
#include "app/ExitCodes.h"
#include "common/CmdConsole.h"
#include "tests/support/TempDir.h"

using testsupport::TempDir;

namespace {

struct Parsed {
    int code;
    ProgramSettings settings;
};

Parsed Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "prnupgrade");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    Parsed parsed{0, {}};
    parsed.code = parse_args(static_cast<int>(words.size()), argv.data(), parsed.settings);
    CmdConsole::iShowToVideo = 0;
    return parsed;
}

}  // namespace

TEST(ParseArgs, ValueWordsAreExaminedAgainAndLaterOccurrencesWin) {
    Parsed p = Parse({"-f", "-v", "-f", "b.psw", "-t", "usb", "-m", "3", "-lv", "-lf"});
    EXPECT_EQ(p.code, ARGS_CONTINUE);
    EXPECT_STREQ(p.settings.filename, "b.psw");
    EXPECT_STREQ(p.settings.type, "usb");
    EXPECT_EQ(p.settings.timem, 3);
    EXPECT_EQ(p.settings.enable_log, 2);

    Parsed last = Parse({"-d", "x", "-m"});
    EXPECT_STREQ(last.settings.device, "x");
    EXPECT_EQ(last.settings.timem, 1);
    EXPECT_EQ(Parse({"-m", "fast"}).settings.timem, 0);
    EXPECT_STREQ(Parse({"-f"}).settings.filename, "");
}

TEST(ParseArgs, FlagsAndUnknownWords) {
    Parsed p = Parse({"x", "--help", "-TM1", "--usbdevlist", "--ethdevlist", "--printerversion"});
    EXPECT_EQ(p.code, ARGS_CONTINUE);  // "--help" counts only as the first word
    EXPECT_EQ(p.settings.tampermode, 1);
    EXPECT_EQ(p.settings.usbdevlist, 1);
    EXPECT_EQ(p.settings.ethdevlist, 1);
    EXPECT_EQ(p.settings.printerversion, 1);
}

TEST(ParseArgs, ToolWordSplitsAtItsFirstDash) {
    Parsed p = Parse({"-rtool", "1-6", "file.spt", "-v"});
    EXPECT_EQ(p.settings.executetool, 1);
    EXPECT_EQ(p.settings.toolnumber, 1);
    EXPECT_EQ(p.settings.toolid, 6);
    EXPECT_STREQ(p.settings.toolfilename, "file.spt");

    EXPECT_EQ(Parse({"-rtool", "2-1-4"}).settings.toolnumber, 0);  // "1-4" is not numeric
    // The tool word is not examined as an option, the file word is.
    Parsed fileIsOption = Parse({"-rtool", "-lv", "-lf"});
    EXPECT_EQ(fileIsOption.settings.enable_log, 2);
    EXPECT_STREQ(fileIsOption.settings.toolfilename, "-lf");
}

TEST(ParseArgs, OverlongWordsAreRefusedNotCut) {
    std::string longName(1024, 'a');
    EXPECT_EQ(Parse({"-f", longName}).code, EXIT_PARAMETER);
    EXPECT_EQ(Parse({"-f", longName.substr(1)}).code, ARGS_CONTINUE);
    EXPECT_EQ(Parse({"-d", longName}).code, EXIT_PARAMETER);
    EXPECT_EQ(Parse({"-rtool", std::string(128, '1') + "-1"}).code, EXIT_PARAMETER);
    EXPECT_EQ(Parse({"-rtool", std::string(127, '1') + "-" + std::string(127, '2')}).code,
              ARGS_CONTINUE);
    EXPECT_EQ(Parse({"-rtool", "1-6", longName}).code, EXIT_PARAMETER);
}

TEST(ParseFilename, OnlyExactExtensionFormsOfExistingFiles) {
    TempDir dir;
    int m, p, b, z, s = 0;
    auto classify = [&](const std::string& name) {
        return parse_filename(dir.write(name, "x").c_str(), &m, &p, &b, &z, &s);
    };
    EXPECT_TRUE(classify("update.PSW"));
    EXPECT_EQ(p, 1);
    EXPECT_FALSE(classify("update.pSw"));
    EXPECT_EQ(p, 0);  // cleared by the failed call
    EXPECT_FALSE(classify("font.mOD"));
    EXPECT_TRUE(classify("font.Mod"));
    EXPECT_EQ(m, 1);
    EXPECT_TRUE(classify("tool.spt"));
    EXPECT_TRUE(classify("x.psw"));
    EXPECT_EQ(s, 1);  // the tool-file flag keeps its value
    EXPECT_FALSE(parse_filename(dir.file("gone.psw").c_str(), &m, &p, &b, &z, &s));
    // Shorter than five characters, even when it exists.
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    dir.write(".psw", "x");
    EXPECT_FALSE(parse_filename(".psw", &m, &p, &b, &z, &s));
}

TEST(ParseDevice, NetworkAndSerialForms) {
    CommPortSettings eth;
    ASSERT_TRUE(parse_device("127.0.0.1:9100", COMMPORT_ETH, eth, nullptr));
    EXPECT_EQ(eth.iEthPort, 9100);
    CommPortSettings bad;
    EXPECT_FALSE(parse_device("printer:port", COMMPORT_ETH, bad, nullptr));

    CommPortSettings ser;
    ASSERT_TRUE(parse_device("/dev/ttyS0:115200:HW", COMMPORT_SERIAL, ser, nullptr));
    EXPECT_EQ(ser.iBaudRate, 115200);
    EXPECT_EQ(ser.iFlowControl, 1);
    EXPECT_TRUE(parse_device("/dev/ttyS0:9600:SW", COMMPORT_SERIAL, ser, nullptr));
    EXPECT_EQ(ser.iFlowControl, 2);
    EXPECT_FALSE(parse_device("/dev/ttyS0:fast:NONE", COMMPORT_SERIAL, bad, nullptr));
    EXPECT_FALSE(parse_device(("/dev/" + std::string(600, 't') + ":9600:NONE").c_str(),
                              COMMPORT_SERIAL, bad, nullptr));
    EXPECT_FALSE(parse_device("x:1", COMMPORT_NONE, bad, nullptr));
}

TEST(ParseDevice, UsbNamesAreUpperCasedAndAnyTakesTheFirstListedLine) {
    CommPortSettings usb;
    ASSERT_TRUE(parse_device("0ae7|0101|tamper1", COMMPORT_USB, usb, nullptr));
    EXPECT_STREQ(usb.szUsbDevice, "0AE7|0101|TAMPER1");
    ASSERT_TRUE(parse_device("a", COMMPORT_USB, usb, nullptr));  // an address number alone
    EXPECT_STREQ(usb.szUsbDevice, "A");

    std::string given = "0AE7|0101|tamper1\n0AE7|0202|other2\n";
    auto list = [&](std::string& out) {
        out = given;
        return true;
    };
    CommPortSettings any;
    ASSERT_TRUE(parse_device("any", COMMPORT_USB, any, list));
    EXPECT_STREQ(any.szUsbDevice, "0AE7|0101|tamper1");  // the listed case is kept

    given.clear();
    EXPECT_FALSE(parse_device("ANY", COMMPORT_USB, any, list));
    auto failing = [](std::string&) { return false; };
    EXPECT_FALSE(parse_device("ANY", COMMPORT_USB, any, failing));
    EXPECT_FALSE(parse_device("", COMMPORT_USB, any, list));
}

TEST(ExitCodes, TextsAndOperationMaps) {
    char scratch[32];
    EXPECT_STREQ(ExitCodeText(13, scratch, sizeof(scratch)), "Parameter not OK");
    EXPECT_STREQ(ExitCodeText(18, scratch, sizeof(scratch)),
                 "Requested tool is not support by this printer");
    EXPECT_STREQ(ExitCodeText(103, scratch, sizeof(scratch)), "Error 103");

    // The mapping table, row by row: columns 2, 6, 7, 9, 22, 23, 24, 25 and
    // two codes of the "other" column (a printer's error answer, and 13).
    const int errors[] = {2, 6, 7, 9, 22, 23, 24, 25, 103, 13};
    const struct {
        OperationKind operation;
        const char* name;
        int exits[10];
    } rows[] = {
        {OperationKind::Tool, "tool", {11, 15, 12, 14, 14, 14, 17, 18, 14, 14}},
        {OperationKind::Module, "module", {11, 15, 12, 14, 14, 14, 14, 14, 14, 14}},
        {OperationKind::Package, "package", {11, 15, 12, 12, 11, 12, 14, 14, 14, 14}},
        {OperationKind::AntiTamper, "anti-tamper", {11, 15, 12, 14, 14, 14, 14, 14, 14, 14}},
        {OperationKind::ZpdScript, "zpd", {11, 15, 12, 12, 14, 14, 14, 14, 14, 14}},
    };
    for (const auto& row : rows) {
        for (size_t i = 0; i < std::size(errors); ++i) {
            EXPECT_EQ(MapPrinterError(row.operation, errors[i]), row.exits[i])
                << row.name << " error " << errors[i];
        }
    }
}

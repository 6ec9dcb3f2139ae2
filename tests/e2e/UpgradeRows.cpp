// Package upgrades and module writes, end to end.
#include "tests/e2e/EndToEnd.h"

namespace {

using e2e::EndToEnd;
using e2e::Row;
using Words = std::vector<std::string>;

// An upgrade with the package by a printer that checks what arrives against
// it and is back at once from its restarts (with -m 0 the program does not
// wait for them); more: the printer's profile and fault.
Row Pkg(const char* name, Words links, const char* package, Words more, int exitCode,
        Words present = {}, Words absent = {}, Words report = {}, const char* modules = nullptr) {
    Words printer{"--restart-ms", "0", "--package", package};
    printer.insert(printer.end(), more.begin(), more.end());
    return {name,   links,  printer, {"-f", package, "-m", "0", "-v", "-lv"}, exitCode, present,
            absent, report, modules};
}

// A run that must end within the waits.
Row Bounded(Row row) {
    row.maxMs = 30000;
    return row;
}

const char* const OK = "OPERATION SUCCESS\n";
const char* const FAILURE = "OPERATION FAILURE\n";
const char* const MATCHES = "firmware matches the package";
const Words ALL{"ser", "eth", "usb"};
const Words SER{"ser"};
const Words ETH{"eth"};
const Words USB{"usb"};
// U5 restarts the printer between its code and data banks: here it restarts
// only after the run, so that no bank meets it away.
const Words U5{"--mode", "U5", "--restart-grace-ms", "60000"};

// clang-format off
// Whole upgrades: the firmware and the modules prnsim received are compared
// with the package. U5 closes and reopens the line right after its banks; a
// pseudo-terminal does not drain on close, so U5 runs on the network and USB.
const std::vector<Row> kModes = {
    Pkg("U1 gen1", ALL, "@g1.psw", {"--mode", "U1"}, 0, {OK}, {}, {MATCHES}),
    Pkg("U1 gen2 without programming answer", USB, "@g2.psw", {"--mode", "U1", "--config", "0;"},
        0, {OK}, {}, {MATCHES}, "1,2"),
    // Three banks show 33, 66 and 100 per cent.
    Pkg("U3 gen1", {"ser", "usb"}, "@g1.psw", {"--mode", "U3"}, 0,
        {"Sending bank...1/3 (33%)", "Sending bank...2/3 (66%)", "Sending bank...3/3 (100%)", OK},
        {}, {MATCHES}),
    Pkg("U3 gen2", ALL, "@g2.psw", {"--mode", "U3"}, 0, {OK}, {}, {MATCHES}, "1,2"),
    Pkg("U5 gen1", {"eth", "usb"}, "@g1.psw", U5, 0, {OK}, {}, {MATCHES}),
    Pkg("U5 gen2", USB, "@g2bare.psw", U5, 0, {OK}, {}, {MATCHES}),
    // U5 finds the printer again where it is plugged in. The waits are real
    // (-m 1): the printer must have left before its new address is looked for.
    [] {
        Row row = Pkg("U5 back under another address", USB, "@g1.psw", {"--mode", "U5"}, 0,
                      {"New info Vid:0AE7, Pid:0E15, AddrNum:2"}, {}, {MATCHES});
        row.printer.erase(row.printer.begin(), row.printer.begin() + 2);
        row.args = {"-f", "@g1.psw", "-v", "-lv"};
        row.bus = {"--device", "name=printer,pid=0E15,serial=PR0011,port=1", "--device",
                   "name=again,pid=0E15,serial=PR0012,port=1,absent", "--restart-as", "again"};
        return row;
    }(),
};
E2E_ROWS(Modes, kModes);

const std::vector<Row> kPackageFailures = {
    // The network link gives up on a missing answer sooner than the serial one.
    Pkg("mute protocol version", ETH, "@g2.psw", {"--mute", "PROTVER"}, 12,
        {"Upgrade Printer Error 12 (7)\nOPERATION FAILURE\n"}, {"Family Compare Error"}),
    Pkg("refused protocol version", SER, "@g2.psw", {"--refuse", "PROTVER:5"}, 14,
        {"Upgrade Printer Error 14 (105)\nOPERATION FAILURE\n"}),
    Pkg("other model", SER, "@g2.psw", {"--family", "1", "--model", "9"}, 12,
        {"Model Compare Error (9,2)", FAILURE}, {"Family Compare Error"}),
    Pkg("no upgrade bit", SER, "@g2.psw", {"--data-available", "159"}, 12,
        {"Upgrade printer not supported!", FAILURE}),
    Pkg("unknown mode", SER, "@g2.psw", {"--mode", "U6"}, 11, {"Extract UpgradeDataInfo Error"}),
    Pkg("refused data available", SER, "@g2.psw", {"--refuse", "DATAAVAIL:5"}, 11,
        {"Extract ProtocollDataAvailable Error"}),
    // The firmware goes through the USB boot program: other links are refused
    // before the release read that starts a firmware transfer.
    Pkg("U4 not over USB", {"ser", "eth"}, "@g2.psw", {"--mode", "U4"}, 11,
        {"[SendFW]Communication port not supported (only USB)",
         "Upgrade Printer Error 11 (2)\nOPERATION FAILURE\n"}, {}, {"!FWREL"}),
    Pkg("U2 gen2 not over USB", SER, "@g2.psw", {"--mode", "U2"}, 11,
        {"[StartUpgrade_PSW2]Upgrade U2 just support USB port error \n"}, {}, {"!FWREL"}),
    // Refused while loading: not one byte goes out (the identification
    // request is the test's own, made after the run).
    Pkg("no upgrade record", ETH, "@noupgrade.psw", {}, 11, {}, {}, {"prnsim: requests CAN GSI\n"}),
    {"no such device", {"none"}, {},
     {"-f", "@g2.psw", "-t", "ser", "-d", "@out:115200:NONE", "-m", "0", "-v"}, 15,
     {"Upgrade Printer Error 15 (6)\nOPERATION FAILURE\n"}},
    // U1's answers to the programming request: stop, or try three times more.
    Pkg("U1 bank damaged", SER, "@g2.psw", {"--prg-answer", "0x66"}, 11,
        {"Answer: ERROR_BANK_DAMAGED", "Upgrade Printer Error 11 (2)"}, {"Error on sending banks"}),
    Pkg("U1 checksum once", SER, "@g2.psw", {"--prg-answer-once", "0x99"}, 0,
        {"Error on sending banks. This is the 1/3 try.", OK}, {"This is the 2/3 try."}, {MATCHES}),
    Pkg("U1 checksum always", SER, "@g2.psw", {"--prg-answer", "0x99"}, 11,
        {"Error on sending banks. This is the 4/3 try."}),
    Bounded(Pkg("silent after bank 2", SER, "@g2.psw", {"--silent-after-bank", "2"}, 11)),
    Bounded(Pkg("garbage answer", SER, "@g2.psw", {"--fail", "program:garbage"}, 11)),
    Bounded(Pkg("link closed", ETH, "@g2.psw", {"--close-after", "10"}, 12)),
};
E2E_ROWS(PackageFailures, kPackageFailures);

// The component mask chooses what goes: the package has fonts, flash disk,
// logos and an other module (mask 7: the whole mode U1 upgrade of a
// second-generation package on the serial line). The logos and the other
// module follow the firmware at once (-m 0 skips the wait for the restart):
// the printer restarts only after the run, as a real one would have before
// the program came back.
Row Mask(const char* mask, bool firmware, const char* modules) {
    Row row = Pkg(mask, SER, "@g2mods.psw", {"--restart-grace-ms", "60000"}, 0, {}, {},
                  {firmware ? MATCHES : "!firmware"}, modules);
    row.args.insert(row.args.end(), {"-c", mask});
    return row;
}

const std::vector<Row> kMasks = {
    Mask("1", true, ""), Mask("2", false, "1,2,3"), Mask("4", false, "4"),
    Mask("6", false, "1,2,3,4"), Mask("7", true, "1,2,3,4"),
};
E2E_ROWS(Masks, kMasks);

Row Font(const char* name, Words printer, int exitCode, Words present, const char* sent,
         Words args = {}) {
    args.insert(args.begin(), {"-f", "@font.mod", "-m", "0", "-v", "-lv"});
    return {name, SER, printer, args, exitCode, present, {}, {sent}};
}

const std::vector<Row> kModuleWrites = {
    Font("supported module", {"--module-code", "FONT01"}, 0, {"Module supported by this printer"},
         "module 1 "),
    Font("unknown module", {}, 0, {"Module not supported by this printer,  proceed anyway!!!"},
         "module 1 "),
    Font("no module bit", {"--data-available", "187"}, 14,
         {"Upgrade module not supported!", "Upgrade Module Error 14"}, "!module 1 "),
    Font("refused module", {"--module-verdict", "0x44"}, 11,
         {"Answer Error(0x44) : Module Error", "Upgrade Module Error 11"}, "module 1 "),
    Font("modules masked", {}, 0, {"Upgrade Modules not enabled in command line arguments "},
         "!module 1 ", {"-c", "1"}),
};
E2E_ROWS(ModuleWrites, kModuleWrites);
// clang-format on

// Through the printer's USB boot program: the printer restarts into a boot
// device (vendor id 045B) that keeps the bytes it was programmed with, listed
// before the restart answer is out (appear=0) so that -m 0 finds it at once.
// The firmware is 4096 bytes, the programming size 1024: four banks.
Row Boot(const char* name, const char* mode, const char* package, const char* boot, int exitCode,
         Words present, Words absent = {}, size_t programmed = 4096, const char* input = "\n") {
    Row row = Pkg(name, USB, package, {"--mode", mode}, exitCode, present, absent);
    if (exitCode == 0 && programmed == 4096) {
        // The image ends at the top of the address space, byte for byte.
        row.report = {"boot image 4096 bytes from FFFFF000"};
        if (std::string(boot).find("fail") == std::string::npos)
            row.report.push_back("terminated 1 complete 1 locked 1 refused 0");
    } else if (exitCode != 0 && programmed == 4096) {
        programmed = 0;
    }
    row.received = "@b1.fw";
    row.receivedBytes = programmed;
    row.bus = {"--boot", std::string("appear=0,backdelay=0,size=1024,image=@out,") + boot};
    row.input = input;
    return row;
}

// clang-format off
const std::vector<Row> kBoot = {
    // U4 leaves the printer to a person after the lock bit; the modules
    // follow once Enter has been read from standard input.
    Boot("U4 gen1", "U4", "@b1.psw", "backon=lock-bit", 0,
         {"Upgrade firmware. Please, restart the printer", OK}),
    Boot("U4 gen2", "U4", "@b2.psw", "backon=lock-bit", 0,
         {"reset the printer, than press Enter to continue!", "matches package module 1"},
         {"Sending Reset command", "No input"}),
    // Nobody at the console: the end of the input counts as Enter.
    Boot("U4 no input", "U4", "@b2.psw", "backon=lock-bit", 0,
         {"No input: going on without confirmation", "matches package module 1"}, {}, 4096, ""),
    // An old boot program: no save-security exchange.
    Boot("U2 old boot program", "U2", "@b1.psw", "release=0.90", 0,
         {"Release Found: 0.90", "Sending Reset command"},
         {"Sending Save Security command", "Bootloader release support security!"}),
    // The newer boot program, then the modules after the fixed wait.
    Boot("U2 newer boot program", "U2", "@b2.psw", "newer", 0,
         {"New Bootloader...", "Sending Save Security NEW command",
          "Sending Data Area Blank Check command(New Bootloader)", "matches package module 1"},
         {"press Enter"}),
    // Release 1.00 saves its security and takes the older paths.
    Boot("U2 release 1.00", "U2", "@b1.psw", "release=1.00", 0,
         {"Bootloader release support security!", "Sending Save Security command",
          "Sending Data Area Blank Check command(OLD BOOTLOADER)"},
         {"Sending Save Security NEW command"}),
    // A refused bank is sent once more (a second refusal ends the download:
    // "last bank refused" below).
    Boot("refused once", "U4", "@b1.psw", "backon=lock-bit,failonce=2", 0,
         {"ERROR: wrong response: PROGRAMMING error!", "Retry to send 2 bank!",
          "Bank 2 successfully sent!"}, {"Exit.."}),
    Boot("checksum refused", "U4", "@b1.psw", "backon=lock-bit,failonce=3,bankerror=11", 0,
         {"ERROR: wrong response: CHECKSUM error!", "Retry to send 3 bank!"}),
    Boot("address refused", "U4", "@b1.psw", "backon=lock-bit,failonce=1,bankerror=2A", 0,
         {"ERROR: wrong response: ADDRESS error!"}),
    Boot("unknown refusal", "U4", "@b1.psw", "backon=lock-bit,failonce=1,bankerror=99", 0,
         {"ERROR: Unknown response!"}),
    // The last bank is sent once more like any other; a second refusal ends
    // the download before the programming is terminated.
    Boot("last bank refused once", "U4", "@b1.psw", "backon=lock-bit,failonce=4", 0,
         {"Retry to send 4 bank!", "Bank 4 successfully sent!"}),
    Boot("last bank refused", "U4", "@b1.psw", "backon=lock-bit,failalways=4", 11,
         {"Retry to send 4 bank!", "Exit..", "Upgrade Error", FAILURE},
         {"Sending Terminate Programming command", "Sending Lock Bit"}, 3072),
    Boot("U2 last bank refused", "U2", "@b1.psw", "backon=lock-bit,failalways=4", 11,
         {"Retry to send 4 bank!", "Exit..", "Sending Reset command"},
         {"Sending Terminate Programming command"}, 3072),
    // Only whole banks: nothing is programmed of an image they do not fill.
    Boot("partial bank", "U4", "@b1.psw", "size=1000", 11,
         {"Programming Size: 1000", "Upgrade Error", FAILURE}, {"Start do sending data!", "Sending bank"}),
    // A programming size of 0 is a wrong answer, not a division.
    Boot("size 0", "U4", "@b1.psw", "size=0", 11,
         {"ERROR: wrong response! exit...", "Init Renesas connection Error(1)", FAILURE},
         {"Sending Device Selection command"}),
    Boot("no boot device", "U4", "@b1.psw", "noappear", 11,
         {"Error waiting renesas device timeout...", FAILURE}, {"Starting connecting operations..."}),
    // Another answer to the restart request is logged; the boot device is
    // looked for all the same.
    Boot("other restart answer", "U4", "@b1.psw", "backon=lock-bit,entry=HELLO_XX", 0,
         {"Answer: HELLO_XX", "Wrong response from device! Exit from upgrade procedure..",
          "Connecting operations executed!"}),
    Boot("status error", "U4", "@b1.psw", "statuserror=01", 11,
         {"Sending Boot Program Status Inquiry command", "ERROR: wrong response! exit...", FAILURE},
         {"Start do sending data!"}),
    Boot("security refused", "U2", "@b1.psw", "security=00", 11,
         {"Sending Save Security command", "ERROR: wrong response! exit...",
          "Init Renesas connection Error(1)", FAILURE}, {"Programming Size"}),
    Boot("wrong release", "U2", "@b1.psw", "wrong=release", 11,
         {"Sending Get Bootloader Release command", "Init Renesas connection Error(1)", FAILURE},
         {"Release Found"}),
    Boot("newer security refused", "U2", "@b1.psw", "newer,wrong=security-new", 11,
         {"Sending Save Security NEW command", "ERROR: wrong response! exit...", FAILURE},
         {"Programming Size"}),
    // The newer boot program's status must carry its "R" before programming.
    Boot("newer status", "U2", "@b1.psw", "newer,statuserror=00", 11,
         {"ERROR: wrong status mode response! exit...", FAILURE}, {"Start do sending data!"}),
};
E2E_ROWS(Boot, kBoot);
// clang-format on

}  // namespace

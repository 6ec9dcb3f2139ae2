// Printer tools, the setup read, ZPD scripts, anti-tamper images and the USB
// device list, end to end.
#include "tests/e2e/EndToEnd.h"

namespace {

using e2e::EndToEnd;
using e2e::Row;
using Words = std::vector<std::string>;

const Words SER{"ser"};
const Words USB{"usb"};

Row Timed(Row row, long long minMs, long long maxMs = 0) {
    row.minMs = minMs;
    row.maxMs = maxMs;
    return row;
}

Row Received(Row row, const char* received) {
    row.received = received;
    return row;
}

Row OnBus(Row row, Words bus, const char* device = "ANY") {
    row.bus = bus;
    row.device = device;
    return row;
}

Row Exact(Row row, const char* out) {
    row.exactOut = out;
    return row;
}

// clang-format off
const std::vector<Row> kTools = {
    {"printer without tools", SER, {"--data-available", "175"}, {"-v", "-rtool", "1-1"}, 17,
     {"Execute Tool Error 17 (24)\n"}, {}, {"!TOOLEXEC"}},
    {"tool not in the table", SER, {"--tools", "1,0"}, {"-v", "-rtool", "1-2"}, 18,
     {"Execute Tool Error 18 (25)\n"}, {}, {"!TOOLEXEC"}},
    {"table 2 tool not offered", SER, {"--tools", "127,0"}, {"-v", "-rtool", "2-1"}, 18,
     {"Execute Tool Error 18 (25)\n"}, {}, {"!TOOLEXEC"}},
    {"tool refused", SER, {"--refuse", "TOOLEXEC:5"}, {"-v", "-rtool", "1-1"}, 14,
     {"Execute Tool Error 14 (105)\n"}, {}, {"TOOLEXEC"}},
    {"answer lines", SER, {"--tool-line", "MARK FOUND", "--tool-line", "GAP 3.5 MM"},
     {"-v", "-rtool", "1-1"}, 0, {"\nMARK FOUND\nGAP 3.5 MM\nOperation Completed\n"}, {},
     {"prnsim: tool 1/1\n"}},
    // Table 2 tools wait 1000 ms.
    Timed({"tool without answer", SER, {"--tools", "127,1", "--mute", "TOOLEXEC"},
           {"-v", "-rtool", "2-1"}, 14, {"Execute Tool Error 14 (20)\n"}}, 1000, 8000),
    {"set date and time", SER, {}, {"-rtool", "1-4"}, 0, {}, {}, {"prnsim: tool 1/8\n"}},
    Received({"upload SPT file", SER, {"--spt-out", "@out"}, {"-rtool", "1-6", "@paper.spt"}, 0,
              {}, {}, {"prnsim: tool 1/32\n"}}, "@paper.spt"),
    // The firmware release request goes unanswered: the handshake fails
    // after one read, without the retries of a silent printer.
    {"failed handshake", SER, {"--answer", "1D4903="}, {"-v", "-rtool", "1-1"}, 14,
     {"Execute Tool Error 14 (0)\n"}, {}, {"!PROTVER"}},
};
E2E_ROWS(Tools, kTools);

// The setup header prnsim sends for two lines, as the program prints it: the
// frame start, tag and count on the first line, a line end for every 00 byte.
const char* const HEADER = "\x02<C2><2>\nMODEL X1\nREL 2.07\n\x03";
const Words HEADER_LINES{"--header-line", "MODEL X1", "--header-line", "REL 2.07"};

const std::vector<Row> kSetup = {
    Exact({"printer version", {"ser", "eth"}, HEADER_LINES, {"--printerversion"}, 0}, HEADER),
    {"printer version", USB, HEADER_LINES, {"--printerversion"}, 0, {HEADER}},
    OnBus({"printer version of an absent printer", USB, {}, {"-v", "--printerversion"}, 0,
           {"Operation Completed\n"}}, {"--empty"}, "0AE7|0E15|PR0011"),
    {"printer version without header", SER, {"--mute", "HEADER"}, {"-v", "--printerversion"}, 0,
     {}, {"<C2>"}, {"HEADER"}},
    // ANY needs a listed printer.
    OnBus({"any on an empty bus", USB, {}, {"--printerversion", "-v"}, 13,
           {"device argument not valid"}}, {"--empty"}),
};
E2E_ROWS(Setup, kSetup);

// What the handshake of every operation writes before its own requests:
// ESC/POS-for-SV switch, cancel, identification, cancel, firmware release;
// and the test's own identification request after the run.
#define HANDSHAKE "\x1C<EPOS>\x18\x1D\x49\x01\x18\x1D\x49\x03"
#define SETTLE "\x18\x1D\x49\x01"

const std::vector<Row> kZpd = {
    Timed(Received({"script with pauses", SER, {"--reset-time", "300", "--record", "@out"},
                    {"-v", "-lv", "-f", "@restart.zpd"}, 0,
                    {"Setting # restart ...\n", "OPERATION SUCCESS\n\nOperation Completed\n"}, {},
                    {"prnsim: resets 1, lost 0 bytes\n"}},
                   HANDSHAKE "\x1F\xFF\x07\x1B\x40\x0A\x1F\xFF\x01" SETTLE), 600),
    Received({"script for another device", SER, {"--record", "@out"},
              {"-v", "-lv", "-f", "@other.zpd"}, 12,
              {"[PrnCom_WriteZPDFile]Device not compatible \n", "Send ZPD file Error 12 (9)\n",
               "OPERATION FAILURE\n"}}, HANDSHAKE SETTLE),
    // The second request's answer ends the script, so that every byte has
    // been read by the printer when the program closes the line.
    Received({"refused answer goes on", SER, {"--refuse", "PROTVER:5", "--record", "@out"},
              {"-v", "-lv", "-f", "@answers.zpd"}, 0,
              {"[ManageElement]Return is a Error Answer 105\n"}},
             HANDSHAKE "\x1F\xFF\x01\x1F\xFF\x28" SETTLE),
    // The printer leaves the bus once the handshake and the first request
    // have arrived; the pause lets it go before the next write.
    {"failed write", USB, {"--close-after", "17"}, {"-v", "-lv", "-f", "@pause.zpd"}, 14,
     {"[ManageElement]Write error", "Send ZPD file Error 14 (13)\n"}, {"Write ZPD File Finish!"}},
};
E2E_ROWS(Zpd, kZpd);

// An anti-tamper module in a printer whose serial text holds "tamper", as
// the device list shows it.
Row Tamper(const char* name, Words printer, int exitCode, Words present, Words absent = {},
           const char* image = "@tamper.bin") {
    printer.push_back("--tamper");
    return OnBus({name, USB, printer, {"-v", "-TM1", "-f", image}, exitCode, present, absent},
                 {"--device", "name=p,pid=0E15,serial=ATtamper1,port=1"});
}

const std::vector<Row> kTamper = {
    // The printer checks both sums of the end request against what it got;
    // 129 pauses of 100 ms and the 5 s restart wait.
    Timed(Received(Tamper("whole image", {"--tamper-out", "@out"}, 0,
                          {"Bank 128/128...\n", "Upgrade Finish!\n\nOPERATION SUCCESS\n",
                           "prnsim: tamper starts 1, sum errors 0, image 32768"}), "@tamper.bin"),
          129 * 100 + 5000),
    Tamper("refused bank", {"--tamper-nack", "3"}, 14,
           {"Bank 3/128...\n", "Upgrade Module Error 14 (13)\n"}, {"Bank 4/128"}),
    Timed(Tamper("unanswered bank", {"--tamper-silent", "2"}, 14,
                 {"Bank 2/128...\n", "Upgrade Module Error 14 (13)\n"}, {"Bank 3/128"}),
          5000, 20000),
    // A name given by hand is upper-cased: its "tamper" no longer matches.
    OnBus(Tamper("explicit name", {}, 12, {"Wrong Device to upgrade\n"}, {"Starting upgrade"}),
          {"--device", "name=p,pid=0E15,serial=ATtamper1,port=1"}, "0AE7|0E15|ATtamper1"),
    Tamper("image one byte short", {}, 11, {"Wrong Tamper upgrade file\n"}, {"Starting upgrade"},
           "@short.bin"),
    {"tamper not over USB", {"ser", "eth"}, {"--tamper"}, {"-v", "-TM1", "-f", "@tamper.bin"}, 12,
     {"Wrong Device to upgrade\n"}, {}, {"!TAMPER"}},
};
E2E_ROWS(Tamper, kTamper);

// The device list: printers only, an empty bus, an unreadable serial. A
// printer whose device node the user may not open (no udev rule): the
// documented output stays as it is, and "-v" adds one last line that says
// how to get the rights.
#define HINT                                                                                  \
    "Hint: a USB printer was found but could not be opened (no permission): the udev rule "  \
    "/lib/udev/rules.d/60-prnupgrade.rules lets the plugdev group open it; join the group "  \
    "(sudo adduser $USER plugdev), log in again and replug the printer\n"
#define LIST_ARGS \
    "ARGS: usbdevlist=1 ethdevlist=0 filename= type= device= upg_components=255 rtool=0 toolfilename=\n"

Row List(const char* name, Words bus, Words args, int exitCode, const char* out) {
    return Exact(OnBus({name, USB, {}, args, exitCode}, bus, nullptr), out);
}

const Words NO_ACCESS{"--device", "noaccess"};

const std::vector<Row> kDeviceList = {
    List("printers only", {"--device", "name=a,pid=0E15,serial=PR0011,port=1,driver=usblp",
                           "--device", "name=x,vid=1234,pid=0001,serial=PR0099,port=2,foreign"},
         {"--usbdevlist"}, 0, "LIST USB DEVICES:\n0AE7|0E15|PR0011\n\n"),
    List("empty bus", {"--empty"}, {"--usbdevlist"}, 0, "LIST USB DEVICES:\n\n"),
    List("unreadable serial", {"--device", "noserial"}, {"--usbdevlist"}, 255,
         "LIST USB DEVICES ERROR\n"),
    List("no permission", NO_ACCESS, {"--usbdevlist"}, 0, "LIST USB DEVICES:\n\n"),
    List("no permission hint", NO_ACCESS, {"--usbdevlist", "-v"}, 0,
         LIST_ARGS "LIST USB DEVICES:\n\nOperation Completed\n" HINT),
    List("no permission to open", NO_ACCESS, {"--printerversion", "-t", "usb", "-d", "ANY", "-v"},
         13, "ARGS: usbdevlist=0 ethdevlist=0 filename= type=usb device=ANY upg_components=255 "
             "rtool=0 toolfilename=\ndevice argument not valid\n\nParameter not OK\n" HINT),
    // A printer that can be opened gets no hint.
    List("no hint", {}, {"--usbdevlist", "-v"}, 0,
         LIST_ARGS "LIST USB DEVICES:\n0AE7|0E15|PR0011\n\nOperation Completed\n"),
};
E2E_ROWS(DeviceList, kDeviceList);
// clang-format on

}  // namespace

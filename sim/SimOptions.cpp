#include "sim/SimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Whole-word unsigned number (decimal, or hexadecimal with 0x) up to max.
bool Number(const char* text, unsigned long max, unsigned long& out) {
    if (text == nullptr || *text == '\0' || *text == '-') return false;
    errno = 0;
    char* end = nullptr;
    out = strtoul(text, &end, 0);
    return errno == 0 && *end == '\0' && out <= max;
}

}  // namespace

const char* SimUsage() {
    return "usage: prnsim [transport...] [printer options]\n"
           "A simulated receipt printer for prnupgrade, without hardware.\n"
           "Transports (at least one):\n"
           "  --tcp PORT             listen on the printer's raw TCP port (0: any free port);\n"
           "                         reconnections keep the printer's state\n"
           "  --bind ADDRESS         IPv4 address to listen on (default 127.0.0.1)\n"
           "  --discovery            answer network discovery on UDP port 15000\n"
           "  --discovery-repeat N   send each discovery answer N times (default 1)\n"
           "  --name NAME            printer name in discovery answers (default prnsim)\n"
           "  --pty                  open a pseudo-terminal; reach it with\n"
           "                         prnupgrade -t ser -d /dev/pts/N:115200:NONE\n"
           "  --usb ...              emulated USB bus (when built with it); every word\n"
           "                         after --usb belongs to it\n"
           "Printer:\n"
           "  --gsi N                one-byte identification word (default 0x12)\n"
           "  --gsi-ext N            extended identification word (e.g. 0x0234)\n"
           "  --release TEXT         firmware release (default 1.00)\n"
           "Faults:\n"
           "  --silent               never answer\n"
           "  --garbage              answer 0xA5 bytes instead of the real answers\n"
           "  --close-after N        drop the TCP connection once N bytes have arrived\n"
           "  --delay MS             answer MS milliseconds late\n"
           "  --refuse-reopens K     reset the K connections after the first as soon as\n"
           "                         they are taken (TCP)\n"
           "  --line-fault [in:|out:]KIND:N[:ARG]\n"
           "                         at byte N (from 0) of what the printer receives (in,\n"
           "                         the default) or sends (out), on every transport:\n"
           "                         drop:N the connection goes after N bytes (serial: the\n"
           "                         line is dead for a second), flip:N[:BIT] one bit\n"
           "                         inverted, lose:N:K K bytes lost, stall:N:MS nothing\n"
           "                         answered (in) or sent (out) for MS ms; repeatable\n"
           "Where it listens is printed on standard output, then \"prnsim: ready\".\n"
           "On SIGTERM or SIGINT it prints what it received and ends.\n";
}

bool ParseSimOptions(int argc, char** argv, SimOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long n = 0;
        auto needNumber = [&](unsigned long max) {
            if (!Number(value, max, n)) {
                error = word + " needs a number up to " + std::to_string(max);
                return false;
            }
            ++i;
            return true;
        };
        auto needText = [&](size_t max) {
            if (value == nullptr || strlen(value) > max) {
                error = word + " needs a text of at most " + std::to_string(max) + " characters";
                return false;
            }
            ++i;
            return true;
        };
        if (word == "--help" || word == "-h") {
            o.help = true;
        } else if (word == "--tcp") {
            if (!needNumber(65535)) return false;
            o.tcp = true;
            o.tcpPort = static_cast<int>(n);
        } else if (word == "--bind") {
            if (!needText(64)) return false;
            o.bindAddress = value;
        } else if (word == "--discovery") {
            o.discovery = true;
        } else if (word == "--discovery-repeat") {
            if (!needNumber(100)) return false;
            o.discoveryRepeat = static_cast<int>(n);
        } else if (word == "--name") {
            if (!needText(900)) return false;
            o.name = value;
        } else if (word == "--pty") {
            o.pty = true;
        } else if (word == "--usb") {
            o.usb = true;
            o.usbArgs.assign(argv + i + 1, argv + argc);
            break;
        } else if (word == "--gsi") {
            if (!needNumber(0xFE)) return false;
            o.extendedGsi = false;
            o.gsi = static_cast<uint16_t>(n);
        } else if (word == "--gsi-ext") {
            if (!needNumber(0xFFFF)) return false;
            o.extendedGsi = true;
            o.gsi = static_cast<uint16_t>(n);
        } else if (word == "--release") {
            if (!needText(64)) return false;
            o.release = value;
        } else if (word == "--silent") {
            o.faults.silent = true;
        } else if (word == "--garbage") {
            o.faults.garbage = true;
        } else if (word == "--close-after") {
            if (!needNumber(0xFFFFFFFFul)) return false;
            o.faults.closeAfterBytes = static_cast<size_t>(n);
        } else if (word == "--refuse-reopens") {
            if (!needNumber(1000)) return false;
            o.refuseReopens = static_cast<int>(n);
        } else if (word == "--line-fault") {
            if (!needText(64) || !o.lineFaults->Add(value, error)) return false;
        } else if (word == "--delay") {
            if (!needNumber(600000)) return false;
            o.faults.delayMs = static_cast<int>(n);
        } else if (int taken = ParseOpsOption(argc, argv, i, o.ops, error)) {
            if (taken < 0) return false;
            i += taken - 1;
        } else if (int used = ParseUpgradeOption(argc - i, argv + i, o.upgrade, error)) {
            if (used < 0) return false;
            i += used - 1;
        } else if (int words = ParseReplayOption(argc, argv, i, o.replay, error)) {
            if (words < 0) return false;
            i += words - 1;
        } else {
            error = "unknown option " + word;
            return false;
        }
    }
    if ((o.replay.fast || o.replay.run != 0) && o.replay.file.empty()) {
        error = "--fast and --run belong to --replay";
        return false;
    }
    if (!o.help && !o.tcp && !o.pty && !o.usb && !o.discovery) {
        error = "no transport given (--tcp, --pty, --discovery or --usb)";
        return false;
    }
    return true;
}

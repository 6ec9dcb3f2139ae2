#include "sim/OpsOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t MAX_TEXT = 1000;

const char* const STEP_NAMES[] = {SetupAnswers::PROTOCOL_VERSION, SetupAnswers::DATA_AVAILABLE,
                                  SetupAnswers::HEADER, ToolHandlers::TOOLS_SUPPORTED,
                                  ToolHandlers::TOOL_EXEC};

bool Number(const std::string& text, unsigned long max, unsigned long& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
    errno = 0;
    char* end = nullptr;
    out = strtoul(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && out <= max;
}

bool StepName(const std::string& name) {
    for (const char* known : STEP_NAMES) {
        if (name == known) return true;
    }
    return false;
}

// "start", "end" or a bank number.
bool TamperStep(const std::string& text, int& step) {
    unsigned long n = 0;
    if (text == "start") {
        step = TamperModule::START;
    } else if (text == "end") {
        step = TamperModule::END;
    } else if (Number(text, TamperModule::BANKS, n) && n >= 1) {
        step = static_cast<int>(n);
    } else {
        return false;
    }
    return true;
}

// A text without 00 bytes (it could not travel in a text field).
bool LineText(const char* text) { return text != nullptr && strlen(text) <= MAX_TEXT; }

}  // namespace

const char* OpsUsage() {
    return "Protocol answers:\n"
           "  --protocol-version TEXT  protocol version answered (default 1.00)\n"
           "  --data-available N       data groups offered (default 191: setup 1, logos 2,\n"
           "                           modules 4, fonts 8, tools 16, upgrade 32, status 128)\n"
           "  --header-line TEXT       a setup header line (repeat for more; replaces the\n"
           "                           default lines)\n"
           "  --mute NAME              take the request NAME and never answer it\n"
           "  --refuse NAME:CODE       answer the request NAME with the error <ERRCODE>\n"
           "                           NAME: PROTVER, DATAAVAIL, HEADER, TOOLS, TOOLEXEC\n"
           "Tools:\n"
           "  --tools M1[,M2]          tool masks of tables 1 and 2 (default 127,0); other\n"
           "                           tools are refused with <ERR1>, bad requests with <ERR2>\n"
           "  --tool-delay MS          a tool answers MS milliseconds after its request\n"
           "  --tool-line TEXT         a line of every tool's answer (repeat for more)\n"
           "  --spt-out PATH           write a received SPT file to PATH\n"
           "Anti-tamper module (the program asks for a USB printer whose serial text\n"
           "holds \"tamper\": --usb --device serial=tamper1):\n"
           "  --tamper                 the printer is an anti-tamper module: 1C FD 00 00 80 00\n"
           "                           opens a 32 KB download (the other --tamper options\n"
           "                           imply it)\n"
           "  --tamper-out PATH        write an accepted 32768-byte image to PATH\n"
           "  --tamper-silent STEP     leave STEP unanswered: start, end or bank 1..128\n"
           "  --tamper-nack STEP       answer STEP with NACK (15) instead of ACK (06)\n"
           "Scripts of raw exchanges:\n"
           "  --answer REQ=ANS         answer the bytes REQ (hexadecimal) with ANS\n"
           "                           (hexadecimal, may be empty), or restart the printer\n"
           "                           when ANS is \"reset\"\n"
           "  --answers FILE           one REQ=ANS per line; # begins a comment line\n"
           "  --reset-time MS          after a reset (also 1F FF 07) the printer loses\n"
           "                           every byte for MS milliseconds (default 0)\n"
           "  --record PATH            write every byte received to PATH at the end\n";
}

int ParseOpsOption(int argc, char** argv, int i, OpsOptions& o, std::string& error) {
    std::string word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    std::string text = value != nullptr ? value : "";
    unsigned long n = 0;
    auto fail = [&](const std::string& what) {
        error = word + " needs " + what;
        return -1;
    };
    if (word == "--tamper") {
        o.tamper.enabled = true;
        return 1;
    }
    if (word == "--protocol-version") {
        if (value == nullptr || text.empty() || text.size() > 16 || text.find('>') != text.npos) {
            return fail("a version text such as 1.00");
        }
        o.setup.protocolVersion = text;
    } else if (word == "--data-available") {
        if (!Number(text, 0xFFFFFFFFul, n)) return fail("a number");
        o.setup.dataAvailable = n;
    } else if (word == "--header-line" || word == "--tool-line") {
        if (!LineText(value)) return fail("a text of at most 1000 characters");
        bool header = word == "--header-line";
        bool& given = header ? o.headerGiven : o.toolLinesGiven;
        std::vector<std::string>& lines = header ? o.setup.headerLines : o.tools.lines;
        if (!given) lines.clear();
        given = true;
        lines.push_back(text);
    } else if (word == "--mute") {
        if (!StepName(text))
            return fail("a request name (PROTVER DATAAVAIL HEADER TOOLS TOOLEXEC)");
        o.faults.muted.insert(text);
    } else if (word == "--refuse") {
        size_t colon = text.find(':');
        if (colon == text.npos || !StepName(text.substr(0, colon)) ||
            !Number(text.substr(colon + 1), 999, n)) {
            return fail("NAME:CODE, CODE up to 999");
        }
        o.faults.refused[text.substr(0, colon)] = static_cast<int>(n);
    } else if (word == "--tools") {
        size_t comma = text.find(',');
        unsigned long m2 = 0;
        if (!Number(text.substr(0, comma), 0xFFFFFFFFul, n) ||
            (comma != text.npos && !Number(text.substr(comma + 1), 0xFFFFFFFFul, m2))) {
            return fail("M1[,M2]");
        }
        o.tools.mask1 = static_cast<uint32_t>(n);
        o.tools.mask2 = static_cast<uint32_t>(m2);
    } else if (word == "--tool-delay" || word == "--reset-time") {
        if (!Number(text, 600000, n)) return fail("a number of milliseconds up to 600000");
        (word == "--tool-delay" ? o.tools.delayMs : o.zpd.resetMs) = static_cast<int>(n);
    } else if (word == "--spt-out" || word == "--tamper-out" || word == "--record") {
        if (value == nullptr || text.empty()) return fail("a path");
        if (word == "--tamper-out") o.tamper.enabled = true;
        (word == "--spt-out"      ? o.tools.sptPath
         : word == "--tamper-out" ? o.tamper.imagePath
                                  : o.recordPath) = text;
    } else if (word == "--tamper-silent" || word == "--tamper-nack") {
        int step = 0;
        if (!TamperStep(text, step)) return fail("start, end or a bank number 1..128");
        (word == "--tamper-silent" ? o.tamper.silentSteps : o.tamper.nackSteps).push_back(step);
        o.tamper.enabled = true;
    } else if (word == "--answer") {
        ZpdResponder::Entry entry;
        if (value == nullptr || !ZpdResponder::ParseEntry(text, entry, error)) {
            if (value == nullptr) error = word + " needs REQ=ANS";
            return -1;
        }
        o.zpd.table.push_back(entry);
    } else if (word == "--answers") {
        if (value == nullptr) return fail("a file");
        if (!ZpdResponder::LoadTable(text, o.zpd.table, error)) return -1;
    } else {
        return 0;
    }
    return 2;
}

OpsPrinter::OpsPrinter(const OpsOptions& options)
    : options_(options), tools_(options.tools), tamper_(options.tamper), zpd_(options.zpd) {}

void OpsPrinter::Install(PrinterCore& core) {
    options_.setup.Install(core, options_.faults);
    tools_.Install(core, options_.faults);
    if (options_.tamper.enabled) tamper_.Install(core);
    zpd_.Install(core);
}

void OpsPrinter::Finish(const PrinterCore& core, FILE* out) const {
    for (const ToolHandlers::Run& run : tools_.Runs()) {
        fprintf(out, "prnsim: tool %u/%u\n", run.toolNum, run.mask);
    }
    if (!tools_.DateTime().empty())
        fprintf(out, "prnsim: datetime %s\n", tools_.DateTime().c_str());
    if (tools_.HasSptFile()) fprintf(out, "prnsim: spt file %zu bytes\n", tools_.SptFile().size());
    if (tamper_.Starts() > 0) {
        fprintf(out, "prnsim: tamper starts %d, sum errors %d, image %zu bytes\n", tamper_.Starts(),
                tamper_.SumErrors(), tamper_.Image().size());
    }
    if (zpd_.Resets() > 0) {
        fprintf(out, "prnsim: resets %d, lost %zu bytes\n", zpd_.Resets(), zpd_.LostBytes());
    }
    fflush(out);
    if (options_.recordPath.empty()) return;
    std::vector<uint8_t> received = core.Received();
    FILE* record = fopen(options_.recordPath.c_str(), "wb");
    if (record == nullptr) {
        fprintf(stderr, "prnsim: cannot write %s\n", options_.recordPath.c_str());
        return;
    }
    if (!received.empty()) fwrite(received.data(), 1, received.size(), record);
    fclose(record);
}

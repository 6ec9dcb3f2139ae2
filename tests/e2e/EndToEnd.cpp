#include "tests/e2e/EndToEnd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "sim/mkfile/MkFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace e2e {

namespace {

using testsupport::ProgramResult;

std::string Text(const mkfile::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

mkfile::PackageModule Module(char record, const char* letter, size_t payload, uint8_t seed) {
    mkfile::ModuleLayout m;
    m.typeLetter = letter;
    m.payload = mkfile::Pattern(payload, seed);
    return {record, mkfile::BuildModule(m), 0, 0};
}

mkfile::PackageLayout Layout(int generation, int banks, int bankSize, uint8_t seed,
                             std::vector<mkfile::PackageModule> modules = {}) {
    mkfile::PackageLayout layout;
    layout.generation = generation;
    layout.numBanks = static_cast<uint8_t>(banks);
    layout.bankSize = static_cast<uint32_t>(bankSize);
    layout.firmware = mkfile::Pattern(static_cast<size_t>(banks * bankSize), seed);
    layout.modules = std::move(modules);
    return layout;
}

std::string Zpd(const std::vector<std::string>& body, const char* device = "0112") {
    mkfile::ZpdLayout layout;
    layout.device = device;  // prnsim's identification 0x12
    layout.body = body;
    return mkfile::BuildZpd(layout);
}

// The files the rows name, made once: name -> path.
const std::map<std::string, std::string>& Files() {
    static testsupport::TempDir dir;
    static const std::map<std::string, std::string> files = [] {
        mkfile::PackageLayout noUpgrade = Layout(2, 1, 256, 21);
        noUpgrade.upgrade = false;
        mkfile::PackageLayout boot1 = Layout(1, 4, 1024, 9);
        mkfile::ModuleLayout font;
        font.typeLetter = "F";
        font.code = "FONT01";
        font.payload = mkfile::Pattern(5000, 3);
        std::map<std::string, std::string> contents = {
            {"g1.psw", Text(mkfile::BuildPackage(Layout(1, 3, 1024, 21)))},
            // Modules that go before the firmware (U5 sends them after it).
            {"g2.psw", Text(mkfile::BuildPackage(Layout(
                           2, 3, 1024, 21, {Module('f', "F", 300, 1), Module('d', "D", 300, 2)})))},
            {"g2bare.psw", Text(mkfile::BuildPackage(Layout(2, 3, 1024, 21)))},
            {"g2mods.psw", Text(mkfile::BuildPackage(
                               Layout(2, 2, 512, 21,
                                      {Module('f', "F", 200, 1), Module('d', "D", 200, 2),
                                       Module('l', "L", 200, 3), Module('x', "B", 200, 4)})))},
            {"noupgrade.psw", Text(mkfile::BuildPackage(noUpgrade))},
            // Release 1.23 in 3 or 5 banks of 256 bytes.
            {"v3.psw", Text(mkfile::BuildPackage(Layout(2, 3, 256, 7)))},
            {"v5.psw", Text(mkfile::BuildPackage(Layout(2, 5, 256, 7)))},
            {"b1.psw", Text(mkfile::BuildPackage(boot1))},
            {"b1.fw", Text(boot1.firmware)},
            {"b2.psw",
             Text(mkfile::BuildPackage(Layout(2, 4, 1024, 9, {Module('f', "F", 300, 6)})))},
            {"font.mod", Text(mkfile::BuildModule(font))},
            {"tamper.bin", Text(mkfile::BuildTamperImage("0104"))},
            {"short.bin", Text(mkfile::BuildTamperImage("0104", 32767))},
            {"paper.spt", std::string("SPT\x00\x01\x02<>\x03 data", 15)},
            {"update.pSw", "x"},
            {"update.PSW", "x"},
            {"update.psw", "x"},
            {"tool.txt", "x"},
            // The printer loses what comes within 300 ms of its reset: the
            // pause after the reset request keeps the next request from being
            // lost. The scripts end with an answer: a pseudo-terminal closed
            // by the program may drop what the printer has not read yet.
            {"restart.zpd", Zpd({"# restart", "[1F][FF][07]", "#>[OP_SLEEPMSEC] 600",
                                 "[1B]x[40] [0A]", "[1F][FF][01]", "#>[OP_WAITPSANSWER]"})},
            {"other.zpd", Zpd({"[1B][40]"}, "0099")},
            {"answers.zpd",
             Zpd({"[1F][FF][01]", "#>[OP_WAITPSANSWER]", "[1F][FF][28]", "#>[OP_WAITPSANSWER]"})},
            {"pause.zpd", Zpd({"[1B][40]", "#>[OP_SLEEPMSEC] 500", "[0A]", "[0B]"})},
        };
        std::map<std::string, std::string> paths;
        for (const auto& [name, bytes] : contents) paths[name] = dir.write(name, bytes);
        // A tool file name that cannot be read as a file.
        paths["folder.spt"] = dir.file("folder.spt");
        mkdir(paths["folder.spt"].c_str(), 0755);
        paths["bin"] = PRNUPGRADE_BIN;
        return paths;
    }();
    return files;
}

// Replaces every "@name" of a known file (or "@out") by its path.
std::string Expand(std::string text, const std::string& out) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
        size_t end = at + 1;
        while (end < text.size() && (isalnum(static_cast<unsigned char>(text[end])) ||
                                     text[end] == '.' || text[end] == '_')) {
            ++end;
        }
        // The longest known name wins ("@b1.fw" rather than "@b1").
        for (; end > at + 1; --end) {
            std::string name = text.substr(at + 1, end - at - 1);
            auto known = Files().find(name);
            std::string path = name == "out" ? out : known != Files().end() ? known->second : "";
            if (path.empty()) continue;
            text.replace(at, end - at, path);
            at += path.size() - 1;
            break;
        }
    }
    return text;
}

std::vector<std::string> Expand(std::vector<std::string> words, const std::string& out) {
    for (std::string& w : words) w = Expand(w, out);
    return words;
}

// The printer reads its line in order: once it answers an identification
// request of ours, it has taken in everything the program wrote before.
void Settle(const testsupport::SimProcess& sim, const std::string& link) {
    const int fd = link == "eth" ? testsupport::ConnectLoopback(sim.TcpPort())
                                 : open(sim.Announced("pty").c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return;
    const unsigned char request[] = {0x18, 0x1D, 0x49, 0x01};
    if (write(fd, request, sizeof(request)) == static_cast<ssize_t>(sizeof(request))) {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 3000);
    }
    close(fd);
}

// The package module numbers of the "module N ..." lines of the report, in order.
std::string ModulesReceived(const std::string& report) {
    std::string order;
    for (int n = 1;; ++n) {
        size_t at = report.find("module " + std::to_string(n) + " ");
        if (at == std::string::npos) return order;
        std::string line = report.substr(at, report.find('\n', at) - at);
        size_t match = line.find("matches package module ");
        order += (n > 1 ? "," : "") + (match == std::string::npos ? "?" : line.substr(match + 23));
    }
}

}  // namespace

std::vector<Case> Cases(const std::vector<Row>& rows) {
    std::vector<Case> cases;
    for (const Row& row : rows) {
        for (const std::string& link : row.links) {
#ifndef PRN_E2E_USB
            if (link == "usb") continue;
#endif
            cases.push_back({&row, link});
        }
    }
    return cases;
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name = info.param.link + "_";
    for (const char* p = info.param.row->name; *p != '\0'; ++p) {
        if (isalnum(static_cast<unsigned char>(*p))) name += *p;
    }
    return name;
}

Outcome Execute(const Row& row, const std::string& link, const std::string& out) {
    std::vector<std::string> argv{PRNUPGRADE_BIN};
    for (const std::string& a : Expand(row.args, out)) argv.push_back(a);
    testsupport::RunOptions options;
    options.workingDirectory = out.substr(0, out.rfind('/'));
    options.timeoutMs = 120000;
    options.input = row.input;
    options.inputAfter = "press Enter to continue!";
    options.inputDelayMs = 500;

    Outcome outcome;
    testsupport::SimProcess sim;
    std::vector<std::string> simArgv = Expand(row.printer, out);
    simArgv.insert(simArgv.begin(), PRNSIM_BIN);
    if (link == "ser" || link == "eth") {
        simArgv.push_back(link == "eth" ? "--tcp" : "--pty");
        if (link == "eth") simArgv.push_back("0");
        if (!sim.Start(simArgv)) {
            ADD_FAILURE() << sim.Output();
            return outcome;
        }
        std::string device = link == "eth" ? "127.0.0.1:" + std::to_string(sim.TcpPort())
                                           : sim.Announced("pty") + ":115200:NONE";
        argv.insert(argv.end(), {"-t", link, "-d", device});
    } else if (link == "usb") {
        // prnsim PRINTER... --usb BUS... -- prnupgrade ARGS... -t usb -d DEVICE
        simArgv.push_back("--usb");
        for (const std::string& w : Expand(row.bus, out)) simArgv.push_back(w);
        simArgv.push_back("--");
        if (row.device != nullptr) argv.insert(argv.end(), {"-t", "usb", "-d", row.device});
        argv.insert(argv.begin(), simArgv.begin(), simArgv.end());
        options.extraEnv.push_back("TMPDIR=" + options.workingDirectory);
    }

    long long start = testsupport::NowMs();
    outcome.program = testsupport::RunProgram(argv, options);
    outcome.ms = testsupport::NowMs() - start;
    // prnsim on the bus reports on either stream.
    outcome.report = outcome.program.out + outcome.program.err;
    if (sim.Running()) {
        Settle(sim, link);
        outcome.report = sim.Stop();
    }
    return outcome;
}

void RunCase(const Case& c) {
    const Row& row = *c.row;
    testsupport::TempDir folder;
    const std::string out = folder.file("out");
    Outcome outcome = Execute(row, c.link, out);
    const ProgramResult& r = outcome.program;
    const std::string& report = outcome.report;
    const std::string printed = r.out + r.err;

    EXPECT_FALSE(r.timedOut);
    if (row.exitCode != ANY_EXIT) {
        EXPECT_EQ(r.exitCode, row.exitCode) << printed << report;
    }
    for (const std::string& text : Expand(row.present, out))
        EXPECT_TRUE(Has(printed, text)) << text << "\n" << printed;
    for (const std::string& text : Expand(row.absent, out))
        EXPECT_FALSE(Has(printed, text)) << text << "\n" << printed;
    for (const std::string& text : row.report) {
        bool not_ = text[0] == '!';
        EXPECT_EQ(Has(report, text.substr(not_ ? 1 : 0)), !not_) << text << "\n" << report;
    }
    if (row.modules != nullptr) {
        EXPECT_EQ(ModulesReceived(report), row.modules) << report;
    }
    if (row.received != nullptr) {
        std::string expected = row.received;
        if (expected[0] == '@') expected = testsupport::ReadWholeFile(Expand(expected, out));
        EXPECT_TRUE(testsupport::ReadWholeFile(out) == expected.substr(0, row.receivedBytes))
            << "@out differs from " << row.received;
    }
    EXPECT_GE(outcome.ms, row.minMs);
    if (row.maxMs > 0) {
        EXPECT_LT(outcome.ms, row.maxMs);
    }
    if (row.exactOut != nullptr) {
        EXPECT_EQ(r.out, Expand(row.exactOut, out));
    }
}

TEST_P(EndToEnd, Row) { RunCase(GetParam()); }

}  // namespace e2e

// The identification handshake: against prnsim over a pseudo-terminal and
// over TCP, and its failure branches against a scripted link.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "comm/ComPortEth.h"
#include "comm/ComPortRs232.h"
#include "comm/IdentificationHandshake.h"
#include "tests/comm/ScriptedLink.h"
#include "tests/support/SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::SimProcess;

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

double CpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Measure(const char* what, Clock::duration took, double cpu = -1) {
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    if (cpu >= 0) {
        printf("[ MEASURE  ] %s: %lld ms wall, %.3f s CPU\n", what, ms, cpu);
    } else {
        printf("[ MEASURE  ] %s: %lld ms\n", what, ms);
    }
    ::testing::Test::RecordProperty(what, static_cast<int>(ms));
}

// A serial link on prnsim's pseudo-terminal.
struct SerialToSim {
    SimProcess sim;
    CComPortRs232 link;
    bool Start(const std::vector<std::string>& options) {
        std::vector<std::string> argv{PRNSIM_BIN, "--pty"};
        argv.insert(argv.end(), options.begin(), options.end());
        if (!sim.Start(argv)) return false;
        std::string path = sim.Announced("pty");
        std::vector<char> device(path.begin(), path.end());
        device.push_back('\0');
        return link.Init(device.data(), 115200, 0, false) && link.Open();
    }
};

}  // namespace

TEST(SerialHandshake, PlainIdentificationByte) {
    SerialToSim s;
    ASSERT_TRUE(s.Start({"--gsi", "0x12"})) << s.sim.Output();
    unsigned long gsi = 0;
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(s.link.HandshakeCommunication(&gsi));
    Measure("serial handshake", Clock::now() - start);
    EXPECT_EQ(gsi, 0x0112u);
    std::string report = s.sim.Stop();
    EXPECT_NE(report.find("requests ESCPOS_SV CAN GSI CAN FWREL\n"), std::string::npos) << report;
}

TEST(SerialHandshake, ExtendedIdentificationWord) {
    SerialToSim s;
    ASSERT_TRUE(s.Start({"--gsi-ext", "0x0234"})) << s.sim.Output();
    unsigned long gsi = 0;
    ASSERT_TRUE(s.link.HandshakeCommunication(&gsi));
    EXPECT_EQ(gsi, 0x0234u);
    std::string report = s.sim.Stop();
    EXPECT_NE(report.find("requests ESCPOS_SV CAN GSI CAN GSIFF CAN FWREL\n"), std::string::npos)
        << report;
}

TEST(SerialHandshake, SilentPrinterFailsAfterFiveAttempts) {
    SerialToSim s;
    ASSERT_TRUE(s.Start({"--silent"})) << s.sim.Output();
    s.link.SetTimeoutRX(s.link.GetTimeoutRX() * 2);  // as the link is opened for an operation
    unsigned long gsi = 77;
    double cpuBefore = CpuSeconds();
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(s.link.HandshakeCommunication(&gsi));
    Clock::duration took = Clock::now() - start;
    Measure("silent serial handshake", took, CpuSeconds() - cpuBefore);
    EXPECT_EQ(gsi, 77u);
    EXPECT_GE(took, std::chrono::milliseconds(4 * 1500 + 5 * 2000));
    std::string report = s.sim.Stop();
    EXPECT_EQ(Count(report, " ESCPOS_SV"), 3u) << report;
    EXPECT_EQ(Count(report, " GSI"), 5u) << report;
}

TEST(EthHandshake, OverTcpToPrnsim) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({PRNSIM_BIN, "--tcp", "0", "--gsi-ext", "0x0301"})) << sim.Output();
    std::string where = sim.Announced("tcp");
    int port = std::stoi(where.substr(where.find(':') + 1));
    CComPortEth link;
    char host[] = "127.0.0.1";
    ASSERT_TRUE(link.Init(host, port));
    Clock::time_point start = Clock::now();
    ASSERT_TRUE(link.Open());
    unsigned long gsi = 0;
    ASSERT_TRUE(link.HandshakeCommunication(&gsi));
    Measure("network open and handshake", Clock::now() - start);
    EXPECT_EQ(gsi, 0x0301u);
}

TEST(HandshakeExchange, FailsWhenTheExtendedWordOrTheReleaseIsMissing) {
    ScriptedLink noWord;
    noWord.reads = {"\xff", ""};
    unsigned long gsi = 5;
    EXPECT_FALSE((IdentificationHandshake{3, 0}.Run(noWord, &gsi)));
    EXPECT_EQ(gsi, 5u);

    ScriptedLink noRelease;
    noRelease.reads = {"", ScriptedLink::FAIL, "\x21", ""};
    EXPECT_FALSE((IdentificationHandshake{3, 0}.Run(noRelease, &gsi)));
    EXPECT_EQ(gsi, 0x0121u);  // stored before the release is asked for
    EXPECT_EQ(noRelease.readCalls, 4);

    // Attempt 1 and 3 begin with the switch command; every attempt with CAN and GSI.
    std::vector<std::string> written;
    for (const auto& w : noRelease.writes) written.emplace_back(w.bytes.begin(), w.bytes.end());
    std::vector<std::string> expected{"\x1c<EPOS>", "\x18", "\x1d\x49\x01", "\x18", "\x1d\x49\x01",
                                      "\x1c<EPOS>", "\x18", "\x1d\x49\x01", "\x18", "\x1d\x49\x03"};
    EXPECT_EQ(written, expected);

    ScriptedLink ok;
    ok.reads = {"\x12", "1.00"};
    EXPECT_TRUE((IdentificationHandshake{1, 0}.Run(ok, nullptr)));
}

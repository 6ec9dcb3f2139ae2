// The identification handshake: against prnsim over a pseudo-terminal and
// over TCP, and its failure branches against a scripted link.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "comm/ComPortEth.h"
#include "comm/ComPortRs232.h"
#include "comm/IdentificationHandshake.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/comm/ScriptedLink.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::SimProcess;

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

// The plain identification runs in every end-to-end operation; here the
// extended one, asked for when the printer answers FF.
TEST(SerialHandshake, ExtendedIdentification) {
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
    Clock::time_point start = Clock::now();
    EXPECT_FALSE(s.link.HandshakeCommunication(&gsi));
    Clock::duration took = Clock::now() - start;
    EXPECT_EQ(gsi, 77u);
    EXPECT_GE(took, std::chrono::milliseconds(4 * 1500 + 5 * 2000));
    std::string report = s.sim.Stop();
    EXPECT_EQ(Count(report, " ESCPOS_SV"), 3u) << report;
    EXPECT_EQ(Count(report, " GSI"), 5u) << report;
}

// Fifteen attempts three seconds apart, counted through the pause function
// and on the printer's side; the printer answers nothing.
TEST(EthHandshake, SilentPrinterFailsAfterFifteenAttempts) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({PRNSIM_BIN, "--tcp", "0", "--silent"})) << sim.Output();
    CComPortEth link;
    char host[] = "127.0.0.1";
    ASSERT_TRUE(link.Init(host, sim.TcpPort()));
    std::vector<int> pauses;
    link.SetPauseFunction([&](int ms) { pauses.push_back(ms); });
    ASSERT_TRUE(link.Open());
    link.SetTimeoutRX(10);
    unsigned long gsi = 77;
    EXPECT_FALSE(link.HandshakeCommunication(&gsi));
    EXPECT_EQ(gsi, 77u);
    EXPECT_EQ(pauses, std::vector<int>(14, 3000));
    link.Close();
    EXPECT_EQ(pauses.size(), 15u);
    EXPECT_EQ(pauses.back(), 2000);  // the pause of Close
    std::string report = sim.Stop();
    EXPECT_EQ(Count(report, " GSI"), 15u) << report;
    EXPECT_EQ(Count(report, " ESCPOS_SV"), 8u) << report;
}

TEST(HandshakeExchange, FailsWhenTheExtendedWordOrTheReleaseIsMissing) {
    ScriptedLink noWord;
    noWord.reads = {"\xff", ""};
    unsigned long gsi = 5;
    EXPECT_FALSE((IdentificationHandshake{3, 0, nullptr}.Run(noWord, &gsi)));
    EXPECT_EQ(gsi, 5u);

    ScriptedLink noRelease;
    noRelease.reads = {"", ScriptedLink::FAIL, "\x21", ""};
    EXPECT_FALSE((IdentificationHandshake{3, 0, nullptr}.Run(noRelease, &gsi)));
    EXPECT_EQ(gsi, 0x0121u);  // stored before the release is asked for
    EXPECT_EQ(noRelease.readCalls, 4);

    // Attempt 1 and 3 begin with the switch command; every attempt with CAN and GSI.
    std::vector<std::string> written;
    for (const auto& w : noRelease.writes) written.emplace_back(w.bytes.begin(), w.bytes.end());
    std::vector<std::string> expected{"\x1c<EPOS>", "\x18", "\x1d\x49\x01", "\x18", "\x1d\x49\x01",
                                      "\x1c<EPOS>", "\x18", "\x1d\x49\x01", "\x18", "\x1d\x49\x03"};
    EXPECT_EQ(written, expected);
    // The receive side is emptied in every attempt, after the switch command
    // and before CAN and the request.
    EXPECT_EQ(noRelease.cleanRxAt, (std::vector<size_t>{1, 3, 6}));

    ScriptedLink ok;
    ok.reads = {"\x12", "1.00"};
    EXPECT_TRUE((IdentificationHandshake{1, 0, nullptr}.Run(ok, nullptr)));
}

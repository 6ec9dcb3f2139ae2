#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/replay/Recording.h"
#include "sim/replay/ReplayScript.h"
#include "sim/replay/Replayer.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Kind = RecordedEvent::Kind;

const std::string TABS = "\t\t\t\t\t\t\t\t\t\t";

// A log written by hand in the program's layout.
std::string Line(const std::string& time, const std::string& function, const std::string& text) {
    return "[2026/12/07 " + time + "][" + function + "]" + text + "\n";
}

std::string Trace(const std::string& time, const std::string& text) {
    return Line(time, "LinkTrace", text);
}

// A traced transfer, "eth sent" or "ser received", and its dump rows.
std::string Dump(const std::string& time, const std::string& what, const std::string& rows,
                 int count) {
    return Trace(time, what + " " + std::to_string(count) + " bytes") + rows;
}

const std::string ROW_GSI =  // 1d 49 01
    TABS + "0000: 1d 49 01                                        .I.\n";
const std::string ROW_ANSWER =  // 12
    TABS + "0000: 12                                              .\n";
const std::string ROWS_18 =
    TABS + "0000: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f   ................\n" + TABS +
    "0010: 10 11                                             ..\n";

std::string ExitLine(const std::string& time) { return Line(time, "", "Operation Completed"); }

std::string Uptake(PrinterCore& core) {
    std::string out;
    uint8_t buffer[256];
    size_t n;
    while ((n = core.TakeOutput(buffer, sizeof(buffer))) > 0) {
        out.append(reinterpret_cast<char*>(buffer), n);
    }
    return out;
}

void Feed(PrinterCore& core, const Bytes& bytes) { core.Receive(bytes.data(), bytes.size()); }

}  // namespace

TEST(RecordingReader, ReadsEventsOfTheLastTracedRunOrOfTheRunAsked) {
    std::string log =
        Line("10:00:00.000", "main", "first run") + Trace("10:00:00.001", "eth opened") +
        Dump("10:00:00.002", "eth sent", ROW_GSI, 3) + ExitLine("10:00:00.003") +
        Line("10:00:01.000", "main", "second run, other lines between") +
        Trace("10:00:01.000", "ser opened") + Dump("10:00:01.010", "ser sent", ROWS_18, 18) +
        Line("10:00:01.011", "ReadProtocollData", "Begin") +
        Dump("10:00:01.250", "ser received", ROW_ANSWER, 1) +
        Trace("10:00:01.300", "ser open failed") + Trace("10:00:01.400", "ser lost") +
        Trace("10:00:01.500", "ser closed") + ExitLine("10:00:01.600") +
        Line("10:00:02.000", "main", "a run without link traffic") + ExitLine("10:00:02.100");
    Recording last;
    std::string error;
    ASSERT_TRUE(ReadRecording(log, 0, last, error)) << error;
    EXPECT_EQ(last.link, "ser");
    ASSERT_EQ(last.events.size(), 6u);
    const Kind kinds[] = {Kind::Opened,     Kind::Sent, Kind::Received,
                          Kind::OpenFailed, Kind::Lost, Kind::Closed};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(last.events[i].kind, kinds[i]) << i;
    Bytes eighteen;
    for (uint8_t b = 0; b < 18; ++b) eighteen.push_back(b);
    EXPECT_EQ(last.events[1].bytes, eighteen);
    EXPECT_EQ(last.events[2].bytes, Bytes{0x12});
    EXPECT_EQ(last.events[2].atMs - last.events[1].atMs, 240);
    EXPECT_EQ(last.events[1].line, 8u);

    Recording first;
    ASSERT_TRUE(ReadRecording(log, 1, first, error)) << error;
    EXPECT_EQ(first.link, "eth");
    ASSERT_EQ(first.events.size(), 2u);
    EXPECT_EQ(first.events[1].bytes, (Bytes{0x1d, 0x49, 0x01}));

    Recording none;
    EXPECT_FALSE(ReadRecording(log, 3, none, error));
    EXPECT_NE(error.find("run 3"), std::string::npos) << error;
}

TEST(RecordingReader, DamagedRecordingsAreRefusedWithTheLine) {
    const std::string head = Line("10:00:00.000", "main", "start");  // line 1
    auto sent = [&head](const std::string& rows, int count) {
        return head + Dump("10:00:00.001", "eth sent", rows, count);
    };
    auto trace = [&head](const std::string& text) { return head + Trace("10:00:00.001", text); };
    struct Case {
        std::string log;
        const char* why;
    } cases[] = {
        {sent("", 3), "line 2: the dump ends after 0 of 3 bytes"},
        {sent(TABS + "0000: 00 01 02 03 04 05 06 07 08 09 0a 0b", 18),
         "line 3: the dump row is cut short"},
        {sent(ROWS_18.substr(0, ROWS_18.find('\n') + 1), 18),
         "line 2: the dump ends after 16 of 18 bytes"},
        {sent(TABS + "0010: 1d 49 01\n", 3),
         "line 3: the dump row is at offset 10 where 0 was expected"},
        {sent(TABS + "0000: 1d 4x 01\n", 3),
         "line 3: the dump row has a cell that is no hexadecimal byte"},
        {sent(ROW_GSI, 2), "line 3: the dump row holds more bytes than its line announced"},
        {sent("garbage\n", 3), "line 3: a dump row was expected"},
        {trace("eth sent many bytes"), "line 2: no byte count"},
        {trace("eth sent 99999999999 bytes"), "line 2: no byte count"},
        {trace("eth sent 0 bytes"), "line 2: byte count out of range"},
        {trace("eth flew away"), "line 2: unknown link trace"},
        {trace("can opened"), "line 2: unknown link kind"},
        {trace("eth opened") + Trace("10:00:00.002", "usb opened"),
         "line 3: a usb link in a run of the eth link"},
        {head, "the log holds no link trace"},
    };
    for (const Case& c : cases) {
        Recording recording;
        std::string error;
        EXPECT_FALSE(ReadRecording(c.log, 0, recording, error)) << c.why;
        EXPECT_EQ(error.rfind(c.why, 0), 0u) << "got: " << error << "\nwanted: " << c.why;
    }
}

TEST(ReplayScript, RequestsRunUntilThePrinterActsAndFailedOpensBecomeARestart) {
    Recording r;
    r.link = "eth";
    auto add = [&r](Kind kind, int64_t at, Bytes bytes = {}) {
        r.events.push_back(RecordedEvent{kind, at, std::move(bytes), r.events.size() + 1});
    };
    add(Kind::Opened, 1000);
    add(Kind::Sent, 1000, {1, 2});
    add(Kind::Sent, 1005, {3});
    add(Kind::Received, 1100, {9});
    add(Kind::Received, 1150, {8});
    add(Kind::Closed, 1200);
    add(Kind::OpenFailed, 1400);
    add(Kind::OpenFailed, 2400);
    add(Kind::Opened, 3400);  // back between 2400 and 3400: 2900
    add(Kind::Sent, 3400, {4});
    add(Kind::Lost, 3500);

    std::vector<ReplayExchange> script = BuildReplayScript(r);
    ASSERT_EQ(script.size(), 2u);
    EXPECT_EQ(script[0].request, (Bytes{1, 2, 3}));
    EXPECT_EQ(script[0].line, 2u);
    ASSERT_EQ(script[0].actions.size(), 3u);
    EXPECT_EQ(script[0].actions[0].afterMs, 95);
    EXPECT_EQ(script[0].actions[1].afterMs, 145);
    EXPECT_EQ(script[0].actions[1].bytes, Bytes{8});
    const ReplayAction& restart = script[0].actions[2];
    EXPECT_EQ(restart.kind, ReplayAction::Kind::Restart);
    EXPECT_EQ(restart.afterMs, 145);         // once the answers are out
    EXPECT_EQ(restart.awayMs, 2900 - 1150);  // until half-way to the open that worked
    EXPECT_EQ(script[1].actions[0].kind, ReplayAction::Kind::Drop);

    // Without an open that works the printer never comes back.
    r.events.resize(8);
    script = BuildReplayScript(r);
    EXPECT_EQ(script.back().actions.back().awayMs, -1);
}

namespace {

// Handshake-like run: two exchanges, the second answered 300 ms late.
Recording TwoExchanges() {
    Recording r;
    r.link = "ser";
    r.events = {
        {Kind::Sent, 0, {0x1d, 0x49, 0x01}, 10},
        {Kind::Received, 5, {0x12}, 20},
        {Kind::Sent, 10, {0x18}, 30},
        {Kind::Sent, 10, {0x1d, 0x49, 0x41}, 40},
        {Kind::Received, 310, {'1', '.', '0', '0', 0}, 50},
    };
    return r;
}

// Feeds the pieces to a replay of the recording, polling after each until no
// action waits; returns what the printer sent ("[dropped]" where it dropped
// the connection), with how the replay ended in code and report.
std::string Play(const Recording& recording, const std::vector<Bytes>& pieces, int& code,
                 std::string& report, bool fast = true) {
    PrinterCore core;
    Replayer replay(BuildReplayScript(recording), fast);
    replay.Install(core);
    std::string sent;
    for (const Bytes& piece : pieces) {
        Feed(core, piece);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(fast ? 0 : 2));
            replay.Poll(core);
            if (core.TakeCloseRequest()) sent += "[dropped]";
            sent += Uptake(core);
        } while (replay.Waiting());
    }
    FILE* out = tmpfile();
    code = replay.Finish(out);
    rewind(out);
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), out) != nullptr) report += buffer;
    fclose(out);
    return sent;
}

const std::string WHOLE("\0221.00\0", 6);  // both answers: 12, then "1.00" and 00
const Bytes BOTH_REQUESTS{0x1d, 0x49, 0x01, 0x18, 0x1d, 0x49, 0x41};

}  // namespace

// Requests are answered however they arrive cut; a short or a long run ends
// the replay naming the exchange (a departing byte: recordings/check-departure.sh).
TEST(Replayer, PlaysTheRecordingOrNamesWhereTheProgramDeparted) {
    const std::string prefix = "prnsim: replay: ";
    const struct {
        std::vector<Bytes> pieces;
        std::string answers;
        int code;
        std::string report;
    } rows[] = {
        {{{0x1d}, {0x49, 0x01, 0x18}, {0x1d, 0x49}, {0x41}}, WHOLE, 0, "all 2 exchanges played\n"},
        {{{0x1d, 0x49, 0x01, 0x18}},
         "\x12",
         Replayer::DEPARTED_EXIT,
         "the program stopped at exchange 2 of 2 (log line 30), 1 of its 4 bytes received\n"},
        {{{0x1d, 0x49, 0x01, 0x18, 0x1d, 0x49, 0x41, 0x07}},
         "",
         Replayer::DEPARTED_EXIT,
         "the program sent more than the recording holds, after exchange 2: 07\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.report);
        int code = -1;
        std::string report;
        EXPECT_EQ(Play(TwoExchanges(), row.pieces, code, report), row.answers);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(report, prefix + row.report);
    }
}

TEST(Replayer, KeepsTheRecordedAnswerTimeUnlessFast) {
    int code = -1;
    std::string report;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Play(TwoExchanges(), {BOTH_REQUESTS}, code, report, false), WHOLE);
    using std::chrono::milliseconds;
    auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(took.count(), 250);  // 300 ms after the request in the recording
    EXPECT_LT(took.count(), 3000);
}

TEST(Replayer, ARecordedLossDropsTheConnectionAfterTheAnswer) {
    Recording r = TwoExchanges();
    r.events.push_back({Kind::Lost, 320, {}, 60});
    int code = -1;
    std::string report;
    EXPECT_EQ(Play(r, {BOTH_REQUESTS}, code, report), WHOLE + "[dropped]");
}

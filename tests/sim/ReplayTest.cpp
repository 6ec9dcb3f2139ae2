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

std::string Sent(const std::string& time, const std::string& kind, const std::string& rows,
                 int count) {
    return Line(time, "LinkTrace", kind + " sent " + std::to_string(count) + " bytes") + rows;
}

std::string Received(const std::string& time, const std::string& kind, const std::string& rows,
                     int count) {
    return Line(time, "LinkTrace", kind + " received " + std::to_string(count) + " bytes") + rows;
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
        Line("10:00:00.000", "main", "first run") +
        Line("10:00:00.001", "LinkTrace", "eth opened") + Sent("10:00:00.002", "eth", ROW_GSI, 3) +
        ExitLine("10:00:00.003") + Line("10:00:01.000", "main", "second run, other lines between") +
        Line("10:00:01.000", "LinkTrace", "ser opened") + Sent("10:00:01.010", "ser", ROWS_18, 18) +
        Line("10:00:01.011", "ReadProtocollData", "Begin") +
        Received("10:00:01.250", "ser", ROW_ANSWER, 1) +
        Line("10:00:01.300", "LinkTrace", "ser open failed") +
        Line("10:00:01.400", "LinkTrace", "ser lost") +
        Line("10:00:01.500", "LinkTrace", "ser closed") + ExitLine("10:00:01.600") +
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
    struct Case {
        std::string log;
        const char* why;
    } cases[] = {
        {head + Sent("10:00:00.001", "eth", "", 3), "line 2: the dump ends after 0 of 3 bytes"},
        {head + Sent("10:00:00.001", "eth", TABS + "0000: 00 01 02 03 04 05 06 07 08 09 0a 0b", 18),
         "line 3: the dump row is cut short"},
        {head + Sent("10:00:00.001", "eth", ROWS_18.substr(0, ROWS_18.find('\n') + 1), 18),
         "line 2: the dump ends after 16 of 18 bytes"},
        {head + Sent("10:00:00.001", "eth", TABS + "0010: 1d 49 01\n", 3),
         "line 3: the dump row is at offset 10 where 0 was expected"},
        {head + Sent("10:00:00.001", "eth", TABS + "0000: 1d 4x 01\n", 3),
         "line 3: the dump row has a cell that is no hexadecimal byte"},
        {head + Sent("10:00:00.001", "eth", ROW_GSI, 2),
         "line 3: the dump row holds more bytes than its line announced"},
        {head + Sent("10:00:00.001", "eth", "garbage\n", 3), "line 3: a dump row was expected"},
        {head + Line("10:00:00.001", "LinkTrace", "eth sent many bytes"), "line 2: no byte count"},
        {head + Line("10:00:00.001", "LinkTrace", "eth sent 99999999999 bytes"),
         "line 2: no byte count"},
        {head + Line("10:00:00.001", "LinkTrace", "eth sent 0 bytes"),
         "line 2: byte count out of range"},
        {head + Line("10:00:00.001", "LinkTrace", "eth flew away"), "line 2: unknown link trace"},
        {head + Line("10:00:00.001", "LinkTrace", "can opened"), "line 2: unknown link kind"},
        {head + Line("10:00:00.001", "LinkTrace", "eth opened") +
             Line("10:00:00.002", "LinkTrace", "usb opened"),
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

// Feeds the pieces to a fast replay of the recording, polling after each;
// returns what the printer sent, with how the replay ended in code and report.
std::string Play(const Recording& recording, const std::vector<Bytes>& pieces, int& code,
                 std::string& report) {
    PrinterCore core;
    Replayer replay(BuildReplayScript(recording), true);
    replay.Install(core);
    std::string sent;
    for (const Bytes& piece : pieces) {
        Feed(core, piece);
        replay.Poll(core);
        sent += Uptake(core);
    }
    FILE* out = tmpfile();
    code = replay.Finish(out);
    rewind(out);
    char buffer[512];
    while (fgets(buffer, sizeof(buffer), out) != nullptr) report += buffer;
    fclose(out);
    return sent;
}

}  // namespace

// Requests are answered however they arrive cut; a departing byte (which
// gets no answer) or a short run ends the replay naming the exchange.
TEST(Replayer, PlaysTheRecordingOrNamesWhereTheProgramDeparted) {
    const std::string prefix = "prnsim: replay: ";
    const std::string WHOLE("\0221.00\0", 6);  // both answers: 12, then "1.00" and 00
    const struct {
        std::vector<Bytes> pieces;
        std::string answers;
        int code;
        std::string report;
    } rows[] = {
        {{{0x1d}, {0x49, 0x01, 0x18}, {0x1d, 0x49}, {0x41}}, WHOLE, 0, "all 2 exchanges played\n"},
        {{{0x1d, 0x49, 0x01, 0x18, 0x1d, 0x49, 0x42}},
         "",
         Replayer::DEPARTED_EXIT,
         "exchange 2 (log line 30) departs from the recording at byte 3 of 4\n" + prefix +
             "recorded: 18 1d 49 41\n" + prefix + "received: 18 1d 49 42\n"},
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
    PrinterCore core;
    Replayer replay(BuildReplayScript(TwoExchanges()), false);
    replay.Install(core);
    Feed(core, {0x1d, 0x49, 0x01, 0x18, 0x1d, 0x49, 0x41});
    auto start = std::chrono::steady_clock::now();
    std::string answer;
    while (answer.size() < 6 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        replay.Poll(core);
        answer += Uptake(core);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_EQ(answer, std::string("\0221.00\0", 6));
    EXPECT_GE(took.count(), 250);  // 300 ms after the request in the recording
    EXPECT_LT(took.count(), 3000);
}

TEST(Replayer, ARecordedLossDropsTheConnectionAfterTheAnswer) {
    Recording r = TwoExchanges();
    r.events.push_back({Kind::Lost, 320, {}, 60});
    PrinterCore core;
    Replayer replay(BuildReplayScript(r), true);
    replay.Install(core);
    Feed(core, {0x1d, 0x49, 0x01, 0x18, 0x1d, 0x49, 0x41});
    replay.Poll(core);
    EXPECT_FALSE(core.TakeCloseRequest());  // the answer is still to go out
    EXPECT_EQ(Uptake(core).size(), 6u);
    replay.Poll(core);
    EXPECT_TRUE(core.TakeCloseRequest());
}

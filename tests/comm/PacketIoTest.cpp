// The packet I/O shared by every link kind, against a scripted link.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "comm/ComPort.h"
#include "tests/comm/ScriptedLink.h"

namespace {

struct Freer {
    void operator()(unsigned char* p) const { free(p); }
};
using Answer = std::unique_ptr<unsigned char, Freer>;

std::string Read(ScriptedLink& link, int* size) {
    Answer a(link.ReadProtocollData(size));
    return a ? std::string(reinterpret_cast<char*>(a.get()), static_cast<size_t>(*size)) : "<null>";
}

const std::string ETX = "\x03";
const std::string OPEN = "<DATABYTES>";
const std::string CLOSE = "</DATABYTES>";

}  // namespace

// Reads come in pieces of at most 1024 bytes; an answer ends at its first
// ETX unless a data block is open; the third empty or failed read of an
// answer gives up (data in between does not reset the count), and so does an
// answer that never ends once it reaches the cap.
TEST(ReadProtocollData, EndRuleEmptyReadsAndCap) {
    const std::string dataBytes = "\x02<C40>" + OPEN + "\x03\x03";
    const struct {
        std::deque<std::string> reads;
        std::string fallback;
        std::string answer;  // "<null>": none
        int readCalls;
    } rows[] = {
        {{"\x02<C1>", "<100>\x03tail"}, "", "\x02<C1><100>\x03tail", 2},
        {{dataBytes, "\x03" + CLOSE.substr(0, 5), CLOSE.substr(5), "<X>", "\x03"},
         "",
         dataBytes + "\x03" + CLOSE + "<X>\x03",
         5},
        {{std::string(10000, 'A') + ETX}, "", std::string(10000, 'A') + ETX, 10},
        {{}, "", "<null>", 3},
        {{"", "\x02partial", ScriptedLink::FAIL, "more"}, "", "<null>", 5},
        {{}, std::string(1024, 'x'), "<null>", int(CComPort::MAX_ANSWER_SIZE / 1024)},
    };
    for (const auto& row : rows) {
        ScriptedLink link;
        link.reads = row.reads;
        link.fallback = row.fallback;
        int size = 7;
        EXPECT_EQ(Read(link, &size), row.answer) << row.readCalls;
        EXPECT_EQ(size, row.answer == "<null>" ? 0 : int(row.answer.size()));
        EXPECT_EQ(link.readCalls, row.readCalls);
        EXPECT_EQ(link.lastReadAsked, 1024u);
    }
}

TEST(ReadProtocollData, TimedFormWaitsOnlyAsLongAsAllowed) {
    ScriptedLink link;
    link.reads = {"\x02<C1>"};
    link.fallback = "";
    int size = 1;
    auto start = std::chrono::steady_clock::now();
    Answer a(link.ReadProtocollData(&size, 30));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_GE(ms, 30);
    EXPECT_GT(link.readCalls, 3);  // empty reads alone do not end it

    ScriptedLink complete;
    complete.reads = {"", "", "", "", "\x02<C1>\x03"};
    Answer b(complete.ReadProtocollData(&size, 10000));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(size, 6);
}

TEST(WritePackets, ExactMultipleWritesEveryPieceAndPausesAfterEach) {
    ScriptedLink link;
    link.uiPacketSize = 64;
    std::vector<unsigned char> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i);
    unsigned err = 9;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.WritePackets(data.data(), 300, 20, 100, &err), 300u);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(err, 0u);
    ASSERT_EQ(link.writes.size(), 3u);
    std::vector<unsigned char> joined;
    for (const auto& w : link.writes) {
        EXPECT_EQ(w.bytes.size(), 100u);
        EXPECT_EQ(w.packetSizeSeen, 100u);
        joined.insert(joined.end(), w.bytes.begin(), w.bytes.end());
    }
    EXPECT_EQ(joined, data);
    EXPECT_GE(link.writes[1].at - link.writes[0].at, std::chrono::milliseconds(20));
    EXPECT_GE(elapsed, std::chrono::milliseconds(60));  // the last piece is followed by a pause
    EXPECT_EQ(link.uiPacketSize, 64u);
}

TEST(WritePackets, ShortWriteStopsWithTheLinkErrorAndRestoresThePacketSize) {
    ScriptedLink link;
    link.uiPacketSize = 64;
    link.shortWriteAt = 1;
    link.writeErrFlag = 1;
    std::vector<unsigned char> data(250, 0x55);
    unsigned err = 0;
    EXPECT_EQ(link.WritePackets(data.data(), 250, 0, 100, &err), 0u);
    EXPECT_EQ(err, 1u);
    EXPECT_EQ(link.writes.size(), 2u);
    EXPECT_EQ(link.writes.back().bytes.size(), 100u);
    EXPECT_EQ(link.uiPacketSize, 64u);

    // A link without a write of its own fails at once; a packet size below 1
    // never writes.
    CComPort base;
    EXPECT_EQ(base.WritePackets(data.data(), 10, 0, 4, &err), 0u);
    EXPECT_EQ(link.WritePackets(data.data(), 10, 0, 0, &err), 0u);
    EXPECT_EQ(err, 1u);
}

TEST(ReadAll, GathersPiecesUntilComplete) {
    ScriptedLink link;
    link.reads = {"ab", "", ScriptedLink::FAIL, "cdef", "gh"};
    unsigned char buf[6] = {};
    unsigned err = 7;
    EXPECT_EQ(link.ReadAll(buf, 6, 5000, &err), 6u);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "abcdef");
    EXPECT_EQ(link.readCalls, 4);
    EXPECT_EQ(link.reads.front(), "gh");  // the second read asked only for what was missing
}

TEST(ReadAll, ShortReadReportsTheCountAfterTheTimeLimit) {
    ScriptedLink link;
    link.reads = {"abc"};
    link.fallback = "";
    unsigned char buf[10] = {};
    unsigned err = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.ReadAll(buf, 10, 40, &err), 3u);
    // The limit is measured on the millisecond wall clock, so up to 1 ms of it
    // may already have passed when the start is read.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(39));
    EXPECT_EQ(err, 1u);
}

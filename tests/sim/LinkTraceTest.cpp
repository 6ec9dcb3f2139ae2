// The program's link trace read back by prnsim's recording reader: the two
// sides are written apart, and must agree on every byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "comm/ComPortRs232.h"
#include "common/Log.h"
#include "sim/replay/Recording.h"
#include "tests/comm/PtyPair.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace {

using Kind = RecordedEvent::Kind;

class LinkTrace : public ::testing::Test {
  protected:
    void TearDown() override {
        Log::SetLogEnable(0, false);
        Log::m_bLogDataToo = false;
    }
    // Opens a serial link on the pseudo-terminal, writes out, has the
    // printer answer in, reads it and closes.
    void Exchange(const std::string& out, const std::string& in) {
        ASSERT_TRUE(pty.ok());
        CComPortRs232 link;
        std::vector<char> path(pty.slave.begin(), pty.slave.end());
        path.push_back('\0');
        ASSERT_TRUE(link.Init(path.data(), 115200, 0, true));
        ASSERT_TRUE(link.Open());
        std::string copy = out;
        unsigned err = 0;
        ASSERT_EQ(link.Write(reinterpret_cast<unsigned char*>(&copy[0]),
                             static_cast<unsigned>(copy.size()), &err),
                  out.size());
        EXPECT_EQ(pty.Drain(), out);
        pty.Send(in);
        unsigned char answer[256];
        EXPECT_EQ(link.Read(answer, sizeof(answer), &err), in.size());
        link.Close();
    }
    void LogToFile() {
        Log::SetLogEnable(2, true);
        snprintf(Log::m_strFileName, sizeof(Log::m_strFileName), "%s", log.c_str());
    }

    testsupport::TempDir dir;
    std::string log = dir.file("data.log");
    PtyPair pty;
};

}  // namespace

TEST_F(LinkTrace, EveryByteAndLinkEventComesBackFromTheLog) {
    LogToFile();
    std::string out;
    for (int i = 0; i < 40; ++i) out += static_cast<char>(i * 7);  // three dump rows, a '%' too
    std::string in("\x02<C1>\x03\x00\xff", 8);
    Exchange(out, in);

    Recording recording;
    std::string error;
    ASSERT_TRUE(ReadRecording(testsupport::ReadWholeFile(log), 0, recording, error)) << error;
    EXPECT_EQ(recording.link, "ser");
    std::vector<Kind> kinds;
    std::string sent, received;
    for (const RecordedEvent& e : recording.events) {
        kinds.push_back(e.kind);
        if (e.kind == Kind::Sent) sent.append(e.bytes.begin(), e.bytes.end());
        if (e.kind == Kind::Received) received.append(e.bytes.begin(), e.bytes.end());
    }
    EXPECT_EQ(kinds.front(), Kind::Opened);
    EXPECT_EQ(kinds.back(), Kind::Closed);
    EXPECT_EQ(sent, out);
    EXPECT_EQ(received, in);
    EXPECT_NE(testsupport::ReadWholeFile(log).find("][LinkTrace]ser received 8 bytes\n" +
                                                   std::string(10, '\t') +
                                                   "0000: 02 3c 43 31 3e 03 00 ff"),
              std::string::npos);
}

TEST_F(LinkTrace, NothingIsWrittenWhileTheLogIsOff) {
    Exchange("\x1d\x49\x01", "\x12");
    EXPECT_NE(access(log.c_str(), F_OK), 0);
}

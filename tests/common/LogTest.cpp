#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "common/Log.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

using testsupport::ReadWholeFile;
using testsupport::SplitLines;
using testsupport::TempDir;

namespace {

// Runs a test body inside a fresh working folder with the log set to a type.
class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        previous_ = cwd;
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override {
        Log::SetLogEnable(0, false);
        Log::m_bLogDataToo = false;
        ASSERT_EQ(chdir(previous_.c_str()), 0);
    }
    std::string LogText() const { return ReadWholeFile(dir_.file("data.log")); }

    TempDir dir_;
    std::string previous_;
};

}  // namespace

TEST(LogFormat, LineCarriesLocalTimeMillisecondsFunctionAndText) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct timeval when {};
    when.tv_sec = 1709802301;  // 2024-03-07 09:05:01 UTC
    when.tv_usec = 42999;
    char line[256];
    Log::FormatLine(line, sizeof(line), "OpenCommunicationPort", "ETH Port", when);
    EXPECT_STREQ(line, "[2024/03/07 09:05:01.042][OpenCommunicationPort]ETH Port");
    Log::FormatLine(line, sizeof(line), "", "Operation Completed", when);
    EXPECT_STREQ(line, "[2024/03/07 09:05:01.042][]Operation Completed");
}

TEST(LogFormat, DumpRowsPadShortRowsAndHideUnprintables) {
    unsigned char data[20];
    for (int i = 0; i < 20; ++i) data[i] = static_cast<unsigned char>('A' + i);
    data[17] = 0x03;
    data[18] = '%';
    char row[128];
    Log::FormatDumpRow(row, sizeof(row), data, 20, 0);
    EXPECT_STREQ(row, "0000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50   ABCDEFGHIJKLMNOP");
    Log::FormatDumpRow(row, sizeof(row), data, 20, 16);
    // Four bytes, twelve empty groups, three blanks, four characters.
    std::string expected = "0010: 51 03 25 54" + std::string(12 * 3, ' ') + "   Q..T";
    EXPECT_EQ(std::string(row), expected);
    EXPECT_EQ(std::string(row).find("Q..T"), 56u);
}

TEST_F(LogFileTest, NothingIsWrittenUntilEnabled) {
    Log::WriteLog("main", "hidden");
    Log::WriteLogP("main", "%s", "hidden");
    EXPECT_FALSE(testsupport::FileExists(dir_.file("data.log")));
}

TEST_F(LogFileTest, FileLogAppendsCompleteLinesAndDumps) {
    Log::SetLogEnable(2, true);
    EXPECT_STREQ(Log::m_strFileName, "data.log");
    Log::WriteLog("first", "one");
    Log::WriteLogP("second", "value=%d text=%s", 7, "%s%n");
    const unsigned char packet[] = {0x1F, 0xFF, 0x01};
    Log::WriteLogData("third", "packet", packet, sizeof(packet));
    EXPECT_EQ(Log::m_TextFile, nullptr);  // closed after every line

    std::vector<std::string> lines = SplitLines(LogText());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("][first]one"), std::string::npos);
    EXPECT_NE(lines[1].find("][second]value=7 text=%s%n"), std::string::npos);
    EXPECT_NE(lines[2].find("][third]packet"), std::string::npos);
    EXPECT_EQ(lines[3],
              std::string(10, '\t') + "0000: 1f ff 01" + std::string(13 * 3, ' ') + "   ...");
}

TEST_F(LogFileTest, LongMessagesAreCutNotOverflowed) {
    Log::SetLogEnable(2, true);
    std::string huge(20000, 'x');
    Log::WriteLogP("big", "%s", huge.c_str());
    Log::WriteLog("big", huge.c_str());
    std::vector<std::string> lines = SplitLines(LogText());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].size(), Log::LINE_BUFFER);
    EXPECT_LT(lines[1].size(), Log::LINE_BUFFER);
    EXPECT_GT(lines[1].size(), 4000u);
}

TEST_F(LogFileTest, DataTooFlagMustBeSet) {
    Log::SetLogEnable(2, false);
    Log::WriteLog("main", "hidden");
    EXPECT_FALSE(testsupport::FileExists(dir_.file("data.log")));
}

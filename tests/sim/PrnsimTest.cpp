// prnsim as a process: scripted answers, refusals, and the files it writes
// of what arrived (the end-to-end tests read them).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

using testsupport::ReadWholeFile;
using testsupport::SimProcess;
using testsupport::TempDir;

TEST(Prnsim, ScriptAnswersRecordAndToolFiles) {
    TempDir dir;
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start({PRNSIM_BIN, "--tcp", "0", "--answer", "1B40=02 3C 43 35 3E 06 03", "--refuse",
                   "TOOLS:9", "--spt-out", dir.file("got.spt"), "--record", dir.file("record")}))
        << sim.Output();
    int fd = testsupport::ConnectLoopback(sim.TcpPort());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(testsupport::Ask(fd, "\x1b\x40", 7), "\x02<C5>\x06\x03");
    EXPECT_EQ(testsupport::Ask(fd, "\x1f\xff\x50", 12), "\x02<C80>\x15<ERR9>\x03");
    std::string upload = std::string("\x1f\xff\x51<1><32><4>") + std::string(
                                                                     "\x00\x03"
                                                                     "ab",
                                                                     4);
    EXPECT_EQ(testsupport::Ask(fd, upload, 42).substr(0, 8), "\x02<C81>\x06<");
    close(fd);
    std::string report = sim.Stop();
    EXPECT_NE(report.find("requests 1B40 TOOLS TOOLEXEC\n"), std::string::npos) << report;
    EXPECT_NE(report.find("prnsim: spt file 4 bytes\n"), std::string::npos) << report;
    EXPECT_EQ(ReadWholeFile(dir.file("got.spt")), std::string("\x00\x03"
                                                              "ab",
                                                              4));
    EXPECT_EQ(ReadWholeFile(dir.file("record")), "\x1b\x40\x1f\xff\x50" + upload);
}

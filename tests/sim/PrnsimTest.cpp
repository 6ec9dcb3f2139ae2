// The prnsim program: its command line and its transports, run as a process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "sim/DiscoveryResponder.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ReadWholeFile;
using testsupport::SimProcess;
using testsupport::TempDir;

}  // namespace

TEST(Prnsim, DiscoveryAnswerCarriesTheName) {
    SimProcess sim;
    if (!sim.Start({PRNSIM_BIN, "--discovery", "--name", "Kitchen", "--discovery-repeat", "2"})) {
        GTEST_SKIP() << "UDP port 15000 is taken on this machine: " << sim.Output();
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(15000);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string noise = "hello";
    std::string query = "<VN><STSMOQ><NAME>";
    sendto(fd, noise.data(), noise.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    int answers = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) break;
        char buf[256];
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "<VN><STSMOA><NAME>=Kitchen;");
        ++answers;
    }
    close(fd);
    EXPECT_EQ(answers, 2);
}

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

// The prnsim program: its command line and its transports, run as a process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "sim/DiscoveryResponder.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::ProgramResult;
using testsupport::ReadWholeFile;
using testsupport::RunProgram;
using testsupport::SimProcess;
using testsupport::TempDir;

int ConnectTo(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Ask(int fd, const std::string& request, size_t expect) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
        return "<write failed>";
    }
    std::string got;
    while (got.size() < expect) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) break;
        char buf[256];
        ssize_t n = read(fd, buf, sizeof(buf));
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

int PortOf(const SimProcess& sim) {
    std::string where = sim.Announced("tcp");
    return std::stoi(where.substr(where.find(':') + 1));
}

}  // namespace

TEST(Prnsim, HelpAndBadOptions) {
    ProgramResult help = RunProgram({PRNSIM_BIN, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--tcp PORT", "--pty", "--discovery", "--gsi N", "--gsi-ext N",
                               "--silent", "--garbage", "--close-after N", "--delay MS"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(RunProgram({PRNSIM_BIN}).exitCode, 2);  // no transport
    EXPECT_EQ(RunProgram({PRNSIM_BIN, "--tcp"}).exitCode, 2);
    EXPECT_EQ(RunProgram({PRNSIM_BIN, "--tcp", "70000"}).exitCode, 2);
    EXPECT_EQ(RunProgram({PRNSIM_BIN, "--pty", "--gsi", "0xff"}).exitCode, 2);
    for (const char* option :
         {"--protocol-version TEXT", "--data-available N", "--header-line TEXT", "--mute NAME",
          "--refuse NAME:CODE", "--tools M1[,M2]", "--tool-delay MS", "--tool-line TEXT",
          "--spt-out PATH", "--tamper", "--tamper-out PATH", "--tamper-silent STEP",
          "--tamper-nack STEP", "--answer REQ=ANS", "--answers FILE", "--reset-time MS",
          "--record PATH"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    for (std::vector<std::string> bad : {std::vector<std::string>{"--mute", "GSI"},
                                         {"--refuse", "TOOLS"},
                                         {"--refuse", "TOOLS:1000"},
                                         {"--tools", "1,"},
                                         {"--tamper-nack", "129"},
                                         {"--tamper-silent", "0"},
                                         {"--answer", "1B4=06"},
                                         {"--answers", "/nonexistent/answers"},
                                         {"--tool-delay", "-1"}}) {
        bad.insert(bad.begin(), {PRNSIM_BIN, "--pty"});
        EXPECT_EQ(RunProgram(bad).exitCode, 2) << bad[2] << " " << bad[3];
    }
    ProgramResult unknown = RunProgram({PRNSIM_BIN, "--pty", "--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos);
}

TEST(Prnsim, TcpKeepsThePrinterStateAcrossConnections) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({PRNSIM_BIN, "--tcp", "0", "--gsi", "0x33"})) << sim.Output();
    int first = ConnectTo(PortOf(sim));
    ASSERT_GE(first, 0);
    EXPECT_EQ(Ask(first, "\x1c<EPOS>\x18\x1d\x49\x01", 1), "\x33");
    close(first);
    int second = ConnectTo(PortOf(sim));
    ASSERT_GE(second, 0);
    EXPECT_EQ(Ask(second, "\x1d\x49\x01", 1), "\x33");
    // A newer connection replaces an older one that was never closed.
    int third = ConnectTo(PortOf(sim));
    EXPECT_EQ(Ask(third, "\x1d\x49\x03", 4), "1.00");
    close(second);
    close(third);
    std::string report = sim.Stop();
    EXPECT_NE(report.find("connections 3\n"), std::string::npos) << report;
    EXPECT_NE(report.find("requests ESCPOS_SV CAN GSI GSI FWREL\n"), std::string::npos) << report;
}

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
    int fd = ConnectTo(PortOf(sim));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask(fd, "\x1b\x40", 7), "\x02<C5>\x06\x03");
    EXPECT_EQ(Ask(fd, "\x1f\xff\x50", 12), "\x02<C80>\x15<ERR9>\x03");
    std::string upload = std::string("\x1f\xff\x51<1><32><4>") + std::string(
                                                                     "\x00\x03"
                                                                     "ab",
                                                                     4);
    EXPECT_EQ(Ask(fd, upload, 42).substr(0, 8), "\x02<C81>\x06<");
    close(fd);
    std::string report = sim.Stop();
    EXPECT_NE(report.find("requests 1B40 TOOLS TOOLEXEC\n"), std::string::npos) << report;
    EXPECT_NE(report.find("prnsim: spt file 4 bytes\n"), std::string::npos) << report;
    EXPECT_EQ(ReadWholeFile(dir.file("got.spt")), std::string("\x00\x03"
                                                              "ab",
                                                              4));
    EXPECT_EQ(ReadWholeFile(dir.file("record")), "\x1b\x40\x1f\xff\x50" + upload);
}

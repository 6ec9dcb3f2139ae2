// The network link on real loopback sockets, against prnsim or a server in
// the test.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "comm/ComPortEth.h"
#include "tests/comm/CommTestHelpers.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::SimProcess;

// A socket bound to a free loopback port, listening when asked, with the
// receive buffer asked (set before listen, so that every accepted connection
// has it); -1 when it cannot be made.
int LoopbackSocket(int* port, bool listening, int receiveBuffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(addr);
    if (fd < 0 ||
        (receiveBuffer > 0 &&
         setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer)) != 0) ||
        bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        (listening && listen(fd, 8) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

void Connect(CComPortEth& link, int port) {
    char host[] = "127.0.0.1";
    link.Init(host, port);
}

std::string Exchange(CComPortEth& link, const std::string& request) {
    std::vector<unsigned char> bytes(request.begin(), request.end());
    unsigned err = 0;
    link.Write(bytes.data(), static_cast<unsigned>(bytes.size()), &err);
    unsigned char answer[64];
    unsigned got = link.Read(answer, sizeof(answer), &err);
    if (got == 0 || got == 0xFFFFFFFFu) return "";
    return std::string(reinterpret_cast<char*>(answer), got);
}

}  // namespace

TEST(EthLink, AClosedConnectionReadsAsZeroUntilTheLinkIsReopened) {
    SimProcess sim;
    // The printer drops the connection after the first request (4 bytes).
    ASSERT_TRUE(sim.Start({PRNSIM_BIN, "--tcp", "0", "--close-after", "4"})) << sim.Output();
    CComPortEth link;
    Connect(link, sim.TcpPort());
    ASSERT_TRUE(link.Open());
    link.SetTimeoutRX(5000);  // the printer's close must arrive within the wait, even when busy
    const int socket = link.iSocket;
    EXPECT_EQ(Exchange(link, "\x18\x1d\x49\x01"), "");  // dropped
    unsigned char answer[16];
    unsigned err = 7;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.Read(answer, sizeof(answer), &err), 0u);  // again, at once: no close pause
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(link.iSocket, socket);  // not closed behind the caller's back
    ASSERT_TRUE(link.ReOpen());
    EXPECT_EQ(Exchange(link, "\x1d\x49\x01"), "\x12");
    link.Close();
    std::string report = sim.Stop();
    EXPECT_NE(report.find("connections 2\n"), std::string::npos) << report;
    EXPECT_NE(report.find("requests CAN GSI GSI\n"), std::string::npos) << report;
}

TEST(EthLink, NothingListeningFailsWithinTheConnectWaitAndTheClosePause) {
    CComPortEth link;
    // Nothing listens on the port; the socket holding it keeps other programs off.
    int port = 0;
    const int holder = LoopbackSocket(&port, false);
    ASSERT_GE(holder, 0);
    Connect(link, port);
    std::vector<int> pauses;
    link.SetPauseFunction([&](int ms) { pauses.push_back(ms); });
    bool opened = true;
    Clock::time_point start = Clock::now();
    std::string log = Captured([&] { opened = link.Open(); });
    Clock::duration took = Clock::now() - start;
    EXPECT_FALSE(opened);
    EXPECT_STREQ(link.szLastError, "Open ETH Device Error");
    bool reason = log.find("Error in connection()") != std::string::npos ||
                  log.find("Timeout or error()") != std::string::npos;
    EXPECT_TRUE(reason) << log;
    EXPECT_LT(took, std::chrono::milliseconds(500 + 1500));
    EXPECT_EQ(link.iSocket, -1);
    EXPECT_EQ(pauses, std::vector<int>{2000});  // the close pause, exactly
    close(holder);
}

// The most that one connection can take before the printer's reset reaches
// the sender: the sender's largest send buffer (the receiver's is kept tiny).
size_t LargestSendBuffer() {
    FILE* f = fopen("/proc/sys/net/ipv4/tcp_wmem", "r");
    long low = 0, initial = 0, high = 4L << 20;
    if (f != nullptr) {
        if (fscanf(f, "%ld %ld %ld", &low, &initial, &high) != 3) high = 4L << 20;
        fclose(f);
    }
    return static_cast<size_t>(high);
}

// A printer that loses the connection in the middle of a bank has lost what
// came before on it: the rest is not sent on a new connection as if the bank
// had gone out whole, and the write gives up at once.
TEST(EthLink, WriteThatLosesItsConnectionIsNotFinishedOnAnother) {
    signal(SIGPIPE, SIG_DFL);  // a broken pipe must not end the process
    int port = 0;
    // The printer's side can hold only a few kilobytes.
    const int server = LoopbackSocket(&port, true, 4096);
    ASSERT_GE(server, 0);
    std::atomic<bool> stop{false};
    std::atomic<size_t> later{0};  // bytes that reached a later connection
    std::thread printer([&] {
        for (int connection = 0; !stop;) {
            pollfd p{server, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            int c = accept(server, nullptr, nullptr);
            char buf[4096];
            if (connection++ == 0) {
                pollfd data{c, POLLIN, 0};
                // The first bytes of the bank have come, then the line is lost.
                if (poll(&data, 1, 20000) > 0 && read(c, buf, 64) < 0) break;
                linger reset{1, 0};
                setsockopt(c, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
            } else {
                for (ssize_t n; (n = read(c, buf, sizeof(buf))) > 0;) later += size_t(n);
            }
            close(c);
        }
    });
    std::vector<unsigned char> bank(4 * (LargestSendBuffer() + (1u << 20)), 0x42);
    CComPortEth link;
    Connect(link, port);
    ASSERT_TRUE(link.Open());
    link.uiPacketSize = 57344;  // a bank goes out in large pieces
    unsigned err = 0;
    Clock::time_point start = Clock::now();
    unsigned sent = link.Write(bank.data(), static_cast<unsigned>(bank.size()), &err);
    Clock::duration took = Clock::now() - start;
    link.Close();
    stop = true;
    printer.join();
    close(server);
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(err, 1u);
    EXPECT_EQ(later.load(), 0u);
    EXPECT_LT(took, std::chrono::seconds(12));
}

// A connection that the printer dropped before the write took anything is made
// again, and the whole write goes on the new one.
TEST(EthLink, WriteOnADroppedConnectionGoesOnANewOne) {
    int port = 0;
    const int server = LoopbackSocket(&port, true);
    ASSERT_GE(server, 0);
    std::atomic<bool> opened{false}, dropped{false};
    std::string second;
    std::thread printer([&] {
        int first = accept(server, nullptr, nullptr);
        // A reset before the connect is seen done would fail the open itself.
        while (!opened) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        linger reset{1, 0};
        setsockopt(first, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
        close(first);
        dropped = true;
        pollfd p{server, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) return;  // the write was not tried again
        int c = accept(server, nullptr, nullptr);
        char buf[64];
        for (ssize_t n; (n = read(c, buf, sizeof(buf))) > 0;) second.append(buf, size_t(n));
        close(c);
    });
    CComPortEth link;
    Connect(link, port);
    const bool ok = link.Open();
    opened = true;
    if (!ok) {
        printer.join();
        close(server);
        FAIL() << link.szLastError;
    }
    while (!dropped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reset has come
    unsigned err = 0;
    unsigned char data[] = {'b', 'a', 'n', 'k'};
    EXPECT_EQ(link.Write(data, sizeof(data), &err), sizeof(data));
    EXPECT_EQ(err, 0u);
    link.Close();
    printer.join();
    close(server);
    EXPECT_EQ(second, "bank");
}

// A host that does not resolve or a port outside the TCP range fails; the
// port before any socket is made, at once and without the close pause.
TEST(EthLink, BadAddressesFailAtOnce) {
    const struct {
        const char* host;
        int port;
    } rows[] = {{"", 9100}, {"127.0.0.1", 0}, {"127.0.0.1", -1}, {"127.0.0.1", 70000}};
    for (const auto& row : rows) {
        CComPortEth link;
        std::string host = row.host;
        link.Init(&host[0], row.port);
        bool opened = true;
        Clock::time_point start = Clock::now();
        std::string log = Captured([&] { opened = link.Open(); });
        EXPECT_FALSE(opened) << row.port;
        bool unresolved = row.host[0] == '\0';
        EXPECT_EQ(log.find("[OpenPort]Wrong hostname") != std::string::npos, unresolved);
        if (!unresolved) {
            EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << row.port;
        }
    }
}

// The serial link on real pseudo-terminals; modem lines injected where a
// pseudo-terminal has none.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "comm/ComPortRs232.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/comm/PtyPair.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

struct OpenLink {
    PtyPair pty;
    CComPortRs232 link;
    bool opened = false;
    explicit OpenLink(int baud = 115200, bool isVirtual = false) {
        std::vector<char> path(pty.slave.begin(), pty.slave.end());
        path.push_back('\0');
        opened = link.Init(path.data(), baud, 0, isVirtual) && link.Open();
    }
};

// Modem lines from the test, counting how often they are read.
struct Lines {
    int value;
    int reads = 0;
    Lines(CComPortRs232& link, int state = TIOCM_DSR | TIOCM_CTS) : value(state) {
        link.SetModemLineSource([this](int, int* lines) {
            ++reads;
            *lines = value;
            return true;
        });
    }
};

}  // namespace

TEST(SerialInit, RejectsRatesAndFlowControlOutsideTheTables) {
    CComPortRs232 link;
    char dev[] = "/dev/null";
    EXPECT_FALSE(link.Init(dev, 14400, 0, false));
    EXPECT_EQ(link.iBaudRate, -1);
    EXPECT_STREQ(link.szLastError, "Error invalid Baudrate");

    EXPECT_FALSE(link.Init(dev, 9600, 3, false));
    EXPECT_EQ(link.iFlowControl, -1);
    EXPECT_STREQ(link.szLastError, "Error invalid Flow control");

    ASSERT_TRUE(link.Init(dev, 9600, 1, false));
    EXPECT_EQ(link.tty.c_cflag & (CBAUD | CSIZE | CREAD | CLOCAL | CRTSCTS),
              static_cast<tcflag_t>(B9600 | CS8 | CREAD | CLOCAL | CRTSCTS));
    EXPECT_EQ(link.tty.c_cc[VMIN], 0);
    ASSERT_TRUE(link.Init(dev, 115200, 2, false));
    EXPECT_EQ(link.tty.c_iflag, static_cast<tcflag_t>(IXON | IXOFF | IXANY));
    EXPECT_EQ(link.tty.c_cflag & CRTSCTS, 0u);
}

TEST(SerialOpen, TheLineRunsAtTheRateAsked) {
    const std::pair<int, speed_t> rates[] = {{1200, B1200},   {2400, B2400},    {4800, B4800},
                                             {9600, B9600},   {19200, B19200},  {38400, B38400},
                                             {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, code] : rates) {
        OpenLink o(rate);
        ASSERT_TRUE(o.opened) << rate;
        termios line{};
        ASSERT_EQ(tcgetattr(o.link.iFd, &line), 0);
        EXPECT_EQ(cfgetospeed(&line), code) << rate;
        EXPECT_EQ(cfgetispeed(&line), code) << rate;
    }
}

TEST(SerialOpen, MissingDeviceFailsWithoutTouchingADescriptor) {
    CComPortRs232 missing;
    char nowhere[] = "/dev/prnupgrade-no-such-tty";
    ASSERT_TRUE(missing.Init(nowhere, 9600, 0, false));
    EXPECT_FALSE(missing.Open());
    EXPECT_STREQ(missing.szLastError, "Open RS232 Device Error");
    EXPECT_EQ(missing.iFd, -1);
    unsigned err = 0;
    unsigned char byte = 1;
    EXPECT_EQ(missing.Write(&byte, 1, &err), 0u);  // never touches an invalid descriptor
    EXPECT_EQ(err, 1u);
    EXPECT_EQ(missing.Read(&byte, 1, &err), 0u);
    EXPECT_EQ(err, 1u);
}

TEST(SerialWrite, PiecesFollowBaudRateAndTransmitTimeout) {
    OpenLink o(9600);
    Lines lines(o.link);
    std::vector<unsigned char> data(1000, 0x41);
    unsigned err = 1;
    EXPECT_EQ(o.link.Write(data.data(), 1000, &err), 1000u);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(o.link.uiPacketSize, 480u);
    EXPECT_EQ(lines.reads, 6);  // DSR and CTS for each of 480, 480 and 40 bytes
    EXPECT_EQ(o.pty.Drain().size(), 1000u);

    // Slow line and short time-out: the formula gives 0, the piece is 1 byte.
    o.link.Init(&o.link.szDevice[0], 1200, 0, false);
    o.link.SetTimeoutTX(50);
    lines.reads = 0;
    EXPECT_EQ(o.link.Write(data.data(), 5, &err), 5u);
    EXPECT_EQ(o.link.uiPacketSize, 1u);
    EXPECT_EQ(lines.reads, 10);
    EXPECT_EQ(o.pty.Drain().size(), 5u);
}

TEST(SerialModemLines, DsrOffFailsAtOnceAndCtsHeldOffWaitsTheTransmitTimeoutInSteps) {
    OpenLink o;
    Lines lines(o.link, TIOCM_CTS);
    unsigned char data[4] = {1, 2, 3, 4};
    unsigned err = 0;
    EXPECT_EQ(o.link.Write(data, 4, &err), 0u);
    EXPECT_EQ(err, 1u);
    EXPECT_STREQ(o.link.szLastError, "Write Error (DSR 0)");
    o.pty.Send("x");
    err = 0;
    EXPECT_EQ(o.link.Read(data, 4, &err), 0u);
    EXPECT_EQ(err, 1u);
    EXPECT_STREQ(o.link.szLastError, "Read Error (DSR 0)");

    lines.value = TIOCM_DSR;
    err = 0;
    Clock::time_point start = Clock::now();
    std::string text = Captured([&] { EXPECT_EQ(o.link.ComWrite(data, 4, &err), 0u); });
    Clock::duration took = Clock::now() - start;
    EXPECT_EQ(err, 1u);
    EXPECT_STREQ(o.link.szLastError, "Write / Timeout Error (CTS 0)");
    EXPECT_EQ(Count(text, "[ComWrite]Waiting CTS..."), 20u);
    EXPECT_EQ(Count(text, "[ComWrite]Write / Timeout Error (CTS 0)"), 1u);
    EXPECT_GE(took, std::chrono::milliseconds(1000));
    EXPECT_EQ(o.pty.Drain(), "");  // neither write sent a byte
}

TEST(SerialModemLines, DeviceWithoutLinesIsUsedLikeAVirtualPortAndSaidOnce) {
    OpenLink o;  // a pseudo-terminal has no modem lines: TIOCMGET fails
    unsigned char data[3] = {1, 2, 3};
    unsigned err = 1;
    std::string text = Captured([&] {
        EXPECT_EQ(o.link.Write(data, 3, &err), 3u);
        EXPECT_EQ(err, 0u);
        o.pty.Send("ok");
        unsigned char in[8] = {};
        EXPECT_EQ(o.link.Read(in, 8, &err), 2u);
        EXPECT_EQ(o.link.Write(data, 3, &err), 3u);
    });
    EXPECT_EQ(Count(text, "No modem lines"), 1u);
    EXPECT_EQ(o.pty.Drain(), std::string("\x01\x02\x03\x01\x02\x03"));
}

TEST(SerialWrite, DeviceThatNeverDrainsIsGivenUp) {
    OpenLink o;  // nobody reads the master side
    o.link.SetTimeoutTX(100);
    std::vector<unsigned char> data(1 << 20, 0x20);
    unsigned err = 0;
    Clock::time_point start = Clock::now();
    unsigned written = o.link.ComWrite(data.data(), static_cast<unsigned>(data.size()), &err);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(err, 1u);
    EXPECT_LT(written, data.size());
    EXPECT_STREQ(o.link.szLastError, "Write / Timeout Error");
}

TEST(SerialRead, TimesOutWithNothingAndReadsAtMost1024) {
    OpenLink o;
    o.link.SetTimeoutRX(100);
    unsigned char in[4096];
    unsigned err = 0;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(o.link.Read(in, sizeof(in), &err), 0u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(err, 1u);
    EXPECT_STREQ(o.link.szLastError, "Read select() timeout! No data read");

    o.pty.Send(std::string(3000, 'z'));
    EXPECT_EQ(o.link.Read(in, sizeof(in), &err), 1024u);
    EXPECT_EQ(err, 0u);
    o.link.CleanRX();
    EXPECT_EQ(o.link.Read(in, sizeof(in), &err), 0u);  // the rest was discarded
}

TEST(SerialRead, AnswerThatKeepsComingWithoutItsEndIsDroppedAtTheTimeLimit) {
    for (int timed : {0, 1}) {
        OpenLink o;
        o.link.SetTimeoutRX(100);
        o.link.iAnswerTimeLimitMs = 300;
        std::atomic<bool> stop{false};
        std::thread printer([&] {
            for (o.pty.Send("\x02<C40>"); !stop; std::this_thread::sleep_for(Ms(5))) {
                o.pty.Send("streaming");
            }
        });
        int size = 1;
        Clock::time_point start = Clock::now();
        unsigned char* answer =
            timed ? o.link.ReadProtocollData(&size, 100) : o.link.ReadProtocollData(&size);
        Clock::duration took = Clock::now() - start;
        stop = true;
        printer.join();
        EXPECT_EQ(answer, nullptr) << timed;
        free(answer);
        EXPECT_EQ(size, 0) << timed;
        EXPECT_GE(took, Ms(300)) << timed;
        EXPECT_LT(took, Ms(3000)) << timed;
    }
}

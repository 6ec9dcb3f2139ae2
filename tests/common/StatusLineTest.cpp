#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "common/StatusLine.h"

namespace {

// A wait is as long with the line on as off: on, it is cut at whole seconds
// left, and the pieces add up to the wait; off (or under a second) it is one
// sleep as it always was.
TEST(StatusLine, WaitsKeepTheirLength) {
    struct Case {
        bool on;
        uint64_t ms;
        std::vector<uint64_t> pieces;
    };
    const Case cases[] = {
        {false, 20000, {20000}},
        {true, 999, {999}},
        {true, 2500, {500, 1000, 1000}},
        {true, 3000, {1000, 1000, 1000}},
    };
    // What the line draws goes nowhere here.
    const int savedErr = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    for (const Case& c : cases) {
        StatusLine::SetOn(c.on);
        std::vector<uint64_t> pieces;
        StatusLine::Wait("w", c.ms, [&pieces](uint64_t ms) { pieces.push_back(ms); });
        EXPECT_EQ(pieces, c.pieces) << c.ms;
    }
    StatusLine::SetOn(false);
    dup2(savedErr, STDERR_FILENO);
    close(savedErr);
    close(null);
}

TEST(StatusLine, BarAndCountdownTexts) {
    EXPECT_EQ(StatusLine::BarText("firmware", 0, 1048576, 0),
              "firmware [------------------------]   0%  0 B / 1.0 MiB");
    EXPECT_EQ(StatusLine::BarText("module", 262144, 1048576, 2000),
              "module [######------------------]  25%  256.0 KiB / 1.0 MiB  128.0 KiB/s  6 s left");
    EXPECT_EQ(
        StatusLine::BarText("banks", 1024, 1048576, 1000),
        "banks [------------------------]   0%  1.0 KiB / 1.0 MiB  1.0 KiB/s  17 min 03 s left");
    EXPECT_EQ(
        StatusLine::CountdownText("waiting for the printer to restart", 13001, "do not unplug it"),
        "waiting for the printer to restart: 14 s left (do not unplug it)");
}

}  // namespace

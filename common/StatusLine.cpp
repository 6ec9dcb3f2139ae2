#include "common/StatusLine.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint64_t MIN_REDRAW_MS = 100;   // at most ten redraws a second
constexpr uint64_t SHOWN_WAIT_MS = 1000;  // shorter waits are slept whole, unseen
constexpr int BAR_WIDTH = 24;
constexpr int DEFAULT_COLUMNS = 80;
constexpr const char* DEFAULT_WHAT = "waiting";

struct State {
    bool on = false;
    bool drawn = false;  // something stands on the line
    std::string shown;
    uint64_t lastDrawMs = 0;
    // The open transfer (id 0: none).
    uint64_t transferId = 0;
    uint64_t nextId = 1;
    std::string what;
    uint64_t total = 0;
    uint64_t done = 0;
    uint64_t startMs = 0;
};

State& S() {
    static State state;
    return state;
}

uint64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

size_t Columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return DEFAULT_COLUMNS;
}

std::string Bytes(uint64_t n) {
    char text[32];
    if (n < 1024) {
        snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(n));
    } else if (n < 1024u * 1024u) {
        snprintf(text, sizeof(text), "%.1f KiB", static_cast<double>(n) / 1024.0);
    } else {
        snprintf(text, sizeof(text), "%.1f MiB", static_cast<double>(n) / (1024.0 * 1024.0));
    }
    return text;
}

std::string Duration(uint64_t seconds) {
    char text[32];
    if (seconds < 60) {
        snprintf(text, sizeof(text), "%llu s", static_cast<unsigned long long>(seconds));
    } else {
        snprintf(text, sizeof(text), "%llu min %02llu s",
                 static_cast<unsigned long long>(seconds / 60),
                 static_cast<unsigned long long>(seconds % 60));
    }
    return text;
}

// Writes text over the line. A text equal to the one shown is not written
// again; another one waits until MIN_REDRAW_MS passed since the last draw
// (also after a wipe) unless forced.
void Draw(const std::string& text, bool force) {
    State& s = S();
    if (!s.on) return;
    if (s.drawn && text == s.shown) return;
    const uint64_t now = MonotonicMs();
    if (!force && now - s.lastDrawMs < MIN_REDRAW_MS) return;
    std::string line = text;
    const size_t room = Columns() - 1;  // a full line would wrap and break the redraw
    if (line.size() > room) line.resize(room);
    // What went to standard output comes first on a shared terminal.
    fflush(stdout);
    fprintf(stderr, "\r%s\033[K", line.c_str());
    fflush(stderr);
    s.drawn = true;
    s.shown = text;
    s.lastDrawMs = now;
}

void DrawTransfer(bool force) {
    const State& s = S();
    Draw(StatusLine::BarText(s.what.c_str(), s.done, s.total, MonotonicMs() - s.startMs), force);
}

}  // namespace

bool StatusLine::TerminalAllows() {
    const char* term = getenv("TERM");
    return isatty(STDERR_FILENO) == 1 && term != nullptr && term[0] != '\0' &&
           strcmp(term, "dumb") != 0;
}

void StatusLine::SetOn(bool on) {
    if (!on) Wipe();
    S().on = on;
}

bool StatusLine::IsOn() { return S().on; }

StatusLine::Transfer::Transfer(const char* what, uint64_t total) : id_(0) {
    State& s = S();
    if (!s.on) return;
    id_ = s.nextId++;
    s.transferId = id_;
    s.what = what;
    s.total = total;
    s.done = 0;
    s.startMs = MonotonicMs();
    DrawTransfer(true);
}

StatusLine::Transfer::~Transfer() {
    State& s = S();
    if (id_ == 0 || s.transferId != id_) return;
    s.transferId = 0;
    Wipe();
}

void StatusLine::Sent(uint64_t bytes) {
    State& s = S();
    if (!s.on || s.transferId == 0) return;
    s.done += bytes;
    if (s.done > s.total) s.done = s.total;
    DrawTransfer(s.done == s.total);
}

void StatusLine::Wait(const char* what, uint64_t ms, const SleepFunction& sleep, const char* note) {
    if (!S().on || ms < SHOWN_WAIT_MS) {
        sleep(ms);
        return;
    }
    // Pieces that end at whole seconds left, so that each shows one number.
    for (uint64_t left = ms; left > 0;) {
        const uint64_t seconds = (left + 999) / 1000;
        const uint64_t piece = left - (seconds - 1) * 1000;
        Draw(CountdownText(what, left, note), true);
        sleep(piece);
        left -= piece;
    }
    Wipe();
    // A transfer under way shows again at its next bytes.
}

void StatusLine::Countdown(const char* what, uint64_t leftMs, const char* note) {
    Draw(CountdownText(what, leftMs, note), false);
}

void StatusLine::Wipe() {
    State& s = S();
    if (!s.drawn) return;
    fputs("\r\033[K", stderr);
    fflush(stderr);
    s.drawn = false;
    s.shown.clear();
}

std::string StatusLine::BarText(const char* what, uint64_t done, uint64_t total,
                                uint64_t elapsedMs) {
    const double fraction =
        total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(fraction * BAR_WIDTH);
    std::string text = what;
    text += " [";
    text.append(static_cast<size_t>(filled), '#');
    text.append(static_cast<size_t>(BAR_WIDTH - filled), '-');
    char percent[16];
    snprintf(percent, sizeof(percent), "] %3d%%  ", static_cast<int>(fraction * 100));
    text += percent;
    text += Bytes(done) + " / " + Bytes(total);
    // The rate needs a moment of transfer to mean something.
    if (done > 0 && elapsedMs >= 200) {
        const uint64_t rate = done * 1000 / elapsedMs;
        text += "  " + Bytes(rate) + "/s";
        if (rate > 0 && done < total) {
            text += "  " + Duration((total - done + rate - 1) / rate) + " left";
        }
    }
    return text;
}

std::string StatusLine::CountdownText(const char* what, uint64_t leftMs, const char* note) {
    std::string text = what != nullptr ? what : DEFAULT_WHAT;
    text += ": " + Duration((leftMs + 999) / 1000) + " left";
    if (note != nullptr) text += std::string(" (") + note + ")";
    return text;
}

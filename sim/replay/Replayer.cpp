#include "sim/replay/Replayer.h"

#include <algorithm>

#include "sim/core/PrinterCore.h"

namespace {

// Answers already queued get this long to leave before a restart drops the link.
constexpr int RESTART_GRACE_MS = 20;
constexpr size_t SHOWN_BYTES = 48;

std::string Hex(const uint8_t* data, size_t length, size_t from) {
    std::string out;
    size_t end = std::min(length, from + SHOWN_BYTES);
    char cell[4];
    for (size_t i = from; i < end; ++i) {
        snprintf(cell, sizeof(cell), "%s%02x", out.empty() ? "" : " ", data[i]);
        out += cell;
    }
    if (from > 0) out = "... " + out;
    if (end < length) out += " ...";
    if (out.empty()) out = "(nothing)";
    return out;
}

}  // namespace

const char* ReplayUsage() {
    return "\nReplay: prnsim --replay LOG [--fast] [--run N] TRANSPORT\n"
           "  plays the printer's side of a run recorded in a log written with -lf\n"
           "  (data.log) on --tcp, --pty or --usb: the recorded answers come back\n"
           "  when the program sends the recorded requests, with the recorded timing\n"
           "  (--fast: at once), and the recorded disconnections and restarts happen.\n"
           "  --run N  the Nth run of the log (default: the last one with link traffic)\n"
           "  Exit code 3 when the program departs from the recording (the first\n"
           "  differing exchange and both byte strings go to standard error), or\n"
           "  stops before its end; 2 when the log cannot be read as a recording.\n"
           "  On --tcp and --pty the replay ends by itself once everything was played\n"
           "  and the program has closed the link; on --usb with the program.\n";
}

Replayer::Replayer(std::vector<ReplayExchange> script, bool fast)
    : script_(std::move(script)), fast_(fast) {}

void Replayer::Install(PrinterCore& core) {
    core.AddStreamHandler(
        "REPLAY", [] { return true; },
        [this](const uint8_t* data, size_t length, std::vector<uint8_t>&) {
            return Take(data, length);
        });
    std::lock_guard<std::mutex> lock(mutex_);
    if (!script_.empty() && script_.front().request.empty()) {
        Schedule(script_.front(), Clock::now());
        next_ = 1;
    }
}

void Replayer::Schedule(const ReplayExchange& exchange, Clock::time_point start) {
    for (const ReplayAction& action : exchange.actions) {
        // How long the printer stays away is kept even when fast.
        int64_t after = fast_ ? 0 : action.afterMs;
        due_.push_back(Due{start + std::chrono::milliseconds(after), action});
    }
}

size_t Replayer::Take(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (departed_) return length;
    if (next_ >= script_.size()) {
        Depart(data, length, 0);
        return length;
    }
    const std::vector<uint8_t>& request = script_[next_].request;
    size_t count = std::min(length, request.size() - matched_);
    for (size_t i = 0; i < count; ++i) {
        if (data[i] != request[matched_ + i]) {
            Depart(data, length, matched_ + i);
            return length;
        }
    }
    matched_ += count;
    if (matched_ == request.size()) {
        Schedule(script_[next_], Clock::now());
        ++next_;
        matched_ = 0;
    }
    return count;
}

void Replayer::Depart(const uint8_t* data, size_t length, size_t at) {
    departed_ = true;
    due_.clear();
    if (next_ >= script_.size()) {
        report_ = "the program sent more than the recording holds, after exchange " +
                  std::to_string(script_.size()) + ": " + Hex(data, length, 0);
        return;
    }
    const ReplayExchange& exchange = script_[next_];
    // The request as it arrived: the part that matched, then the new bytes.
    std::vector<uint8_t> received(exchange.request.begin(),
                                  exchange.request.begin() + static_cast<long>(matched_));
    received.insert(received.end(), data, data + length);
    size_t from = at >= 16 ? (at / 16 - 1) * 16 : 0;
    report_ = "exchange " + std::to_string(next_ + 1) + " (log line " +
              std::to_string(exchange.line) + ") departs from the recording at byte " +
              std::to_string(at) + " of " + std::to_string(exchange.request.size()) +
              "\nprnsim: replay: recorded: " +
              Hex(exchange.request.data(), exchange.request.size(), from) +
              "\nprnsim: replay: received: " + Hex(received.data(), received.size(), from);
}

void Replayer::Poll(PrinterCore& core) {
    for (;;) {
        ReplayAction action;
        // Asked before taking the lock: the core calls Take with its own lock held.
        bool answersWaiting = core.HasOutput();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (due_.empty() || due_.front().at > Clock::now()) return;
            // A drop or a restart waits until the answers before it are out.
            if (due_.front().action.kind != ReplayAction::Kind::Answer && answersWaiting) return;
            action = std::move(due_.front().action);
            due_.pop_front();
        }
        switch (action.kind) {
            case ReplayAction::Kind::Answer:
                core.Answer(std::move(action.bytes));
                break;
            case ReplayAction::Kind::Drop:
                core.RequestClose();
                break;
            case ReplayAction::Kind::Restart:
                core.RequestRestart(RESTART_GRACE_MS, action.awayMs, "");
                break;
        }
    }
}

bool Replayer::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !due_.empty();
}

bool Replayer::Departed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return departed_;
}

bool Replayer::Played() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !departed_ && next_ >= script_.size() && due_.empty();
}

int Replayer::Finish(FILE* out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (departed_) {
        fprintf(out, "prnsim: replay: %s\n", report_.c_str());
        return DEPARTED_EXIT;
    }
    if (next_ < script_.size()) {
        const ReplayExchange& exchange = script_[next_];
        fprintf(out,
                "prnsim: replay: the program stopped at exchange %zu of %zu (log line %zu), "
                "%zu of its %zu bytes received\n",
                next_ + 1, script_.size(), exchange.line, matched_, exchange.request.size());
        return DEPARTED_EXIT;
    }
    fprintf(out, "prnsim: replay: all %zu exchanges played\n", script_.size());
    return 0;
}

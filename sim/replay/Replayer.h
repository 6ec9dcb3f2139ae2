#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sim/replay/ReplayScript.h"

class PrinterCore;

// Plays the printer's side of a recorded run on the printer core: it takes
// every byte the program writes, holds it against the recording, and when a
// request is complete it carries out what the printer did then (answers with
// their recorded timing, or at once when fast; drops; restarts). The first
// byte that departs from the recording ends the replay.
class Replayer {
  public:
    // prnsim's exit code when the program departed from the recording.
    static constexpr int DEPARTED_EXIT = 3;

    Replayer(std::vector<ReplayExchange> script, bool fast);

    // Takes over the core's input (before any transport runs) and starts the
    // clock of the first exchange.
    void Install(PrinterCore& core);
    // Carries out the actions that are due.
    void Poll(PrinterCore& core);
    // True while actions wait for their time: the caller must poll again soon.
    bool Waiting() const;
    bool Departed() const;
    // True once every exchange was played and nothing is left to do.
    bool Played() const;
    // Reports the outcome; 0 when the whole recording was played, else
    // DEPARTED_EXIT.
    int Finish(FILE* out) const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Due {
        Clock::time_point at;
        ReplayAction action;
    };

    // The core's stream handler (runs with the core locked).
    size_t Take(const uint8_t* data, size_t length);
    void Schedule(const ReplayExchange& exchange, Clock::time_point start);
    void Depart(const uint8_t* data, size_t length, size_t at);

    std::vector<ReplayExchange> script_;
    bool fast_;
    mutable std::mutex mutex_;
    size_t next_ = 0;     // the exchange whose request is awaited
    size_t matched_ = 0;  // bytes of its request received so far
    std::deque<Due> due_;
    bool departed_ = false;
    std::string report_;
};

// Help text of the replay options.
const char* ReplayUsage();

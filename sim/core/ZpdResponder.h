#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"

// Answers for recorded scripts of raw exchanges: a table of request bytes and
// the answer bytes the printer gives to each, and printer resets. A reset
// (the printer reset request 1F FF 07, or a table entry marked as one) makes
// the printer restart: for the reset time, every byte that arrives is lost.
class ZpdResponder {
  public:
    struct Entry {
        std::vector<uint8_t> request;  // at least one byte
        std::vector<uint8_t> answer;   // may be empty: taken, not answered
        bool reset = false;
    };

    struct Settings {
        std::vector<Entry> table;
        int resetMs = 0;
    };

    explicit ZpdResponder(const Settings& settings);

    void Install(PrinterCore& core);

    int Resets() const;
    // Bytes that arrived while the printer restarted.
    size_t LostBytes() const;

    // Reads "REQUEST = ANSWER": both sides hexadecimal bytes, blanks between
    // them allowed; the answer may also be the word "reset". False with a
    // reason for anything else.
    static bool ParseEntry(const std::string& text, Entry& entry, std::string& error);
    // One entry per line of the file; empty lines and lines beginning with "#"
    // are skipped.
    static bool LoadTable(const std::string& path, std::vector<Entry>& table, std::string& error);

  private:
    using Clock = std::chrono::steady_clock;

    bool Restarting() const;
    void Reset();

    Settings settings_;
    mutable std::mutex mutex_;
    Clock::time_point restartEnds_{};
    int resets_ = 0;
    size_t lost_ = 0;
};

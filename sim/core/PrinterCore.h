#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The simulated printer, independent of any transport: bytes the host writes
// go in through Receive, the printer's answers come out through TakeOutput.
// Transports (TCP, serial, emulated USB) only move bytes.
class PrinterCore {
  public:
    PrinterCore();

    // Bytes written by the host; answers are queued for TakeOutput.
    void Receive(const uint8_t* data, size_t length);
    // Moves up to max queued answer bytes into out; returns how many.
    size_t TakeOutput(uint8_t* out, size_t max);
    bool HasOutput() const;

    // Everything received so far, in order (for tests).
    std::vector<uint8_t> Received() const;

  private:
    mutable std::mutex mutex_;
    std::vector<uint8_t> received_;
    std::deque<uint8_t> output_;
};

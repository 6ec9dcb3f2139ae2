#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class PrinterCore;

// Moves bytes between one non-blocking descriptor and the printer core:
// what arrives goes to the core, the core's answers go out, and answers the
// descriptor cannot take yet wait for the next turn.
class ByteLink {
  public:
    enum class State { Open, Closed };

    explicit ByteLink(PrinterCore& core) : core_(core) {}

    // Reads what is there; Closed when the peer has gone (or on an error).
    State Pump(int fd);
    // Writes the core's ready answers; Closed when the peer has gone.
    State Flush(int fd);
    bool WantsToWrite() const { return !unsent_.empty(); }
    void Reset() { unsent_.clear(); }

  private:
    PrinterCore& core_;
    std::vector<uint8_t> unsent_;
};

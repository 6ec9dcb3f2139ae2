#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Faults of the line between the host and the printer, placed by the
// position of a byte in what the printer receives ("in") or sends ("out"),
// counted from 0 over the whole run, across reconnections and across every
// device on the same cable (a USB printer and its boot device):
//   drop:N        the connection goes once N bytes have passed
//   flip:N[:BIT]  bit BIT (default 0) of byte N is inverted
//   lose:N:K      bytes N to N+K-1 never arrive
//   stall:N:MS    from byte N on, nothing moves for MS milliseconds
class LineFaults {
  public:
    enum Direction { IN, OUT };

    // What a run of bytes met on its way.
    struct Effect {
        bool drop = false;  // the connection is to go now
        int stallMs = 0;    // a stall of what comes in begins with these bytes
    };

    // "[in:|out:]KIND:N[:ARG]"; false with a reason.
    bool Add(const std::string& word, std::string& error);
    bool Empty() const;

    // Applies the faults to length bytes going in direction and returns the
    // bytes that pass (bytes after a drop do not).
    std::vector<uint8_t> Pass(Direction direction, const uint8_t* data, size_t length,
                              Effect& effect);

    // Stalls of what goes out hold the bytes before they pass: how many bytes
    // may pass before the next one, and whether one is due now (then with its length).
    size_t BytesBeforeStall(Direction direction) const;
    bool TakeStall(Direction direction, int& ms);

  private:
    enum class Kind { Drop, Flip, Lose, Stall };
    struct Fault {
        Direction direction;
        Kind kind;
        uint64_t at;
        uint32_t arg;
        bool taken = false;  // a stall of what goes out, once it has begun
    };

    mutable std::mutex mutex_;
    std::vector<Fault> faults_;
    uint64_t count_[2] = {0, 0};
};

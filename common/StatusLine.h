#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One live line on standard error for a person at a terminal: the transfer
// under way as a bar (bytes done of the total, rate, time left), or the wait
// under way with what it waits for and a countdown. It is redrawn in place
// and wiped before any other text reaches the terminal. It is on only with
// "-v" when standard error is a terminal whose TERM is set and not "dumb";
// off, nothing here writes anything and every wait is one sleep as before.
class StatusLine {
  public:
    using SleepFunction = std::function<void(uint64_t ms)>;

    // Whether the line may be shown: standard error a terminal, TERM set and
    // not "dumb".
    static bool TerminalAllows();
    // The front end switches the line on for "-v" when the terminal allows.
    static void SetOn(bool on);
    static bool IsOn();

    // A transfer of total bytes, from construction to destruction. The bytes
    // that the links hand on meanwhile (Sent) count as done.
    class Transfer {
      public:
        Transfer(const char* what, uint64_t total);
        ~Transfer();
        Transfer(const Transfer&) = delete;
        Transfer& operator=(const Transfer&) = delete;

      private:
        uint64_t id_;
    };
    // Every link reports here each piece of bytes it wrote.
    static void Sent(uint64_t bytes);

    // Sleeps ms through sleep. While the line is on and the wait lasts a
    // second or more, the sleep is cut at whole seconds left (the pieces add
    // up to ms) and the line reads "<what>: N s left (<note>)".
    static void Wait(const char* what, uint64_t ms, const SleepFunction& sleep,
                     const char* note = nullptr);
    // One look of a wait that polls: shows what and the time left; the
    // caller ends the wait with Wipe.
    static void Countdown(const char* what, uint64_t leftMs, const char* note = nullptr);

    // Clears the line if something is shown; text written to the terminal
    // next starts on a clean line.
    static void Wipe();

    // The texts as drawn (tests).
    static std::string BarText(const char* what, uint64_t done, uint64_t total, uint64_t elapsedMs);
    static std::string CountdownText(const char* what, uint64_t leftMs, const char* note);
};

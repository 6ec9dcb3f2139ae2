#pragma once

// What the program adds for a person watching, beyond the console messages,
// log lines and exit codes that scripts rely on. Everything here goes to
// standard error, so standard output and the log stay byte for byte what they
// are without it.
class PersonConsole {
  public:
    // A warning about the command line (a typo, a doubtful value): always
    // shown, one line.
    static void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // A line for "-v" only, shown at once (for instance which printer "-d ANY"
    // took).
    static void Tell(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // A line for "-v" only that names the cause of a failure. It is held back
    // and written by FlushCauses, after the operation's own lines; the same
    // line held twice is written once.
    static void Cause(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Writes the held-back cause lines once; the end of every run calls it.
    static void FlushCauses();

    // Forgets held-back lines (for tests that run several operations).
    static void Reset();
};

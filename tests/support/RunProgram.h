#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProgramResult {
    int exitCode = -1;  // valid when the program exited
    int signal = 0;     // the signal that ended it, else 0
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string workingDirectory;       // empty: the test's own
    std::vector<std::string> extraEnv;  // "NAME=value" entries set in the environment
    std::string input;                  // written to standard input, then closed
    // When set, input is written (and standard input closed) only once
    // standard output holds this text, and inputDelayMs later: a person who
    // answers a prompt.
    std::string inputAfter;
    int inputDelayMs = 0;
    int timeoutMs = 30000;  // the program is killed after this
    // Standard error on a pseudo-terminal (err: what the terminal received)
    // rather than a pipe.
    bool errOnTerminal = false;
};

// Runs argv[0] with the arguments and collects its output and exit status.
ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Milliseconds on the monotonic clock, for deadlines.
long long NowMs();

// Lines of a text, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testsupport

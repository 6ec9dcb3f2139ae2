#pragma once

#include <string>

// The replay words of prnsim's command line.
struct ReplayOptions {
    std::string file;  // the log to play; empty: no replay
    bool fast = false;
    int run = 0;  // 0: the last run with link traffic
};

// Reads the replay word at argv[i] (and its value). Returns how many words
// it took, 0 when the word is not a replay word, -1 with a reason for a bad
// value.
int ParseReplayOption(int argc, char** argv, int i, ReplayOptions& options, std::string& error);

#include "sim/replay/ReplayOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

int ParseReplayOption(int argc, char** argv, int i, ReplayOptions& options, std::string& error) {
    std::string word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (word == "--fast") {
        options.fast = true;
        return 1;
    }
    if (word == "--replay") {
        if (value == nullptr || value[0] == '\0' || strlen(value) > 4096) {
            error = "--replay needs the log file to play";
            return -1;
        }
        options.file = value;
        return 2;
    }
    if (word == "--run") {
        char* end = nullptr;
        errno = 0;
        long n = value != nullptr ? strtol(value, &end, 10) : 0;
        if (value == nullptr || value[0] < '1' || value[0] > '9' || *end != '\0' || errno != 0 ||
            n > 1000000) {
            error = "--run needs a run number from 1";
            return -1;
        }
        options.run = static_cast<int>(n);
        return 2;
    }
    return 0;
}

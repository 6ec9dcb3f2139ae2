#include "common/PersonConsole.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "common/CmdConsole.h"
#include "common/StatusLine.h"

namespace {

constexpr size_t LINE_SIZE = 2048;

std::vector<std::string>& HeldCauses() {
    static std::vector<std::string> causes;
    return causes;
}

std::string Format(const char* format, va_list args) {
    char line[LINE_SIZE];
    vsnprintf(line, sizeof(line), format, args);
    return line;
}

bool Verbose() { return CmdConsole::iShowToVideo == 1; }

void WriteLine(const std::string& line) {
    StatusLine::Wipe();
    // What went to standard output so far comes first on a shared terminal.
    fflush(stdout);
    fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

void PersonConsole::Warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = Format(format, args);
    va_end(args);
    WriteLine("prnupgrade: warning: " + line);
}

void PersonConsole::Tell(const char* format, ...) {
    if (!Verbose()) return;
    va_list args;
    va_start(args, format);
    std::string line = Format(format, args);
    va_end(args);
    WriteLine(line);
}

void PersonConsole::Cause(const char* format, ...) {
    if (!Verbose()) return;
    va_list args;
    va_start(args, format);
    std::string line = Format(format, args);
    va_end(args);
    // A step tried again names the same cause once.
    std::vector<std::string>& held = HeldCauses();
    if (std::find(held.begin(), held.end(), line) == held.end()) held.push_back(line);
}

void PersonConsole::FlushCauses() {
    for (const std::string& line : HeldCauses()) WriteLine("Cause: " + line);
    HeldCauses().clear();
}

void PersonConsole::Reset() { HeldCauses().clear(); }

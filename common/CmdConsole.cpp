#include "common/CmdConsole.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "common/StatusLine.h"

int CmdConsole::iShowToVideo = 0;

void CmdConsole::WriteToConsoleString(const char* format, ...) {
    if (iShowToVideo == 0) return;
    std::vector<char> buffer(BUFFER_SIZE, '\0');
    va_list args;
    va_start(args, format);
    vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (buffer[0] != '\0' && iShowToVideo != 2) {
        StatusLine::Wipe();
        fputs(buffer.data(), stdout);
        fputc('\n', stdout);
        // The status line is redrawn after the message, never within it.
        if (StatusLine::IsOn()) fflush(stdout);
    }
}

#pragma once

#include <cstddef>

// Progress and result messages for a person watching; silent unless "-v".
class CmdConsole {
  public:
    static constexpr size_t BUFFER_SIZE = 30720;

    // 0 silent, 1 messages to standard output, 2 formatted but not shown.
    static int iShowToVideo;

    // Formats with the printf rules and writes the text plus a line end.
    // Text from printers or files must be passed as a %s argument.
    static void WriteToConsoleString(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

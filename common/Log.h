#pragma once

#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Process-wide diagnostic log: time-stamped lines tagged with the writing
// function's name, written to standard output (type 1) or appended to
// "data.log" (type 2). Off until SetLogEnable is called.
class Log {
  public:
    static constexpr size_t LINE_BUFFER = 4096;
    static constexpr size_t MESSAGE_BUFFER = 4224;

    static uint32_t m_dwLogType;
    static bool m_bLogDataToo;
    static char m_strFileName[200];
    static FILE* m_TextFile;

    static void SetLogEnable(uint32_t type, bool dataToo);

    // Receives every line (function name and text) while set, whether or not
    // logging is on; a program that reports a failure in its own words keeps
    // what the failing step wrote this way. Null stops it.
    using Observer = void (*)(const char* function, const char* text);
    static void SetObserver(Observer observer);

    // Printer- and file-supplied text must always go through %s, never as the format.
    static void WriteLog(const char* function, const char* text);
    static void WriteLogP(const char* function, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    static void Write(const char* function, const std::string& text);
    static void WriteLogData(const char* function, const char* text, const unsigned char* data,
                             size_t length);

    static void WriteToFile(const char* text);
    static bool OpenLogFile();
    static bool CloseLogFile();
    static void WriteToVideo(const char* text);

    // Builds "[Y/MM/DD hh:mm:ss.mmm][function]text" into out (cut to size).
    static void FormatLine(char* out, size_t size, const char* function, const char* text,
                           const struct timeval& when);
    // Builds one hex dump row (without the leading tabs) for up to 16 bytes at offset.
    static void FormatDumpRow(char* out, size_t size, const unsigned char* data, size_t length,
                              size_t offset);

  private:
    static bool Enabled();
    static void Emit(const char* line);

    static Observer m_observer;
};

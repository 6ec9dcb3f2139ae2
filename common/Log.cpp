#include "common/Log.h"

#include <cctype>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "common/StatusLine.h"

uint32_t Log::m_dwLogType = 0;
bool Log::m_bLogDataToo = false;
char Log::m_strFileName[200] = "";
FILE* Log::m_TextFile = nullptr;
Log::Observer Log::m_observer = nullptr;

void Log::SetLogEnable(uint32_t type, bool dataToo) {
    m_dwLogType = type;
    if (type != 0) m_bLogDataToo = dataToo;
    snprintf(m_strFileName, sizeof(m_strFileName), "%s", "data.log");
}

void Log::SetObserver(Observer observer) { m_observer = observer; }

bool Log::Enabled() { return m_dwLogType != 0 && m_bLogDataToo; }

void Log::Emit(const char* line) {
    if (m_dwLogType == 2) {
        WriteToFile(line);
    } else if (m_dwLogType == 1) {
        WriteToVideo(line);
    }
}

void Log::FormatLine(char* out, size_t size, const char* function, const char* text,
                     const struct timeval& when) {
    struct tm local {};
    time_t seconds = when.tv_sec;
    localtime_r(&seconds, &local);
    snprintf(out, size, "[%d/%02d/%02d %02d:%02d:%02d.%03ld][%s]%s", local.tm_year + 1900,
             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             static_cast<long>(when.tv_usec / 1000), function ? function : "", text ? text : "");
}

void Log::WriteLog(const char* function, const char* text) {
    if (m_observer != nullptr) m_observer(function ? function : "", text ? text : "");
    if (!Enabled()) return;
    struct timeval now {};
    gettimeofday(&now, nullptr);
    char line[LINE_BUFFER];
    FormatLine(line, sizeof(line), function, text, now);
    Emit(line);
}

void Log::WriteLogP(const char* function, const char* format, ...) {
    if (!Enabled() && m_observer == nullptr) return;
    char message[MESSAGE_BUFFER];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    WriteLog(function, message);
}

void Log::Write(const char* function, const std::string& text) { WriteLog(function, text.c_str()); }

void Log::FormatDumpRow(char* out, size_t size, const unsigned char* data, size_t length,
                        size_t offset) {
    // Row layout: "%04x:", 16 hex groups (or blanks past the end), three
    // blanks, then the printable characters of the row.
    std::string row;
    char cell[16];
    snprintf(cell, sizeof(cell), "%04zx:", offset);
    row += cell;
    for (size_t i = 0; i < 16; ++i) {
        if (offset + i < length) {
            snprintf(cell, sizeof(cell), " %02x", data[offset + i]);
            row += cell;
        } else {
            row += "   ";
        }
    }
    row += "   ";
    for (size_t i = 0; i < 16 && offset + i < length; ++i) {
        unsigned char c = data[offset + i];
        row += (std::isprint(c) && c != '%') ? static_cast<char>(c) : '.';
    }
    snprintf(out, size, "%s", row.c_str());
}

void Log::WriteLogData(const char* function, const char* text, const unsigned char* data,
                       size_t length) {
    if (!Enabled()) return;
    WriteLog(function, text);
    if (data == nullptr || length == 0) return;
    // The rows of one dump go out in one piece: a large dump does not reopen
    // the log file for every row, and the file is still whole after it.
    std::string rows;
    rows.reserve((length / 16 + 1) * 96);
    for (size_t offset = 0; offset < length; offset += 16) {
        char row[128];
        FormatDumpRow(row, sizeof(row), data, length, offset);
        rows += "\t\t\t\t\t\t\t\t\t\t";
        rows += row;
        rows += '\n';
    }
    rows.pop_back();  // the writers below end the text with the last line end
    Emit(rows.c_str());
}

void Log::WriteToFile(const char* text) {
    // Open, append, close: the file is complete after every line.
    if (m_TextFile == nullptr) {
        m_TextFile = fopen(m_strFileName, "a");
        if (m_TextFile == nullptr) return;
    }
    fprintf(m_TextFile, "%s\n", text);
    fclose(m_TextFile);
    m_TextFile = nullptr;
}

bool Log::OpenLogFile() {
    if (m_TextFile != nullptr) return true;
    m_TextFile = fopen(m_strFileName, "a");
    return m_TextFile != nullptr;
}

bool Log::CloseLogFile() {
    if (m_TextFile == nullptr) return true;
    if (fclose(m_TextFile) != 0) return false;
    m_TextFile = nullptr;
    return true;
}

void Log::WriteToVideo(const char* text) {
    StatusLine::Wipe();
    fputs(text, stdout);
    fputc('\n', stdout);
}

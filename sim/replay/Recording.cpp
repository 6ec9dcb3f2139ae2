#include "sim/replay/Recording.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const char* const TRACE_FUNCTION = "LinkTrace";
const char* const ROW_INDENT = "\t\t\t\t\t\t\t\t\t\t";
constexpr size_t ROW_INDENT_SIZE = 10;
constexpr size_t ROW_BYTES = 16;

struct LogLine {
    int64_t atMs = 0;
    std::string function;
    std::string text;
};

std::string At(size_t line) { return "line " + std::to_string(line) + ": "; }

bool Digits(const std::string& s, size_t pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "[YYYY/MM/DD hh:mm:ss.mmm][function]text"; false for any other line.
bool ParseLogLine(const std::string& s, LogLine& out) {
    int year, month, day, hour, minute, second, ms;
    if (s.size() < 25 || s[0] != '[' || !Digits(s, 1, 4, year) || s[5] != '/' ||
        !Digits(s, 6, 2, month) || s[8] != '/' || !Digits(s, 9, 2, day) || s[11] != ' ' ||
        !Digits(s, 12, 2, hour) || s[14] != ':' || !Digits(s, 15, 2, minute) || s[17] != ':' ||
        !Digits(s, 18, 2, second) || s[20] != '.' || !Digits(s, 21, 3, ms) || s[24] != ']') {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    if (s.size() < 26 || s[25] != '[') return false;
    size_t close = s.find(']', 26);
    if (close == std::string::npos) return false;
    out.function = s.substr(26, close - 26);
    out.text = s.substr(close + 1);
    int64_t days = DaysFromCivil(year, month, day);
    out.atMs = ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One dump row: ten tabs, the offset, ':', 16 cells " hh" (or three blanks
// past the end), then the characters, which are not read. Appends the row's
// bytes; wanted is how many the row must hold.
bool ParseDumpRow(const std::string& s, size_t offset, size_t wanted, std::vector<uint8_t>& out,
                  std::string& why) {
    if (s.compare(0, ROW_INDENT_SIZE, ROW_INDENT) != 0) {
        why = "a dump row was expected";
        return false;
    }
    size_t colon = s.find(':', ROW_INDENT_SIZE);
    if (colon == std::string::npos || colon == ROW_INDENT_SIZE || colon - ROW_INDENT_SIZE > 8) {
        why = "the dump row has no offset";
        return false;
    }
    size_t rowOffset = 0;
    for (size_t i = ROW_INDENT_SIZE; i < colon; ++i) {
        int v = HexValue(s[i]);
        if (v < 0) {
            why = "the dump row has no offset";
            return false;
        }
        rowOffset = rowOffset * 16 + static_cast<size_t>(v);
    }
    if (rowOffset != offset) {
        char text[96];
        snprintf(text, sizeof(text), "the dump row is at offset %zx where %zx was expected",
                 rowOffset, offset);
        why = text;
        return false;
    }
    size_t pos = colon + 1;
    for (size_t i = 0; i < ROW_BYTES; ++i, pos += 3) {
        if (pos + 3 > s.size()) {
            why = "the dump row is cut short";
            return false;
        }
        if (i >= wanted) {
            if (s.compare(pos, 3, "   ") != 0) {
                why = "the dump row holds more bytes than its line announced";
                return false;
            }
            continue;
        }
        int high = HexValue(s[pos + 1]);
        int low = HexValue(s[pos + 2]);
        if (s[pos] != ' ' || high < 0 || low < 0) {
            why = "the dump row has a cell that is no hexadecimal byte";
            return false;
        }
        out.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

// "<kind> sent <n> bytes", "<kind> received <n> bytes", "<kind> opened",
// "<kind> open failed", "<kind> closed", "<kind> lost".
bool ParseTraceText(const std::string& text, std::string& kind, RecordedEvent& event, size_t& count,
                    std::string& why) {
    size_t blank = text.find(' ');
    if (blank == std::string::npos) {
        why = "unknown link trace \"" + text.substr(0, 80) + "\"";
        return false;
    }
    kind = text.substr(0, blank);
    if (kind != "ser" && kind != "eth" && kind != "usb") {
        why = "unknown link kind \"" + kind.substr(0, 20) + "\"";
        return false;
    }
    std::string rest = text.substr(blank + 1);
    count = 0;
    if (rest == "opened") {
        event.kind = RecordedEvent::Kind::Opened;
    } else if (rest == "open failed") {
        event.kind = RecordedEvent::Kind::OpenFailed;
    } else if (rest == "closed") {
        event.kind = RecordedEvent::Kind::Closed;
    } else if (rest == "lost") {
        event.kind = RecordedEvent::Kind::Lost;
    } else {
        const char* const sent = "sent ";
        const char* const received = "received ";
        size_t start;
        if (rest.compare(0, strlen(sent), sent) == 0) {
            event.kind = RecordedEvent::Kind::Sent;
            start = strlen(sent);
        } else if (rest.compare(0, strlen(received), received) == 0) {
            event.kind = RecordedEvent::Kind::Received;
            start = strlen(received);
        } else {
            why = "unknown link trace \"" + text.substr(0, 80) + "\"";
            return false;
        }
        size_t end = rest.find(" bytes", start);
        if (end == std::string::npos || end == start || end + 6 != rest.size() || end - start > 9) {
            why = "no byte count in \"" + text.substr(0, 80) + "\"";
            return false;
        }
        for (size_t i = start; i < end; ++i) {
            if (rest[i] < '0' || rest[i] > '9') {
                why = "no byte count in \"" + text.substr(0, 80) + "\"";
                return false;
            }
            count = count * 10 + static_cast<size_t>(rest[i] - '0');
        }
        if (count == 0 || count > MAX_RECORDED_BYTES) {
            why = "byte count out of range in \"" + text.substr(0, 80) + "\"";
            return false;
        }
    }
    return true;
}

// Reads the dump rows of an event of count bytes from the lines that follow.
bool ReadDump(std::istream& in, size_t& lineNo, size_t count, RecordedEvent& event,
              std::string& error) {
    // The count is read from the log: the rows decide how much is kept.
    event.bytes.reserve(count < 65536 ? count : 65536);
    std::string row;
    for (size_t offset = 0; offset < count; offset += ROW_BYTES) {
        if (!std::getline(in, row)) {
            error = At(event.line) + "the dump ends after " + std::to_string(offset) + " of " +
                    std::to_string(count) + " bytes";
            return false;
        }
        ++lineNo;
        if (!row.empty() && row.back() == '\r') row.pop_back();
        std::string why;
        size_t wanted = count - offset < ROW_BYTES ? count - offset : ROW_BYTES;
        if (!ParseDumpRow(row, offset, wanted, event.bytes, why)) {
            error = At(lineNo) + why;
            return false;
        }
    }
    return true;
}

struct Run {
    Recording recording;
    bool ended = false;
};

}  // namespace

bool ReadRecording(const std::string& text, int run, Recording& out, std::string& error) {
    std::istringstream in(text);
    std::vector<Run> runs(1);
    std::string line;
    size_t lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        LogLine parsed;
        if (!ParseLogLine(line, parsed)) continue;
        if (runs.back().ended) runs.emplace_back();
        Recording& current = runs.back().recording;
        if (parsed.function.empty()) {
            // The exit-code text ends a run.
            runs.back().ended = true;
            continue;
        }
        if (parsed.function != TRACE_FUNCTION) continue;
        RecordedEvent event;
        event.atMs = parsed.atMs;
        event.line = lineNo;
        std::string kind, why;
        size_t count = 0;
        if (!ParseTraceText(parsed.text, kind, event, count, why)) {
            error = At(lineNo) + why;
            return false;
        }
        if (current.link.empty()) current.link = kind;
        if (kind != current.link) {
            error = At(lineNo) + "a " + kind + " link in a run of the " + current.link + " link";
            return false;
        }
        if (count > 0 && !ReadDump(in, lineNo, count, event, error)) return false;
        current.events.push_back(std::move(event));
    }
    if (run < 0) {
        error = "no run " + std::to_string(run);
        return false;
    }
    if (run == 0) {
        // A link closed after the exit-code text (the setup read's) is no run.
        auto traffic = [](const RecordedEvent& e) { return e.kind != RecordedEvent::Kind::Closed; };
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            const std::vector<RecordedEvent>& events = it->recording.events;
            if (std::any_of(events.begin(), events.end(), traffic)) {
                out = std::move(it->recording);
                return true;
            }
        }
        error = "the log holds no link trace (was it written with -lf?)";
        return false;
    }
    if (static_cast<size_t>(run) > runs.size() || runs[run - 1].recording.events.empty()) {
        error = "run " + std::to_string(run) + " of the log has no link trace (" +
                std::to_string(runs.size()) + " runs)";
        return false;
    }
    out = std::move(runs[run - 1].recording);
    return true;
}

bool ReadRecordingFile(const std::string& path, int run, Recording& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > MAX_RECORDING_FILE) {
        error = path + " is too large for a recording";
        return false;
    }
    file.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    if (!file.read(&text[0], size)) {
        error = "cannot read " + path;
        return false;
    }
    if (!ReadRecording(text, run, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

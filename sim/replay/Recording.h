#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One link event of a recorded run, read back from the program's log: a byte
// string the program sent or received, or a moment of the link's life.
struct RecordedEvent {
    enum class Kind { Sent, Received, Opened, OpenFailed, Closed, Lost };
    Kind kind = Kind::Sent;
    int64_t atMs = 0;  // wall-clock time of the log line, in milliseconds
    std::vector<uint8_t> bytes;
    size_t line = 0;  // line of the log where the event starts (from 1)
};

// The link events of one run of the program.
struct Recording {
    std::string link;  // "ser", "eth" or "usb"
    std::vector<RecordedEvent> events;
};

// Reads the link trace of a log ("data.log"). A log may hold several runs,
// each ended by the line of its exit-code text (the line without a function
// name); run 0 picks the last run that has link traffic, run N (from 1) the
// Nth run. Lines that are no link trace are skipped; a trace line that does
// not read, or a dump that is cut short or altered, is an error naming the
// line.
bool ReadRecording(const std::string& text, int run, Recording& out, std::string& error);

// Reads a log file; the file may be at most MAX_FILE bytes.
bool ReadRecordingFile(const std::string& path, int run, Recording& out, std::string& error);

constexpr size_t MAX_RECORDING_FILE = 512u * 1024u * 1024u;
// The largest byte string one trace line may announce.
constexpr size_t MAX_RECORDED_BYTES = 64u * 1024u * 1024u;

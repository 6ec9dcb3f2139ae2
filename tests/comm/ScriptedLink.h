#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "comm/ComPort.h"

// A link whose reads follow a script: each entry is one read's bytes; an
// empty entry is an empty read, FAIL a failed read. When the script runs
// out, the fallback is repeated. Writes are recorded with their time.
class ScriptedLink : public CComPort {
  public:
    static const std::string FAIL;

    struct WriteRecord {
        std::vector<unsigned char> bytes;
        unsigned packetSizeSeen;
        std::chrono::steady_clock::time_point at;
    };

    std::deque<std::string> reads;
    std::string fallback;  // read result once the script is used up
    int readCalls = 0;
    unsigned lastReadAsked = 0;
    std::vector<WriteRecord> writes;
    std::vector<size_t> cleanRxAt;  // count of writes made before each CleanRX
    unsigned shortWriteAt = ~0u;    // index of the write that accepts one byte less
    unsigned writeErrFlag = 1;

    unsigned Write(unsigned char* buf, unsigned len, unsigned* err) override {
        writes.push_back({std::vector<unsigned char>(buf, buf + len), uiPacketSize,
                          std::chrono::steady_clock::now()});
        if (writes.size() - 1 == shortWriteAt) {
            *err = writeErrFlag;
            return len - 1;
        }
        *err = 0;
        return len;
    }

    void CleanRX() override { cleanRxAt.push_back(writes.size()); }

    unsigned Read(unsigned char* buf, unsigned len, unsigned* err) override {
        ++readCalls;
        lastReadAsked = len;
        std::string next = fallback;
        if (!reads.empty()) {
            next = reads.front();
            reads.pop_front();
        }
        if (next == FAIL) {
            *err = 1;
            return 0xFFFFFFFFu;
        }
        *err = 0;
        size_t n = std::min<size_t>(len, next.size());
        memcpy(buf, next.data(), n);
        // What did not fit comes with the next read.
        if (n < next.size()) reads.push_front(next.substr(n));
        return static_cast<unsigned>(n);
    }
};

inline const std::string ScriptedLink::FAIL = std::string("\xff-fail-\xff");

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Log.h"
#include "protocol/ProtocollFields.h"

// Bytes of a hand-written answer ("\x02<C1><1.00>\x03").
inline std::vector<unsigned char> AnswerBytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

const std::string STX = "\x02";
const std::string ETX = "\x03";
const std::string ACK = "\x06";

// A text field: the text and its closing 00.
inline std::string Txt(const std::string& text) { return text + std::string(1, '\0'); }

// Low byte of the plain sum of the bytes, for hand-written checksum tags.
inline std::string SumTag(const std::string& fields) {
    unsigned sum = 0;
    for (char c : fields) sum += static_cast<unsigned char>(c);
    return "<" + std::to_string(sum & 0xFFu) + ">";
}

// Runs f with the log on the console and returns what it wrote.
template <typename F>
std::string CaptureLog(F f) {
    Log::SetLogEnable(1, true);
    testing::internal::CaptureStdout();
    f();
    std::string out = testing::internal::GetCapturedStdout();
    Log::SetLogEnable(0, false);
    return out;
}

// One answer decoded by CreateSetupItem, with its log; releases the record.
struct Decoded {
    ProtocollFields fields;
    void* item = nullptr;
    OBJTYPE type = OBJTYPE_NONE;
    unsigned long errors = 0;
    std::string log;

    explicit Decoded(const std::vector<unsigned char>& answer) {
        log = CaptureLog([&] {
            fields.CreateFields(answer.data(), static_cast<int>(answer.size()));
            item = fields.CreateSetupItem(&errors, nullptr, &type);
        });
    }
    explicit Decoded(const std::string& answer) : Decoded(AnswerBytes(answer)) {}
    ~Decoded() { ProtocollFields::ReleaseSetupItem(item, type); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;

    // Whether the answer decoded into a record of the expected type.
    testing::AssertionResult Is(OBJTYPE expected) const {
        if (item == nullptr) return testing::AssertionFailure() << "not decoded:\n" << log;
        if (type != expected) return testing::AssertionFailure() << "decoded as type " << type;
        return testing::AssertionSuccess();
    }
    template <typename T>
    T* As() const {
        return static_cast<T*>(item);
    }
    bool Logged(const std::string& text) const { return log.find(text) != std::string::npos; }
};

// Expects the answer to be refused, with the message in the log.
inline void ExpectRefused(const std::string& answer, const std::string& message) {
    Decoded d(answer);
    EXPECT_EQ(d.item, nullptr) << message;
    EXPECT_TRUE(d.Logged(message)) << message;
}

#pragma once

#include <array>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "comm/ComPort.h"
#include "protocol/ProtocollFields.h"

class PrinterComm;

// One answer of the printer protocol as the operations handle it: read whole
// from the link, split into fields, tested for an error answer and decoded
// into a record that this object owns until Release.
class PrinterAnswer {
  public:
    PrinterAnswer() = default;
    ~PrinterAnswer();
    PrinterAnswer(const PrinterAnswer&) = delete;
    PrinterAnswer& operator=(const PrinterAnswer&) = delete;

    // Reads one answer within the link's own receive time-out, or within
    // timeoutMs when it is above 0. False when nothing usable arrived.
    bool Read(CComPort* link, int timeoutMs = 0);
    // The bytes as they were read.
    const unsigned char* Data() const { return data_.get(); }
    int Size() const { return size_; }

    // True for an error answer or a malformed one; code then holds its error code.
    bool IsError(int* code);
    // Decodes the answer; the record when it is of the kind expected, else
    // null. The record stays owned by this object.
    void* Decode(OBJTYPE expected);
    template <typename Record>
    Record* DecodeAs(OBJTYPE expected) {
        return static_cast<Record*>(Decode(expected));
    }
    // Hands the decoded record to the caller, who releases it with
    // ProtocollFields::ReleaseSetupItem.
    void* Release();

  private:
    // The answer split into fields, at first use.
    ProtocollFields& Fields();

    struct FreeBytes {
        void operator()(unsigned char* p) const { free(p); }
    };

    std::unique_ptr<unsigned char, FreeBytes> data_;
    int size_ = 0;
    ProtocollFields fields_;
    bool split_ = false;
    void* record_ = nullptr;
    OBJTYPE type_ = OBJTYPE_NONE;
};

// Ends a failed step of an operation: logs message under function, closes
// the link, stores code as the operation's error code. Always false.
bool FailStep(PrinterComm& comm, CComPort* link, const char* function, int code,
              const char* message);

// Writes a request from the command table. Its result is not looked at:
// the answer read next tells whether the printer got it.
template <std::size_t N>
void SendRequest(CComPort* link, const std::array<unsigned char, N>& request) {
    std::array<unsigned char, N> bytes = request;
    unsigned err = 0;
    link->Write(bytes.data(), static_cast<unsigned>(N), &err);
}

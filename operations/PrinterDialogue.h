#pragma once

#include <cstddef>

#include "protocol/Commands.h"
#include "protocol/ProtocollFields.h"
#include "protocol/ProtocollVersion.h"

class CComPort;
class CommPortSettings;
class PrinterComm;
class ProtocollDataAvailable;

// The request and answer handling that the printer operations share: one
// request written, one whole answer read and split into fields, tested for
// an error answer and decoded into a record. Every log line carries the name
// of the operation that talks.
class PrinterDialogue {
  public:
    PrinterDialogue(CComPort& link, const char* function);
    ~PrinterDialogue();
    PrinterDialogue(const PrinterDialogue&) = delete;
    PrinterDialogue& operator=(const PrinterDialogue&) = delete;

    // Writes a request; the answer read after it decides, not the write.
    template <std::size_t N>
    void Send(const Commands::Bytes<N>& request) {
        Commands::Bytes<N> copy = request;
        SendBytes(copy.data(), N);
    }
    // Reads one answer and splits it into fields; false when none came.
    bool Receive();
    // True for an error answer (or a malformed one), with its code, logged
    // as "Return is a Error Answer %d".
    bool IsErrorAnswer(int& code);
    // The answer's record when it is of the kind wanted, else none. The
    // record belongs to the dialogue and lives until the next Decode.
    void* Decode(OBJTYPE wanted);

    // The opening every printer operation shares: the link opened, the
    // ESC/POS switch, the protocol version and the data available. On
    // failure the step's message is logged, the link closed when open, the
    // error code stored in comm and none returned.
    ProtocollDataAvailable* OpenAndReadDataAvailable(PrinterComm& comm, CommPortSettings& settings);

    // Stores the code, logs the text, closes the link; always false.
    bool Fail(PrinterComm& comm, int code, const char* text);

  private:
    void SendBytes(unsigned char* bytes, std::size_t length);
    void ReleaseRecord();

    CComPort& link_;
    const char* function_;
    ProtocollFields fields_;
    void* record_ = nullptr;
    OBJTYPE recordType_ = OBJTYPE_NONE;
    ProtocollVersion version_;
    unsigned long valueErrors_ = 0;
};

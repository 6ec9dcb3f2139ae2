#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/ProtocollFields.h"
#include "protocol/ProtocollVersion.h"

class CComPort;
class CommPortSettings;
class PrinterComm;
class ProtocollDataAvailable;

// The request and answer handling that the printer operations share: one
// request written, one whole answer read, split into fields when it is
// looked at, tested for an error answer and decoded into a record. A failed
// step is logged under the operation's name, closes the link and stores the
// operation's error code.
class PrinterDialogue {
  public:
    // How an operation reaches the protocol-version request.
    enum class Opening {
        // The ESC/POS switch, then the version request.
        EscPosSwitch,
        // The link's handshake, a cancel, then the version request.
        Handshake,
    };

    PrinterDialogue(PrinterComm& comm, CComPort& link, const char* function);
    ~PrinterDialogue();
    PrinterDialogue(const PrinterDialogue&) = delete;
    PrinterDialogue& operator=(const PrinterDialogue&) = delete;

    // Writes a request; the answer read after it decides, not the write.
    template <std::size_t N>
    void Send(const std::array<unsigned char, N>& request) {
        std::array<unsigned char, N> bytes = request;
        SendBytes(bytes.data(), N);
    }
    void Send(std::vector<unsigned char> request) { SendBytes(request.data(), request.size()); }

    // Reads one answer within the link's own receive time-out, or within
    // timeoutMs when it is above 0. False when nothing usable arrived.
    bool Receive(int timeoutMs = 0);
    // The bytes of the last answer as they were read.
    const std::vector<unsigned char>& Answer() const { return answer_; }

    // For an error answer (or a malformed one): logs "Return is a Error
    // Answer %d", closes the link, stores the answer's code; then true.
    bool FailOnErrorAnswer();
    // The answer's record when it is of the kind wanted, else none. The
    // record belongs to the dialogue and lives until the next Decode.
    void* Decode(OBJTYPE wanted);
    // Hands the decoded record to the caller, who releases it with
    // ProtocollFields::ReleaseSetupItem.
    void* TakeRecord();

    // Opens the link; on failure logs "Open Error" and stores its code.
    bool Open(CommPortSettings& settings);
    // Opens the link, empties its receive side and runs its handshake, which
    // gives the printer's device identifier when gsi is given. A failed
    // handshake is a failed step.
    bool OpenWithHandshake(CommPortSettings& settings, unsigned long* gsi);
    // The opening the protocol operations share: the link opened, the way
    // to the version request, the protocol version and the data available.
    // None on failure, with the step's message logged and its code stored
    // (a failed handshake leaves the link and the code as they are).
    ProtocollDataAvailable* OpenAndReadDataAvailable(CommPortSettings& settings, Opening opening);
    // The printer's protocol version as the opening read it.
    const ProtocollVersion& PrinterVersion() const { return version_; }

    // Logs text, closes the link, stores code; always false.
    bool Fail(int code, const char* text);

  private:
    void SendBytes(unsigned char* bytes, std::size_t length);
    ProtocollFields& Fields();
    void ReleaseRecord();

    PrinterComm& comm_;
    CComPort& link_;
    const char* function_;
    std::vector<unsigned char> answer_;
    ProtocollFields fields_;
    bool split_ = false;
    void* record_ = nullptr;
    OBJTYPE recordType_ = OBJTYPE_NONE;
    ProtocollVersion version_;
};

#include "operations/PrinterDialogue.h"

#include <cstdlib>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "operations/PrinterComm.h"
#include "protocol/Commands.h"
#include "protocol/ProtocollDataAvailable.h"

PrinterDialogue::PrinterDialogue(PrinterComm& comm, CComPort& link, const char* function)
    : comm_(comm), link_(link), function_(function) {}

PrinterDialogue::~PrinterDialogue() { ReleaseRecord(); }

void PrinterDialogue::SendBytes(unsigned char* bytes, std::size_t length) {
    unsigned err = 0;
    link_.Write(bytes, static_cast<unsigned>(length), &err);
}

bool PrinterDialogue::Receive(int timeoutMs) {
    int size = 0;
    unsigned char* bytes =
        timeoutMs > 0 ? link_.ReadProtocollData(&size, timeoutMs) : link_.ReadProtocollData(&size);
    answer_.clear();
    if (bytes != nullptr && size > 0) answer_.assign(bytes, bytes + size);
    free(bytes);
    split_ = false;
    return !answer_.empty();
}

ProtocollFields& PrinterDialogue::Fields() {
    if (!split_) {
        fields_.CreateFields(answer_.data(), static_cast<int>(answer_.size()));
        split_ = true;
    }
    return fields_;
}

bool PrinterDialogue::FailOnErrorAnswer() {
    PrinterSetError error = 0;
    if (!Fields().CheckAnswer(&error)) return false;
    const int code = error;
    Log::WriteLogP(function_, "Return is a Error Answer %d", code);
    link_.Close();
    comm_.iErrorCode = code;
    return true;
}

void* PrinterDialogue::Decode(OBJTYPE wanted) {
    ReleaseRecord();
    unsigned long valueErrors = 0;
    record_ = Fields().CreateSetupItem(&valueErrors, nullptr, &recordType_);
    return record_ != nullptr && recordType_ == wanted ? record_ : nullptr;
}

void* PrinterDialogue::TakeRecord() {
    void* record = record_;
    record_ = nullptr;
    recordType_ = OBJTYPE_NONE;
    return record;
}

void PrinterDialogue::ReleaseRecord() {
    const OBJTYPE type = recordType_;
    ProtocollFields::ReleaseSetupItem(TakeRecord(), type);
}

bool PrinterDialogue::Fail(int code, const char* text) {
    Log::WriteLog(function_, text);
    link_.Close();
    comm_.iErrorCode = code;
    return false;
}

bool PrinterDialogue::Open(CommPortSettings& settings) {
    if (comm_.OpenCommunicationPort(&link_, &settings)) return true;
    Log::WriteLog(function_, "Open Error");
    comm_.iErrorCode = PrinterComm::ERROR_OPEN;
    return false;
}

bool PrinterDialogue::OpenWithHandshake(CommPortSettings& settings, unsigned long* gsi) {
    if (!Open(settings)) return false;
    link_.CleanRX();
    if (link_.HandshakeCommunication(gsi)) return true;
    return Fail(PrinterComm::ERROR_OPEN, "Handshake Communication Error ");
}

ProtocollDataAvailable* PrinterDialogue::OpenAndReadDataAvailable(CommPortSettings& settings,
                                                                  Opening opening) {
    if (!Open(settings)) return nullptr;
    if (opening == Opening::Handshake) {
        if (!link_.HandshakeCommunication(nullptr)) {
            // The link stays as it is; the run ends here anyway.
            Log::WriteLog(function_, "Communication Layer: Handshake Error");
            return nullptr;
        }
        Send(Commands::Cmd_CommandCAN);
    } else {
        Send(Commands::Cmd_CommandSetESCPOSforSV);
    }
    Send(Commands::Cmd_CommandGetProtVer);
    if (!Receive()) {
        Fail(PrinterComm::ERROR_NO_ANSWER, "Get Prot. release Error");
        return nullptr;
    }
    if (FailOnErrorAnswer()) return nullptr;
    auto* version = static_cast<ProtocollVersion*>(Decode(OBJTYPE_PROTVERSION));
    if (version == nullptr) {
        Fail(PrinterComm::ERROR_STEP, "Extract SetupItemProtocollVersion Error");
        return nullptr;
    }
    version_ = *version;

    // This answer is not tested for an error answer: a printer's error
    // answer fails its decoding.
    Send(Commands::Cmd_CommandDataAvailable);
    if (!Receive()) {
        link_.CleanRX();
        Fail(PrinterComm::ERROR_STEP, "NO Get ProtocollDataAvailable Setup");
        return nullptr;
    }
    auto* available = static_cast<ProtocollDataAvailable*>(Decode(OBJTYPE_DATAAVAILABLE));
    if (available == nullptr) {
        Fail(PrinterComm::ERROR_STEP, "Extract ProtocollDataAvailable Error");
        return nullptr;
    }
    Log::WriteLog(function_, "ProtocollDataAvailable OK");
    return available;
}

#include "operations/PrinterDialogue.h"

#include <cstdlib>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "operations/PrinterComm.h"
#include "protocol/ProtocollDataAvailable.h"

PrinterDialogue::PrinterDialogue(CComPort& link, const char* function)
    : link_(link), function_(function), version_(100) {}

PrinterDialogue::~PrinterDialogue() { ReleaseRecord(); }

void PrinterDialogue::SendBytes(unsigned char* bytes, std::size_t length) {
    unsigned err = 0;
    link_.Write(bytes, static_cast<unsigned>(length), &err);
}

bool PrinterDialogue::Receive() {
    int size = 0;
    unsigned char* answer = link_.ReadProtocollData(&size);
    if (answer == nullptr || size <= 0) {
        free(answer);
        fields_.CreateFields(nullptr, 0);
        return false;
    }
    fields_.CreateFields(answer, size);
    free(answer);
    return true;
}

bool PrinterDialogue::IsErrorAnswer(int& code) {
    PrinterSetError error = 0;
    if (!fields_.CheckAnswer(&error)) return false;
    code = error;
    Log::WriteLogP(function_, "Return is a Error Answer %d", code);
    return true;
}

void* PrinterDialogue::Decode(OBJTYPE wanted) {
    ReleaseRecord();
    record_ = fields_.CreateSetupItem(&valueErrors_, &version_, &recordType_);
    if (record_ == nullptr || recordType_ != wanted) {
        ReleaseRecord();
        return nullptr;
    }
    return record_;
}

void PrinterDialogue::ReleaseRecord() {
    if (record_ != nullptr) ProtocollFields::ReleaseSetupItem(record_, recordType_);
    record_ = nullptr;
    recordType_ = OBJTYPE_NONE;
}

bool PrinterDialogue::Fail(PrinterComm& comm, int code, const char* text) {
    Log::WriteLog(function_, text);
    link_.Close();
    comm.iErrorCode = code;
    return false;
}

ProtocollDataAvailable* PrinterDialogue::OpenAndReadDataAvailable(PrinterComm& comm,
                                                                  CommPortSettings& settings) {
    if (!comm.OpenCommunicationPort(&link_, &settings)) {
        Log::WriteLog(function_, "Open Error");
        comm.iErrorCode = PrinterComm::ERROR_OPEN;
        return nullptr;
    }
    Send(Commands::Cmd_CommandSetESCPOSforSV);
    Send(Commands::Cmd_CommandGetProtVer);
    if (!Receive()) {
        Fail(comm, PrinterComm::ERROR_NO_ANSWER, "Get Prot. release Error");
        return nullptr;
    }
    int code = 0;
    if (IsErrorAnswer(code)) {
        link_.Close();
        comm.iErrorCode = code;
        return nullptr;
    }
    auto* version = static_cast<ProtocollVersion*>(Decode(OBJTYPE_PROTVERSION));
    if (version == nullptr) {
        Fail(comm, PrinterComm::ERROR_STEP, "Extract SetupItemProtocollVersion Error");
        return nullptr;
    }
    // Later answers are decoded in the printer's own protocol version.
    version_.ulVersion = version->ulVersion;

    Send(Commands::Cmd_CommandDataAvailable);
    if (!Receive()) {
        link_.CleanRX();
        Fail(comm, PrinterComm::ERROR_STEP, "NO Get ProtocollDataAvailable Setup");
        return nullptr;
    }
    auto* available = static_cast<ProtocollDataAvailable*>(Decode(OBJTYPE_DATAAVAILABLE));
    if (available == nullptr) {
        Fail(comm, PrinterComm::ERROR_STEP, "Extract ProtocollDataAvailable Error");
        return nullptr;
    }
    Log::WriteLog(function_, "ProtocollDataAvailable OK");
    return available;
}

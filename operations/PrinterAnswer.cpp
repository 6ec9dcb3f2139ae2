#include "operations/PrinterAnswer.h"

#include "common/Log.h"
#include "operations/PrinterComm.h"

PrinterAnswer::~PrinterAnswer() { ProtocollFields::ReleaseSetupItem(record_, type_); }

bool PrinterAnswer::Read(CComPort* link, int timeoutMs) {
    int size = 0;
    unsigned char* bytes =
        timeoutMs > 0 ? link->ReadProtocollData(&size, timeoutMs) : link->ReadProtocollData(&size);
    data_.reset(bytes);
    size_ = bytes != nullptr ? size : 0;
    split_ = false;
    return bytes != nullptr && size > 0;
}

ProtocollFields& PrinterAnswer::Fields() {
    if (!split_) {
        fields_.CreateFields(data_.get(), size_);
        split_ = true;
    }
    return fields_;
}

bool PrinterAnswer::IsError(int* code) {
    PrinterSetError error = 0;
    bool isError = Fields().CheckAnswer(&error);
    if (isError && code != nullptr) *code = error;
    return isError;
}

void* PrinterAnswer::Decode(OBJTYPE expected) {
    ProtocollFields::ReleaseSetupItem(record_, type_);
    unsigned long dataErrors = 0;
    type_ = OBJTYPE_NONE;
    record_ = Fields().CreateSetupItem(&dataErrors, nullptr, &type_);
    return record_ != nullptr && type_ == expected ? record_ : nullptr;
}

void* PrinterAnswer::Release() {
    void* record = record_;
    record_ = nullptr;
    type_ = OBJTYPE_NONE;
    return record;
}

bool FailStep(PrinterComm& comm, CComPort* link, const char* function, int code,
              const char* message) {
    Log::WriteLog(function, message);
    link->Close();
    comm.iErrorCode = code;
    return false;
}

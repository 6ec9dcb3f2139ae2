// Arbitrary bytes as a printer answer: split into fields, checked, decoded
// into a record and the record released.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Log.h"
#include "protocol/ProtocollFields.h"
#include "protocol/StatusInfoExtData.h"
#include "protocol/StatusInfoGenData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Log type 3 formats every line but writes it nowhere: the log lines
    // built from answer text are exercised without slowing the run down.
    static bool logging = (Log::SetLogEnable(3, true), true);
    (void)logging;
    if (size > (1u << 20)) return 0;

    ProtocollFields fields;
    fields.CreateFields(data, static_cast<int>(size));
    PrinterSetError err = 0;
    fields.CheckAnswer(&err);
    unsigned long errors = 0;
    OBJTYPE type = OBJTYPE_NONE;
    void* item = fields.CreateSetupItem(&errors, nullptr, &type);
    if (item != nullptr && type == OBJTYPE_GENSTATUSINFO) {
        static_cast<StatusInfoGenData*>(item)->GetOnlyBitsAvailable();
    } else if (item != nullptr && type == OBJTYPE_EXTSTATUSINFO) {
        static_cast<StatusInfoExtData*>(item)->GetOnlyBitsAvailable();
    }
    ProtocollFields::ReleaseSetupItem(item, type);
    return 0;
}

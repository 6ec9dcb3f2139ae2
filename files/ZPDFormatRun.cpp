// Carrying out one element of a loaded script on an open printer link.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "files/ZPDFormat.h"
#include "protocol/ProtocollFields.h"

namespace {

const char* const FN = "ManageElement";

int WriteData(CComPort* port, CZPDElement& element) {
    unsigned err = 0;
    unsigned written = port->Write(element.pData.get(), element.uiLength, &err);
    // A write that took fewer bytes than the element holds failed, whatever
    // its error flag says: the printer did not get the whole command.
    if (written == 0 || written < element.uiLength) {
        Log::WriteLog(FN, "Write error (1)");
        return CZPDFormat::ELEMENT_FAILED;
    }
    if (err != 0) {
        Log::WriteLog(FN, "Write error (2)");
        return CZPDFormat::ELEMENT_FAILED;
    }
    return 0;
}

int CheckAnswer(CComPort* port) {
    int size = 0;
    unsigned char* answer = port->ReadProtocollData(&size);
    if (answer == nullptr) {
        Log::WriteLog(FN, "Get Answer Error (1)");
        return CZPDFormat::ELEMENT_FAILED;
    }
    ProtocollFields fields;
    fields.CreateFields(answer, size);
    free(answer);
    PrinterSetError code = 0;
    if (!fields.CheckAnswer(&code)) return 0;
    Log::WriteLogP(FN, "Return is a Error Answer %d", code);
    return code;
}

}  // namespace

int CZPDFormat::ManageElement(CComPort* port, size_t index) {
    if (index >= vElements.size() || !vElements[index]) {
        Log::WriteLog(FN, "zpdType Unknow");
        return ELEMENT_UNKNOWN;
    }
    CZPDElement& element = *vElements[index];
    if (element.pDescription) {
        CmdConsole::WriteToConsoleString("Setting %s ...\n", element.pDescription.get());
        Log::WriteLogP(FN, "Setting %s ...\n", element.pDescription.get());
    }
    switch (element.eType) {
        case ZPD_NONE:
        case ZPD_RESETDEV:
            return 0;
        case ZPD_SLEEPMSEC:
            std::this_thread::sleep_for(std::chrono::milliseconds(element.uiSleepMsec));
            return 0;
        case ZPD_DATA:
            return WriteData(port, element);
        case ZPD_WAITANSWER:
            return CheckAnswer(port);
    }
    Log::WriteLog(FN, "zpdType Unknow");
    return ELEMENT_UNKNOWN;
}

// Playing a ZPD script on the printer that its device identifier names.
#include <cstdint>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "files/ZPDFormat.h"
#include "operations/PrinterAnswer.h"
#include "operations/PrinterComm.h"

namespace {

const char* const FN = "PrnCom_WriteZPDFile";

}  // namespace

bool PrinterComm::PrnCom_WriteZPDFile(CComPort* link, CZPDFormat* script,
                                      CommPortSettings* settings) {
    Log::WriteLog(FN, "Begin");
    CmdConsole::WriteToConsoleString("Starting to write ZPD File...\n");
    if (!OpenCommunicationPort(link, settings)) {
        Log::WriteLog(FN, "Open Error");
        iErrorCode = 6;
        return false;
    }
    link->CleanRX();
    unsigned long gsi = 0;
    if (!link->HandshakeCommunication(&gsi)) {
        return FailStep(*this, link, FN, 6, "Handshake Communication Error ");
    }
    // The script's identifier is a signed 32-bit number widened with its sign.
    const int64_t device = static_cast<int32_t>(script->uiDeviceGSI);
    if (device != static_cast<int64_t>(gsi)) {
        Log::WriteLogP(FN, "Script device 0x%04X, printer 0x%04lX", script->uiDeviceGSI, gsi);
        return FailStep(*this, link, FN, 9, "Device not compatible ");
    }
    for (size_t i = 0; i < script->vElements.size(); ++i) {
        int result = script->ManageElement(link, i);
        // A failed answer check is reported by the element and the script goes on.
        if (result != 0 && !script->vElements[i]->IsAnswerCheck()) {
            link->Close();
            iErrorCode = result;
            return false;
        }
    }
    link->Close();
    CmdConsole::WriteToConsoleString("Write ZPD File Finish!\n");
    Log::WriteLog(FN, "End");
    return true;
}

// Module write: one module file sent with the engines' module download.
#include <cstring>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "files/ModuleData.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "protocol/ModuleItemPrnModuleList.h"
#include "protocol/ProtocollDataAvailable.h"
#include "upgrade/UpgradePrinter.h"

namespace {

const char* const FN = "PrnCom_WriteModule";
constexpr int64_t TIMEOUT_STEP = 1024000;
constexpr int64_t TIMEOUT_PER_STEP_MS = 20000;
constexpr int64_t LARGE_MODULE = 2048000;

}  // namespace

bool PrinterComm::PrnCom_WriteModule(CComPort* link, ModuleData* module, CommPortSettings* settings,
                                     void* reserved) {
    Log::WriteLog(FN, "Begin");
    PrinterDialogue dialogue(*link, FN);
    ProtocollDataAvailable* available = dialogue.OpenAndReadDataAvailable(*this, *settings);
    if (available == nullptr) return false;
    if (!available->UpgradeModulesAvailable(true, true)) {
        return dialogue.Fail(*this, ERROR_MODULES_NOT_ACCEPTED, "Upgrade module not supported!");
    }

    dialogue.Send(Commands::Cmd_CommandModulesList);
    if (!dialogue.Receive()) return dialogue.Fail(*this, ERROR_NO_ANSWER, "Get Modules List Error");
    int code = 0;
    if (dialogue.IsErrorAnswer(code)) {
        link->Close();
        iErrorCode = code;
        return false;
    }
    auto* list = static_cast<ModuleItemPrnModuleList*>(dialogue.Decode(OBJTYPE_MODULESLIST));
    if (list == nullptr) {
        return dialogue.Fail(*this, ERROR_STEP, "Extract ModuleItemPrnModuleList Error");
    }
    Log::WriteLog(FN, "ModuleItemPrnModuleList OK");

    bool listed = false;
    for (const char* line : list->vLines) {
        if (line != nullptr && module->strCode == line) {
            listed = true;
            break;
        }
    }
    Log::WriteLog(FN, listed ? "Module supported by this printer"
                             : "Module not supported by this printer,  proceed anyway!!!");

    dialogue.Send(Commands::Cmd_CommandCAN);
    int64_t size = module->iFileLength;
    if (size > LARGE_MODULE) {
        Log::WriteLogP(FN, "Add Timeout : %d",
                       static_cast<int>(size / TIMEOUT_STEP * TIMEOUT_PER_STEP_MS));
    }

    UpgradePrinter engine(iComponentMask, timem);
    bool sent = true;
    if ((iComponentMask & 6) != 0) {
        sent = engine.SendModuleToDevice(*link, module->GetModuleID(), module->pFileBuffer.get(),
                                         module->iFileLength, true, reserved);
    } else {
        Log::WriteLog(FN, "Upgrade Modules not enabled in command line arguments ");
        link->Close();
    }
    Log::WriteLog(FN, "End");
    if (!sent) iErrorCode = ERROR_STEP;
    return sent;
}

#include "app/ExitCodes.h"

#include <cstdio>

#include "common/CmdConsole.h"
#include "common/Log.h"

const char* ExitCodeText(int code, char* scratch, unsigned scratchSize) {
    switch (code) {
        case EXIT_OK:
            return "Operation Completed";
        case EXIT_FILE_ERROR:
            return "File corrupted or not found";
        case EXIT_DEVICE_NOT_COMPATIBLE:
            return "Device not compatible";
        case EXIT_PARAMETER:
            return "Parameter not OK";
        case EXIT_COMMUNICATION:
            return "Communication Error";
        case EXIT_DEVICE_NOT_FOUND:
            return "Device not found";
        case EXIT_NO_DATA_SETS:
            return "No data sets on the device";
        case EXIT_NO_TOOLS:
            return "Tools are not available for this printer";
        case EXIT_TOOL_NOT_SUPPORTED:
            return "Requested tool is not support by this printer";
        case EXIT_NOT_VERIFIED:
            return "Upgrade not verified";
        case EXIT_GENERIC:
            return "Device not found or Generic Error";
        default:
            snprintf(scratch, scratchSize, "Error %d", code);
            return scratch;
    }
}

void print_error_description(int code) {
    char scratch[32];
    const char* text = ExitCodeText(code, scratch, sizeof(scratch));
    CmdConsole::WriteToConsoleString("%s", text);
    Log::WriteLog("", text);
}

int MapPrinterError(OperationKind operation, int printerError) {
    // Codes every operation shares: step failed, link not opened, no answer.
    switch (printerError) {
        case 2:
            return EXIT_FILE_ERROR;
        case 6:
            return EXIT_DEVICE_NOT_FOUND;
        case 7:
            return EXIT_DEVICE_NOT_COMPATIBLE;
        default:
            break;
    }
    switch (operation) {
        case OperationKind::Tool:
            if (printerError == 24) return EXIT_NO_TOOLS;
            if (printerError == 25) return EXIT_TOOL_NOT_SUPPORTED;
            break;
        case OperationKind::Package:
            if (printerError == 22) return EXIT_FILE_ERROR;
            if (printerError == 9 || printerError == 23) return EXIT_DEVICE_NOT_COMPATIBLE;
            break;
        case OperationKind::ZpdScript:
            if (printerError == 9) return EXIT_DEVICE_NOT_COMPATIBLE;
            break;
        case OperationKind::Module:
        case OperationKind::AntiTamper:
            break;
    }
    return EXIT_COMMUNICATION;
}

#include <cstdio>
#include <cstdlib>

#include "app/Arguments.h"
#include "app/Dispatch.h"
#include "app/ProgramSettings.h"
#include "app/UsbPermissionHint.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/PersonConsole.h"
#include "common/StatusLine.h"

int main(int argc, char** argv) {
    static ProgramSettings settings;
    int code = parse_args(argc, argv, settings);
    if (code == ARGS_CONTINUE) {
        // The live status line is for a person at a terminal who asked for "-v".
        StatusLine::SetOn(CmdConsole::iShowToVideo == 1 && StatusLine::TerminalAllows());
        if (settings.enable_log == 1 || settings.enable_log == 2) {
            Log::SetLogEnable(static_cast<uint32_t>(settings.enable_log), true);
        }
        code = RunOperation(settings);
        PrintUsbPermissionHint();
    }
    StatusLine::SetOn(false);
    PersonConsole::FlushCauses();
    fflush(stdout);
    exit(code);
}

#include <cstdio>
#include <cstdlib>

#include "app/Arguments.h"
#include "app/Dispatch.h"
#include "app/ProgramSettings.h"
#include "app/UsbPermissionHint.h"
#include "common/Log.h"
#include "common/PersonConsole.h"

int main(int argc, char** argv) {
    static ProgramSettings settings;
    int code = parse_args(argc, argv, settings);
    if (code == ARGS_CONTINUE) {
        if (settings.enable_log == 1 || settings.enable_log == 2) {
            Log::SetLogEnable(static_cast<uint32_t>(settings.enable_log), true);
        }
        code = RunOperation(settings);
        PrintUsbPermissionHint();
    }
    PersonConsole::FlushCauses();
    fflush(stdout);
    exit(code);
}

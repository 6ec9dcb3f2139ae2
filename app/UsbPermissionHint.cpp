#include "app/UsbPermissionHint.h"

#include "comm/ComPortUsb.h"
#include "common/CmdConsole.h"

namespace {

// The place where the Debian package installs the rules.
const char* const HINT =
    "Hint: a USB printer was found but could not be opened (no permission): the udev rule "
    "/lib/udev/rules.d/60-prnupgrade.rules lets the plugdev group open it; join the group "
    "(sudo adduser $USER plugdev), log in again and replug the printer";

}  // namespace

void PrintUsbPermissionHint() {
    if (CComPortUsb::AccessDenied()) CmdConsole::WriteToConsoleString("%s", HINT);
}

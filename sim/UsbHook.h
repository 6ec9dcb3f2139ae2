#pragma once

#include <string>
#include <vector>

class PrinterCore;

// The emulated USB bus, built into prnsim only when its sources are present.
// args holds every word after "--usb"; the result is prnsim's exit code.
int RunUsbTransport(PrinterCore& core, const std::vector<std::string>& args);
// Help text of the words after "--usb".
const char* UsbTransportUsage();

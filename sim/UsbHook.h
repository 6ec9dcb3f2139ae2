#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class PrinterCore;

// The emulated USB bus, built into prnsim only when its sources are present.
// args holds every word after "--usb"; the result is prnsim's exit code.
// tick, when given, runs on every turn of the bus; when it returns false the
// command is stopped and the bus ends with exit code 1. bootImage, when
// given, receives the image a boot program holds once programmed completely.
int RunUsbTransport(PrinterCore& core, const std::vector<std::string>& args,
                    const std::function<bool()>& tick = {},
                    std::vector<uint8_t>* bootImage = nullptr);
// Help text of the words after "--usb".
const char* UsbTransportUsage();

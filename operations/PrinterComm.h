#pragma once

#include <cstddef>

class CComPort;
class CommPortSettings;

// Runs the printer operations of one run: carries the time multiplier and
// the component mask, keeps why the last operation failed, and opens the
// printer link as each link kind needs.
class PrinterComm {
  public:
    static constexpr size_t USB_PART_SIZE = 512;

    PrinterComm(int components, int timeMultiplier);

    // Splits "vendor|product|serial"; missing parts stay empty. Always true.
    // Each output holds USB_PART_SIZE bytes.
    static bool ExtractUsbParamsFromName(const char* name, char* vendor, char* product,
                                         char* serial);

    // Init and Open of the link for the kind in settings; false with the
    // reason in the log.
    bool OpenCommunicationPort(CComPort* link, CommPortSettings* settings);

    int iErrorCode;
    int timem;
    int iComponentMask;
    // Where the serial ports' device entries are looked up to tell the
    // printer's USB virtual serial port (another tree in tests).
    const char* szTtyClassDir = "/sys/class/tty/";
};

#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CComPort;
class CommPortSettings;
class CZPDFormat;
class ModuleData;
class PSWComponents;
class PSWFile;

// Runs the printer operations of one run: carries the time multiplier and
// the component mask, keeps why the last operation failed, and opens the
// printer link as each link kind needs.
class PrinterComm {
  public:
    static constexpr size_t USB_PART_SIZE = 512;

    // Why an operation failed (iErrorCode); a printer's own error answer is
    // stored as its code, 100 and more.
    enum ErrorCode : int {
        ERROR_STEP = 2,
        ERROR_OPEN = 6,
        ERROR_NO_ANSWER = 7,
        ERROR_DEVICE_MISMATCH = 9,
        ERROR_MODULES_NOT_ACCEPTED = 14,
        ERROR_NO_UPGRADE_RECORD = 22,
        ERROR_UPGRADE_NOT_OFFERED = 23,
        ERROR_NOT_VERIFIED = 19,  // "--verify": the printer did not confirm the upgrade
    };

    PrinterComm(int components, int timeMultiplier);

    // Splits "vendor|product|serial"; missing parts stay empty. Always true.
    // Each output holds USB_PART_SIZE bytes.
    static bool ExtractUsbParamsFromName(const char* name, char* vendor, char* product,
                                         char* serial);

    // Init and Open of the link for the kind in settings; false with the
    // reason in the log.
    bool OpenCommunicationPort(CComPort* link, CommPortSettings* settings);

    // Downloads a loaded firmware package with the engine of the printer's
    // upgrade mode; components is the package's own list.
    bool PrnCom_UpgradePrinter(CComPort* link, PSWFile* package, CommPortSettings* settings,
                               PSWComponents* components);
    // Downloads one module file.
    bool PrnCom_WriteModule(CComPort* link, ModuleData* module, CommPortSettings* settings,
                            void* reserved);

    // Plays a loaded ZPD script on the printer that its device identifier names.
    bool PrnCom_WriteZPDFile(CComPort* link, CZPDFormat* script, CommPortSettings* settings);

    // Sends a 32768-byte image to the printer's anti-tamper module.
    bool PrnCom_WriteBinaryUpgradeFileTaper(CComPort* link, const unsigned char* data, long size,
                                            CommPortSettings* settings);

    // Runs tool (toolnumber, toolid) inside the printer, waiting up to
    // timeoutMs for its answer. On success answer holds the tool's lines
    // (two decimal digits of count, then one line per 128 bytes from byte 2),
    // or nothing when the printer sent none.
    bool PrnComExecToolOnPrinter(CComPort* link, CommPortSettings* settings, int toolnumber,
                                 int toolid, int timeoutMs, const unsigned char* fileData,
                                 int fileSize, std::unique_ptr<char[]>& answer);

    // Fetches the printer's setup header and prints it to standard output.
    bool PrnCom_ReadSetupData(CComPort* link, CommPortSettings* settings);

    // Connection test: two protocol-version exchanges, the link reopened between them.
    bool Test(CComPort* link, CommPortSettings* settings);

    int iErrorCode;
    int timem;
    int iComponentMask;
    // "--verify": a package upgrade counts as done only when the printer
    // confirms it; strNotVerified then holds the one line that says why not.
    bool bVerify = false;
    std::string strNotVerified;
    // Where the serial ports' device entries are looked up to tell the
    // printer's USB virtual serial port (another tree in tests).
    const char* szTtyClassDir = "/sys/class/tty/";
    // Every fixed pause of the operations goes through here, so that tests
    // can record them instead of sleeping.
    std::function<void(unsigned ms)> fnPause;
};

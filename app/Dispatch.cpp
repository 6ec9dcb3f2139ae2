#include "app/Dispatch.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/Arguments.h"
#include "app/DryRun.h"
#include "app/ExitCodes.h"
#include "comm/ComPortEth.h"
#include "comm/ComPortRs232.h"
#include "comm/ComPortUsb.h"
#include "comm/CommPortSettings.h"
#include "common/CmdConsole.h"
#include "common/GenericFunctions.h"
#include "common/Log.h"
#include "common/PersonConsole.h"
#include "files/FileRefusal.h"
#include "files/LoaderMessage.h"
#include "files/ModuleData.h"
#include "files/PSWFile.h"
#include "files/ZPDFormat.h"
#include "operations/PrinterComm.h"
#include "operations/Tamper.h"
#include "protocol/ProtocollFields.h"
#include "protocol/ToolsData.h"

namespace {

constexpr unsigned TOOL_MASK_UPLOAD_SPT = 32;
constexpr size_t INFO_TEXT_SIZE = 8192;
constexpr size_t LIST_TEXT_SIZE = 8192;

int Finish(int code) {
    print_error_description(code);
    return code;
}

int Fail(int code, const char* message) {
    CmdConsole::WriteToConsoleString("%s", message);
    return Finish(code);
}

// The attached printers, one "VID|PID|SERIAL" line each (for "-d ANY").
bool UsbDeviceList(std::string& list) {
    std::unique_ptr<char[]> text(new char[CComPortUsb::LIST_TEXT_SIZE]());
    std::unique_ptr<char[]> error(new char[CComPortUsb::LIST_TEXT_SIZE]());
    if (!CComPortUsb::GetDeviceList(text.get(), error.get(), nullptr)) return false;
    list = text.get();
    return true;
}

int ListUsbDevices() {
    std::string list;
    if (!UsbDeviceList(list)) {
        printf("LIST USB DEVICES ERROR\n");
        return Finish(EXIT_GENERIC);
    }
    printf("LIST USB DEVICES:\n%s\n", list.c_str());
    return Finish(EXIT_OK);
}

// "--ethdevlist": the printers that answer the network discovery.
int ListEthDevices() {
    std::vector<char> list(LIST_TEXT_SIZE, '\0');
    std::vector<char> error(LIST_TEXT_SIZE, '\0');
    if (!CComPortEth::GetDeviceList(list.data(), list.size(), error.data())) {
        printf("LIST ETH DEVICES ERROR\n");
        return Finish(EXIT_GENERIC);
    }
    printf("LIST ETH DEVICES:\n%s\n", list.data());
    return Finish(EXIT_OK);
}

void LogClassification(const char* name, bool accepted, const ProgramSettings& s) {
    Log::WriteLogP("main", "parse_filename %s (%d) m=%d p=%d b=%d z=%d s=%d", name,
                   accepted ? 1 : 0, s.isMod, s.isPswPfw, s.isBin, s.isZpd, s.isSpt);
}

bool Classify(const char* name, ProgramSettings& s) {
    bool accepted = parse_filename(name, &s.isMod, &s.isPswPfw, &s.isBin, &s.isZpd, &s.isSpt);
    LogClassification(name, accepted, s);
    return accepted;
}

// A refused file name, for -v: why, in prninfo's words.
int RefuseFileName(const char* name) {
    std::string why = FileRefusal::Unreadable(name);
    if (name[0] == '\0') {
        PersonConsole::Cause("no file named (-f FILE)");
    } else {
        PersonConsole::Cause("%s: %s", name, why.empty() ? FileRefusal::UNKNOWN_KIND : why.c_str());
    }
    return Fail(EXIT_FILE_ERROR, "filename argument not valid\n");
}

// Runs a loader; when the file does not load, the loader's own last words
// (those prninfo reports) are the -v cause.
template <typename Load>
bool LoadNamingCause(const char* name, Load load) {
    LoaderMessage message;
    if (load()) return true;
    PersonConsole::Cause("%s: %s", name, message.Last("the file does not load").c_str());
    return false;
}

// Link kind and device argument; 0 when both are good, else the exit code.
int ParseLink(ProgramSettings& s, CommPortSettings& link) {
    if (!parse_type(s.type, &s.commPortType))
        return Fail(EXIT_PARAMETER, "type argument not valid\n");
    if (!parse_device(s.device, s.commPortType, link, UsbDeviceList)) {
        return Fail(EXIT_PARAMETER, "device argument not valid\n");
    }
    return 0;
}

// The link object of the kind parse_type chose.
std::unique_ptr<CComPort> MakeLink(COMMPORTTYPE kind, int timem) {
    switch (kind) {
        case COMMPORT_ETH:
            return std::make_unique<CComPortEth>();
        case COMMPORT_USB:
            return std::make_unique<CComPortUsb>(timem);
        default:
            return std::make_unique<CComPortRs232>();
    }
}

// The tool's answer lines: a two-digit count, then one line per slot.
void PrintToolLines(const char* lines) {
    if (lines == nullptr) return;
    const char digits[3] = {lines[0], lines[1], '\0'};
    int count = atoi(digits);
    for (int i = 0; i < count; ++i) {
        CmdConsole::WriteToConsoleString(
            "%s", lines + 2 + static_cast<size_t>(i) * ProtocollFields::TOOL_LINE_SLOT);
    }
}

// End of a file operation on the printer: its verdict and the exit code.
int Outcome(bool ok, OperationKind kind, const PrinterComm& comm, const char* errorFormat) {
    if (ok) {
        CmdConsole::WriteToConsoleString("OPERATION SUCCESS\n");
        return Finish(EXIT_OK);
    }
    int code = MapPrinterError(kind, comm.iErrorCode);
    CmdConsole::WriteToConsoleString(errorFormat, code, comm.iErrorCode);
    CmdConsole::WriteToConsoleString("OPERATION FAILURE\n");
    return Finish(code);
}

int RunAntiTamper(ProgramSettings& s, PrinterComm& comm, CComPort* port, CommPortSettings& link) {
    long size = -1;
    std::unique_ptr<unsigned char[]> data = GenericFunctions::readfile(s.filename, size);
    if (!data || size < 0) return Fail(EXIT_FILE_ERROR, "LoadBinFile FAILURE\n");
    char release[CTamper::RELEASE_SIZE] = {};
    if (!CTamper::GetUpgradeFileForTamperVersion(data.get(), size, release)) {
        return Fail(EXIT_FILE_ERROR, "Wrong Tamper upgrade file\n");
    }
    // Only a name taken from the device list keeps the serial text's case.
    if (strstr(link.szUsbDevice, "tamper") == nullptr) {
        return Fail(EXIT_DEVICE_NOT_COMPATIBLE, "Wrong Device to upgrade\n");
    }
    bool ok = comm.PrnCom_WriteBinaryUpgradeFileTaper(port, data.get(), size, &link);
    return Outcome(ok, OperationKind::AntiTamper, comm, "Upgrade Module Error %d (%d)");
}

int RunZpdScript(ProgramSettings& s, PrinterComm& comm, CComPort* port, CommPortSettings& link) {
    CZPDFormat script;
    if (!LoadNamingCause(s.filename, [&] { return script.LoadFile(s.filename); })) {
        return Fail(EXIT_FILE_ERROR, "LoadFile ZPD FAILURE\n");
    }
    bool ok = comm.PrnCom_WriteZPDFile(port, &script, &link);
    return Outcome(ok, OperationKind::ZpdScript, comm, "Send ZPD file Error %d (%d)");
}

int RunTool(ProgramSettings& s) {
    if (s.toolnumber == 0 || s.toolid == 0)
        return Fail(EXIT_PARAMETER, "-rtool argument not valid\n");
    std::unique_ptr<unsigned char[]> fileData;
    long fileSize = -1;
    if (s.toolnumber == 1 && ToolsData::FromIntToToolMask(s.toolid) == TOOL_MASK_UPLOAD_SPT) {
        if (s.toolfilename[0] == '\0') {
            return Fail(EXIT_PARAMETER, "[toolfilename] for upload SPT file not specified\n");
        }
        if (!Classify(s.toolfilename, s)) return RefuseFileName(s.toolfilename);
        if (!s.isSpt) return Fail(EXIT_FILE_ERROR, "filename argument not valid\n");
        fileData = GenericFunctions::readfile(s.toolfilename, fileSize);
        if (!fileData || fileSize < 0) return Fail(EXIT_FILE_ERROR, "LoadBinFile FAILURE\n");
    } else if (s.toolnumber != 1 && s.toolnumber != 2) {
        return Fail(EXIT_PARAMETER, "-rtool argument not valid\n");
    }
    if (fileSize > INT32_MAX) return Fail(EXIT_FILE_ERROR, "LoadBinFile FAILURE\n");
    CommPortSettings link;
    if (int code = ParseLink(s, link)) return code;
    PrinterComm comm(s.upg_components, s.timem);
    std::unique_ptr<CComPort> port = MakeLink(s.commPortType, s.timem);
    std::unique_ptr<char[]> lines;
    if (!comm.PrnComExecToolOnPrinter(port.get(), &link, s.toolnumber, s.toolid,
                                      ToolsData::GetToolTimeout(s.toolnumber, s.toolid),
                                      fileData.get(), static_cast<int>(fileSize), lines)) {
        int code = MapPrinterError(OperationKind::Tool, comm.iErrorCode);
        CmdConsole::WriteToConsoleString("Execute Tool Error %d (%d)", code, comm.iErrorCode);
        return Finish(code);
    }
    PrintToolLines(lines.get());
    return Finish(EXIT_OK);
}

int RunFileOperation(ProgramSettings& s) {
    bool accepted = Classify(s.filename, s);
    if (!s.printerversion) {
        if (!accepted) return RefuseFileName(s.filename);
        if (s.tampermode && !s.isBin) {
            return Fail(EXIT_FILE_ERROR,
                        "filename not correct for this type of upgrade (must be a bin)\n");
        }
        if (!s.tampermode && !s.isMod && !s.isPswPfw && !s.isZpd) {
            return Fail(EXIT_FILE_ERROR, "filename not correct (must be a modpfw/psw)\n");
        }
    }
    CommPortSettings link;
    if (int code = ParseLink(s, link)) return code;
    PrinterComm comm(s.upg_components, s.timem);
    std::unique_ptr<CComPort> port = MakeLink(s.commPortType, s.timem);
    if (s.printerversion) {
        // The header is printed when it came; the run ends well either way.
        comm.PrnCom_ReadSetupData(port.get(), &link);
        return Finish(EXIT_OK);
    }
    std::vector<char> info(INFO_TEXT_SIZE, '\0');
    if (s.isMod) {
        ModuleData module;
        if (!LoadNamingCause(s.filename, [&] { return module.LoadModuleFromFile(s.filename); })) {
            return Fail(EXIT_FILE_ERROR, "LoadModuleFromFile FAILURE\n");
        }
        module.GetFileInfo(info.data(), info.size());
        CmdConsole::WriteToConsoleString("MODULE INFO:\n%s\n#######\n", info.data());
        bool ok = comm.PrnCom_WriteModule(port.get(), &module, &link, nullptr);
        return Outcome(ok, OperationKind::Module, comm, "Upgrade Module Error %d (%d)");
    }
    if (s.isPswPfw) {
        PSWFile package;
        if (!LoadNamingCause(s.filename,
                             [&] { return package.LoadPSWFromFile(s.filename, true); })) {
            return Fail(EXIT_FILE_ERROR, "LoadPSWFromFile FAILURE\n");
        }
        package.GetFileInfo(info.data(), info.size());
        CmdConsole::WriteToConsoleString("PSW FILE INFO:\n%s\n#######\n", info.data());
        if (s.dryrun) return Finish(RunPackageDryRun(s, comm, *port, link, package));
        comm.bVerify = s.verify != 0;
        bool ok = comm.PrnCom_UpgradePrinter(port.get(), &package, &link, &package.components);
        if (!ok && comm.iErrorCode == PrinterComm::ERROR_NOT_VERIFIED) {
            CmdConsole::WriteToConsoleString("%s", comm.strNotVerified.c_str());
            CmdConsole::WriteToConsoleString("OPERATION FAILURE\n");
            return Finish(EXIT_NOT_VERIFIED);
        }
        return Outcome(ok, OperationKind::Package, comm, "Upgrade Printer Error %d (%d)");
    }
    if (s.isBin && s.tampermode) return RunAntiTamper(s, comm, port.get(), link);
    return RunZpdScript(s, comm, port.get(), link);
}

}  // namespace

int RunOperation(ProgramSettings& settings) {
    if (int code = CheckDryRunWords(settings)) return Finish(code);
    if (settings.executetool) return RunTool(settings);
    if (settings.usbdevlist) return ListUsbDevices();
    if (settings.ethdevlist) return ListEthDevices();
    return RunFileOperation(settings);
}

// Running a maintenance tool inside the printer.
#include <cstring>
#include <vector>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "operations/PrinterAnswer.h"
#include "operations/PrinterComm.h"
#include "protocol/Commands.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/ToolsData.h"

namespace {

const char* const FN = "PrnComExecToolOnPrinter";

constexpr int STEP_FAILED = 2;
constexpr int NO_ANSWER = 7;
constexpr int TOOL_FAILED = 20;
constexpr int NO_TOOLS = 24;
constexpr int TOOL_NOT_SUPPORTED = 25;

bool PrinterError(PrinterComm& comm, CComPort* link, PrinterAnswer& answer) {
    int code = 0;
    if (!answer.IsError(&code)) return false;
    Log::WriteLogP(FN, "Return is a Error Answer %d", code);
    link->Close();
    comm.iErrorCode = code;
    return true;
}

}  // namespace

bool PrinterComm::PrnComExecToolOnPrinter(CComPort* link, CommPortSettings* settings,
                                          int toolnumber, int toolid, int timeoutMs,
                                          const unsigned char* fileData, int fileSize,
                                          std::unique_ptr<char[]>& answer) {
    answer.reset();
    Log::WriteLog(FN, "Begin execution of tools");
    if (!OpenCommunicationPort(link, settings)) {
        Log::WriteLog(FN, "Open Error");
        iErrorCode = 6;
        return false;
    }
    if (!link->HandshakeCommunication(nullptr)) {
        // The link stays as it is; the run ends here anyway.
        Log::WriteLog(FN, "Communication Layer: Handshake Error");
        return false;
    }

    SendRequest(link, Commands::Cmd_CommandCAN);
    SendRequest(link, Commands::Cmd_CommandGetProtVer);
    PrinterAnswer versionAnswer;
    if (!versionAnswer.Read(link)) {
        return FailStep(*this, link, FN, NO_ANSWER, "Get Prot. release Error");
    }
    if (PrinterError(*this, link, versionAnswer)) return false;
    // Kept for building the tool request.
    auto* version = versionAnswer.DecodeAs<ProtocollVersion>(OBJTYPE_PROTVERSION);
    if (version == nullptr) {
        return FailStep(*this, link, FN, STEP_FAILED, "Extract SetupItemProtocollVersion Error");
    }

    SendRequest(link, Commands::Cmd_CommandDataAvailable);
    PrinterAnswer availableAnswer;
    if (!availableAnswer.Read(link)) {
        link->CleanRX();
        return FailStep(*this, link, FN, STEP_FAILED, "NO Get ProtocollDataAvailable Setup");
    }
    auto* available = availableAnswer.DecodeAs<ProtocollDataAvailable>(OBJTYPE_DATAAVAILABLE);
    if (available == nullptr) {
        return FailStep(*this, link, FN, STEP_FAILED, "Extract ProtocollDataAvailable Error");
    }
    Log::WriteLog(FN, "ProtocollDataAvailable OK");
    if (!available->ToolsAvailable(true, true)) {
        return FailStep(*this, link, FN, NO_TOOLS, "Tools not supported!");
    }

    SendRequest(link, Commands::Cmd_CommandToolsSupported);
    PrinterAnswer toolsAnswer;
    if (!toolsAnswer.Read(link)) {
        return FailStep(*this, link, FN, NO_ANSWER, "Get ProtocolToolsSupported error");
    }
    if (PrinterError(*this, link, toolsAnswer)) return false;
    auto* tools = toolsAnswer.DecodeAs<ToolsData>(OBJTYPE_TOOLS);
    if (tools == nullptr) {
        return FailStep(*this, link, FN, STEP_FAILED, "Extract ProtocolToolsSupported error");
    }
    const unsigned mask = ToolsData::FromIntToToolMask(toolid);
    if (!tools->IsRequestedToolSupported(static_cast<unsigned>(toolnumber), mask)) {
        return FailStep(*this, link, FN, TOOL_NOT_SUPPORTED, "Requested tool is not supported");
    }

    std::vector<unsigned char> request = Commands::GetCommand_ExecTool(
        version, static_cast<unsigned>(toolnumber), mask, fileData, fileSize);
    // A printer of another protocol version gets no request: there is
    // nothing to wait for.
    if (request.empty()) {
        Log::WriteLogP(FN, "No tool request for protocol version %d",
                       static_cast<int>(version->ulVersion));
        return FailStep(*this, link, FN, TOOL_FAILED, "Exec tool error");
    }
    unsigned err = 0;
    link->Write(request.data(), static_cast<unsigned>(request.size()), &err);

    PrinterAnswer toolAnswer;
    if (!toolAnswer.Read(link, timeoutMs)) {
        return FailStep(*this, link, FN, TOOL_FAILED, "Exec tool error");
    }
    if (PrinterError(*this, link, toolAnswer)) return false;
    // Only a line list ("<C81>") is handed on; any other record is dropped.
    if (toolAnswer.Decode(OBJTYPE_NONE) != nullptr) {
        answer.reset(static_cast<char*>(toolAnswer.Release()));
    }
    link->Close();
    Log::WriteLog(FN, "End");
    return true;
}

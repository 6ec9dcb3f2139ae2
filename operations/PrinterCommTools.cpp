// Running a maintenance tool inside the printer.
#include <optional>
#include <utility>
#include <vector>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "protocol/Commands.h"
#include "protocol/ProtocollDataAvailable.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/ToolsData.h"

namespace {

const char* const FN = "PrnComExecToolOnPrinter";

constexpr int TOOL_FAILED = 20;
constexpr int NO_TOOLS = 24;
constexpr int TOOL_NOT_SUPPORTED = 25;

}  // namespace

bool PrinterComm::PrnComExecToolOnPrinter(CComPort* link, CommPortSettings* settings,
                                          int toolnumber, int toolid, int timeoutMs,
                                          const unsigned char* fileData, int fileSize,
                                          std::unique_ptr<char[]>& answer) {
    answer.reset();
    Log::WriteLog(FN, "Begin execution of tools");
    PrinterDialogue dialogue(*this, *link, FN);
    ProtocollDataAvailable* available =
        dialogue.OpenAndReadDataAvailable(*settings, PrinterDialogue::Opening::Handshake);
    if (available == nullptr) return false;
    if (!available->ToolsAvailable(true, true))
        return dialogue.Fail(NO_TOOLS, "Tools not supported!");

    dialogue.Send(Commands::Cmd_CommandToolsSupported);
    if (!dialogue.Receive())
        return dialogue.Fail(ERROR_NO_ANSWER, "Get ProtocolToolsSupported error");
    if (dialogue.FailOnErrorAnswer()) return false;
    auto* tools = static_cast<ToolsData*>(dialogue.Decode(OBJTYPE_TOOLS));
    if (tools == nullptr) return dialogue.Fail(ERROR_STEP, "Extract ProtocolToolsSupported error");
    const unsigned mask = ToolsData::FromIntToToolMask(toolid);
    if (!tools->IsRequestedToolSupported(static_cast<unsigned>(toolnumber), mask)) {
        return dialogue.Fail(TOOL_NOT_SUPPORTED, "Requested tool is not supported");
    }

    const ProtocollVersion& version = dialogue.PrinterVersion();
    std::vector<unsigned char> request = Commands::GetCommand_ExecTool(
        &version, static_cast<unsigned>(toolnumber), mask, fileData, fileSize);
    // A printer of another protocol version gets no request: there is
    // nothing to wait for.
    if (request.empty()) {
        Log::WriteLogP(FN, "No tool request for protocol version %d",
                       static_cast<int>(version.ulVersion));
        return dialogue.Fail(TOOL_FAILED, "Exec tool error");
    }
    {
        // With a tool file (SPT upload) the request is mostly that file.
        std::optional<StatusLine::Transfer> upload;
        if (fileData != nullptr && fileSize > 0) upload.emplace("SPT file", request.size());
        dialogue.Send(std::move(request));
    }

    if (!dialogue.Receive(timeoutMs)) return dialogue.Fail(TOOL_FAILED, "Exec tool error");
    if (dialogue.FailOnErrorAnswer()) return false;
    // Only a line list ("<C81>") is handed on; any other record is dropped.
    if (dialogue.Decode(OBJTYPE_NONE) != nullptr) {
        answer.reset(static_cast<char*>(dialogue.TakeRecord()));
    }
    link->Close();
    Log::WriteLog(FN, "End");
    return true;
}

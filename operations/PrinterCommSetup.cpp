// The printer-version request of the command line (the setup header printed
// as it comes) and the connection test.
#include <cstdio>
#include <vector>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "protocol/Commands.h"

namespace {

// The header's first line: the frame start, the tag and the line count.
constexpr size_t HEADER_LEAD = 8;

void PrintSetupHeader(const std::vector<unsigned char>& data) {
    const size_t size = data.size();
    for (size_t i = 0; i < size; ++i) {
        putchar(data[i] == 0 ? '\n' : data[i]);
        if (i + 1 == HEADER_LEAD && size > HEADER_LEAD) putchar('\n');
    }
    fflush(stdout);
}

}  // namespace

bool PrinterComm::PrnCom_ReadSetupData(CComPort* link, CommPortSettings* settings) {
    static const char* const FN = "PrnCom_ReadSetupData";
    PrinterDialogue dialogue(*this, *link, FN);
    if (!dialogue.Open(*settings)) return false;
    if (!link->HandshakeCommunication(nullptr)) {
        Log::WriteLog(FN, "Communication Layer: Handshake Error");
        return false;
    }
    dialogue.Send(Commands::Cmd_CommandCAN);
    dialogue.Send(Commands::Cmd_CommandGetProtVer);
    // Only the arrival of the version answer counts.
    if (!dialogue.Receive()) return dialogue.Fail(ERROR_NO_ANSWER, "Get Prot. release Error");

    link->ReOpen();
    dialogue.Send(Commands::Cmd_CommandCAN);
    dialogue.Send(Commands::Cmd_CommandGetHeaderSetup);
    if (!dialogue.Receive()) {
        return dialogue.Fail(ERROR_NO_ANSWER, "Get Cmd_CommandGetHeaderSetup Error");
    }
    PrintSetupHeader(dialogue.Answer());
    return true;
}

bool PrinterComm::Test(CComPort* link, CommPortSettings* settings) {
    static const char* const FN = "Test";
    PrinterDialogue dialogue(*this, *link, FN);
    if (!dialogue.Open(*settings)) return false;
    for (int exchange = 0; exchange < 2; ++exchange) {
        if (exchange > 0) link->ReOpen();
        dialogue.Send(Commands::Cmd_CommandSetESCPOSforSV);
        dialogue.Send(Commands::Cmd_CommandGetProtVer);
        if (!dialogue.Receive()) return dialogue.Fail(ERROR_NO_ANSWER, "Get Prot. release Error");
    }
    link->Close();
    return true;
}

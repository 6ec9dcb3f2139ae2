// The printer-version request of the command line (the setup header printed
// as it comes) and the connection test.
#include <cstdio>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "operations/PrinterAnswer.h"
#include "operations/PrinterComm.h"
#include "protocol/Commands.h"

namespace {

constexpr int NO_ANSWER = 7;
// The header's first line: the frame start, the tag and the line count.
constexpr int HEADER_LEAD = 8;

void PrintSetupHeader(const unsigned char* data, int size) {
    for (int i = 0; i < size; ++i) {
        putchar(data[i] == 0 ? '\n' : data[i]);
        if (i + 1 == HEADER_LEAD && size > HEADER_LEAD) putchar('\n');
    }
    fflush(stdout);
}

}  // namespace

bool PrinterComm::PrnCom_ReadSetupData(CComPort* link, CommPortSettings* settings) {
    static const char* const FN = "PrnCom_ReadSetupData";
    if (!OpenCommunicationPort(link, settings)) {
        Log::WriteLog(FN, "Open Error");
        iErrorCode = 6;
        return false;
    }
    if (!link->HandshakeCommunication(nullptr)) {
        Log::WriteLog(FN, "Communication Layer: Handshake Error");
        return false;
    }
    SendRequest(link, Commands::Cmd_CommandCAN);
    SendRequest(link, Commands::Cmd_CommandGetProtVer);
    // Only the arrival of the version answer counts.
    PrinterAnswer version;
    if (!version.Read(link)) return FailStep(*this, link, FN, NO_ANSWER, "Get Prot. release Error");

    link->ReOpen();
    SendRequest(link, Commands::Cmd_CommandCAN);
    SendRequest(link, Commands::Cmd_CommandGetHeaderSetup);
    PrinterAnswer header;
    if (!header.Read(link)) {
        return FailStep(*this, link, FN, NO_ANSWER, "Get Cmd_CommandGetHeaderSetup Error");
    }
    PrintSetupHeader(header.Data(), header.Size());
    return true;
}

bool PrinterComm::Test(CComPort* link, CommPortSettings* settings) {
    static const char* const FN = "Test";
    if (!OpenCommunicationPort(link, settings)) {
        Log::WriteLog(FN, "Open Error");
        iErrorCode = 6;
        return false;
    }
    for (int exchange = 0; exchange < 2; ++exchange) {
        if (exchange > 0) link->ReOpen();
        SendRequest(link, Commands::Cmd_CommandSetESCPOSforSV);
        SendRequest(link, Commands::Cmd_CommandGetProtVer);
        PrinterAnswer answer;
        if (!answer.Read(link)) {
            return FailStep(*this, link, FN, NO_ANSWER, "Get Prot. release Error");
        }
    }
    link->Close();
    return true;
}

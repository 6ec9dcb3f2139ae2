// Download of an image into the printer's anti-tamper module: a start
// request, 128 banks of 256 bytes each acknowledged, and an end request
// carrying the image's two sums.
#include <vector>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/FileChecksum.h"
#include "operations/PrinterComm.h"
#include "operations/PrinterDialogue.h"
#include "operations/Tamper.h"
#include "protocol/Commands.h"

namespace {

const char* const FN = "PrnCom_WriteBinaryUpgradeFileTaper";

constexpr int BANK_SIZE = 256;
constexpr int BANK_COUNT = static_cast<int>(CTamper::IMAGE_SIZE / BANK_SIZE);
constexpr int ANSWER_TIMEOUT_MS = 5000;
constexpr unsigned BANK_PAUSE_MS = 100;
constexpr unsigned RESTART_WAIT_MS = 5000;
// Error code for a module that did not answer or did not acknowledge.
constexpr int NO_ACKNOWLEDGE = 13;

// Reads the module's one-byte answer; false when none came in time.
bool ReadAnswerByte(CComPort* link, unsigned char& answer) {
    unsigned err = 0;
    return link->ReadAll(&answer, 1, ANSWER_TIMEOUT_MS, &err) == 1;
}

std::vector<unsigned char> EndRequest(const FileChecksum& sums) {
    std::vector<unsigned char> request(Commands::Cmd_TamperUpgrade_End.begin(),
                                       Commands::Cmd_TamperUpgrade_End.end());
    for (uint16_t sum : {sums.uiChecksum1, sums.uiChecksum2}) {
        request.push_back(static_cast<unsigned char>(sum >> 8));
        request.push_back(static_cast<unsigned char>(sum & 0xFF));
    }
    return request;
}

}  // namespace

bool PrinterComm::PrnCom_WriteBinaryUpgradeFileTaper(CComPort* link, const unsigned char* data,
                                                     long size, CommPortSettings* settings) {
    Log::WriteLog(FN, "Begin");
    CmdConsole::WriteToConsoleString("Starting upgrade...\n");
    // The banks cover exactly one image; anything else would be sent cut or
    // read past its end.
    if (data == nullptr || size != CTamper::IMAGE_SIZE) {
        Log::WriteLogP(FN, "Image size %ld instead of %ld", size, CTamper::IMAGE_SIZE);
        iErrorCode = ERROR_STEP;
        return false;
    }
    PrinterDialogue dialogue(*this, *link, FN);
    if (!dialogue.OpenWithHandshake(*settings, nullptr)) return false;
    const FileChecksum sums = FileChecksum::Compute(data, static_cast<size_t>(size));

    unsigned char answer = 0;
    dialogue.Send(Commands::Cmd_TamperUpgrade_Start);
    // Any byte answers the start request.
    if (!ReadAnswerByte(link, answer)) {
        return dialogue.Fail(NO_ACKNOWLEDGE, "Read answer Error (1)");
    }
    fnPause(BANK_PAUSE_MS);

    StatusLine::Transfer transfer("anti-tamper image", static_cast<uint64_t>(size));
    for (int n = 1; n <= BANK_COUNT; ++n) {
        CmdConsole::WriteToConsoleString("Bank %d/128...\n", n);
        const unsigned char* from = data + static_cast<long>(n - 1) * BANK_SIZE;
        dialogue.Send(std::vector<unsigned char>(from, from + BANK_SIZE));
        Log::WriteLog(FN, "Waiting Answer...");
        if (!ReadAnswerByte(link, answer)) {
            return dialogue.Fail(NO_ACKNOWLEDGE, "Read answer Error (2)");
        }
        if (answer != Commands::Cmd_ACK[0]) {
            return dialogue.Fail(NO_ACKNOWLEDGE, "Read answer Error (3)");
        }
        fnPause(BANK_PAUSE_MS);
    }

    dialogue.Send(EndRequest(sums));
    Log::WriteLog(FN, "Waiting Answer...");
    if (!ReadAnswerByte(link, answer)) {
        return dialogue.Fail(NO_ACKNOWLEDGE, "Read answer Error (4)");
    }
    if (answer != Commands::Cmd_ACK[0]) {
        return dialogue.Fail(NO_ACKNOWLEDGE, "Read answer Error (5)");
    }
    link->Close();
    // The module restarts with its new firmware.
    StatusLine::Wait(
        "waiting for the anti-tamper module to restart", RESTART_WAIT_MS,
        [this](uint64_t ms) { fnPause(static_cast<unsigned>(ms)); }, "do not unplug it");
    CmdConsole::WriteToConsoleString("Upgrade Finish!\n");
    Log::WriteLog(FN, "End");
    return true;
}

#include "comm/IdentificationHandshake.h"

#include <unistd.h>

#include <cstring>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "protocol/Commands.h"

namespace {

const char* const FN = "HandshakeCommunication";
constexpr unsigned ANSWER_SIZE = 512;

template <std::size_t N>
void Send(CComPort& link, const Commands::Bytes<N>& command) {
    // The reads decide; write results are not looked at.
    Commands::Bytes<N> copy = command;
    unsigned err = 0;
    link.Write(copy.data(), static_cast<unsigned>(copy.size()), &err);
}

// Reads into a cleared buffer; the count of bytes that arrived (0 for none or
// a failed read).
unsigned ReadAnswer(CComPort& link, unsigned char (&answer)[ANSWER_SIZE]) {
    memset(answer, 0, sizeof(answer));
    unsigned err = 0;
    unsigned got = link.Read(answer, ANSWER_SIZE - 1, &err);
    return got == 0xFFFFFFFFu || got > ANSWER_SIZE - 1 ? 0 : got;
}

}  // namespace

bool IdentificationHandshake::Run(CComPort& link, unsigned long* gsi) const {
    unsigned char answer[ANSWER_SIZE];
    for (int attempt = 1;; ++attempt) {
        if (attempt % 2 == 1) Send(link, Commands::Cmd_CommandSetESCPOSforSV);
        link.CleanRX();
        Send(link, Commands::Cmd_CommandCAN);
        Send(link, Commands::Cmd_CommandGetGSI);
        if (ReadAnswer(link, answer) > 0) break;
        if (attempt >= attempts) {
            Log::WriteLog(FN, "Read GSI Error");
            return false;
        }
        Log::WriteLog(FN, "Read GSI Error... Retry");
        if (pauseMs <= 0) continue;
        StatusLine::Wait("no answer to the identification yet, asking again",
                         static_cast<uint64_t>(pauseMs), [this](uint64_t ms) {
                             if (pause) {
                                 pause(static_cast<int>(ms));
                             } else {
                                 usleep(static_cast<useconds_t>(ms) * 1000u);
                             }
                         });
    }

    unsigned long word;
    if (answer[0] == 0xFF) {
        Send(link, Commands::Cmd_CommandCAN);
        Send(link, Commands::Cmd_CommandGetGSIFF);
        if (ReadAnswer(link, answer) == 0) {
            Log::WriteLog(FN, "Read GSI FF Error");
            return false;
        }
        word = (static_cast<unsigned long>(answer[0]) << 8) | answer[1];
    } else {
        word = 0x100u | answer[0];
    }
    if (gsi != nullptr) *gsi = word;
    Log::WriteLogP(FN, "GSI 0x%04lx ", word);

    Send(link, Commands::Cmd_CommandCAN);
    Send(link, Commands::Cmd_CommandGetFWREL);
    if (ReadAnswer(link, answer) == 0) {
        Log::WriteLog(FN, "Read FW Release Error");
        return false;
    }
    return true;
}

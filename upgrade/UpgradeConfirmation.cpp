// "--verify": what makes a firmware download count as done.
#include <string>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "common/PersonConsole.h"
#include "files/PSWFile.h"
#include "upgrade/UpgradePrinter.h"

namespace {

const char* const FN = "ConfirmUpgrade";
constexpr unsigned RELEASE_ANSWER = 511;
constexpr size_t SHOWN_RELEASE = 16;

// A release as the printer sent it, fit for one line: printable characters
// only, and not too many of them.
std::string Shown(const std::string& release) {
    std::string shown;
    for (char c : release.substr(0, SHOWN_RELEASE)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (release.size() > SHOWN_RELEASE) shown += "...";
    return shown;
}

}  // namespace

bool UpgradePrinter::ConfirmUpgrade(CComPort& port, PSWFile& psw, std::string& failure) {
    failure.clear();
    if (!confirmation_.firmwareSent) {
        // Each module was taken with the printer's own verdict.
        Log::WriteLog(FN, "No firmware written: the module verdicts confirm the upgrade");
        return true;
    }
    const std::string expected = Shown(ExpectedRelease(psw));
    PointAtPrinter(port);
    std::string release;
    unsigned length = 0;
    if (!ReOpenWithRetries(port, FN, kReOpenOrFail)) {
        failure = "the printer did not come back after the upgrade";
    } else if (!port.HandshakeCommunication(nullptr)) {
        failure = "the printer did not answer the handshake after the upgrade";
    } else if (!ReadFirmwareRelease(port, RELEASE_ANSWER, release, length)) {
        failure = "the printer did not tell its release after the upgrade";
    } else if (release != ExpectedRelease(psw)) {
        failure =
            "the printer reports release " + Shown(release) + ", the package holds " + expected;
    } else if (confirmation_.sameVersion && !confirmation_.answered) {
        failure = "the printer already carried release " + expected +
                  " and no answer of it confirms the image written";
    } else if (confirmation_.unanswered != nullptr) {
        failure = "the printer reports release " + expected + ", but no answer confirms " +
                  confirmation_.unanswered;
    }
    port.Close();
    if (!failure.empty()) {
        failure = "Upgrade not verified: " + failure;
        return false;
    }
    Log::WriteLogP(FN, "Upgrade verified: the printer reports release %s", expected.c_str());
    PersonConsole::Tell("Upgrade verified: the printer reports release %s", expected.c_str());
    return true;
}

// "--verify": what makes a firmware download count as done.
#include <algorithm>
#include <cstdint>
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
constexpr int LOOKS = 2;
constexpr int LOOK_PAUSE_MS = 5000;  // x timem
// Even with -m 0 the printer gets this long to restart before the second look.
constexpr int64_t LOOK_PAUSE_FLOOR_MS = 2000;

// A release as the printer sent it, fit for one line: printable characters
// only, and not too many of them.
std::string Shown(const std::string& release) {
    std::string shown;
    for (char c : release.substr(0, SHOWN_RELEASE)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (release.size() > SHOWN_RELEASE) shown += "...";
    return shown;
}

}  // namespace

std::string UpgradePrinter::Look(CComPort& port, PSWFile& psw) {
    const std::string expected = Shown(ExpectedRelease(psw));
    if (!ReOpenWithRetries(port, FN, kReOpenOrFail)) {
        return "the printer did not come back after the upgrade";
    }
    if (!port.HandshakeCommunication(nullptr)) {
        return "the printer did not answer the handshake after the upgrade";
    }
    std::string release;
    unsigned length = 0;
    if (!ReadFirmwareRelease(port, RELEASE_ANSWER, release, length)) {
        return "the printer did not tell its release after the upgrade";
    }
    if (release != ExpectedRelease(psw)) {
        return "the printer reports release " + Shown(release) + ", the package holds " + expected;
    }
    return "";
}

bool UpgradePrinter::ConfirmUpgrade(CComPort& port, PSWFile& psw, std::string& failure) {
    failure.clear();
    if (!confirmation_.firmwareSent) {
        // A mask that keeps only the main modules drops the firmware entry
        // too: asked for, never written, so the run did not do what it was told.
        if (FirmwareEnabled() && psw.GetHeaderBin() != nullptr) {
            failure = "Upgrade not verified: the component mask " + std::to_string(iComponentMask) +
                      " asks for the firmware, but none was written with it";
            return false;
        }
        // Each module was taken with the printer's own verdict.
        Log::WriteLog(FN, "No firmware written: the module verdicts confirm the upgrade");
        return true;
    }
    const std::string expected = Shown(ExpectedRelease(psw));
    PointAtPrinter(port);
    // The first look may find the printer just before its restart takes it
    // away, or still on its old firmware: it gets one more look.
    for (int look = 1; look <= LOOKS; ++look) {
        if (look > 1) {
            port.Close();
            PauseUnscaled(std::max<int64_t>(Scaled(LOOK_PAUSE_MS), LOOK_PAUSE_FLOOR_MS));
        }
        failure = Look(port, psw);
        if (failure.empty()) break;
        Log::WriteLogP(FN, "Look %d: %s", look, failure.c_str());
    }
    port.Close();
    // The release cannot show what the printer already carried before.
    if (failure.empty() && confirmation_.sameVersion && !confirmation_.answered) {
        failure = "the printer already carried release " + expected +
                  " and no answer of it confirms the image written";
    }
    if (failure.empty() && confirmation_.unanswered != nullptr) {
        failure = "the printer reports release " + expected + ", but no answer confirms " +
                  confirmation_.unanswered;
    }
    if (!failure.empty()) {
        failure = "Upgrade not verified: " + failure;
        return false;
    }
    Log::WriteLogP(FN, "Upgrade verified: the printer reports release %s", expected.c_str());
    PersonConsole::Tell("Upgrade verified: the printer reports release %s", expected.c_str());
    return true;
}

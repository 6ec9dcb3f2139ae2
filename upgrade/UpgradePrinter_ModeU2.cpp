#include "upgrade/UpgradePrinter_ModeU2.h"

#include <cstring>
#include <vector>

#include "comm/ComPort.h"
#include "common/Log.h"
#include "files/PSWComponents.h"
#include "protocol/Commands.h"

namespace {

const char* const FN_PSW2 = "StartUpgrade_PSW2";
const char* const FN_SEND = "SendFW";
const char* const FN_CONNECT = "InitConnectRenesasDevice";
const char* const FN_RESET = "SendResetCommandUSB";

constexpr unsigned char NACK = 0x15;
// The newer boot program's answer to the data area blank check, to the status
// inquiry before programming and to the reset.
constexpr unsigned char NEWER_ANSWER = 'R';
constexpr int RELEASE_LENGTH = 4;
constexpr int RELEASE_WAIT_MS = 5000;
// The first boot program release that keeps its security setting.
const char kSecurityRelease[] = "1.00";

}  // namespace

UpgradePrinter_ModeU2::UpgradePrinter_ModeU2(int components, int timeMultiplier)
    : UpgradePrinter_ModeU4(components, timeMultiplier) {
    iModeNumber = 2;
}

bool UpgradePrinter_ModeU2::StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& components) {
    Log::WriteLog(FN_PSW2, "START Upgrade PSW2");
    components.ConvertModulesBeforeToAfter();
    port.BackupPortInfo();
    if (port.iPortType != COMMPORT_USB) {
        Log::WriteLog(FN_PSW2, "Upgrade U2 just support USB port error \n");
        return false;
    }

    auto sendFirmware = [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); };
    // The printer needs this long to start whatever the multiplier.
    if (!SendFirmwareStep(components, sendFirmware, MODULES_WAIT_MS, WaitScale::Unscaled)) {
        return false;
    }
    if (!ModulesEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
        return true;
    }
    return SendModulesAfter(port, psw, components, reserved2, 20000);
}

bool UpgradePrinter_ModeU2::AfterBitRateAdjustment(CComPort& port, BTPRGERROR& error) {
    Log::WriteLog(FN_CONNECT, "Sending Get Bootloader Release command");
    if (!WriteBootCommand(port, Commands::Cmd_GetRelease.data(), Commands::Cmd_GetRelease.size())) {
        error = ERROR_RELEASE_REQUEST;
        return BootFailure(port, FN_CONNECT, WRITE_FAILED);
    }
    char release[RELEASE_LENGTH + 1] = {};
    unsigned err = 0;
    unsigned got = port.ReadAll(reinterpret_cast<unsigned char*>(release), RELEASE_LENGTH,
                                RELEASE_WAIT_MS, &err);
    if (got < static_cast<unsigned>(RELEASE_LENGTH))
        return BootFailure(port, FN_CONNECT, WRONG_ANSWER);
    Log::WriteLog(FN_CONNECT, "OK!");
    Log::WriteLogP(FN_CONNECT, "Release Found: %s", release);
    if (memcmp(release, kSecurityRelease, RELEASE_LENGTH) < 0) {
        Pause(SHORT_PAUSE_MS);
        return true;
    }
    Log::WriteLog(FN_CONNECT, "Bootloader release support security!");

    Log::WriteLog(FN_CONNECT, "Sending Save Security command");
    if (!WriteBootCommand(port, Commands::Cmd_SaveSecurity.data(),
                          Commands::Cmd_SaveSecurity.size())) {
        return BootFailure(port, FN_CONNECT, WRITE_FAILED);
    }
    std::vector<unsigned char> answer(ANSWER_BUFFER);
    got = port.Read(answer.data(), ANSWER_BUFFER, &err);
    if (got != 1 || (answer[0] != BOOT_ACK && answer[0] != NACK)) {
        return BootFailure(port, FN_CONNECT, WRONG_ANSWER);
    }
    Log::WriteLog(FN_CONNECT, "OK!");
    if (answer[0] == NACK) {
        bNewBootloader = true;
        Log::WriteLog(FN_CONNECT, "New Bootloader...");
    }
    if (!bNewBootloader) return true;

    Log::WriteLog(FN_CONNECT, "Sending Save Security NEW command");
    if (!WriteBootCommand(port, Commands::Cmd_SaveSecurityNew.data(),
                          Commands::Cmd_SaveSecurityNew.size())) {
        return BootFailure(port, FN_CONNECT, WRITE_FAILED);
    }
    if (!ReadSingleByte(port, BOOT_ACK)) return BootFailure(port, FN_CONNECT, WRONG_ANSWER);
    Log::WriteLog(FN_CONNECT, "OK!");
    return true;
}

UpgradePrinter_ModeU4::BootStep UpgradePrinter_ModeU2::DataAreaBlankCheck() const {
    if (!bNewBootloader) return UpgradePrinter_ModeU4::DataAreaBlankCheck();
    return {"Sending Data Area Blank Check command(New Bootloader)",
            Commands::Cmd_DataAreaBlankCheck.data(),
            static_cast<unsigned>(Commands::Cmd_DataAreaBlankCheck.size()),
            2,
            5000,
            {{1, NEWER_ANSWER}},
            1};
}

unsigned char UpgradePrinter_ModeU2::ReadyStatusByte() const {
    return bNewBootloader ? NEWER_ANSWER : UpgradePrinter_ModeU4::ReadyStatusByte();
}

void UpgradePrinter_ModeU2::ExplainConnectionError(BTPRGERROR error) {
    if (error != ERROR_RELEASE_REQUEST) return;
    Log::WriteLog(FN_SEND,
                  "Impossible to retrieve bootloader release. Contact VARNEL Technical Service "
                  "(through phone, fax, web www.varnelprinters.com) or send a mail to "
                  "service@varnelprinters.com.");
}

bool UpgradePrinter_ModeU2::SendResetCommandUSB(CComPort& port) {
    Log::WriteLog(FN_RESET, "Sending Reset command");
    std::vector<unsigned char> answer(ANSWER_BUFFER);
    unsigned got = 0;
    if (WriteBootCommand(port, Commands::Cmd_Reset.data(), Commands::Cmd_Reset.size())) {
        unsigned err = 0;
        got = port.Read(answer.data(), ANSWER_BUFFER, &err);
    }
    if (got == 1 && answer[0] == NEWER_ANSWER) {
        Log::WriteLog(FN_RESET, "OK!");
        return true;
    }
    Log::WriteLog(FN_RESET, WRONG_ANSWER);
    port.Close();
    return false;
}

bool UpgradePrinter_ModeU2::SendResetCommandUSBForSuccess(CComPort& port) {
    return SendResetCommandUSB(port);
}

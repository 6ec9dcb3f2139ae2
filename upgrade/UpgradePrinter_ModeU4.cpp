#include "upgrade/UpgradePrinter_ModeU4.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "comm/ComPort.h"
#include "comm/ComPortUsb.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "files/PSWComponents.h"
#include "files/PSWFile.h"
#include "files/PSWHeaderBin.h"
#include "files/PSWHeaderModule.h"

namespace {

const char* const FN_PSW2 = "StartUpgrade_PSW2";
const char* const FN_SEND = "SendFW";
const char* const FN_ENTRY = "EnterUSBBootDirectModeOnUSB";

// Restart into the boot program, and the printer's answer to it.
const unsigned char kBootEntry[] = {0x1C, 0x4C, 0x49};
const char kBootEntryAnswer[] = "BOOT_RST";
constexpr unsigned BOOT_ENTRY_ANSWER_LENGTH = 8;
constexpr unsigned BOOT_ENTRY_BUFFER = 16;

bool EmptyRead(unsigned got, unsigned asked) { return got == 0 || got > asked; }

// The link's packet size and transmit time-out, put back when the firmware
// download ends, so that the module download finds the link as it was.
class LinkSettingsGuard {
  public:
    explicit LinkSettingsGuard(CComPort& port)
        : port_(port), packetSize_(port.uiPacketSize), timeoutTX_(port.iTimeoutTX) {}
    ~LinkSettingsGuard() {
        port_.uiPacketSize = packetSize_;
        port_.SetTimeoutTX(timeoutTX_);
    }
    LinkSettingsGuard(const LinkSettingsGuard&) = delete;
    LinkSettingsGuard& operator=(const LinkSettingsGuard&) = delete;

  private:
    CComPort& port_;
    uint32_t packetSize_;
    int timeoutTX_;
};

// The person restarts the printer and confirms with Enter. A closed input
// (no one at the console) is taken as the confirmation.
void WaitForEnter() {
    fputs("reset the printer, than press Enter to continue!", stdout);
    fflush(stdout);
    if (getchar() == EOF) Log::WriteLog(FN_PSW2, "No input: going on without confirmation");
}

}  // namespace

UpgradePrinter_ModeU4::UpgradePrinter_ModeU4(int components, int timeMultiplier)
    : UpgradePrinter(components, timeMultiplier), bNewBootloader(false) {
    // Both boot-mode engines report the number of the older of the two.
    iModeNumber = 2;
}

bool UpgradePrinter_ModeU4::StartUpgrade_PSW1(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& /*components*/) {
    return SendFirmwareOnly(
        [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); });
}

bool UpgradePrinter_ModeU4::StartUpgrade_PSW2(UpgradeDataInfo& info, CComPort& port, PSWFile& psw,
                                              CommPortSettings& settings, void* reserved1,
                                              void* reserved2, PSWComponents& components) {
    Log::WriteLog(FN_PSW2, "START Upgrade PSW2");
    port.BackupPortInfo();
    // The boot program takes no modules: they all follow the firmware.
    components.ConvertModulesBeforeToAfter();
    if (!SendModulesBeforeFirmware(port, psw, components, reserved2, 10000, FN_PSW2)) return false;
    port.ReOpen();

    auto sendFirmware = [&] { return SendFW(info, port, psw, settings, reserved1, reserved2); };
    bool waitedForModules = false;
    if (!SendFirmwareStep(components, sendFirmware, 10000, WaitScale::Scaled, &waitedForModules)) {
        return false;
    }
    if (!ModulesEnabled()) {
        Log::WriteLog(FN_PSW2, "Upgrade After Modules not enabled in command line arguments ");
        return true;
    }
    // The printer restarted from its boot program: the person confirms that
    // it runs again before the modules go.
    if (waitedForModules) WaitForEnter();
    return SendModulesAfter(port, psw, components, reserved2, 10000);
}

bool UpgradePrinter_ModeU4::SendModulesAfter(CComPort& port, PSWFile& psw,
                                             PSWComponents& components, void* reserved,
                                             int pauseUnit) {
    // The printer is back under the identifiers it had before the boot mode.
    port.RestoreportInfo();
    return SendModulePass(port, psw, components, reserved, pauseUnit, false, FN_PSW2);
}

bool UpgradePrinter_ModeU4::SendFW(UpgradeDataInfo& /*info*/, CComPort& port, PSWFile& psw,
                                   CommPortSettings& /*settings*/, void* /*reserved1*/,
                                   void* /*reserved2*/) {
    if (port.iPortType != COMMPORT_USB) {
        Log::WriteLog(FN_SEND, "Communication port not supported (only USB)");
        return false;
    }
    // The printer's identifiers, for the look at it after the boot program.
    if (bVerify) port.BackupPortInfo();
    bool sameVersion = false;
    if (!PrepareFirmwareTransfer(port, psw, FN_SEND, kReOpenAndGoOn, sameVersion)) return false;
    // The boot program is looked for whatever the printer answered.
    EnterUSBBootDirectModeOnUSB(port);
    port.Close();

    std::string deviceName;
    if (!WaitBootDevice(deviceName)) {
        Log::WriteLog(FN_SEND, "Error waiting renesas device timeout...");
        return false;
    }
    LinkSettingsGuard guard(port);
    BTPRGERROR error = 1;
    int programmingSize = 0;
    if (!InitConnectRenesasDevice(port, deviceName.c_str(), error, programmingSize)) {
        Log::WriteLogP(FN_SEND, "Init Renesas connection Error(%d)", error);
        ExplainConnectionError(error);
        return false;
    }

    const unsigned char* image = nullptr;
    uint32_t imageSize = 0;
    if (psw.iPswType == 0) {
        if (PSWHeaderBin* bin = psw.GetHeaderBin()) {
            image = bin->pDataBuffer.get();
            imageSize = bin->uiBinLength;
        }
    } else if (PSWHeaderModule* software = psw.GetHeaderModuleSoftware()) {
        image = software->pDataBuffer.get();
        imageSize = software->uiDataSize;
    }
    // Only whole banks are written: an image that does not fill them (or is
    // missing) is refused before the boot device is touched.
    bool wholeBanks = image != nullptr && imageSize > 0 &&
                      imageSize % static_cast<uint32_t>(programmingSize) == 0;
    if (wholeBanks &&
        StartUpgradeUsb(port, deviceName.c_str(), image, imageSize, programmingSize)) {
        confirmation_.answered = true;  // every bank and the lock bit acknowledged
        return true;
    }
    Log::WriteLog(FN_SEND, "Upgrade Error");
    port.Close();
    return false;
}

bool UpgradePrinter_ModeU4::EnterUSBBootDirectModeOnUSB(CComPort& port) {
    Log::WriteLog(FN_ENTRY, "Sending command to enter in USB Boot Direct mode...");
    if (!WriteAll(port, kBootEntry, sizeof(kBootEntry))) {
        Log::WriteLog(FN_ENTRY, "Error USB Boot Direct mode");
        return false;
    }
    unsigned char answer[BOOT_ENTRY_BUFFER + 1] = {};
    unsigned received = 0;
    const uint64_t start = NowMs();
    const uint64_t limit = static_cast<uint64_t>(Scaled(BOOT_ENTRY_WAIT_MS));
    do {
        uint64_t readStart = NowMs();
        unsigned err = 0;
        unsigned asked = BOOT_ENTRY_BUFFER - received;
        unsigned got = port.Read(answer + received, asked, &err);
        if (EmptyRead(got, asked)) {
            AfterEmptyRead(readStart);
        } else {
            received += got;
        }
    } while (received < BOOT_ENTRY_ANSWER_LENGTH && NowMs() - start < limit);
    Log::WriteLogP(FN_ENTRY, "Read %u bytes", received);
    if (received != BOOT_ENTRY_ANSWER_LENGTH) {
        Log::WriteLog(FN_ENTRY, "ERROR : WAIT TIMEOUT! Exit..");
        return false;
    }
    Log::WriteLogP(FN_ENTRY, "Answer: %s", reinterpret_cast<const char*>(answer));
    if (memcmp(answer, kBootEntryAnswer, BOOT_ENTRY_ANSWER_LENGTH) == 0) {
        Log::WriteLog(FN_ENTRY, "Correct response, the device is in USB Boot Direct mode!");
    } else {
        Log::WriteLog(FN_ENTRY, "Wrong response from device! Exit from upgrade procedure..");
    }
    return true;
}

bool UpgradePrinter_ModeU4::WaitBootDevice(std::string& deviceName) {
    std::vector<char> list(CComPortUsb::LIST_TEXT_SIZE);
    std::vector<char> errText(CComPortUsb::LIST_TEXT_SIZE);
    const uint64_t start = NowMs();
    const uint64_t limit = static_cast<uint64_t>(Scaled(BOOT_DEVICE_WAIT_MS));
    // Each look is a whole enumeration of the bus: a short pause between two
    // keeps the wait from filling a core, and the boot program is still taken
    // within a look and a pause of its arrival. At least one look is made
    // however short the wait.
    for (;;) {
        if (CComPortUsb::GetDeviceList(list.data(), errText.data(), BOOT_VID)) {
            const char* end = strchr(list.data(), '\n');
            deviceName.assign(list.data(), end != nullptr ? static_cast<size_t>(end - list.data())
                                                          : strlen(list.data()));
            if (!deviceName.empty()) break;
        }
        const uint64_t waited = NowMs() - start;
        if (waited >= limit) break;
        StatusLine::Countdown("waiting for the printer's boot device (vendor 045B)", limit - waited,
                              "do not unplug it");
        PauseUnscaled(BOOT_LOOK_PAUSE_MS);
    }
    StatusLine::Wipe();
    return !deviceName.empty();
}

bool UpgradePrinter_ModeU4::SendResetCommandUSB(CComPort& /*port*/) {
    Log::WriteLog("SendResetCommandUSB", "Upgrade Error. Please, restart the printer and retry");
    return true;
}

bool UpgradePrinter_ModeU4::SendResetCommandUSBForSuccess(CComPort& /*port*/) {
    Log::WriteLog("SendResetCommandUSBForSuccess", "Upgrade firmware. Please, restart the printer");
    return true;
}

#include "sim/usb/UsbBootMode.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <sstream>

#include "sim/core/PrinterCore.h"
#include "sim/usb/UsbTestbed.h"

namespace {

constexpr uint64_t MAX_USER_AREA = 64ULL << 20;  // an image is kept in memory whole
constexpr int MAX_DELAY_MS = 600000;
constexpr size_t RELEASE_SIZE = 4;
constexpr size_t ENTRY_ANSWER_SIZE = 8;

bool ParseNumber(const std::string& text, int base, uint64_t max, uint64_t& out) {
    const char* digits = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (text.empty() || text.size() > 10 || text.find_first_not_of(digits) != std::string::npos)
        return false;
    out = std::stoull(text, nullptr, base);
    return out <= max;
}

bool ParseDelay(const std::string& text, int& out) {
    uint64_t n = 0;
    if (!ParseNumber(text, 10, MAX_DELAY_MS, n)) return false;
    out = static_cast<int>(n);
    return true;
}

bool KnownStep(const std::string& name) {
    const auto& names = BootProgram::StepNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool Printable(const std::string& text, size_t maxSize) {
    return text.size() <= maxSize && IsPrintableText(text);
}

}  // namespace

bool ParseUsbBootSetup(const std::string& text, UsbBootSetup& setup, std::string& error) {
    std::stringstream in(text);
    std::string item;
    BootSettings& boot = setup.boot;
    while (std::getline(in, item, ',')) {
        if (item.empty()) continue;
        size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        uint64_t n = 0;
        bool ok = true;
        if (key == "release") {
            ok = value.size() == RELEASE_SIZE && Printable(value, RELEASE_SIZE);
            boot.release = value;
        } else if (key == "newer") {
            boot.newer = true;
        } else if (key == "security") {
            ok = ParseNumber(value, 16, 0xFF, n);
            boot.securityAnswer = static_cast<int>(n);
        } else if (key == "size") {
            ok = ParseNumber(value, 10, 0xFFFF, n);
            boot.programmingSize = static_cast<uint16_t>(n);
        } else if (key == "userarea") {
            ok = ParseNumber(value, 16, 0xFFFFFFFF, n) && (1ULL << 32) - n <= MAX_USER_AREA;
            boot.userAreaStart = static_cast<uint32_t>(n);
        } else if (key == "failonce" || key == "failalways") {
            ok = ParseNumber(value, 10, 0xFFFFFFFF, n) && n > 0;
            (key == "failonce" ? boot.failBankOnce : boot.failBankAlways) =
                static_cast<uint32_t>(n);
        } else if (key == "bankerror") {
            ok = ParseNumber(value, 16, 0xFF, n);
            boot.bankError = static_cast<uint8_t>(n);
        } else if (key == "statuserror") {
            ok = ParseNumber(value, 16, 0xFF, n);
            boot.statusError = static_cast<int>(n);
        } else if (key == "wrong") {
            ok = KnownStep(value);
            boot.wrong.insert(value);
        } else if (key == "pid") {
            ok = ParseNumber(value, 16, 0xFFFF, n);
            setup.productId = static_cast<uint16_t>(n);
        } else if (key == "on") {
            ok = !value.empty();
            setup.printer = value;
        } else if (key == "back") {
            ok = !value.empty();
            setup.back = value;
        } else if (key == "appear") {
            ok = ParseDelay(value, setup.appearMs);
        } else if (key == "noappear") {
            setup.appear = false;
        } else if (key == "entry") {
            ok = Printable(value, ENTRY_ANSWER_SIZE * 2);
            setup.entryAnswer = value;
        } else if (key == "backon") {
            ok = value == "reset" || value == "lock-bit";
            setup.backOnLockBit = value == "lock-bit";
        } else if (key == "backdelay") {
            ok = ParseDelay(value, setup.backMs);
        } else if (key == "newrelease") {
            ok = !value.empty() && Printable(value, 64);
            setup.newRelease = value;
        } else if (key == "image") {
            ok = !value.empty();
            setup.imageFile = value;
        } else {
            error = "unknown boot key \"" + key + "\"";
            return false;
        }
        if (!ok) {
            error = "bad value for boot key \"" + key + "\"";
            return false;
        }
    }
    return true;
}

UsbBootMode::UsbBootMode(const UsbBootSetup& setup, PrinterCore& printer)
    : setup_(setup), printer_(printer) {
    BootProgram::ProgrammedListener onProgrammed;
    if (!setup_.newRelease.empty()) {
        // The boot program runs on another core: the printer's own lock is free here.
        onProgrammed = [this](const BootProgram::Image&) {
            printer_.SetFirmwareRelease(setup_.newRelease);
        };
    }
    program_ = std::make_unique<BootProgram>(setup_.boot, onProgrammed);
    // One cable: the line's faults count the boot device's bytes on from the printer's.
    program_->Core().SetLineFaults(printer_.GetLineFaults());
}

bool UsbBootMode::Install(UsbTestbed& bus, const UsbDeviceConfig& printerLayout,
                          std::string& error) {
    printerName_ = printerLayout.name;
    // Early, the answer waits until the boot device is on the bus (Poll).
    const std::string answer = Early() ? "" : setup_.entryAnswer;
    printer_.AddRequestHandler({0x1C, 0x4C, 0x49}, ENTRY_REQUEST,
                               [this, answer](const uint8_t*, size_t, std::vector<uint8_t>& out) {
                                   out.assign(answer.begin(), answer.end());
                                   entryRequested_ = true;
                                   return size_t{3};
                               });

    UsbDeviceConfig boot;
    boot.name = DEVICE_NAME;
    boot.vendorId = BOOT_VENDOR_ID;
    boot.productId = setup_.productId;
    boot.hasSerial = true;  // a serial string that is empty
    boot.serial.clear();
    boot.bus = Early() ? printerLayout.bus + 1 : printerLayout.bus;
    boot.ports = printerLayout.ports;
    boot.present = false;
    bus.SetCore(DEVICE_NAME, &program_->Core());
    return bus.Declare(boot, error);
}

bool UsbBootMode::Poll(UsbTestbed& bus, std::string& error) {
    Clock::time_point now = Clock::now();
    switch (stage_) {
        case Stage::Running:
            if (!entryRequested_) return true;
            if (Early()) {
                if (!bus.Plug(DEVICE_NAME, error)) return false;
                printer_.Answer(
                    std::vector<uint8_t>(setup_.entryAnswer.begin(), setup_.entryAnswer.end()));
            }
            stage_ = Stage::Restarting;
            return true;
        case Stage::Restarting:
            // The printer goes once the host has its answer.
            if (printer_.HasOutput() || printer_.HasLateAnswers()) return true;
            if (!bus.Unplug(printerName_, error)) return false;
            due_ = now + std::chrono::milliseconds(setup_.appearMs);
            stage_ = setup_.appear && !Early() ? Stage::Appearing : Stage::InBoot;
            return true;
        case Stage::Appearing:
            if (now < due_) return true;
            stage_ = Stage::InBoot;
            return bus.Plug(DEVICE_NAME, error);
        case Stage::InBoot: {
            const char* leaveOn = setup_.backOnLockBit ? "lock-bit" : "reset";
            PrinterCore& core = program_->Core();
            if (core.TakeCloseRequest()) {  // the line's drop fault: the boot device is gone
                stage_ = Stage::Done;
                return bus.Unplug(DEVICE_NAME, error);
            }
            if (program_->CountRequests(leaveOn) == 0 || core.HasOutput() ||
                core.HasLateAnswers()) {
                return true;
            }
            due_ = now + std::chrono::milliseconds(setup_.backMs);
            stage_ = Stage::Returning;
            return bus.Unplug(DEVICE_NAME, error);
        }
        case Stage::Returning:
            if (now < due_) return true;
            stage_ = Stage::Done;
            return bus.Plug(setup_.back.empty() ? printerName_ : setup_.back, error);
        case Stage::Done:
            return true;
    }
    return true;
}

bool UsbBootMode::Finish(std::string& summary, std::vector<uint8_t>& held,
                         std::string& error) const {
    BootProgram::Image image = program_->Programmed();
    if (image.complete) held = image.bytes;
    uint32_t sum = std::accumulate(image.bytes.begin(), image.bytes.end(), 0u);
    char line[256];
    snprintf(line, sizeof line,
             "boot image %zu bytes from %08X sum %08X terminated %d complete %d locked %d "
             "refused %u",
             image.bytes.size(), image.start, sum, image.terminated, image.complete, image.locked,
             image.refusedBanks);
    summary = line;
    if (setup_.imageFile.empty()) return true;
    FILE* file = fopen(setup_.imageFile.c_str(), "wb");
    bool ok = file != nullptr &&
              (image.bytes.empty() ||  // nothing programmed: an empty file
               fwrite(image.bytes.data(), 1, image.bytes.size(), file) == image.bytes.size());
    if (file != nullptr && fclose(file) != 0) ok = false;
    if (!ok) error = "cannot write the boot image to " + setup_.imageFile;
    return ok;
}

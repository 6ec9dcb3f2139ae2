#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/core/BootProgram.h"
#include "sim/usb/UsbDeviceConfig.h"

class PrinterCore;
class UsbTestbed;

// What the printer does when it is told to restart into its microcontroller's
// USB boot program, from the words of "--boot DESC".
struct UsbBootSetup {
    BootSettings boot;
    std::string printer;          // the printer device that restarts; empty: the first one
    std::string back;             // the device that comes back afterwards; empty: the printer
    uint16_t productId = 0x0025;  // of the boot device (vendor id 045B)
    bool appear = true;           // false: the boot device never shows up
    // From the printer leaving to the boot device appearing. 0: the boot
    // device is on the bus (on the next bus number) before the printer's
    // answer is out, so that a host that looks for it at once finds it.
    int appearMs = 300;
    std::string entryAnswer = "BOOT_RST";
    bool backOnLockBit =
        false;               // the printer is power-cycled after the lock bit (no reset command)
    int backMs = 300;        // from the boot device leaving to the printer coming back
    std::string newRelease;  // firmware release of the printer after a complete programming
    std::string imageFile;   // where the programmed image is written at the end of the run
};

// Parses "release=1.00,newer,size=128,failonce=3,wrong=lock-bit,image=FILE,...".
bool ParseUsbBootSetup(const std::string& text, UsbBootSetup& setup, std::string& error);

// The boot-mode behaviour of the emulated bus: the restart request on the
// printer, the boot device (vendor 045B, empty serial) on the printer's port
// with its boot program, and the printer's return after the boot program's
// reset or after the lock bit. The bus changes happen in Poll, on the thread
// that owns the bus.
class UsbBootMode {
  public:
    static constexpr uint16_t BOOT_VENDOR_ID = 0x045B;
    static constexpr const char* DEVICE_NAME = "boot";
    static constexpr const char* ENTRY_REQUEST = "BOOT_ENTRY";

    UsbBootMode(const UsbBootSetup& setup, PrinterCore& printer);

    // Adds the restart request to the printer core and declares the boot
    // device next to printerLayout.
    bool Install(UsbTestbed& bus, const UsbDeviceConfig& printerLayout, std::string& error);
    // Makes the bus changes that are due; call it often, before the bus's own Poll.
    bool Poll(UsbTestbed& bus, std::string& error);
    // True when no bus change is under way or due (before the entry request
    // and once the printer is back).
    bool Quiet() const {
        return stage_ == Stage::Done || (stage_ == Stage::Running && !entryRequested_);
    }
    // Writes the image file (when asked) and returns the one-line summary, and
    // in held the image when it was programmed completely.
    bool Finish(std::string& summary, std::vector<uint8_t>& held, std::string& error) const;

    BootProgram& Program() { return *program_; }

  private:
    using Clock = std::chrono::steady_clock;
    enum class Stage { Running, Restarting, Appearing, InBoot, Returning, Done };

    bool Early() const { return setup_.appear && setup_.appearMs == 0; }

    UsbBootSetup setup_;
    PrinterCore& printer_;
    std::unique_ptr<BootProgram> program_;
    std::string printerName_;
    std::atomic<bool> entryRequested_{false};  // set on the printer's handler thread
    Stage stage_ = Stage::Running;
    Clock::time_point due_;
};

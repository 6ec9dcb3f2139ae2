#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"

// How the microcontroller's USB boot program behaves, and its faults.
struct BootSettings {
    std::string release = "1.00";  // four characters, answered to the release request
    bool newer = false;            // the newer boot program: NAKs the first save-security command
    int securityAnswer = -1;       // byte answered to the first save-security command; -1: by kind
    uint16_t programmingSize = 128;
    uint32_t userAreaStart = 0xFFF00000;  // the user area ends at FFFFFFFF
    // Banks are counted from 1 in the order of their addresses.
    uint32_t failBankOnce = 0;    // this bank is refused the first time it arrives
    uint32_t failBankAlways = 0;  // this bank is refused every time
    uint8_t bankError = 0x53;     // second byte of a refused bank's answer (after D0)
    int statusError = -1;         // fourth byte of every status answer (not ready); -1: by state
    std::set<std::string> wrong;  // steps answered with an error (names as in StepNames())
};

// The boot program of the printer's microcontroller, as it answers on its USB
// device: one-byte commands and sized packets (command, size, payload, sum
// byte), the programming packets (50, address, one unit of data, sum byte)
// and the answers of the older and the newer boot program. It keeps every
// accepted byte of the user area so that the written image can be checked.
//
// The byte engine is a PrinterCore whose bytes all go to the boot program
// (none reaches the printer's own requests); the USB device of the boot
// program moves bytes through Core().
class BootProgram {
  public:
    struct Image {
        uint32_t start = 0;  // address of the first byte
        std::vector<uint8_t> bytes;
        bool terminated = false;  // programming was closed with address FFFFFFFF
        bool complete = false;    // ... and the image ran without a gap up to FFFFFFFF
        uint32_t refusedBanks = 0;
        bool locked = false;
    };
    // Called once programming has been closed over a complete image.
    using ProgrammedListener = std::function<void(const Image& image)>;

    explicit BootProgram(const BootSettings& settings, ProgrammedListener onProgrammed = nullptr);
    BootProgram(const BootProgram&) = delete;
    BootProgram& operator=(const BootProgram&) = delete;

    PrinterCore& Core() { return core_; }
    Image Programmed() const;
    // How often a command (by its name in StepNames(), or "program") has been taken.
    size_t CountRequests(const std::string& name) const;

    // Names accepted in BootSettings::wrong, one per command.
    static const std::vector<std::string>& StepNames();

  private:
    using Handler = PrinterCore::RequestHandler;
    struct Command {
        std::string name;
        Handler handler;
    };

    size_t OnBytes(const uint8_t* data, size_t length, std::vector<uint8_t>& answer);
    void AddCommand(uint8_t command, const std::string& name,
                    std::function<void(std::vector<uint8_t>&)> answer);
    void AddSizedCommand(uint8_t command, const std::string& name,
                         std::vector<uint8_t> expectedPayload);
    size_t OnProgramming(const uint8_t* data, size_t length, std::vector<uint8_t>& answer);
    void Terminate(std::vector<uint8_t>& answer);
    bool Wrong(const std::string& step) const { return settings_.wrong.count(step) > 0; }
    static void Refuse(uint8_t command, uint8_t code, std::vector<uint8_t>& answer);
    static void AppendWithSum(std::vector<uint8_t> packet, std::vector<uint8_t>& answer);

    BootSettings settings_;
    ProgrammedListener onProgrammed_;
    PrinterCore core_;
    std::map<uint8_t, Command> commands_;

    // Handlers run on the core's lock; accessors from other threads use this one.
    mutable std::mutex mutex_;
    bool synchronised_ = false;  // the bit-rate adjustment byte has arrived
    bool programmingState_ = false;
    bool areaSelected_ = false;
    bool blankChecked_ = false;
    bool newerConfirmed_ = false;  // the newer boot program took its second save command
    uint64_t nextAddress_ = 0;     // address the next new bank must have
    bool started_ = false;
    std::set<uint32_t> failedOnce_;
    std::map<std::string, size_t> requestCounts_;
    Image image_;
};

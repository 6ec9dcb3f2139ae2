// The boot program's own dialogue in mode U4 (and U2): the connection
// sequence, the programming packets and the end of programming.
#include <array>
#include <cinttypes>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "comm/ComPort.h"
#include "common/CmdConsole.h"
#include "common/Log.h"
#include "common/StatusLine.h"
#include "operations/PrinterComm.h"
#include "protocol/Commands.h"
#include "upgrade/UpgradePrinter_ModeU4.h"

namespace {

const char* const FN_CONNECT = "InitConnectRenesasDevice";
const char* const FN_USB = "StartUpgradeUsb";

constexpr unsigned char STATUS_ANSWER = 0x5F;
constexpr unsigned char STATUS_READY = 0x3F;
constexpr int STATUS_LENGTH = 5;
constexpr int STATUS_WAIT_MS = 5000;
constexpr int BOOT_TIMEOUT_TX = 5000;
constexpr int FINAL_PAUSE_MS = 2500;  // x timem
constexpr uint64_t ADDRESS_SPACE = 0x100000000ull;
constexpr uint32_t PACKET_FRAMING = 6;  // command byte, address, check byte

bool EmptyRead(unsigned got, unsigned asked) { return got == 0 || got > asked; }

const char* BankErrorText(const unsigned char* answer, unsigned length) {
    if (length < 2 || answer[0] != 0xD0) return "ERROR: wrong response!";
    switch (answer[1]) {
        case 0x2A:
            return "ERROR: wrong response: ADDRESS error!";
        case 0x53:
            return "ERROR: wrong response: PROGRAMMING error!";
        case 0x11:
            return "ERROR: wrong response: CHECKSUM error!";
        default:
            return "ERROR: Unknown response!";
    }
}

uint32_t BigEndian32(const unsigned char* bytes) {
    return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
           (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

template <size_t N>
UpgradePrinter_ModeU4::BootStep Step(const char* logLine, const std::array<unsigned char, N>& cmd,
                                     int count, int readAllMs,
                                     std::initializer_list<UpgradePrinter_ModeU4::Expect> expect) {
    UpgradePrinter_ModeU4::BootStep step{logLine, cmd.data(), N, count, readAllMs, {}, 0};
    for (const auto& e : expect) step.expect[step.expects++] = e;
    return step;
}

}  // namespace

bool UpgradePrinter_ModeU4::OpenBootDevice(CComPort& port, const char* deviceName) {
    std::vector<char> vendor(strlen(deviceName) + 1), product(vendor.size()), serial(vendor.size());
    PrinterComm::ExtractUsbParamsFromName(deviceName, vendor.data(), product.data(), serial.data());
    if (port.InitWithVid(vendor.data(), product.data(), serial.data()) && port.Open()) return true;
    port.Close();
    return false;
}

bool UpgradePrinter_ModeU4::InitConnectRenesasDevice(CComPort& port, const char* deviceName,
                                                     BTPRGERROR& error, int& programmingSize) {
    error = 1;
    bNewBootloader = false;
    programmingSize = 0;
    Log::WriteLog(FN_CONNECT, "Starting connecting operations...");
    if (!OpenBootDevice(port, deviceName)) {
        Log::WriteLog(FN_CONNECT, "Open Renesas device Error");
        return false;
    }
    port.SetTimeoutTX(BOOT_TIMEOUT_TX);

    std::vector<unsigned char> answer;
    if (!RunBootStep(port, FN_CONNECT,
                     Step("Sending Automatic Adjustment of Bit Rate command",
                          Commands::Cmd_AutomaticAdjustmentBitRate, 1, 0, {{0, 0xE6}}),
                     answer) ||
        !AfterBitRateAdjustment(port, error) ||
        !RunBootStep(port, FN_CONNECT,
                     Step("Sending Programming Size Inquiry command",
                          Commands::Cmd_ProgrammingSizeInquiry, 5, 5000, {{0, 0x37}}),
                     answer)) {
        return false;
    }
    programmingSize = (answer[2] << 8) | answer[3];
    Log::WriteLogP(FN_CONNECT, "Programming Size: %d", programmingSize);
    // A size of 0 would make no bank at all out of the image.
    if (programmingSize == 0) return BootFailure(port, FN_CONNECT, WRONG_ANSWER);

    const BootStep middle[] = {
        Step("Sending Device Selection command", Commands::Cmd_DeviceSelection, 1, 0,
             {{0, BOOT_ACK}}),
        Step("Sending Clock Mode Selection command", Commands::Cmd_ClockModeSelection, 1, 0,
             {{0, BOOT_ACK}}),
        Step("Sending User Area Information Inquiry command",
             Commands::Cmd_UserAreaInformationInquiry, 12, 5000, {{0, 0x35}}),
    };
    for (const BootStep& step : middle) {
        if (!RunBootStep(port, FN_CONNECT, step, answer)) return false;
    }
    Log::WriteLogP(FN_CONNECT, "Micro FLASH size: %" PRIu64,
                   ADDRESS_SPACE - BigEndian32(&answer[3]));

    const BootStep last[] = {
        Step("Sending Bit Rate Selection command", Commands::Cmd_BitRateSelecion, 1, 0,
             {{0, BOOT_ACK}}),
        Step("Sending Confirmation command", Commands::Cmd_Confirmation, 1, 0, {{0, BOOT_ACK}}),
        Step("Sending Programming/Erasure State Transition command",
             Commands::Cmd_ProgrammingErasureStateTransition, 1, 30000, {{0, BOOT_ACK}}),
        Step("Sending Boot Program Status Inquiry command", Commands::Cmd_BootProgramStatusInquiry,
             STATUS_LENGTH, 10000, {{0, STATUS_ANSWER}, {2, STATUS_READY}, {3, 0x00}}),
        Step("Sending User Area Blank Check command", Commands::Cmd_UserAreaBlankCheck, 1, 5000,
             {{0, BOOT_ACK}}),
        DataAreaBlankCheck(),
    };
    for (const BootStep& step : last) {
        if (!RunBootStep(port, FN_CONNECT, step, answer)) return false;
    }
    port.Close();
    Log::WriteLog(FN_CONNECT, "Connecting operations executed!");
    return true;
}

bool UpgradePrinter_ModeU4::AfterBitRateAdjustment(CComPort& /*port*/, BTPRGERROR& /*error*/) {
    return true;
}

UpgradePrinter_ModeU4::BootStep UpgradePrinter_ModeU4::DataAreaBlankCheck() const {
    return Step("Sending Data Area Blank Check command(OLD BOOTLOADER)",
                Commands::Cmd_DataAreaBlankCheck, 1, 5000, {{0, BOOT_ACK}});
}

unsigned char UpgradePrinter_ModeU4::ReadyStatusByte() const { return 0x00; }

void UpgradePrinter_ModeU4::ExplainConnectionError(BTPRGERROR /*error*/) {}

bool UpgradePrinter_ModeU4::RunBootStep(CComPort& port, const char* function, const BootStep& step,
                                        std::vector<unsigned char>& answer) {
    Log::WriteLog(function, step.logLine);
    if (!WriteBootCommand(port, step.command, step.length)) {
        return BootFailure(port, function, WRITE_FAILED);
    }
    unsigned err = 0;
    unsigned got = 0;
    if (step.readAllMs > 0) {
        answer.assign(static_cast<size_t>(step.count), 0);
        got = port.ReadAll(answer.data(), step.count, step.readAllMs, &err);
    } else {
        answer.assign(ANSWER_BUFFER, 0);
        got = port.Read(answer.data(), ANSWER_BUFFER, &err);
    }
    bool right = got == static_cast<unsigned>(step.count);
    for (int i = 0; right && i < step.expects; ++i) {
        right = answer[static_cast<size_t>(step.expect[i].index)] == step.expect[i].value;
    }
    if (!right) return BootFailure(port, function, WRONG_ANSWER);
    Log::WriteLog(function, "OK!");
    Pause(SHORT_PAUSE_MS);
    return true;
}

bool UpgradePrinter_ModeU4::BootFailure(CComPort& port, const char* function, const char* text) {
    Log::WriteLog(function, text);
    SendResetCommandUSB(port);
    port.Close();
    return false;
}

bool UpgradePrinter_ModeU4::WriteBootCommand(CComPort& port, const unsigned char* bytes,
                                             unsigned length) {
    port.CleanRX();
    return WriteAll(port, bytes, length);
}

bool UpgradePrinter_ModeU4::ReadSingleByte(CComPort& port, unsigned char value) {
    std::vector<unsigned char> answer(ANSWER_BUFFER);
    unsigned err = 0;
    unsigned got = port.Read(answer.data(), ANSWER_BUFFER, &err);
    return got == 1 && answer[0] == value;
}

bool UpgradePrinter_ModeU4::StartUpgradeUsb(CComPort& port, const char* deviceName,
                                            const unsigned char* image, uint32_t imageSize,
                                            int programmingSize) {
    if (!OpenBootDevice(port, deviceName)) {
        Log::WriteLog(FN_USB, "Open Renesas device Error");
        return false;
    }
    Log::WriteLog(FN_USB, "Sending Boot Program Status Inquiry command");
    if (!WriteBootCommand(port, Commands::Cmd_BootProgramStatusInquiry.data(),
                          Commands::Cmd_BootProgramStatusInquiry.size())) {
        return BootFailure(port, FN_USB, WRITE_FAILED);
    }
    unsigned char status[STATUS_LENGTH] = {};
    unsigned err = 0;
    unsigned got = port.ReadAll(status, STATUS_LENGTH, STATUS_WAIT_MS, &err);
    if (got < static_cast<unsigned>(STATUS_LENGTH) || status[0] != STATUS_ANSWER) {
        return BootFailure(port, FN_USB, WRONG_ANSWER);
    }
    if (status[2] != STATUS_READY || status[3] != ReadyStatusByte()) {
        return BootFailure(port, FN_USB, "ERROR: wrong status mode response! exit...");
    }
    Log::WriteLog(FN_USB, "OK!");

    Log::WriteLog(FN_USB, "Sending User Data Area Programmin Selection command");
    if (!WriteBootCommand(port, Commands::Cmd_AreaProgrammingSelection.data(),
                          Commands::Cmd_AreaProgrammingSelection.size())) {
        return BootFailure(port, FN_USB, WRITE_FAILED);
    }
    if (!ReadSingleByte(port, BOOT_ACK)) return BootFailure(port, FN_USB, WRONG_ANSWER);
    Log::WriteLog(FN_USB, "OK!");
    Pause(SHORT_PAUSE_MS);

    port.uiPacketSize = BOOT_PACKET_SIZE;
    Log::WriteLog(FN_USB, "Start do sending data!");
    return SendBanks(port, image, imageSize, programmingSize) && EndProgramming(port);
}

std::vector<unsigned char> UpgradePrinter_ModeU4::ProgrammingPacket(uint32_t address,
                                                                    const unsigned char* data,
                                                                    int size) {
    const size_t length = size > 0 ? static_cast<size_t>(size) : 0;
    std::vector<unsigned char> packet(length + 6);
    packet[0] = 0x50;
    packet[1] = static_cast<unsigned char>(address >> 24);
    packet[2] = static_cast<unsigned char>(address >> 16);
    packet[3] = static_cast<unsigned char>(address >> 8);
    packet[4] = static_cast<unsigned char>(address);
    if (length > 0) memcpy(&packet[5], data, length);
    unsigned char sum = 0;
    for (size_t i = 0; i < length + 5; ++i) sum = static_cast<unsigned char>(sum + packet[i]);
    packet[length + 5] = static_cast<unsigned char>(0x100 - sum);
    return packet;
}

bool UpgradePrinter_ModeU4::SendBanks(CComPort& port, const unsigned char* image,
                                      uint32_t imageSize, int programmingSize) {
    const uint32_t unit = static_cast<uint32_t>(programmingSize);
    const uint32_t count = imageSize / unit;
    // The image ends at the top of the address space.
    uint32_t address = static_cast<uint32_t>(ADDRESS_SPACE - imageSize);
    std::vector<unsigned char> answer(ANSWER_BUFFER);
    // On the wire each bank goes with its address and check byte.
    StatusLine::Transfer transfer("boot-mode banks", uint64_t{count} * (unit + PACKET_FRAMING));
    for (uint32_t n = 1; n <= count; ++n) {
        unsigned percent = static_cast<unsigned>(uint64_t{n} * 100 / count);
        CmdConsole::WriteToConsoleString("Sending bank %u/%u (%u%%)", n, count, percent);
        Log::WriteLogP(FN_USB, "Sending bank %u/%u (%u%%)", n, count, percent);
        std::vector<unsigned char> packet =
            ProgrammingPacket(address, image + uint64_t{n - 1} * unit, programmingSize);
        for (int sent = 1;; ++sent) {
            if (!WriteBootCommand(port, packet.data(), static_cast<unsigned>(packet.size()))) {
                return BootFailure(port, FN_USB, WRITE_FAILED);
            }
            unsigned err = 0;
            unsigned got = port.Read(answer.data(), ANSWER_BUFFER, &err);
            if (EmptyRead(got, ANSWER_BUFFER)) return BootFailure(port, FN_USB, WRONG_ANSWER);
            if (answer[0] == BOOT_ACK) {
                Log::WriteLogP(FN_USB, "Bank %u successfully sent!", n);
                break;
            }
            Log::WriteLog(FN_USB, BankErrorText(answer.data(), got));
            // The last bank too: terminating the programming after a refused
            // bank would lock an incomplete image in.
            if (sent >= 2) return BootFailure(port, FN_USB, "Exit..");
            Log::WriteLogP(FN_USB, "Retry to send %u bank!", n);
        }
        address += unit;
    }
    return true;
}

bool UpgradePrinter_ModeU4::EndProgramming(CComPort& port) {
    struct Final {
        const char* logLine;
        const unsigned char* command;
        unsigned length;
    };
    const Final steps[] = {
        {"Sending Terminate Programming command", Commands::Cmd_TerminateProgramming.data(),
         static_cast<unsigned>(Commands::Cmd_TerminateProgramming.size())},
        {"Sending Lock Bit Enable command", Commands::Cmd_LockBitEnable.data(),
         static_cast<unsigned>(Commands::Cmd_LockBitEnable.size())},
    };
    for (const Final& step : steps) {
        Log::WriteLog(FN_USB, step.logLine);
        if (!WriteBootCommand(port, step.command, step.length)) {
            return BootFailure(port, FN_USB, WRITE_FAILED);
        }
        if (!ReadSingleByte(port, BOOT_ACK)) return BootFailure(port, FN_USB, WRONG_ANSWER);
        Log::WriteLog(FN_USB, "OK!");
        Pause(SHORT_PAUSE_MS);
    }
    SendResetCommandUSBForSuccess(port);
    port.Close();
    Pause(FINAL_PAUSE_MS);
    return true;
}

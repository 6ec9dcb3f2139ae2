#include "sim/core/BootProgram.h"

#include <numeric>

namespace {

// Command bytes of the boot program.
constexpr uint8_t ADJUST = 0x55;
constexpr uint8_t SIZE_INQUIRY = 0x27;
constexpr uint8_t DEVICE_SELECT = 0x10;
constexpr uint8_t CLOCK_MODE = 0x11;
constexpr uint8_t USER_AREA = 0x25;
constexpr uint8_t BIT_RATE = 0x3F;
constexpr uint8_t CONFIRM = 0x06;
constexpr uint8_t TRANSITION = 0x40;
constexpr uint8_t STATUS = 0x4F;
constexpr uint8_t USER_BLANK = 0x4D;
constexpr uint8_t DATA_BLANK = 0x62;
constexpr uint8_t SELECT_AREA = 0x43;
constexpr uint8_t PROGRAM = 0x50;
constexpr uint8_t LOCK_BIT = 0x7A;
constexpr uint8_t RELEASE = 0x32;
constexpr uint8_t SAVE_SECURITY = 0x33;
constexpr uint8_t SAVE_SECURITY_NEW = 0x34;
constexpr uint8_t RESET = 0x31;

// Answer bytes.
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t ADJUST_ANSWER = 0xE6;
constexpr uint8_t READY_NEWER = 0x52;  // "R": the newer boot program's ready mark
constexpr uint8_t PROGRAMMING_STATE = 0x3F;
constexpr uint8_t IDLE_STATE = 0x01;
constexpr uint8_t BANK_ERROR = 0xD0;
constexpr uint8_t ADDRESS_ERROR = 0x2A;
constexpr uint8_t CHECKSUM_ERROR = 0x11;
constexpr uint8_t PARAMETER_ERROR = 0x21;
constexpr uint8_t SEQUENCE_ERROR = 0x51;

constexpr uint64_t ADDRESS_SPACE = 1ULL << 32;
constexpr uint32_t END_ADDRESS = 0xFFFFFFFF;
constexpr size_t ADDRESS_END = 5;  // programming packet: command and 4 address bytes

uint8_t Sum(const uint8_t* data, size_t length) {
    return static_cast<uint8_t>(std::accumulate(data, data + length, 0u));
}

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void PutBigEndian32(uint32_t value, std::vector<uint8_t>& out) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

const std::vector<std::string>& BootProgram::StepNames() {
    static const std::vector<std::string> names{
        "adjust",     "release",    "security", "security-new", "size",       "device",
        "clock",      "user-area",  "bit-rate", "confirm",      "transition", "status",
        "user-blank", "data-blank", "select",   "terminate",    "lock-bit",   "reset"};
    return names;
}

BootProgram::BootProgram(const BootSettings& settings, ProgrammedListener onProgrammed)
    : settings_(settings), onProgrammed_(std::move(onProgrammed)) {
    AddCommand(ADJUST, "adjust", [this](std::vector<uint8_t>& out) {
        synchronised_ = true;
        out.push_back(ADJUST_ANSWER);
    });
    AddCommand(RELEASE, "release", [this](std::vector<uint8_t>& out) {
        std::string text = (settings_.release + "    ").substr(0, 4);
        out.insert(out.end(), text.begin(), text.end());
    });
    AddCommand(SAVE_SECURITY, "security", [this](std::vector<uint8_t>& out) {
        int answer = settings_.securityAnswer;
        if (answer < 0) answer = settings_.newer ? NAK : ACK;
        out.push_back(static_cast<uint8_t>(answer));
    });
    AddCommand(SAVE_SECURITY_NEW, "security-new", [this](std::vector<uint8_t>& out) {
        if (!settings_.newer) return Refuse(SAVE_SECURITY_NEW, SEQUENCE_ERROR, out);
        newerConfirmed_ = true;
        out.push_back(ACK);
    });
    AddCommand(SIZE_INQUIRY, "size", [this](std::vector<uint8_t>& out) {
        uint16_t size = settings_.programmingSize;
        AppendWithSum({0x37, 0x02, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)},
                      out);
    });
    AddSizedCommand(DEVICE_SELECT, "device", {0x37, 0x36, 0x30, 0x38});
    AddSizedCommand(CLOCK_MODE, "clock", {0x00});
    AddCommand(USER_AREA, "user-area", [this](std::vector<uint8_t>& out) {
        std::vector<uint8_t> answer{0x35, 0x09, 0x01};
        PutBigEndian32(settings_.userAreaStart, answer);
        PutBigEndian32(END_ADDRESS, answer);
        AppendWithSum(answer, out);
    });
    AddSizedCommand(BIT_RATE, "bit-rate", {0x00, 0x00, 0x04, 0xB0, 0x02, 0x08, 0x04});
    AddCommand(CONFIRM, "confirm", [](std::vector<uint8_t>& out) { out.push_back(ACK); });
    AddCommand(TRANSITION, "transition", [this](std::vector<uint8_t>& out) {
        programmingState_ = true;
        out.push_back(ACK);
    });
    AddCommand(STATUS, "status", [this](std::vector<uint8_t>& out) {
        // The newer boot program marks its readiness once the blank checks have run.
        uint8_t state = programmingState_ ? PROGRAMMING_STATE : IDLE_STATE;
        uint8_t mark = newerConfirmed_ && blankChecked_ ? READY_NEWER : 0x00;
        if (settings_.statusError >= 0) mark = static_cast<uint8_t>(settings_.statusError);
        AppendWithSum({0x5F, 0x02, state, mark}, out);
    });
    AddCommand(USER_BLANK, "user-blank", [this](std::vector<uint8_t>& out) {
        if (!programmingState_) return Refuse(USER_BLANK, SEQUENCE_ERROR, out);
        out.push_back(ACK);
    });
    AddCommand(DATA_BLANK, "data-blank", [this](std::vector<uint8_t>& out) {
        if (!programmingState_) return Refuse(DATA_BLANK, SEQUENCE_ERROR, out);
        blankChecked_ = true;
        out.push_back(ACK);
        if (newerConfirmed_) out.push_back(READY_NEWER);
    });
    AddCommand(SELECT_AREA, "select", [this](std::vector<uint8_t>& out) {
        if (!programmingState_) return Refuse(SELECT_AREA, SEQUENCE_ERROR, out);
        areaSelected_ = true;
        out.push_back(ACK);
    });
    AddCommand(LOCK_BIT, "lock-bit", [this](std::vector<uint8_t>& out) {
        if (!programmingState_) return Refuse(LOCK_BIT, SEQUENCE_ERROR, out);
        image_.locked = true;
        out.push_back(ACK);
    });
    AddCommand(RESET, "reset", [this](std::vector<uint8_t>& out) {
        out.push_back(newerConfirmed_ ? READY_NEWER : ACK);
        synchronised_ = programmingState_ = areaSelected_ = false;
    });
    commands_[PROGRAM] = {"program", [this](const uint8_t* data, size_t length, auto& out) {
                              return OnProgramming(data, length, out);
                          }};
    core_.AddStreamHandler(
        "boot", [] { return true; },
        [this](const uint8_t* data, size_t length, auto& out) {
            return OnBytes(data, length, out);
        });
}

size_t BootProgram::OnBytes(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    auto it = commands_.find(data[0]);
    if (it == commands_.end()) return 1;  // not a command of the boot program: ignored
    size_t used = it->second.handler(data, length, out);
    if (used > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++requestCounts_[it->second.name];
    }
    return used;
}

size_t BootProgram::CountRequests(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = requestCounts_.find(name);
    return it == requestCounts_.end() ? 0 : it->second;
}

BootProgram::Image BootProgram::Programmed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return image_;
}

void BootProgram::Refuse(uint8_t command, uint8_t code, std::vector<uint8_t>& answer) {
    answer.push_back(static_cast<uint8_t>(command | 0x80));
    answer.push_back(code);
}

void BootProgram::AppendWithSum(std::vector<uint8_t> packet, std::vector<uint8_t>& answer) {
    packet.push_back(static_cast<uint8_t>(-Sum(packet.data(), packet.size())));
    answer.insert(answer.end(), packet.begin(), packet.end());
}

void BootProgram::AddCommand(uint8_t command, const std::string& name,
                             std::function<void(std::vector<uint8_t>&)> answer) {
    commands_[command] = {
        name, [this, command, name, answer](const uint8_t*, size_t, std::vector<uint8_t>& out) {
            std::lock_guard<std::mutex> lock(mutex_);
            // Until the bit-rate adjustment byte the boot program hears nothing else.
            if (!synchronised_ && command != ADJUST) return size_t{1};
            if (Wrong(name)) {
                Refuse(command, SEQUENCE_ERROR, out);
                if (command == ADJUST) synchronised_ = true;
                return size_t{1};
            }
            answer(out);
            return size_t{1};
        }};
}

void BootProgram::AddSizedCommand(uint8_t command, const std::string& name,
                                  std::vector<uint8_t> expectedPayload) {
    commands_[command] = {
        name, [this, command, name, expectedPayload](const uint8_t* data, size_t length,
                                                     std::vector<uint8_t>& out) {
            if (length < 2) return size_t{0};
            size_t total = size_t{data[1]} + 3;
            if (length < total) return size_t{0};
            std::lock_guard<std::mutex> lock(mutex_);
            if (!synchronised_) return total;
            if (Sum(data, total) != 0) {
                Refuse(command, CHECKSUM_ERROR, out);
            } else if (Wrong(name) ||
                       std::vector<uint8_t>(data + 2, data + total - 1) != expectedPayload) {
                Refuse(command, PARAMETER_ERROR, out);
            } else {
                out.push_back(ACK);
            }
            return total;
        }};
}

size_t BootProgram::OnProgramming(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    if (length < ADDRESS_END) return 0;
    uint32_t address = BigEndian32(data + 1);
    size_t unit = address == END_ADDRESS ? 0 : settings_.programmingSize;
    size_t total = ADDRESS_END + unit + 1;
    if (length < total) return 0;

    std::lock_guard<std::mutex> lock(mutex_);
    if (!synchronised_) return total;
    if (Sum(data, total) != 0) {
        out = {BANK_ERROR, CHECKSUM_ERROR};
        return total;
    }
    if (address == END_ADDRESS) {
        Terminate(out);
        return total;
    }
    // A bank must lie in the user area on a unit boundary, and follow the
    // previous accepted bank (a refused bank comes again at the same address).
    bool inArea = unit > 0 && address >= settings_.userAreaStart && address % unit == 0;
    bool inOrder = !started_ || address == nextAddress_;
    if (!areaSelected_ || !inArea || !inOrder) {
        out = {BANK_ERROR, ADDRESS_ERROR};
        return total;
    }
    uint32_t bank = started_ ? static_cast<uint32_t>((address - image_.start) / unit) + 1 : 1;
    bool failOnce = bank == settings_.failBankOnce && failedOnce_.insert(bank).second;
    if (bank == settings_.failBankAlways || failOnce) {
        ++image_.refusedBanks;
        out = {BANK_ERROR, settings_.bankError};
        return total;
    }
    if (!started_) {
        started_ = true;
        image_.start = address;
    }
    image_.bytes.insert(image_.bytes.end(), data + ADDRESS_END, data + ADDRESS_END + unit);
    nextAddress_ = uint64_t{address} + unit;
    out.push_back(ACK);
    return total;
}

void BootProgram::Terminate(std::vector<uint8_t>& out) {
    if (Wrong("terminate")) return Refuse(PROGRAM, SEQUENCE_ERROR, out);
    image_.terminated = true;
    image_.complete = started_ && nextAddress_ == ADDRESS_SPACE;
    out.push_back(ACK);
    if (image_.complete && onProgrammed_) onProgrammed_(image_);
}

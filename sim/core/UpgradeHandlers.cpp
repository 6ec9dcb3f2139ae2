#include "sim/core/UpgradeHandlers.h"

#include <algorithm>
#include <cstring>

#include "sim/core/AnswerEncoder.h"
#include "sim/core/PrinterCore.h"
#include "sim/core/Requests.h"

namespace {

constexpr uint8_t ACCEPTED = 0xAA;         // module or bank taken
constexpr uint8_t MODULE_REJECTED = 0x44;  // module file unreadable or damaged
constexpr uint8_t CHECKSUM_ERROR = 0x99;   // bank checksums differ from the program command
constexpr uint8_t GARBAGE = 0xA5;
constexpr size_t MODULE_HEADER = 4102;
constexpr size_t MODULE_ORDER_MARK = 10;
constexpr size_t MODULE_MAX = 64u << 20;
constexpr int CODE_BANKS = 3;  // mode U5: banks 0 to 2 hold the code

// The two 16-bit sums of a run: the bytes, and the bytes XOR their index.
void Sums(const uint8_t* data, size_t length, size_t firstIndex, uint16_t& sum, uint16_t& xorSum) {
    for (size_t i = 0; i < length; ++i) {
        sum = static_cast<uint16_t>(sum + data[i]);
        xorSum = static_cast<uint16_t>(xorSum + (data[i] ^ ((firstIndex + i) & 0xFFFF)));
    }
}

// "FILE_SIZE:" of a module header: the size of its checksummed body; 0 when
// it is missing or no number.
size_t ModuleBodySize(const uint8_t* header) {
    static const char KEY[] = "FILE_SIZE:";
    const uint8_t* end = header + MODULE_HEADER;
    const uint8_t* at = std::search(header, end, KEY, KEY + sizeof(KEY) - 1);
    if (at == end) return 0;
    size_t value = 0;
    int digits = 0;
    for (at += sizeof(KEY) - 1; at < end && *at >= '0' && *at <= '9' && digits < 10; ++at) {
        value = value * 10 + static_cast<size_t>(*at - '0');
        ++digits;
    }
    return at < end && *at == '\n' && digits > 0 ? value : 0;
}

uint16_t BigEndian16(const uint8_t* b) { return static_cast<uint16_t>((b[0] << 8) | b[1]); }

}  // namespace

UpgradeHandlers::UpgradeHandlers(PrinterCore& core, const UpgradeProfile& profile,
                                 const PackageImage* package)
    : core_(core), profile_(profile), package_(package) {
    newRelease_ = profile_.newRelease;
    if (newRelease_.empty() && package_ != nullptr) newRelease_ = package_->Release();
}

void UpgradeHandlers::Install() {
    auto fixed = [this](UpgradeProfile::Step step, int commandId, auto normal) {
        return [this, step, commandId, normal](const uint8_t*, size_t, Bytes& answer) {
            StepAnswer(step, commandId, normal(), answer);
            return requests::UPGRADE_INFO.size();
        };
    };
    const UpgradeProfile& p = profile_;
    core_.AddRequestHandler(requests::UPGRADE_INFO, "UPGINFO",
                            fixed(UpgradeProfile::STEP_UPGRADE_INFO, 112, [p] {
                                return AnswerEncoder::UpgradeInfo(p.mode, p.settings, p.family,
                                                                  p.model, p.customization);
                            }));
    core_.AddRequestHandler(requests::MODULES_LIST, "MODLIST",
                            fixed(UpgradeProfile::STEP_MODULES_LIST, 64,
                                  [p] { return AnswerEncoder::Lines(64, p.moduleCodes); }));
    core_.AddRequestHandler(requests::FLASH_START, "FLASH",
                            [this](const uint8_t* data, size_t length, Bytes& answer) {
                                return OnFlash(data, length, answer);
                            });
    core_.SetUnmatchedHandler(
        "MODULE", [this](const std::string& last, const uint8_t* data, size_t length,
                         Bytes& answer) { return OnModule(last, data, length, answer); });
}

void UpgradeHandlers::StepAnswer(UpgradeProfile::Step step, int commandId, Bytes normal,
                                 Bytes& answer) {
    const UpgradeProfile::StepFault& f = profile_.steps[step];
    switch (f.fault) {
        case UpgradeProfile::Fault::None:
            answer = std::move(normal);
            break;
        case UpgradeProfile::Fault::Silent:
            break;
        case UpgradeProfile::Fault::Error:
            answer = AnswerEncoder::Error(commandId, f.errorCode);
            break;
        case UpgradeProfile::Fault::WrongRecord:
            // A well-formed answer of another kind.
            answer = AnswerEncoder::ProtocolVersion("1.00");
            break;
        case UpgradeProfile::Fault::Garbage:
            answer.assign(normal.size(), GARBAGE);
            break;
        case UpgradeProfile::Fault::Drop:
            core_.RequestClose();
            break;
    }
}

void UpgradeHandlers::ByteAnswer(UpgradeProfile::Step step, uint8_t byte, Bytes& answer) {
    switch (profile_.steps[step].fault) {
        case UpgradeProfile::Fault::Silent:
            return;
        case UpgradeProfile::Fault::Garbage:
            answer.push_back(GARBAGE);
            return;
        case UpgradeProfile::Fault::Drop:
            core_.RequestClose();
            return;
        default:
            answer.push_back(byte);
    }
}

void UpgradeHandlers::WatchBanks(size_t banksArrived) {
    if (progressFaultDone_) return;
    if (profile_.silentAfterBank > 0 && banksArrived >= size_t(profile_.silentAfterBank)) {
        core_.RequestSilence();
        progressFaultDone_ = true;
    }
    if (profile_.dropAfterBank > 0 && banksArrived >= size_t(profile_.dropAfterBank)) {
        core_.RequestClose();
        progressFaultDone_ = true;
    }
}

uint8_t UpgradeHandlers::ProgramAnswer(bool checksumsMatch) {
    if (profile_.programAnswer >= 0) {
        uint8_t forced = static_cast<uint8_t>(profile_.programAnswer);
        if (profile_.programAnswerOnce) profile_.programAnswer = -1;
        return forced;
    }
    return checksumsMatch ? ACCEPTED : CHECKSUM_ERROR;
}

void UpgradeHandlers::Restart() {
    core_.RequestRestart(profile_.restartGraceMs,
                         profile_.restartNeverEnds ? -1 : profile_.restartMs,
                         profile_.keepRelease ? "" : newRelease_);
}

// Start command (first and last bank), the banks, and the program command
// with the checksums, taken as one transfer.
size_t UpgradeHandlers::OnFlash(const uint8_t* data, size_t length, Bytes& answer) {
    if (length < requests::FLASH_START_SIZE) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const int first = data[2];
    const int last = data[3];
    const size_t bankSize = profile_.bankSize;
    if (last < first || bankSize == 0) {
        notes_.push_back("flash start for banks " + std::to_string(first) + " to " +
                         std::to_string(last) + " refused");
        return requests::FLASH_START_SIZE;
    }
    const size_t count = static_cast<size_t>(last - first + 1);
    const size_t banksEnd = requests::FLASH_START_SIZE + count * bankSize;
    WatchBanks(banksSeen_ + std::min(count, (length - requests::FLASH_START_SIZE) / bankSize));
    if (length < banksEnd + requests::FLASH_PROGRAM_SIZE) return 0;
    banksSeen_ += count;

    const uint8_t* program = data + banksEnd;
    if (!std::equal(requests::FLASH_PROGRAM.begin(), requests::FLASH_PROGRAM.end(), program) ||
        program[2] != first || program[3] != last) {
        notes_.push_back("no program command after banks " + std::to_string(first) + " to " +
                         std::to_string(last));
        return banksEnd;  // what follows is read as requests again
    }
    // Mode U1 sums the image as one run; modes U3 and U5 restart the index
    // at every bank.
    const bool perBank = profile_.mode == "U3" || profile_.mode == "U5";
    uint16_t sum = 0;
    uint16_t xorSum = 0;
    for (size_t b = 0; b < count; ++b) {
        const uint8_t* bank = data + requests::FLASH_START_SIZE + b * bankSize;
        received_.AddBank(first + static_cast<int>(b), bank, bankSize);
        Sums(bank, bankSize, perBank ? 0 : b * bankSize, sum, xorSum);
    }
    const bool match = sum == BigEndian16(program + 4) && xorSum == BigEndian16(program + 6);
    if (!match) {
        notes_.push_back("checksums of banks " + std::to_string(first) + " to " +
                         std::to_string(last) + " differ from the program command");
    }
    const size_t used = banksEnd + requests::FLASH_PROGRAM_SIZE;
    // The flash takes the banks when their sums hold and the printer does not refuse them.
    auto writeFlash = [&] {
        for (size_t b = 0; b < count; ++b) {
            received_.Program(first + static_cast<int>(b),
                              data + requests::FLASH_START_SIZE + b * bankSize, bankSize);
        }
    };
    if (profile_.mode == "U3" || (profile_.mode == "U5" && first == 0) ||
        (profile_.mode == "U5" && profile_.banks > 0 && last == profile_.banks - 1)) {
        // No answer: the printer restarts with the new code (U5: also after
        // its last data bank).
        if (match) {
            writeFlash();
            Restart();
        }
        return used;
    }
    const uint8_t byte = ProgramAnswer(match);
    ByteAnswer(UpgradeProfile::STEP_PROGRAM, byte, answer);
    if (match && byte == ACCEPTED) writeFlash();
    if (byte == ACCEPTED && profile_.mode != "U5") Restart();
    return used;
}

// A module file comes right after the printer has told its release (the
// identification exchange before every download), recognised by the byte
// order mark of its header. Bytes that turn out to be no module close that
// window.
size_t UpgradeHandlers::OnModule(const std::string& lastRequest, const uint8_t* data, size_t length,
                                 Bytes& answer) {
    // Module headers open with text; a control byte there is a command the
    // printer does not know, not the start of a module.
    if (lastRequest != "FWREL" || (data[0] != 0 && data[0] < 0x20)) return PrinterCore::NOT_MINE;
    if (length <= MODULE_ORDER_MARK) return 0;
    if (data[MODULE_ORDER_MARK] != 'B' && data[MODULE_ORDER_MARK] != 'L') {
        return PrinterCore::NOT_MINE;
    }
    if (length < MODULE_HEADER) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t body = ModuleBodySize(data);
    const size_t size = body + 12;
    if (body == 0 || size < MODULE_HEADER + 6 || size > MODULE_MAX) {
        notes_.push_back("module header without a usable FILE_SIZE: refused");
        ByteAnswer(UpgradeProfile::STEP_MODULE, MODULE_REJECTED, answer);
        return MODULE_HEADER;  // the rest of the file is read as unknown bytes
    }
    if (length < size) return 0;
    uint16_t sum = 0;
    uint16_t xorSum = 0;
    Sums(data + 6, body, 0, sum, xorSum);
    const bool intact =
        sum == BigEndian16(data + size - 4) && xorSum == BigEndian16(data + size - 2);
    uint8_t verdict = intact ? ACCEPTED : MODULE_REJECTED;
    if (profile_.moduleVerdict >= 0) verdict = static_cast<uint8_t>(profile_.moduleVerdict);
    received_.AddModule(data, size, verdict);
    ByteAnswer(UpgradeProfile::STEP_MODULE, verdict, answer);
    return size;
}

std::vector<std::string> UpgradeHandlers::Report() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines = received_.Report(package_);
    lines.insert(lines.end(), notes_.begin(), notes_.end());
    return lines;
}

HeldState UpgradeHandlers::Held(const std::vector<uint8_t>& bootImage) const {
    std::lock_guard<std::mutex> lock(mutex_);
    HeldState held;
    held.firmwareWritten = received_.FlashWritten() || !bootImage.empty();
    held.firmware = bootImage.empty() ? received_.Flash() : bootImage;
    if (package_ != nullptr) held.modules = received_.AcceptedModules(*package_);
    return held;
}

bool UpgradeHandlers::Save(const std::string& dir, std::string& error) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.Save(dir, error);
}

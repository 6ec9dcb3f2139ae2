#include "sim/core/ToolHandlers.h"

#include <cstdio>

#include "sim/core/AnswerEncoder.h"

namespace {

constexpr uint32_t MASK_SET_DATETIME = 8;
constexpr uint32_t MASK_UPLOAD_SPT = 32;
constexpr size_t REQUEST_PREFIX = 3;  // 1F FF 51
constexpr size_t MAX_NUMBER_DIGITS = 12;

enum class Field { Incomplete, Bad, Ok };

// One "<digits>" field at pos: its digits and the position after it.
Field ReadDigits(const uint8_t* data, size_t length, size_t& pos, std::string& digits) {
    if (pos >= length) return Field::Incomplete;
    if (data[pos] != '<') return Field::Bad;
    digits.clear();
    for (size_t i = pos + 1; i < length; ++i) {
        if (data[i] == '>') {
            if (digits.empty()) return Field::Bad;
            pos = i + 1;
            return Field::Ok;
        }
        if (data[i] < '0' || data[i] > '9' || digits.size() == MAX_NUMBER_DIGITS) {
            return Field::Bad;
        }
        digits.push_back(static_cast<char>(data[i]));
    }
    return Field::Incomplete;
}

// "DDMMYYhhmmss" with every part in its range.
bool ValidDateTime(const std::string& t) {
    if (t.size() != 12) return false;
    auto part = [&t](size_t at) { return std::stoi(t.substr(at, 2)); };
    int day = part(0), month = part(2), hour = part(6), minute = part(8), second = part(10);
    return day >= 1 && day <= 31 && month >= 1 && month <= 12 && hour < 24 && minute < 60 &&
           second < 60;
}

}  // namespace

ToolHandlers::ToolHandlers(const Settings& settings) : settings_(settings) {}

void ToolHandlers::Install(PrinterCore& core, const StepFaults& faults) {
    std::vector<uint8_t> masks = AnswerEncoder::Tools(settings_.mask1, settings_.mask2);
    core.AddRequestHandler(
        ProtocolRequest(0x50), TOOLS_SUPPORTED,
        faults.Guard(TOOLS_SUPPORTED, 80,
                     [masks](const uint8_t*, size_t, std::vector<uint8_t>& answer) {
                         answer = masks;
                         return REQUEST_PREFIX;
                     }));
    core.AddRequestHandler(
        ProtocolRequest(0x51), TOOL_EXEC,
        faults.Guard(TOOL_EXEC, 81,
                     [this](const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
                         return Execute(data, length, answer);
                     }));
    if (settings_.delayMs > 0) core.SetAnswerDelay(TOOL_EXEC, settings_.delayMs);
}

// 1F FF 51 "<num>" "<mask>", then "<DDMMYYhhmmss>" for the date and time, or
// "<length>" and that many bytes for the SPT file. A request that cannot be
// read is refused as far as it could be read.
size_t ToolHandlers::Execute(const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
    size_t pos = REQUEST_PREFIX;
    std::string num, mask, extra;
    Field f = ReadDigits(data, length, pos, num);
    if (f == Field::Ok) f = ReadDigits(data, length, pos, mask);
    if (f == Field::Incomplete) return 0;
    if (f == Field::Bad) {
        answer = AnswerEncoder::Error(81, ERR_BAD_REQUEST);
        return pos;
    }
    unsigned long long toolNum = std::stoull(num), toolMask = std::stoull(mask);
    uint32_t supported = toolNum == 1 ? settings_.mask1 : toolNum == 2 ? settings_.mask2 : 0;
    bool known = toolMask <= UINT32_MAX && (toolMask & supported) != 0;
    bool table1 = toolNum == 1;

    if (table1 && (toolMask == MASK_SET_DATETIME || toolMask == MASK_UPLOAD_SPT)) {
        f = ReadDigits(data, length, pos, extra);
        if (f == Field::Incomplete) return 0;
        bool bad = f == Field::Bad;
        if (!bad && toolMask == MASK_SET_DATETIME) bad = !ValidDateTime(extra);
        unsigned long long size = 0;
        if (!bad && toolMask == MASK_UPLOAD_SPT) {
            size = std::stoull(extra);
            bad = size > MAX_SPT_SIZE;
        }
        if (bad) {
            answer = AnswerEncoder::Error(81, ERR_BAD_REQUEST);
            return pos;
        }
        if (toolMask == MASK_UPLOAD_SPT) {
            if (length - pos < size) return 0;
            if (known) KeepSptFile(data + pos, static_cast<size_t>(size));
            pos += static_cast<size_t>(size);
        } else if (known) {
            std::lock_guard<std::mutex> lock(mutex_);
            dateTime_ = extra;
        }
    }
    if (!known) {
        answer = AnswerEncoder::Error(81, ERR_NOT_SUPPORTED);
        return pos;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runs_.push_back(Run{static_cast<uint32_t>(toolNum), static_cast<uint32_t>(toolMask)});
    }
    answer = AnswerEncoder::ToolLines(LinesFor(table1 ? static_cast<uint32_t>(toolMask) : 0));
    return pos;
}

std::vector<std::string> ToolHandlers::LinesFor(uint32_t mask) const {
    if (!settings_.lines.empty()) return settings_.lines;
    switch (mask) {
        case 1:
            return {"BLACKMARK AUTOSET", "BLACKMARK FOUND"};
        case 2:
            return {"CHARACTERIZATION PAPER", "PAPER OK"};
        case 4:
            return {"PRINT DEVICE SETUP", "SETUP PRINTED"};
        case MASK_SET_DATETIME: {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::string& t = dateTime_;
            return {"SET DATETIME", t.substr(0, 2) + "/" + t.substr(2, 2) + "/" + t.substr(4, 2) +
                                        " " + t.substr(6, 2) + ":" + t.substr(8, 2) + ":" +
                                        t.substr(10, 2)};
        }
        case 16:
            return {"HEAD TEST", "HEAD OK"};
        case MASK_UPLOAD_SPT: {
            std::lock_guard<std::mutex> lock(mutex_);
            return {"UPLOAD SPTFILE", std::to_string(spt_.size()) + " BYTES RECEIVED"};
        }
        case 64:
            return {"FLASH RESET", "FLASH ERASED"};
        default:
            return {"TOOL DONE"};
    }
}

void ToolHandlers::KeepSptFile(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    spt_.assign(data, data + size);
    hasSpt_ = true;
    if (settings_.sptPath.empty()) return;
    FILE* out = fopen(settings_.sptPath.c_str(), "wb");
    if (out == nullptr) {
        fprintf(stderr, "prnsim: cannot write %s\n", settings_.sptPath.c_str());
        return;
    }
    if (size > 0) fwrite(data, 1, size, out);
    fclose(out);
}

std::vector<ToolHandlers::Run> ToolHandlers::Runs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_;
}

std::vector<uint8_t> ToolHandlers::SptFile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return spt_;
}

bool ToolHandlers::HasSptFile() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hasSpt_;
}

std::string ToolHandlers::DateTime() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dateTime_;
}

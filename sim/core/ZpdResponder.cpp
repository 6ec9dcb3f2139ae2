#include "sim/core/ZpdResponder.h"

#include <cctype>
#include <fstream>

namespace {

constexpr size_t MAX_ENTRY_BYTES = 4096;
constexpr size_t MAX_TABLE_LINES = 10000;

bool ParseHex(const std::string& text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::string digits;
    for (char c : text) {
        if (isspace(static_cast<unsigned char>(c))) continue;
        if (!isxdigit(static_cast<unsigned char>(c))) return false;
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0 || digits.size() / 2 > MAX_ENTRY_BYTES) return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return true;
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string HexName(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string name;
    for (uint8_t b : bytes) {
        name.push_back(digits[b >> 4]);
        name.push_back(digits[b & 0x0F]);
    }
    return name;
}

}  // namespace

ZpdResponder::ZpdResponder(const Settings& settings) : settings_(settings) {}

bool ZpdResponder::ParseEntry(const std::string& text, Entry& entry, std::string& error) {
    size_t equals = text.find('=');
    if (equals == std::string::npos) {
        error = "\"" + text + "\" is not REQUEST=ANSWER";
        return false;
    }
    entry = Entry{};
    std::string answer = Trimmed(text.substr(equals + 1));
    if (!ParseHex(text.substr(0, equals), entry.request) || entry.request.empty()) {
        error = "\"" + text + "\": the request must be hexadecimal bytes";
        return false;
    }
    if (answer == "reset") {
        entry.reset = true;
    } else if (!ParseHex(answer, entry.answer)) {
        error = "\"" + text + "\": the answer must be hexadecimal bytes or reset";
        return false;
    }
    return true;
}

bool ZpdResponder::LoadTable(const std::string& path, std::vector<Entry>& table,
                             std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (number > MAX_TABLE_LINES) {
            error = path + ": more than " + std::to_string(MAX_TABLE_LINES) + " lines";
            return false;
        }
        std::string text = Trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        Entry entry;
        if (!ParseEntry(text, entry, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
        table.push_back(entry);
    }
    return true;
}

void ZpdResponder::Install(PrinterCore& core) {
    auto reset = [this](const uint8_t*, size_t, std::vector<uint8_t>&) {
        Reset();
        return size_t{3};
    };
    core.AddRequestHandler({0x1F, 0xFF, 0x07}, "RESET", reset);
    for (const Entry& entry : settings_.table) {
        core.AddRequestHandler(entry.request, entry.reset ? "RESET" : HexName(entry.request),
                               [this, entry](const uint8_t*, size_t, std::vector<uint8_t>& answer) {
                                   if (entry.reset) {
                                       Reset();
                                   } else {
                                       answer = entry.answer;
                                   }
                                   return entry.request.size();
                               });
    }
    core.AddStreamHandler(
        "LOST", [this] { return Restarting(); },
        [this](const uint8_t*, size_t length, std::vector<uint8_t>&) {
            std::lock_guard<std::mutex> lock(mutex_);
            lost_ += length;
            return length;
        });
}

bool ZpdResponder::Restarting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return resets_ > 0 && Clock::now() < restartEnds_;
}

void ZpdResponder::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++resets_;
    restartEnds_ = Clock::now() + std::chrono::milliseconds(settings_.resetMs);
}

int ZpdResponder::Resets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return resets_;
}

size_t ZpdResponder::LostBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

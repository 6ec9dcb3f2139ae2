#include "sim/core/LineFaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace {

bool Number(const std::string& text, unsigned long long max, unsigned long long& out) {
    if (text.empty() || text[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    out = strtoull(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && out <= max;
}

}  // namespace

bool LineFaults::Add(const std::string& word, std::string& error) {
    std::vector<std::string> parts;
    std::stringstream in(word);
    for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
    Fault f{IN, Kind::Drop, 0, 0};
    if (!parts.empty() && (parts[0] == "in" || parts[0] == "out")) {
        f.direction = parts[0] == "in" ? IN : OUT;
        parts.erase(parts.begin());
    }
    error = "--line-fault needs [in:|out:]drop:N, flip:N[:BIT], lose:N:K or stall:N:MS: " + word;
    if (parts.size() < 2 || parts.size() > 3) return false;
    const std::string& kind = parts[0];
    unsigned long long at = 0;
    unsigned long long arg = 0;
    if (!Number(parts[1], 1ULL << 40, at)) return false;
    bool hasArg = parts.size() == 3;
    if (hasArg && !Number(parts[2], 600000, arg)) return false;
    if (kind == "drop" && !hasArg && at > 0) {
        f.kind = Kind::Drop;
    } else if (kind == "flip" && arg <= 7) {
        f.kind = Kind::Flip;
    } else if (kind == "lose" && hasArg && arg > 0) {
        f.kind = Kind::Lose;
    } else if (kind == "stall" && hasArg) {
        f.kind = Kind::Stall;
    } else {
        return false;
    }
    f.at = at;
    f.arg = static_cast<uint32_t>(arg);
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(f);
    error.clear();
    return true;
}

bool LineFaults::Empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_.empty();
}

std::vector<uint8_t> LineFaults::Pass(Direction direction, const uint8_t* data, size_t length,
                                      Effect& effect) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out;
    out.reserve(length);
    uint64_t& count = count_[direction];
    for (size_t i = 0; i < length; ++i) {
        const uint64_t position = count++;
        uint8_t byte = data[i];
        bool lost = false;
        for (const Fault& f : faults_) {
            if (f.direction != direction) continue;
            switch (f.kind) {
                case Kind::Flip:
                    if (position == f.at) byte = static_cast<uint8_t>(byte ^ (1u << f.arg));
                    break;
                case Kind::Lose:
                    if (position >= f.at && position < f.at + f.arg) lost = true;
                    break;
                case Kind::Stall:
                    if (direction == IN && position == f.at) effect.stallMs = int(f.arg);
                    break;
                case Kind::Drop:
                    break;
            }
        }
        if (!lost) out.push_back(byte);
        for (const Fault& f : faults_) {
            if (f.direction == direction && f.kind == Kind::Drop && position + 1 == f.at) {
                effect.drop = true;
                count += length - i - 1;  // what follows is lost with the connection
                return out;
            }
        }
    }
    return out;
}

size_t LineFaults::BytesBeforeStall(Direction direction) const {
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t before = SIZE_MAX;
    for (const Fault& f : faults_) {
        if (f.direction == direction && f.kind == Kind::Stall && !f.taken &&
            f.at >= count_[direction]) {
            before = std::min(before, f.at - count_[direction]);
        }
    }
    return static_cast<size_t>(before);
}

bool LineFaults::TakeStall(Direction direction, int& ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Fault& f : faults_) {
        if (f.direction == direction && f.kind == Kind::Stall && !f.taken &&
            f.at == count_[direction]) {
            f.taken = true;
            ms = static_cast<int>(f.arg);
            return true;
        }
    }
    return false;
}

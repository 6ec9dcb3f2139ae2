#include "sim/core/PrinterCore.h"

#include <algorithm>

#include "sim/core/Requests.h"

namespace {

bool StartsWith(const std::vector<uint8_t>& data, const std::vector<uint8_t>& prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

// True when data is a proper beginning of prefix: more bytes may complete it.
bool MayBecome(const std::vector<uint8_t>& data, const std::vector<uint8_t>& prefix) {
    return data.size() < prefix.size() && std::equal(data.begin(), data.end(), prefix.begin());
}

constexpr uint8_t GARBAGE_BYTE = 0xA5;

}  // namespace

PrinterCore::PrinterCore() { AddBuiltInHandlers(); }

void PrinterCore::AddBuiltInHandlers() {
    // Handlers run with the core locked and use its fields directly.
    auto fixed = [](size_t size, std::function<void(std::vector<uint8_t>&)> answer) {
        return [size, answer](const uint8_t*, size_t, std::vector<uint8_t>& out) {
            answer(out);
            return size;
        };
    };
    AddRequestHandler(requests::CAN, "CAN", fixed(1, [](auto&) {}));
    AddRequestHandler(
        requests::ESCPOS_FOR_SV, "ESCPOS_SV",
        fixed(requests::ESCPOS_FOR_SV.size(), [this](auto&) { escPosForSv_ = true; }));
    AddRequestHandler(requests::GET_GSI, "GSI", fixed(3, [this](std::vector<uint8_t>& out) {
                          out.push_back(extended_ ? 0xFF : gsi_);
                      }));
    AddRequestHandler(requests::GET_GSI_FF, "GSIFF", fixed(3, [this](std::vector<uint8_t>& out) {
                          if (!extended_) return;  // a plain printer does not know it
                          out.push_back(static_cast<uint8_t>(extendedWord_ >> 8));
                          out.push_back(static_cast<uint8_t>(extendedWord_ & 0xFF));
                      }));
    AddRequestHandler(requests::GET_FW_RELEASE, "FWREL",
                      fixed(3, [this](std::vector<uint8_t>& out) {
                          // The release text alone, "1.00": the host compares
                          // what it reads, all of it, with the release it expects.
                          out.insert(out.end(), firmwareRelease_.begin(), firmwareRelease_.end());
                      }));
}

void PrinterCore::AddRequestHandler(const std::vector<uint8_t>& prefix, const std::string& name,
                                    RequestHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : handlers_) {
        if (entry.prefix == prefix) {
            entry.name = name;
            entry.handler = std::move(handler);
            return;
        }
    }
    handlers_.push_back(Entry{prefix, name, std::move(handler)});
}

void PrinterCore::SetUnmatchedHandler(const std::string& name, UnmatchedHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    unmatchedName_ = name;
    unmatched_ = std::move(handler);
}

void PrinterCore::AddStreamHandler(const std::string& name, std::function<bool()> active,
                                   RequestHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    streams_.push_back(Stream{name, std::move(active), std::move(handler)});
}

void PrinterCore::SetAnswerDelay(const std::string& name, int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : answerDelays_) {
        if (entry.first == name) {
            entry.second = ms;
            return;
        }
    }
    answerDelays_.emplace_back(name, ms);
}

bool PrinterCore::HasLateAnswers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !delayed_.empty() || (!output_.empty() && Clock::now() < outStallUntil_);
}

bool PrinterCore::DispatchStream(bool& taken) {
    taken = false;
    for (const Stream& stream : streams_) {
        if (!stream.active()) continue;
        taken = true;
        std::vector<uint8_t> answer;
        size_t used = stream.handler(pending_.data(), pending_.size(), answer);
        if (used == 0) return false;
        used = std::min(used, pending_.size());
        requests_.push_back(stream.name);
        lastRequest_ = stream.name;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
        if (!answer.empty()) QueueAnswer(std::move(answer));
        return true;
    }
    return true;
}

void PrinterCore::Receive(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (data == nullptr || length == 0) return;
    UpdateRestartLocked(Clock::now());
    if (away_) return;  // a restarting printer hears nothing
    std::vector<uint8_t> passed;
    if (lineFaults_) {
        LineFaults::Effect effect;
        passed = lineFaults_->Pass(LineFaults::IN, data, length, effect);
        if (effect.stallMs > 0)
            stallUntil_ = Clock::now() + std::chrono::milliseconds(effect.stallMs);
        if (effect.drop) closeRequested_ = true;
        data = passed.data();
        length = passed.size();
        if (length == 0) return;
    }
    received_.insert(received_.end(), data, data + length);
    pending_.insert(pending_.end(), data, data + length);
    if (faults_.closeAfterBytes > 0) {
        bytesSinceFaults_ += length;
        if (bytesSinceFaults_ >= faults_.closeAfterBytes) {
            closeRequested_ = true;
            faults_.closeAfterBytes = 0;
        }
    }
    Dispatch();
}

void PrinterCore::Dispatch() {
    while (!pending_.empty()) {
        bool streamed = false;
        if (!DispatchStream(streamed)) return;
        if (streamed) continue;
        const Entry* match = nullptr;
        for (const Entry& entry : handlers_) {
            if (MayBecome(pending_, entry.prefix)) return;  // wait for the rest
            if (StartsWith(pending_, entry.prefix) &&
                (match == nullptr || entry.prefix.size() > match->prefix.size())) {
                match = &entry;
            }
        }
        if (match == nullptr && unmatched_) {
            std::vector<uint8_t> answer;
            size_t used = unmatched_(lastRequest_, pending_.data(), pending_.size(), answer);
            if (used == 0) return;  // the data is not complete yet
            if (used != NOT_MINE) {
                used = std::min(used, pending_.size());
                requests_.push_back(unmatchedName_);
                lastRequest_ = unmatchedName_;
                pending_.erase(pending_.begin(),
                               pending_.begin() + static_cast<std::ptrdiff_t>(used));
                if (!answer.empty()) QueueAnswer(std::move(answer));
                continue;
            }
        }
        if (match == nullptr) {
            if (requests_.empty() || requests_.back() != UNKNOWN) requests_.push_back(UNKNOWN);
            lastRequest_ = UNKNOWN;
            pending_.erase(pending_.begin());
            continue;
        }
        std::vector<uint8_t> answer;
        size_t used = match->handler(pending_.data(), pending_.size(), answer);
        if (used == 0) return;  // the request is not complete yet
        used = std::min(std::max(used, match->prefix.size()), pending_.size());
        requests_.push_back(match->name);
        lastRequest_ = match->name;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
        if (answer.empty()) continue;
        int extraDelayMs = 0;
        for (const auto& entry : answerDelays_) {
            if (entry.first == match->name) extraDelayMs = entry.second;
        }
        QueueAnswer(std::move(answer), extraDelayMs);
    }
}

void PrinterCore::QueueAnswer(std::vector<uint8_t> answer, int extraDelayMs) {
    if (faults_.silent || hung_) return;
    if (faults_.garbage) std::fill(answer.begin(), answer.end(), GARBAGE_BYTE);
    int delayMs = faults_.delayMs + extraDelayMs;
    Clock::time_point readyAt = Clock::now() + std::chrono::milliseconds(delayMs);
    if (stallUntil_ > readyAt) readyAt = stallUntil_;
    if (readyAt > Clock::now() || !delayed_.empty()) {
        delayed_.push_back(Chunk{readyAt, std::move(answer)});
        return;
    }
    output_.insert(output_.end(), answer.begin(), answer.end());
}

bool PrinterCore::ReadyLocked(Clock::time_point now) const {
    if (now < outStallUntil_) return false;
    return !output_.empty() || (!delayed_.empty() && delayed_.front().readyAt <= now);
}

size_t PrinterCore::TakeOutput(uint8_t* out, size_t max) {
    std::lock_guard<std::mutex> lock(mutex_);
    Clock::time_point now = Clock::now();
    UpdateRestartLocked(now);
    while (!delayed_.empty() && delayed_.front().readyAt <= now) {
        output_.insert(output_.end(), delayed_.front().bytes.begin(), delayed_.front().bytes.end());
        delayed_.pop_front();
    }
    if (lineFaults_) {
        // A stall on the way out holds everything from its byte on.
        int stallMs = 0;
        if (now < outStallUntil_) return 0;
        if (lineFaults_->TakeStall(LineFaults::OUT, stallMs)) {
            outStallUntil_ = now + std::chrono::milliseconds(stallMs);
            return 0;
        }
        max = std::min(max, lineFaults_->BytesBeforeStall(LineFaults::OUT));
    }
    size_t count = std::min(max, output_.size());
    std::copy_n(output_.begin(), count, out);
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(count));
    return lineFaults_ && count > 0 ? PassOutLocked(out, count) : count;
}

size_t PrinterCore::PassOutLocked(uint8_t* out, size_t count) {
    LineFaults::Effect effect;
    std::vector<uint8_t> passed = lineFaults_->Pass(LineFaults::OUT, out, count, effect);
    if (effect.drop) {
        closeSignal_ = true;
        output_.clear();
        delayed_.clear();
    }
    std::copy(passed.begin(), passed.end(), out);
    return passed.size();
}

bool PrinterCore::HasOutput() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ReadyLocked(Clock::now());
}

void PrinterCore::Answer(std::vector<uint8_t> answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answer.empty()) QueueAnswer(std::move(answer));
}

void PrinterCore::DiscardOutput() {
    std::lock_guard<std::mutex> lock(mutex_);
    output_.clear();
    delayed_.clear();
}

std::vector<uint8_t> PrinterCore::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<std::string> PrinterCore::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

size_t PrinterCore::CountRequests(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count(requests_.begin(), requests_.end(), name));
}

void PrinterCore::SetIdentification(uint8_t gsi) {
    std::lock_guard<std::mutex> lock(mutex_);
    gsi_ = gsi;
    extended_ = false;
}

void PrinterCore::SetExtendedIdentification(uint16_t word) {
    std::lock_guard<std::mutex> lock(mutex_);
    extended_ = true;
    extendedWord_ = word;
}

void PrinterCore::SetFirmwareRelease(const std::string& release) {
    std::lock_guard<std::mutex> lock(mutex_);
    firmwareRelease_ = release;
}

bool PrinterCore::InEscPosForSv() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return escPosForSv_;
}

void PrinterCore::SetFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
    bytesSinceFaults_ = 0;
    closeRequested_ = false;
}

void PrinterCore::SetLineFaults(std::shared_ptr<LineFaults> faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    lineFaults_ = faults && !faults->Empty() ? std::move(faults) : nullptr;
}

std::shared_ptr<LineFaults> PrinterCore::GetLineFaults() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lineFaults_;
}

bool PrinterCore::TakeCloseRequest() {
    std::lock_guard<std::mutex> lock(mutex_);
    bool requested = closeRequested_ || closeSignal_.exchange(false);
    closeRequested_ = false;
    return requested;
}

void PrinterCore::RequestRestart(int graceMs, int awayMs, const std::string& release) {
    std::lock_guard<std::mutex> lock(signalMutex_);
    Clock::time_point now = Clock::now();
    requested_.beginAt = now + std::chrono::milliseconds(std::max(graceMs, 0));
    requested_.backAt = requested_.beginAt + std::chrono::milliseconds(std::max(awayMs, 0));
    requested_.forever = awayMs < 0;
    requested_.release = release;
    restartRequested_ = true;
}

void PrinterCore::RequestClose() { closeSignal_ = true; }

void PrinterCore::RequestSilence() { hung_ = true; }

void PrinterCore::UpdateRestartLocked(Clock::time_point now) {
    {
        std::lock_guard<std::mutex> lock(signalMutex_);
        if (restartRequested_) {
            restart_ = requested_;
            restartDue_ = true;
            restartRequested_ = false;
        }
    }
    if (restartDue_ && !away_ && now >= restart_.beginAt) {
        away_ = true;
        beginSignal_ = true;
        output_.clear();
        delayed_.clear();
        pending_.clear();
    }
    if (away_ && !restart_.forever && now >= restart_.backAt) {
        away_ = false;
        restartDue_ = false;
        escPosForSv_ = false;
        if (!restart_.release.empty()) firmwareRelease_ = restart_.release;
    }
}

bool PrinterCore::TakeRestartBegin() {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdateRestartLocked(Clock::now());
    bool began = beginSignal_;
    beginSignal_ = false;
    return began;
}

bool PrinterCore::RestartPending() {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdateRestartLocked(Clock::now());
    std::lock_guard<std::mutex> signal(signalMutex_);
    return restartDue_ || restartRequested_;
}

bool PrinterCore::Restarting() {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdateRestartLocked(Clock::now());
    return away_;
}

std::string PrinterCore::FirmwareRelease() {
    std::lock_guard<std::mutex> lock(mutex_);
    UpdateRestartLocked(Clock::now());
    return firmwareRelease_;
}

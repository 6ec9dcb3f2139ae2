#include "sim/core/TamperModule.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t END_SIZE = 6;

bool Has(const std::vector<int>& steps, int step) {
    return std::find(steps.begin(), steps.end(), step) != steps.end();
}

}  // namespace

TamperModule::TamperModule(const Settings& settings) : settings_(settings) {}

void TamperModule::Install(PrinterCore& core) {
    core.AddRequestHandler(
        {0x1C, 0xFD, 0x00, 0x00, 0x80, 0x00}, "TAMPER_START",
        [this](const uint8_t*, size_t, std::vector<uint8_t>& answer) { return Start(answer); });
    // Once started, every byte belongs to the download until its end request:
    // the image may hold anything, requests included.
    core.AddStreamHandler(
        "TAMPER_DATA", [this] { return Receiving(); },
        [this](const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
            return Take(data, length, answer);
        });
}

void TamperModule::Sums(const uint8_t* data, size_t size, uint16_t& sum, uint16_t& xorSum) {
    uint32_t s = 0, x = 0;
    for (size_t i = 0; i < size; ++i) {
        s += data[i];
        x += static_cast<uint32_t>(data[i] ^ i);
    }
    sum = static_cast<uint16_t>(s);
    xorSum = static_cast<uint16_t>(x);
}

void TamperModule::Answer(int step, bool good, std::vector<uint8_t>& answer) const {
    if (Has(settings_.silentSteps, step)) return;
    answer.push_back(good && !Has(settings_.nackSteps, step) ? ACK : NACK);
}

size_t TamperModule::Start(std::vector<uint8_t>& answer) {
    bank_ = 0;
    incoming_.clear();
    incoming_.reserve(IMAGE_SIZE);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++starts_;
    }
    Answer(START, true, answer);
    return 6;
}

size_t TamperModule::Take(const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
    if (bank_ == BANKS) return End(data, length, answer);
    if (length < BANK_SIZE) return 0;
    incoming_.insert(incoming_.end(), data, data + BANK_SIZE);
    ++bank_;
    Answer(bank_, true, answer);
    return BANK_SIZE;
}

size_t TamperModule::End(const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
    if (length < END_SIZE) return 0;
    bank_ = -1;
    uint16_t sum = 0, xorSum = 0;
    Sums(incoming_.data(), incoming_.size(), sum, xorSum);
    bool good = data[0] == 0x1C && data[1] == 0xFF && data[2] == (sum >> 8) &&
                data[3] == (sum & 0xFF) && data[4] == (xorSum >> 8) && data[5] == (xorSum & 0xFF);
    if (good) {
        KeepImage();
    } else {
        std::lock_guard<std::mutex> lock(mutex_);
        ++sumErrors_;
    }
    Answer(END, good, answer);
    return END_SIZE;
}

void TamperModule::KeepImage() {
    std::lock_guard<std::mutex> lock(mutex_);
    image_ = incoming_;
    if (settings_.imagePath.empty()) return;
    FILE* out = fopen(settings_.imagePath.c_str(), "wb");
    if (out == nullptr) {
        fprintf(stderr, "prnsim: cannot write %s\n", settings_.imagePath.c_str());
        return;
    }
    fwrite(image_.data(), 1, image_.size(), out);
    fclose(out);
}

std::vector<uint8_t> TamperModule::Image() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return image_;
}

int TamperModule::Starts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_;
}

int TamperModule::SumErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sumErrors_;
}

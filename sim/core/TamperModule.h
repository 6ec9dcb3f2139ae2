#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/core/PrinterCore.h"

// The printer's anti-tamper module and its download: the start request
// 1C FD 00 00 80 00, then 128 banks of 256 bytes, each acknowledged with one
// byte, then the end request 1C FF with the image's two 16-bit sums (the sum
// of the bytes and the sum of byte XOR index, both big-endian). The module
// acknowledges the end when both sums match the bytes it received, and then
// keeps the image.
class TamperModule {
  public:
    static constexpr size_t BANK_SIZE = 256;
    static constexpr int BANKS = 128;
    static constexpr size_t IMAGE_SIZE = BANK_SIZE * BANKS;
    static constexpr uint8_t ACK = 0x06;
    static constexpr uint8_t NACK = 0x15;

    // Steps of the download: START, banks 1 to BANKS, END.
    static constexpr int START = 0;
    static constexpr int END = BANKS + 1;

    struct Settings {
        bool enabled = false;          // the printer has the module (prnsim installs it then)
        std::vector<int> silentSteps;  // steps left unanswered
        std::vector<int> nackSteps;    // steps answered with NACK
        std::string imagePath;         // where an accepted image is written
    };

    explicit TamperModule(const Settings& settings);

    void Install(PrinterCore& core);

    // The last image whose end request was acknowledged (empty before).
    std::vector<uint8_t> Image() const;
    // Downloads begun, and end requests refused for wrong sums.
    int Starts() const;
    int SumErrors() const;

    static void Sums(const uint8_t* data, size_t size, uint16_t& sum, uint16_t& xorSum);

  private:
    bool Receiving() const { return bank_ >= 0; }
    size_t Start(std::vector<uint8_t>& answer);
    size_t Take(const uint8_t* data, size_t length, std::vector<uint8_t>& answer);
    size_t End(const uint8_t* data, size_t length, std::vector<uint8_t>& answer);
    // The answer byte of a step, none for a silent one.
    void Answer(int step, bool good, std::vector<uint8_t>& answer) const;
    void KeepImage();

    Settings settings_;
    int bank_ = -1;  // banks received in the download under way; -1 when idle
    std::vector<uint8_t> incoming_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> image_;
    int starts_ = 0;
    int sumErrors_ = 0;
};

// The microcontroller's boot program as the simulated printer answers it:
// the connection sequence of the older and the newer boot program, and the
// checks on programming packets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/core/BootProgram.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Exchange(BootProgram& boot, const Bytes& request) {
    boot.Core().Receive(request.data(), request.size());
    Bytes out(4096);
    out.resize(boot.Core().TakeOutput(out.data(), out.size()));
    return out;
}

// A programming packet: 50, big-endian address, data, and the byte that makes
// the packet's 8-bit sum zero.
Bytes ProgrammingPacket(uint32_t address, const Bytes& data) {
    Bytes p{0x50};
    for (int shift = 24; shift >= 0; shift -= 8) p.push_back(uint8_t(address >> shift));
    for (uint8_t b : data) p.push_back(b);
    uint8_t sum = 0;
    for (uint8_t b : p) sum = uint8_t(sum + b);
    p.push_back(uint8_t(0x100 - sum));
    return p;
}

Bytes Bank(int n, size_t size) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = uint8_t(n * 31 + i * 7);
    return data;
}

struct Step {
    Bytes request;
    Bytes answer;
};

void RunSteps(BootProgram& boot, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(Exchange(boot, steps[i].request), steps[i].answer) << "step " << i;
    }
}

const Bytes SIZE_128 = {0x37, 0x02, 0x00, 0x80, 0x47};
const Bytes USER_AREA_FFF00000 = {0x35, 0x09, 0x01, 0xFF, 0xF0, 0x00,
                                  0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xD6};
const Bytes DEVICE = {0x10, 0x04, 0x37, 0x36, 0x30, 0x38, 0x17};
const Bytes CLOCK = {0x11, 0x01, 0x00, 0xEE};
const Bytes BIT_RATE = {0x3F, 0x07, 0x00, 0x00, 0x04, 0xB0, 0x02, 0x08, 0x04, 0xF8};

TEST(BootProgramTest, OlderBootProgramAnswersTheConnectionSequence) {
    BootProgram boot(BootSettings{});
    RunSteps(boot,
             {
                 {{0x27}, {}},  // nothing is heard before the bit-rate adjustment
                 {{0x55}, {0xE6}},   {{0x32}, {'1', '.', '0', '0'}},
                 {{0x33}, {0x06}},   {{0x34}, {0xB4, 0x51}},  // the older one knows no second save
                 {{0x27}, SIZE_128}, {DEVICE, {0x06}},
                 {CLOCK, {0x06}},    {{0x25}, USER_AREA_FFF00000},
                 {BIT_RATE, {0x06}}, {{0x06}, {0x06}},
                 {{0x40}, {0x06}},   {{0x4F}, {0x5F, 0x02, 0x3F, 0x00, 0x60}},
                 {{0x4D}, {0x06}},   {{0x62}, {0x06}},
                 {{0x43}, {0x06}},   {{0x4F}, {0x5F, 0x02, 0x3F, 0x00, 0x60}},
                 {{0x7A}, {0x06}},   {{0x31}, {0x06}},
             });
}

TEST(BootProgramTest, NewerBootProgramNaksTheSaveAndMarksItsAnswersWithR) {
    BootSettings settings;
    settings.newer = true;
    BootProgram boot(settings);
    RunSteps(boot, {
                       {{0x55}, {0xE6}},
                       {{0x33}, {0x15}},
                       {{0x34}, {0x06}},
                       {{0x40}, {0x06}},
                       {{0x4F}, {0x5F, 0x02, 0x3F, 0x00, 0x60}},  // before the blank checks
                       {{0x4D}, {0x06}},
                       {{0x62}, {0x06, 0x52}},
                       {{0x4F}, {0x5F, 0x02, 0x3F, 0x52, 0x0E}},
                       {{0x31}, {0x52}},
                   });
}

class BootProgrammingTest : public ::testing::Test {
  protected:
    static constexpr size_t UNIT = 16;
    static constexpr uint32_t FIRST = 0xFFFFFFC0;  // four banks up to FFFFFFFF

    void Start(BootSettings settings) {
        settings.programmingSize = UNIT;
        settings.userAreaStart = 0xFFFFFF00;
        boot = std::make_unique<BootProgram>(
            settings, [this](const BootProgram::Image&) { ++programmedCalls; });
        ASSERT_EQ(Exchange(*boot, {0x55}), Bytes{0xE6});
        ASSERT_EQ(Exchange(*boot, {0x40, 0x43}), (Bytes{0x06, 0x06}));
    }
    Bytes Send(int bank) {
        return Exchange(*boot, ProgrammingPacket(Address(bank), Bank(bank, UNIT)));
    }
    static uint32_t Address(int bank) { return FIRST + uint32_t(bank - 1) * UNIT; }
    Bytes Terminate() { return Exchange(*boot, {0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}); }
    Bytes Expected(std::vector<int> banks) {
        Bytes all;
        for (int n : banks) {
            Bytes b = Bank(n, UNIT);
            all.insert(all.end(), b.begin(), b.end());
        }
        return all;
    }

    std::unique_ptr<BootProgram> boot;
    int programmedCalls = 0;
};

TEST_F(BootProgrammingTest, WholeImageIsKeptByteForByte) {
    Start({});
    // One packet fed byte by byte: USB may cut it anywhere.
    Bytes first = ProgrammingPacket(Address(1), Bank(1, UNIT));
    for (size_t i = 0; i + 1 < first.size(); ++i) EXPECT_EQ(Exchange(*boot, {first[i]}), Bytes{});
    EXPECT_EQ(Exchange(*boot, {first.back()}), Bytes{0x06});
    for (int n = 2; n <= 4; ++n) EXPECT_EQ(Send(n), Bytes{0x06}) << n;
    EXPECT_EQ(programmedCalls, 0);
    EXPECT_EQ(Terminate(), Bytes{0x06});
    EXPECT_EQ(Exchange(*boot, {0x7A}), Bytes{0x06});
    BootProgram::Image image = boot->Programmed();
    EXPECT_EQ(image.start, FIRST);
    EXPECT_EQ(image.bytes, Expected({1, 2, 3, 4}));
    EXPECT_TRUE(image.terminated && image.complete && image.locked);
    EXPECT_EQ(programmedCalls, 1);
}

TEST_F(BootProgrammingTest, BadPacketsAreRefusedAndNotKept) {
    Start({});
    Bytes badSum = ProgrammingPacket(Address(1), Bank(1, UNIT));
    badSum[7] ^= 0x40;
    EXPECT_EQ(Exchange(*boot, badSum), (Bytes{0xD0, 0x11}));
    EXPECT_EQ(Exchange(*boot, ProgrammingPacket(0xFFFFFE00, Bank(1, UNIT))), (Bytes{0xD0, 0x2A}))
        << "below the user area";
    EXPECT_EQ(Exchange(*boot, ProgrammingPacket(FIRST + 8, Bank(1, UNIT))), (Bytes{0xD0, 0x2A}))
        << "not on a unit boundary";
    EXPECT_EQ(Send(1), Bytes{0x06});
    EXPECT_EQ(Send(3), (Bytes{0xD0, 0x2A})) << "a bank left out";
    EXPECT_EQ(Send(1), (Bytes{0xD0, 0x2A})) << "an accepted bank again";
    EXPECT_EQ(Send(2), Bytes{0x06});
    EXPECT_EQ(Terminate(), Bytes{0x06});
    BootProgram::Image image = boot->Programmed();
    EXPECT_EQ(image.bytes, Expected({1, 2}));
    EXPECT_TRUE(image.terminated);
    EXPECT_FALSE(image.complete);  // it does not reach FFFFFFFF
    EXPECT_EQ(programmedCalls, 0);

    // Programming before the user area is selected is refused.
    BootProgram unselected(BootSettings{});
    Exchange(unselected, {0x55, 0x40});
    EXPECT_EQ(Exchange(unselected, ProgrammingPacket(0xFFFFFF80, Bank(1, 128))),
              (Bytes{0xD0, 0x2A}));
}

}  // namespace

// The boot-mode engines against a scripted boot device: every request byte
// for byte, the answers they require, the pauses, and the bank retries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/upgrade/EngineTestSupport.h"
#include "upgrade/UpgradePrinter_ModeU2.h"
#include "upgrade/UpgradePrinter_ModeU4.h"

namespace {

using enginetest::Bytes;
using enginetest::EngineLink;
using enginetest::FakeClock;
using Packet = std::vector<unsigned char>;

// A scripted link that opens whatever device it is told to.
class BootLink : public EngineLink {
  public:
    explicit BootLink(FakeClock& clock) : EngineLink(clock, COMMPORT_USB) {}
    bool InitWithVid(char* vid, char* pid, char* serial) override {
        opened.push_back(std::string(vid) + "|" + pid + "|" + serial);
        return true;
    }
    bool Open() override { return true; }
    std::vector<std::string> opened;
};

std::vector<Packet> Writes(const BootLink& link) {
    std::vector<Packet> out;
    for (const auto& w : link.writes) out.push_back(w.bytes);
    return out;
}

const std::string ACK = "\x06";

// Three banks of four bytes end at FFFFFFFF; each packet's last byte brings
// the 8-bit sum of the packet to 0.
const Packet kImage = Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
const Packet kBank1 = Bytes({0x50, 0xFF, 0xFF, 0xFF, 0xF4, 1, 2, 3, 4, 0xB5});
const Packet kBank2 = Bytes({0x50, 0xFF, 0xFF, 0xFF, 0xF8, 5, 6, 7, 8, 0xA1});
const Packet kBank3 = Bytes({0x50, 0xFF, 0xFF, 0xFF, 0xFC, 9, 10, 11, 12, 0x8D});
const Packet kStatus = Bytes({0x4F});
const Packet kSelect = Bytes({0x43});
const Packet kTerminate = Bytes({0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4});
const Packet kLockBit = Bytes({0x7A});

}  // namespace

TEST(BootModeEngine, BanksRetriesAndTheEndOfProgramming) {
    const std::string ready("\x5F\x02\x3F\x00\x60", 5);
    const std::string refused("\xD0\x53", 2);
    struct Case {
        const char* what;
        std::vector<std::string> bankAnswers;
        bool result;
        std::vector<Packet> banksWritten;
    } cases[] = {
        {"all accepted", {ACK, ACK, ACK}, true, {kBank1, kBank2, kBank3}},
        {"one resend", {ACK, refused, ACK, ACK}, true, {kBank1, kBank2, kBank2, kBank3}},
        {"refused twice", {ACK, refused, refused}, false, {kBank1, kBank2, kBank2}},
        {"no answer", {ACK, ""}, false, {kBank1, kBank2}},
    };
    for (const Case& c : cases) {
        FakeClock clock;
        BootLink link(clock);
        link.reads = {ready, ACK};
        link.reads.insert(link.reads.end(), c.bankAnswers.begin(), c.bankAnswers.end());
        link.reads.insert(link.reads.end(), {ACK, ACK});
        UpgradePrinter_ModeU4 engine(255, 1);
        engine.SetClock(clock);
        bool result = engine.StartUpgradeUsb(link, "045B|0025|", kImage.data(),
                                             static_cast<uint32_t>(kImage.size()), 4);
        EXPECT_EQ(result, c.result) << c.what;
        std::vector<Packet> expected{kStatus, kSelect};
        expected.insert(expected.end(), c.banksWritten.begin(), c.banksWritten.end());
        if (c.result) expected.insert(expected.end(), {kTerminate, kLockBit});
        EXPECT_EQ(Writes(link), expected) << c.what;
        // The receive side is emptied before every write.
        ASSERT_EQ(link.cleanRxAt.size(), expected.size()) << c.what;
        for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(link.cleanRxAt[i], i) << c.what;
        EXPECT_EQ(link.opened, std::vector<std::string>{"045B|0025|"}) << c.what;
        EXPECT_GE(link.closes, 1) << c.what;
        // Short pauses after the selection, terminate and lock bit, then 2.5 s.
        EXPECT_EQ(clock.Count(100), c.result ? 3 : 1) << c.what;
        EXPECT_EQ(clock.Count(2500), c.result ? 1 : 0) << c.what;
    }
}

TEST(BootModeEngine, ConnectionSequenceOfTheNewerBootProgram) {
    FakeClock clock;
    BootLink link(clock);
    link.reads = {"\xE6",
                  "1.10",
                  "\x15",
                  ACK,
                  std::string("\x37\x02\x01\x00\xC6", 5),
                  ACK,
                  ACK,
                  std::string("\x35\x09\x01\xFF\xF0\x00\x00\xFF\xFF\xFF\xFF\x00", 12),
                  ACK,
                  ACK,
                  ACK,
                  std::string("\x5F\x02\x3F\x00\x00", 5),
                  ACK,
                  "\x06R"};
    UpgradePrinter_ModeU2 engine(255, 1);
    engine.SetClock(clock);
    UpgradePrinter_ModeU4::BTPRGERROR error = 0;
    int size = 0;
    ASSERT_TRUE(engine.InitConnectRenesasDevice(link, "045B|0025|", error, size));
    EXPECT_EQ(size, 256);
    EXPECT_TRUE(engine.bNewBootloader);
    EXPECT_EQ(link.writes.size(), 14u);  // their bytes are checked by the boot device end to end
    EXPECT_EQ(link.writeTimeouts.back(), 5000);
    // A short pause after each step of the table, none in the security exchange.
    EXPECT_EQ(clock.Count(100), 11);
    EXPECT_EQ(clock.sleeps.size(), 11u);
}

// The firmware transfers of modes U1, U3 and U5 against a scripted printer
// and a clock that only counts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/CommPortSettings.h"
#include "files/PSWFile.h"
#include "protocol/UpgradeDataInfo.h"
#include "tests/files/FilesTestHelpers.h"
#include "tests/upgrade/EngineTestSupport.h"
#include "upgrade/UpgradePrinter.h"

using enginetest::Bytes;
using enginetest::EngineLink;
using enginetest::FakeClock;
using filestest::LogCapture;

namespace {

using ByteVector = std::vector<unsigned char>;

class EngineRun : public ::testing::Test {
  protected:
    // A package of banks x bankSize bytes of image (imageSize when given).
    void Package(int generation, int banks, int bankSize, int imageSize = -1) {
        layout.generation = generation;
        layout.numBanks = static_cast<uint8_t>(banks);
        layout.bankSize = static_cast<uint32_t>(bankSize);
        layout.firmware = mkfile::Pattern(imageSize < 0 ? banks * bankSize : imageSize, 9);
        psw = std::make_unique<PSWFile>();
        ASSERT_TRUE(enginetest::LoadPackage(layout, *psw));
    }

    // A logo module in the package, to be sent after the firmware.
    void AddModuleAfterTheFirmware() {
        mkfile::ModuleLayout logos;
        logos.typeLetter = "L";
        logos.payload = mkfile::Pattern(200, 4);
        layout.modules.push_back({'l', mkfile::BuildModule(logos), 0, 0});
    }

    bool Run(int mode, int portType = COMMPORT_SERIAL, int mask = 255, int timem = 1) {
        link.iPortType = portType;
        engine = UpgradePrinter::GetUpgradeClass(mode, mask, timem);
        engine->SetClock(clock);
        return psw->iPswType != 0 ? engine->StartUpgrade_PSW2(info, link, *psw, settings, nullptr,
                                                              nullptr, psw->components)
                                  : engine->StartUpgrade_PSW1(info, link, *psw, settings, nullptr,
                                                              nullptr, psw->components);
    }

    // Indexes of the writes equal to bytes.
    std::vector<size_t> WritesOf(const ByteVector& bytes) const {
        std::vector<size_t> at;
        for (size_t i = 0; i < link.writes.size(); ++i) {
            if (link.writes[i].bytes == bytes) at.push_back(i);
        }
        return at;
    }

    // The commands written (everything but the banks), in order.
    std::vector<ByteVector> Commands(size_t bankSize) const {
        std::vector<ByteVector> out;
        for (const auto& w : link.writes) {
            if (w.bytes.size() != bankSize) out.push_back(w.bytes);
        }
        return out;
    }

    // Sums of banks of the image, the index starting again in each bank.
    ByteVector BankSums(int first, int count, int bankSize) const {
        unsigned s1 = 0;
        unsigned s2 = 0;
        for (int b = first; b < first + count; ++b) {
            mkfile::ChecksumPair p = mkfile::Checksum(layout.firmware.data() + b * bankSize,
                                                      static_cast<size_t>(bankSize));
            s1 += p.sum1;
            s2 += p.sum2;
        }
        return Bytes({int(s1 >> 8 & 0xFF), int(s1 & 0xFF), int(s2 >> 8 & 0xFF), int(s2 & 0xFF)});
    }

    static ByteVector Cat(ByteVector a, const ByteVector& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    mkfile::PackageLayout layout;
    std::unique_ptr<PSWFile> psw;
    FakeClock clock;
    EngineLink link{clock};
    UpgradeDataInfo info;
    CommPortSettings settings;
    std::unique_ptr<UpgradePrinter> engine;
};

const ByteVector kReleaseRequest = Bytes({0x1D, 0x49, 0x03});

}  // namespace

TEST_F(EngineRun, U1WritesTheBanksBetweenStartAndProgram) {
    Package(1, 3, 1024);
    link.reads = {"0.99", "\xAA"};
    ASSERT_TRUE(Run(1));
    std::vector<ByteVector> commands = Commands(1024);
    mkfile::ChecksumPair sums = mkfile::Checksum(layout.firmware.data(), 3072);
    ByteVector program = Bytes({0x1C, 0xFF, 0x00, 0x02, sums.sum1 >> 8, sums.sum1 & 0xFF,
                                sums.sum2 >> 8, sums.sum2 & 0xFF});
    EXPECT_EQ(commands, (std::vector<ByteVector>{Bytes({0x18}), kReleaseRequest,
                                                 Bytes({0x1C, 0xFD, 0x00, 0x02}), program}));
    std::vector<size_t> start = WritesOf(Bytes({0x1C, 0xFD, 0x00, 0x02}));
    ASSERT_EQ(start.size(), 1u);
    for (size_t b = 0; b < 3; ++b) {
        const auto& w = link.writes[start[0] + 1 + b];
        EXPECT_EQ(w.bytes, ByteVector(layout.firmware.begin() + 1024 * b,
                                      layout.firmware.begin() + 1024 * (b + 1)));
        EXPECT_EQ(w.packetSizeSeen, 48u);
        EXPECT_EQ(link.writeTimeouts[start[0] + 1 + b], 2500);
    }
    EXPECT_EQ(link.uiPacketSize, 1000u);
    EXPECT_EQ(link.iTimeoutTX, 1000);
    // Reopened after the answer, 2 s; then 3 s before the end.
    EXPECT_EQ(clock.sleeps, (std::vector<uint64_t>{2000, 3000}));
}

TEST_F(EngineRun, U1ProgrammingAnswersStopOrRetry) {
    struct Case {
        std::string answer;
        bool ok;
        int attempts;
        const char* log;
    } cases[] = {
        {"\x21", false, 1, "Answer: ERROR_DEFAULT_CASE"},
        {"\x77", false, 4, "Please send your printer to Varnel Technical Service."},
        {"\xAA\xAA", false, 4, "Some serious problem occurred during the upgrade process."},
    };
    for (const Case& c : cases) {
        Package(2, 2, 512);
        link.writes.clear();
        link.reads = {"0.99"};
        link.fallback = c.answer;
        LogCapture log;
        EXPECT_EQ(Run(1, COMMPORT_SERIAL, 1), c.ok) << c.log;
        EXPECT_EQ(WritesOf(Bytes({0x1C, 0xFD, 0x00, 0x01})).size(), size_t(c.attempts)) << c.log;
        EXPECT_TRUE(log.Has(c.log)) << log.Text();
        if (c.attempts == 4) {
            EXPECT_TRUE(log.Has("Error on sending banks. This is the 4/3 try."));
            EXPECT_FALSE(log.Has("This is the 5/3 try."));
        } else {
            EXPECT_FALSE(log.Has("Error on sending banks."));
        }
    }
}

TEST_F(EngineRun, U1OutcomeByLinkKind) {
    struct Case {
        int portType;
        const char* config;
        std::vector<std::string> reads;
        bool ok;
        const char* log;
        size_t attempts;  // start commands written
    } cases[] = {
        // USB without a programming answer: a printer already on the release only waits.
        {COMMPORT_USB, "0;x", {"1.23"}, true, "Same version: Wait then exit...", 1},
        // The release is a text: a NUL after it does not make it another one.
        {COMMPORT_USB, "0", {std::string("1.23\0", 5)}, true, "Same version: Wait then exit...", 1},
        // The network: the release the printer comes back with decides; not
        // back yet on the first round, the next round reads it.
        {COMMPORT_ETH,
         "",
         {"0.99", "", "1.23"},
         true,
         "Upgrade succesfully, version correct. Force NO_ERROR_COM",
         1},
        // Back with the old release after each of the four attempts.
        {COMMPORT_ETH,
         "",
         {"0.99", "0.99", "0.99", "0.99", "0.99"},
         false,
         "Upgrade Error, so force ERROR_BANK_NOT_PROGRAMMED",
         4},
    };
    for (const Case& c : cases) {
        Package(2, 1, 256);
        snprintf(info.szConfigurationSettings, sizeof(info.szConfigurationSettings), "%s",
                 c.config);
        link.readCalls = 0;
        link.reads.assign(c.reads.begin(), c.reads.end());
        link.fallback = "";
        link.writes.clear();
        LogCapture log;
        EXPECT_EQ(Run(1, c.portType, 1), c.ok) << c.log;
        EXPECT_TRUE(log.Has(c.log)) << log.Text();
        EXPECT_TRUE(link.reads.empty()) << c.log;
        EXPECT_EQ(WritesOf(Bytes({0x1C, 0xFD, 0x00, 0x00})).size(), c.attempts) << c.log;
    }
}

TEST_F(EngineRun, BrokenImagesAreRefusedBeforeAnyByte) {
    struct Case {
        int mode;
        int generation;
        int banks;
        int imageSize;
    } cases[] = {{1, 1, 3, 3000}, {1, 2, 3, 3000}, {3, 2, 3, 3071},
                 {5, 1, 4, 4000}, {5, 2, 2, 2048}, {5, 2, 0, 1024}};
    for (const Case& c : cases) {
        // A font module to go before the firmware must not go either.
        layout.modules.clear();
        mkfile::ModuleLayout font;
        font.typeLetter = "F";
        font.payload = mkfile::Pattern(100);
        layout.modules.push_back({'f', mkfile::BuildModule(font), 0, 0});
        if (c.generation == 1) layout.modules.clear();
        Package(c.generation, c.banks, 1024, c.imageSize);
        link.writes.clear();
        link.reopens = 0;
        link.fallback = "\xAA";
        LogCapture log;
        EXPECT_FALSE(Run(c.mode)) << c.mode << " " << c.imageSize;
        EXPECT_TRUE(link.writes.empty()) << c.mode << " " << c.imageSize;
        EXPECT_EQ(link.reopens, 0);
        EXPECT_TRUE(log.Has("Upgrade file wrong or incomplete:"));
    }
}

// A USB printer that does not come back from its restart is looked for seven
// times, 5 s apart; the release read then tries its nine reopens.
TEST_F(EngineRun, ARestartIsAwaitedSevenLooks) {
    Package(2, 3, 1024);
    link.reads = {"0.99"};
    link.reopenDefault = false;
    Run(3, COMMPORT_USB, 1);
    EXPECT_EQ(link.reopens, 7 + 9);
    EXPECT_EQ(clock.Count(5000), 6 + 8);
}

TEST_F(EngineRun, U3SendsLargePiecesAndWaitsWithoutAnswer) {
    AddModuleAfterTheFirmware();  // not sent: -c 1
    Package(2, 3, 1024);
    link.reads = {"0.99"};
    ASSERT_TRUE(Run(3, COMMPORT_SERIAL, 1, 2));
    std::vector<ByteVector> commands = Commands(1024);
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[2], Bytes({0x1C, 0xFD, 0x00, 0x02}));
    EXPECT_EQ(commands[3], Cat(Bytes({0x1C, 0xFF, 0x00, 0x02}), BankSums(0, 3, 1024)));
    size_t first = WritesOf(commands[2])[0] + 1;
    for (size_t b = 0; b < 3; ++b) {
        EXPECT_EQ(link.writes[first + b].packetSizeSeen, 57344u);
        EXPECT_EQ(link.writeTimeouts[first + b], 1000 * 58);
    }
    EXPECT_EQ(link.uiPacketSize, 1000u);
    EXPECT_EQ(link.iTimeoutTX, 1000);
    EXPECT_EQ(link.readCalls, 1);  // the release only
    // At -m 2: 5 s after reopening, 12 s after programming, 8 s after the
    // firmware, each doubled; then 20 s before the modules, whatever -m.
    EXPECT_EQ(clock.sleeps, (std::vector<uint64_t>{10000, 24000, 16000, 20000}));
}

TEST_F(EngineRun, U5DataBankAnswers) {
    struct Case {
        std::string answer;
        bool ok;
        const char* log;
    } cases[] = {
        {"\x12\x99", false, "Answer Error(0x99) : Checksum Error"},
        {"\x12", false, "Wait Answer Error"},
    };
    for (const Case& c : cases) {
        Package(2, 5, 256);
        link.reads = {"0.99", c.answer};
        link.fallback = "";
        clock.sleeps.clear();
        uint64_t start = clock.now;
        LogCapture log;
        EXPECT_EQ(Run(5, COMMPORT_SERIAL, 1), c.ok);
        EXPECT_TRUE(log.Has(c.log)) << log.Text();
        EXPECT_TRUE(log.Has("Upgrade Error"));
        EXPECT_EQ(WritesOf(Bytes({0x1C, 0xFD, 0x04, 0x04})).size(), 0u);
        if (std::string(c.log) == "Wait Answer Error") {
            // 5 s reopen, 30 s restart, 1 + 2 s reopen, 1 s after the bank, 60 s answer.
            uint64_t waited = clock.now - start;
            EXPECT_GE(waited, 99000u);
            EXPECT_LE(waited, 99100u);
        }
    }
}

// U5's wait for the restart between code and data follows -m.
TEST_F(EngineRun, U5RestartWaitFollowsTheMultiplier) {
    Package(2, 5, 256);
    link.reads = {"0.99", "\x12\x99"};
    link.fallback = "";
    Run(5, COMMPORT_SERIAL, 1, 2);
    EXPECT_EQ(clock.Count(2 * 30000), 1);
    EXPECT_EQ(clock.Count(30000), 0);
}

// The pause after each module group sent after the firmware (here the
// modules alone, -c 2, with -m 3): 10 s x T for U1, U4 and U5, 20 s x T for
// U2 and U3.
TEST_F(EngineRun, PauseAfterTheModulesOfEachEngine) {
    AddModuleAfterTheFirmware();
    Package(2, 1, 256);
    struct {
        int mode;
        int port;
        uint64_t pause;
        uint64_t other;
    } cases[] = {{1, COMMPORT_SERIAL, 30000, 60000},
                 {2, COMMPORT_USB, 60000, 30000},
                 {3, COMMPORT_SERIAL, 60000, 30000},
                 {4, COMMPORT_USB, 30000, 60000},
                 {5, COMMPORT_SERIAL, 30000, 60000}};
    for (const auto& c : cases) {
        FakeClock modeClock;
        EngineLink modeLink(modeClock, c.port);
        modeLink.fallback = "\xAA";
        std::unique_ptr<UpgradePrinter> modeEngine = UpgradePrinter::GetUpgradeClass(c.mode, 2, 3);
        modeEngine->SetClock(modeClock);
        PSWComponents components = psw->components;
        ASSERT_TRUE(modeEngine->StartUpgrade_PSW2(info, modeLink, *psw, settings, nullptr, nullptr,
                                                  components))
            << c.mode;
        EXPECT_EQ(modeClock.Count(c.pause), 1) << "U" << c.mode;
        EXPECT_EQ(modeClock.Count(c.other), 0) << "U" << c.mode;
    }
}

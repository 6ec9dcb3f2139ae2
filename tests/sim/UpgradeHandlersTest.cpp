// The printer's side of package upgrades and module writes, in-process.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/core/PackageImage.h"
#include "sim/core/PrinterCore.h"
#include "sim/core/UpgradeHandlers.h"
#include "sim/mkfile/MkFile.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string HANDSHAKE = "\x18\x1c<EPOS>\x18\x1d\x49\x01\x18\x1d\x49\x03";

struct Printer {
    explicit Printer(UpgradeProfile profile, const PackageImage* package = nullptr)
        : upgrade(core, profile, package) {
        upgrade.Install();
    }
    void Send(const std::string& bytes) {
        core.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    void Send(const Bytes& bytes) { core.Receive(bytes.data(), bytes.size()); }
    std::string Take() {
        uint8_t out[512];
        size_t n = core.TakeOutput(out, sizeof(out));
        return std::string(reinterpret_cast<char*>(out), n);
    }
    // Waits (at most 3 s) until the printer is away or back.
    bool WaitAway(bool away) {
        for (int i = 0; i < 300 && core.Restarting() != away; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return core.Restarting() == away;
    }
    PrinterCore core;
    UpgradeHandlers upgrade;
};

// Start command, banks, program command with the sums; perBank restarts the
// index of the second sum at every bank.
Bytes Transfer(int first, const Bytes& banks, size_t bankSize, bool perBank, int sumOffset = 0) {
    const int last = first + static_cast<int>(banks.size() / bankSize) - 1;
    uint16_t sum = 0;
    uint16_t xorSum = 0;
    for (size_t i = 0; i < banks.size(); ++i) {
        sum = static_cast<uint16_t>(sum + banks[i]);
        xorSum = static_cast<uint16_t>(xorSum + (banks[i] ^ (perBank ? i % bankSize : i)));
    }
    sum = static_cast<uint16_t>(sum + sumOffset);
    Bytes out;
    out.reserve(banks.size() + 12);
    for (int b : {0x1C, 0xFD, first, last}) out.push_back(static_cast<uint8_t>(b));
    out.insert(out.end(), banks.begin(), banks.end());
    for (int b : {0x1C, 0xFF, first, last, sum >> 8, sum & 0xFF, xorSum >> 8, xorSum & 0xFF}) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

UpgradeProfile Profile(const std::string& mode, uint32_t bankSize = 64) {
    UpgradeProfile p;
    p.mode = mode;
    p.bankSize = bankSize;
    p.restartGraceMs = 20;
    p.restartMs = 50;
    p.newRelease = "2.00";
    return p;
}

}  // namespace

TEST(UpgradeHandlers, ProtocolAnswers) {
    UpgradeProfile p = Profile("U3");
    p.settings = "0;";
    p.family = 3;
    p.model = 12;
    p.moduleCodes = {"FNT01", "DSK"};
    Printer printer(p);
    printer.Send("\x1f\xff\x70");  // upgrade information
    EXPECT_EQ(printer.Take(), "\x02<C112><U3><0;><3;12;0>\x03");
    printer.Send("\x1f\xff\x40");  // the modules it knows
    EXPECT_EQ(printer.Take(), std::string("\x02<C64><2>FNT01\0DSK\0\x03", 20));
}

TEST(UpgradeHandlers, ModeU1AnswersTheProgramCommandAndRestartsWithTheNewRelease) {
    UpgradeProfile p = Profile("U1");
    p.programAnswer = 0x66;
    p.programAnswerOnce = true;
    Printer printer(p);
    Bytes image = mkfile::Pattern(3 * 64, 4);
    printer.Send(HANDSHAKE);
    EXPECT_EQ(printer.Take(),
              "\x12"
              "1.00");
    printer.Send(Transfer(0, image, 64, false));
    EXPECT_EQ(printer.Take(), "\x66");  // the forced answer, once
    EXPECT_FALSE(printer.core.RestartPending());
    printer.Send(Transfer(0, image, 64, false, 1));
    EXPECT_EQ(printer.Take(), "\x99");  // checksums off by one
    EXPECT_FALSE(printer.core.RestartPending());
    // Sums taken per bank are wrong for this mode.
    printer.Send(Transfer(0, image, 64, true));
    EXPECT_EQ(printer.Take(), "\x99");

    printer.Send(Transfer(0, image, 64, false));
    EXPECT_EQ(printer.Take(), "\xaa");
    ASSERT_TRUE(printer.WaitAway(true));
    printer.Send(HANDSHAKE);  // not heard while away
    ASSERT_TRUE(printer.WaitAway(false));
    EXPECT_FALSE(printer.core.InEscPosForSv());
    printer.Send("\x1d\x49\x03");
    EXPECT_EQ(printer.Take(), "2.00");
    EXPECT_EQ(printer.upgrade.Report().front(),
              "banks 0:64,1:64,2:64,0:64,1:64,2:64,0:64,1:64,2:64,0:64,1:64,2:64");
}

TEST(UpgradeHandlers, ModesU3AndU5SumPerBankAndAnswerOnlyTheDataBanks) {
    Bytes image = mkfile::Pattern(5 * 64, 6);
    auto bank = [&](int b) { return Bytes(image.begin() + b * 64, image.begin() + (b + 1) * 64); };

    Printer u3(Profile("U3"));
    u3.Send(Transfer(0, image, 64, true));
    EXPECT_EQ(u3.Take(), "");  // no answer, a restart
    EXPECT_TRUE(u3.WaitAway(true));

    UpgradeProfile p = Profile("U5");
    p.banks = 5;
    p.keepRelease = true;
    Printer u5(p);
    u5.Send(Transfer(0, Bytes(image.begin(), image.begin() + 3 * 64), 64, true));
    EXPECT_EQ(u5.Take(), "");
    ASSERT_TRUE(u5.WaitAway(true));
    ASSERT_TRUE(u5.WaitAway(false));
    u5.Send(Transfer(3, bank(3), 64, true, 1));
    EXPECT_EQ(u5.Take(), "\x99");
    u5.Send(Transfer(3, bank(3), 64, true));
    EXPECT_EQ(u5.Take(), "\xaa");
    EXPECT_FALSE(u5.core.RestartPending());
    u5.Send(Transfer(4, bank(4), 64, true));  // the last bank: no answer
    EXPECT_EQ(u5.Take(), "");
    ASSERT_TRUE(u5.WaitAway(true));
    ASSERT_TRUE(u5.WaitAway(false));
    EXPECT_EQ(u5.core.FirmwareRelease(), "1.00");  // the release that does not change
}

TEST(UpgradeHandlers, ModuleFilesAfterTheIdentificationGetTheirVerdict) {
    mkfile::ModuleLayout layout;
    layout.payload = mkfile::Pattern(300, 2);
    layout.key = 0x31;
    Bytes module = mkfile::BuildModule(layout);
    Bytes damaged = module;
    damaged[4200] ^= 0x01;

    Printer printer(Profile("U1"));
    printer.Send(module);  // no identification first: unknown bytes
    EXPECT_EQ(printer.Take(), "");
    // Commands the printer does not know after its release are no module:
    // the request behind them is answered at once.
    printer.Send(HANDSHAKE);
    printer.Take();
    printer.Send("\x1b\x40\x1d\x49\x01");
    EXPECT_EQ(printer.Take(), "\x12");

    std::string verdicts;
    for (const Bytes& file : {module, damaged}) {
        printer.Send(HANDSHAKE);
        printer.Take();
        for (size_t at = 0; at < file.size(); at += 1000) {  // arrives in pieces
            printer.Send(Bytes(file.begin() + at, file.begin() + std::min(at + 1000, file.size())));
        }
        verdicts += printer.Take();
    }
    EXPECT_EQ(verdicts, "\xaa\x44");
    std::vector<std::string> report = printer.upgrade.Report();
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0], "module 1 " + std::to_string(module.size()) + " bytes verdict 0xAA");
    EXPECT_EQ(report[1], "module 2 " + std::to_string(module.size()) + " bytes verdict 0x44");
}

// What the printer received is compared with the package it was given, for
// both generations and both kinds of scramble key: the end-to-end upgrades
// rely on this comparison.
TEST(UpgradeHandlers, ReceivedImageIsComparedWithThePackage) {
    mkfile::ModuleLayout m;
    m.payload = mkfile::Pattern(100, 3);
    const Bytes module = mkfile::BuildModule(m);
    for (int generation : {1, 2}) {
        for (uint8_t key : {0x00, 0x5A, 0x37}) {
            SCOPED_TRACE("generation " + std::to_string(generation) + " key " +
                         std::to_string(key));
            mkfile::PackageLayout layout;
            layout.generation = generation;
            layout.key = key;
            layout.firmware = mkfile::Pattern(3 * 128 + 7, 5);
            layout.numBanks = 3;
            layout.bankSize = 128;
            layout.modules.push_back({'d', module, 0, 0});
            PackageImage package;
            std::string error;
            ASSERT_TRUE(package.LoadFromMemory(mkfile::BuildPackage(layout), error)) << error;
            const Bytes firmware(layout.firmware.begin(), layout.firmware.begin() + 3 * 128);
            EXPECT_EQ(package.Firmware(), firmware);

            Printer printer(Profile("U1", 128), &package);
            printer.Send(HANDSHAKE);
            printer.Send(module);
            printer.Send(Transfer(0, firmware, 128, false));
            std::vector<std::string> report = printer.upgrade.Report();
            ASSERT_EQ(report.size(), 3u);
            EXPECT_EQ(report[1], "firmware matches the package");
            EXPECT_NE(report[2].find("matches package module 1"), std::string::npos);
            // Kept in a folder that does not exist yet.
            testsupport::TempDir dir;
            const std::string kept = dir.file("got/run");
            ASSERT_TRUE(printer.upgrade.Save(kept, error)) << error;
            EXPECT_EQ(testsupport::ReadWholeFile(kept + "/firmware.bin"),
                      std::string(firmware.begin(), firmware.end()));
            // What the printer holds, against what each component mask selects
            // (a first-generation package carries its firmware alone).
            HeldState held = printer.upgrade.Held({});
            EXPECT_EQ(HoldsText(held, package), "firmware=package modules=1");
            EXPECT_EQ(VerdictText(held, package, 255),
                      generation == 2 ? "package" : "not-package: module 1 unasked");
            EXPECT_EQ(VerdictText(held, package, 1), "not-package: module 1 unasked");
            EXPECT_EQ(VerdictText(held, package, 2),
                      generation == 2 ? "not-package: firmware written unasked"
                                      : "not-package: firmware written unasked; module 1 unasked");

            Bytes changed = firmware;
            changed[200] ^= 0x10;
            Printer other(Profile("U1", 128), &package);
            other.Send(HANDSHAKE);
            other.Send(Transfer(0, changed, 128, false));
            EXPECT_EQ(other.upgrade.Report().at(1).rfind("firmware differs from the package", 0),
                      0u);
            // Other bytes with their own sums are written; a boot program's whole image counts.
            EXPECT_EQ(HoldsText(other.upgrade.Held({}), package), "firmware=other modules=none");
            EXPECT_EQ(VerdictText(other.upgrade.Held({}), package, 1),
                      "not-package: firmware not the package's");
            EXPECT_EQ(VerdictText(other.upgrade.Held(firmware), package, 1), "package");
            Printer refused(Profile("U1", 128), &package);
            refused.Send(Transfer(0, firmware, 128, false, 1));
            EXPECT_EQ(VerdictText(refused.upgrade.Held({}), package, 1),
                      "not-package: firmware not written");
        }
    }
}

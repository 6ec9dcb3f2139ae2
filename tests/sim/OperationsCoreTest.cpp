// The printer's side of the tools, the anti-tamper download, recorded
// scripts and line faults, driven through the core as the transports drive it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/core/StepFaults.h"
#include "sim/core/TamperModule.h"
#include "sim/core/ToolHandlers.h"
#include "sim/core/ZpdResponder.h"

namespace {

std::string Take(PrinterCore& core) {
    std::string all;
    uint8_t out[4096];
    while (size_t n = core.TakeOutput(out, sizeof(out)))
        all.append(reinterpret_cast<char*>(out), n);
    return all;
}

std::string Ask(PrinterCore& core, const std::string& bytes) {
    core.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return Take(core);
}

const std::string EXEC = "\x1f\xff\x51";

// A literal with its 00 bytes.
template <size_t N>
std::string B(const char (&text)[N]) {
    return std::string(text, N - 1);
}

}  // namespace

TEST(ToolHandlers, ADateThatCannotBeAndAnUnknownTableAreRefused) {
    struct Row {
        std::string request;
        std::string answer;
    };
    // The tool tables, the answers and the tools not offered are those of the
    // end-to-end tool rows; the date's check only shows here.
    const std::vector<Row> rows = {
        {EXEC + "<1><8><311226235958>", B("\x02<C81>\x06<2>SET DATETIME\0"
                                          "31/12/26 23:59:58\0\x03")},
        {EXEC + "<3><1>", "\x02<C81>\x15<ERR1>\x03"},  // no table 3
        // A date that cannot be, or not twelve digits.
        {EXEC + "<1><8><321226235958>", "\x02<C81>\x15<ERR2>\x03"},
        {EXEC + "<1><8><0512261804>", "\x02<C81>\x15<ERR2>\x03"},
        {EXEC + "<1><x>", "\x02<C81>\x15<ERR2>\x03"},
        {EXEC + "<1><32><99999999999>", "\x02<C81>\x15<ERR2>\x03"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        ToolHandlers::Settings settings;
        settings.mask1 = 13;
        settings.mask2 = 4;
        ToolHandlers tools(settings);
        PrinterCore core;
        tools.Install(core, StepFaults{});
        EXPECT_EQ(Ask(core, row.request), row.answer);
    }
}

// The whole image with the program's sums is an end-to-end row.
TEST(TamperModule, AWrongXorSumIsRefusedAtTheEnd) {
    TamperModule module(TamperModule::Settings{});
    PrinterCore core;
    module.Install(core);
    std::string answers = Ask(core, std::string("\x1c\xfd\x00\x00\x80\x00", 6));
    for (int bank = 0; bank < 128; ++bank) answers += Ask(core, std::string(256, '\0'));
    // Sum 0000 is right for the all-zero image, XOR sum C001 is not (C000).
    answers += Ask(core, std::string("\x1c\xff\x00\x00\xc0\x01", 6));
    EXPECT_EQ(answers, std::string(129, '\x06') + "\x15");
    EXPECT_EQ(module.SumErrors(), 1);
}

TEST(ZpdResponder, AnswersFromTheTableAndLosesBytesWhileRestarting) {
    ZpdResponder::Settings settings;
    std::string error;
    settings.table.resize(2);
    ASSERT_TRUE(ZpdResponder::ParseEntry("1B40 = 02 3C 43 35 3E 06 03", settings.table[0], error));
    ASSERT_TRUE(ZpdResponder::ParseEntry("AA = reset", settings.table[1], error));
    settings.resetMs = 60000;
    ZpdResponder zpd(settings);
    PrinterCore core;
    zpd.Install(core);
    EXPECT_EQ(Ask(core, "\x1b\x40\x01\x1b\x40"), "\x02<C5>\x06\x03\x02<C5>\x06\x03");
    EXPECT_EQ(Ask(core, "\xaa\x1b\x40\x1d\x49\x01"), "");
    EXPECT_EQ(zpd.Resets(), 1);
    EXPECT_EQ(zpd.LostBytes(), 5u);
    EXPECT_EQ(core.Requests(),
              (std::vector<std::string>{"1B40", "UNKNOWN", "1B40", "RESET", "LOST"}));
}

TEST(LineFaults, BytesFlippedLostDroppedAndStalledByTheirPosition) {
    // The identification request 1D 49 01 is answered with 12; 1D 49 03 with the release.
    const std::string GSI = "\x1d\x49\x01";
    struct Row {
        const char* fault;
        std::string answers;  // to three identification requests
    } rows[] = {
        {"flip:4:1", B("\x12\x12")},          // the second request becomes 1D 4B 01
        {"lose:2:3", B("\x12\x12")},          // 01 1D 49 of the first two are lost
        {"out:flip:1:0", B("\x12\x13\x12")},  // the second answer byte goes out changed
        {"out:lose:0:2", B("\x12")},          // the first two answer bytes never leave
        {"drop:5", B("\x12\x12")},  // the second request's last byte goes with the connection
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        PrinterCore core;
        auto faults = std::make_shared<LineFaults>();
        std::string error;
        ASSERT_TRUE(faults->Add(row.fault, error)) << error;
        core.SetLineFaults(faults);
        std::string got;
        for (int i = 0; i < 3; ++i) got += Ask(core, GSI);
        EXPECT_EQ(got, row.answers);
        EXPECT_EQ(core.TakeCloseRequest(), std::string(row.fault) == "drop:5");
    }
    // A stall holds the answers back (in: the printer's, out: what is on its way).
    for (const char* fault : {"stall:3:150", "out:stall:1:150"}) {
        PrinterCore core;
        auto faults = std::make_shared<LineFaults>();
        std::string error;
        ASSERT_TRUE(faults->Add(fault, error)) << error;
        core.SetLineFaults(faults);
        EXPECT_EQ(Ask(core, GSI), "\x12");
        EXPECT_EQ(Ask(core, GSI), "");
        EXPECT_TRUE(core.HasLateAnswers());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(Take(core), "\x12");
    }
    LineFaults bad;
    std::string error;
    for (const char* fault : {"flip:1:8", "lose:3", "drop:0", "stall:1", "up:drop:3", "x:1"})
        EXPECT_FALSE(bad.Add(fault, error)) << fault;
}

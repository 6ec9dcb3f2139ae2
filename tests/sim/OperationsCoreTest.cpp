// The printer's side of the setup read, the tools, the anti-tamper download
// and recorded scripts, driven through the core as the transports drive it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/core/PrinterCore.h"
#include "sim/core/SetupAnswers.h"
#include "sim/core/StepFaults.h"
#include "sim/core/TamperModule.h"
#include "sim/core/ToolHandlers.h"
#include "sim/core/ZpdResponder.h"

namespace {

void Send(PrinterCore& core, const std::string& bytes) {
    core.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Take(PrinterCore& core) {
    std::string all;
    uint8_t out[4096];
    while (size_t n = core.TakeOutput(out, sizeof(out)))
        all.append(reinterpret_cast<char*>(out), n);
    return all;
}

std::string Ask(PrinterCore& core, const std::string& bytes) {
    Send(core, bytes);
    return Take(core);
}

const std::string EXEC = "\x1f\xff\x51";

// A literal with its 00 bytes.
template <size_t N>
std::string B(const char (&text)[N]) {
    return std::string(text, N - 1);
}

}  // namespace

TEST(SetupAnswers, AnswersAndStepFaultsPerRequest) {
    struct Row {
        const char* mute;
        const char* refuse;
        std::string request;
        std::string answer;
    };
    const std::vector<Row> rows = {
        {"", "", "\x1f\xff\x01", "\x02<C1><2.15>\x03"},
        {"", "", "\x1f\xff\x28", "\x02<C40><175>\x03"},
        {"", "", "\x1f\xff\x02", B("\x02<C2><2>FIRST\0SECOND LINE\0\x03")},
        {"PROTVER", "", "\x1f\xff\x01\x1f\xff\x01", ""},
        {"", "DATAAVAIL", "\x1f\xff\x28", "\x02<C40>\x15<ERR7>\x03"},
        // The refused request is taken whole: what follows is still answered.
        {"", "HEADER", "\x1f\xff\x02\x1f\xff\x01", "\x02<C2>\x15<ERR7>\x03\x02<C1><2.15>\x03"},
        {"TOOLS", "", "\x1f\xff\x28", "\x02<C40><175>\x03"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        StepFaults faults;
        if (*row.mute != '\0') faults.muted.insert(row.mute);
        if (*row.refuse != '\0') faults.refused[row.refuse] = 7;
        SetupAnswers setup;
        setup.protocolVersion = "2.15";
        setup.dataAvailable = 175;
        setup.headerLines = {"FIRST", "SECOND LINE"};
        PrinterCore core;
        setup.Install(core, faults);
        EXPECT_EQ(Ask(core, row.request), row.answer);
    }
}

TEST(ToolHandlers, ExecutionRequestsAndTheirAnswers) {
    struct Row {
        std::string request;
        std::string answer;
    };
    const std::vector<Row> rows = {
        {"\x1f\xff\x50", "\x02<C80><13><4>\x03"},
        {EXEC + "<1><1>", B("\x02<C81>\x06<2>BLACKMARK AUTOSET\0BLACKMARK FOUND\0\x03")},
        {EXEC + "<1><8><311226235958>", B("\x02<C81>\x06<2>SET DATETIME\0"
                                          "31/12/26 23:59:58\0\x03")},
        {EXEC + "<2><4>", B("\x02<C81>\x06<1>TOOL DONE\0\x03")},
        // Not among the printer's tools: mask 2 in table 1, mask 1 in table 2, table 3.
        {EXEC + "<1><2>", "\x02<C81>\x15<ERR1>\x03"},
        {EXEC + "<2><1>", "\x02<C81>\x15<ERR1>\x03"},
        {EXEC + "<3><1>", "\x02<C81>\x15<ERR1>\x03"},
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

namespace {

const std::string TAMPER_START("\x1c\xfd\x00\x00\x80\x00", 6);

std::string EndRequest(uint16_t sum, uint16_t xorSum) {
    return std::string{'\x1c',
                       '\xff',
                       static_cast<char>(sum >> 8),
                       static_cast<char>(sum),
                       static_cast<char>(xorSum >> 8),
                       static_cast<char>(xorSum)};
}

// Runs a whole download; returns the answer bytes in order.
std::string Download(PrinterCore& core, const std::string& image, const std::string& end) {
    std::string answers = Ask(core, TAMPER_START);
    for (size_t at = 0; at < image.size(); at += 256) answers += Ask(core, image.substr(at, 256));
    return answers + Ask(core, end);
}

}  // namespace

TEST(TamperModule, DownloadOfAllZeroImageCarriesTheWrittenOutSums) {
    TamperModule module(TamperModule::Settings{});
    PrinterCore core;
    module.Install(core);
    std::string answers = Download(core, std::string(32768, '\0'), EndRequest(0x0000, 0xC000));
    EXPECT_EQ(answers, std::string(130, '\x06'));
    EXPECT_EQ(module.Image(), std::vector<uint8_t>(32768, 0));
    EXPECT_EQ(module.SumErrors(), 0);

    // A wrong XOR sum is refused at the end.
    answers = Download(core, std::string(32768, '\0'), EndRequest(0x0000, 0xC001));
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

    // Without a restart time the printer answers right after the reset.
    ZpdResponder quick(ZpdResponder::Settings{});
    PrinterCore core2;
    quick.Install(core2);
    EXPECT_EQ(Ask(core2, B("\x1f\xff\x07\x1d\x49\x01")), "\x12");
    EXPECT_EQ(quick.Resets(), 1);
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

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
#include "tests/support/TempDir.h"

namespace {

using testsupport::ReadWholeFile;
using testsupport::TempDir;

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

TEST(ToolHandlers, SptFileArrivesInPiecesAndIsKeptWhole) {
    TempDir dir;
    ToolHandlers::Settings settings;
    settings.sptPath = dir.file("got.spt");
    ToolHandlers tools(settings);
    PrinterCore core;
    tools.Install(core, StepFaults{});
    // File bytes that look like requests and frames stay file bytes.
    std::string file = B("\x1f\xff\x01\x03\x00<C1>\x18") + std::string(300, 'z');
    std::string request = EXEC + "<1><32><310>" + file;
    Send(core, request.substr(0, 5));
    Send(core, request.substr(5, 100));
    EXPECT_EQ(Take(core), "");
    EXPECT_FALSE(tools.HasSptFile());
    Send(core, request.substr(105) + "\x1f\xff\x50");
    EXPECT_EQ(Take(core), B("\x02<C81>\x06<2>UPLOAD SPTFILE\0"
                            "310 BYTES RECEIVED\0\x03") +
                              "\x02<C80><127><0>\x03");
    EXPECT_EQ(tools.SptFile(), std::vector<uint8_t>(file.begin(), file.end()));
    EXPECT_EQ(ReadWholeFile(settings.sptPath), file);
    EXPECT_EQ(core.Requests(), (std::vector<std::string>{"TOOLEXEC", "TOOLS"}));
}

TEST(ToolHandlers, ToolAnswerComesAfterItsOwnDelayOthersAtOnce) {
    ToolHandlers::Settings settings;
    settings.delayMs = 300;
    settings.lines = {"DONE"};
    ToolHandlers tools(settings);
    PrinterCore core;
    tools.Install(core, StepFaults{});
    auto start = std::chrono::steady_clock::now();
    Send(core, EXEC + "<1><16>");
    EXPECT_FALSE(core.HasOutput());
    EXPECT_TRUE(core.HasLateAnswers());
    while (!core.HasOutput()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
    EXPECT_EQ(Take(core), B("\x02<C81>\x06<1>DONE\0\x03"));
    EXPECT_EQ(Ask(core, "\x1f\xff\x50"), "\x02<C80><127><0>\x03");
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
}

TEST(TamperModule, ImageHoldingRequestBytesIsTakenAsImage) {
    std::string image(32768, 'a');
    image.replace(1000, 6, TAMPER_START);
    image.replace(5000, 3, "\x1f\xff\x07");
    image.replace(256 * 127, 2, "\x1c\xff");
    uint16_t sum = 0, xorSum = 0;
    TamperModule::Sums(reinterpret_cast<const uint8_t*>(image.data()), image.size(), sum, xorSum);
    TamperModule module(TamperModule::Settings{});
    PrinterCore core;
    module.Install(core);
    // Sent in odd pieces, not along the banks.
    std::string all = TAMPER_START + image + EndRequest(sum, xorSum);
    std::string answers;
    for (size_t at = 0; at < all.size(); at += 1000) answers += Ask(core, all.substr(at, 1000));
    EXPECT_EQ(answers, std::string(130, '\x06'));
    EXPECT_EQ(module.Image(), std::vector<uint8_t>(image.begin(), image.end()));
    // Idle again: the next bytes are requests.
    EXPECT_EQ(Ask(core, TAMPER_START), "\x06");
}

TEST(TamperModule, WrongSumsAndFaultsPerStep) {
    struct Row {
        const char* what;
        std::vector<int> silent;
        std::vector<int> nack;
        uint16_t xorSum;
        std::string answers;  // start, 128 banks, end
    };
    const std::string acks(128, '\x06');
    const std::vector<Row> rows = {
        {"wrong xor sum", {}, {}, 0xC001, "\x06" + acks + "\x15"},
        {"start unanswered", {TamperModule::START}, {}, 0xC000, acks + "\x06"},
        {"bank 5 refused",
         {},
         {5},
         0xC000,
         "\x06" + acks.substr(0, 4) + "\x15" + acks.substr(5) + "\x06"},
        {"bank 128 unanswered", {128}, {}, 0xC000, "\x06" + acks.substr(1) + "\x06"},
        {"end refused", {}, {TamperModule::END}, 0xC000, "\x06" + acks + "\x15"},
        {"end unanswered", {TamperModule::END}, {}, 0xC000, "\x06" + acks},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TamperModule module(TamperModule::Settings{true, row.silent, row.nack, ""});
        PrinterCore core;
        module.Install(core);
        EXPECT_EQ(Download(core, std::string(32768, '\0'), EndRequest(0, row.xorSum)), row.answers);
        EXPECT_EQ(module.SumErrors(), row.xorSum == 0xC000 ? 0 : 1);
    }
}

TEST(ZpdResponder, TableEntriesReadFromTextAndFile) {
    struct Row {
        std::string text;
        bool ok;
        std::vector<uint8_t> request;
        std::vector<uint8_t> answer;
        bool reset;
    };
    const std::vector<Row> rows = {
        {"1B40=0102", true, {0x1B, 0x40}, {1, 2}, false},
        {" 1b 40 = 02 3c 03 ", true, {0x1B, 0x40}, {0x02, 0x3C, 0x03}, false},
        {"1F FF 05 =", true, {0x1F, 0xFF, 0x05}, {}, false},
        {"AA = reset", true, {0xAA}, {}, true},
        {"= 06", false, {}, {}, false},
        {"1B4=06", false, {}, {}, false},
        {"1B40 06", false, {}, {}, false},
        {"1G=06", false, {}, {}, false},
        {"1B=RESET", false, {}, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        ZpdResponder::Entry entry;
        std::string error;
        ASSERT_EQ(ZpdResponder::ParseEntry(row.text, entry, error), row.ok) << error;
        if (!row.ok) continue;
        EXPECT_EQ(entry.request, row.request);
        EXPECT_EQ(entry.answer, row.answer);
        EXPECT_EQ(entry.reset, row.reset);
    }
    TempDir dir;
    std::string path = dir.write("answers", "# comment\n\n1B40 = 06\r\nAA = reset\n");
    std::vector<ZpdResponder::Entry> table;
    std::string error;
    ASSERT_TRUE(ZpdResponder::LoadTable(path, table, error)) << error;
    EXPECT_EQ(table.size(), 2u);
    dir.write("answers", "1B40 = 06\n# fine\nzz\n");
    EXPECT_FALSE(ZpdResponder::LoadTable(path, table, error));
    EXPECT_NE(error.find(":3:"), std::string::npos) << error;
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

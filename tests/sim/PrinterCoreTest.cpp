// The simulated printer's core: request dispatch, identification, faults.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/core/PrinterCore.h"

namespace {

void Send(PrinterCore& core, const std::string& bytes) {
    core.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Take(PrinterCore& core) {
    uint8_t out[256];
    size_t n = core.TakeOutput(out, sizeof(out));
    return std::string(reinterpret_cast<char*>(out), n);
}

const std::string GSI = "\x1d\x49\x01";
const std::string GSIFF = "\x1d\x49\xff";
const std::string FWREL = "\x1d\x49\x03";

}  // namespace

TEST(PrinterCore, AnswersTheIdentificationRequestsEvenWhenSplit) {
    PrinterCore core;
    core.SetIdentification(0x21);
    core.SetFirmwareRelease("2.07");
    std::string session = "\x1c<EPOS>\x18" + GSI + "\x18" + FWREL;
    for (char c : session) Send(core, std::string(1, c));
    EXPECT_TRUE(core.InEscPosForSv());
    EXPECT_EQ(Take(core),
              "\x21"
              "2.07");
    EXPECT_FALSE(core.HasOutput());
    EXPECT_EQ(core.Requests(),
              (std::vector<std::string>{"ESCPOS_SV", "CAN", "GSI", "CAN", "FWREL"}));
    EXPECT_EQ(core.Received().size(), session.size());

    core.SetExtendedIdentification(0x0234);
    Send(core, GSI + GSIFF);
    EXPECT_EQ(Take(core), "\xff\x02\x34");

    Send(core, GSI);
    core.DiscardOutput();
    EXPECT_FALSE(core.HasOutput());
}

TEST(PrinterCore, UnknownBytesAreRecordedOnceAndSkipped) {
    PrinterCore core;
    Send(core, "\x01\x02\x1d\x49\x02" + GSI);
    EXPECT_EQ(core.Requests(), (std::vector<std::string>{"UNKNOWN", "GSI"}));
    EXPECT_EQ(Take(core), "\x12");
}

TEST(PrinterCore, PluggedInHandlersTakeTheLongestPrefixAndMayWaitForMore) {
    PrinterCore core;
    // A request with a one-byte length after its prefix.
    core.AddRequestHandler({0x1F, 0xFF, 0x01}, "PROTVER",
                           [](const uint8_t* data, size_t length, std::vector<uint8_t>& answer) {
                               if (length < 4 || length < 4u + data[3]) return size_t{0};
                               answer = {'<', 'C', '1', '>'};
                               return size_t{4u + data[3]};
                           });
    core.AddRequestHandler({0x1F}, "SHORT",
                           [](const uint8_t*, size_t, std::vector<uint8_t>& answer) {
                               answer = {'s'};
                               return size_t{1};
                           });
    Send(core,
         "\x1f\xff\x01\x02"
         "a");
    EXPECT_FALSE(core.HasOutput());  // one payload byte still missing
    Send(core, "b\x1f ");
    EXPECT_EQ(Take(core), "<C1>s");
    EXPECT_EQ(core.CountRequests("PROTVER"), 1u);
    EXPECT_EQ(core.CountRequests("SHORT"), 1u);
}

TEST(PrinterCore, SilentAndGarbageFaults) {
    PrinterCore core;
    PrinterCore::Faults faults;
    faults.silent = true;
    core.SetFaults(faults);
    Send(core, GSI);
    EXPECT_FALSE(core.HasOutput());
    EXPECT_EQ(core.CountRequests("GSI"), 1u);  // still heard

    faults.silent = false;
    faults.garbage = true;
    core.SetFaults(faults);
    Send(core, FWREL);
    EXPECT_EQ(Take(core), std::string(4, '\xa5'));
}

TEST(PrinterCore, DelayedAnswersComeLateAndInOrder) {
    PrinterCore core;
    PrinterCore::Faults faults;
    faults.delayMs = 80;
    core.SetFaults(faults);
    auto start = std::chrono::steady_clock::now();
    Send(core, GSI);
    Send(core, GSI);
    while (!core.HasOutput()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
    // The second answer is due 80 ms after its own request, however late the
    // scheduler let that one go out.
    std::string answers;
    while (answers.size() < 2 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        answers += Take(core);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(answers, "\x12\x12");
}

TEST(PrinterCore, CloseRequestFiresOnceAfterTheGivenBytes) {
    PrinterCore core;
    PrinterCore::Faults faults;
    faults.closeAfterBytes = 5;
    core.SetFaults(faults);
    Send(core, "\x18\x18\x18\x18");
    EXPECT_FALSE(core.TakeCloseRequest());
    Send(core, "\x18");
    EXPECT_TRUE(core.TakeCloseRequest());
    EXPECT_FALSE(core.TakeCloseRequest());
    Send(core, std::string(20, '\x18'));
    EXPECT_FALSE(core.TakeCloseRequest());
}

// Carrying out script elements on a scripted link, and the script run's
// stop rules.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/ZPDFormat.h"
#include "operations/PrinterComm.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/operations/OperationLink.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::string ERROR_ANSWER = "\x02<C40>\x15<ERR7>\x03";

std::unique_ptr<CZPDElement> Data(const Bytes& bytes) {
    return std::make_unique<CZPDElement>(ZPD_DATA, bytes.data(),
                                         static_cast<uint32_t>(bytes.size()));
}

std::unique_ptr<CZPDElement> Of(ZPDElementType type) { return std::make_unique<CZPDElement>(type); }

}  // namespace

TEST(ZpdElement, ResultOfEachKind) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CZPDElement>()> element;
        std::function<void(OperationLink&)> setUp;
        int result;
        const char* logLine;  // "" for none expected
        size_t writes;
    } cases[] = {
        {"data cut short",
         [] {
             return Data({0x1B, 0x40});
         },
         [](OperationLink& l) { l.shortWriteAt = 0; }, 13, "[ManageElement]Write error (1)", 1},
        {"data with error flag", [] { return Data({0x1B}); },
         [](OperationLink& l) { l.flagEveryWrite = true; }, 13, "[ManageElement]Write error (2)",
         1},
        {"malformed answer", [] { return Of(ZPD_WAITANSWER); },
         [](OperationLink& l) { l.reads = {"junk\x03"}; }, 13,
         "[ManageElement]Return is a Error Answer 13", 0},
        {"no answer", [] { return Of(ZPD_WAITANSWER); }, [](OperationLink&) {}, 13,
         "[ManageElement]Get Answer Error (1)", 0},
        {"unknown kind", [] { return Of(static_cast<ZPDElementType>(9)); }, [](OperationLink&) {},
         11, "[ManageElement]zpdType Unknow", 0},
    };
    for (const Case& c : cases) {
        CZPDFormat script;
        script.vElements.push_back(c.element());
        OperationLink link;
        c.setUp(link);
        int result = -1;
        std::string log = Captured([&] { result = script.ManageElement(&link, 0); });
        EXPECT_EQ(result, c.result) << c.name << "\n" << log;
        if (c.logLine[0] != '\0') {
            EXPECT_EQ(Count(log, c.logLine), 1u) << c.name << "\n" << log;
        }
        EXPECT_EQ(link.writes.size(), c.writes) << c.name;
    }
}

TEST(ZpdElement, MissingElementsAreUnknownAndABareLinkFails) {
    CZPDFormat script;
    script.vElements.push_back(Data({0x1B, 0x40, 0x0A}));
    OperationLink link;
    EXPECT_EQ(script.ManageElement(&link, 1), 11);

    // A link kind without a write of its own fails the element.
    CComPort bare;
    EXPECT_EQ(script.ManageElement(&bare, 0), 13);
}

// The script run: which failures end it and which code it leaves.
TEST(ZpdRun, AnswerChecksGoOnOtherFailuresStop) {
    struct Case {
        const char* name;
        std::function<void(OperationLink&)> setUp;
        bool ok;
        int error;
        size_t writes;
        bool withElements = true;
    } cases[] = {
        {"error answer goes on", [](OperationLink& l) { l.reads = {ERROR_ANSWER}; }, true, 0, 2},
        {"first write fails", [](OperationLink& l) { l.shortWriteAt = 0; }, false, 13, 1},
        {"no handshake", [](OperationLink& l) { l.handshakeResult = false; }, false, 6, 0},
        {"no elements", [](OperationLink&) {}, true, 0, 0, false},
    };
    for (const Case& c : cases) {
        CZPDFormat script;
        script.uiDeviceGSI = 0x12;
        if (c.withElements) {
            script.vElements.push_back(Data({0x1B, 0x40}));
            script.vElements.push_back(Of(ZPD_WAITANSWER));
            script.vElements.push_back(Data({0x0A}));
        }
        OperationLink link;
        c.setUp(link);
        CommPortSettings settings = NetworkSettings();
        PrinterComm comm(255, 1);
        bool ok = !c.ok;
        std::string log =
            Captured([&] { ok = comm.PrnCom_WriteZPDFile(&link, &script, &settings); });
        EXPECT_EQ(ok, c.ok) << c.name << "\n" << log;
        EXPECT_EQ(comm.iErrorCode, c.error) << c.name;
        EXPECT_EQ(link.writes.size(), c.writes) << c.name;
        EXPECT_EQ(link.closes, 1) << c.name;
    }
}

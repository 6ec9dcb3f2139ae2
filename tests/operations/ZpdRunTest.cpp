// Carrying out script elements on a scripted link (the script run is checked
// end to end).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/ZPDFormat.h"
#include "tests/comm/CommTestHelpers.h"
#include "tests/operations/OperationLink.h"

namespace {

using Bytes = std::vector<unsigned char>;

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

#include <cstring>
#include <ctime>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/SetupItemTypeDateTime.h"
#include "protocol/SetupItemTypeList.h"
#include "protocol/SetupItemTypeNumeric.h"
#include "protocol/SetupItemTypeString.h"

namespace {

// A "<C4>" answer with its checksum over every field after the STX.
std::string ItemAnswer(const std::string& fields) { return STX + fields + SumTag(fields) + ETX; }

}  // namespace

TEST(DecodeSetupItem, ListWithLinks) {
    std::string fields = "<C4><7><2><H,D><3><1><D><4><0><1>" + Txt("Speed") + "<1>" + Txt("more") +
                         "<10><11><12><3>" + Txt("slow") + Txt("mid") + Txt("fast");
    Decoded d(ItemAnswer(fields));
    ASSERT_TRUE(d.Is(OBJTYPE_TYPELIST));
    auto* item = d.As<SetupItemTypeList>();
    EXPECT_EQ(item->iID, 7);
    EXPECT_EQ(item->iType, PROT_TYPE_LIST);
    EXPECT_STREQ(item->szDescription, "Speed");
    EXPECT_EQ(item->iHasAdditionalDescription, 1);
    EXPECT_STREQ(item->szAdditionalDescription, "more");
    EXPECT_EQ(item->iStartValue, 10);
    EXPECT_EQ(item->iDefaultValue, 11);
    EXPECT_EQ(item->iCurrentValue, 12);
    ASSERT_EQ(item->vItems.size(), 3u);
    EXPECT_STREQ(item->vItems[2].szText, "fast");
    EXPECT_EQ(item->vItems[2].iValue, 12);
    ASSERT_EQ(item->vLinks.size(), 2u);
    const SetupItemLink* first = item->vLinks[0];
    EXPECT_EQ(first->iID, 7);
    EXPECT_EQ(first->iViewOperation1, 0);
    EXPECT_EQ(first->iViewOperation2, 2);
    EXPECT_EQ(first->iIDSource, 3);
    EXPECT_EQ(first->iLinkIDValue, 1);
    EXPECT_EQ(item->vLinks[1]->iViewOperation1, 2);
    EXPECT_EQ(item->vLinks[1]->iViewOperation2, 1);
    EXPECT_EQ(d.errors, 0u);
    EXPECT_TRUE(d.Logged("Add 2 Links"));
    EXPECT_TRUE(d.Logged("Type : PROT_TYPE_LIST"));
}

TEST(DecodeSetupItem, ViewOperations) {
    struct Case {
        const char* text;
        int first;
        int second;
    } cases[] = {{"H", 0, 1}, {"D", 2, 1}, {"X", 1, 0}, {"H,H", 0, 0}, {"D,X", 2, 1}, {"5", 1, 0}};
    for (const Case& c : cases) {
        std::string fields = std::string("<C4><1><1><") + c.text + "><2><3><1>" + Txt("L") +
                             "<0><0><0><0><1>" + Txt("a");
        Decoded d(ItemAnswer(fields));
        ASSERT_NE(d.item, nullptr) << c.text;
        const SetupItemLink* link = d.As<SetupItemType>()->vLinks.at(0);
        EXPECT_EQ(link->iViewOperation1, c.first) << c.text;
        EXPECT_EQ(link->iViewOperation2, c.second) << c.text;
    }
}

TEST(DecodeSetupItem, ListValueChecksCountButDoNotFail) {
    Decoded outOfRange(
        ItemAnswer("<C4><1><0><1>" + Txt("L") + "<0><0><0><5><2>" + Txt("a") + Txt("b")));
    ASSERT_NE(outOfRange.item, nullptr);
    EXPECT_EQ(outOfRange.errors, 1u);
    EXPECT_TRUE(outOfRange.Logged("DATA Error - Current Value 5 out of Range"));
    Decoded empty(ItemAnswer("<C4><1><0><1>" + Txt("L") + "<0><0><0><0><0>"));
    ASSERT_NE(empty.item, nullptr);
    EXPECT_EQ(empty.errors, 2u);
    EXPECT_TRUE(empty.Logged("DATA Error - Default Value 0 out of Range"));
}

TEST(DecodeSetupItem, Numeric) {
    Decoded d(ItemAnswer("<C4><8><0><2>" + Txt("Density") + "<0><0><10><0.5><5><12>"));
    ASSERT_TRUE(d.Is(OBJTYPE_TYPENUMERIC));
    auto* item = d.As<SetupItemTypeNumeric>();
    EXPECT_FLOAT_EQ(item->fMinValue, 0.0f);
    EXPECT_FLOAT_EQ(item->fMaxValue, 10.0f);
    EXPECT_FLOAT_EQ(item->fStepValue, 0.5f);
    EXPECT_FLOAT_EQ(item->fDefValue, 5.0f);
    EXPECT_FLOAT_EQ(item->fCurValue, 12.0f);
    EXPECT_FLOAT_EQ(item->fNewValue, 12.0f);
    EXPECT_EQ(d.errors, 1u);
    EXPECT_TRUE(d.Logged("DATA Error - CurValue > MaxValue"));

    Decoded bad(ItemAnswer("<C4><8><0><2>" + Txt("D") + "<0><10><0><0><-1><-1>"));
    ASSERT_NE(bad.item, nullptr);
    EXPECT_EQ(bad.errors, 4u);
    EXPECT_TRUE(bad.Logged("DATA Error - MinValue >= MaxValue "));
    EXPECT_TRUE(bad.Logged("DATA Error - StepValue"));
    EXPECT_TRUE(bad.Logged("DATA Error - DefValue < MinValue"));
    EXPECT_TRUE(bad.Logged("DATA Error - CurValue < MinValue"));
}

TEST(DecodeSetupItem, DateTimeTakesTheYearAsSentAndPasses2038) {
    // A zone with summer time written out, so that no zone database is needed.
    const char* saved = getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    // Seconds since the epoch worked out by hand for this zone.
    const struct {
        const char* sent;
        int64_t seconds;
        const char* shown;
    } rows[] = {
        {"2026-12-05 18:04:09", 1796490249, "05-12-2026 18:04:09"},
        {"2045-07-01 12:00:00", 2382516000, "01-07-2045 12:00:00"},  // summer time
        {"2045-01-01 12:00:00", 2366881200, "01-01-2045 12:00:00"},
        {"2100-03-01 12:00:00", 4107582000, "01-03-2100 12:00:00"},  // 2100 is no leap year
    };
    for (const auto& row : rows) {
        Decoded d(ItemAnswer("<C4><9><0><3>" + Txt("Clock") + "<0><" + row.sent + ">"));
        ASSERT_TRUE(d.Is(OBJTYPE_TYPEDATETIME)) << row.sent;
        auto* item = d.As<SetupItemTypeDateTime>();
        EXPECT_EQ(item->tCurValue, row.seconds) << row.sent;
        EXPECT_EQ(item->tNewValue, item->tCurValue) << row.sent;
        EXPECT_TRUE(
            d.Logged(std::string("Current Date / Time Value (dd/MM/yyyy HH:mm:ss):") + row.shown))
            << row.sent;
    }
    if (saved != nullptr) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(DecodeSetupItem, String) {
    Decoded d(
        ItemAnswer("<C4><10><0><4>" + Txt("Name") + "<0><1><20><0>" + Txt("abc") + Txt("xyz")));
    ASSERT_TRUE(d.Is(OBJTYPE_TYPESTRING));
    auto* item = d.As<SetupItemTypeString>();
    EXPECT_EQ(item->iMinLen, 1);
    EXPECT_EQ(item->iMaxLen, 20);
    EXPECT_STREQ(item->szDefValue, "abc");
    EXPECT_STREQ(item->szCurValue, "xyz");
    EXPECT_STREQ(item->szNewValue, "xyz");
    EXPECT_TRUE(d.Logged("DataMask can't be 0"));
    EXPECT_TRUE(d.Logged("Description : {0}"));
}

TEST(DecodeSetupItem, RefusedAnswers) {
    struct Bad {
        std::string answer;
        const char* message;
    } bad[] = {
        {ItemAnswer("<C4><8><0><2>" + Txt("D") + "<0><0><10><><5><6>"), "Extract StepValue Error"},
        {ItemAnswer("<C4><9><0><3>" + Txt("Clock") + "<0><0126-1x-05 18:04:09>"),
         "Extract Current Date / Time Value Error"},
        {ItemAnswer("<C4><9><0><3>" + Txt("Clock") + "<0><0126-12-05>"),
         "Extract Current Date / Time Value Error"},
        {ItemAnswer("<C4><9><0><3>" + Txt("Clock") + "<0>"), "Extract Current Date / Time Error"},
        {ItemAnswer("<C4><10><0><4>" + Txt("N") + "<0><x><20><1>" + Txt("a") + Txt("b")),
         "Extract MinLen Error"},
        {ItemAnswer("<C4><10><0><4>" + Txt("N") + "<0><1><x><1>" + Txt("a") + Txt("b")),
         "Extract MaxLen Error"},
        {ItemAnswer("<C4><10><0><4>" + Txt("N") + "<0><1><2><>" + Txt("a") + Txt("b")),
         "Extract DataMask Error"},
        {ItemAnswer("<C4><10><0><4>" + Txt("N") + "<0><1><2><1><a>" + Txt("b")),
         "Extract DefValue Error"},
        {ItemAnswer("<C4><10><0><4>" + Txt("N") + "<0><1><2><1>" + Txt("a")),
         "Extract CurValue Error"},
        {ItemAnswer("<C4><1><0><5>" + Txt("L")), "Extract Type Error"},
        {ItemAnswer("<C4><1><1><H,D,X><2><3><1>" + Txt("L") + "<0><0><0><0><0>"),
         "Link Params Error"},
        {ItemAnswer("<C4><1><1><>"), "Link Params Error"},
        {ItemAnswer("<C4><1><2><H><2><3>"), "FTYPE_VINT_VALUE Error"},
        {ItemAnswer("<C4><x>"), "FTYPE_VINT_VALUE Error"},
        {STX + "<C4><1><0><1>" + Txt("L") + "<0><0><0><0><0><1>" + ETX, "Checksum Error"},
        {ItemAnswer("<C4><1><0><1><L>"), "FTYPE_STRING_VALUE Error"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.answer);
        ExpectRefused(b.answer, b.message);
    }
}

TEST(DecodeSetupItem, LongTextsAreCut) {
    std::string longText(600, 'd');
    Decoded d(ItemAnswer("<C4><1><0><1>" + Txt(longText) + "<1>" + Txt(longText) + "<0><0><0>" +
                         "<1>" + Txt(longText)));
    auto* item = d.As<SetupItemTypeList>();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(strlen(item->szDescription), 511u);
    EXPECT_EQ(strlen(item->szAdditionalDescription), 511u);
    EXPECT_EQ(strlen(item->vItems.at(0).szText), 511u);
}

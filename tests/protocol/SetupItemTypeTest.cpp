#include <cstring>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/SetupItemTypeList.h"

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
    EXPECT_STREQ(item->szAdditionalDescription, "more");
    EXPECT_EQ(item->iCurrentValue, 12);
    ASSERT_EQ(item->vItems.size(), 3u);
    EXPECT_STREQ(item->vItems[2].szText, "fast");
    EXPECT_EQ(item->vItems[2].iValue, 12);
    ASSERT_EQ(item->vLinks.size(), 2u);
    EXPECT_EQ(item->vLinks[0]->iIDSource, 3);
    EXPECT_EQ(item->vLinks[0]->iLinkIDValue, 1);
    EXPECT_EQ(item->vLinks[0]->iViewOperation2, 2);  // "H,D"
    EXPECT_EQ(item->vLinks[1]->iViewOperation1, 2);  // "D"
    EXPECT_EQ(d.errors, 0u);
    EXPECT_TRUE(d.Logged("Type : PROT_TYPE_LIST"));
}

TEST(DecodeSetupItem, RefusedAnswers) {
    struct Bad {
        std::string answer;
        const char* message;
    } bad[] = {
        {ItemAnswer("<C4><8><0><2>" + Txt("D") + "<0><0><10><><5><6>"), "Extract StepValue Error"},
        {ItemAnswer("<C4><9><0><3>" + Txt("Clock") + "<0><0126-1x-05 18:04:09>"),
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

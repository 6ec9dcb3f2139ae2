#include <string>

#include "AnswerTestSupport.h"

namespace {

ProtocollFieldInfo* At(ProtocollFields& f, size_t i) { return f.vFields.at(i); }

int Parse(ProtocollFields& f, const std::string& answer) {
    std::vector<unsigned char> bytes = AnswerBytes(answer);
    return f.CreateFields(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

TEST(CreateFields, VersionAnswerGivesTypedFields) {
    ProtocollFields f;
    ASSERT_EQ(Parse(f, "\x02<C1><1.00>\x03"), 4);
    EXPECT_EQ(At(f, 0)->iFieldType, FTYPE_STX);
    EXPECT_EQ(At(f, 0)->ulByteSum, 2u);
    EXPECT_EQ(At(f, 1)->iFieldType, FTYPE_VCMDID_VALUE);
    EXPECT_STREQ(At(f, 1)->szText, "<C1>");
    EXPECT_EQ(At(f, 2)->iFieldType, FTYPE_VSTRING_VALUE);
    EXPECT_FLOAT_EQ(At(f, 2)->fValue, 1.0f);
    EXPECT_EQ(At(f, 2)->ulByteSum, static_cast<unsigned long>('<' + '1' + '.' + '0' + '0' + '>'));
    EXPECT_EQ(At(f, 3)->iFieldType, FTYPE_ETX);
    // A second call replaces the list.
    EXPECT_EQ(Parse(f, "\x02<C40>\x06\x03"), 4);
    EXPECT_EQ(At(f, 2)->iFieldType, FTYPE_ACK);
}

TEST(CreateFields, NumericTestDecidesIntOrString) {
    ProtocollFields f;
    ASSERT_EQ(Parse(f, "\x02<C1><5><-5><5.0>< 7><C12><>\x03"), 9);
    EXPECT_EQ(At(f, 2)->iFieldType, FTYPE_VINT_VALUE);
    EXPECT_EQ(At(f, 2)->iValue, 5);
    EXPECT_EQ(At(f, 3)->iFieldType, FTYPE_VSTRING_VALUE);
    EXPECT_FLOAT_EQ(At(f, 3)->fValue, -5.0f);
    EXPECT_EQ(At(f, 3)->iValue, 0);
    EXPECT_EQ(At(f, 4)->iFieldType, FTYPE_VSTRING_VALUE);
    EXPECT_FLOAT_EQ(At(f, 4)->fValue, 5.0f);
    EXPECT_EQ(At(f, 5)->iFieldType, FTYPE_VSTRING_VALUE);
    // A command tag only in second place.
    EXPECT_EQ(At(f, 6)->iFieldType, FTYPE_VSTRING_VALUE);
    EXPECT_EQ(At(f, 7)->iFieldType, FTYPE_EMPTY);
    EXPECT_EQ(At(f, 7)->pFieldData, nullptr);
    EXPECT_EQ(At(f, 7)->iFieldSize, 0);
    EXPECT_EQ(At(f, 7)->ulByteSum, 0u);
}

TEST(CreateFields, CommandTagShape) {
    ProtocollFields f;
    Parse(f, "\x02<C1234>\x03");
    EXPECT_EQ(At(f, 1)->iFieldType, FTYPE_VSTRING_VALUE);  // content longer than four
    Parse(f, "\x02<CX1>\x03");
    EXPECT_EQ(At(f, 1)->iFieldType, FTYPE_VSTRING_VALUE);
    Parse(f, "\x02<C138>\x03");
    EXPECT_EQ(At(f, 1)->iFieldType, FTYPE_VCMDID_VALUE);
    // Without STX the tag is the first field, not the second.
    Parse(f, "\x06<C1>");
    EXPECT_EQ(f.vFields.size(), 1u);
}

TEST(CreateFields, BinaryBlockKeepsEveryByte) {
    const std::string raw("\x02\x03\x00<>\x15", 6);
    const std::string block = "<DATABYTES>" + raw + "</DATABYTES>";
    ProtocollFields f;
    ASSERT_EQ(Parse(f, "\x02<C96><6>" + block + "<1>\x03"), 6);
    ProtocollFieldInfo* bin = At(f, 3);
    EXPECT_EQ(bin->iFieldType, FTYPE_VDATABYTES);
    ASSERT_EQ(bin->iFieldSize, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bin->pFieldData), 6), raw);
    unsigned long sum = 0;
    for (char c : block) sum += static_cast<unsigned char>(c);
    EXPECT_EQ(bin->ulByteSum, sum);
    EXPECT_EQ(bin->szText, nullptr);
    EXPECT_EQ(At(f, 4)->iValue, 1);
    // An empty block and a block whose bytes end like the marker's start.
    Parse(f, "\x02<C96><DATABYTES></DATABYTES><DATABYTES></DATABYTES</DATABYTES>\x03");
    EXPECT_EQ(At(f, 2)->iFieldSize, 0);
    EXPECT_EQ(At(f, 3)->iFieldSize, 11);
}

TEST(CreateFields, TextFieldsRunToTheZeroByte) {
    ProtocollFields f;
    ASSERT_EQ(Parse(f, std::string("\x02<C2><1>a<b>\x01"
                                   "c\0\x03",
                                   16)),
              5);
    ProtocollFieldInfo* text = At(f, 3);
    EXPECT_EQ(text->iFieldType, FTYPE_STRING_VALUE);
    EXPECT_EQ(text->iFieldSize, 7);
    EXPECT_STREQ(text->szText, "a<b> c");
    unsigned long sum = 'a' + '<' + 'b' + '>' + 1 + 'c';
    EXPECT_EQ(text->ulByteSum, sum);
    // A 00 byte outside a field starts a text field that runs to the next 00:
    // an empty text cannot stand on its own.
    ASSERT_EQ(Parse(f, std::string("\x02<C2><1>\0\0\x03", 11)), 5);
    EXPECT_EQ(At(f, 3)->iFieldSize, 2);
    EXPECT_STREQ(At(f, 3)->szText, "");
    EXPECT_EQ(Parse(f, std::string("\x02<C2><1>x\x03", 9)), 3);
}

TEST(CreateFields, FrameOpensAtFirstStxAndOpenFieldsAreDropped) {
    ProtocollFields f;
    // Bytes before the STX are skipped except the control bytes.
    ASSERT_EQ(Parse(f, "ab<C9>\x06\x15\x03\x02<C1><7"), 5);
    EXPECT_EQ(At(f, 0)->iFieldType, FTYPE_ACK);
    EXPECT_EQ(At(f, 1)->iFieldType, FTYPE_NACK);
    EXPECT_EQ(At(f, 2)->iFieldType, FTYPE_ETX);
    EXPECT_EQ(At(f, 3)->iFieldType, FTYPE_STX);
    // The command tag is not the second field here.
    EXPECT_EQ(At(f, 4)->iFieldType, FTYPE_VSTRING_VALUE);
    // Parsing goes on after ETX; an unclosed block is dropped.
    EXPECT_EQ(Parse(f, "\x02<C1>\x03<5><DATABYTES>xx"), 4);
    EXPECT_EQ(At(f, 3)->iValue, 5);
    EXPECT_EQ(f.CreateFields(nullptr, 5), 0);
}

TEST(CreateFields, LogsEveryField) {
    ProtocollFields f;
    std::string log =
        CaptureLog([&] { Parse(f, "\x02<C96><4><DATABYTES>abcd</DATABYTES>\x06\x03"); });
    EXPECT_NE(log.find("Found Field: Value CMD: <C96>"), std::string::npos);
    EXPECT_NE(log.find("Found Field: Value INT: <4>"), std::string::npos);
    EXPECT_NE(log.find("Found Field: Value BINARY: Size=4"), std::string::npos);
    EXPECT_NE(log.find(" -> [STX]"), std::string::npos);
    EXPECT_NE(log.find(" -> DATABYTES size 4"), std::string::npos);
    EXPECT_NE(log.find(" -> [ACK]"), std::string::npos);
    EXPECT_NE(log.find(" -> [ETX]"), std::string::npos);
    EXPECT_NE(log.find("Fields Found: End"), std::string::npos);
}

TEST(CheckAnswer, ErrorAnswersGiveThePrinterCode) {
    struct Case {
        const char* answer;
        bool error;
        int code;
    } cases[] = {
        {"\x02<C40>\x15<ERR3>\x03", true, 103},
        {"\x02<C40>\x15<ERR150>\x03", true, 150},
        {"\x02<C40>\x15<ERRX>\x03", true, 101},
        {"\x02<C40>\x15<ERR-100>\x03", true, 101},
        {"\x02<C40>\x15<ERR0>\x03", true, 100},
        {"\x02<C40>\x06\x03", false, -1},
        {"\x02<C40><36>\x03", false, -1},
        {"\x02<C40>", false, -1},
        {"\x02<C40>\x15<7>\x03", false, -1},
        {"\x02<C40>\x15", false, -1},
        {"<C40>\x15<ERR3>\x03", true, 13},
        {"\x02<X40>\x03", true, 13},
        {"\x02\x03", true, 13},
        {"", true, 13},
        {"\x06\x02<C40>\x15<ERR3>\x03", true, 13},
    };
    for (const Case& c : cases) {
        ProtocollFields f;
        Parse(f, c.answer);
        PrinterSetError err = -1;
        EXPECT_EQ(f.CheckAnswer(&err), c.error) << c.answer;
        EXPECT_EQ(err, c.code) << c.answer;
        EXPECT_EQ(f.CheckAnswer(), c.error);
    }
}

TEST(CheckAnswer, Messages) {
    ProtocollFields f;
    Parse(f, "\x02<C40>\x15<ERR7>\x03");
    std::string log = CaptureLog([&] { f.CheckAnswer(); });
    EXPECT_NE(log.find("Error Code 107 from printer (SW Code 107)"), std::string::npos);
    Parse(f, "\x06\x02<C40>\x03");
    log = CaptureLog([&] { f.CheckAnswer(); });
    EXPECT_NE(log.find("FTYPE_STX Error"), std::string::npos);
    Parse(f, "\x02\x06\x03");
    log = CaptureLog([&] { f.CheckAnswer(); });
    EXPECT_NE(log.find("Command ID Error"), std::string::npos);
    Parse(f, "\x02<C40>\x15<1>\x03");
    log = CaptureLog([&] { f.CheckAnswer(); });
    EXPECT_NE(log.find("Error Code Not OK"), std::string::npos);
}

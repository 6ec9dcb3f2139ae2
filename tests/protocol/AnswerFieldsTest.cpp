#include <string>

#include "AnswerTestSupport.h"

namespace {

ProtocollFieldInfo* At(ProtocollFields& f, size_t i) { return f.vFields.at(i); }

int Parse(ProtocollFields& f, const std::string& answer) {
    std::vector<unsigned char> bytes = AnswerBytes(answer);
    return f.CreateFields(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

// The kind of every field of an answer.
TEST(CreateFields, FieldKinds) {
    const int STX_ = FTYPE_STX, ETX_ = FTYPE_ETX, CMD = FTYPE_VCMDID_VALUE, INT = FTYPE_VINT_VALUE,
              STR = FTYPE_VSTRING_VALUE;
    const struct {
        std::string answer;
        std::vector<int> kinds;
    } rows[] = {
        {"\x02<C40>\x06\x03", {STX_, CMD, FTYPE_ACK, ETX_}},
        // Only digits make a number; a command tag only in second place.
        {"\x02<C1><5><-5><5.0>< 7><C12><>\x03",
         {STX_, CMD, INT, STR, STR, STR, STR, FTYPE_EMPTY, ETX_}},
        // A command tag has at most four characters, digits after the C.
        {"\x02<C1234>\x03", {STX_, STR, ETX_}},
        {"\x02<CX1>\x03", {STX_, STR, ETX_}},
        {"\x02<C138>\x03", {STX_, CMD, ETX_}},
        // Bytes before the STX are skipped except the control bytes; an open
        // field is dropped; parsing goes on after ETX.
        {"\x06<C1>", {FTYPE_ACK}},
        {"ab<C9>\x06\x15\x03\x02<C1><7", {FTYPE_ACK, FTYPE_NACK, ETX_, STX_, STR}},
        {"\x02<C1>\x03<5><DATABYTES>xx", {STX_, CMD, ETX_, INT}},
        // The block marker is found after a false start.
        {"\x02<C1><<DATABYTES>\x03</DATABYTES>\x03", {STX_, CMD, FTYPE_VDATABYTES, ETX_}},
    };
    for (const auto& row : rows) {
        ProtocollFields f;
        EXPECT_EQ(Parse(f, row.answer), static_cast<int>(row.kinds.size())) << row.answer;
        std::vector<int> kinds;
        for (const ProtocollFieldInfo* field : f.vFields) kinds.push_back(field->iFieldType);
        EXPECT_EQ(kinds, row.kinds) << row.answer;
    }
    ProtocollFields f;
    Parse(f, "\x02<C1><1.00><-5><>\x03");
    EXPECT_STREQ(At(f, 1)->szText, "<C1>");
    EXPECT_FLOAT_EQ(At(f, 2)->fValue, 1.0f);
    EXPECT_EQ(At(f, 2)->ulByteSum, static_cast<unsigned long>('<' + '1' + '.' + '0' + '0' + '>'));
    EXPECT_FLOAT_EQ(At(f, 3)->fValue, -5.0f);
    EXPECT_EQ(At(f, 4)->ulByteSum, 0u);
    Parse(f, "\x02<C1><5>\x03");  // a second call replaces the list
    EXPECT_EQ(At(f, 2)->iValue, 5);
    EXPECT_EQ(f.CreateFields(nullptr, 5), 0);
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

TEST(CreateFields, LogsEveryField) {
    ProtocollFields f;
    std::string log =
        CaptureLog([&] { Parse(f, "\x02<C96><4><DATABYTES>abcd</DATABYTES>\x06\x03"); });
    for (const char* line : {"Found Field: Value CMD: <C96>", "Found Field: Value INT: <4>",
                             "Found Field: Value BINARY: Size=4", " -> [STX]",
                             " -> DATABYTES size 4", " -> [ACK]", "Fields Found: End"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
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
    const std::pair<const char*, const char*> rows[] = {
        {"\x02<C40>\x15<ERR7>\x03", "Error Code 107 from printer (SW Code 107)"},
        {"\x06\x02<C40>\x03", "FTYPE_STX Error"},
        {"\x02\x06\x03", "Command ID Error"},
        {"\x02<C40>\x15<1>\x03", "Error Code Not OK"}};
    for (const auto& [answer, message] : rows) {
        Parse(f, answer);
        EXPECT_NE(CaptureLog([&] { f.CheckAnswer(); }).find(message), std::string::npos) << message;
    }
}

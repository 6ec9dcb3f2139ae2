#include <string>

#include "AnswerTestSupport.h"
#include "sim/core/AnswerEncoder.h"

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(AnswerEncoder, BytesOnTheWire) {
    EXPECT_EQ(AsText(AnswerEncoder::Error(40, 3)), "\x02<C40>\x15<ERR3>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::ProtocolVersion("1.00")), "\x02<C1><1.00>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::IDList(3, {10, 20})), "\x02<C3><2><10><20><83>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::ToolLines({"a", ""})),
              std::string("\x02<C81>\x06<2>a\0 \0\x03", 15));
    EXPECT_EQ(AsText(AnswerEncoder::ModuleFont({1, 2, 3})),
              "\x02<C96><3><DATABYTES>\x01\x02\x03</DATABYTES><68>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::UpgradeInfo("U3", "", 3, 12, 0)),
              "\x02<C112><U3><><3;12;0>\x03");
    EXPECT_EQ(AsText(AnswerEncoder::Tools(15, 0)), "\x02<C80><15><0>\x03");
    // An empty tag adds nothing to the checksum: '<' 'C' '3' '>' is 240.
    EXPECT_EQ(AsText(AnswerEncoder(3).Empty().Checksum().Finish()), "\x02<C3><><240>\x03");
    const uint8_t status[4] = {0, 1, 2, 3};
    EXPECT_EQ(AsText(AnswerEncoder::StatusBytes(status)),
              std::string("\x02<C138><DATABYTES>\x00\x01\x02\x03</DATABYTES>\x03", 35));
}

TEST(AnswerEncoder, ErrorAnswersPassTheCheck) {
    for (int code : {0, 3, 99, 150}) {
        std::vector<uint8_t> answer = AnswerEncoder::Error(96, code);
        ProtocollFields f;
        f.CreateFields(answer.data(), static_cast<int>(answer.size()));
        PrinterSetError err = 0;
        EXPECT_TRUE(f.CheckAnswer(&err));
        EXPECT_EQ(err, code < 100 ? code + 100 : code);
    }
}

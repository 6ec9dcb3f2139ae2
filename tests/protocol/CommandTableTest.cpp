#include <gtest/gtest.h>

#include <vector>

#include "protocol/Commands.h"
#include "protocol/ManageBuffers.h"

TEST(PopulateVectorWithData, AppendsInOrderAndIgnoresEmptyOrNegative) {
    std::vector<unsigned char> out{9};
    Commands::PopulateVectorWithData(Commands::Cmd_CommandGetGSI.data(), 3, &out);
    EXPECT_EQ(out, (std::vector<unsigned char>{9, 0x1D, 0x49, 0x01}));
    Commands::PopulateVectorWithData(Commands::Cmd_CommandGetGSI.data(), 0, &out);
    Commands::PopulateVectorWithData(Commands::Cmd_CommandGetGSI.data(), -4, &out);
    EXPECT_EQ(out.size(), 4u);
}

TEST(CalcChecksum, InclusiveRangeWithoutFolding) {
    const unsigned char buf[] = {0xFF, 0xFF, 0x02, 0x10};
    EXPECT_EQ(ManageBuffers::CalcChecksum(buf, 0, 3), 0x210u);
    EXPECT_EQ(ManageBuffers::CalcChecksum(buf, 2, 2), 0x02u);
    EXPECT_EQ(ManageBuffers::CalcChecksum(buf, 3, 2), 0u);
}

TEST(GetBufferPosition, RestartsAfterPartialMatchAndRespectsBounds) {
    const auto* text = reinterpret_cast<const unsigned char*>("<<DATABYTES>");
    const auto* marker = Commands::Cmd_DataBytesBegin.data();
    EXPECT_EQ(ManageBuffers::GetBufferPosition(text, 12, 0, marker, 11), 1);
    EXPECT_EQ(ManageBuffers::GetBufferPosition(text, 12, 2, marker, 11), -1);
    EXPECT_EQ(ManageBuffers::GetBufferPosition(text, 12, 12, marker, 11), -1);
    // A pattern that would end past len is not found.
    EXPECT_EQ(ManageBuffers::GetBufferPosition(text, 11, 0, marker, 11), -1);
    const unsigned char answer[] = {0x02, 'A', 0x03, 'B', 0x03};
    const unsigned char etx[] = {0x03};
    EXPECT_EQ(ManageBuffers::GetBufferPosition(answer, 5, 0, etx, 1), 2);
    EXPECT_EQ(ManageBuffers::GetBufferPosition(answer, 5, 3, etx, 1), 4);
    EXPECT_EQ(ManageBuffers::GetBufferPosition(answer, 5, -1, etx, 1), -1);
}

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/ManageBuffers.h"

namespace {

template <size_t N>
std::vector<unsigned char> V(const Commands::Bytes<N>& bytes) {
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

template <size_t N>
unsigned SumLow8(const Commands::Bytes<N>& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFFu;
}

}  // namespace

TEST(CommandTable, RequestsAreTheBareBytes) {
    EXPECT_EQ(V(Commands::Cmd_CommandGetProtVer), (std::vector<unsigned char>{0x1F, 0xFF, 0x01}));
    EXPECT_EQ(V(Commands::Cmd_CommandSetESCPOSforSV),
              (std::vector<unsigned char>{0x1C, '<', 'E', 'P', 'O', 'S', '>'}));
    EXPECT_EQ(Commands::Cmd_DataBytesBegin.size(), 11u);
    EXPECT_EQ(Commands::Cmd_DataBytesEnd.size(), 12u);
    EXPECT_EQ(memcmp(Commands::Cmd_DataBytesEnd.data(), "</DATABYTES>", 12), 0);
    // 00 00 80 00 is 32768, the size of an anti-tamper image.
    const auto& start = Commands::Cmd_TamperUpgrade_Start;
    EXPECT_EQ((start[2] << 24) | (start[3] << 16) | (start[4] << 8) | start[5], 32768);
}

TEST(CommandTable, BootModePacketsSumToZero) {
    EXPECT_EQ(SumLow8(Commands::Cmd_DeviceSelection), 0u);
    EXPECT_EQ(SumLow8(Commands::Cmd_ClockModeSelection), 0u);
    EXPECT_EQ(SumLow8(Commands::Cmd_BitRateSelecion), 0u);
    EXPECT_EQ(SumLow8(Commands::Cmd_TerminateProgramming), 0u);
    // The size byte counts the payload between itself and the checksum.
    EXPECT_EQ(Commands::Cmd_DeviceSelection[1], Commands::Cmd_DeviceSelection.size() - 3);
    EXPECT_EQ(Commands::Cmd_BitRateSelecion[1], Commands::Cmd_BitRateSelecion.size() - 3);
}

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

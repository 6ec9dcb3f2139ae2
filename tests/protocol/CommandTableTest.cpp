#include <gtest/gtest.h>

#include <vector>

#include "protocol/Commands.h"
#include "protocol/ManageBuffers.h"

namespace {

template <size_t N>
std::vector<unsigned char> V(const Commands::Bytes<N>& bytes) {
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

}  // namespace

// Every request and marker of the table, written out by hand: a wrong byte
// in the table fails here even where the simulated printer shares it.
TEST(CommandTable, EveryRequestIsItsBytes) {
    using B = std::vector<unsigned char>;
#define ROW(name, ...)                              \
    {                                               \
#name, V(Commands::name), B { __VA_ARGS__ } \
    }
    const struct {
        const char* name;
        B actual;
        B expected;
    } rows[] = {
        ROW(Cmd_CommandGetProtVer, 0x1F, 0xFF, 0x01),
        ROW(Cmd_CommandGetHeaderSetup, 0x1F, 0xFF, 0x02),
        ROW(Cmd_CommandGetIDList, 0x1F, 0xFF, 0x03),
        ROW(Cmd_CommandGetIDInfo, 0x1F, 0xFF, 0x04),
        ROW(Cmd_CommandSetIDValue, 0x1F, 0xFF, 0x05),
        ROW(Cmd_CommandSetAllValuesOnPrinter, 0x1F, 0xFF, 0x06),
        ROW(Cmd_CommandPrnReset, 0x1F, 0xFF, 0x07),
        ROW(Cmd_CommandGetPrnLifeInfo, 0x1F, 0xFF, 0x20),
        ROW(Cmd_CommandGetPrnDeviceInfo, 0x1F, 0xFF, 0x21),
        ROW(Cmd_CommandGetPrnHeadInfo, 0x1F, 0xFF, 0x23),
        ROW(Cmd_CommandDataAvailable, 0x1F, 0xFF, 0x28),
        ROW(Cmd_CommandGetLogosType, 0x1F, 0xFF, 0x30),
        ROW(Cmd_CommandGetLogosIDList, 0x1F, 0xFF, 0x31),
        ROW(Cmd_CommandGetIDLogo, 0x1F, 0xFF, 0x32),
        ROW(Cmd_CommandSetIDLogo, 0x1F, 0xFF, 0x33),
        ROW(Cmd_CommandPrintPreviewLogo, 0x1F, 0xFF, 0x34),
        ROW(Cmd_DeleteLogo, 0x1F, 0xFF, 0x35),
        ROW(Cmd_DeleteAllLogos, 0x1F, 0xFF, 0x36),
        ROW(Cmd_CommandModulesList, 0x1F, 0xFF, 0x40),
        ROW(Cmd_CommandToolsSupported, 0x1F, 0xFF, 0x50),
        ROW(Cmd_CommandToolsExec, 0x1F, 0xFF, 0x51),
        ROW(Cmd_CommandModuleFont, 0x1F, 0xFF, 0x60),
        ROW(Cmd_CommandUpgradeInfo, 0x1F, 0xFF, 0x70),
        ROW(Cmd_GetGenStatusInfo, 0x1F, 0xFF, 0x80),
        ROW(Cmd_GetExtStatusInfo, 0x1F, 0xFF, 0x81),
        ROW(Cmd_GetPrinterStatusGen, 0x1F, 0xFF, 0x8A),
        ROW(Cmd_GetPrinterStatusExt, 0x1F, 0xFF, 0x8B),
        ROW(Cmd_CommandGetGSI, 0x1D, 0x49, 0x01),
        ROW(Cmd_CommandGetGSIFF, 0x1D, 0x49, 0xFF),
        ROW(Cmd_CommandGetFWREL, 0x1D, 0x49, 0x03),
        ROW(Cmd_CommandSetESCPOSforSV, 0x1C, '<', 'E', 'P', 'O', 'S', '>'),
        ROW(Cmd_CommandCAN, 0x18),
        ROW(Cmd_USB0GetPrinterStatusGen, 0xD0, 0x8A, 0x00),
        ROW(Cmd_USB0GetPrinterStatusExt, 0xD0, 0x8B, 0x00),
        ROW(Cmd_NETUDPGetPrinterStatusGen, 0xD0, 0x8A),
        ROW(Cmd_NETUDPGetPrinterStatusExt, 0xD0, 0x8B),
        ROW(Cmd_TamperUpgrade_Start, 0x1C, 0xFD, 0x00, 0x00, 0x80, 0x00),
        ROW(Cmd_TamperUpgrade_End, 0x1C, 0xFF),
        ROW(Cmd_AutomaticAdjustmentBitRate, 0x55),
        ROW(Cmd_ProgrammingSizeInquiry, 0x27),
        ROW(Cmd_DeviceSelection, 0x10, 0x04, 0x37, 0x36, 0x30, 0x38, 0x17),
        ROW(Cmd_ClockModeSelection, 0x11, 0x01, 0x00, 0xEE),
        ROW(Cmd_UserAreaInformationInquiry, 0x25),
        ROW(Cmd_BitRateSelecion, 0x3F, 0x07, 0x00, 0x00, 0x04, 0xB0, 0x02, 0x08, 0x04, 0xF8),
        ROW(Cmd_Confirmation, 0x06),
        ROW(Cmd_ProgrammingErasureStateTransition, 0x40),
        ROW(Cmd_BootProgramStatusInquiry, 0x4F),
        ROW(Cmd_UserAreaBlankCheck, 0x4D),
        ROW(Cmd_DataAreaBlankCheck, 0x62),
        ROW(Cmd_AreaProgrammingSelection, 0x43),
        ROW(Cmd_TerminateProgramming, 0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4),
        ROW(Cmd_LockBitEnable, 0x7A),
        ROW(Cmd_GetRelease, 0x32),
        ROW(Cmd_SaveSecurity, 0x33),
        ROW(Cmd_SaveSecurityNew, 0x34),
        ROW(Cmd_Reset, 0x31),
        ROW(Cmd_STX, 0x02),
        ROW(Cmd_ETX, 0x03),
        ROW(Cmd_ACK, 0x06),
        ROW(Cmd_NACK, 0x15),
        ROW(Cmd_STField, '<'),
        ROW(Cmd_ETField, '>'),
        ROW(Cmd_ETString, 0x00),
        ROW(Cmd_DataBytesBegin, '<', 'D', 'A', 'T', 'A', 'B', 'Y', 'T', 'E', 'S', '>'),
        ROW(Cmd_DataBytesEnd, '<', '/', 'D', 'A', 'T', 'A', 'B', 'Y', 'T', 'E', 'S', '>'),
    };
#undef ROW
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected) << row.name;
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

#include <ctime>
#include <string>

#include "AnswerTestSupport.h"
#include "protocol/Commands.h"
#include "protocol/ProtocollVersion.h"
#include "protocol/ToolsData.h"

namespace {

std::string AsText(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(ToolsTable, TimeoutsAndMasks) {
    EXPECT_EQ(ToolsData::GetToolTimeout(1, 5), 120000);
    EXPECT_EQ(ToolsData::GetToolTimeout(1, 1), 20000);
    EXPECT_EQ(ToolsData::GetToolTimeout(1, 7), 5000);
    EXPECT_EQ(ToolsData::GetToolTimeout(2, 1), 1000);
    EXPECT_EQ(ToolsData::GetToolTimeout(1, 8), 1000);
    EXPECT_EQ(ToolsData::GetToolTimeout(1, 0), 1000);
    EXPECT_EQ(ToolsData::FromIntToToolMask(1), 1u);
    EXPECT_EQ(ToolsData::FromIntToToolMask(6), 32u);
    EXPECT_EQ(ToolsData::FromIntToToolMask(33), 1u);
}

TEST(ToolsTable, SupportedTools) {
    ToolsData tools;
    tools.uiToolsMask1 = 0x0F;
    tools.uiToolsMask2 = 0x10;
    EXPECT_TRUE(tools.IsRequestedToolSupported(1, 8));
    EXPECT_FALSE(tools.IsRequestedToolSupported(1, 16));
    EXPECT_TRUE(tools.IsRequestedToolSupported(2, 16));
    EXPECT_FALSE(tools.IsRequestedToolSupported(3, 8));
    EXPECT_FALSE(tools.IsRequestedToolSupported(0, 0xFFFFFFFF));
}

TEST(ExecToolRequest, Layout) {
    ProtocollVersion v100(100), v101(101);
    std::tm when{};
    strptime("2026-12-05 18:04:09", "%Y-%m-%d %H:%M:%S", &when);
    EXPECT_TRUE(Commands::GetCommand_ExecTool(&v101, 1, 1, nullptr, -1, when).empty());
    EXPECT_TRUE(Commands::GetCommand_ExecTool(nullptr, 1, 1, nullptr, -1, when).empty());
    EXPECT_EQ(AsText(Commands::GetCommand_ExecTool(&v100, 1, 1, nullptr, -1, when)),
              "\x1F\xFF\x51<1><1>");
    EXPECT_EQ(AsText(Commands::GetCommand_ExecTool(&v100, 1, 8, nullptr, -1, when)),
              "\x1F\xFF\x51<1><8><051226180409>");
    const unsigned char file[] = {0x00, 0x3E, 0xFF};
    EXPECT_EQ(AsText(Commands::GetCommand_ExecTool(&v100, 1, 32, file, 3, when)),
              std::string("\x1F\xFF\x51<1><32><3>\x00\x3E\xFF", 16));
    EXPECT_EQ(AsText(Commands::GetCommand_ExecTool(&v100, 1, 32, file, -1, when)),
              "\x1F\xFF\x51<1><32><-1>");
    EXPECT_EQ(AsText(Commands::GetCommand_ExecTool(&v100, 2, 4294967295u, file, 3, when)),
              "\x1F\xFF\x51<2><4294967295>");
}

TEST(ExecToolRequest, DateFieldOfTheCurrentTimeHasTwelveDigits) {
    ProtocollVersion v100(100);
    std::string request = AsText(Commands::GetCommand_ExecTool(&v100, 1, 8, nullptr, -1));
    ASSERT_EQ(request.size(), 3u + 6u + 14u);
    EXPECT_EQ(request.substr(3, 7), "<1><8><");
    EXPECT_EQ(request.back(), '>');
    EXPECT_EQ(request.find_first_not_of("0123456789", 10), request.size() - 1);
}

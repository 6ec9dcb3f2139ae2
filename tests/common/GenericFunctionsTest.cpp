#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/GenericFunctions.h"
#include "tests/support/TempDir.h"

using testsupport::TempDir;

namespace {
const unsigned char* Bytes(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}
}  // namespace

TEST(ParseCheckInt, AcceptanceRules) {
    int32_t v = 0;
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("", v));
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("abc", v));
    ASSERT_TRUE(GenericFunctions::ParseCheckInt(" 42x", v));
    EXPECT_EQ(v, 42);
    ASSERT_TRUE(GenericFunctions::ParseCheckInt("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("99999999999999999999999", v));
    EXPECT_EQ(GenericFunctions::ParseInt("x", 5), 5);
}

TEST(ParseFloat, DefaultOnNothingOrOverflow) {
    EXPECT_FLOAT_EQ(GenericFunctions::ParseFloat(" 2.5mm", 0.f), 2.5f);
    EXPECT_FLOAT_EQ(GenericFunctions::ParseFloat("mm", 7.f), 7.f);
    EXPECT_FLOAT_EQ(GenericFunctions::ParseFloat("1e99", 7.f), 7.f);
}

TEST(IsaNumericField, DigitsAndAngleBracketsOnly) {
    EXPECT_TRUE(GenericFunctions::IsaNumericField(Bytes("<123>"), 5));
    EXPECT_FALSE(GenericFunctions::IsaNumericField(Bytes("12a"), 3));
    EXPECT_FALSE(GenericFunctions::IsaNumericField(Bytes("-5"), 2));
    // Only the given length counts.
    EXPECT_TRUE(GenericFunctions::IsaNumericField(Bytes("12a"), 2));
}

TEST(ExtractIntFromString, SkipsNonDigitsIncludingMinusAndStopsAtMax) {
    int32_t values[3] = {};
    EXPECT_EQ(GenericFunctions::ExtractIntFromString("v1.-20/300:4", values, 3), 3u);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 20);
    EXPECT_EQ(values[2], 300);
    // A run of digits too long for a number saturates rather than wrapping.
    EXPECT_EQ(GenericFunctions::ExtractIntFromString("123456789012345", values, 1), 1u);
    EXPECT_EQ(values[0], INT32_MAX);
}

TEST(TextEditing, InPlaceRemovalAndUpperCase) {
    char text[] = "a-b--c";
    GenericFunctions::RemovecharsFromString(text, '-');
    EXPECT_STREQ(text, "abc");

    char nested[] = "xaabby";  // removing "ab" leaves "ab" again, which goes too
    GenericFunctions::RemoveStrFromString(nested, "ab");
    EXPECT_STREQ(nested, "xy");
    GenericFunctions::RemoveStrFromString(nested, "");  // an empty text to remove: no endless loop
    EXPECT_STREQ(nested, "xy");
}

TEST(ConvertBufferToStringAndClean, PrintableKeptControlBlankedZeroEnds) {
    const unsigned char source[] = {'x', 'A', 0x01, 'B', 0x7f, 'C', 0x00, 'D'};
    char out[16];
    GenericFunctions::ConvertBufferToStringAndClean(out, sizeof(out), source, sizeof(source), 1, 7);
    EXPECT_STREQ(out, "A B C");
    // The destination size bounds the copy and the text stays terminated.
    char small[3];
    GenericFunctions::ConvertBufferToStringAndClean(small, sizeof(small), source, sizeof(source), 0,
                                                    8);
    EXPECT_STREQ(small, "xA");
    // Offsets past the source give an empty text, not a read outside it.
    GenericFunctions::ConvertBufferToStringAndClean(out, sizeof(out), source, sizeof(source), 20,
                                                    4);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GenericFunctions::ConvertBufferToStringAndClean(source, 6), "xA B C");
}

TEST(MsbIndex, CountsFromOneAndZeroIsOne) {
    EXPECT_EQ(GenericFunctions::GetMSBIndexFromUInt(0), 1u);
    EXPECT_EQ(GenericFunctions::GetMSBIndexFromUInt(1), 1u);
    EXPECT_EQ(GenericFunctions::GetMSBIndexFromUInt(256), 9u);
    EXPECT_EQ(GenericFunctions::GetMSBIndexFromUInt(0xFFFFFFFFu), 32u);
}

TEST(Searching, MatchesNeverOverlapAndStayInRange) {
    const char* text = "aaaa";
    EXPECT_EQ(GenericFunctions::FindString(Bytes(text), 4, "aa"), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(GenericFunctions::FindString(Bytes(text), 4, 1, "aa"), (std::vector<int32_t>{1}));
    // A match that would end past the length is not reported.
    EXPECT_TRUE(GenericFunctions::FindString(Bytes("xxab"), 3, "ab").empty());
}

TEST(ISVirtualCOM, OnlyTheVirtualPortDriverCounts) {
    TempDir sys;
    std::string root = sys.path() + "/";
    auto makeTty = [&](const std::string& name, const std::string& driver) {
        std::string target = sys.path() + "/devices/" + name;
        ASSERT_EQ(system(("mkdir -p " + target + "/drv/" + driver).c_str()), 0);
        ASSERT_EQ(mkdir((root + name).c_str(), 0755), 0);
        ASSERT_EQ(symlink(target.c_str(), (root + name + "/device").c_str()), 0);
        ASSERT_EQ(symlink((target + "/drv/" + driver).c_str(), (target + "/driver").c_str()), 0);
    };
    makeTty("ttyACM0", "vrvcom");
    makeTty("ttyUSB0", "ftdi_sio");
    EXPECT_TRUE(GenericFunctions::ISVirtualCOM("/dev/ttyACM0", root.c_str()));
    EXPECT_TRUE(GenericFunctions::ISVirtualCOM("ttyACM0", root.c_str()));
    EXPECT_FALSE(GenericFunctions::ISVirtualCOM("/dev/ttyUSB0", root.c_str()));
    EXPECT_FALSE(GenericFunctions::ISVirtualCOM("/dev/ttyS9", root.c_str()));
    // A device entry that is not a link does not count.
    ASSERT_EQ(mkdir((root + "ttyS1").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "ttyS1/device").c_str(), 0755), 0);
    EXPECT_FALSE(GenericFunctions::ISVirtualCOM("/dev/ttyS1", root.c_str()));
}

TEST(Clock, MillisecondsAdvance) {
    uint64_t first = GenericFunctions::GetCurrentTimeMsec();
    usleep(20000);
    uint64_t second = GenericFunctions::GetCurrentTimeMsec();
    EXPECT_GE(second - first, 15u);
    EXPECT_LT(second - first, 5000u);
}

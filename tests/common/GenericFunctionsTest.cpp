#include "common/GenericFunctions.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ParseCheckInt, AcceptanceRules) {
    int32_t v = 0;
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("", v));
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("abc", v));
    ASSERT_TRUE(GenericFunctions::ParseCheckInt(" 42", v));
    EXPECT_EQ(v, 42);
    ASSERT_TRUE(GenericFunctions::ParseCheckInt("42x", v));
    EXPECT_EQ(v, 42);
    ASSERT_TRUE(GenericFunctions::ParseCheckInt("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_FALSE(GenericFunctions::ParseCheckInt("99999999999999999999999", v));
}

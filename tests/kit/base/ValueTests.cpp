// SPDX-License-Identifier: MIT
#include "kit/base/Value.h"

#include <gtest/gtest.h>
#include <limits>

using kit::Value;

TEST(Value, KeyPathWalksDictionariesAndMissingComponentsAreNull)
{
    kit::Dict battery { { "Audio Playback", "40" }, { "Talk", kit::Dict { { "Value", "14" } } } };
    Value model = kit::Dict { { "BatteryLife", battery }, { "Name", "Phone" } };
    EXPECT_EQ(model.valueForKeyPath("BatteryLife.Audio Playback"), Value("40"));
    EXPECT_EQ(model.valueForKeyPath("BatteryLife.Talk.Value"), Value("14"));
    EXPECT_TRUE(model.valueForKeyPath("BatteryLife.Standby").isNull());
    EXPECT_TRUE(model.valueForKeyPath("Name.Value").isNull());
    EXPECT_TRUE(model.valueForKeyPath("").isNull());
}

TEST(Value, NumberReadingFollowsLeadingNumberRules)
{
    struct Case {
        const char* text;
        double asDouble;
        int asInt;
    } cases[] = {
        { "  42", 42, 42 },
        { "-3.75e2x", -375, -3 },
        { "+.5", 0.5, 0 },
        { "12 hours", 12, 12 },
        { "abc", 0, 0 },
        { "", 0, 0 },
        { "1e", 1, 1 },
        { "- 4", 0, 0 },
        { "\t\n7.9", 7.9, 7 },
    };
    for (auto& c : cases) {
        EXPECT_DOUBLE_EQ(Value(c.text).doubleValue(), c.asDouble) << c.text;
        EXPECT_EQ(Value(c.text).intValue(), c.asInt) << c.text;
    }
    EXPECT_EQ(Value("99999999999").intValue(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Value("-99999999999").intValue(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Value("99999999999").longLongValue(), 99999999999LL);
    EXPECT_EQ(Value(-2.9).intValue(), -2);
    EXPECT_EQ(Value(kit::Array {}).doubleValue(), 0.0);
}

TEST(Value, EqualityIsDeepAndNumeric)
{
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_EQ(Value(kit::Date(5)), Value(kit::Date(5)));
    Value a = kit::Array { 1, "x", kit::Dict { { "k", kit::Array { true } } } };
    Value b = kit::Array { 1, "x", kit::Dict { { "k", kit::Array { true } } } };
    EXPECT_EQ(a, b);
    b.asArray()->push_back(Value());
    EXPECT_NE(a, b);
}

// SPDX-License-Identifier: MIT
#include "kit/base/JSON.h"

#include <gtest/gtest.h>
#include <limits>

TEST(JSON, NumbersStayNumbersAndTextIsEscaped)
{
    kit::Value value
        = kit::Dict { { "a", 1 }, { "b", 0.25 }, { "c", "x\"y\\z\n\x01" }, { "d", kit::Array { true, kit::Value() } },
              { "e", std::numeric_limits<double>::infinity() }, { "f", kit::Date::fromUnix(10) } };
    EXPECT_EQ(kit::toJSON(value), R"({"a":1,"b":0.25,"c":"x\"y\\z\n\u0001","d":[true,null],"e":null,"f":10})");
    EXPECT_EQ(kit::toJSON(kit::Dict {}), "{}");
    EXPECT_EQ(kit::toJSON(kit::Dict { { "k", kit::Array {} } }, true), "{\n  \"k\": []\n}");
}

// An interface named with bytes that are not UTF-8 once made the whole output unreadable to a
// JSON parser.
TEST(JSON, BytesThatAreNotUTF8BecomeReplacementCharactersInKeysAndStrings)
{
    kit::Value value = kit::Dict { { "eth\xff", kit::Array { "caf\xe9", "ok \xc3\xa9", "\xed\xa0\x80" } } };
    EXPECT_EQ(kit::toJSON(value),
        "{\"eth\xEF\xBF\xBD\":[\"caf\xEF\xBF\xBD\",\"ok \xc3\xa9\",\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"]}");
}

// SPDX-License-Identifier: MIT
#include "app/specs/DataKeeper.h"

#include <gtest/gtest.h>

namespace {

const kit::TextAttributes kFirst { nullptr, kit::Color(1, 0, 0, 1) };
const kit::TextAttributes kSecond { nullptr, kit::Color(0, 0, 1, 1) };

struct Expected {
    std::string text;
    const kit::TextAttributes* attributes;
};

void expectRuns(const kit::AttributedString& result, const std::vector<Expected>& expected)
{
    ASSERT_EQ(result.runs().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(result.runs()[i].text, expected[i].text) << "run " << i;
        EXPECT_TRUE(result.runs()[i].attributes == *expected[i].attributes) << "run " << i;
    }
}

TEST(ComposeMultiString, DividerOnlyBetweenTwoNonEmptyParts)
{
    expectRuns(DataKeeper::composeMultiString("iPad Pro", "12.9-inch", " ", kFirst, kSecond),
        { { "iPad Pro", &kFirst }, { " ", &kFirst }, { "12.9-inch", &kSecond } });
    expectRuns(DataKeeper::composeMultiString("", "Multi-core", "\n", kFirst, kSecond),
        { { "", &kFirst }, { "", &kFirst }, { "Multi-core", &kSecond } });
    expectRuns(DataKeeper::composeMultiString("iPhone 6", "", " ", kFirst, kSecond),
        { { "iPhone 6", &kFirst }, { "", &kFirst }, { "", &kSecond } });
    expectRuns(DataKeeper::composeMultiString("", "", " ", kFirst, kSecond),
        { { "", &kFirst }, { "", &kFirst }, { "", &kSecond } });
}

TEST(ComposeMultiString, TextReadsAsThePartsJoined)
{
    EXPECT_EQ(DataKeeper::composeMultiString("1.4 GHz", "Apple A8", "\n", kFirst, kSecond).string(), "1.4 GHz\nApple A8");
    EXPECT_EQ(DataKeeper::composeMultiString("", "Apple A8", "\n", kFirst, kSecond).string(), "Apple A8");
    EXPECT_EQ(DataKeeper::composeMultiString("1.4 GHz", "", "\n", kFirst, kSecond).string(), "1.4 GHz");
    // A multi-character divider is kept whole.
    EXPECT_EQ(DataKeeper::composeMultiString("a", "b", " – ", kFirst, kSecond).string(), "a – b");
}

} // namespace

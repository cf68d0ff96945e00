// SPDX-License-Identifier: MIT
#include "kit/base/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using kit::ComparisonResult;

namespace {

std::vector<std::string> sortedBy(std::vector<std::string> items, ComparisonResult (*compare)(std::string_view, std::string_view))
{
    std::stable_sort(items.begin(), items.end(),
        [&](const std::string& a, const std::string& b) { return compare(a, b) == ComparisonResult::Ascending; });
    return items;
}

ComparisonResult localizedEnglish(std::string_view a, std::string_view b)
{
    return kit::localizedCaseInsensitiveCompare(a, b, "en_US");
}

} // namespace

TEST(Strings, CaseInsensitiveCompareFoldsCaseButNothingElse)
{
    EXPECT_EQ(kit::caseInsensitiveCompare("a", "B"), ComparisonResult::Ascending);
    EXPECT_EQ(kit::caseInsensitiveCompare("B", "a"), ComparisonResult::Descending);
    EXPECT_EQ(kit::caseInsensitiveCompare("iPhone", "IPHONE"), ComparisonResult::Same);
    // Not numeric: digits compare one by one.
    EXPECT_EQ(kit::caseInsensitiveCompare("iPhone10", "iPhone2"), ComparisonResult::Ascending);
    // Full folding: ß folds to "ss".
    EXPECT_EQ(kit::caseInsensitiveCompare("Straße", "STRASSE"), ComparisonResult::Same);
    EXPECT_EQ(kit::caseInsensitiveCompare("ÄRGER", "ärger"), ComparisonResult::Same);
    // Not locale-aware: ä is after z by its code point.
    EXPECT_EQ(kit::caseInsensitiveCompare("ä", "z"), ComparisonResult::Descending);
    EXPECT_EQ(kit::caseInsensitiveCompare("app", "Apple"), ComparisonResult::Ascending);
    EXPECT_EQ(kit::caseInsensitiveCompare("", "a"), ComparisonResult::Ascending);
    EXPECT_EQ(kit::caseInsensitiveCompare("", ""), ComparisonResult::Same);
    // Broken UTF-8 is compared, not crashed on.
    EXPECT_EQ(kit::caseInsensitiveCompare("\xff", "\xfe"), ComparisonResult::Same);
    EXPECT_EQ(kit::caseInsensitiveCompare("a\xff", "b"), ComparisonResult::Ascending);

    auto keys = sortedBy({ "iPhone2", "ipad", "iPhone10", "iPod5,1", "Watch", "iphone1" }, kit::caseInsensitiveCompare);
    EXPECT_EQ(keys, (std::vector<std::string> { "ipad", "iphone1", "iPhone10", "iPhone2", "iPod5,1", "Watch" }));
}

TEST(Strings, LocalizedCompareFollowsTheLocaleAtSecondaryStrength)
{
    EXPECT_EQ(localizedEnglish("a", "B"), ComparisonResult::Ascending);
    EXPECT_EQ(localizedEnglish("ABC", "abc"), ComparisonResult::Same);
    // Accents are a secondary difference: ordered, but after the base letter.
    EXPECT_EQ(localizedEnglish("ä", "b"), ComparisonResult::Ascending);
    EXPECT_EQ(localizedEnglish("a", "ä"), ComparisonResult::Ascending);
    EXPECT_EQ(localizedEnglish("Ä", "ä"), ComparisonResult::Same);
    EXPECT_EQ(localizedEnglish("iPhone10", "iPhone2"), ComparisonResult::Ascending);
    // Swedish puts ä after z.
    EXPECT_EQ(kit::localizedCaseInsensitiveCompare("ä", "z", "sv_SE"), ComparisonResult::Descending);
    EXPECT_EQ(kit::localizedCaseInsensitiveCompare("ä", "z", "de_DE"), ComparisonResult::Ascending);

    auto names = sortedBy({ "Zeta", "äpfel", "Apfel", "banane", "Éclair", "eclair" }, localizedEnglish);
    EXPECT_EQ(names, (std::vector<std::string> { "Apfel", "äpfel", "banane", "eclair", "Éclair", "Zeta" }));
}

TEST(Strings, LocalizedCompareUsesTheEnvironmentAndNotPosixCodePointOrder)
{
    const char* saved = std::getenv("LC_ALL");
    std::string restore = saved ? saved : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    // en_US_POSIX would order ä after b by code point.
    EXPECT_EQ(kit::localizedCaseInsensitiveCompare("ä", "b"), ComparisonResult::Ascending);
    EXPECT_EQ(kit::localizedCaseInsensitiveCompare("a", "B"), ComparisonResult::Ascending);
    setenv("LC_ALL", "sv_SE.UTF-8", 1);
    EXPECT_EQ(kit::localizedCaseInsensitiveCompare("ä", "z"), ComparisonResult::Descending);
    if (saved)
        setenv("LC_ALL", restore.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(Strings, PercentEncodingEscapesOutsideTheAllowedSet)
{
    const std::string text = "a b&c=d/é?#%~";
    EXPECT_EQ(kit::percentEncode(text, kit::CharacterSet::urlHostAllowed()), "a%20b&c=d%2F%C3%A9%3F%23%25~");
    EXPECT_EQ(kit::percentEncode(text, kit::CharacterSet::unreserved()), "a%20b%26c%3Dd%2F%C3%A9%3F%23%25~");
    EXPECT_EQ(kit::percentEncode(text, kit::CharacterSet::urlQueryAllowed()), "a%20b&c=d/%C3%A9?%23%25~");
    EXPECT_EQ(kit::percentEncode(text, kit::CharacterSet::urlPathAllowed()), "a%20b&c=d/%C3%A9%3F%23%25~");
    EXPECT_EQ(kit::percentEncode("x y", kit::CharacterSet::unreserved().adding(" ")), "x y");
    EXPECT_EQ(kit::percentEncode("a-b", kit::CharacterSet::unreserved().removing("-")), "a%2Db");
    EXPECT_EQ(kit::percentEncode("", kit::CharacterSet()), "");
    EXPECT_EQ(kit::percentEncode(std::string("\0\x7f", 2), kit::CharacterSet()), "%00%7F");
    // Non-ASCII bytes can never be allowed through.
    EXPECT_EQ(kit::percentEncode("é", kit::CharacterSet("é")), "%C3%A9");
}

TEST(Strings, PercentDecodingRoundTripsAndRejectsBrokenEscapes)
{
    const std::string text = "Grüße & more = 100% / ?";
    auto encoded = kit::percentEncode(text, kit::CharacterSet::unreserved());
    EXPECT_EQ(kit::percentDecode(encoded), text);
    EXPECT_EQ(kit::percentDecode("a+b%2b%2B"), "a+b++");
    EXPECT_EQ(kit::percentDecode(""), "");
    for (const char* bad : { "%", "%4", "abc%", "%zz", "%4g", "%C3", "%FF%FE" })
        EXPECT_FALSE(kit::percentDecode(bad).has_value()) << bad;
}

TEST(Strings, SplitJoinAndTrim)
{
    EXPECT_EQ(kit::split("a,,b", ","), (std::vector<std::string> { "a", "", "b" }));
    EXPECT_EQ(kit::split("", ","), (std::vector<std::string> { "" }));
    EXPECT_EQ(kit::split(",a,", ","), (std::vector<std::string> { "", "a", "" }));
    EXPECT_EQ(kit::split("a--b---c", "--"), (std::vector<std::string> { "a", "b", "-c" }));
    EXPECT_EQ(kit::split("abc", ""), (std::vector<std::string> { "abc" }));
    for (std::string s : { "a,,b", "", ",a,", "x" })
        EXPECT_EQ(kit::join(kit::split(s, ","), ","), s);
    EXPECT_EQ(kit::join({}, ","), "");
    EXPECT_EQ(kit::trim(" \t\r\n a b \v\f"), "a b");
    EXPECT_EQ(kit::trim("   "), "");
    EXPECT_TRUE(kit::hasPrefix("iPhone10,3", "iPhone"));
    EXPECT_FALSE(kit::hasPrefix("iP", "iPhone"));
    EXPECT_TRUE(kit::hasPrefix("x", ""));
    EXPECT_TRUE(kit::hasSuffix("specs.plist", ".plist"));
    EXPECT_FALSE(kit::hasSuffix("plist", ".plist"));
    EXPECT_EQ(kit::removingAll("My App Name", " "), "MyAppName");
    EXPECT_EQ(kit::replacingAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(kit::replacingAll("abc", "", "x"), "abc");
}

TEST(Strings, FormatHandlesLongOutput)
{
    EXPECT_EQ(kit::format("%lf", 818437593.5), "818437593.500000");
    EXPECT_EQ(kit::format("%02X%02X", 0xab, 7), "AB07");
    std::string longText(1000, 'x');
    EXPECT_EQ(kit::format("[%s]", longText.c_str()), "[" + longText + "]");
    EXPECT_EQ(kit::format("%s", ""), "");
    std::uint8_t bytes[] = { 0x00, 0x0f, 0xf0, 0xff };
    EXPECT_EQ(kit::hexString(bytes, 4), "000ff0ff");
    EXPECT_EQ(kit::hexString(bytes, 4, true), "000FF0FF");
}

TEST(Strings, EqualsIgnoringCaseFoldsAsciiOnly)
{
    EXPECT_TRUE(kit::equalsIgnoringCase("Content-Type", "content-TYPE"));
    EXPECT_TRUE(kit::equalsIgnoringCase("", ""));
    EXPECT_FALSE(kit::equalsIgnoringCase("charset", "charse"));
    EXPECT_FALSE(kit::equalsIgnoringCase("a", "b"));
    // Bytes above ASCII are compared as they are: "Ä" and "ä" differ.
    EXPECT_FALSE(kit::equalsIgnoringCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(kit::equalsIgnoringCase("\xC3\x84", "\xC3\x84"));
}

TEST(Strings, HexDigitValueCoversBothCasesAndRejectsTheRest)
{
    EXPECT_EQ(kit::hexDigitValue('0'), 0);
    EXPECT_EQ(kit::hexDigitValue('9'), 9);
    EXPECT_EQ(kit::hexDigitValue('a'), 10);
    EXPECT_EQ(kit::hexDigitValue('F'), 15);
    for (char c : { 'g', 'G', '/', ':', '@', '`', ' ', '\0', '\xff' })
        EXPECT_EQ(kit::hexDigitValue(c), -1) << int(c);
}

TEST(ValidUTF8, IllFormedPartsBecomeOneReplacementEachAndValidTextStays)
{
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string in, out;
    } cases[] = {
        { "", "" },
        { "plain", "plain" },
        { "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80" },
        { std::string("a\0b", 3), std::string("a\0b", 3) },
        { "\xff", r },
        { "a\x80z", "a" + r + "z" },
        { "\xc0\xaf", r + r }, // overlong
        { "\xe0\x80\xaf", r + r + r }, // overlong
        { "\xed\xa0\x80", r + r + r }, // surrogate
        { "\xf4\x90\x80\x80", r + r + r + r }, // past U+10FFFF
        { "\xe2\x82", r }, // truncated: one maximal part
        { "\xf0\x9f\x98z", r + "z" },
        { "\xe2\x82\xc3\xa9", r + "\xc3\xa9" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kit::validUTF8(c.in), c.out) << testing::PrintToString(c.in);
        EXPECT_EQ(kit::validUTF8(c.out), c.out);
    }
}

// SPDX-License-Identifier: MIT
#include "kit/base/StringsTable.h"

#include <gtest/gtest.h>

#include <string>

using kit::StringsTable;

namespace {
std::string lookup(const StringsTable& table, std::string_view key)
{
    auto text = table.lookup(key);
    return text ? std::string(*text) : std::string("<missing>");
}
} // namespace

TEST(StringsTable, EscapesDecode)
{
    auto table = StringsTable::parse(R"("quote" = "say \"hi\"";
"slash" = "back\\slash";
"lines" = "one\ntwo\tthree\rfour";
"apostrophe" = "it\'s";
"unicode" = "caf\U00E9 \u20AC";
"pair" = "\UD83D\UDE00";
"lonehigh" = "\UD83Dx";
"unknown" = "\q";
)");
    EXPECT_TRUE(table.errors().empty());
    EXPECT_EQ(lookup(table, "quote"), "say \"hi\"");
    EXPECT_EQ(lookup(table, "slash"), "back\\slash");
    EXPECT_EQ(lookup(table, "lines"), "one\ntwo\tthree\rfour");
    EXPECT_EQ(lookup(table, "apostrophe"), "it's");
    EXPECT_EQ(lookup(table, "unicode"), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(lookup(table, "pair"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(lookup(table, "lonehigh"), "\xEF\xBF\xBDx");
    EXPECT_EQ(lookup(table, "unknown"), "q");
}

TEST(StringsTable, CommentsAreSkippedButNotInsideStrings)
{
    auto table = StringsTable::parse(R"(/* A header comment
   over "several" = "lines"; */
"url" = "http://example.invalid/*x*/"; // "hidden" = "no";
// "commented" = "out";
"a" /* between */ = /* tokens */ "A" /**/;
bare_key.1 = "bare";
"solo";
"dup" = "first";
"dup" = "second";
)");
    EXPECT_TRUE(table.errors().empty());
    EXPECT_EQ(table.size(), 5u);
    EXPECT_EQ(lookup(table, "url"), "http://example.invalid/*x*/");
    EXPECT_EQ(lookup(table, "a"), "A");
    EXPECT_EQ(lookup(table, "bare_key.1"), "bare");
    EXPECT_EQ(lookup(table, "solo"), "solo");
    EXPECT_EQ(lookup(table, "dup"), "second");
    EXPECT_EQ(lookup(table, "hidden"), "<missing>");
    EXPECT_EQ(lookup(table, "commented"), "<missing>");
    EXPECT_EQ(lookup(table, "several"), "<missing>");
}

TEST(StringsTable, BrokenLinesInTheMiddleCostOnlyThemselves)
{
    auto table = StringsTable::parse("\"first\" = \"1\";\n"
                                     "\"missing semicolon\" = \"x\"\n"
                                     "\"second\" = \"2\";\n"
                                     "\"no equals\" \"y\";\n"
                                     "= \"nokey\";\n"
                                     "\"open\" = \"never closed;\n"
                                     "\"third\" = \"3\";\n"
                                     "\"bad escape\" = \"\\u12G4\";\n"
                                     "\"fourth\" = \"4\";\n");
    EXPECT_EQ(lookup(table, "first"), "1");
    EXPECT_EQ(lookup(table, "second"), "2");
    EXPECT_EQ(lookup(table, "third"), "3");
    EXPECT_EQ(lookup(table, "fourth"), "4");
    EXPECT_EQ(table.size(), 4u);
    ASSERT_EQ(table.errors().size(), 5u);
    EXPECT_EQ(table.errors()[0].line, 2);
    EXPECT_EQ(table.errors()[1].line, 4);
    EXPECT_EQ(table.errors()[2].line, 5);
    EXPECT_EQ(table.errors()[3].line, 6);
    EXPECT_EQ(table.errors()[4].line, 8);
}

TEST(StringsTable, TruncatedEndingsAreErrorsThatKeepEarlierEntries)
{
    for (std::string_view tail : { "\"cut\" = \"abc", "\"cut\" = ", "\"cut\"", "/* open comment", "\"cut\" = \"\\" }) {
        std::string text = "\"kept\" = \"yes\";\n" + std::string(tail);
        auto table = StringsTable::parse(text);
        EXPECT_EQ(lookup(table, "kept"), "yes") << tail;
        EXPECT_EQ(table.size(), 1u) << tail;
        EXPECT_EQ(table.errors().size(), 1u) << tail;
    }
    EXPECT_EQ(StringsTable::parse("").size(), 0u);
    EXPECT_TRUE(StringsTable::parse(" \n// only a comment\n").errors().empty());
}

TEST(StringsTable, EncodingsWithByteOrderMarks)
{
    auto utf8 = StringsTable::parse("\xEF\xBB\xBF\"k\" = \"v\";");
    EXPECT_EQ(lookup(utf8, "k"), "v");

    std::string utf16le = "\xFF\xFE";
    std::string utf16be = "\xFE\xFF";
    // The test text is Latin-1 range only, so each character is one UTF-16 unit.
    std::u16string units = u"\"k\" = \"\u00E9t\u00E9\";";
    for (char16_t unit : units) {
        utf16le += char(unit & 0xFF);
        utf16le += char(unit >> 8);
        utf16be += char(unit >> 8);
        utf16be += char(unit & 0xFF);
    }
    EXPECT_EQ(lookup(StringsTable::parse(utf16le), "k"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(lookup(StringsTable::parse(utf16be), "k"), "\xC3\xA9t\xC3\xA9");

    // Invalid UTF-8 is repaired rather than passed on.
    auto repaired = StringsTable::parse("\"k\" = \"a\xFF"
                                        "b\";");
    EXPECT_EQ(lookup(repaired, "k"),
        "a\xEF\xBF\xBD"
        "b");
}

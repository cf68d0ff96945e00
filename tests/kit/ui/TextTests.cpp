// SPDX-License-Identifier: MIT
#include "UITestSupport.h"

#include "kit/ui/AttributedString.h"
#include "kit/ui/Font.h"
#include "kit/ui/Label.h"
#include "kit/ui/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kit;

namespace {

const std::string kLongText = "The quick brown fox jumps over the lazy dog and keeps on running through the field";

} // namespace

TEST(Font, PostscriptNamesSplitIntoFamilyAndStyle)
{
    EXPECT_EQ(Font::familyFromPostscriptName("HelveticaNeue-CondensedBold"), "Helvetica Neue");
    EXPECT_EQ(Font::styleFromPostscriptName("HelveticaNeue-CondensedBold"), "Condensed Bold");
    EXPECT_EQ(Font::familyFromPostscriptName("Helvetica"), "Helvetica");
    EXPECT_EQ(Font::styleFromPostscriptName("Helvetica"), "");
    // Runs of capitals stay together; a digit starts no word of its own.
    EXPECT_EQ(Font::familyFromPostscriptName("DejaVuSans"), "Deja Vu Sans");
    EXPECT_EQ(Font::familyFromPostscriptName("ABCSans2Pro"), "ABCSans2 Pro");
    EXPECT_EQ(Font::familyFromPostscriptName(""), "");
}

TEST(Font, InstalledFamiliesAreAvailableWhateverTheirSpellingOfCaseAndSpaces)
{
    ASSERT_TRUE(Font::isFamilyInstalled("DejaVu Sans"));
    EXPECT_TRUE(Font::isFamilyInstalled("dejavu sans"));
    auto bold = Font::named("DejaVuSans-Bold", 14);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->familyName(), "DejaVu Sans");
    EXPECT_EQ(bold->pointSize(), 14);
    EXPECT_TRUE(bold->isBold());
    EXPECT_FALSE(Font::named("DejaVuSans", 14)->isBold());
}

TEST(Font, MissingFamiliesAreNullEvenThoughFontconfigWouldSubstitute)
{
    // The test fonts are DejaVu only; fontconfig would hand out DejaVu for any of these.
    EXPECT_EQ(Font::named("HelveticaNeue-CondensedBold", 17), nullptr);
    EXPECT_EQ(Font::named("Helvetica", 17), nullptr);
    EXPECT_EQ(Font::named("", 17), nullptr);
    EXPECT_EQ(Font::named("-Bold", 17), nullptr);
    EXPECT_FALSE(Font::isFamilyInstalled("Arial"));
    // The system fonts always exist.
    auto system = Font::systemFont(17);
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(Font::isFamilyInstalled(system->familyName()));
    EXPECT_TRUE(Font::boldSystemFont(17)->isBold());
}

TEST(Font, LineHeightScalesWithSizeAndBadSizesFallBack)
{
    auto small = Font::systemFont(10);
    auto large = Font::systemFont(20);
    EXPECT_GT(small->lineHeight(), 10);
    EXPECT_NEAR(large->lineHeight(), 2 * small->lineHeight(), 0.05);
    EXPECT_NEAR(small->ascender() + small->descender(), small->lineHeight(), 1e-9);
    // Unrounded metrics: a fractional size gives a fractional height, not whole points.
    auto odd = Font::systemFont(13.3);
    EXPECT_GT(std::abs(odd->lineHeight() - std::round(odd->lineHeight())), 1e-3);
    EXPECT_EQ(Font::systemFont(-4)->pointSize(), 12);
    EXPECT_EQ(Font::systemFont(NAN)->pointSize(), 12);
    EXPECT_EQ(Font::preferredFontForTextStyle("UIFontTextStyleBody")->pointSize(), 17);
    EXPECT_EQ(Font::preferredFontForTextStyle("no such style")->pointSize(), 17);
    EXPECT_TRUE(Font::preferredFontForTextStyle("UIFontTextStyleHeadline")->isBold());
}

TEST(TextMeasuring, HeightGrowsWithLinesAndShrinksWithWidth)
{
    auto font = Font::systemFont(15);
    Rect one = boundingRectForString("Hello", font, 300);
    EXPECT_EQ(one.origin, (Point { 0, 0 }));
    EXPECT_NEAR(one.height(), font->lineHeight(), 0.5);
    Rect two = boundingRectForString("Hello\nWorld", font, 300);
    Rect three = boundingRectForString("Hello\nWorld\nAgain", font, 300);
    EXPECT_NEAR(two.height(), 2 * one.height(), 0.5);
    EXPECT_NEAR(three.height(), 3 * one.height(), 0.5);

    Rect wide = boundingRectForString(kLongText, font, 1000);
    Rect medium = boundingRectForString(kLongText, font, 200);
    Rect narrow = boundingRectForString(kLongText, font, 80);
    EXPECT_NEAR(wide.height(), one.height(), 0.5);
    EXPECT_GT(medium.height(), wide.height());
    EXPECT_GT(narrow.height(), medium.height());
    EXPECT_LE(medium.width(), 200);
    EXPECT_LE(narrow.width(), 80);
    // Unlimited width: one line as long as the text.
    EXPECT_NEAR(boundingRectForString(kLongText, font, 0).width(), wide.width(), 0.01);
}

TEST(TextMeasuring, HeightLimitKeepsWholeLinesOnly)
{
    auto font = Font::systemFont(15);
    Rect all = boundingRectForString(kLongText, font, 80);
    double line = font->lineHeight();
    Rect limited = boundingRectForString(kLongText, font, Size { 80, line * 2.5 });
    EXPECT_NEAR(limited.height(), 2 * line, 0.5);
    EXPECT_LT(limited.height(), all.height());
    // Even a box too low for one line measures the first line.
    Rect tiny = boundingRectForString(kLongText, font, Size { 80, 1 });
    EXPECT_NEAR(tiny.height(), line, 0.5);
}

TEST(TextMeasuring, EmptyTextMeasuresNothingAndBadBytesAreTolerated)
{
    auto font = Font::systemFont(15);
    EXPECT_EQ(boundingRectForString("", font, 100), Rect {});
    AttributedString empties;
    empties.append("", {});
    empties.append("", {});
    EXPECT_EQ(empties.boundingRect(100), Rect {});
    Rect bad = boundingRectForString(std::string("ab\xff\xfe"
                                                 "cd"),
        font, 100);
    EXPECT_GT(bad.width(), 0);
    EXPECT_NEAR(bad.height(), font->lineHeight(), 0.5);
}

TEST(TextMeasuring, StyledRunsMeasureWithTheirOwnFonts)
{
    auto small = Font::systemFont(10);
    auto large = Font::boldSystemFont(30);
    AttributedString mixed("Name", { small, Color::black() });
    mixed.append("\n", { small, {} });
    mixed.append("Value", { large, Color::systemBlue() });
    Rect r = mixed.boundingRect(500);
    EXPECT_NEAR(r.height(), small->lineHeight() + large->lineHeight(), 0.5);
    EXPECT_GT(r.width(), boundingRectForString("Value", small, 500).width());
}

TEST(AttributedString, KeepsRunsAsAppendedAndCountsUTF16Units)
{
    AttributedString s("a", {});
    s.append("", {});
    s.append("é😀", { Font::systemFont(12), Color::white() });
    ASSERT_EQ(s.runs().size(), 3u);
    EXPECT_EQ(s.runs()[1].text, "");
    EXPECT_EQ(s.string(), "aé😀");
    // a (1) + é (1) + an astral emoji (2)
    EXPECT_EQ(s.length(), 4u);
    s.append(s);
    EXPECT_EQ(s.runs().size(), 6u);
    EXPECT_EQ(s.length(), 8u);
    EXPECT_FALSE(s.isEmpty());
    EXPECT_TRUE(AttributedString("", {}).isEmpty());
}

TEST(Label, SizeToFitFollowsTextAndLineLimit)
{
    auto label = View::create<Label>();
    label->setFont(Font::systemFont(15));
    label->setText("Hello");
    label->sizeToFit();
    Size oneLine = label->bounds().size;
    EXPECT_GT(oneLine.width, 0);
    EXPECT_EQ(oneLine.height, std::ceil(Font::systemFont(15)->lineHeight()));
    label->setText("Hello World");
    label->sizeToFit();
    EXPECT_GT(label->bounds().width(), oneLine.width);

    // Many lines within the current width.
    label->setNumberOfLines(0);
    label->setFrame({ 0, 0, 80, 10 });
    label->setText(kLongText);
    label->sizeToFit();
    EXPECT_LE(label->bounds().width(), 80);
    double unlimited = label->bounds().height();
    EXPECT_GT(unlimited, 3 * oneLine.height);
    label->setNumberOfLines(2);
    label->setFrame({ 0, 0, 80, 10 });
    label->sizeToFit();
    EXPECT_EQ(label->bounds().height(), std::ceil(2 * Font::systemFont(15)->lineHeight()));
    label->setText("");
    label->sizeToFit();
    EXPECT_EQ(label->bounds().size, (Size { 0, 0 }));
}

TEST(Label, TextAndStyledTextReplaceEachOther)
{
    auto label = View::create<Label>();
    label->setText("plain");
    auto styled = std::make_shared<AttributedString>("styled", TextAttributes {});
    label->setAttributedText(styled);
    EXPECT_EQ(label->text(), "styled");
    label->setText("again");
    EXPECT_EQ(label->attributedText(), nullptr);
    EXPECT_EQ(label->text(), "again");
    EXPECT_EQ(label->valueForKey("text").string(), "again");
}

TEST(TextLayout, LineLimitCountsShownLines)
{
    TextLayout::Options options;
    options.width = 80;
    options.numberOfLines = 2;
    options.lineBreakMode = LineBreakMode::WordWrap;
    options.defaultFont = Font::systemFont(15);
    TextLayout limited(AttributedString(kLongText), options);
    EXPECT_EQ(limited.lineCount(), 2);
    options.lineBreakMode = LineBreakMode::TruncateTail;
    TextLayout truncated(AttributedString(kLongText), options);
    EXPECT_EQ(truncated.lineCount(), 2);
    EXPECT_NEAR(truncated.size().height, limited.size().height, 0.5);
}

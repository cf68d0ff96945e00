// SPDX-License-Identifier: MIT
#include "UITestSupport.h"

#include "kit/ui/AttributedString.h"
#include "kit/ui/Font.h"
#include "kit/ui/Label.h"
#include "kit/ui/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kit;
using kit::test::Snapshot;

namespace {

double naturalWidth(const std::string& text, double size)
{
    return boundingRectForString(text, Font::boldSystemFont(size), 0).width();
}

std::shared_ptr<Label> label(const std::string& text, Rect frame, int lines)
{
    auto label = View::create<Label>();
    label->setFont(Font::boldSystemFont(15));
    label->setNumberOfLines(lines);
    label->setTextAlignment(TextAlignment::Center);
    label->setFrame(frame);
    label->setText(text);
    return label;
}

// Whether anything was painted outside `inside`, sampled every half point.
bool paintedOutside(const Snapshot& shot, const Rect& inside, Size size)
{
    for (double y = 0.25; y < size.height; y += 0.5)
        for (double x = 0.25; x < size.width; x += 0.5)
            if (!inside.contains({ x, y }) && shot.at(x, y).alpha > 0.1)
                return true;
    return false;
}

} // namespace

TEST(LabelFit, OneLineShrinksToTheWidthThenStopsAtTheMinimumAndTruncates)
{
    const std::string name = "Raspberry Pi Compute";
    double natural = naturalWidth(name, 15);
    // Room for 80% of the natural width.
    auto shrinking = label(name, { 0, 0, std::floor(natural * 0.8), 20 }, 1);
    EXPECT_EQ(shrinking->fontScale(), 1) << "off by default";
    shrinking->setAdjustsFontSizeToFitWidth(true);
    shrinking->setMinimumScaleFactor(0.7);
    double scale = shrinking->fontScale();
    EXPECT_LE(natural * scale, shrinking->bounds().width() + 0.01);
    EXPECT_GT(scale, 0.78) << "the largest scale that fits, not the minimum";
    EXPECT_LT(scale, 0.8);

    // Needing half its size, it stops at the minimum (and is truncated, as drawn below).
    auto truncated = label(name, { 0, 0, std::floor(natural * 0.5), 20 }, 1);
    truncated->setAdjustsFontSizeToFitWidth(true);
    truncated->setMinimumScaleFactor(0.7);
    EXPECT_DOUBLE_EQ(truncated->fontScale(), 0.7);

    // Text that fits keeps its font and its layout.
    auto fitting = label("Pi 4", { 0, 0, 100, 20 }, 1);
    Rect before = fitting->textRect();
    fitting->setAdjustsFontSizeToFitWidth(true);
    EXPECT_EQ(fitting->fontScale(), 1);
    EXPECT_EQ(fitting->textRect(), before);

    // A wider frame lets the text grow back; a narrower one shrinks it again.
    shrinking->setFrame({ 0, 0, natural + 2, 20 });
    EXPECT_EQ(shrinking->fontScale(), 1);
    shrinking->setFrame({ 0, 0, std::floor(natural * 0.8), 20 });
    EXPECT_LT(shrinking->fontScale(), 0.8);
}

TEST(LabelFit, SeveralLinesShrinkToTheLineLimitAndHeightWithoutBreakingWords)
{
    const double line = Font::boldSystemFont(15)->lineHeight();
    // Three lines at full size in 100 points; two are allowed.
    auto name = label("Raspberry Pi Compute Module 4", { 0, 0, 100, std::ceil(2 * line) }, 2);
    name->setAdjustsFontSizeToFitWidth(true);
    name->setMinimumScaleFactor(0.5);
    double scale = name->fontScale();
    EXPECT_LT(scale, 1);
    EXPECT_GE(scale, 0.5);
    EXPECT_LE(name->textRect().height(), name->bounds().height());
    EXPECT_LE(std::ceil(naturalWidth("Raspberry", 15 * scale)), 100);

    // The height counts too: two lines that do not fit a one-and-a-half-line frame shrink.
    auto low = label("Raspberry Pi 400", { 0, 0, 100, std::floor(1.5 * line) }, 2);
    low->setAdjustsFontSizeToFitWidth(true);
    low->setMinimumScaleFactor(0.7);
    EXPECT_LT(low->fontScale(), 1);

    // A word too wide for a line shrinks until it fits whole rather than being broken.
    const std::string word = "Supercalifragilistic";
    double wide = naturalWidth(word, 15);
    auto single = label(word, { 0, 0, std::floor(wide * 0.9), 3 * line }, 2);
    single->setAdjustsFontSizeToFitWidth(true);
    single->setMinimumScaleFactor(0.7);
    EXPECT_LE(single->fontScale(), 0.9);
    EXPECT_NEAR(single->textRect().height(), Font::boldSystemFont(15 * single->fontScale())->lineHeight(), 0.5);
}

TEST(LabelFit, StyledRunsShrinkWithTheirOwnFonts)
{
    auto text = std::make_shared<AttributedString>("296.63 × 228.98 ", TextAttributes { Font::boldSystemFont(15), {} });
    text->append("× 15.85 mm", TextAttributes { Font::systemFont(13), {} });
    double natural = text->boundingRect(0).width();
    auto styled = View::create<Label>();
    styled->setFrame({ 0, 0, std::floor(natural * 0.85), 20 });
    styled->setAttributedText(text);
    styled->setAdjustsFontSizeToFitWidth(true);
    styled->setMinimumScaleFactor(0.7);
    double scale = styled->fontScale();
    EXPECT_LT(scale, 0.86);
    EXPECT_GT(scale, 0.82);
    EXPECT_LE(natural * scale, styled->bounds().width() + 0.5);
}

TEST(LabelFit, ScaleFactorIsKeptBetweenZeroAndOne)
{
    auto name = label("Raspberry Pi Compute Module 4", { 0, 0, 40, 20 }, 1);
    name->setAdjustsFontSizeToFitWidth(true);
    name->setMinimumScaleFactor(2);
    EXPECT_EQ(name->minimumScaleFactor(), 1);
    EXPECT_EQ(name->fontScale(), 1) << "a factor of 1 never shrinks";
    name->setMinimumScaleFactor(-1);
    EXPECT_EQ(name->minimumScaleFactor(), 0);
    name->setMinimumScaleFactor(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(name->minimumScaleFactor(), 0);
    // 0 lets it go down to a one-point font and no further.
    EXPECT_GE(name->fontScale(), 1.0 / 15 - 1e-9);
    EXPECT_LT(name->fontScale(), 0.5);
    name->setText("");
    EXPECT_EQ(name->fontScale(), 1);
}

TEST(LabelFit, ShrunkTextIsDrawnInsideTheLabel)
{
    // A frame that holds two lines at about 80% of the full size.
    const Size size { 130, 40 };
    auto root = View::create();
    root->setFrame({ { 0, 0 }, size });
    const Rect frame { 10, 6, 110, 28 };
    auto name = label("Raspberry Pi 4 Model B", frame, 1);
    name->setTextColor(Color::white());
    root->addSubview(name);
    {
        Snapshot shot(*root, size, 2);
        EXPECT_FALSE(paintedOutside(shot, frame, size)) << "one line, truncated at the frame's right edge";
    }
    name->setNumberOfLines(2);
    {
        Snapshot shot(*root, size, 2);
        EXPECT_TRUE(paintedOutside(shot, frame, size)) << "two full-size lines overflow the frame";
    }
    name->setAdjustsFontSizeToFitWidth(true);
    name->setMinimumScaleFactor(0.7);
    {
        Snapshot shot(*root, size, 2);
        EXPECT_FALSE(paintedOutside(shot, frame, size));
    }
}

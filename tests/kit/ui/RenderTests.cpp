// SPDX-License-Identifier: MIT
#include "UITestSupport.h"

#include "kit/base/RunLoop.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/VisualEffectView.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kit;
using kit::test::near;
using kit::test::Snapshot;

namespace {

const Color kRed(1, 0, 0);
const Color kGreen(0, 1, 0);
const Color kBlue(0, 0, 1);

std::shared_ptr<View> box(Rect frame, Color color)
{
    auto v = View::create<View>();
    v->setFrame(frame);
    v->setBackgroundColor(color);
    return v;
}

} // namespace

TEST(Render, BackgroundsStackInSubviewOrderAtScaleTwo)
{
    auto root = box({ 0, 0, 100, 100 }, Color::white());
    root->addSubview(box({ 10, 10, 50, 50 }, kRed));
    root->addSubview(box({ 40, 40, 50, 50 }, kBlue));
    Snapshot shot(*root, { 100, 100 }, 2);
    EXPECT_EQ(shot.width(), 200);
    EXPECT_TRUE(near(shot.at(5, 5), Color::white()));
    EXPECT_TRUE(near(shot.at(20, 20), kRed));
    EXPECT_TRUE(near(shot.at(50, 50), kBlue)); // the later subview is in front
    EXPECT_TRUE(near(shot.at(85, 85), kBlue));
    EXPECT_TRUE(near(shot.at(95, 95), Color::white()));
    // Edges fall on device pixels: the red box's first column at x = 10 pt is pixel 20.
    EXPECT_TRUE(near(shot.pixel(19, 30), Color::white()));
    EXPECT_TRUE(near(shot.pixel(20, 30), kRed));
}

TEST(Render, ClippingHidesOverhangAndHiddenViewsDrawNothing)
{
    auto root = box({ 0, 0, 100, 100 }, Color::white());
    auto clip = box({ 0, 0, 50, 50 }, kRed);
    clip->setClipsToBounds(true);
    clip->addSubview(box({ 25, 25, 50, 50 }, kBlue));
    auto loose = box({ 50, 0, 50, 50 }, kRed);
    loose->addSubview(box({ 25, 25, 50, 50 }, kGreen));
    auto hidden = box({ 0, 60, 40, 40 }, kBlue);
    hidden->setHidden(true);
    root->addSubview(clip);
    root->addSubview(loose);
    root->addSubview(hidden);
    Snapshot shot(*root, { 100, 100 }, 1);
    EXPECT_TRUE(near(shot.at(40, 40), kBlue));
    EXPECT_TRUE(near(shot.at(80, 40), kGreen));
    EXPECT_TRUE(near(shot.at(80, 60), kGreen)); // overhang of the unclipped view
    EXPECT_TRUE(near(shot.at(60, 40), kRed));
    EXPECT_TRUE(near(shot.at(60, 60), Color::white()));
    EXPECT_TRUE(near(shot.at(45, 55), Color::white())); // cut by the clip
    EXPECT_TRUE(near(shot.at(20, 80), Color::white())); // the hidden view
}

TEST(Render, RotatedViewIsDrawnTurnedAboutItsCentre)
{
    auto root = box({ 0, 0, 200, 200 }, Color::white());
    // 20 wide, 160 tall, turned a quarter: a horizontal bar across the middle.
    auto bar = box({ 90, 20, 20, 160 }, kRed);
    bar->setTransform(AffineTransform::rotation(-M_PI / 2));
    root->addSubview(bar);
    Snapshot shot(*root, { 200, 200 }, 2);
    EXPECT_TRUE(near(shot.at(30, 100), kRed));
    EXPECT_TRUE(near(shot.at(170, 100), kRed));
    EXPECT_TRUE(near(shot.at(100, 30), Color::white()));
    EXPECT_TRUE(near(shot.at(100, 170), Color::white()));
}

TEST(Render, AlphaCompositesTheSubtreeAsOneLayer)
{
    auto root = box({ 0, 0, 100, 100 }, Color::white());
    auto group = box({ 0, 0, 100, 100 }, kBlue);
    group->addSubview(box({ 0, 0, 50, 100 }, kRed));
    group->setAlpha(0.5);
    root->addSubview(group);
    Snapshot shot(*root, { 100, 100 }, 1);
    // Red over blue inside the group, then half over white: the blue does not show through red.
    EXPECT_TRUE(near(shot.at(25, 50), Color(1, 0.5, 0.5), 0.03));
    EXPECT_TRUE(near(shot.at(75, 50), Color(0.5, 0.5, 1), 0.03));
}

TEST(Render, CornerRadiusRoundsTheBackground)
{
    auto root = box({ 0, 0, 100, 100 }, Color::white());
    auto round = box({ 0, 0, 100, 100 }, kRed);
    round->setCornerRadius(50);
    root->addSubview(round);
    Snapshot shot(*root, { 100, 100 }, 1);
    EXPECT_TRUE(near(shot.at(50, 50), kRed));
    EXPECT_TRUE(near(shot.at(3, 3), Color::white()));
}

TEST(Render, LabelTextPaintsItsColourWhereTheGlyphsAre)
{
    auto root = box({ 0, 0, 200, 60 }, Color::white());
    auto label = View::create<Label>("█████");
    label->setFont(Font::systemFont(40));
    label->setTextColor(kBlue);
    label->setTextAlignment(TextAlignment::Right);
    label->setFrame({ 0, 0, 200, 60 });
    root->addSubview(label);
    Snapshot shot(*root, { 200, 60 }, 1);
    // Right-aligned: the block glyphs fill the right end, the left end stays white.
    EXPECT_TRUE(near(shot.at(190, 30), kBlue, 0.05));
    EXPECT_TRUE(near(shot.at(5, 30), Color::white()));
    label->setTextAlignment(TextAlignment::Left);
    Snapshot left(*root, { 200, 60 }, 1);
    EXPECT_TRUE(near(left.at(5, 30), kBlue, 0.05));
    EXPECT_TRUE(near(left.at(195, 30), Color::white()));
}

TEST(Render, SystemButtonTitleUsesTheTintColour)
{
    auto window = View::create<Window>();
    window->setFrame({ 0, 0, 200, 80 });
    window->setBackgroundColor(Color::white());
    window->setTintColor(kGreen);
    auto button = Button::system("█████");
    button->setFont(Font::systemFont(40));
    button->setFrame({ 0, 0, 200, 80 });
    window->addSubview(button);
    Snapshot shot(*window, { 200, 80 }, 1);
    EXPECT_TRUE(near(shot.at(100, 40), kGreen, 0.05));
    EXPECT_TRUE(near(button->effectiveTitleColor(), kGreen));
    button->setHighlighted(true);
    EXPECT_LT(button->effectiveTitleColor().alpha, 0.5);
}

TEST(Render, VibrancyLightensContentAndReduceTransparencyShowsItPlain)
{
    auto root = box({ 0, 0, 100, 100 }, Color::black());
    auto effect = View::create<VisualEffectView>(VisualEffectView::Effect::NotificationCenterVibrancy);
    effect->setFrame({ 0, 0, 100, 100 });
    effect->contentView()->addSubview(box({ 0, 0, 100, 100 }, kBlue));
    root->addSubview(effect);

    setReduceTransparencyOverride(false);
    Snapshot vibrant(*root, { 100, 100 }, 1);
    Color c = vibrant.at(50, 50);
    // Lighter than the content's own blue on black, and partly white.
    EXPECT_GT(c.red, 0.3);
    EXPECT_GT(c.green, 0.3);
    EXPECT_GT(c.blue, c.red);
    EXPECT_LT(c.blue, 1.0);

    setReduceTransparencyOverride(true);
    EXPECT_TRUE(isReduceTransparencyEnabled());
    Snapshot plain(*root, { 100, 100 }, 1);
    EXPECT_TRUE(near(plain.at(50, 50), kBlue));
    setReduceTransparencyOverride(std::nullopt);
}

// The vibrancy group covers only what the content reaches (the drawing's clip may span the
// window); while anything animates it covers the whole clip. Both must give the same pixels, for
// a panel at a fractional place whose content overhangs its bounds, at either scale.
TEST(Render, VibrancyBoundToItsContentDrawsTheSamePixelsAsUnbound)
{
    auto root = box({ 0, 0, 160, 120 }, Color::black());
    auto effect = View::create<VisualEffectView>(VisualEffectView::Effect::NotificationCenterVibrancy);
    effect->setFrame({ 10.5, 7.25, 60, 40 });
    effect->contentView()->addSubview(box({ 40.3, 30.6, 50, 30 }, kBlue));
    auto label = View::create<Label>("Overhanging text");
    label->setFrame({ 2, 2, 30, 14 });
    label->setTextColor(kGreen);
    effect->contentView()->addSubview(label);
    root->addSubview(effect);
    root->addSubview(box({ 100, 80, 20, 20 }, kRed));
    setReduceTransparencyOverride(false);

    for (double scale : { 1.0, 2.0 }) {
        Snapshot bound(*root, { 160, 120 }, scale);
        auto elsewhere = box({ 0, 0, 10, 10 }, kRed);
        View::animate(10, [&] { elsewhere->setAlpha(0.5); });
        ASSERT_TRUE(Animator::shared().hasAnimations());
        Snapshot unbound(*root, { 160, 120 }, scale);
        Animator::shared().cancelAll();

        int differing = 0;
        for (int y = 0; y < bound.height(); ++y) {
            for (int x = 0; x < bound.width(); ++x) {
                Color a = bound.pixel(x, y), b = unbound.pixel(x, y);
                if (a.red != b.red || a.green != b.green || a.blue != b.blue || a.alpha != b.alpha)
                    ++differing;
            }
        }
        EXPECT_EQ(differing, 0) << "at scale " << scale;
        // The overhanging part is there at all: lighter than the black around it.
        EXPECT_GT(bound.at(10.5 + 85, 7.25 + 55).blue, 0.3);
    }
    setReduceTransparencyOverride(std::nullopt);
}

TEST(ReduceTransparency, FollowsAHighContrastThemeUntilOverridden)
{
    // Only the in-memory settings backend: the desktop's real settings must not decide.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setReduceTransparencyOverride(std::nullopt);
    setenv("GTK_THEME", "HighContrastInverse", 1);
    refreshReduceTransparency();
    EXPECT_TRUE(isReduceTransparencyEnabled());
    setenv("GTK_THEME", "Adwaita:dark", 1);
    // Remembered until asked to read again.
    EXPECT_TRUE(isReduceTransparencyEnabled());
    refreshReduceTransparency();
    EXPECT_FALSE(isReduceTransparencyEnabled());
    setReduceTransparencyOverride(true);
    EXPECT_TRUE(isReduceTransparencyEnabled());
    setReduceTransparencyOverride(std::nullopt);
    unsetenv("GTK_THEME");
    refreshReduceTransparency();
}

TEST(Render, LabelShadowIsDrawnAtItsOffset)
{
    auto root = box({ 0, 0, 200, 60 }, Color::white());
    auto label = View::create<Label>("█");
    label->setFont(Font::systemFont(40));
    label->setTextColor(kBlue);
    label->setShadowColor(kRed);
    label->setShadowOffset({ 60, 0 });
    label->setTextAlignment(TextAlignment::Left);
    label->setFrame({ 0, 0, 200, 60 });
    root->addSubview(label);
    Snapshot shot(*root, { 200, 60 }, 1);
    EXPECT_TRUE(near(shot.at(10, 30), kBlue, 0.05));
    EXPECT_TRUE(near(shot.at(70, 30), kRed, 0.05));
    EXPECT_TRUE(near(shot.at(150, 30), Color::white()));
}

TEST(Render, DrawingClearsTheWindowsRedrawMarkAndIdleTreesStayClean)
{
    auto window = View::create<Window>();
    window->setFrame({ 0, 0, 100, 100 });
    int requests = 0;
    window->setNeedsRedrawCallback([&] { ++requests; });
    auto child = box({ 0, 0, 10, 10 }, kRed);
    window->addSubview(child);
    {
        Snapshot first(*window, { 100, 100 }, 1);
    }
    EXPECT_FALSE(window->needsRedraw());
    EXPECT_FALSE(child->needsDisplay());
    requests = 0;
    // Time passing without changes asks for nothing.
    RunLoop::main().setVirtualClock(true);
    RunLoop::main().advance(5);
    EXPECT_EQ(requests, 0);
    EXPECT_FALSE(window->needsRedraw());
    // An animation asks for frames until it ends, then stops.
    View::animate(0.2, [&] { child->setAlpha(0.5); });
    EXPECT_TRUE(window->needsRedraw());
    int during = 0;
    for (int i = 0; i < 20; ++i) {
        if (window->needsRedraw())
            ++during;
        {
            Snapshot frame(*window, { 100, 100 }, 1);
        }
        RunLoop::main().advance(1.0 / 60);
    }
    EXPECT_GE(during, 10);
    EXPECT_FALSE(Animator::shared().hasAnimations());
    {
        Snapshot last(*window, { 100, 100 }, 1);
    }
    RunLoop::main().advance(1);
    EXPECT_FALSE(window->needsRedraw());
    RunLoop::main().setVirtualClock(false);
}

TEST(Render, PartialRenderPaintsOnlyTheDirtyRect)
{
    auto root = box({ 0, 0, 100, 100 }, kRed);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 100);
    cairo_t* cr = cairo_create(surface);
    renderTree(*root, cr, 1, { 0, 0, 50, 100 });
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    int stride = cairo_image_surface_get_stride(surface) / 4;
    EXPECT_EQ(data[50 * stride + 10], 0xffff0000u);
    EXPECT_EQ(data[50 * stride + 80], 0u);
    cairo_surface_destroy(surface);
}

TEST(Render, ShadowFollowsTheDrawnShapeAtItsOffsetAndOpacity)
{
    auto root = box({ 0, 0, 100, 100 }, Color::white());
    // A round shape inside a transparent square view: the shadow is cast by what is drawn.
    auto shape = box({ 20, 20, 40, 40 }, kRed);
    shape->setCornerRadius(20);
    shape->setShadowOpacity(0.8);
    shape->setShadowOffset({ 0, 10 });
    shape->setShadowRadius(0);
    root->addSubview(shape);
    Snapshot shot(*root, { 100, 100 }, 2);
    EXPECT_TRUE(near(shot.at(40, 40), kRed));
    // Below the circle, where only the offset copy reaches: black at 80 % over white.
    EXPECT_TRUE(near(shot.at(40, 65), Color::white(0.2), 0.03));
    // The square's corner is empty, so no shadow falls below it.
    EXPECT_TRUE(near(shot.at(22, 23), Color::white()));
    EXPECT_TRUE(near(shot.at(40, 75), Color::white())) << "nothing past the offset shape";

    // A radius softens the edge: half way between full shadow and none at the offset edge.
    shape->setShadowRadius(2);
    Snapshot soft(*root, { 100, 100 }, 2);
    Color edge = soft.at(40, 69.9);
    EXPECT_GT(edge.red, 0.25);
    EXPECT_LT(edge.red, 0.95);
    EXPECT_TRUE(near(soft.at(40, 65), Color::white(0.2), 0.03)) << "full strength inside";
    EXPECT_TRUE(near(soft.at(40, 73), Color::white())) << "gone beyond the radius";
}

// SPDX-License-Identifier: MIT
// Drawing only what changed must leave exactly the pixels a full redraw makes: every frame drawn
// from damage is compared byte for byte with a fresh full frame of the same tree.
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace kit;

namespace {

const bool kFontsPinned = [] {
    setenv("FONTCONFIG_FILE", QUARRIN_TEST_DATA_DIR "/fonts.conf", 0);
    return true;
}();

HostOptions scaleTwo()
{
    HostOptions options;
    options.scale = 2;
    return options;
}

// The host's frame against a full redraw of the same tree: where they differ, empty when they
// do not. cairo composites an antialiased edge or a group a shade differently when the damage
// cuts the operation's extents, so a channel may be off by a few levels here and there; a
// pixel left stale by missed damage differs by far more, over a whole shape.
std::string differenceFromFullFrame(HeadlessHost& host)
{
    constexpr int kRoundingLevels = 3;
    constexpr int kRoundingChannels = 16;
    cairo_surface_t* drawn = host.surface();
    int width = cairo_image_surface_get_width(drawn), height = cairo_image_surface_get_height(drawn);
    cairo_surface_t* full = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(full);
    cairo_scale(cr, host.scale(), host.scale());
    host.core().drawFrame(cr, host.scale());
    cairo_destroy(cr);
    cairo_surface_flush(full);
    int stride = cairo_image_surface_get_stride(full);
    const unsigned char* a = cairo_image_surface_get_data(drawn);
    const unsigned char* b = cairo_image_surface_get_data(full);
    int stale = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y) {
        if (std::memcmp(a + y * stride, b + y * stride, std::size_t(width) * 4) == 0)
            continue;
        for (int x = 0; x < width * 4; ++x) {
            if (std::abs(int(a[y * stride + x]) - int(b[y * stride + x])) > kRoundingLevels) {
                if (stale++ == 0) {
                    firstX = x / 4;
                    firstY = y;
                }
            }
        }
    }
    cairo_surface_destroy(full);
    if (stale <= kRoundingChannels)
        return {};
    return std::to_string(stale) + " stale channels, first at pixel " + std::to_string(firstX) + "," + std::to_string(firstY);
}

std::shared_ptr<View> box(Rect frame, Color color)
{
    auto view = View::create<View>();
    view->setFrame(frame);
    view->setBackgroundColor(color);
    return view;
}

std::shared_ptr<Label> label(Rect frame, std::string text)
{
    auto view = View::create<Label>(std::move(text));
    view->setFrame(frame);
    return view;
}

// Counts its layout passes.
class CountingView : public View {
public:
    int layouts = 0;
    void layoutSubviews() override { ++layouts; }

protected:
    CountingView() = default;
    friend class View;
};

} // namespace

TEST(DamageDrawing, RandomChangesDrawTheSameAsAFullRedraw)
{
    HeadlessHost host(scaleTwo());
    auto content = box({ 0, 0, 375, 647 }, Color::white());
    // Clipping and overhanging containers, rounded borders, a translucent group, a shadow
    // casting view with a child, labels of one and of several lines, and an image.
    auto clipping = box({ 20, 30, 150, 120 }, Color(0.9, 0.9, 1));
    clipping->setClipsToBounds(true);
    clipping->setCornerRadius(12);
    auto overhanging = box({ 200, 40, 100, 80 }, Color(1, 0.9, 0.8));
    auto shadowed = box({ 60, 300, 120, 60 }, Color(0.8, 1, 0.8));
    shadowed->setShadowOpacity(0.8);
    shadowed->setShadowRadius(4);
    shadowed->setShadowOffset({ 3, 5 });
    auto translucent = box({ 220, 320, 120, 100 }, Color(0.2, 0.4, 0.9));
    translucent->setAlpha(0.6);
    std::vector<std::shared_ptr<View>> views { clipping, overhanging, shadowed, translucent };
    std::vector<std::shared_ptr<Label>> labels;
    labels.push_back(label({ 10, 10, 120, 20 }, "12.4 GB"));
    labels.push_back(label({ 80, 60, 90, 12 }, "Two lines that do not fit"));
    labels.back()->setNumberOfLines(0);
    labels.push_back(label({ 10, 15, 100, 30 }, "Wired 31 %"));
    labels.push_back(label({ 30, 480, 200, 24 }, "1.7 MB/s"));
    auto image = View::create<ImageView>(Image::fromSVGData(
        "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'><rect width='20' height='10' rx='3' fill='#e63'/></svg>"));
    image->setFrame({ 250, 520, 60, 10 });
    clipping->addSubview(labels[0]);
    clipping->addSubview(labels[1]);
    overhanging->addSubview(box({ 70, 50, 60, 60 }, Color(0.5, 0, 0.5)));
    overhanging->subviews()[0]->setBorderWidth(2);
    overhanging->subviews()[0]->setCornerRadius(6);
    shadowed->addSubview(labels[2]);
    content->addSubview(clipping);
    content->addSubview(overhanging);
    content->addSubview(shadowed);
    content->addSubview(translucent);
    content->addSubview(labels[3]);
    content->addSubview(image);
    views.push_back(overhanging->subviews()[0]);
    views.push_back(image);
    for (auto& l : labels)
        views.push_back(l);
    host.show(content);
    host.render();

    std::mt19937 random(26);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto coordinate = [&] { return double(pick(700)) / 2 - 40; };
    int damagedFrames = 0;
    for (int step = 0; step < 300; ++step) {
        auto& view = views[std::size_t(pick(int(views.size())))];
        auto* text = dynamic_cast<Label*>(view.get());
        std::string change;
        switch (pick(9)) {
        case 0:
            view->setCenter({ coordinate(), coordinate() });
            change = "moved";
            break;
        case 1:
            view->setBounds({ 0, 0, double(pick(200)), double(pick(160)) });
            change = "resized";
            break;
        case 2:
            view->setHidden(!view->isHidden());
            change = "hidden";
            break;
        case 3:
            view->setBackgroundColor(Color(pick(4) / 3.0, pick(4) / 3.0, pick(4) / 3.0, pick(2) ? 1 : 0.5));
            change = "recoloured";
            break;
        case 4:
            // (Transforms change on screens only while animating, which redraws the window. Text
            // drawn through a group under a rounded clip comes out a few levels apart when the
            // clip is cut by the damage, so labels keep square corners here.)
            if (!text)
                view->setCornerRadius(double(pick(3) * 5));
            change = "corner radius";
            break;
        case 5:
            view->setClipsToBounds(!view->clipsToBounds());
            change = "clipping";
            break;
        case 6:
            if (text)
                text->setText(std::to_string(pick(100000)) + (pick(2) ? " MB" : " of a longer text that wraps"));
            else
                view->setBorderWidth(double(pick(4)));
            change = "text or border";
            break;
        case 7:
            if (view->superview() && view != clipping) {
                auto parent = views[std::size_t(pick(4))];
                if (!parent->isDescendantOf(view.get()))
                    parent->addSubview(view);
            }
            change = "moved to another parent";
            break;
        default:
            view->setAlpha(pick(3) / 2.0);
            change = "alpha";
            break;
        }
        if (pick(3) == 0)
            continue; // changes pile up over several frames too
        if (host.render() && host.lastDamage().width() < 375)
            ++damagedFrames;
        ASSERT_EQ(differenceFromFullFrame(host), "") << "step " << step << ": " << view->className() << " " << change;
    }
    // Most frames were partial: the comparison was not against full redraws all along.
    EXPECT_GT(damagedFrames, 50);
}

TEST(DamageDrawing, SettingWhatIsShownDamagesNothingAndATextChangeOnlyItsLabel)
{
    HeadlessHost host(scaleTwo());
    auto content = box({ 0, 0, 375, 647 }, Color::white());
    auto figure = label({ 40, 100, 120, 20 }, "4.0 GB");
    auto bar = View::create<ImageView>(Image::fromSVGData("<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'/>"));
    bar->setFrame({ 40, 140, 200, 10 });
    content->addSubview(figure);
    content->addSubview(bar);
    host.show(content);
    ASSERT_TRUE(host.render());

    figure->setText("4.0 GB");
    figure->setTextColor(figure->textColor());
    figure->setFont(figure->font());
    figure->setFrame(figure->frame());
    bar->setImage(bar->image());
    bar->setBackgroundColor(bar->backgroundColor());
    EXPECT_FALSE(host.render());
    EXPECT_TRUE(host.lastDamage().isEmpty());

    figure->setText("4.1 GB");
    ASSERT_TRUE(host.render());
    Rect damage = host.lastDamage();
    Rect figureArea = figure->convertRectTo(figure->bounds(), nullptr);
    Rect barArea = bar->convertRectTo(bar->bounds(), nullptr);
    EXPECT_TRUE(damage.intersection(figureArea) == figureArea);
    // The label with its ink margin and a point of slack, nothing of the bar below.
    EXPECT_LE(damage.width(), 120 + 6);
    EXPECT_LE(damage.height(), 20 + 6);
    EXPECT_FALSE(damage.intersects(barArea));

    // A bar that grows repaints its old and its new extent only.
    bar->setFrame({ 40, 140, 100, 10 });
    ASSERT_TRUE(host.render());
    EXPECT_TRUE(host.lastDamage() == barArea.insetBy(-1, -1));
    EXPECT_EQ(differenceFromFullFrame(host), "");
}

TEST(DamageDrawing, OnlyViewsMarkedForLayoutLayOut)
{
    HeadlessHost host(scaleTwo());
    auto content = box({ 0, 0, 375, 647 }, Color::white());
    auto panel = View::create<CountingView>();
    panel->setFrame({ 0, 0, 375, 200 });
    auto table = View::create<CountingView>();
    table->setFrame({ 0, 200, 375, 400 });
    auto figure = label({ 10, 10, 100, 20 }, "1");
    panel->addSubview(figure);
    content->addSubview(panel);
    content->addSubview(table);
    host.show(content);
    host.render();
    int panelLayouts = panel->layouts, tableLayouts = table->layouts;

    figure->setText("2");
    host.render();
    EXPECT_EQ(panel->layouts, panelLayouts);
    EXPECT_EQ(table->layouts, tableLayouts);

    panel->setNeedsLayout();
    host.render();
    EXPECT_EQ(panel->layouts, panelLayouts + 1);
    EXPECT_EQ(table->layouts, tableLayouts);
}

namespace {

// The share of the window a damage rectangle covers.
double shareOf(const Rect& damage, Size window) { return damage.width() * damage.height() / (window.width * window.height); }

} // namespace

// Every step of an animation repaints only where the animating views were and are drawn: each
// frame, drawn on the virtual clock from the steps' damage, matches a full redraw.
TEST(DamageDrawing, AnimationStepsDrawTheSameAsAFullRedraw)
{
    HeadlessHost host(scaleTwo());
    auto content = box({ 0, 0, 375, 647 }, Color::white());
    auto clipping = box({ 20, 30, 150, 120 }, Color(0.9, 0.9, 1));
    clipping->setClipsToBounds(true);
    auto card = box({ 200, 40, 100, 80 }, Color(1, 0.9, 0.8));
    auto badge = box({ 70, 50, 60, 60 }, Color(0.5, 0, 0.5));
    badge->setBorderWidth(2);
    badge->setCornerRadius(6);
    auto shadowed = box({ 60, 300, 120, 60 }, Color(0.8, 1, 0.8));
    shadowed->setShadowOpacity(0.8);
    shadowed->setShadowRadius(4);
    shadowed->setShadowOffset({ 3, 5 });
    auto chip = box({ 10, 10, 30, 20 }, Color(0.9, 0.2, 0.2));
    auto dot = box({ 250, 500, 16, 16 }, Color(0.1, 0.6, 0.3));
    dot->setCornerRadius(8);
    auto figure = label({ 10, 10, 120, 20 }, "12.4 GB");
    clipping->addSubview(figure);
    card->addSubview(badge);
    shadowed->addSubview(chip);
    content->addSubview(clipping);
    content->addSubview(card);
    content->addSubview(shadowed);
    content->addSubview(dot);
    std::vector<std::shared_ptr<View>> views { clipping, card, badge, shadowed, chip, dot, figure };
    std::vector<View*> parents { content.get(), clipping.get(), card.get(), shadowed.get() };
    host.show(content);
    host.render();

    std::mt19937 random(2626);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto coordinate = [&] { return double(pick(500)) / 2 - 20; };
    int partialFrames = 0, animatedFrames = 0;
    for (int step = 0; step < 240; ++step) {
        auto& view = views[std::size_t(pick(int(views.size())))];
        std::string change;
        if (pick(3) == 0) {
            // Animations overlap: a parent and its child, a newer one taking over an older one.
            double duration = 0.05 + pick(5) * 0.05;
            switch (pick(8)) {
            case 0:
                View::animate(duration, [&] { view->setCenter({ coordinate(), coordinate() }); });
                change = "moving";
                break;
            case 1:
                View::animate(duration, [&] {
                    view->setTransform(pick(2) ? AffineTransform::scale(0.3 + pick(4) * 0.4, 0.3 + pick(4) * 0.4)
                                               : AffineTransform::rotation(pick(8) * 0.4));
                });
                change = "transforming";
                break;
            case 2:
                View::animate(duration, [&] { view->setTransform({}); });
                change = "transform back";
                break;
            case 3:
                View::animate(duration, [&] { view->setAlpha(pick(3) / 2.0); });
                change = "fading";
                break;
            case 4:
                View::animate(duration, [&] { view->setBounds({ 0, 0, double(10 + pick(150)), double(10 + pick(100)) }); });
                change = "resizing";
                break;
            case 5:
                View::animate(duration, [&] {
                    view->setFrame({ coordinate(), coordinate(), double(10 + pick(150)), double(10 + pick(100)) });
                });
                change = "reframing";
                break;
            case 6:
                // Removed or hidden while it animates, and back later.
                if (view->superview())
                    view->removeFromSuperview();
                else
                    parents[std::size_t(pick(int(parents.size())))]->addSubview(view);
                change = "removed or re-added";
                break;
            default:
                view->setHidden(!view->isHidden());
                change = "hidden";
                break;
            }
            if (view->superview() == nullptr && pick(2) == 0 && change != "removed or re-added") {
                // A view put back mid-animation draws where its animation is.
                auto* parent = parents[std::size_t(pick(int(parents.size())))];
                if (!parent->isDescendantOf(view.get()))
                    parent->addSubview(view);
            }
        }
        host.advance(1.0 / 60);
        if (Animator::shared().hasAnimations())
            ++animatedFrames;
        if (host.render() && shareOf(host.lastDamage(), { 375, 647 }) < 0.5)
            ++partialFrames;
        ASSERT_EQ(differenceFromFullFrame(host), "") << "step " << step << ": " << view->className() << " " << change;
    }
    Animator::shared().cancelAll();
    EXPECT_GT(animatedFrames, 150);
    EXPECT_GT(partialFrames, 100);
}

// A small view animating repaints a small part of the window on every step, and the last step
// puts it where the model is.
TEST(DamageDrawing, ASmallAnimationRepaintsOnlyItsOwnRegion)
{
    HeadlessHost host(scaleTwo());
    Size window { 375, 647 };
    auto content = box({ 0, 0, window.width, window.height }, Color::white());
    auto panel = box({ 40, 200, 200, 120 }, Color(0.9, 0.9, 1));
    auto spinner = box({ 20, 20, 24, 24 }, Color(0.2, 0.4, 0.9));
    spinner->setShadowOpacity(0.5);
    panel->addSubview(spinner);
    panel->addSubview(label({ 60, 20, 120, 20 }, "Reading"));
    content->addSubview(panel);
    host.show(content);
    host.render();

    struct Case {
        const char* name;
        std::function<void()> change;
        double largestShare;
    };
    std::vector<Case> cases {
        { "move",
            [&] {
                spinner->setCenter({ 140, 90 });
            },
            0.04 },
        { "turn", [&] { spinner->setTransform(AffineTransform::rotation(0.8)); }, 0.015 },
        { "fade", [&] { spinner->setAlpha(0.2); }, 0.015 },
        { "grow",
            [&] {
                spinner->setBounds({ 0, 0, 48, 40 });
            },
            0.03 },
        // The panel moves, and the spinner inside it with it.
        { "nested",
            [&] {
                panel->setCenter({ 160, 300 });
                spinner->setCenter({ 40, 40 });
            },
            0.2 },
    };
    for (auto& c : cases) {
        View::animate(0.25, c.change);
        int steps = 0;
        double largest = 0;
        while (Animator::shared().hasAnimations() && steps < 40) {
            host.advance(1.0 / 60);
            ++steps;
            ASSERT_TRUE(host.render()) << c.name << " step " << steps;
            largest = std::max(largest, shareOf(host.lastDamage(), window));
            ASSERT_EQ(differenceFromFullFrame(host), "") << c.name << " step " << steps;
        }
        EXPECT_GE(steps, 14) << c.name;
        EXPECT_LE(largest, c.largestShare) << c.name;
        EXPECT_FALSE(host.render()) << c.name << ": nothing left to draw after the last step";
    }

    // Hidden or out of the window, an animation damages nothing.
    View::animate(0.25, [&] { spinner->setCenter({ 30, 30 }); });
    panel->setHidden(true);
    host.render();
    host.advance(1.0 / 60);
    EXPECT_FALSE(host.render());
    panel->setHidden(false);
    panel->removeFromSuperview();
    host.render();
    host.advance(1.0 / 60);
    EXPECT_FALSE(host.render());
    Animator::shared().cancelAll();
}

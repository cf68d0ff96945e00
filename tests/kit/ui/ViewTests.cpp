// SPDX-License-Identifier: MIT
#include "kit/ui/BarButtonItem.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/SegmentedControl.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/View.h"
#include "kit/ui/VisualEffectView.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

using namespace kit;

namespace {

std::shared_ptr<View> viewAt(Rect frame, int tag = 0)
{
    auto v = View::create<View>();
    v->setFrame(frame);
    v->setTag(tag);
    return v;
}

void expectRectNear(const Rect& a, const Rect& b)
{
    EXPECT_NEAR(a.x(), b.x(), 1e-9);
    EXPECT_NEAR(a.y(), b.y(), 1e-9);
    EXPECT_NEAR(a.width(), b.width(), 1e-9);
    EXPECT_NEAR(a.height(), b.height(), 1e-9);
}

} // namespace

TEST(ViewGeometry, FrameCenterAndBoundsStayConsistent)
{
    auto v = viewAt({ 10, 20, 100, 50 });
    EXPECT_EQ(v->center(), (Point { 60, 45 }));
    EXPECT_EQ(v->bounds(), (Rect { 0, 0, 100, 50 }));
    v->setCenter({ 0, 0 });
    EXPECT_EQ(v->frame(), (Rect { -50, -25, 100, 50 }));
    // A bounds origin scrolls the content but leaves the frame where it is.
    v->setBounds({ 30, 40, 100, 50 });
    EXPECT_EQ(v->frame(), (Rect { -50, -25, 100, 50 }));
    v->setFrame({ 0, 0, -10, 5 });
    EXPECT_EQ(v->frame(), (Rect { -10, 0, 10, 5 }));
}

TEST(ViewGeometry, RotatedViewFrameIsTheTurnedBoundingBox)
{
    // A strip framed unturned, then turned about its centre, as the horizontal picker does.
    auto strip = viewAt({ 100, 0, 50, 300 });
    strip->setTransform(AffineTransform::rotation(-M_PI / 2));
    expectRectNear(strip->frame(), { -25, 125, 300, 50 });
    EXPECT_EQ(strip->bounds().size, (Size { 50, 300 }));
    // Framing under a quarter turn keeps the turn and maps the size back.
    strip->setFrame({ 0, 0, 400, 60 });
    EXPECT_NEAR(strip->bounds().width(), 60, 1e-9);
    EXPECT_NEAR(strip->bounds().height(), 400, 1e-9);
    expectRectNear(strip->frame(), { 0, 0, 400, 60 });
}

TEST(ViewGeometry, NaNAndNegativeSizesAreRefused)
{
    auto v = viewAt({ 0, 0, 10, 10 });
    v->setCenter({ NAN, 3 });
    EXPECT_EQ(v->center(), (Point { 5, 5 }));
    v->setBounds({ 0, 0, -5, 7 });
    EXPECT_EQ(v->bounds().size, (Size { 0, 7 }));
    v->setAlpha(NAN);
    EXPECT_EQ(v->alpha(), 1);
    v->setAlpha(3);
    EXPECT_EQ(v->alpha(), 1);
    v->setAlpha(-1);
    EXPECT_EQ(v->alpha(), 0);
}

TEST(ViewAutoresizing, FlexibleWidthAndMarginsFollowTheSuperview)
{
    auto parent = viewAt({ 0, 0, 320, 480 });
    auto fill = viewAt({ 10, 10, 300, 460 });
    fill->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    auto pinnedRight = viewAt({ 270, 10, 40, 40 });
    pinnedRight->setAutoresizingMask(FlexibleLeftMargin);
    auto pinnedBottom = viewAt({ 10, 430, 100, 40 });
    pinnedBottom->setAutoresizingMask(FlexibleTopMargin | FlexibleWidth);
    auto fixed = viewAt({ 5, 5, 20, 20 });
    for (auto& v : { fill, pinnedRight, pinnedBottom, fixed })
        parent->addSubview(v);

    parent->setFrame({ 0, 0, 480, 320 });
    EXPECT_EQ(fill->frame(), (Rect { 10, 10, 460, 300 }));
    EXPECT_EQ(pinnedRight->frame(), (Rect { 430, 10, 40, 40 }));
    EXPECT_EQ(pinnedBottom->frame(), (Rect { 10, 270, 260, 40 }));
    EXPECT_EQ(fixed->frame(), (Rect { 5, 5, 20, 20 }));

    // And back: the round trip restores every frame.
    parent->setFrame({ 0, 0, 320, 480 });
    EXPECT_EQ(fill->frame(), (Rect { 10, 10, 300, 460 }));
    EXPECT_EQ(pinnedRight->frame(), (Rect { 270, 10, 40, 40 }));
    EXPECT_EQ(pinnedBottom->frame(), (Rect { 10, 430, 100, 40 }));
}

TEST(ViewAutoresizing, SeveralFlexiblePartsShareTheChangeInProportion)
{
    auto parent = viewAt({ 0, 0, 300, 100 });
    // Margins 100 and 100, width 100: a 150-point growth gives each part 50.
    auto centred = viewAt({ 100, 0, 100, 10 });
    centred->setAutoresizingMask(FlexibleLeftMargin | FlexibleRightMargin | FlexibleWidth);
    auto floating = viewAt({ 50, 0, 100, 10 });
    floating->setAutoresizingMask(FlexibleLeftMargin | FlexibleRightMargin);
    parent->addSubview(centred);
    parent->addSubview(floating);
    parent->setFrame({ 0, 0, 450, 100 });
    EXPECT_EQ(centred->frame(), (Rect { 150, 0, 150, 10 }));
    // Left margin 50, right margin 150: the 150 points split 1:3.
    EXPECT_DOUBLE_EQ(floating->frame().x(), 87.5);
    EXPECT_DOUBLE_EQ(floating->frame().width(), 100);
}

TEST(ViewAutoresizing, NestedSubviewsResizeTransitivelyAndNotWhenSwitchedOff)
{
    auto root = viewAt({ 0, 0, 100, 100 });
    auto middle = viewAt({ 0, 0, 100, 100 });
    middle->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    auto leaf = viewAt({ 0, 90, 100, 10 });
    leaf->setAutoresizingMask(FlexibleWidth | FlexibleTopMargin);
    root->addSubview(middle);
    middle->addSubview(leaf);
    root->setFrame({ 0, 0, 200, 150 });
    EXPECT_EQ(leaf->frame(), (Rect { 0, 140, 200, 10 }));
    middle->setAutoresizesSubviews(false);
    root->setFrame({ 0, 0, 100, 100 });
    EXPECT_EQ(middle->frame(), (Rect { 0, 0, 100, 100 }));
    EXPECT_EQ(leaf->frame(), (Rect { 0, 140, 200, 10 }));
}

TEST(ViewHierarchy, ViewWithTagSearchesItselfFirstThenDepthFirstInOrder)
{
    auto root = viewAt({}, 7);
    auto a = viewAt({}, 1);
    auto aChild = viewAt({}, 2);
    auto b = viewAt({}, 2);
    auto bChild = viewAt({}, 3);
    root->addSubview(a);
    a->addSubview(aChild);
    root->addSubview(b);
    b->addSubview(bChild);
    EXPECT_EQ(root->viewWithTag(7), root.get());
    // The first subview's subtree comes before the second subview itself.
    EXPECT_EQ(root->viewWithTag(2), aChild.get());
    EXPECT_EQ(root->viewWithTag(3), bChild.get());
    EXPECT_EQ(root->viewWithTag(99), nullptr);
    EXPECT_EQ(b->viewWithTag(2), b.get());
    // Tag 0 is every untagged view's: the search finds the nearest in the same order.
    aChild->setTag(0);
    EXPECT_EQ(root->viewWithTag(0), aChild.get());
}

TEST(ViewHierarchy, InsertionOrdersAndMoves)
{
    auto root = View::create<View>();
    auto a = View::create<View>(), b = View::create<View>(), c = View::create<View>(), d = View::create<View>();
    root->addSubview(a);
    root->addSubview(c);
    root->insertSubviewBelow(b, c.get());
    root->insertSubview(d, 100);
    ASSERT_EQ(root->subviews().size(), 4u);
    EXPECT_EQ(root->subviews()[1], b);
    EXPECT_EQ(root->subviews()[3], d);
    root->bringSubviewToFront(a.get());
    EXPECT_EQ(root->subviews().back(), a);
    root->sendSubviewToBack(d.get());
    EXPECT_EQ(root->subviews().front(), d);
    // Re-inserting a subview above a sibling reorders without duplicating.
    root->insertSubviewAbove(d, c.get());
    EXPECT_EQ(root->subviews().size(), 4u);
    EXPECT_EQ(root->subviews()[2], d);
    EXPECT_EQ(root->subviews()[1], c);

    // Adding to another superview moves the view.
    auto other = View::create<View>();
    other->addSubview(b);
    EXPECT_EQ(b->superview(), other.get());
    EXPECT_EQ(root->subviews().size(), 3u);
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_TRUE(other->subviews().empty());
}

TEST(ViewHierarchy, CyclesAreRefused)
{
    auto root = View::create<View>();
    auto child = View::create<View>();
    root->addSubview(child);
    child->addSubview(root);
    root->addSubview(root);
    EXPECT_EQ(root->superview(), nullptr);
    EXPECT_EQ(root->subviews().size(), 1u);
    EXPECT_TRUE(child->subviews().empty());
}

TEST(ViewHierarchy, SuperviewOwnsSubviewsAndASubviewOutlivingItsParentIsDetached)
{
    std::weak_ptr<View> weakChild;
    auto survivor = View::create<View>();
    {
        auto parent = View::create<View>();
        auto child = View::create<View>();
        weakChild = child;
        parent->addSubview(child);
        parent->addSubview(survivor);
        child.reset();
        EXPECT_FALSE(weakChild.expired());
    }
    EXPECT_TRUE(weakChild.expired());
    EXPECT_EQ(survivor->superview(), nullptr);
}

TEST(ViewConversion, PointsRoundTripThroughNestedTransforms)
{
    auto root = viewAt({ 0, 0, 400, 400 });
    auto turned = viewAt({ 100, 100, 200, 100 });
    turned->setTransform(AffineTransform::rotation(M_PI / 2));
    auto inner = viewAt({ 10, 10, 50, 50 });
    inner->setBounds({ 5, 0, 50, 50 });
    root->addSubview(turned);
    turned->addSubview(inner);
    // The turned view's top-left corner lands at the right of its centre after a clockwise turn.
    Point corner = turned->convertPointTo({ 0, 0 }, root.get());
    EXPECT_NEAR(corner.x, 250, 1e-9);
    EXPECT_NEAR(corner.y, 50, 1e-9);
    Point p { 17, 23 };
    Point there = inner->convertPointTo(p, root.get());
    Point back = inner->convertPointFrom(there, root.get());
    EXPECT_NEAR(back.x, p.x, 1e-9);
    EXPECT_NEAR(back.y, p.y, 1e-9);
    // Between siblings' subtrees, and the window (nullptr) as the root.
    Point viaNull = inner->convertPointTo(p, nullptr);
    EXPECT_NEAR(viaNull.x, there.x, 1e-9);
    Rect r = inner->convertRectTo(inner->bounds(), root.get());
    EXPECT_NEAR(r.width(), 50, 1e-9);
}

TEST(ViewHitTesting, FrontmostVisibleInteractiveViewWins)
{
    auto root = viewAt({ 0, 0, 100, 100 });
    auto back = viewAt({ 0, 0, 100, 100 }, 1);
    auto front = viewAt({ 50, 0, 50, 100 }, 2);
    root->addSubview(back);
    root->addSubview(front);
    EXPECT_EQ(root->hitTest({ 75, 50 }), front.get());
    EXPECT_EQ(root->hitTest({ 25, 50 }), back.get());
    front->setHidden(true);
    EXPECT_EQ(root->hitTest({ 75, 50 }), back.get());
    front->setHidden(false);
    front->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({ 75, 50 }), back.get());
    front->setAlpha(0.02);
    EXPECT_EQ(root->hitTest({ 75, 50 }), front.get());
    // A non-interactive view swallows nothing, and neither do its subviews.
    auto inside = viewAt({ 0, 0, 10, 10 });
    front->addSubview(inside);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({ 55, 5 }), back.get());
    EXPECT_EQ(root->hitTest({ 150, 50 }), nullptr);
}

TEST(ViewHitTesting, ClippingDecidesWhetherOverhangingSubviewsAreReachable)
{
    auto root = viewAt({ 0, 0, 300, 300 });
    auto box = viewAt({ 0, 0, 100, 100 }, 1);
    auto overhang = viewAt({ 80, 80, 100, 100 }, 2);
    root->addSubview(box);
    box->addSubview(overhang);
    EXPECT_EQ(root->hitTest({ 150, 150 }), overhang.get());
    box->setClipsToBounds(true);
    EXPECT_EQ(root->hitTest({ 150, 150 }), root.get());
    EXPECT_EQ(root->hitTest({ 90, 90 }), overhang.get());
}

TEST(ViewHitTesting, RotatedStripIsHitWhereItIsDrawn)
{
    // 300 × 50 on screen after the turn; unturned it would cover x 100…150, y 0…300.
    auto root = viewAt({ 0, 0, 400, 400 });
    auto strip = viewAt({ 100, 0, 50, 300 });
    strip->setTransform(AffineTransform::rotation(-M_PI / 2));
    auto cells = std::vector<std::shared_ptr<View>> {};
    for (int i = 0; i < 3; ++i) {
        auto cell = viewAt({ 0, double(i) * 100, 50, 100 }, 10 + i);
        strip->addSubview(cell);
        cells.push_back(cell);
    }
    root->addSubview(strip);
    EXPECT_EQ(root->hitTest({ 125, 10 }), root.get());
    // Turned anticlockwise, the strip's first rows lie at the left.
    EXPECT_EQ(root->hitTest({ 0, 150 }), cells[0].get());
    EXPECT_EQ(root->hitTest({ 120, 150 }), cells[1].get());
    EXPECT_EQ(root->hitTest({ 270, 160 }), cells[2].get());
    EXPECT_EQ(root->hitTest({ 270, 180 }), root.get());
}

TEST(ViewHitTesting, ClippedAndRotatedParentLimitsItsChildren)
{
    auto root = viewAt({ 0, 0, 400, 400 });
    auto clip = viewAt({ 100, 100, 100, 100 });
    clip->setClipsToBounds(true);
    clip->setTransform(AffineTransform::rotation(M_PI / 4));
    auto big = viewAt({ -100, -100, 300, 300 }, 5);
    clip->addSubview(big);
    root->addSubview(clip);
    // The diamond's tip is above the unturned square; its unturned corner is now outside.
    EXPECT_EQ(root->hitTest({ 150, 85 }), big.get());
    EXPECT_EQ(root->hitTest({ 105, 105 }), root.get());
}

TEST(ViewLayout, SizeToFitKeepsTheOriginAndLayoutRunsOncePerRequest)
{
    struct Counting : View {
        int layouts = 0;
        void layoutSubviews() override { ++layouts; }
        Size sizeThatFits(Size) const override { return { 42, 24 }; }
    };
    auto v = View::create<Counting>();
    v->setFrame({ 10, 10, 1, 1 });
    v->layoutIfNeeded();
    int before = v->layouts;
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, before);
    v->sizeToFit();
    EXPECT_EQ(v->frame(), (Rect { 10, 10, 42, 24 }));
    // A size change asks for layout; moving does not.
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, before + 1);
    v->setCenter({ 100, 100 });
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, before + 1);
}

TEST(ViewValues, ClassNamesAndValuesForKeys)
{
    EXPECT_EQ(View::create<View>()->className(), "UIView");
    EXPECT_EQ(View::create<Label>()->className(), "UILabel");
    EXPECT_EQ(View::create<Button>()->className(), "UIButton");
    auto v = View::create<View>();
    v->setTag(12);
    EXPECT_EQ(v->valueForKey("tag").intValue(), 12);
    EXPECT_TRUE(v->valueForKey("_capacity").isNull());
    // A view rides in a Value and comes back as itself.
    Value carried(v);
    EXPECT_EQ(carried.objectAs<View>(), v);
}

TEST(ViewRedraw, ChangesMarkTheWindowOnceUntilCleared)
{
    auto window = View::create<Window>();
    window->setFrame({ 0, 0, 320, 480 });
    int calls = 0;
    window->setNeedsRedrawCallback([&] { ++calls; });
    auto v = viewAt({ 10, 10, 50, 50 });
    window->addSubview(v);
    window->clearNeedsRedraw();
    calls = 0;
    v->setBackgroundColor(Color::black());
    v->setBackgroundColor(Color::white());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(window->needsRedraw());
    EXPECT_EQ(window->dirtyRect(), (Rect { 10, 10, 50, 50 }));
    window->clearNeedsRedraw();
    // Setting the same value again is no change.
    v->setBackgroundColor(Color::white());
    EXPECT_FALSE(window->needsRedraw());
    EXPECT_EQ(calls, 1);
    // Moving dirties both the old and the new place.
    v->setCenter({ 200, 200 });
    EXPECT_EQ(window->dirtyRect(), (Rect { 10, 10, 215, 215 }));
}

// A view made any other way than View::create skips didCreate(): a VisualEffectView built with
// make_shared had no content view. No kit view can be constructed directly.
template<typename... Views>
constexpr bool noneConstructible = (!std::is_constructible_v<Views> && ...);
static_assert(noneConstructible<View, Label, ImageView, Button, BarButtonItem, Control, SegmentedControl, ScrollView, TableView,
    TableViewCell, VisualEffectView, Window, StatusBarWindow, StatusBarBatteryItemView>);
static_assert(!std::is_constructible_v<Label, std::string>);
static_assert(!std::is_constructible_v<VisualEffectView, VisualEffectView::Effect>);

TEST(ViewCreation, CreateRunsDidCreateForEveryView)
{
    auto effect = View::create<VisualEffectView>(VisualEffectView::Effect::DarkBlur);
    ASSERT_NE(effect->contentView(), nullptr);
    EXPECT_EQ(effect->contentView()->superview(), effect.get());
    auto cell = TableViewCell::create(TableViewCellStyle::Default, "cell");
    EXPECT_NE(cell->contentView(), nullptr);
}

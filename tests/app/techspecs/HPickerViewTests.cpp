// SPDX-License-Identifier: MIT
#include "app/techspecs/HPickerView.h"

#include "kit/base/Log.h"
#include "kit/base/RunLoop.h"
#include "kit/ui/Animator.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ScrollViewDeceleration.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using kit::IndexPath;
using kit::Point;

namespace {

// Ten models between the service columns; every call the picker makes is logged.
class Columns : public HPickerViewDataSource, public HPickerViewDelegate {
public:
    int models = 10;
    std::vector<std::string> calls;

    int numberOfRowsInSection(HPickerView& picker, int) override
    {
        return models + 2 * static_cast<int>(picker.serviceColsCount());
    }
    std::shared_ptr<kit::View> viewForRowAtIndexPath(HPickerView& picker, const IndexPath& path) override
    {
        int model = path.row - static_cast<int>(picker.serviceColsCount());
        if (model < 0 || model >= models)
            return nullptr;
        auto view = kit::View::create();
        view->setFrame({ 0, 0, picker.columnWidth(), picker.columnHeight() });
        return view;
    }
    void pickerViewWillChangeRow(HPickerView&) override { calls.push_back("willChange"); }
    void didSelectRowAtIndexPath(HPickerView&, const IndexPath& path) override
    {
        calls.push_back("select " + std::to_string(path.row));
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }
};

// A 320-point picker of 107-point columns at y 20 in a window, on the virtual clock.
class HPickerViewTest : public ::testing::Test {
protected:
    static constexpr double kColumn = 107;
    static constexpr double kStripY = 20 + 18; // the middle of the picker's height

    void SetUp() override
    {
        kit::RunLoop::main().setVirtualClock(true);
        kit::Log::setEchoToStderr(false);
        window = kit::View::create<kit::Window>();
        window->setFrame({ 0, 0, 320, 480 });
        picker = HPickerView::create({ 0, 20, 320, 36 }, kColumn);
        picker->setDataSource(&columns);
        picker->setDelegate(&columns);
        window->addSubview(picker);
        window->layoutIfNeeded();
    }
    void TearDown() override
    {
        kit::Animator::shared().cancelAll();
        picker->setDelegate(nullptr);
        picker->setDataSource(nullptr);
        window.reset();
        picker.reset();
        kit::RunLoop::main().advance(1);
    }

    void advance(double seconds) { kit::RunLoop::main().advance(seconds); }
    double offset() const { return picker->pvTableView()->contentOffset().y; }
    int current() const { return picker->currentIndexPath().value_or(IndexPath { 0, -1 }).row; }
    // The offset that puts a column on the centre line.
    static double centredOffset(int column) { return (column + 0.5) * kColumn - 2.5 * kColumn; }
    // Where a column's middle is on screen at the current offset.
    double screenX(int column) const { return 160 + (column + 0.5) * kColumn - offset() - 2.5 * kColumn; }

    void tap(Point at)
    {
        window->layoutIfNeeded();
        window->sendTouch(kit::Touch::Phase::Began, at);
        window->sendTouch(kit::Touch::Phase::Ended, at);
    }
    // A finger moving along the strip, let go with a horizontal velocity (points per second
    // on screen; negative moves the strip forward).
    void drag(double fromX, double toX, double velocityX)
    {
        window->layoutIfNeeded();
        window->sendTouch(kit::Touch::Phase::Began, { fromX, kStripY });
        for (int i = 1; i <= 4; ++i)
            window->sendTouch(kit::Touch::Phase::Moved, { fromX + (toX - fromX) * i / 4, kStripY }, { velocityX, 0 });
        window->sendTouch(kit::Touch::Phase::Ended, { toX, kStripY }, { velocityX, 0 });
    }
    // The release speed after which the fast deceleration travels `distance` points.
    static double speedFor(double distance)
    {
        return kit::ScrollViewDeceleration::kStopVelocity - 1000.0 * std::log(kit::kScrollViewDecelerationRateFast) * distance;
    }
    // Drags 20 points from rest and flings so that the strip stops with the centre line
    // `past` of a column beyond the middle of `column`, moving forward (or back).
    void flingToStopPast(int column, double past, bool forward)
    {
        double startOffset = offset();
        double stop = centredOffset(column) + (forward ? past : -past) * kColumn;
        double dragged = forward ? 20 : -20;
        double distance = std::abs(stop - (startOffset + dragged));
        double speed = speedFor(distance);
        // The deceleration itself agrees on where it stops.
        kit::ScrollViewDeceleration check(startOffset + dragged, forward ? speed : -speed, kit::kScrollViewDecelerationRateFast,
            0, picker->pvTableView()->maximumContentOffset().y);
        ASSERT_NEAR(check.finalOffset(), stop, 0.5);
        drag(200, forward ? 180 : 220, forward ? -speed : speed);
    }

    Columns columns;
    std::shared_ptr<kit::Window> window;
    std::shared_ptr<HPickerView> picker;
};

} // namespace

TEST_F(HPickerViewTest, ServiceColumnsStripAndStartingColumn)
{
    EXPECT_EQ(picker->serviceColsCount(), 2u);
    EXPECT_EQ(picker->columnWidth(), 107);
    EXPECT_EQ(picker->columnHeight(), 36);
    EXPECT_EQ(picker->pvTableView()->numberOfRowsInSection(0), 14);
    // Five columns long, centred on the centre line and lying across the picker.
    kit::Rect strip = picker->pvTableView()->frame();
    EXPECT_NEAR(strip.width(), 5 * 107, 1e-9);
    EXPECT_NEAR(strip.height(), 36, 1e-9);
    EXPECT_NEAR(strip.midX(), 160, 1e-9);
    EXPECT_NEAR(strip.minY(), 0, 1e-9);
    EXPECT_TRUE(picker->clipsToBounds());
    EXPECT_EQ(picker->pvTableView()->decelerationRate(), kit::kScrollViewDecelerationRateFast);
    // At the left end the first model is on the centre line.
    EXPECT_EQ(current(), 2);

    // Other widths: an exact multiple gains no extra column; a tablet's fifths need four.
    struct Case {
        double width, column;
        unsigned service;
    };
    for (auto c :
        { Case { 375, 125, 2 }, Case { 414, 138, 2 }, Case { 768, 154, 4 }, Case { 1024, 154, 6 }, Case { 100, 300, 0 } }) {
        auto other = HPickerView::create({ 0, 0, c.width, 44 }, c.column);
        EXPECT_EQ(other->serviceColsCount(), c.service) << c.width;
    }
    // A column width of nothing is one column across the view.
    EXPECT_EQ(HPickerView::create({ 0, 0, 320, 36 }, 0)->columnWidth(), 320);
}

TEST_F(HPickerViewTest, ColumnViewsStandUprightInTheirColumns)
{
    auto* cell = picker->pvTableView()->cellForRowAtIndexPath({ 0, 3 });
    ASSERT_NE(cell, nullptr);
    kit::View* column = cell->viewWithTag(HPickerView::kColumnViewTag);
    ASSERT_NE(column, nullptr);
    kit::Rect onScreen = column->convertRectTo(column->bounds(), nullptr);
    EXPECT_NEAR(onScreen.width(), 107, 1e-6);
    EXPECT_NEAR(onScreen.height(), 36, 1e-6);
    EXPECT_NEAR(onScreen.midX(), screenX(3), 1e-6);
    EXPECT_NEAR(onScreen.minY(), 20, 1e-6);
    // Upright: the column's own x axis runs left to right on screen.
    Point a = column->convertPointTo({ 0, 0 }, nullptr);
    Point b = column->convertPointTo({ 10, 0 }, nullptr);
    EXPECT_NEAR(b.x - a.x, 10, 1e-9);
    EXPECT_NEAR(b.y - a.y, 0, 1e-9);
    // Service columns stay empty.
    auto* service = picker->pvTableView()->cellForRowAtIndexPath({ 0, 1 });
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->viewWithTag(HPickerView::kColumnViewTag), nullptr);
}

TEST_F(HPickerViewTest, FlingStoppingWellPastAMiddleLeansOnOneColumn)
{
    flingToStopPast(5, 0.30, true);
    advance(5);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 6" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(6));

    // 20 % past is not far enough: back to the column it stopped in.
    flingToStopPast(8, 0.20, true);
    advance(5);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 8" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(8));
}

TEST_F(HPickerViewTest, FlingBackwardsLeansBackwards)
{
    picker->selectColAtIndexPath({ 0, 9 }, false);
    columns.take();
    flingToStopPast(6, 0.30, false);
    advance(5);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 5" }));
    flingToStopPast(4, 0.20, false);
    advance(5);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 4" }));
}

TEST_F(HPickerViewTest, SlowDragReleasedAtRestSnapsToTheColumnUnderTheLine)
{
    // 150 points on: the line is 43 points short of column 3's middle, no lean without motion.
    drag(300, 150, 0);
    EXPECT_DOUBLE_EQ(offset(), 150);
    EXPECT_DOUBLE_EQ(picker->startDeceleratingPos().y, 150);
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 3" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(3));
    // 53 points past column 4's middle and released at rest: still column 4.
    drag(300, 300 - (centredOffset(4) + 53 - offset()), 0);
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 4" }));
}

TEST_F(HPickerViewTest, TapsOnTheCentredANeighbouringAndAServiceColumn)
{
    tap({ screenX(2), kStripY });
    advance(1);
    EXPECT_TRUE(columns.take().empty()) << "the centred column is already chosen";

    tap({ screenX(3), kStripY });
    EXPECT_TRUE(picker->pvTableView()->isScrollAnimating());
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 3" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(3));

    picker->selectColAtIndexPath({ 0, 2 }, false);
    // The service column left of the first model goes to the delegate as it is.
    tap({ screenX(1), kStripY });
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "select 1" }));
    EXPECT_FALSE(picker->pvTableView()->isScrollAnimating());
}

TEST_F(HPickerViewTest, SelectingAColumnReportsOnlyAnimatedMovesOnceTheyEnd)
{
    picker->selectColAtIndexPath({ 0, 7 }, false);
    advance(1);
    EXPECT_TRUE(columns.take().empty());
    EXPECT_EQ(current(), 7);

    picker->selectColAtIndexPath({ 0, 4 }, true);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange" }));
    EXPECT_EQ(picker->targetIndexPath()->row, 4);
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "select 4" }));

    // Already on the line: reported at once.
    picker->selectColAtIndexPath({ 0, 4 }, true);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 4" }));

    // A service column brings the nearest model as far as the strip goes, and that is reported.
    picker->selectColAtIndexPath({ 0, 13 }, true);
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 11" }));
    // Already at that end, there is nowhere to go, and the report still comes.
    picker->selectColAtIndexPath({ 0, 12 }, true);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 11" }));
}

TEST_F(HPickerViewTest, WheelRunsSnapAtRestLeaningTheWayTheyWent)
{
    // One notch of a wheel (40 points) is more than a quarter column: on to the next one.
    window->sendScrollWheel({ 160, kStripY }, 0, 40);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange" }));
    advance(kit::ScrollView::kWheelEndDelay + 1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "select 3" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(3));

    // A touchpad nudge of a few points, fingers lifted: back at once, reported once.
    window->sendScrollWheel({ 160, kStripY }, -20, 0);
    window->sendScrollWheelEnded({ 160, kStripY });
    EXPECT_TRUE(picker->pvTableView()->isScrollAnimating());
    advance(1);
    EXPECT_EQ(columns.take(), (std::vector<std::string> { "willChange", "select 3" }));
    EXPECT_DOUBLE_EQ(offset(), centredOffset(3));
}

TEST_F(HPickerViewTest, BannerAndMarkerTakeOppositeStates)
{
    EXPECT_TRUE(picker->bannerViewHidden());
    EXPECT_FALSE(picker->arrowView()->isHidden());
    EXPECT_EQ(picker->arrowView()->frame().size, (kit::Size { 0, 0 }));
    EXPECT_EQ(picker->arrowView()->frame().origin, (Point { 160, 0 }));

    auto banner = kit::View::create();
    picker->setBannerView(banner);
    EXPECT_TRUE(banner->isHidden()) << "a banner comes in the picker's banner state";
    EXPECT_EQ(picker->subviews().back().get(), banner.get());
    picker->setBannerViewHidden(false);
    EXPECT_FALSE(banner->isHidden());
    EXPECT_TRUE(picker->arrowView()->isHidden());

    auto background = kit::View::create();
    picker->setBackgroundView(background);
    EXPECT_EQ(picker->subviews().front().get(), background.get());
    auto replacement = kit::View::create();
    picker->setBackgroundView(replacement);
    EXPECT_EQ(background->superview(), nullptr);
    EXPECT_EQ(picker->subviews().front().get(), replacement.get());
    picker->setBannerView(nullptr);
    EXPECT_EQ(banner->superview(), nullptr);
}

TEST_F(HPickerViewTest, WithoutADelegateNothingIsToldAndNothingBreaks)
{
    picker->setDelegate(nullptr);
    drag(300, 150, -2000);
    advance(5);
    tap({ screenX(current() + 1), kStripY });
    advance(1);
    EXPECT_DOUBLE_EQ(offset(), centredOffset(current()));
    EXPECT_TRUE(columns.take().empty());
}

// SPDX-License-Identifier: MIT
#include "TableViewTestSupport.h"

#include "kit/ui/ScrollViewDeceleration.h"

#include <cmath>

using namespace kit;
using kit::test::ScrollEventRecorder;

// Deceleration arithmetic

TEST(ScrollViewDeceleration, FreeFlingTravelsTheRateDistanceAndStops)
{
    // Normal rate: a 1000 pt/s fling covers about v / (1000 * -ln 0.998) ≈ 497 points.
    ScrollViewDeceleration normal(0, 1000, kScrollViewDecelerationRateNormal, 0, 1e9);
    EXPECT_GT(normal.finalOffset(), 480);
    EXPECT_LT(normal.finalOffset(), 500);
    EXPECT_NEAR(normal.finalOffset(), ScrollViewDeceleration::projectedDistance(1000, kScrollViewDecelerationRateNormal), 3);
    // Fast rate: about a fifth as far, and sooner.
    ScrollViewDeceleration fast(0, 1000, kScrollViewDecelerationRateFast, 0, 1e9);
    EXPECT_GT(fast.finalOffset(), 95);
    EXPECT_LT(fast.finalOffset(), 100);
    EXPECT_LT(fast.duration(), normal.duration());
    // The offset only grows, and is at rest once the duration has passed.
    double last = 0;
    for (double t = 0; t <= normal.duration() + 0.5; t += 0.05) {
        double o = normal.offsetAt(t);
        EXPECT_GE(o, last);
        last = o;
    }
    EXPECT_DOUBLE_EQ(normal.offsetAt(normal.duration() + 10), normal.finalOffset());
    EXPECT_EQ(normal.velocityAt(normal.duration() + 0.01), 0);
}

TEST(ScrollViewDeceleration, StopsAtTheEndsOfTheRange)
{
    ScrollViewDeceleration forward(900, 3000, kScrollViewDecelerationRateNormal, 0, 1000);
    EXPECT_DOUBLE_EQ(forward.finalOffset(), 1000);
    // It arrives at the edge well before the free motion would have stopped.
    ScrollViewDeceleration free(900, 3000, kScrollViewDecelerationRateNormal, 0, 1e9);
    EXPECT_LT(forward.duration(), free.duration());
    for (double t = 0; t < 5; t += 0.1)
        EXPECT_LE(forward.offsetAt(t), 1000);

    ScrollViewDeceleration backward(50, -2000, kScrollViewDecelerationRateFast, 0, 1000);
    EXPECT_DOUBLE_EQ(backward.finalOffset(), 0);
    // Already at the end and pushing against it: no motion.
    ScrollViewDeceleration pinned(1000, 500, kScrollViewDecelerationRateNormal, 0, 1000);
    EXPECT_FALSE(pinned.isMoving());
}

TEST(ScrollViewDeceleration, BadInputGivesDefinedMotion)
{
    ScrollViewDeceleration nan(10, std::nan(""), kScrollViewDecelerationRateNormal, 0, 100);
    EXPECT_FALSE(nan.isMoving());
    EXPECT_EQ(nan.finalOffset(), 10);
    // A rate that would never stop falls back to the normal one.
    ScrollViewDeceleration never(0, 1000, 1.5, 0, 1e9);
    EXPECT_NEAR(never.finalOffset(), ScrollViewDeceleration(0, 1000, kScrollViewDecelerationRateNormal, 0, 1e9).finalOffset(),
        1e-9);
    // A start outside the range is brought inside.
    ScrollViewDeceleration outside(-50, 0, kScrollViewDecelerationRateNormal, 0, 100);
    EXPECT_EQ(outside.finalOffset(), 0);
    // Slower than the stop velocity: already at rest.
    EXPECT_FALSE(ScrollViewDeceleration(0, 3, kScrollViewDecelerationRateNormal, 0, 100).isMoving());
}

// A scroll view in a window, driven by touches and the virtual clock.

class ScrollViewTest : public kit::test::VirtualClockTest {
protected:
    void SetUp() override
    {
        VirtualClockTest::SetUp();
        scroll = View::create<ScrollView>();
        scroll->setFrame({ 0, 0, 320, 480 });
        scroll->setContentSize({ 320, 5000 });
        scroll->setDelegate(&recorder);
        window->addSubview(scroll);
    }
    void TearDown() override
    {
        scroll->setDelegate(nullptr);
        scroll.reset();
        VirtualClockTest::TearDown();
    }

    std::shared_ptr<ScrollView> scroll;
    ScrollEventRecorder recorder;
};

TEST_F(ScrollViewTest, FlingDeceleratesWithEventsInOrderAndStopsInTheBand)
{
    drag({ 160, 400 }, { 160, 300 }, { 0, -1000 });
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 100);
    EXPECT_TRUE(scroll->isDecelerating());
    advance(10);
    EXPECT_FALSE(scroll->isDecelerating());
    std::vector<std::string> expected { "willBeginDragging", "didScroll", "didEndDragging(decelerate)", "willBeginDecelerating",
        "didScroll", "didEndDecelerating" };
    EXPECT_EQ(recorder.events, expected);
    // 100 points of drag, then about 497 of normal deceleration.
    EXPECT_GT(scroll->contentOffset().y, 100 + 480);
    EXPECT_LT(scroll->contentOffset().y, 100 + 500);
}

TEST_F(ScrollViewTest, FastRateStopsSooner)
{
    scroll->setDecelerationRate(kScrollViewDecelerationRateFast);
    drag({ 160, 400 }, { 160, 300 }, { 0, -1000 });
    advance(10);
    EXPECT_GT(scroll->contentOffset().y, 100 + 95);
    EXPECT_LT(scroll->contentOffset().y, 100 + 100);
}

TEST_F(ScrollViewTest, DragReleasedAtRestHasNoDecelerationEvents)
{
    drag({ 160, 400 }, { 160, 250 }, { 0, 0 });
    advance(5);
    std::vector<std::string> expected { "willBeginDragging", "didScroll", "didEndDragging" };
    EXPECT_EQ(recorder.events, expected);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 150);
}

TEST_F(ScrollViewTest, FlingPastTheEndStopsAtTheLastOffset)
{
    scroll->setContentInset({ 0, 0, 43, 0 });
    scroll->setContentOffset({ 0, 4400 });
    recorder.events.clear();
    drag({ 160, 400 }, { 160, 300 }, { 0, -4000 });
    advance(10);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 5000 + 43 - 480);
    EXPECT_EQ(recorder.events.back(), "didEndDecelerating");
    // And back up past the start: stops at the top inset.
    scroll->setContentInset({ 20, 0, 0, 0 });
    scroll->setContentOffset({ 0, 50 });
    drag({ 160, 100 }, { 160, 150 }, { 0, 4000 });
    advance(10);
    EXPECT_NEAR(scroll->contentOffset().y, -20, 1e-6);
}

TEST_F(ScrollViewTest, DraggingStopsAtTheEnds)
{
    drag({ 160, 100 }, { 160, 400 }, { 0, 0 });
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    // Sideways drags do not move a view whose content is as wide as it is.
    scroll->setContentOffset({ 0, 300 });
    drag({ 300, 200 }, { 100, 200 }, { 0, 0 });
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 0);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 300);
}

TEST_F(ScrollViewTest, TapIsNotADrag)
{
    window->sendTouch(Touch::Phase::Began, { 100, 100 });
    window->sendTouch(Touch::Phase::Moved, { 104, 103 });
    window->sendTouch(Touch::Phase::Ended, { 104, 103 });
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
}

TEST_F(ScrollViewTest, TouchStopsADecelerationAndStillReportsItsEnd)
{
    drag({ 160, 400 }, { 160, 300 }, { 0, -2000 });
    advance(0.1);
    double caught = scroll->contentOffset().y;
    window->sendTouch(Touch::Phase::Began, { 160, 300 });
    window->sendTouch(Touch::Phase::Ended, { 160, 300 });
    advance(5);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, caught);
    EXPECT_EQ(recorder.events.back(), "didEndDecelerating");
}

TEST_F(ScrollViewTest, AnimatedOffsetEndsWithScrollingAnimationOnly)
{
    scroll->setContentOffset({ 0, 600 }, true);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    advance(ScrollView::kScrollAnimationDuration / 2);
    double midway = scroll->contentOffset().y;
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 600);
    advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 600);
    std::vector<std::string> expected { "didScroll", "didEndScrollingAnimation" };
    EXPECT_EQ(recorder.events, expected);

    // Unanimated moves and moves to where the content is report no animation end.
    recorder.events.clear();
    scroll->setContentOffset({ 0, 100 });
    scroll->setContentOffset({ 0, 100 }, true);
    advance(1);
    EXPECT_EQ(recorder.events, std::vector<std::string> { "didScroll" });
}

TEST_F(ScrollViewTest, WheelScrollsBySteps)
{
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 80);
    window->sendScrollWheel({ 160, 240 }, 0, -1000);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    advance(2);
    EXPECT_EQ(recorder.events, std::vector<std::string> { "didScroll" });
    EXPECT_EQ(recorder.scrollCount, 3);
}

TEST_F(ScrollViewTest, IndicatorsShowOnlyWhileMovingAndWhenAsked)
{
    EXPECT_FALSE(scroll->isVerticalScrollIndicatorVisible());
    window->sendTouch(Touch::Phase::Began, { 160, 400 });
    window->sendTouch(Touch::Phase::Moved, { 160, 300 });
    EXPECT_TRUE(scroll->isVerticalScrollIndicatorVisible());
    EXPECT_FALSE(scroll->isHorizontalScrollIndicatorVisible());
    window->sendTouch(Touch::Phase::Ended, { 160, 300 });
    EXPECT_FALSE(scroll->isVerticalScrollIndicatorVisible());

    scroll->setShowsVerticalScrollIndicator(false);
    window->sendTouch(Touch::Phase::Began, { 160, 400 });
    window->sendTouch(Touch::Phase::Moved, { 160, 300 });
    EXPECT_FALSE(scroll->isVerticalScrollIndicatorVisible());
    window->sendTouch(Touch::Phase::Ended, { 160, 300 });
}

TEST_F(ScrollViewTest, TurnedScrollViewScrollsAlongItsOwnAxis)
{
    // Turned a quarter turn anticlockwise: its rows run left to right on screen.
    scroll->setFrame({ 0, 0, 100, 320 });
    scroll->setCenter({ 160, 240 });
    scroll->setTransform(AffineTransform::rotation(-M_PI / 2));
    // A finger moving left on screen moves the content towards its end.
    drag({ 300, 240 }, { 200, 240 }, { 0, 0 });
    EXPECT_NEAR(scroll->contentOffset().y, 100, 1e-9);
    EXPECT_NEAR(scroll->contentOffset().x, 0, 1e-9);
}

namespace {

// Also records the runs of wheel steps.
struct WheelEventRecorder : ScrollEventRecorder {
    void scrollViewWillBeginWheelScrolling(ScrollView&) override { events.push_back("willBeginWheelScrolling"); }
    void scrollViewDidEndWheelScrolling(ScrollView&) override { events.push_back("didEndWheelScrolling"); }
};

} // namespace

TEST_F(ScrollViewTest, WheelStepsMakeOneRunThatEndsAfterAPause)
{
    WheelEventRecorder wheel;
    scroll->setDelegate(&wheel);
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    advance(ScrollView::kWheelEndDelay * 0.5);
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    advance(ScrollView::kWheelEndDelay * 0.9);
    EXPECT_TRUE(scroll->isWheelScrolling()) << "each step restarts the wait";
    EXPECT_EQ(wheel.events, (std::vector<std::string> { "willBeginWheelScrolling", "didScroll" }));
    advance(ScrollView::kWheelEndDelay * 0.2);
    EXPECT_FALSE(scroll->isWheelScrolling());
    EXPECT_EQ(wheel.events.back(), "didEndWheelScrolling");
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 80);

    // The device's own end (touchpad fingers lifted) ends the run at once, and only once.
    wheel.events.clear();
    window->sendScrollWheel({ 160, 240 }, 0, 10);
    window->sendScrollWheelEnded({ 160, 240 });
    advance(1);
    EXPECT_EQ(wheel.events, (std::vector<std::string> { "willBeginWheelScrolling", "didScroll", "didEndWheelScrolling" }));
    // An end with no run under way is not a run.
    window->sendScrollWheelEnded({ 160, 240 });
    EXPECT_EQ(wheel.events.size(), 3u);
    scroll->setDelegate(&recorder);
}

TEST_F(ScrollViewTest, AFingerTakesOverFromTheWheelWithoutAnEndOfRun)
{
    WheelEventRecorder wheel;
    scroll->setDelegate(&wheel);
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    window->sendTouch(Touch::Phase::Began, { 160, 400 });
    advance(1);
    EXPECT_FALSE(scroll->isWheelScrolling());
    EXPECT_EQ(std::count(wheel.events.begin(), wheel.events.end(), "didEndWheelScrolling"), 0);
    window->sendTouch(Touch::Phase::Ended, { 160, 400 });
    scroll->setDelegate(&recorder);
}

TEST_F(ScrollViewTest, WheelStopsASnapTheDelegateStartsWhenTheWheelInterruptsAFling)
{
    // A delegate that snaps when a deceleration ends (as a picker does).
    struct Snapper : WheelEventRecorder {
        void scrollViewDidEndDecelerating(ScrollView& view) override
        {
            WheelEventRecorder::scrollViewDidEndDecelerating(view);
            view.setContentOffset({ 0, 1000 }, true);
        }
    } snapper;
    scroll->setDelegate(&snapper);
    drag({ 160, 400 }, { 160, 300 }, { 0, -1000 });
    ASSERT_TRUE(scroll->isDecelerating());
    window->sendScrollWheel({ 160, 240 }, 0, 40);
    EXPECT_FALSE(scroll->isScrollAnimating()) << "the wheel, not the snap, moves the content";
    double at = scroll->contentOffset().y;
    advance(1);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, at);
    EXPECT_EQ(snapper.events.back(), "didEndWheelScrolling");
    scroll->setDelegate(&recorder);
}

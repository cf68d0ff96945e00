// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"
#include "kit/ui/Animator.h"
#include "kit/ui/View.h"

#include <gtest/gtest.h>

using namespace kit;

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().setVirtualClock(true);
        view = View::create<View>();
        view->setFrame({ 0, 0, 100, 100 });
    }
    void TearDown() override
    {
        Animator::shared().cancelAll();
        RunLoop::main().setVirtualClock(false);
    }
    // As a host's frame does: time moves on, then the animator catches up before drawing.
    void advance(double seconds)
    {
        RunLoop::main().advance(seconds);
        Animator::shared().tick(RunLoop::main().now());
    }

    std::shared_ptr<View> view;
};

TEST_F(AnimationTest, ModelValuesChangeAtOncePresentationMovesEased)
{
    View::animate(1.0, [&] {
        view->setAlpha(0);
        view->setCenter({ 250, 50 });
    });
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->center(), (Point { 250, 50 }));
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->presentation().alpha, 1);
    EXPECT_EQ(view->presentation().center, (Point { 50, 50 }));

    advance(0.25);
    double quarter = view->presentation().center.x;
    advance(0.25);
    double half = view->presentation().center.x;
    // Ease in and out: slow at the start, half way at half time.
    EXPECT_GT(quarter, 50);
    EXPECT_LT(quarter - 50, (half - 50) / 2);
    EXPECT_NEAR(half, 150, 3);
    EXPECT_NEAR(view->presentation().alpha, 0.5, 0.03);

    advance(0.6);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->presentation().center, (Point { 250, 50 }));
    EXPECT_EQ(view->presentation().alpha, 0);
}

TEST_F(AnimationTest, CompletionRunsOnceAtTheEndWithFinished)
{
    int calls = 0;
    bool finished = false;
    View::animate(
        0.5,
        [&] {
            view->setFrame({ 0, 0, 200, 50 });
        },
        [&](bool f) {
            ++calls;
            finished = f;
        });
    advance(0.4);
    EXPECT_EQ(calls, 0);
    advance(0.2);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(finished);
    EXPECT_EQ(view->presentation().bounds.size, (Size { 200, 50 }));
    advance(1);
    EXPECT_EQ(calls, 1);
}

TEST_F(AnimationTest, SupersededAnimationCompletesUnfinishedAndTheNewOneStartsWhereItWas)
{
    bool firstFinished = true;
    int firstCalls = 0;
    bool secondFinished = false;
    View::animate(
        1.0,
        [&] {
            view->setCenter({ 150, 50 });
        },
        [&](bool f) {
            ++firstCalls;
            firstFinished = f;
        });
    advance(0.5);
    double midway = view->presentation().center.x;
    View::animate(
        1.0,
        [&] {
            view->setCenter({ 0, 50 });
        },
        [&](bool f) { secondFinished = f; });
    EXPECT_EQ(firstCalls, 1);
    EXPECT_FALSE(firstFinished);
    EXPECT_NEAR(view->presentation().center.x, midway, 1e-9);
    advance(1.1);
    EXPECT_TRUE(secondFinished);
    EXPECT_EQ(view->presentation().center, (Point { 0, 50 }));
}

TEST_F(AnimationTest, NoChangeOrNoDurationCompletesAtOnce)
{
    int calls = 0;
    View::animate(
        0.3, [] {}, [&](bool f) { calls += f ? 1 : 100; });
    EXPECT_EQ(calls, 1);
    // Same value: nothing to animate.
    View::animate(
        0.3, [&] { view->setAlpha(1); }, [&](bool f) { calls += f ? 1 : 100; });
    EXPECT_EQ(calls, 2);
    View::animate(
        0, [&] { view->setAlpha(0.2); }, [&](bool f) { calls += f ? 1 : 100; });
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(view->presentation().alpha, 0.2);
    View::performWithoutAnimation([&] { View::animate(1, [&] { view->setAlpha(0.9); }); });
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(AnimationTest, DelayHoldsTheStartValue)
{
    View::animate(0.5, 0.5, View::Curve::Linear, [&] { view->setAlpha(0); });
    advance(0.4);
    EXPECT_EQ(view->presentation().alpha, 1);
    advance(0.35);
    EXPECT_NEAR(view->presentation().alpha, 0.5, 0.05);
    advance(0.3);
    EXPECT_EQ(view->presentation().alpha, 0);
}

TEST_F(AnimationTest, AutoresizedSubviewsAnimateWithTheirSuperview)
{
    auto child = View::create<View>();
    child->setFrame({ 0, 0, 100, 100 });
    child->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    view->addSubview(child);
    View::animate(1, [&] { view->setFrame({ 0, 0, 300, 100 }); });
    EXPECT_EQ(child->frame().width(), 300);
    EXPECT_TRUE(child->isAnimating());
    advance(0.5);
    EXPECT_NEAR(child->presentation().bounds.width(), 200, 3);
    advance(0.6);
    EXPECT_EQ(child->presentation().bounds.width(), 300);
}

TEST_F(AnimationTest, DestroyingAnAnimatedViewEndsItsAnimationSafely)
{
    bool finished = true;
    int calls = 0;
    View::animate(
        1, [&] { view->setAlpha(0); },
        [&](bool f) {
            finished = f;
            ++calls;
        });
    view.reset();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(Animator::shared().hasAnimations());
    advance(2);
    EXPECT_EQ(calls, 1);
}

TEST(AnimationCurve, EasingFixesTheEndsAndIsMonotonic)
{
    for (auto curve : { View::Curve::EaseInOut, View::Curve::EaseIn, View::Curve::EaseOut, View::Curve::Linear }) {
        EXPECT_EQ(Animator::ease(curve, 0), 0);
        EXPECT_EQ(Animator::ease(curve, 1), 1);
        EXPECT_EQ(Animator::ease(curve, -3), 0);
        EXPECT_EQ(Animator::ease(curve, 7), 1);
        double last = 0;
        for (int i = 1; i <= 100; ++i) {
            double e = Animator::ease(curve, i / 100.0);
            EXPECT_GE(e, last - 1e-9);
            last = e;
        }
    }
    EXPECT_NEAR(Animator::ease(View::Curve::EaseInOut, 0.5), 0.5, 1e-6);
    EXPECT_LT(Animator::ease(View::Curve::EaseIn, 0.5), 0.5);
    EXPECT_GT(Animator::ease(View::Curve::EaseOut, 0.5), 0.5);
}

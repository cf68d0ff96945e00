// SPDX-License-Identifier: MIT
#pragma once

// Shared by the scroll, table and controller tests: a window on the virtual clock and a
// recorder of delegate calls.

#include "kit/base/Log.h"
#include "kit/base/RunLoop.h"
#include "kit/ui/Animator.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kit::test {

class VirtualClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().setVirtualClock(true);
        Log::setEchoToStderr(false);
        s_logged.clear();
        Log::setCaptureHook([](std::string_view line) { s_logged.emplace_back(line); });
        window = View::create<Window>();
        window->setFrame({ 0, 0, 320, 480 });
    }
    void TearDown() override
    {
        Animator::shared().cancelAll();
        window.reset();
        RunLoop::main().advance(1);
        Log::setCaptureHook(nullptr);
    }

    void advance(double seconds) { RunLoop::main().advance(seconds); }

    // A finger drag in window points, in `steps` moves, released with `velocity`.
    void drag(Point from, Point to, Point velocity, int steps = 5)
    {
        window->layoutIfNeeded(); // as the host does before each frame
        window->sendTouch(Touch::Phase::Began, from);
        for (int i = 1; i <= steps; ++i) {
            double t = double(i) / steps;
            window->sendTouch(Touch::Phase::Moved, { from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t }, velocity);
        }
        window->sendTouch(Touch::Phase::Ended, to, velocity);
    }
    void tap(Point at)
    {
        window->layoutIfNeeded();
        window->sendTouch(Touch::Phase::Began, at);
        window->sendTouch(Touch::Phase::Ended, at);
    }

    std::shared_ptr<Window> window;
    static inline std::vector<std::string> s_logged;
};

// Records scroll delegate calls by name; consecutive didScroll calls collapse into one entry.
class ScrollEventRecorder : public virtual ScrollViewDelegate {
public:
    std::vector<std::string> events;
    int scrollCount = 0;

    void scrollViewDidScroll(ScrollView&) override
    {
        ++scrollCount;
        if (events.empty() || events.back() != "didScroll")
            events.push_back("didScroll");
    }
    void scrollViewWillBeginDragging(ScrollView&) override { events.push_back("willBeginDragging"); }
    void scrollViewDidEndDragging(ScrollView&, bool decelerate) override
    {
        events.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(ScrollView&) override { events.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(ScrollView&) override { events.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { events.push_back("didEndScrollingAnimation"); }
};

} // namespace kit::test

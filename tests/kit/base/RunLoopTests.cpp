// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using kit::RunLoop;
using kit::Timer;

namespace {

class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.setVirtualClock(true);
        start = loop.now();
    }
    void TearDown() override
    {
        loop.removeAllForTesting();
        loop.setVirtualClock(false);
    }
    double elapsed() const { return loop.now() - start; }

    RunLoop& loop = RunLoop::main();
    double start = 0;
};

// Counts how many copies of a callback's captures are still alive.
struct Tracker {
    explicit Tracker(int& alive)
        : count(alive)
    {
        ++count;
    }
    Tracker(const Tracker& other)
        : count(other.count)
    {
        ++count;
    }
    ~Tracker() { --count; }
    int& count;
};

} // namespace

TEST_F(VirtualClock, RepeatingTimerTicksThreeTimesInTenSecondsOnItsOwnRhythm)
{
    std::vector<double> ticks;
    auto timer = Timer::scheduled(3.0, true, [&](Timer&) { ticks.push_back(elapsed()); });
    loop.advance(10);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_DOUBLE_EQ(ticks[0], 3.0);
    EXPECT_DOUBLE_EQ(ticks[1], 6.0);
    EXPECT_DOUBLE_EQ(ticks[2], 9.0);
    EXPECT_DOUBLE_EQ(elapsed(), 10.0);
    // The fourth tick is due at 12, not 13: the rhythm does not drift with the advance steps.
    loop.advance(1.999);
    EXPECT_EQ(ticks.size(), 3u);
    loop.advance(0.001);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_DOUBLE_EQ(ticks[3], 12.0);
    EXPECT_TRUE(timer->isValid());
}

TEST_F(VirtualClock, OneShotTimerFiresOnceAndBecomesInvalid)
{
    int fired = 0;
    auto timer = Timer::scheduled(2.0, false, [&](Timer&) { ++fired; });
    loop.advance(1.5);
    EXPECT_EQ(fired, 0);
    loop.advance(100);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualClock, TimersAndDelayedCallsFireInTimeOrderWithTiesInScheduleOrder)
{
    std::string order;
    int target = 0;
    loop.performAfterDelay(&target, 5, [&] { order += 'd'; });
    loop.performAfterDelay(&target, 1, [&] { order += 'a'; });
    auto timer = Timer::scheduled(3, false, [&](Timer&) { order += 'c'; });
    loop.performAfterDelay(&target, 1, [&] { order += 'b'; });
    loop.performAfterDelay(&target, std::nan(""), [&] { order += '0'; });
    loop.performAfterDelay(&target, -4, [&] { order += '1'; });
    loop.advance(0);
    EXPECT_EQ(order, "01");
    loop.advance(10);
    EXPECT_EQ(order, "01abcd");
}

TEST_F(VirtualClock, CancelledDelayedCallsNeverFire)
{
    int first = 0, second = 0;
    std::vector<int> fired;
    loop.performAfterDelay(&first, 1, [&] { fired.push_back(1); });
    loop.performAfterDelay(&second, 1, [&] { fired.push_back(2); });
    loop.performAfterDelay(&first, 2, [&] { fired.push_back(3); });
    loop.cancelPerformRequests(&first);
    // A call scheduled after the cancellation is kept.
    loop.performAfterDelay(&first, 3, [&] { fired.push_back(4); });
    loop.advance(10);
    EXPECT_EQ(fired, (std::vector<int> { 2, 4 }));
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualClock, CancellingFromInsideACallbackStopsCallsDueAtTheSameInstant)
{
    int owner = 0, other = 0;
    int alive = 0;
    std::vector<int> fired;
    loop.performAfterDelay(&other, 1, [&] {
        fired.push_back(1);
        loop.cancelPerformRequests(&owner);
    });
    {
        Tracker tracker(alive);
        loop.performAfterDelay(&owner, 1, [&, tracker] { fired.push_back(2); });
    }
    EXPECT_EQ(alive, 1);
    loop.advance(1);
    EXPECT_EQ(fired, (std::vector<int> { 1 }));
    // The cancelled call's captures are released, not kept until the queue drains.
    EXPECT_EQ(alive, 0);
}

TEST_F(VirtualClock, InvalidatingInsideTheCallbackStopsTheTimerAndReleasesItsCallback)
{
    int alive = 0;
    int fired = 0;
    std::weak_ptr<Timer> weak;
    {
        Tracker tracker(alive);
        // No handle is kept: the run loop alone holds the timer.
        weak = Timer::scheduled(1, true, [&fired, tracker](Timer& timer) {
            if (++fired == 2)
                timer.invalidate();
        });
    }
    EXPECT_EQ(alive, 1);
    loop.advance(100);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(alive, 0);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualClock, InvalidatingAnotherTimerDueAtTheSameInstantPreventsItsFire)
{
    std::shared_ptr<Timer> second;
    int secondFired = 0;
    auto first = Timer::scheduled(1, false, [&](Timer&) { second->invalidate(); });
    second = Timer::scheduled(1, true, [&](Timer&) { ++secondFired; });
    loop.advance(5);
    EXPECT_EQ(secondFired, 0);
    // Invalidating twice, or after the fire, is harmless.
    second->invalidate();
    first->invalidate();
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(VirtualClock, ItemsScheduledByACallbackFireWithinTheSameAdvance)
{
    std::vector<double> times;
    int target = 0;
    loop.performAfterDelay(&target, 1, [&] {
        times.push_back(elapsed());
        loop.performAfterDelay(&target, 2, [&] { times.push_back(elapsed()); });
        Timer::scheduled(0.5, false, [&](Timer&) { times.push_back(elapsed()); });
        loop.performAfterDelay(&target, 20, [&] { times.push_back(elapsed()); });
    });
    loop.advance(10);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_DOUBLE_EQ(times[0], 1);
    EXPECT_DOUBLE_EQ(times[1], 1.5);
    EXPECT_DOUBLE_EQ(times[2], 3);
    EXPECT_EQ(loop.pendingCount(), 1u);
}

TEST_F(VirtualClock, GuardedCallIsSkippedOnceItsGuardHasGone)
{
    auto guard = std::make_shared<int>(1);
    auto kept = std::make_shared<int>(2);
    std::vector<int> fired;
    loop.performAfterDelay(std::weak_ptr<const void>(guard), 1, [&] { fired.push_back(1); });
    loop.performAfterDelay(std::weak_ptr<const void>(kept), 1, [&] { fired.push_back(2); });
    guard.reset();
    loop.advance(2);
    EXPECT_EQ(fired, (std::vector<int> { 2 }));
}

TEST_F(VirtualClock, NestedAdvanceNeverMovesTheClockBackwards)
{
    int target = 0;
    std::vector<double> times;
    loop.performAfterDelay(&target, 1, [&] { loop.advance(5); });
    loop.performAfterDelay(&target, 4, [&] { times.push_back(elapsed()); });
    loop.advance(2);
    ASSERT_EQ(times.size(), 1u);
    EXPECT_DOUBLE_EQ(times[0], 4);
    EXPECT_DOUBLE_EQ(elapsed(), 6);
}

TEST_F(VirtualClock, RealClockIgnoresAdvanceAndSwitchingKeepsRemainingDelays)
{
    int fired = 0;
    auto timer = Timer::scheduled(5, false, [&](Timer&) { ++fired; });
    loop.advance(2);
    loop.setVirtualClock(false);
    EXPECT_NEAR(timer->fireTime() - loop.now(), 3, 0.5);
    loop.advance(10); // no effect on the real clock
    EXPECT_EQ(fired, 0);
    loop.setVirtualClock(true);
    loop.advance(2.5);
    EXPECT_EQ(fired, 0);
    loop.advance(1);
    EXPECT_EQ(fired, 1);
}

TEST_F(VirtualClock, TinyAndBrokenIntervalsCannotSpin)
{
    int fired = 0;
    auto zero = Timer::scheduled(0, true, [&](Timer&) { ++fired; });
    EXPECT_DOUBLE_EQ(zero->interval(), Timer::kMinimumInterval);
    loop.advance(0.01);
    EXPECT_NEAR(fired, 100, 1);
    zero->invalidate();
    auto broken = Timer::scheduled(std::nan(""), true, [&](Timer&) { ++fired; });
    int before = fired;
    loop.advance(1000);
    EXPECT_EQ(fired, before);
    broken->invalidate();
}

TEST(RunLoopRealClock, TimerFiresAndQuitEndsTheLoop)
{
    RunLoop& loop = RunLoop::main();
    ASSERT_FALSE(loop.usesVirtualClock());
    int fired = 0;
    auto repeating = Timer::scheduled(0.01, true, [&](Timer& timer) {
        if (++fired == 3) {
            timer.invalidate();
            loop.quit();
        }
    });
    double began = loop.now();
    // A safety net, in case the timer never fires.
    auto stop = Timer::scheduled(20, false, [&](Timer&) { loop.quit(); });
    loop.run();
    stop->invalidate();
    EXPECT_EQ(fired, 3);
    EXPECT_LT(loop.now() - began, 15);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

// A tolerant timer due first waits for the next item's wake instead of waking the loop itself;
// alone, it fires within its tolerance.
TEST(RunLoopRealClock, ATolerantTimerJoinsTheNextWakeAndAloneFiresWithinItsTolerance)
{
    RunLoop& loop = RunLoop::main();
    double began = loop.now();
    double slowAt = 0, fastAt = 0;
    auto slow = Timer::scheduled(0.05, false, [&](Timer&) { slowAt = loop.now(); });
    slow->setTolerance(0.5);
    auto fast = Timer::scheduled(0.2, false, [&](Timer&) { fastAt = loop.now(); });
    ASSERT_TRUE(loop.runUntil([&] { return slowAt > 0 && fastAt > 0; }, 10));
    EXPECT_GE(slowAt - began, 0.19) << "it woke the loop on its own";
    EXPECT_LT(std::abs(slowAt - fastAt), 0.03) << "not in the same wake";

    slowAt = 0;
    began = loop.now();
    auto alone = Timer::scheduled(0.05, false, [&](Timer&) { slowAt = loop.now(); });
    alone->setTolerance(0.1);
    ASSERT_TRUE(loop.runUntil([&] { return slowAt > 0; }, 10));
    EXPECT_GE(slowAt - began, 0.05);
    EXPECT_LT(slowAt - began, 1.0);
    alone->setTolerance(-1);
    EXPECT_EQ(alone->tolerance(), 0);
    alone->setTolerance(std::nan(""));
    EXPECT_EQ(alone->tolerance(), 0);
}

TEST(RunLoopRealClock, DelayedCallOnTheRealClockArrivesAfterItsDelay)
{
    RunLoop& loop = RunLoop::main();
    int target = 0;
    double began = loop.now();
    double at = 0;
    loop.performAfterDelay(&target, 0.05, [&] { at = loop.now(); });
    EXPECT_TRUE(loop.runUntil([&] { return at > 0; }, 10));
    EXPECT_GE(at - began, 0.05);
    EXPECT_FALSE(loop.runUntil([] { return false; }, 0.02));
}

TEST(RunLoopRealClock, FdWatchSeesAPipeBecomeReadableAndTheHangUp)
{
    RunLoop& loop = RunLoop::main();
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    std::string received;
    bool ended = false;
    auto watch = loop.watchFd(fds[0], kit::FdWatch::Readable, [&](int fd, unsigned events) {
        char buffer[64];
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0)
            received.append(buffer, size_t(count));
        if (count == 0 && (events & kit::FdWatch::Error))
            ended = true;
    });
    ASSERT_TRUE(watch);
    EXPECT_FALSE(loop.runUntil([&] { return !received.empty(); }, 0.05));
    int target = 0;
    loop.performAfterDelay(&target, 0.02, [&] { ASSERT_EQ(write(fds[1], "ping", 4), 4); });
    EXPECT_TRUE(loop.runUntil([&] { return received == "ping"; }, 10));
    close(fds[1]);
    EXPECT_TRUE(loop.runUntil([&] { return ended; }, 10));
    watch.reset();
    close(fds[0]);
}

TEST(RunLoopRealClock, FdWatchWorksOnTheVirtualClockAndMayDestroyItselfInItsCallback)
{
    RunLoop& loop = RunLoop::main();
    loop.setVirtualClock(true);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    int calls = 0;
    std::unique_ptr<kit::FdWatch> watch;
    watch = loop.watchFd(fds[1], kit::FdWatch::Writable, [&](int, unsigned events) {
        EXPECT_TRUE(events & kit::FdWatch::Writable);
        ++calls;
        watch.reset();
    });
    EXPECT_TRUE(loop.runUntil([&] { return calls > 0; }, 10));
    loop.runFor(0.05);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(loop.watchFd(-1, kit::FdWatch::Readable, [](int, unsigned) {}), nullptr);
    loop.setVirtualClock(false);
    close(fds[0]);
    close(fds[1]);
}

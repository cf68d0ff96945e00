// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kit {

class RunLoop;

// A repeating or one-shot timer on the main run loop. Holding the shared pointer is optional:
// a scheduled timer stays alive on the run loop until it is invalidated (or, one-shot, fired).
// A repeating timer keeps its rhythm: each fire is due one interval after the previous due time,
// and fires missed while the loop was busy are skipped rather than bunched up.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    // Intervals below kMinimumInterval are raised to it, so a repeating timer cannot spin.
    static constexpr double kMinimumInterval = 0.0001;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    // Safe from inside the timer's own callback; the callback is released once it has returned.
    void invalidate();
    bool isValid() const { return m_valid; }
    double interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }
    // When the timer is next due, on the run loop's clock (RunLoop::now()).
    double fireTime() const { return m_fireTime; }
    // How late the timer may fire, so that the loop can wake once for it and another item due
    // within that span (a slow beat joining a faster one costs no wake-up of its own). 0 by
    // default; negative and broken values count as 0. The virtual clock fires on time.
    void setTolerance(double seconds);
    double tolerance() const { return m_tolerance; }

    // Used by the run loop.
    Timer(double interval, bool repeats, Callback callback);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

private:
    friend class RunLoop;
    double m_interval = 0;
    bool m_repeats = false;
    bool m_valid = true;
    bool m_firing = false;
    Callback m_callback;
    double m_fireTime = 0; // on the run loop's clock
    double m_tolerance = 0;
    std::uint64_t m_sequence = 0; // position in the run loop's queue; 0 while not queued
};

// A watch on a file descriptor; removing the watch (destroying it) stops the callbacks, also from
// inside its own callback.
class FdWatch {
public:
    // A hang-up is reported as Readable | Error, so that a reader sees the end of the stream.
    enum Events : unsigned { Readable = 1, Writable = 2, Error = 4 };
    using Callback = std::function<void(int fd, unsigned events)>;

    virtual ~FdWatch() = default;
    // Changes which events are watched (Readable | Writable). Errors are always reported.
    virtual void setEvents(unsigned events) = 0;
    virtual unsigned events() const = 0;
    virtual int fd() const = 0;
};

// The main thread's event loop, on the GLib main context. In tests a virtual clock replaces
// real time: timers and delayed calls fire, in order, only when the test advances the clock.
// Everything here is for the main thread only.
class RunLoop {
public:
    static RunLoop& main();

    // Runs until quit() is called.
    void run();
    // Ends the innermost run(), runFor() or runUntil().
    void quit();
    // Runs for a span of real time, or until quit() (for tests that wait on real I/O).
    void runFor(double seconds);
    // Runs until the predicate holds or the real time runs out; tells whether it held.
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds);
    // Dispatches whatever is ready now, without blocking.
    void runPending();

    // Seconds on the run loop's monotonic clock (virtual while the virtual clock is on).
    double now() const;

    // Virtual clock: on, timers and delayed calls wait for advance(); off, they use real time.
    // Switching keeps each pending item's remaining delay. The virtual clock starts at the real
    // clock's reading when it is switched on, so now() never runs backwards while it is on.
    void setVirtualClock(bool on);
    bool usesVirtualClock() const;
    // Moves the virtual clock forward, firing due timers and delayed calls in time order (items
    // due at the same instant fire in the order they were scheduled). Items scheduled by a
    // callback fire in the same advance when they fall due within it. Ignored on the real clock.
    void advance(double seconds);

    // A call after a delay on behalf of a target, cancelled with cancelPerformRequests(target).
    // An object that schedules calls on itself cancels them in its destructor.
    void performAfterDelay(const void* target, double delay, std::function<void()> call);
    // The same, skipped when the guard has expired by the time the call is due.
    void performAfterDelay(std::weak_ptr<const void> guard, double delay, std::function<void()> call);
    // Cancels every pending call for the target; calls made afterwards are kept.
    void cancelPerformRequests(const void* target);

    // Watches a descriptor; fd sources always use real polling, even on the virtual clock.
    std::unique_ptr<FdWatch> watchFd(int fd, unsigned events, FdWatch::Callback callback);

    // Timers and delayed calls waiting to fire.
    std::size_t pendingCount() const;
    // Drops every timer and delayed call, so that one test cannot leak into the next.
    void removeAllForTesting();

    // Used by Timer.
    void addTimer(const std::shared_ptr<Timer>&);
    void removeTimer(Timer&);
    void timerToleranceChanged();

    struct Impl;

private:
    RunLoop();
    ~RunLoop();
    std::unique_ptr<Impl> m_impl;
};

} // namespace kit

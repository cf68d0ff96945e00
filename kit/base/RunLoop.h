#pragma once

#include <functional>
#include <memory>

namespace kit {

class RunLoop;

// A repeating or one-shot timer on the main run loop. Holding the shared pointer is optional:
// a scheduled timer stays alive on the run loop until it is invalidated (or, one-shot, fired).
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    void invalidate();
    bool isValid() const { return m_valid; }
    double interval() const { return m_interval; }
    bool repeats() const { return m_repeats; }

    // Used by the run loop.
    Timer(double interval, bool repeats, Callback callback);
    ~Timer();

private:
    friend class RunLoop;
    double m_interval = 0;
    bool m_repeats = false;
    bool m_valid = true;
    Callback m_callback;
    double m_fireTime = 0; // on the run loop's clock
    unsigned m_sourceId = 0; // GLib source while the real clock runs
};

// A watch on a file descriptor; removing the watch (destroying it) stops the callbacks.
class FdWatch {
public:
    enum Events : unsigned { Readable = 1, Writable = 2, Error = 4 };
    using Callback = std::function<void(int fd, unsigned events)>;

    virtual ~FdWatch() = default;
    // Changes which events are watched (Readable | Writable).
    virtual void setEvents(unsigned events) = 0;
};

// The main thread's event loop, on the GLib main context. In tests a virtual clock replaces
// real time: timers and delayed calls fire, in order, only when the test advances the clock.
class RunLoop {
public:
    static RunLoop& main();

    // Runs until quit() is called.
    void run();
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
    void setVirtualClock(bool on);
    bool usesVirtualClock() const;
    // Moves the virtual clock forward, firing due timers and delayed calls in time order.
    void advance(double seconds);

    // A call after a delay on behalf of a target, cancelled with cancelPerformRequests(target).
    void performAfterDelay(const void* target, double delay, std::function<void()> call);
    void cancelPerformRequests(const void* target);

    // Watches a descriptor; fd sources always use real polling, even on the virtual clock.
    std::unique_ptr<FdWatch> watchFd(int fd, unsigned events, FdWatch::Callback callback);

    // Used by Timer.
    void addTimer(const std::shared_ptr<Timer>&);
    void removeTimer(Timer&);

    struct Impl;

private:
    RunLoop();
    ~RunLoop();
    std::unique_ptr<Impl> m_impl;
};

} // namespace kit

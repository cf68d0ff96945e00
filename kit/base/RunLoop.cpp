// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"

#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace kit {

namespace {

double realNow() { return double(g_get_monotonic_time()) / 1e6; }

double sanitizedDelay(double seconds)
{
    // NaN and negative delays mean "as soon as possible"; huge ones must not overflow the
    // microsecond arithmetic of the real clock.
    if (!(seconds > 0))
        return 0;
    return std::min(seconds, 1e9);
}

} // namespace

struct RunLoop::Impl {
    struct Key {
        double time = 0;
        std::uint64_t sequence = 0;
        bool operator<(const Key& other) const
        {
            if (time != other.time)
                return time < other.time;
            return sequence < other.sequence;
        }
    };

    struct Perform {
        const void* target = nullptr;
        bool guarded = false;
        std::weak_ptr<const void> guard;
        std::function<void()> call;
    };

    // One queue for timers and delayed calls keeps their relative order exact.
    struct Entry {
        std::shared_ptr<Timer> timer;
        std::shared_ptr<Perform> perform;
    };

    struct ClockSource {
        GSource source;
        Impl* impl;
    };

    std::map<Key, Entry> queue;
    std::uint64_t nextSequence = 1;
    bool virtualClock = false;
    double virtualNow = 0;
    GMainContext* context = nullptr;
    GSource* clockSource = nullptr;
    std::vector<bool*> quitFlags;

    Impl()
    {
        context = g_main_context_default();
        static GSourceFuncs funcs = { nullptr, nullptr, &Impl::dispatchClock, nullptr, nullptr, nullptr };
        clockSource = g_source_new(&funcs, sizeof(ClockSource));
        reinterpret_cast<ClockSource*>(clockSource)->impl = this;
        g_source_set_priority(clockSource, G_PRIORITY_DEFAULT);
        g_source_set_name(clockSource, "kit::RunLoop clock");
        // A callback that runs a nested loop (runFor, runUntil) still sees later timers fire.
        g_source_set_can_recurse(clockSource, TRUE);
        g_source_set_ready_time(clockSource, -1);
        g_source_attach(clockSource, context);
    }

    ~Impl()
    {
        g_source_destroy(clockSource);
        g_source_unref(clockSource);
    }

    double now() const { return virtualClock ? virtualNow : realNow(); }

    Key insert(double time, Entry entry)
    {
        Key key { time, nextSequence++ };
        queue.emplace(key, std::move(entry));
        rearm();
        return key;
    }

    // The one clock source wakes the context only when the earliest item is due.
    void rearm()
    {
        if (virtualClock || queue.empty()) {
            g_source_set_ready_time(clockSource, -1);
            return;
        }
        // Wake at the latest time every item allows; whatever is due by then fires in that wake.
        // The queue is in due order, so no later item can wake it earlier than `due`.
        double due = queue.begin()->first.time + toleranceOf(queue.begin()->second);
        for (auto it = std::next(queue.begin()); it != queue.end() && it->first.time < due; ++it)
            due = std::min(due, it->first.time + toleranceOf(it->second));
        gint64 micros = gint64(std::ceil(due * 1e6));
        g_source_set_ready_time(clockSource, std::max<gint64>(micros, 0));
    }

    static double toleranceOf(const Entry& entry) { return entry.timer ? entry.timer->m_tolerance : 0; }

    static gboolean dispatchClock(GSource* source, GSourceFunc, gpointer)
    {
        Impl* impl = reinterpret_cast<ClockSource*>(source)->impl;
        g_source_set_ready_time(source, -1);
        impl->fireDue(realNow(), false);
        impl->rearm();
        return G_SOURCE_CONTINUE;
    }

    // Fires the items due by limit, earliest first. On the virtual clock the clock steps to each
    // item's due time; items that callbacks add are fired too when they fall due by limit. On the
    // real clock only items already queued are fired, so a callback that schedules a zero delay
    // cannot starve the rest of the main loop.
    void fireDue(double limit, bool stepClock)
    {
        std::uint64_t sequenceLimit = stepClock ? UINT64_MAX : nextSequence;
        while (true) {
            auto it = queue.begin();
            while (it != queue.end() && it->first.sequence >= sequenceLimit && it->first.time <= limit)
                ++it;
            if (it == queue.end() || it->first.time > limit)
                break;
            Key key = it->first;
            Entry entry = std::move(it->second);
            queue.erase(it);
            if (stepClock && key.time > virtualNow)
                virtualNow = key.time;
            if (entry.timer)
                fireTimer(entry.timer, key);
            else if (entry.perform)
                firePerform(*entry.perform);
        }
    }

    void fireTimer(const std::shared_ptr<Timer>& timer, Key key)
    {
        timer->m_sequence = 0;
        if (!timer->m_valid)
            return;
        if (timer->m_repeats) {
            // Reschedule before the callback, so that the callback sees the next due time and
            // an invalidate() from inside it removes the right entry.
            double next = key.time + timer->m_interval;
            double current = now();
            if (!virtualClock && next <= current)
                next += std::ceil((current - next) / timer->m_interval) * timer->m_interval;
            timer->m_fireTime = next;
            timer->m_sequence = insert(next, Entry { timer, nullptr }).sequence;
        } else {
            timer->m_valid = false;
        }
        timer->m_firing = true;
        if (timer->m_callback)
            timer->m_callback(*timer);
        timer->m_firing = false;
        if (!timer->m_valid)
            timer->m_callback = nullptr;
    }

    static void firePerform(Perform& perform)
    {
        if (perform.guarded && perform.guard.expired())
            return;
        if (perform.call)
            perform.call();
    }

    // Hands the entry back rather than destroying it here: releasing the last reference to a
    // timer runs arbitrary destructors, which must not meet a half-updated queue.
    Entry takeTimerEntry(Timer& timer)
    {
        Entry taken;
        if (timer.m_sequence == 0)
            return taken;
        auto it = queue.find(Key { timer.m_fireTime, timer.m_sequence });
        timer.m_sequence = 0;
        if (it != queue.end()) {
            taken = std::move(it->second);
            queue.erase(it);
        }
        rearm();
        return taken;
    }

    // Rebases every pending item onto the new clock, keeping its remaining delay.
    void switchClock(bool on)
    {
        if (on == virtualClock)
            return;
        double from = now();
        double to = realNow();
        if (on)
            virtualNow = to;
        std::map<Key, Entry> rebased;
        for (auto& [key, entry] : queue) {
            Key moved { to + (key.time - from), key.sequence };
            if (entry.timer)
                entry.timer->m_fireTime = moved.time;
            rebased.emplace(moved, std::move(entry));
        }
        queue = std::move(rebased);
        virtualClock = on;
        rearm();
    }

    // Iterates the context until the predicate holds, quit() is called or the deadline passes.
    bool iterate(const std::function<bool()>& predicate, double timeoutSeconds)
    {
        bool quitRequested = false;
        quitFlags.push_back(&quitRequested);
        double deadline = realNow() + timeoutSeconds;
        bool bounded = std::isfinite(timeoutSeconds);
        bool held = false;
        while (true) {
            if (predicate && predicate()) {
                held = true;
                break;
            }
            if (quitRequested)
                break;
            double remaining = deadline - realNow();
            if (bounded && remaining <= 0)
                break;
            // A wake-up at the deadline keeps a blocking iteration from outliving it.
            guint wake = 0;
            if (bounded) {
                guint ms = guint(std::min(std::ceil(remaining * 1000), 3600000.0));
                wake = g_timeout_add_full(
                    G_PRIORITY_DEFAULT, std::max(ms, 1u), [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            }
            g_main_context_iteration(context, TRUE);
            if (wake)
                if (GSource* source = g_main_context_find_source_by_id(context, wake))
                    g_source_destroy(source);
        }
        auto it = std::find(quitFlags.begin(), quitFlags.end(), &quitRequested);
        if (it != quitFlags.end())
            quitFlags.erase(it);
        return held;
    }
};

// Timer

Timer::Timer(double interval, bool repeats, Callback callback)
    : m_interval(std::isfinite(interval) ? std::max(interval, kMinimumInterval) : 1e9)
    , m_repeats(repeats)
    , m_callback(std::move(callback))
{
}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback)
{
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(callback));
    RunLoop::main().addTimer(timer);
    return timer;
}

void Timer::setTolerance(double seconds)
{
    m_tolerance = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0;
    // The loop's next wake may move.
    if (m_sequence != 0)
        RunLoop::main().timerToleranceChanged();
}

void Timer::invalidate()
{
    if (!m_valid && m_sequence == 0)
        return;
    // The run loop may hold the last reference; keep this timer alive to the end of the call.
    auto self = weak_from_this().lock();
    m_valid = false;
    RunLoop::main().removeTimer(*this);
    // The callback may be running right now; it is released once it returns.
    if (!m_firing)
        m_callback = nullptr;
}

// FdWatch

namespace {

struct FdState {
    FdWatch::Callback callback;
};

struct FdSource {
    GSource source;
    int fd;
    gpointer tag;
    std::shared_ptr<FdState>* state;
};

GIOCondition conditionFor(unsigned events)
{
    unsigned condition = G_IO_ERR | G_IO_HUP | G_IO_NVAL;
    if (events & FdWatch::Readable)
        condition |= G_IO_IN | G_IO_PRI;
    if (events & FdWatch::Writable)
        condition |= G_IO_OUT;
    return GIOCondition(condition);
}

gboolean dispatchFd(GSource* source, GSourceFunc, gpointer)
{
    auto* fdSource = reinterpret_cast<FdSource*>(source);
    unsigned condition = g_source_query_unix_fd(source, fdSource->tag);
    unsigned events = 0;
    if (condition & (G_IO_IN | G_IO_PRI))
        events |= FdWatch::Readable;
    if (condition & G_IO_OUT)
        events |= FdWatch::Writable;
    if (condition & (G_IO_ERR | G_IO_NVAL))
        events |= FdWatch::Error;
    if (condition & G_IO_HUP)
        events |= FdWatch::Readable | FdWatch::Error;
    if (!events)
        return G_SOURCE_CONTINUE;
    // Held here so that the watch may be destroyed from inside its own callback.
    std::shared_ptr<FdState> state = *fdSource->state;
    if (state->callback)
        state->callback(fdSource->fd, events);
    return G_SOURCE_CONTINUE;
}

void finalizeFd(GSource* source)
{
    auto* fdSource = reinterpret_cast<FdSource*>(source);
    delete fdSource->state;
    fdSource->state = nullptr;
}

GSourceFuncs s_fdFuncs = { nullptr, nullptr, &dispatchFd, &finalizeFd, nullptr, nullptr };

class GLibFdWatch final : public FdWatch {
public:
    GLibFdWatch(GMainContext* context, int fd, unsigned events, Callback callback)
        : m_events(events & (Readable | Writable))
    {
        m_source = g_source_new(&s_fdFuncs, sizeof(FdSource));
        auto* fdSource = reinterpret_cast<FdSource*>(m_source);
        fdSource->fd = fd;
        fdSource->state = new std::shared_ptr<FdState>(std::make_shared<FdState>(FdState { std::move(callback) }));
        fdSource->tag = g_source_add_unix_fd(m_source, fd, conditionFor(m_events));
        g_source_set_name(m_source, "kit::FdWatch");
        g_source_attach(m_source, context);
    }

    ~GLibFdWatch() override
    {
        g_source_destroy(m_source);
        g_source_unref(m_source);
    }

    void setEvents(unsigned events) override
    {
        events &= Readable | Writable;
        if (events == m_events)
            return;
        m_events = events;
        auto* fdSource = reinterpret_cast<FdSource*>(m_source);
        g_source_modify_unix_fd(m_source, fdSource->tag, conditionFor(m_events));
    }

    unsigned events() const override { return m_events; }
    int fd() const override { return reinterpret_cast<FdSource*>(m_source)->fd; }

private:
    GSource* m_source = nullptr;
    unsigned m_events = 0;
};

} // namespace

// RunLoop

RunLoop::RunLoop()
    : m_impl(std::make_unique<Impl>())
{
}

RunLoop::~RunLoop() = default;

RunLoop& RunLoop::main()
{
    // Never destroyed: timers and watches may still be released during static destruction.
    static RunLoop* loop = new RunLoop;
    return *loop;
}

void RunLoop::run() { m_impl->iterate({}, INFINITY); }

void RunLoop::quit()
{
    if (m_impl->quitFlags.empty())
        return;
    *m_impl->quitFlags.back() = true;
    g_main_context_wakeup(m_impl->context);
}

void RunLoop::runFor(double seconds) { m_impl->iterate({}, std::isnan(seconds) ? 0 : std::max(seconds, 0.0)); }

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds)
{
    if (!predicate)
        return false;
    return m_impl->iterate(predicate, std::isnan(timeoutSeconds) ? 0 : std::max(timeoutSeconds, 0.0));
}

void RunLoop::runPending()
{
    // Bounded, so that a source that is always ready cannot hold the caller forever.
    for (int i = 0; i < 10000 && g_main_context_iteration(m_impl->context, FALSE); ++i) { }
}

double RunLoop::now() const { return m_impl->now(); }

void RunLoop::setVirtualClock(bool on) { m_impl->switchClock(on); }

bool RunLoop::usesVirtualClock() const { return m_impl->virtualClock; }

void RunLoop::advance(double seconds)
{
    if (!m_impl->virtualClock)
        return;
    double target = m_impl->virtualNow + sanitizedDelay(seconds);
    m_impl->fireDue(target, true);
    // A nested advance() may already have gone further.
    m_impl->virtualNow = std::max(m_impl->virtualNow, target);
}

void RunLoop::performAfterDelay(const void* target, double delay, std::function<void()> call)
{
    auto perform = std::make_shared<Impl::Perform>();
    perform->target = target;
    perform->call = std::move(call);
    m_impl->insert(now() + sanitizedDelay(delay), Impl::Entry { nullptr, std::move(perform) });
}

void RunLoop::performAfterDelay(std::weak_ptr<const void> guard, double delay, std::function<void()> call)
{
    auto perform = std::make_shared<Impl::Perform>();
    perform->target = guard.lock().get();
    perform->guarded = true;
    perform->guard = std::move(guard);
    perform->call = std::move(call);
    m_impl->insert(now() + sanitizedDelay(delay), Impl::Entry { nullptr, std::move(perform) });
}

void RunLoop::cancelPerformRequests(const void* target)
{
    // The cancelled calls are released after the queue is consistent again: their captures'
    // destructors may call back into the run loop.
    std::vector<Impl::Entry> cancelled;
    for (auto it = m_impl->queue.begin(); it != m_impl->queue.end();) {
        if (it->second.perform && it->second.perform->target == target) {
            cancelled.push_back(std::move(it->second));
            it = m_impl->queue.erase(it);
        } else {
            ++it;
        }
    }
    if (!cancelled.empty())
        m_impl->rearm();
}

std::unique_ptr<FdWatch> RunLoop::watchFd(int fd, unsigned events, FdWatch::Callback callback)
{
    if (fd < 0)
        return nullptr;
    return std::make_unique<GLibFdWatch>(m_impl->context, fd, events, std::move(callback));
}

std::size_t RunLoop::pendingCount() const { return m_impl->queue.size(); }

void RunLoop::removeAllForTesting()
{
    auto queue = std::move(m_impl->queue);
    m_impl->queue.clear();
    for (auto& [key, entry] : queue) {
        if (entry.timer) {
            entry.timer->m_sequence = 0;
            entry.timer->m_valid = false;
            if (!entry.timer->m_firing)
                entry.timer->m_callback = nullptr;
        }
    }
    m_impl->rearm();
    // Releasing the callbacks may run destructors that touch the run loop; the queue is
    // consistent by now.
    queue.clear();
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer)
{
    if (!timer || !timer->m_valid)
        return;
    Impl::Entry previous = m_impl->takeTimerEntry(*timer);
    timer->m_fireTime = now() + timer->m_interval;
    timer->m_sequence = m_impl->insert(timer->m_fireTime, Impl::Entry { timer, nullptr }).sequence;
}

void RunLoop::timerToleranceChanged() { m_impl->rearm(); }

void RunLoop::removeTimer(Timer& timer) { Impl::Entry taken = m_impl->takeTimerEntry(timer); }

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace kit {

class Timer;

// Runs the view animations started by View::animate. Model values change at once; the
// animator moves the drawn (presentation) values from where they were to the model values.
// A host with a frame clock calls tick(now) each frame while hasAnimations(); without one
// (headless hosts, tests) the animator ticks itself from a 60 Hz run-loop timer, so the
// virtual clock drives it. Either way a host calls tick(now) right before drawing a frame, so
// the picture shows that instant rather than the last timer tick. Times are on the run loop's
// clock.
class Animator {
public:
    static Animator& shared();

    // Moves every animation to `now`; ends those that are done and runs their completions.
    void tick(double now);
    bool hasAnimations() const;
    std::size_t animationCount() const;

    // A host that calls tick() from its frame clock turns the self-ticking timer off and is
    // told when animations start, so it can ask for frames.
    void setFrameDriven(bool frameDriven);
    bool isFrameDriven() const { return m_frameDriven; }
    std::function<void()> onAnimationsStarted;

    // Ends every animation at its end value, completions told finished == false (tests).
    void cancelAll();

    // Used by View.
    enum Property : unsigned { Center = 1, Bounds = 2, Transform = 4, Alpha = 8 };
    void beginCapture(double duration, double delay, View::Curve curve);
    // Ends the capture; returns whether any animation was recorded.
    bool endCapture(std::function<void(bool)> completion);
    bool isCapturing() const;
    bool isSuppressed() const { return m_suppressed > 0; }
    void pushSuppressed() { ++m_suppressed; }
    void popSuppressed() { --m_suppressed; }
    // A property of `view` changes from `from` to the model value while capturing.
    void record(View& view, Property property, const View::Presentation& from);
    void removeAnimations(View& view);
    bool isAnimating(const View& view) const;

    // The eased progress for a linear progress t in 0…1.
    static double ease(View::Curve curve, double t);

    struct Group;
    struct Track;

private:
    Animator();
    ~Animator();
    void startTimerIfNeeded();

    std::vector<std::shared_ptr<Track>> m_tracks;
    std::vector<std::shared_ptr<Group>> m_capture; // nested animate() calls
    std::shared_ptr<Timer> m_timer;
    bool m_frameDriven = false;
    int m_suppressed = 0;
};

} // namespace kit

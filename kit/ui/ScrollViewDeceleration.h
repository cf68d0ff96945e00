// SPDX-License-Identifier: MIT
#pragma once

namespace kit {

// Velocity decay per millisecond after a fling: v(t) = v0 * rate^t, t in milliseconds.
inline constexpr double kScrollViewDecelerationRateNormal = 0.998;
inline constexpr double kScrollViewDecelerationRateFast = 0.99;

// The motion of one axis of a scroll view after the finger leaves with a velocity. The motion
// ends when the speed falls below kStopVelocity or the offset reaches an end of its range; it
// never leaves the range. Pure arithmetic, so any clock can drive it.
class ScrollViewDeceleration {
public:
    // Points per second below which a moving scroll view comes to rest.
    static constexpr double kStopVelocity = 5.0;
    // Releases slower than this (points per second) do not decelerate at all.
    static constexpr double kMinimumFlingVelocity = 20.0;

    ScrollViewDeceleration() = default;
    // velocity in points per second; [minOffset, maxOffset] is the reachable range.
    ScrollViewDeceleration(double startOffset, double velocity, double rate, double minOffset, double maxOffset);

    // Offset `seconds` after the release; stays at finalOffset() once the motion is over.
    double offsetAt(double seconds) const;
    // Velocity in points per second at that time (0 once finished).
    double velocityAt(double seconds) const;
    bool isFinishedAt(double seconds) const { return seconds >= m_duration; }
    // Seconds from release to rest.
    double duration() const { return m_duration; }
    double finalOffset() const { return offsetAt(m_duration); }
    bool isMoving() const { return m_duration > 0; }

    // Distance a free (unbounded) fling travels before it stops.
    static double projectedDistance(double velocity, double rate);

private:
    double m_start = 0;
    double m_velocity = 0; // points per millisecond
    double m_logRate = 0; // ln(rate), negative
    double m_min = 0;
    double m_max = 0;
    double m_duration = 0; // seconds
};

} // namespace kit

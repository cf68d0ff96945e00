// SPDX-License-Identifier: MIT
#include "kit/ui/ScrollViewDeceleration.h"

#include <algorithm>
#include <cmath>

namespace kit {

static double sanitizedRate(double rate)
{
    // A rate of 1 or more would never stop, 0 or less is meaningless: fall back to the
    // normal rate rather than run forever.
    if (!(rate > 0.0 && rate < 1.0))
        return kScrollViewDecelerationRateNormal;
    return rate;
}

ScrollViewDeceleration::ScrollViewDeceleration(double startOffset, double velocity, double rate, double minOffset,
    double maxOffset)
    : m_start(startOffset)
    , m_velocity(std::isfinite(velocity) ? velocity / 1000.0 : 0.0)
    , m_logRate(std::log(sanitizedRate(rate)))
    , m_min(std::min(minOffset, maxOffset))
    , m_max(std::max(minOffset, maxOffset))
{
    m_start = std::clamp(m_start, m_min, m_max);
    double speed = std::fabs(m_velocity) * 1000.0;
    if (speed <= kStopVelocity) {
        m_velocity = 0;
        return;
    }
    // Time until the speed falls to the stop velocity: |v0| r^t = vstop.
    double tStop = std::log(kStopVelocity / speed) / m_logRate; // milliseconds
    // Time until an end of the range is reached, if the free motion would get there.
    double edge = m_velocity > 0 ? m_max : m_min;
    double room = edge - m_start; // same sign as the velocity, or 0
    double freeDistance = m_velocity * (1.0 - std::exp(m_logRate * tStop)) / -m_logRate;
    double t = tStop;
    if (std::fabs(room) < std::fabs(freeDistance)) {
        // d(t) = v0 (1 - r^t) / -ln r  =>  r^t = 1 - room * -ln r / v0
        double k = 1.0 - room * -m_logRate / m_velocity;
        t = k > 0 ? std::log(k) / m_logRate : 0.0;
    }
    m_duration = std::max(0.0, t) / 1000.0;
}

double ScrollViewDeceleration::offsetAt(double seconds) const
{
    if (m_duration <= 0)
        return m_start;
    double t = std::clamp(seconds, 0.0, m_duration) * 1000.0;
    double d = m_velocity * (1.0 - std::exp(m_logRate * t)) / -m_logRate;
    return std::clamp(m_start + d, m_min, m_max);
}

double ScrollViewDeceleration::velocityAt(double seconds) const
{
    if (seconds >= m_duration || m_duration <= 0)
        return 0;
    return m_velocity * 1000.0 * std::exp(m_logRate * std::max(0.0, seconds) * 1000.0);
}

double ScrollViewDeceleration::projectedDistance(double velocity, double rate)
{
    if (!std::isfinite(velocity))
        return 0;
    double logRate = std::log(sanitizedRate(rate));
    return velocity / 1000.0 / -logRate;
}

} // namespace kit

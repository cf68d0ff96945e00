// SPDX-License-Identifier: MIT
#pragma once

#include <compare>

namespace kit {

// An instant: seconds since 1 January 2001 00:00:00 UTC, as a double.
class Date {
public:
    // Seconds between the Unix epoch and 1 January 2001.
    static constexpr double kUnixToReference = 978307200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReference)
        : m_seconds(secondsSinceReference)
    {
    }

    static Date now();
    // Tests replace the wall clock; nullptr restores it.
    static void setClockForTesting(double (*secondsSinceReference)());
    static constexpr Date fromUnix(double unixSeconds) { return Date(unixSeconds - kUnixToReference); }
    static constexpr Date distantPast() { return Date(-63114076800.0); } // 0001-01-01
    static constexpr Date distantFuture() { return Date(63113904000.0); } // 4001-01-01

    constexpr double timeIntervalSinceReferenceDate() const { return m_seconds; }
    constexpr double timeIntervalSince1970() const { return m_seconds + kUnixToReference; }
    constexpr double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }
    constexpr Date byAdding(double seconds) const { return Date(m_seconds + seconds); }

    constexpr auto operator<=>(const Date&) const = default;
    constexpr bool operator==(const Date&) const = default;

private:
    double m_seconds = 0;
};

} // namespace kit

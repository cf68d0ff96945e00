// SPDX-License-Identifier: MIT
#include "kit/base/Date.h"

#include <chrono>

namespace kit {

namespace {
double (*s_testClock)() = nullptr;
}

Date Date::now()
{
    if (s_testClock)
        return Date(s_testClock());
    auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return fromUnix(std::chrono::duration<double>(sinceEpoch).count());
}

void Date::setClockForTesting(double (*secondsSinceReference)()) { s_testClock = secondsSinceReference; }

} // namespace kit

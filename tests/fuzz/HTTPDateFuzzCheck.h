// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/DateFormatter.h"

#include <cmath>
#include <string>
#include <string_view>

namespace fuzzcheck {

// The years a four-digit HTTP date can name.
inline bool hasFourDigitYear(kit::Date date)
{
    double unix = date.timeIntervalSince1970();
    return unix >= -62135596800.0 && unix < 253402300800.0;
}

// Whatever the header text: parsing returns. A date it gives is a real instant; written as an
// HTTP date (within years 1 to 9999) it reads back as the same second, and that text is settled:
// written again it is the same text.
inline const char* checkHTTPDate(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto date = kit::DateFormatter::parseHTTPDate(text);
    if (!date)
        return nullptr;
    if (!std::isfinite(date->timeIntervalSinceReferenceDate()))
        return "a parsed date that is not a finite instant";
    if (!hasFourDigitYear(*date))
        return nullptr;
    std::string written = kit::DateFormatter::httpDate(*date);
    auto again = kit::DateFormatter::parseHTTPDate(written);
    if (!again)
        return "own HTTP date does not parse";
    if (std::floor(again->timeIntervalSince1970()) != std::floor(date->timeIntervalSince1970()))
        return "own HTTP date parses to another second";
    if (kit::DateFormatter::httpDate(*again) != written)
        return "own HTTP date is not settled";
    return nullptr;
}

} // namespace fuzzcheck

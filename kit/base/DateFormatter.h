// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Date.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// Dates to text and back through ICU. A formatter has either a date and time style or a
// fixed pattern, a locale and a time zone (the system's unless set).
class DateFormatter {
public:
    enum class Style { None, Short, Medium, Long, Full };

    // "EEE, dd MMM yyyy HH:mm:ss z", read and written with the locale "en_US".
    static constexpr std::string_view kHTTPDateFormat = "EEE, dd MMM yyyy HH:mm:ss z";

    // Styles in the given locale; an empty locale means the user's (Locale::Category::Time).
    DateFormatter(Style dateStyle, Style timeStyle, std::string_view locale = {});
    // A fixed ICU pattern in the given locale (empty: the user's).
    DateFormatter(std::string_view pattern, std::string_view locale);
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // False when ICU could not build the formatter (a broken pattern); it then formats to ""
    // and parses nothing.
    bool isValid() const;
    const std::string& locale() const;

    // An Olson identifier ("UTC", "Europe/Berlin"). An unknown one falls back to GMT.
    void setTimeZone(std::string_view identifier);

    std::string string(Date date) const;
    // The whole text must match; nullopt otherwise.
    std::optional<Date> date(std::string_view text) const;

    // Conveniences in the user's locale and the system's time zone.
    static std::string mediumDate(Date date);
    static std::string shortTime(Date date);
    static std::string mediumDateShortTime(Date date);

    // HTTP dates: parsed with any zone name that ICU reads ("GMT", "UTC", "PST", "GMT+01:00"),
    // written in GMT.
    static std::optional<Date> parseHTTPDate(std::string_view text);
    static std::string httpDate(Date date);

    // A one-off pattern format; empty locale means the user's; time zone empty means the system's.
    static std::string format(Date date, std::string_view pattern, std::string_view locale, std::string_view timeZone = {});

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kit

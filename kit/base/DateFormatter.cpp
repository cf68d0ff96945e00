// SPDX-License-Identifier: MIT
#include "kit/base/DateFormatter.h"

#include "kit/base/Locale.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <map>
#include <tuple>

namespace kit {

namespace {

icu::DateFormat::EStyle icuStyle(DateFormatter::Style style)
{
    switch (style) {
    case DateFormatter::Style::None:
        return icu::DateFormat::kNone;
    case DateFormatter::Style::Short:
        return icu::DateFormat::kShort;
    case DateFormatter::Style::Medium:
        return icu::DateFormat::kMedium;
    case DateFormatter::Style::Long:
        return icu::DateFormat::kLong;
    case DateFormatter::Style::Full:
        return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}

icu::UnicodeString unicode(std::string_view text)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text)
{
    std::string result;
    text.toUTF8String(result);
    return result;
}

// ICU keeps the zone it saw at start-up; read TZ afresh so a changed zone is honoured.
std::unique_ptr<icu::TimeZone> systemTimeZone() { return std::unique_ptr<icu::TimeZone>(icu::TimeZone::detectHostTimeZone()); }

double toUDate(Date date) { return date.timeIntervalSince1970() * 1000.0; }

} // namespace

struct DateFormatter::Impl {
    std::unique_ptr<icu::DateFormat> format;
    std::string locale;
};

DateFormatter::DateFormatter(Style dateStyle, Style timeStyle, std::string_view locale)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->locale = locale.empty() ? Locale::current(Locale::Category::Time) : std::string(locale);
    if (dateStyle == Style::None && timeStyle == Style::None)
        return;
    m_impl->format.reset(
        icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), icu::Locale(m_impl->locale.c_str())));
    if (m_impl->format)
        m_impl->format->adoptTimeZone(systemTimeZone().release());
}

DateFormatter::DateFormatter(std::string_view pattern, std::string_view locale)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->locale = locale.empty() ? Locale::current(Locale::Category::Time) : std::string(locale);
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(unicode(pattern), icu::Locale(m_impl->locale.c_str()), status);
    if (U_FAILURE(status))
        return;
    // Fixed formats read machine-made text: no guessing at malformed fields.
    format->setLenient(false);
    format->adoptTimeZone(systemTimeZone().release());
    // ICU takes any pattern and fails only when formatting with an unknown field letter.
    icu::UnicodeString probe;
    std::unique_ptr<icu::Calendar> calendar(format->getCalendar()->clone());
    if (!calendar)
        return;
    format->format(*calendar, probe, nullptr, status);
    if (U_FAILURE(status))
        return;
    m_impl->format = std::move(format);
}

DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

bool DateFormatter::isValid() const { return m_impl && m_impl->format; }

const std::string& DateFormatter::locale() const
{
    static const std::string none;
    return m_impl ? m_impl->locale : none;
}

void DateFormatter::setTimeZone(std::string_view identifier)
{
    if (!isValid())
        return;
    // An unknown identifier gives ICU's "Etc/Unknown", which behaves as GMT.
    m_impl->format->adoptTimeZone(icu::TimeZone::createTimeZone(unicode(identifier)));
}

std::string DateFormatter::string(Date date) const
{
    if (!isValid())
        return {};
    double seconds = date.timeIntervalSinceReferenceDate();
    if (!std::isfinite(seconds))
        return {};
    icu::UnicodeString out;
    icu::FieldPosition position;
    UErrorCode status = U_ZERO_ERROR;
    m_impl->format->format(toUDate(date), out, position, status);
    if (U_FAILURE(status))
        return {};
    return utf8(out);
}

std::optional<Date> DateFormatter::date(std::string_view text) const
{
    if (!isValid() || text.empty())
        return std::nullopt;
    icu::UnicodeString input = unicode(text);
    icu::ParsePosition position(0);
    // Parsing sets fields of the formatter's calendar; keep the instance reusable by parsing
    // into a copy of it.
    std::unique_ptr<icu::Calendar> calendar(m_impl->format->getCalendar()->clone());
    if (!calendar)
        return std::nullopt;
    calendar->clear();
    m_impl->format->parse(input, *calendar, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != input.length())
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    UDate when = calendar->getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return Date::fromUnix(when / 1000.0);
}

namespace {

enum class Kind { MediumDate, ShortTime, MediumDateShortTime };

// Building an ICU formatter costs far more than using one; keep one per kind and locale.
DateFormatter& cachedFormatter(Kind kind)
{
    thread_local std::map<std::pair<Kind, std::string>, DateFormatter> cache;
    std::string locale = Locale::current(Locale::Category::Time);
    auto key = std::make_pair(kind, locale);
    auto it = cache.find(key);
    if (it == cache.end()) {
        using Style = DateFormatter::Style;
        Style date = kind == Kind::ShortTime ? Style::None : Style::Medium;
        Style time = kind == Kind::MediumDate ? Style::None : Style::Short;
        it = cache.emplace(key, DateFormatter(date, time, locale)).first;
    }
    return it->second;
}

std::string formatCached(Kind kind, Date date)
{
    DateFormatter& formatter = cachedFormatter(kind);
    auto zone = systemTimeZone();
    icu::UnicodeString id;
    zone->getID(id);
    formatter.setTimeZone(utf8(id));
    return formatter.string(date);
}

DateFormatter& httpFormatter()
{
    thread_local DateFormatter formatter = [] {
        DateFormatter f(DateFormatter::kHTTPDateFormat, "en_US");
        f.setTimeZone("GMT");
        return f;
    }();
    return formatter;
}

} // namespace

std::string DateFormatter::mediumDate(Date date) { return formatCached(Kind::MediumDate, date); }
std::string DateFormatter::shortTime(Date date) { return formatCached(Kind::ShortTime, date); }
std::string DateFormatter::mediumDateShortTime(Date date) { return formatCached(Kind::MediumDateShortTime, date); }

std::optional<Date> DateFormatter::parseHTTPDate(std::string_view text)
{
    // Header values may carry surrounding blanks.
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return httpFormatter().date(text);
}

std::string DateFormatter::httpDate(Date date) { return httpFormatter().string(date); }

std::string DateFormatter::format(Date date, std::string_view pattern, std::string_view locale, std::string_view timeZone)
{
    DateFormatter formatter(pattern, locale);
    if (!timeZone.empty())
        formatter.setTimeZone(timeZone);
    return formatter.string(date);
}

} // namespace kit

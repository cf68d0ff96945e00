// SPDX-License-Identifier: MIT
#include "kit/base/DateFormatter.h"

#include "kit/base/Strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

using kit::Date;
using kit::DateFormatter;

namespace {

// 2026-12-08 15:46:33 UTC, a Tuesday.
constexpr Date kTuesday(818437593.0);

// ICU puts a narrow no-break space (U+202F) before the day period.
std::string plainSpaces(std::string text) { return kit::replacingAll(text, "\u202f", " "); }

// Sets environment variables for one test and puts the old values back.
class EnvironmentScope {
public:
    void set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.push_back({ name, old ? std::optional<std::string>(old) : std::nullopt });
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
        tzset();
    }
    ~EnvironmentScope()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
        tzset();
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace

TEST(DateFormatter, HTTPDatesParseAndFormatInGMT)
{
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 15:46:33 GMT"), kTuesday);
    EXPECT_EQ(DateFormatter::httpDate(kTuesday), "Tue, 08 Dec 2026 15:46:33 GMT");
    // Other zone names name other offsets.
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 16:46:33 GMT+01:00"), kTuesday);
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 07:46:33 PST"), kTuesday);
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 15:46:33 UTC"), kTuesday);
    EXPECT_EQ(DateFormatter::parseHTTPDate("  Tue, 08 Dec 2026 15:46:33 GMT\r\n"), kTuesday);
}

TEST(DateFormatter, HTTPDatesRoundTripAcrossYearsAndLeapDays)
{
    struct Case {
        double sinceReference;
        const char* text;
    } cases[] = {
        { 0, "Mon, 01 Jan 2001 00:00:00 GMT" },
        { -1, "Sun, 31 Dec 2000 23:59:59 GMT" },
        { 730857600, "Thu, 29 Feb 2024 00:00:00 GMT" },
        { -978307200, "Thu, 01 Jan 1970 00:00:00 GMT" },
        { -3187296000, "Mon, 01 Jan 1900 00:00:00 GMT" },
        { 3137227200, "Tue, 01 Jun 2100 12:00:00 GMT" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateFormatter::httpDate(Date(c.sinceReference)), c.text);
        EXPECT_EQ(DateFormatter::parseHTTPDate(c.text), Date(c.sinceReference)) << c.text;
    }
    // Fractions of a second are not part of the format.
    EXPECT_EQ(DateFormatter::httpDate(kTuesday.byAdding(0.75)), "Tue, 08 Dec 2026 15:46:33 GMT");
}

TEST(DateFormatter, MalformedHTTPDatesAreNotDates)
{
    const char* bad[] = {
        "",
        "   ",
        "yesterday",
        "Tue, 08 Dec 2026 15:46:33",
        "Tue, 08 Dec 2026 15:46:33 GMT and more",
        "Tue, 32 Dec 2026 15:46:33 GMT",
        "Tue, 08 Dec 2026 25:46:33 GMT",
        "Tue, 08 Dez 2026 15:46:33 GMT",
        "Tuesday, 08-Dec-26 15:46:33 GMT",
        "Tue, 08 Dec 2026 15:46:33 \xff\xfe",
        "2026-12-08T15:46:33Z",
    };
    for (const char* text : bad)
        EXPECT_FALSE(DateFormatter::parseHTTPDate(text).has_value()) << text;
    // A failure leaves the shared formatter usable.
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 15:46:33 GMT"), kTuesday);
}

TEST(DateFormatter, HTTPDatesIgnoreTheUserLocaleAndZone)
{
    EnvironmentScope env;
    env.set("LC_ALL", "de_DE.UTF-8");
    env.set("TZ", "Asia/Tokyo");
    EXPECT_EQ(DateFormatter::parseHTTPDate("Tue, 08 Dec 2026 15:46:33 GMT"), kTuesday);
    EXPECT_EQ(DateFormatter::httpDate(kTuesday), "Tue, 08 Dec 2026 15:46:33 GMT");
}

TEST(DateFormatter, StylesInEnglishAndGerman)
{
    struct Case {
        const char* locale;
        DateFormatter::Style date;
        DateFormatter::Style time;
        const char* expected;
    } cases[] = {
        { "en_US", DateFormatter::Style::Medium, DateFormatter::Style::None, "Dec 8, 2026" },
        { "en_US", DateFormatter::Style::None, DateFormatter::Style::Short, "3:46 PM" },
        { "en_US", DateFormatter::Style::Medium, DateFormatter::Style::Short, "Dec 8, 2026, 3:46 PM" },
        { "de_DE", DateFormatter::Style::Medium, DateFormatter::Style::None, "08.12.2026" },
        { "de_DE", DateFormatter::Style::None, DateFormatter::Style::Short, "15:46" },
        { "de_DE", DateFormatter::Style::Medium, DateFormatter::Style::Short, "08.12.2026, 15:46" },
    };
    for (const auto& c : cases) {
        DateFormatter formatter(c.date, c.time, c.locale);
        ASSERT_TRUE(formatter.isValid());
        formatter.setTimeZone("UTC");
        EXPECT_EQ(plainSpaces(formatter.string(kTuesday)), c.expected) << c.locale;
    }
    DateFormatter berlin(DateFormatter::Style::None, DateFormatter::Style::Short, "de_DE");
    berlin.setTimeZone("Europe/Berlin");
    EXPECT_EQ(berlin.string(kTuesday), "16:46");
}

TEST(DateFormatter, ConveniencesFollowTheEnvironmentAcrossCalls)
{
    EnvironmentScope env;
    env.set("LC_ALL", nullptr);
    env.set("LC_TIME", nullptr);
    env.set("LANG", "C.UTF-8");
    env.set("TZ", "UTC");
    // C maps to en_US, not the POSIX locale's "2026 Dec 8".
    EXPECT_EQ(DateFormatter::mediumDate(kTuesday), "Dec 8, 2026");
    EXPECT_EQ(plainSpaces(DateFormatter::shortTime(kTuesday)), "3:46 PM");
    EXPECT_EQ(plainSpaces(DateFormatter::mediumDateShortTime(kTuesday)), "Dec 8, 2026, 3:46 PM");

    env.set("LC_TIME", "de_DE.UTF-8");
    EXPECT_EQ(DateFormatter::mediumDate(kTuesday), "08.12.2026");
    EXPECT_EQ(DateFormatter::shortTime(kTuesday), "15:46");

    // A new zone is taken up by the cached formatters: 00:46 on the ninth in Tokyo.
    env.set("TZ", "Asia/Tokyo");
    EXPECT_EQ(DateFormatter::mediumDateShortTime(kTuesday), "09.12.2026, 00:46");
}

TEST(DateFormatter, FixedPatternsParseStrictlyAndBrokenPatternsAreInvalid)
{
    DateFormatter iso("yyyy-MM-dd HH:mm", "en_US");
    ASSERT_TRUE(iso.isValid());
    iso.setTimeZone("UTC");
    EXPECT_EQ(iso.date("2026-12-08 15:46"), kTuesday.byAdding(-33));
    EXPECT_FALSE(iso.date("2026-13-08 15:46").has_value());
    EXPECT_FALSE(iso.date("2026-12-08").has_value());
    EXPECT_EQ(iso.string(kTuesday), "2026-12-08 15:46");
    EXPECT_EQ(DateFormatter::format(kTuesday, "EEEE d MMMM", "de_DE", "UTC"), "Dienstag 8 Dezember");

    DateFormatter broken("yyyy-MM-dd jjj", "en_US");
    EXPECT_FALSE(broken.isValid());
    EXPECT_EQ(broken.string(kTuesday), "");
    EXPECT_FALSE(broken.date("2026").has_value());
    DateFormatter none(DateFormatter::Style::None, DateFormatter::Style::None, "en_US");
    EXPECT_EQ(none.string(kTuesday), "");
}

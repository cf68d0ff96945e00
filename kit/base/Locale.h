// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kit::Locale {

// Which POSIX category a locale is asked for; each is looked up as LC_ALL, then LC_<category>,
// then LANG.
enum class Category { Time, Collate, Messages };

// The ICU locale identifier for a POSIX locale name: "de_DE.UTF-8@euro" gives "de_DE";
// empty, "C", "POSIX" and "C.<codeset>" give "en_US" (ICU would pick en_US_POSIX, whose
// collator orders by code point).
std::string icuIdentifier(std::string_view posixName);

// The user's locale for a category, from the environment at the time of the call.
std::string current(Category category);

// The territory of a POSIX locale name, upper-case: "de_CH.UTF-8" gives "CH", "es_419" gives
// "419". None for "C", "POSIX", a bare language ("de") or anything that is no territory.
std::optional<std::string> countryCode(std::string_view posixName);
// The country of the user's region (the formats locale: LC_ALL, then LC_MONETARY, then LANG;
// the first that is set decides).
std::optional<std::string> currentCountryCode();
// The country of the machine's own locale: LANG in <root>/etc/locale.conf, else in
// <root>/etc/default/locale.
std::optional<std::string> systemCountryCode(const std::string& root = "/");

} // namespace kit::Locale

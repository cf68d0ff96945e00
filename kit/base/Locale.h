#pragma once

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

} // namespace kit::Locale

#include "kit/base/Locale.h"

#include <cstdlib>

namespace kit::Locale {

std::string icuIdentifier(std::string_view posixName)
{
    // "language[_territory][.codeset][@modifier]"
    std::string_view name = posixName;
    if (auto at = name.find('@'); at != std::string_view::npos)
        name = name.substr(0, at);
    if (auto dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    if (name.empty() || name == "C" || name == "POSIX")
        return "en_US";
    std::string id;
    for (char c : name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool digit = c >= '0' && c <= '9';
        // Anything else is not a locale name ICU can use.
        if (!letter && !digit && c != '_' && c != '-')
            return "en_US";
        id += c == '-' ? '_' : c;
    }
    return id;
}

std::string current(Category category)
{
    const char* variable = category == Category::Time ? "LC_TIME"
        : category == Category::Collate                ? "LC_COLLATE"
                                                       : "LC_MESSAGES";
    for (const char* name : { "LC_ALL", variable, "LANG" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return icuIdentifier(value);
    }
    return "en_US";
}

} // namespace kit::Locale

// SPDX-License-Identifier: MIT
#include "kit/base/Locale.h"

#include <cstdlib>
#include <fstream>

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
    const char* variable = category == Category::Time ? "LC_TIME" : category == Category::Collate ? "LC_COLLATE" : "LC_MESSAGES";
    for (const char* name : { "LC_ALL", variable, "LANG" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return icuIdentifier(value);
    }
    return "en_US";
}

std::optional<std::string> countryCode(std::string_view posixName)
{
    std::string_view name = posixName;
    if (auto at = name.find('@'); at != std::string_view::npos)
        name = name.substr(0, at);
    if (auto dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    auto separator = name.find_first_of("_-");
    if (separator == std::string_view::npos)
        return std::nullopt;
    std::string_view territory = name.substr(separator + 1);
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    bool letters = territory.size() == 2 && isLetter(territory[0]) && isLetter(territory[1]);
    bool digits = territory.size() == 3 && isDigit(territory[0]) && isDigit(territory[1]) && isDigit(territory[2]);
    if (!letters && !digits)
        return std::nullopt;
    std::string code(territory);
    for (char& c : code)
        c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    return code;
}

std::optional<std::string> currentCountryCode()
{
    for (const char* name : { "LC_ALL", "LC_MONETARY", "LANG" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return countryCode(value);
    }
    return std::nullopt;
}

std::optional<std::string> systemCountryCode(const std::string& root)
{
    std::string base = root.empty() || root.back() != '/' ? root + "/" : root;
    for (const char* file : { "etc/locale.conf", "etc/default/locale" }) {
        std::ifstream in(base + file);
        if (!in)
            continue;
        // Shell-style assignments; the value may be quoted.
        for (std::string line; std::getline(in, line);) {
            std::string_view text = line;
            while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
                text.remove_prefix(1);
            if (!text.starts_with("LANG="))
                continue;
            text.remove_prefix(5);
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
                text.remove_suffix(1);
            if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
                text = text.substr(1, text.size() - 2);
            return countryCode(text);
        }
    }
    return std::nullopt;
}

} // namespace kit::Locale

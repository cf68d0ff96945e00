// SPDX-License-Identifier: MIT
#include "kit/device/OsReleaseSource.h"

#include "kit/device/SystemFile.h"

#include <vector>

namespace kit {

namespace {

// A distribution name is a line of text; anything longer is not one.
constexpr std::size_t kMaximumValueLength = 256;

std::optional<std::string> unquoted(std::string_view raw)
{
    std::string value;
    if (!raw.empty() && (raw.front() == '"' || raw.front() == '\'')) {
        char quote = raw.front();
        std::size_t i = 1;
        bool closed = false;
        for (; i < raw.size(); ++i) {
            char c = raw[i];
            if (c == quote) {
                closed = true;
                break;
            }
            if (quote == '"' && c == '\\' && i + 1 < raw.size()) {
                char next = raw[i + 1];
                // Only these are escapes inside double quotes; elsewhere the backslash stays.
                if (next == '"' || next == '\\' || next == '$' || next == '`') {
                    value += next;
                    ++i;
                    continue;
                }
            }
            value += c;
        }
        if (!closed)
            return std::nullopt;
    } else {
        // A bare value ends at white space or a comment.
        std::size_t end = raw.find_first_of(" \t#");
        value = std::string(raw.substr(0, end));
    }
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    if (value.size() > kMaximumValueLength)
        value.resize(kMaximumValueLength);
    return value;
}

} // namespace

std::optional<std::string> parseOsReleaseField(std::string_view text, std::string_view key)
{
    std::optional<std::string> found;
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = detail::trimmed(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.size() <= key.size() || !line.starts_with(key) || line[key.size()] != '=')
            continue;
        // A malformed assignment (an unclosed quote) leaves the earlier value standing.
        if (auto value = unquoted(line.substr(key.size() + 1)))
            found = std::move(value);
    }
    return found;
}

OsReleaseSource::OsReleaseSource(std::string root)
    : m_root(std::move(root))
{
}

std::optional<std::string> OsReleaseSource::prettyName() const
{
    // Enough for any real file; a device node or a runaway file is not read without end.
    std::vector<char> buffer(64 * 1024);
    for (std::string_view path : { "/etc/os-release", "/usr/lib/os-release" }) {
        std::string file = detail::underRoot(m_root, path);
        auto size = detail::readInto(file.c_str(), buffer);
        if (!size)
            continue;
        auto name = parseOsReleaseField(std::string_view(buffer.data(), *size), "PRETTY_NAME");
        std::string trimmedName = name ? std::string(detail::trimmed(*name)) : std::string();
        if (trimmedName.empty())
            return std::nullopt;
        return trimmedName;
    }
    return std::nullopt;
}

} // namespace kit

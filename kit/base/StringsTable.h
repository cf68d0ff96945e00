// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// A localised string table: the text of a Localizable.strings file, lines of the form
//     "key" = "value";
// with \" \\ \n \t \r \' \0 and \UXXXX / \uXXXX escapes, /* */ and // comments, and unquoted
// keys or values made of letters, digits and "_.-". A lone "key"; maps the key to itself.
// A broken entry is skipped from its first line to the end of that line, so the entries after
// it still load. Files may be UTF-8 (with or without a byte-order mark) or UTF-16 with a mark.
class StringsTable {
public:
    struct ParseError {
        int line = 0; // 1-based
        std::string message;
    };

    StringsTable() = default;

    static StringsTable parse(std::string_view bytes);

    std::optional<std::string_view> lookup(std::string_view key) const;
    std::size_t size() const { return m_entries.size(); }
    const std::vector<ParseError>& errors() const { return m_errors; }
    const std::map<std::string, std::string, std::less<>>& entries() const { return m_entries; }

private:
    std::map<std::string, std::string, std::less<>> m_entries;
    std::vector<ParseError> m_errors;
};

} // namespace kit

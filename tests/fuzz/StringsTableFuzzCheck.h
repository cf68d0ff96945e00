// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Strings.h"
#include "kit/base/StringsTable.h"

#include <string>
#include <string_view>

namespace fuzzcheck {

// A table written back in the file's own syntax, every key and value quoted and escaped.
inline std::string writeStringsTable(const kit::StringsTable& table)
{
    auto quoted = [](std::string_view text) {
        std::string out = "\"";
        for (char c : text) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
            }
        }
        return out + "\"";
    };
    std::string text;
    for (const auto& [key, value] : table.entries())
        text += quoted(key) + " = " + quoted(value) + ";\n";
    return text;
}

// Whatever the bytes: parsing returns; every key and value is valid UTF-8 (labels are drawn
// from them); every error names a line of the text and says something; each entry is found by
// its key; and the entries, written back and parsed again, are the same entries without error.
inline const char* checkStringsTable(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto table = kit::StringsTable::parse(bytes);
    std::size_t lines = 1;
    for (char c : bytes)
        lines += c == '\n' || c == '\r' ? 1 : 0;
    for (const auto& error : table.errors()) {
        if (error.line < 1 || std::size_t(error.line) > lines || error.message.empty())
            return "an error without a line or a message";
    }
    for (const auto& [key, value] : table.entries()) {
        if (kit::validUTF8(key) != key || kit::validUTF8(value) != value)
            return "an entry that is not valid UTF-8";
        auto found = table.lookup(key);
        if (!found || *found != value)
            return "an entry not found by its key";
    }
    auto again = kit::StringsTable::parse(writeStringsTable(table));
    if (!again.errors().empty())
        return "the entries written back do not parse cleanly";
    if (again.entries() != table.entries())
        return "the entries written back parse to other entries";
    return nullptr;
}

} // namespace fuzzcheck

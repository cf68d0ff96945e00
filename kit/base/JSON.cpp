// SPDX-License-Identifier: MIT
#include "kit/base/JSON.h"

#include "kit/base/Strings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kit {

namespace {

void appendString(std::string& out, std::string_view raw)
{
    // Names from the system (interfaces, models) are bytes, not necessarily UTF-8; a JSON
    // reader would refuse the whole text for one bad byte.
    std::string text = validUTF8(raw);
    out += '"';
    for (unsigned char c : text) {
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
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void appendNumber(std::string& out, double number)
{
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, result.ptr);
}

void append(std::string& out, const Value& value, bool pretty, int depth)
{
    auto newline = [&](int level) {
        if (!pretty)
            return;
        out += '\n';
        out.append(static_cast<std::size_t>(level) * 2, ' ');
    };
    switch (value.type()) {
    case Value::Type::Null:
    case Value::Type::Data:
    case Value::Type::Object:
        out += "null";
        break;
    case Value::Type::Bool:
        out += *value.asBool() ? "true" : "false";
        break;
    case Value::Type::Integer:
        out += std::to_string(*value.asInteger());
        break;
    case Value::Type::Real:
        appendNumber(out, *value.asNumber());
        break;
    case Value::Type::String:
        appendString(out, *value.asString());
        break;
    case Value::Type::Date:
        appendNumber(out, value.asDate()->timeIntervalSince1970());
        break;
    case Value::Type::Array: {
        out += '[';
        bool first = true;
        for (auto& element : *value.asArray()) {
            if (!first)
                out += ',';
            first = false;
            newline(depth + 1);
            append(out, element, pretty, depth + 1);
        }
        if (!first)
            newline(depth);
        out += ']';
        break;
    }
    case Value::Type::Dict: {
        out += '{';
        bool first = true;
        for (auto& [key, element] : *value.asDict()) {
            if (!first)
                out += ',';
            first = false;
            newline(depth + 1);
            appendString(out, key);
            out += pretty ? ": " : ":";
            append(out, element, pretty, depth + 1);
        }
        if (!first)
            newline(depth);
        out += '}';
        break;
    }
    }
}

} // namespace

std::string toJSON(const Value& value, bool pretty)
{
    std::string out;
    append(out, value, pretty, 0);
    return out;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/base/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kit {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view skipSpace(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return text.substr(i);
}

// Reads optional sign and digits; returns false when there are no digits. Saturates on overflow.
template<typename Int>
Int parseLeadingInteger(std::string_view text)
{
    text = skipSpace(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    Int result = 0;
    for (char c : text) {
        if (!isDigit(c))
            break;
        int digit = c - '0';
        if (negative) {
            if (result < (std::numeric_limits<Int>::min() + digit) / 10)
                return std::numeric_limits<Int>::min();
            result = result * 10 - digit;
        } else {
            if (result > (std::numeric_limits<Int>::max() - digit) / 10)
                return std::numeric_limits<Int>::max();
            result = result * 10 + digit;
        }
    }
    return result;
}

template<typename Int>
Int truncateToInteger(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= static_cast<double>(std::numeric_limits<Int>::max()))
        return std::numeric_limits<Int>::max();
    if (d <= static_cast<double>(std::numeric_limits<Int>::min()))
        return std::numeric_limits<Int>::min();
    return static_cast<Int>(d);
}

} // namespace

double parseDouble(std::string_view text)
{
    text = skipSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::size_t start = i;
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    std::string_view number = text.substr(start, i - start);
    double value = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the magnitude tells which.
        bool tiny = false;
        for (char c : number) {
            if (c == 'e' || c == 'E') {
                tiny = number.find('-', &c - number.data()) != std::string_view::npos;
                break;
            }
        }
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        return 0.0;
    }
    (void)ptr;
    return negative ? -value : value;
}

std::int32_t parseInt(std::string_view text) { return parseLeadingInteger<std::int32_t>(text); }
std::int64_t parseLongLong(std::string_view text) { return parseLeadingInteger<std::int64_t>(text); }

const Value& Value::null()
{
    static const Value s_null;
    return s_null;
}

std::shared_ptr<Object> Value::asObject() const
{
    if (auto* object = std::get_if<std::shared_ptr<Object>>(&m_storage))
        return *object;
    return nullptr;
}

std::optional<bool> Value::asBool() const
{
    if (auto* b = std::get_if<bool>(&m_storage))
        return *b;
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInteger() const
{
    if (auto* i = std::get_if<std::int64_t>(&m_storage))
        return *i;
    return std::nullopt;
}

std::optional<double> Value::asNumber() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage) ? 1.0 : 0.0;
    case Type::Integer:
        return static_cast<double>(std::get<std::int64_t>(m_storage));
    case Type::Real:
        return std::get<double>(m_storage);
    default:
        return std::nullopt;
    }
}

double Value::doubleValue() const
{
    if (auto number = asNumber())
        return *number;
    if (auto* s = asString())
        return parseDouble(*s);
    return 0.0;
}

std::int32_t Value::intValue() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage) ? 1 : 0;
    case Type::Integer: {
        auto i = std::get<std::int64_t>(m_storage);
        return static_cast<std::int32_t>(i); // wraps to the low 32 bits, as a C conversion does
    }
    case Type::Real:
        return truncateToInteger<std::int32_t>(std::get<double>(m_storage));
    case Type::String:
        return parseInt(std::get<std::string>(m_storage));
    default:
        return 0;
    }
}

std::int64_t Value::longLongValue() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_storage) ? 1 : 0;
    case Type::Integer:
        return std::get<std::int64_t>(m_storage);
    case Type::Real:
        return truncateToInteger<std::int64_t>(std::get<double>(m_storage));
    case Type::String:
        return parseLongLong(std::get<std::string>(m_storage));
    default:
        return 0;
    }
}

bool Value::boolValue() const
{
    if (auto number = asNumber())
        return *number != 0.0;
    if (auto* s = asString()) {
        std::string_view text = skipSpace(*s);
        if (!text.empty() && (text[0] == '+' || text[0] == '-'))
            text.remove_prefix(1);
        while (!text.empty() && text[0] == '0')
            text.remove_prefix(1);
        if (text.empty())
            return false;
        char c = text[0];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    return false;
}

std::string Value::stringValue() const
{
    char buffer[64];
    switch (type()) {
    case Type::String:
        return std::get<std::string>(m_storage);
    case Type::Bool:
        return std::get<bool>(m_storage) ? "1" : "0";
    case Type::Integer:
        return std::to_string(std::get<std::int64_t>(m_storage));
    case Type::Real:
        std::snprintf(buffer, sizeof buffer, "%.17g", std::get<double>(m_storage));
        return buffer;
    case Type::Date:
        std::snprintf(buffer, sizeof buffer, "%.3f", std::get<kit::Date>(m_storage).timeIntervalSinceReferenceDate());
        return buffer;
    default:
        return {};
    }
}

const std::string& Value::string() const
{
    static const std::string s_empty;
    if (auto* s = asString())
        return *s;
    return s_empty;
}

const Value& Value::operator[](std::string_view key) const
{
    if (auto* dict = asDict()) {
        if (auto it = dict->find(key); it != dict->end())
            return it->second;
    }
    return null();
}

const Value& Value::valueForKeyPath(std::string_view keyPath) const
{
    const Value* current = this;
    while (true) {
        auto dot = keyPath.find('.');
        current = &(*current)[keyPath.substr(0, dot)];
        if (dot == std::string_view::npos || current->isNull())
            return *current;
        keyPath.remove_prefix(dot + 1);
    }
}

const Value& Value::at(std::size_t index) const
{
    if (auto* array = asArray(); array && index < array->size())
        return (*array)[index];
    return null();
}

std::size_t Value::count() const
{
    if (auto* array = asArray())
        return array->size();
    if (auto* dict = asDict())
        return dict->size();
    return 0;
}

bool Value::operator==(const Value& other) const
{
    bool numeric = (isInteger() || isReal()) && (other.isInteger() || other.isReal());
    if (numeric) {
        if (isInteger() && other.isInteger())
            return *asInteger() == *other.asInteger();
        return *asNumber() == *other.asNumber();
    }
    return m_storage == other.m_storage;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Date.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kit {

class Value;

// Base of kit objects that a Value can carry (a view, a styled text), e.g. in a table-model row.
class Object {
public:
    virtual ~Object() = default;
    // The run-time class name, as text ("UILabel", "AttributedString").
    virtual std::string className() const { return "Object"; }
};

using Array = std::vector<Value>;
// Keys in sorted order, so iteration and written property lists are deterministic.
using Dict = std::map<std::string, Value, std::less<>>;
using Data = std::vector<std::uint8_t>;

// A property-list style value: what the screens pass between each other as dictionaries and lists.
class Value {
public:
    enum class Type { Null, Bool, Integer, Real, String, Date, Data, Array, Dict, Object };

    Value() = default;
    Value(std::nullptr_t) { }
    Value(bool b)
        : m_storage(b)
    {
    }
    Value(int i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(unsigned i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(long i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(long long i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(unsigned long i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(unsigned long long i)
        : m_storage(std::int64_t(i))
    {
    }
    Value(double d)
        : m_storage(d)
    {
    }
    Value(float f)
        : m_storage(double(f))
    {
    }
    Value(const char* s)
        : m_storage(std::string(s))
    {
    }
    Value(std::string s)
        : m_storage(std::move(s))
    {
    }
    Value(std::string_view s)
        : m_storage(std::string(s))
    {
    }
    Value(kit::Date d)
        : m_storage(d)
    {
    }
    Value(kit::Data d)
        : m_storage(std::move(d))
    {
    }
    Value(kit::Array a)
        : m_storage(std::move(a))
    {
    }
    Value(kit::Dict d)
        : m_storage(std::move(d))
    {
    }
    Value(std::shared_ptr<Object> o)
        : m_storage(std::move(o))
    {
    }
    template<typename T>
    requires std::is_base_of_v<Object, T> Value(std::shared_ptr<T> o)
        : m_storage(std::shared_ptr<Object>(std::move(o)))
    {
    }

    static const Value& null();

    Type type() const { return static_cast<Type>(m_storage.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    // Bool, integer or real.
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDict() const { return type() == Type::Dict; }
    bool isObject() const { return type() == Type::Object; }

    // Typed access: nullptr (or nullopt) when the value is of another type.
    const std::string* asString() const { return std::get_if<std::string>(&m_storage); }
    const kit::Date* asDate() const { return std::get_if<kit::Date>(&m_storage); }
    const kit::Data* asData() const { return std::get_if<kit::Data>(&m_storage); }
    const kit::Array* asArray() const { return std::get_if<kit::Array>(&m_storage); }
    kit::Array* asArray() { return std::get_if<kit::Array>(&m_storage); }
    const kit::Dict* asDict() const { return std::get_if<kit::Dict>(&m_storage); }
    kit::Dict* asDict() { return std::get_if<kit::Dict>(&m_storage); }
    std::shared_ptr<Object> asObject() const;
    template<typename T>
    std::shared_ptr<T> objectAs() const
    {
        return std::dynamic_pointer_cast<T>(asObject());
    }
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    // Any number as a double.
    std::optional<double> asNumber() const;

    // Lenient number conversions, for data written by others. Numbers convert (reals truncate
    // toward zero for the integer forms); strings are read as a leading number (white space, sign, digits, point,
    // exponent) in the C locale, anything else giving 0; other types give 0.
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    std::int32_t intValue() const;
    std::int64_t longLongValue() const;
    // Numbers: non-zero; strings: leading "Y", "y", "T", "t" or a non-zero digit.
    bool boolValue() const;
    // A string as it is; numbers and dates as text; empty for the rest.
    std::string stringValue() const;
    // The string, or an empty string.
    const std::string& string() const;

    // Dictionary lookup; null when this is not a dictionary or the key is missing.
    const Value& operator[](std::string_view key) const;
    // "BatteryLife.Audio Playback": walks dictionaries by "."-separated components.
    const Value& valueForKeyPath(std::string_view keyPath) const;
    // Array element; null when out of range or not an array.
    const Value& at(std::size_t index) const;
    // Elements of an array or entries of a dictionary; 0 otherwise.
    std::size_t count() const;

    // Strings by characters, dates by instant, integers and reals by numeric value,
    // arrays and dictionaries deeply, objects by identity.
    bool operator==(const Value& other) const;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, kit::Date, kit::Data, kit::Array, kit::Dict,
        std::shared_ptr<Object>>
        m_storage;
};

// The leading-number readers behind Value's conversions, for plain strings.
double parseDouble(std::string_view text);
std::int32_t parseInt(std::string_view text);
std::int64_t parseLongLong(std::string_view text);

} // namespace kit

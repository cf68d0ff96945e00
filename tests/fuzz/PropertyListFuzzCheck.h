// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/PropertyList.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

// Equal values, where a real that is not a number equals another such real: NaN is a value a
// property list can hold, and it must survive as NaN.
inline bool sameValue(const kit::Value& a, const kit::Value& b)
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case kit::Value::Type::Real: {
        double x = *a.asNumber(), y = *b.asNumber();
        return (std::isnan(x) && std::isnan(y)) || x == y;
    }
    case kit::Value::Type::Date: {
        double x = a.asDate()->timeIntervalSinceReferenceDate(), y = b.asDate()->timeIntervalSinceReferenceDate();
        return (std::isnan(x) && std::isnan(y)) || x == y;
    }
    case kit::Value::Type::Array: {
        const auto& x = *a.asArray();
        const auto& y = *b.asArray();
        if (x.size() != y.size())
            return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!sameValue(x[i], y[i]))
                return false;
        }
        return true;
    }
    case kit::Value::Type::Dict: {
        const auto& x = *a.asDict();
        const auto& y = *b.asDict();
        if (x.size() != y.size())
            return false;
        for (auto left = x.begin(), right = y.begin(); left != x.end(); ++left, ++right) {
            if (left->first != right->first || !sameValue(left->second, right->second))
                return false;
        }
        return true;
    }
    default:
        return a == b;
    }
}

// Whatever the input, reading must return with a reason or a value. Whatever was read and can be
// written must read back; and from then on the value is settled: writing what was read back and
// reading it again gives the same value. (The first write may normalise, e.g. dates to whole
// seconds in XML. Bytes are not compared: libplist's binary writer shares equal objects by
// address, so one value has many valid encodings.) Returns the first broken promise, or nullptr.
inline const char* checkPropertyList(const std::uint8_t* data, std::size_t size)
{
    auto value = kit::PropertyList::read(std::span<const std::uint8_t>(data, size));
    if (!value.ok())
        return value.error().empty() ? "an error without a message" : nullptr;
    for (auto format : { kit::PropertyList::Format::XML, kit::PropertyList::Format::Binary }) {
        bool xml = format == kit::PropertyList::Format::XML;
        auto written = kit::PropertyList::write(*value, format);
        // Output beyond the reader's size cap cannot be read back by design.
        if (!written.ok() || written->size() > kit::PropertyList::kMaxInputBytes)
            continue;
        auto again = kit::PropertyList::read(std::span<const std::uint8_t>(*written));
        if (!again.ok())
            return xml ? "own XML output does not read back" : "own binary output does not read back";
        auto rewritten = kit::PropertyList::write(*again, format);
        if (!rewritten.ok())
            return xml ? "a value read back from XML cannot be written" : "a value read back from binary cannot be written";
        auto settled = kit::PropertyList::read(std::span<const std::uint8_t>(*rewritten));
        if (!settled.ok() || !sameValue(*again, *settled))
            return xml ? "XML round trip changed the value" : "binary round trip changed the value";
    }
    return nullptr;
}

} // namespace fuzzcheck

#pragma once

#include "kit/base/PropertyList.h"

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

// Whatever the input, reading must return; whatever was read and can be written must read
// back, and writing what was read back must give the same bytes again. Returns a description
// of the first broken promise, or nullptr.
inline const char* checkPropertyList(const std::uint8_t* data, std::size_t size)
{
    auto value = kit::PropertyList::read(std::span<const std::uint8_t>(data, size));
    if (!value.ok())
        return value.error().empty() ? "an error without a message" : nullptr;
    for (auto format : { kit::PropertyList::Format::XML, kit::PropertyList::Format::Binary }) {
        auto written = kit::PropertyList::write(*value, format);
        // Output beyond the reader's size cap cannot be read back by design.
        if (!written.ok() || written->size() > kit::PropertyList::kMaxInputBytes)
            continue;
        auto again = kit::PropertyList::read(std::span<const std::uint8_t>(*written));
        bool xml = format == kit::PropertyList::Format::XML;
        if (!again.ok())
            return xml ? "own XML output does not read back" : "own binary output does not read back";
        auto rewritten = kit::PropertyList::write(*again, format);
        if (!rewritten.ok() || *rewritten != *written)
            return xml ? "XML round trip changed the value" : "binary round trip changed the value";
    }
    return nullptr;
}

} // namespace fuzzcheck

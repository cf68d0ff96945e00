// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/base/Value.h"

#include <span>
#include <string>
#include <string_view>

namespace kit {

// Property lists (XML and binary) to and from Value, through libplist. Inputs are guarded
// before libplist sees them: a size cap, a nesting cap, and a UTF-8 byte-order mark stripped.
class PropertyList {
public:
    enum class Format { XML, Binary };

    static constexpr std::size_t kMaxInputBytes = 64 * 1024 * 1024;
    static constexpr int kMaxDepth = 512;

    // XML or binary, told apart by the "bplist00" magic. Errors say what was wrong.
    static Result<Value> read(std::span<const std::uint8_t> bytes);
    static Result<Value> read(std::string_view text);
    // Regular files only, opened without blocking and read up to kMaxInputBytes. The errors do
    // not repeat the path.
    static Result<Value> readFile(const std::string& path);
    // Objects and nulls have no property-list form and are an error wherever they occur, as is
    // nesting deeper than kMaxDepth.
    static Result<Data> write(const Value& value, Format format = Format::XML);
    // Whether write() would take the value: the same checks, without producing the bytes.
    static Result<void> canWrite(const Value& value);
};

} // namespace kit

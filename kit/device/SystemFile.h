// SPDX-License-Identifier: MIT
#pragma once

// Small helpers the sources share for reading /proc and /sys files. Not part of the kit's API.

#include "kit/base/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kit::detail {

// Reads from the start of a file into buffer until it is full or the file ends; the bytes read.
// One read() for the small kernel files, which hand out their text whole.
Result<std::size_t> readInto(const char* path, std::span<char> buffer);

// Reads a whole file of any size into a reused buffer.
Result<std::string_view> readWhole(const char* path, std::vector<char>& buffer);

// A short attribute file (sysfs), surrounding white space and trailing NULs removed; nothing
// when it cannot be read.
std::optional<std::string> readAttribute(const std::string& path);

// A decimal integer with optional surrounding white space and nothing else.
std::optional<std::int64_t> parseInteger(std::string_view text);

std::string_view trimmed(std::string_view text);

bool pathExists(const std::string& path);

// root joined with an absolute path: ("/", "/proc/stat") → "/proc/stat", ("/tmp/t", "/proc/stat")
// → "/tmp/t/proc/stat".
std::string underRoot(std::string_view root, std::string_view path);

} // namespace kit::detail

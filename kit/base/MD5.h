// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kit {

// The 16-byte MD5 digest (RFC 1321), through GLib's GChecksum.
using MD5Digest = std::array<std::uint8_t, 16>;

MD5Digest md5(std::span<const std::uint8_t> bytes);
MD5Digest md5(std::string_view text);

// The digest as 32 hexadecimal digits ("%02X" per byte when uppercase, "%02x" otherwise).
std::string md5Hex(const MD5Digest& digest, bool uppercase = false);

} // namespace kit

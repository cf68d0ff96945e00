// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kit {

// One field of an os-release file: "KEY=value" lines, the value bare or in double or single
// quotes (backslash escapes inside double quotes), comments and other lines skipped. The last
// assignment of the key wins, as it would in the shell. Control characters become spaces, so a
// strange file cannot break a line of text on screen. Nothing when the key is absent.
std::optional<std::string> parseOsReleaseField(std::string_view text, std::string_view key);

// The distribution's own description of itself, from <root>/etc/os-release or, when that
// file cannot be read, <root>/usr/lib/os-release.
class OsReleaseSource {
public:
    explicit OsReleaseSource(std::string root = "/");

    // PRETTY_NAME ("Debian GNU/Linux 12 (bookworm)"); nothing without a readable file or with
    // an empty or missing field.
    std::optional<std::string> prettyName() const;

private:
    std::string m_root;
};

} // namespace kit

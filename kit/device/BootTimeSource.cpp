// SPDX-License-Identifier: MIT
#include "kit/device/BootTimeSource.h"

#include "kit/device/SystemFile.h"

#include <charconv>
#include <vector>

namespace kit {

std::optional<std::int64_t> parseBootTime(std::string_view text)
{
    static constexpr std::string_view key = "btime";
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.size() <= key.size() || !line.starts_with(key) || (line[key.size()] != ' ' && line[key.size()] != '\t'))
            continue;
        auto value = detail::parseInteger(line.substr(key.size()));
        if (!value || *value < 0)
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

BootTimeSource::BootTimeSource(std::string root)
    : m_path(detail::underRoot(root, "/proc/stat"))
{
}

Result<std::int64_t> BootTimeSource::read() const
{
    // /proc/stat grows with the number of CPUs and interrupts; keep the buffer between reads.
    thread_local std::vector<char> buffer;
    auto text = detail::readWhole(m_path.c_str(), buffer);
    if (!text)
        return Error { text.error() };
    auto bootTime = parseBootTime(*text);
    if (!bootTime)
        return Error { m_path + ": no valid btime line" };
    return *bootTime;
}

} // namespace kit

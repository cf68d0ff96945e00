// SPDX-License-Identifier: MIT
#include "kit/device/MemorySource.h"

#include "kit/device/SystemFile.h"

#include <array>
#include <charconv>
#include <limits>
#include <unistd.h>

namespace kit {

namespace {

// The value of "Key:   1234 kB" in bytes; nothing when it is not a number or overflows.
std::optional<std::uint64_t> parseKilobytes(std::string_view rest)
{
    std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return std::nullopt;
    rest.remove_prefix(start);
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec != std::errc())
        return std::nullopt;
    std::string_view unit = detail::trimmed(std::string_view(end, rest.data() + rest.size() - end));
    if (unit == "kB") {
        if (value > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return value * 1024;
    }
    if (unit.empty())
        return value;
    return std::nullopt;
}

std::uint32_t pagesOf(std::uint64_t pages)
{
    return pages > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                             : static_cast<std::uint32_t>(pages);
}

} // namespace

std::optional<MemoryInfo> parseMeminfo(std::string_view text, std::uint64_t pageSize)
{
    if (pageSize == 0)
        return std::nullopt;
    enum { Total, Free, Active, Inactive, Count };
    static constexpr std::array<std::string_view, Count> keys { "MemTotal", "MemFree", "Active", "Inactive" };
    std::array<std::optional<std::uint64_t>, Count> values;
    std::array<bool, Count> seen {};
    int found = 0;

    while (!text.empty() && found < Count) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, colon);
        for (int i = 0; i < Count; ++i) {
            if (key != keys[i] || seen[i])
                continue;
            seen[i] = true;
            ++found;
            values[i] = parseKilobytes(line.substr(colon + 1));
            if (!values[i])
                return std::nullopt;
        }
    }
    if (found < Count)
        return std::nullopt;

    MemoryInfo info;
    info.physicalMemory = *values[Total];
    info.pageSize = pageSize;
    std::uint64_t freePages = *values[Free] / pageSize;
    std::uint64_t activePages = *values[Active] / pageSize;
    std::uint64_t inactivePages = *values[Inactive] / pageSize;
    // Counted in pages so that the four add up to the whole pages of physical memory.
    std::uint64_t totalPages = info.physicalMemory / pageSize;
    std::uint64_t counted = freePages + activePages + inactivePages;
    std::uint64_t wiredPages = totalPages > counted ? totalPages - counted : 0;

    info.freePages = pagesOf(freePages);
    info.activePages = pagesOf(activePages);
    info.inactivePages = pagesOf(inactivePages);
    info.wiredPages = pagesOf(wiredPages);
    return info;
}

MemorySource::MemorySource(std::string root, std::uint64_t pageSize)
    : m_file(detail::underRoot(root, "/proc/meminfo"))
    , m_pageSize(pageSize)
{
}

Result<MemoryInfo> MemorySource::read() const
{
    // The fields wanted are near the top; a longer file is cut off harmlessly.
    std::array<char, 8192> buffer;
    auto size = m_file.readInto(buffer);
    if (!size)
        return Error { size.error() };
    auto info = parseMeminfo(std::string_view(buffer.data(), *size), m_pageSize);
    if (!info)
        return Error { m_file.path() + ": missing or malformed memory fields" };
    return *info;
}

std::uint64_t MemorySource::systemPageSize()
{
    long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/device/SystemFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// Physical memory and the four page counts: free, active, inactive and wired, where wired
// is what the kernel holds or cannot evict (total less the other three, never below 0).
struct MemoryInfo {
    std::uint64_t physicalMemory = 0; // bytes
    std::uint64_t pageSize = 0; // bytes, the one the counts were divided by
    std::uint32_t freePages = 0;
    std::uint32_t activePages = 0;
    std::uint32_t inactivePages = 0;
    std::uint32_t wiredPages = 0;
};

// Parses the text of /proc/meminfo. Nothing when MemTotal, MemFree, Active or Inactive is
// missing, not a number, or when pageSize is 0.
std::optional<MemoryInfo> parseMeminfo(std::string_view text, std::uint64_t pageSize);

// Reads <root>/proc/meminfo, through a descriptor kept open from the first read on.
class MemorySource {
public:
    explicit MemorySource(std::string root = "/", std::uint64_t pageSize = systemPageSize());

    Result<MemoryInfo> read() const;

    static std::uint64_t systemPageSize();

private:
    mutable detail::KeptFile m_file;
    std::uint64_t m_pageSize = 0;
};

} // namespace kit

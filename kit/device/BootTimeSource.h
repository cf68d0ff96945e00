// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// The "btime" line of /proc/stat: whole seconds since 1970. Nothing without a valid one.
std::optional<std::int64_t> parseBootTime(std::string_view procStat);

// Reads the boot moment from <root>/proc/stat.
class BootTimeSource {
public:
    explicit BootTimeSource(std::string root = "/");

    Result<std::int64_t> read() const;

private:
    std::string m_path;
};

} // namespace kit

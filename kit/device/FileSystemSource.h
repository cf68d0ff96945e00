// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <cstdint>
#include <string>

namespace kit {

struct FileSystemSizes {
    std::int64_t totalBytes = 0;
    // What an unprivileged user can still write (the reserved blocks are not counted).
    std::int64_t freeBytes = 0;
};

// Sizes of the file system that holds a path (statvfs).
class FileSystemSource {
public:
    static Result<FileSystemSizes> sizesOf(const std::string& path);
};

} // namespace kit

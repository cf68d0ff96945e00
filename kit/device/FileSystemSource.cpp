// SPDX-License-Identifier: MIT
#include "kit/device/FileSystemSource.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/statvfs.h>

namespace kit {

namespace {

std::int64_t bytesOf(std::uint64_t blocks, std::uint64_t blockSize)
{
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (blockSize != 0 && blocks > max / blockSize)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * blockSize);
}

} // namespace

Result<FileSystemSizes> FileSystemSource::sizesOf(const std::string& path)
{
    if (path.empty())
        return Error { "no path" };
    struct statvfs info;
    if (::statvfs(path.c_str(), &info) != 0)
        return Error { "statvfs " + path + ": " + std::strerror(errno) };
    std::uint64_t blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    FileSystemSizes sizes;
    sizes.totalBytes = bytesOf(info.f_blocks, blockSize);
    sizes.freeBytes = bytesOf(info.f_bavail, blockSize);
    return sizes;
}

} // namespace kit

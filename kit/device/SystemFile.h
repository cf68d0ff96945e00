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

// A file opened once and read from its start with pread on every read(), for the /proc files
// read on every tick: the kernel renders them afresh at each read from offset 0, so keeping the
// descriptor saves an open and a close per reading. A failed read closes it, so the next read
// opens the path again (a file that came late, or went away and came back). A copy shares the
// path, not the descriptor.
class KeptFile {
public:
    explicit KeptFile(std::string path);
    ~KeptFile();
    KeptFile(const KeptFile& other);
    KeptFile& operator=(const KeptFile& other);

    const std::string& path() const { return m_path; }
    // Like readInto: from the start until buffer is full or the file ends; the bytes read.
    Result<std::size_t> readInto(std::span<char> buffer);
    bool isOpen() const { return m_fd >= 0; }

private:
    void close();

    std::string m_path;
    int m_fd = -1;
};

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

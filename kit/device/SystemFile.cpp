// SPDX-License-Identifier: MIT
#include "kit/device/SystemFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit::detail {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(const char* path)
        : m_fd(::open(path, O_RDONLY | O_CLOEXEC))
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

Error errnoError(const char* what, const char* path)
{
    return Error { std::string(what) + " " + path + ": " + std::strerror(errno) };
}

} // namespace

Result<std::size_t> readInto(const char* path, std::span<char> buffer)
{
    FileDescriptor file(path);
    if (file.get() < 0)
        return errnoError("cannot open", path);
    std::size_t used = 0;
    while (used < buffer.size()) {
        ssize_t n = ::read(file.get(), buffer.data() + used, buffer.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errnoError("cannot read", path);
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    return used;
}

KeptFile::KeptFile(std::string path)
    : m_path(std::move(path))
{
}

KeptFile::~KeptFile() { close(); }

KeptFile::KeptFile(const KeptFile& other)
    : m_path(other.m_path)
{
}

KeptFile& KeptFile::operator=(const KeptFile& other)
{
    if (this != &other) {
        close();
        m_path = other.m_path;
    }
    return *this;
}

void KeptFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Result<std::size_t> KeptFile::readInto(std::span<char> buffer)
{
    if (m_fd < 0) {
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return errnoError("cannot open", m_path.c_str());
    }
    std::size_t used = 0;
    while (used < buffer.size()) {
        ssize_t n = ::pread(m_fd, buffer.data() + used, buffer.size() - used, static_cast<off_t>(used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            auto error = errnoError("cannot read", m_path.c_str());
            close();
            return error;
        }
        used += static_cast<std::size_t>(n);
        // The kernel's files hand out their text whole: a short read is the end, and saves the
        // second call that would only find it.
        if (n == 0 || used < buffer.size())
            break;
    }
    return used;
}

Result<std::string_view> readWhole(const char* path, std::vector<char>& buffer)
{
    FileDescriptor file(path);
    if (file.get() < 0)
        return errnoError("cannot open", path);
    if (buffer.size() < 4096)
        buffer.resize(4096);
    std::size_t used = 0;
    for (;;) {
        if (used == buffer.size())
            buffer.resize(buffer.size() * 2);
        ssize_t n = ::read(file.get(), buffer.data() + used, buffer.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errnoError("cannot read", path);
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    return std::string_view(buffer.data(), used);
}

std::string_view trimmed(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> readAttribute(const std::string& path)
{
    char buffer[512];
    auto size = readInto(path.c_str(), buffer);
    if (!size)
        return std::nullopt;
    return std::string(trimmed(std::string_view(buffer, *size)));
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    // Only white space around the digits; a NUL among them is garbage, not an end.
    std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool pathExists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string underRoot(std::string_view root, std::string_view path)
{
    while (!root.empty() && root.back() == '/')
        root.remove_suffix(1);
    std::string result(root);
    result += path;
    return result;
}

} // namespace kit::detail

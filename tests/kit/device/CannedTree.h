// SPDX-License-Identifier: MIT
#pragma once

// A temporary folder standing in for "/" so the device sources read canned /proc and /sys files.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace kit::test {

class CannedTree {
public:
    CannedTree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quarrin-device-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data()))
            m_root = made;
        // Open to other users, so a check run unprivileged meets only the permissions it sets.
        std::error_code ignored;
        std::filesystem::permissions(m_root,
            std::filesystem::perms::owner_all | std::filesystem::perms::group_read | std::filesystem::perms::group_exec
                | std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
            ignored);
    }
    ~CannedTree()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    CannedTree(const CannedTree&) = delete;
    CannedTree& operator=(const CannedTree&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(std::string_view relative) const { return m_root + std::string(relative); }

    // Writes a file (absolute path under the tree), making its folders.
    void write(std::string_view relative, std::string_view contents) const
    {
        std::filesystem::path file = path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    }
    void makeFolder(std::string_view relative) const { std::filesystem::create_directories(path(relative)); }
    void remove(std::string_view relative) const { std::filesystem::remove_all(path(relative)); }

    // Copies a folder of tests/data/device into the tree's root.
    void copyFrom(const std::string& dataFolder) const
    {
        std::filesystem::copy(dataFolder, m_root,
            std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::string m_root;
};

// Runs a check as an unprivileged user (root reads everything), in a child process; the
// check's return value is the child's exit status. -1 when no such user can be taken on.
template<typename Check>
int runUnprivileged(Check check)
{
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(255);
        ::_exit(check() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

} // namespace kit::test

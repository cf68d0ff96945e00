// SPDX-License-Identifier: MIT
#pragma once

#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace kit::testing {

// A fresh folder below /tmp, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/quarrin-base-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? made : "/tmp";
    }
    ~TempFolder()
    {
        if (m_path != "/tmp")
            ::nftw(
                m_path.c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
                FTW_DEPTH | FTW_PHYS);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

    // Writes a file, creating its folders.
    std::string write(std::string_view relative, std::string_view contents) const
    {
        std::string full = *this / relative;
        for (std::size_t slash = full.find('/', m_path.size() + 1); slash != std::string::npos; slash = full.find('/', slash + 1))
            ::mkdir(full.substr(0, slash).c_str(), 0700);
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), std::streamsize(contents.size()));
        return full;
    }

private:
    std::string m_path;
};

// Sets environment variables for one scope and restores them afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment()
    {
        for (auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const std::string& name, std::optional<std::string> value)
    {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

} // namespace kit::testing

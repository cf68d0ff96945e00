// SPDX-License-Identifier: MIT
#include "kit/base/FileManager.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kit {

namespace {

Error errnoError(const std::string& what, const std::string& path, int error)
{
    return Error { what + " " + path + ": " + std::strerror(error) };
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string parentOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An XDG base folder: absolute values only, else the default below $HOME.
std::string xdgFolder(const char* variable, const char* fallbackBelowHome)
{
    std::string value = environment(variable);
    if (!value.empty() && value[0] == '/')
        return value;
    return FileManager::homeDirectory() + "/" + fallbackBelowHome;
}

std::string trimmed(std::string_view text)
{
    std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end - begin + 1));
}

// One value of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents" (shell quoting, $HOME only).
std::optional<std::string> userDirsValue(const std::string& contents, std::string_view name)
{
    std::optional<std::string> found;
    std::size_t start = 0;
    while (start <= contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string::npos)
            end = contents.size();
        std::string line = trimmed(std::string_view(contents).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        if (line.compare(0, name.size(), name) != 0 || line.size() <= name.size() || line[name.size()] != '=')
            continue;
        std::string raw = trimmed(std::string_view(line).substr(name.size() + 1));
        if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"')
            continue;
        raw = raw.substr(1, raw.size() - 2);
        std::string value;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size())
                value += raw[++i];
            else
                value += raw[i];
        }
        if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
            value = FileManager::homeDirectory() + value.substr(5);
        else if (value.compare(0, 7, "${HOME}") == 0 && (value.size() == 7 || value[7] == '/'))
            value = FileManager::homeDirectory() + value.substr(7);
        if (value.empty() || value[0] != '/')
            continue;
        // The last assignment wins, as it would in the shell.
        found = value;
    }
    return found;
}

Result<void> writeAll(int fd, const std::uint8_t* bytes, std::size_t size, const std::string& path)
{
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errnoError("cannot write", path, errno);
        }
        if (written == 0)
            return Error { "cannot write " + path + ": no progress" };
        bytes += written;
        size -= std::size_t(written);
    }
    return {};
}

timespec timespecFor(Date date)
{
    double unix = date.timeIntervalSince1970();
    double whole = std::floor(unix);
    timespec spec {};
    spec.tv_sec = time_t(whole);
    spec.tv_nsec = long(std::llround((unix - whole) * 1e9));
    if (spec.tv_nsec >= 1000000000L) {
        spec.tv_sec += 1;
        spec.tv_nsec -= 1000000000L;
    }
    return spec;
}

bool isRepresentable(Date date)
{
    double unix = date.timeIntervalSince1970();
    return std::isfinite(unix) && std::fabs(unix) < 9.0e15;
}

const char kTemporaryMarker[] = ".tmp-";

} // namespace

std::string FileManager::homeDirectory()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string FileManager::configHomeDirectory() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string FileManager::cacheHomeDirectory() { return xdgFolder("XDG_CACHE_HOME", ".cache"); }

std::string FileManager::documentsDirectory()
{
    // The screens ask on every refresh; user-dirs.dirs is read again only when it, or the
    // environment naming it, has changed since the last time (one stat).
    struct Remembered {
        std::string path;
        std::string home;
        bool exists = false;
        struct stat info { };
        std::optional<std::string> documents;
    };
    static std::mutex lock;
    static std::optional<Remembered> remembered;

    std::string path = configHomeDirectory() + "/user-dirs.dirs";
    std::string home = homeDirectory();
    struct stat info { };
    bool exists = ::stat(path.c_str(), &info) == 0;
    auto same = [&](const Remembered& r) {
        if (r.path != path || r.home != home || r.exists != exists)
            return false;
        return !exists
            || (r.info.st_dev == info.st_dev && r.info.st_ino == info.st_ino && r.info.st_size == info.st_size
                && r.info.st_mtim.tv_sec == info.st_mtim.tv_sec && r.info.st_mtim.tv_nsec == info.st_mtim.tv_nsec
                && r.info.st_ctim.tv_sec == info.st_ctim.tv_sec && r.info.st_ctim.tv_nsec == info.st_ctim.tv_nsec);
    };
    std::optional<std::string> documents;
    {
        std::lock_guard guard(lock);
        if (remembered && same(*remembered)) {
            documents = remembered->documents;
        } else {
            if (exists) {
                if (auto contents = readFile(path); contents.ok())
                    documents = userDirsValue(std::string(contents->begin(), contents->end()), "XDG_DOCUMENTS_DIR");
            }
            // A file changed within the last two seconds may change again within the same
            // timestamp (and a modification time can be set back); it is remembered only once
            // its change time has settled.
            if (exists && info.st_ctim.tv_sec + 2 > ::time(nullptr))
                remembered.reset();
            else
                remembered = Remembered { path, home, exists, info, documents };
        }
    }
    if (documents)
        return *documents;
    std::string fallback = homeDirectory() + "/Documents";
    if (isDirectory(fallback))
        return fallback;
    return homeDirectory();
}

Result<std::string> FileManager::applicationSupportDirectory(std::string_view bundleId)
{
    if (bundleId.empty() || bundleId == "." || bundleId == ".." || bundleId.find('/') != std::string_view::npos)
        return Error { "unusable bundle identifier \"" + std::string(bundleId) + "\"" };
    std::string path = xdgFolder("XDG_DATA_HOME", ".local/share") + "/" + std::string(bundleId);
    auto created = createDirectory(path);
    if (!created)
        return Error { created.error() };
    return path;
}

bool FileManager::fileExists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool FileManager::isDirectory(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Result<void> FileManager::createDirectory(const std::string& path)
{
    if (path.empty())
        return Error { "cannot create a folder with an empty path" };
    if (isDirectory(path))
        return {};
    std::size_t position = path[0] == '/' ? 1 : 0;
    while (true) {
        std::size_t slash = path.find('/', position);
        std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
        if (!prefix.empty() && !isDirectory(prefix)) {
            if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
                return errnoError("cannot create folder", prefix, errno);
            if (!isDirectory(prefix))
                return Error { "cannot create folder " + prefix + ": a file is in the way" };
        }
        if (slash == std::string::npos)
            break;
        position = slash + 1;
    }
    return {};
}

Result<FileManager::FileSystemAttributes> FileManager::attributesOfFileSystemForPath(const std::string& path)
{
    struct statvfs info { };
    if (path.empty() || ::statvfs(path.c_str(), &info) != 0)
        return errnoError("cannot read the file system of", path, path.empty() ? ENOENT : errno);
    // Signed 64-bit, as the screens compute with them; a sum beyond that is clamped.
    auto product = [](unsigned long long blocks, unsigned long long size) -> std::int64_t {
        unsigned long long result = 0;
        if (__builtin_mul_overflow(blocks, size, &result) || result > (unsigned long long)INT64_MAX)
            return INT64_MAX;
        return std::int64_t(result);
    };
    FileSystemAttributes attributes;
    attributes.size = product(info.f_blocks, info.f_frsize);
    attributes.freeSize = product(info.f_bavail, info.f_frsize);
    return attributes;
}

std::optional<Date> FileManager::modificationDate(const std::string& path)
{
    struct stat info { };
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return Date::fromUnix(double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9);
}

Result<void> FileManager::setModificationDate(const std::string& path, Date date)
{
    if (!isRepresentable(date))
        return Error { "cannot set the modification date of " + path + ": date out of range" };
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = timespecFor(date);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return errnoError("cannot set the modification date of", path, errno);
    return {};
}

Result<void> FileManager::writeFileAtomically(const std::string& path, std::string_view bytes,
    std::optional<Date> modificationDate)
{
    return writeFileAtomically(path,
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), modificationDate);
}

Result<void> FileManager::writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
    std::optional<Date> modificationDate)
{
    if (path.empty() || path.back() == '/')
        return Error { "cannot write \"" + path + "\": not a file path" };
    if (modificationDate && !isRepresentable(*modificationDate))
        return Error { "cannot write " + path + ": modification date out of range" };
    std::string folder = parentOf(path);
    std::string pattern = folder + "/." + baseName(path) + kTemporaryMarker + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errnoError("cannot create a temporary file for", path, errno);
    std::string temporary(name.data());
    // Held until the rename: a temporary file nobody holds locked was left by a writer that died,
    // which removeStaleTemporaryFiles may take away at once.
    ::flock(fd, LOCK_EX);

    auto fail = [&](Error error) -> Result<void> {
        ::close(fd);
        ::unlink(temporary.c_str());
        return error;
    };

    // A replaced file keeps its permissions; a new one gets the usual 0666 less the umask.
    struct stat existing { };
    mode_t mode;
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errnoError("cannot set the permissions of", temporary, errno));
    if (auto written = writeAll(fd, bytes.data(), bytes.size(), temporary); !written)
        return fail(Error { written.error() });
    if (::fsync(fd) != 0)
        return fail(errnoError("cannot flush", temporary, errno));
    if (modificationDate) {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = timespecFor(*modificationDate);
        if (::futimens(fd, times) != 0)
            return fail(errnoError("cannot set the modification date of", temporary, errno));
    }
    // Renamed while still open and locked (the bytes are already flushed), so no cleaner can
    // mistake it for an orphan in between.
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail(errnoError("cannot replace", path, errno));
    if (::close(fd) != 0)
        return errnoError("cannot close", path, errno);
    // The rename itself is durable only once the folder is flushed.
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return {};
}

Result<Data> FileManager::readFile(const std::string& path)
{
    // Never blocks: a FIFO put where a file was expected reads as empty instead of hanging.
    int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errnoError("cannot open", path, path.empty() ? ENOENT : errno);
    struct stat info { };
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return errnoError("cannot read", path, EISDIR);
    }
    Data data;
    if (info.st_size > 0)
        data.reserve(std::size_t(info.st_size));
    std::uint8_t buffer[65536];
    while (true) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            return errnoError("cannot read", path, error);
        }
        if (count == 0)
            break;
        data.insert(data.end(), buffer, buffer + count);
    }
    ::close(fd);
    return data;
}

Result<void> FileManager::copyItem(const std::string& from, const std::string& to)
{
    struct stat info { };
    if (from.empty() || ::stat(from.c_str(), &info) != 0)
        return errnoError("cannot copy", from, from.empty() ? ENOENT : errno);
    if (!S_ISREG(info.st_mode))
        return Error { "cannot copy " + from + ": not a regular file" };
    auto bytes = readFile(from);
    if (!bytes)
        return Error { bytes.error() };
    return writeFileAtomically(to, std::span<const std::uint8_t>(*bytes), modificationDate(from));
}

Result<void> FileManager::removeItem(const std::string& path)
{
    if (path.empty())
        return Error { "cannot remove an empty path" };
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0)
        return errnoError("cannot remove", path, errno);
    int result = S_ISDIR(info.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
    if (result != 0)
        return errnoError("cannot remove", path, errno);
    return {};
}

void FileManager::removeStaleTemporaryFiles(const std::string& path, double maxAgeSeconds)
{
    std::string folder = parentOf(path);
    std::string prefix = "." + baseName(path) + kTemporaryMarker;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return;
    timespec clock {};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    double now = double(clock.tv_sec) + double(clock.tv_nsec) / 1e9;
    std::vector<std::string> stale;
    while (dirent* item = ::readdir(directory)) {
        std::string name = item->d_name;
        // The marker plus mkostemp's six characters, nothing else.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string full = folder + "/" + name;
        struct stat info { };
        if (::lstat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        // Judged by the change time: a temporary file may already carry the (old) modification
        // date that its final file is meant to have.
        double age = now - (double(info.st_ctim.tv_sec) + double(info.st_ctim.tv_nsec) / 1e9);
        if (age >= maxAgeSeconds)
            stale.push_back(full);
    }
    ::closedir(directory);
    for (auto& file : stale) {
        // A writer that is alive holds its temporary file locked until the rename.
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(file.c_str());
        ::close(fd);
    }
}

} // namespace kit

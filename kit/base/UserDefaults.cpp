// SPDX-License-Identifier: MIT
#include "kit/base/UserDefaults.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"
#include "kit/base/Strings.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

std::unique_ptr<UserDefaults>& standardSlot()
{
    static std::unique_ptr<UserDefaults>* slot = new std::unique_ptr<UserDefaults>;
    return *slot;
}

std::string programName()
{
    char buffer[4096];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return "quarrin";
    std::string path(buffer, std::size_t(length));
    auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? "quarrin" : name;
}

void synchronizeAtExit()
{
    if (auto& defaults = standardSlot())
        defaults->synchronize();
}

// Why the file format cannot hold this key and value, or nothing when it can. Checked as the
// entry of the root dictionary it will be, so the nesting limit counts the same way.
std::optional<std::string> unstorable(std::string_view key, const Value& value)
{
    auto checked = PropertyList::canWrite(Value(Dict { { std::string(key), value } }));
    if (checked)
        return std::nullopt;
    return checked.error();
}

// A key for a log line: quoted, and readable even when it is not UTF-8.
std::string quotedKey(std::string_view key) { return "\"" + validUTF8(key) + "\""; }

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Renames path to "<path>.corrupt", or the first of "<path>.corrupt.2", ".3", ... that does not
// exist yet; an earlier set-aside copy is never replaced.
Result<std::string> moveAside(const std::string& path)
{
    for (int number = 1; number <= 1000; ++number) {
        std::string aside = path + ".corrupt" + (number == 1 ? std::string() : "." + std::to_string(number));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without no-replace renames: look first, then rename.
            struct stat info { };
            if (::lstat(aside.c_str(), &info) == 0)
                continue;
            if (std::rename(path.c_str(), aside.c_str()) == 0)
                return aside;
        }
        return Error { std::strerror(errno) };
    }
    return Error { "too many set-aside copies" };
}

} // namespace

UserDefaults::UserDefaults(std::string filePath)
    : m_filePath(std::move(filePath))
{
    load();
}

UserDefaults::~UserDefaults()
{
    if (m_dirty)
        synchronize();
}

std::string UserDefaults::standardFilePath()
{
    std::string identifier = Bundle::mainBundle().bundleIdentifier();
    // An identifier that could leave the configuration folder is not used as a folder name.
    if (identifier.empty() || identifier == "." || identifier == ".." || identifier.find('/') != std::string::npos)
        identifier = programName();
    return FileManager::configHomeDirectory() + "/" + identifier + "/preferences.plist";
}

UserDefaults& UserDefaults::standardUserDefaults()
{
    auto& slot = standardSlot();
    if (!slot) {
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::atexit(&synchronizeAtExit);
        }
        slot = std::make_unique<UserDefaults>(standardFilePath());
    }
    return *slot;
}

void UserDefaults::resetStandardUserDefaults() { standardSlot().reset(); }

std::string UserDefaults::resolvedFilePath() const
{
    // Dotfile managers link the file into place; replacing the link with a plain file would
    // silently cut it off from their copy. A dangling link resolves to where its target would
    // be, so the first save creates it there.
    std::string path = m_filePath;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info { };
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        char target[PATH_MAX];
        ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0)
            return path;
        std::string next(target, std::size_t(length));
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    return m_filePath; // a loop of links: replace the link itself
}

namespace {
bool gReadOnly = false;
} // namespace

void UserDefaults::setReadOnly(bool readOnly) { gReadOnly = readOnly; }
bool UserDefaults::isReadOnly() { return gReadOnly; }

void UserDefaults::load()
{
    m_values.clear();
    m_dirty = false;
    std::string target = resolvedFilePath();
    // Whatever an interrupted store left is gone at the next start; a live writer's file is kept.
    if (!gReadOnly) {
        FileManager::removeStaleTemporaryFiles(m_filePath, 0);
        if (target != m_filePath)
            FileManager::removeStaleTemporaryFiles(target, 0);
    }
    struct stat info { };
    if (::lstat(m_filePath.c_str(), &info) != 0 || (target != m_filePath && ::lstat(target.c_str(), &info) != 0))
        return; // nothing stored yet
    auto parsed = PropertyList::readFile(target);
    if (!parsed) {
        setAside(parsed.error());
        return;
    }
    if (!parsed->isDict()) {
        setAside("the root is not a dictionary");
        return;
    }
    m_values = std::move(*parsed->asDict());
    // One value the file format cannot hold again must not keep the rest from being saved.
    for (auto it = m_values.begin(); it != m_values.end();) {
        if (auto why = unstorable(it->first, it->second)) {
            Log::write("Preferences " + target + ": dropped " + quotedKey(it->first) + " (" + *why + ")");
            it = m_values.erase(it);
            m_dirty = true;
        } else {
            ++it;
        }
    }
}

void UserDefaults::setAside(const std::string& problem)
{
    if (gReadOnly) {
        Log::write("Preferences " + resolvedFilePath() + " unreadable (" + problem + "); read as empty and left as it is");
        return;
    }
    // Set the unreadable file aside rather than overwrite it at the next synchronize(). Behind a
    // link a regular target is moved (the link then leads to the next save); anything else,
    // such as a FIFO or a device, is never touched itself: the link goes instead.
    std::string target = resolvedFilePath();
    struct stat info { };
    std::string moved
        = target != m_filePath && ::lstat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? target : m_filePath;
    auto aside = moveAside(moved);
    if (aside)
        Log::write("Preferences " + target + " unreadable (" + problem + "); moved to " + *aside + ", starting empty");
    else
        Log::write("Preferences " + target + " unreadable (" + problem + ") and cannot be moved aside (" + aside.error()
            + "); starting empty");
}

bool UserDefaults::synchronize()
{
    if (!m_dirty || gReadOnly)
        return true;
    std::string target = resolvedFilePath();
    auto failed = [&](const std::string& line) {
        // Said once: the application saves on every change of state, and the same failure at
        // each save tells nothing new.
        if (line != m_lastSaveError)
            Log::write(line);
        m_lastSaveError = line;
        return false;
    };
    auto bytes = PropertyList::write(Value(m_values), PropertyList::Format::XML);
    if (!bytes) {
        // Values are checked on the way in, so this is not expected; should one slip through,
        // it is named and dropped and the rest is saved.
        for (auto it = m_values.begin(); it != m_values.end();) {
            if (auto why = unstorable(it->first, it->second)) {
                Log::write("Preferences " + target + ": dropped " + quotedKey(it->first) + " (" + *why + ")");
                it = m_values.erase(it);
            } else {
                ++it;
            }
        }
        bytes = PropertyList::write(Value(m_values), PropertyList::Format::XML);
        if (!bytes)
            return failed("Cannot save preferences to " + target + ": " + bytes.error());
    }
    if (auto created = FileManager::createDirectory(folderOf(target)); !created)
        return failed("Cannot save preferences: " + created.error());
    auto written = FileManager::writeFileAtomically(target, std::span<const std::uint8_t>(*bytes));
    if (!written)
        return failed("Cannot save preferences: " + written.error());
    m_dirty = false;
    m_lastSaveError.clear();
    return true;
}

const Value& UserDefaults::objectForKey(std::string_view key) const
{
    auto it = m_values.find(key);
    return it == m_values.end() ? Value::null() : it->second;
}

bool UserDefaults::hasKey(std::string_view key) const { return m_values.find(key) != m_values.end(); }

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const
{
    const Value& value = objectForKey(key);
    if (value.isString())
        return value.string();
    if (value.isInteger() || value.isReal())
        return value.stringValue();
    return std::nullopt;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const
{
    const Value& value = objectForKey(key);
    if (value.isNumber() || value.isString())
        return value.longLongValue();
    return 0;
}

double UserDefaults::doubleForKey(std::string_view key) const
{
    const Value& value = objectForKey(key);
    if (value.isNumber() || value.isString())
        return value.doubleValue();
    return 0;
}

bool UserDefaults::boolForKey(std::string_view key) const
{
    const Value& value = objectForKey(key);
    if (value.isNumber() || value.isString())
        return value.boolValue();
    return false;
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const
{
    if (const Date* date = objectForKey(key).asDate())
        return *date;
    return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const
{
    if (const Array* array = objectForKey(key).asArray())
        return *array;
    return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(std::string_view key) const
{
    const Array* array = objectForKey(key).asArray();
    if (!array)
        return std::nullopt;
    std::vector<std::string> strings;
    strings.reserve(array->size());
    for (const auto& element : *array) {
        if (!element.isString())
            return std::nullopt;
        strings.push_back(element.string());
    }
    return strings;
}

std::optional<Dict> UserDefaults::dictionaryForKey(std::string_view key) const
{
    if (const Dict* dict = objectForKey(key).asDict())
        return *dict;
    return std::nullopt;
}

void UserDefaults::setObject(Value value, std::string_view key)
{
    if (value.isNull()) {
        removeObjectForKey(key);
        return;
    }
    if (auto why = unstorable(key, value)) {
        Log::write("Preferences: not storing " + quotedKey(key) + " (" + *why + ")");
        return;
    }
    auto it = m_values.find(key);
    if (it != m_values.end()) {
        // Equal values of another type (1 and 1.0, true and 1) still get rewritten.
        if (it->second.type() == value.type() && it->second == value)
            return;
        it->second = std::move(value);
    } else {
        m_values.emplace(std::string(key), std::move(value));
    }
    m_dirty = true;
}

void UserDefaults::setString(std::string_view value, std::string_view key) { setObject(Value(value), key); }
void UserDefaults::setInteger(std::int64_t value, std::string_view key) { setObject(Value(static_cast<long long>(value)), key); }
void UserDefaults::setBool(bool value, std::string_view key) { setObject(Value(value), key); }
void UserDefaults::setDouble(double value, std::string_view key) { setObject(Value(value), key); }
void UserDefaults::setDate(Date value, std::string_view key) { setObject(Value(value), key); }

void UserDefaults::setStringArray(const std::vector<std::string>& value, std::string_view key)
{
    Array array;
    array.reserve(value.size());
    for (const auto& string : value)
        array.emplace_back(string);
    setObject(Value(std::move(array)), key);
}

std::int64_t UserDefaults::incrementIntegerForKey(std::string_view key)
{
    std::int64_t count = integerForKey(key);
    if (count < std::numeric_limits<std::int64_t>::max())
        ++count;
    setInteger(count, key);
    return count;
}

void UserDefaults::removeObjectForKey(std::string_view key)
{
    auto it = m_values.find(key);
    if (it == m_values.end())
        return;
    m_values.erase(it);
    m_dirty = true;
}

} // namespace kit

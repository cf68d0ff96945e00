#include "kit/base/UserDefaults.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

void UserDefaults::load()
{
    m_values.clear();
    m_dirty = false;
    // Whatever an interrupted store left is gone at the next start; a live writer's file is kept.
    FileManager::removeStaleTemporaryFiles(m_filePath, 0);
    auto bytes = FileManager::readFile(m_filePath);
    if (!bytes && !FileManager::fileExists(m_filePath))
        return; // nothing stored yet
    std::string problem;
    if (!bytes) {
        problem = bytes.error();
    } else {
        auto parsed = PropertyList::read(std::span<const std::uint8_t>(*bytes));
        if (!parsed)
            problem = parsed.error();
        else if (!parsed->isDict())
            problem = "the root is not a dictionary";
        else {
            m_values = std::move(*parsed->asDict());
            return;
        }
    }
    // Set the unreadable file aside rather than overwrite it at the next synchronize().
    std::string aside = m_filePath + ".corrupt";
    if (std::rename(m_filePath.c_str(), aside.c_str()) == 0)
        Log::write("Preferences " + m_filePath + " unreadable (" + problem + "); moved to " + aside + ", starting empty");
    else
        Log::write("Preferences " + m_filePath + " unreadable (" + problem + ") and cannot be moved aside; starting empty");
}

bool UserDefaults::synchronize()
{
    if (!m_dirty)
        return true;
    auto bytes = PropertyList::write(Value(m_values), PropertyList::Format::XML);
    if (!bytes) {
        Log::write("Cannot encode preferences: " + bytes.error());
        return false;
    }
    auto slash = m_filePath.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : m_filePath.substr(0, slash);
    if (!folder.empty()) {
        if (auto created = FileManager::createDirectory(folder); !created) {
            Log::write("Cannot save preferences: " + created.error());
            return false;
        }
    }
    auto written = FileManager::writeFileAtomically(m_filePath, std::span<const std::uint8_t>(*bytes));
    if (!written) {
        Log::write("Cannot save preferences: " + written.error());
        return false;
    }
    m_dirty = false;
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

void UserDefaults::removeObjectForKey(std::string_view key)
{
    auto it = m_values.find(key);
    if (it == m_values.end())
        return;
    m_values.erase(it);
    m_dirty = true;
}

} // namespace kit

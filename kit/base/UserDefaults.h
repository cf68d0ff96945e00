#pragma once

#include "kit/base/Date.h"
#include "kit/base/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The preferences store: a dictionary kept in memory and persisted as an XML property list.
// Reads of missing keys give 0, false or nothing. synchronize() writes the file atomically, so
// a crash leaves either the old or the new file, never a half-written one. A file that cannot
// be read as a property list with a dictionary root is renamed to "<file>.corrupt", one line is
// logged, and the store starts empty.
class UserDefaults {
public:
    // A store on an explicit file (tests, tools).
    explicit UserDefaults(std::string filePath);
    // Writes pending changes.
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The store at $XDG_CONFIG_HOME/<main bundle identifier>/preferences.plist; its pending
    // changes are also written at normal exit.
    static UserDefaults& standardUserDefaults();
    static std::string standardFilePath();
    // Drops the standard store after writing it; the next standardUserDefaults() loads afresh
    // (tests that change HOME or XDG_CONFIG_HOME).
    static void resetStandardUserDefaults();

    const std::string& filePath() const { return m_filePath; }

    // Null when missing.
    const Value& objectForKey(std::string_view key) const;
    // Strings as they are, numbers as text; nothing for other types or missing keys.
    std::optional<std::string> stringForKey(std::string_view key) const;
    // Numbers and numeric strings; 0 otherwise.
    std::int64_t integerForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // Numbers: non-zero; strings: "YES", "true", non-zero digit...; false otherwise.
    bool boolForKey(std::string_view key) const;
    std::optional<Date> dateForKey(std::string_view key) const;
    std::optional<Array> arrayForKey(std::string_view key) const;
    // Nothing unless the value is an array whose every element is a string.
    std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key) const;
    std::optional<Dict> dictionaryForKey(std::string_view key) const;
    bool hasKey(std::string_view key) const;

    // Setting null removes the key.
    void setObject(Value value, std::string_view key);
    void setString(std::string_view value, std::string_view key);
    void setInteger(std::int64_t value, std::string_view key);
    void setBool(bool value, std::string_view key);
    void setDouble(double value, std::string_view key);
    void setDate(Date value, std::string_view key);
    void setStringArray(const std::vector<std::string>& value, std::string_view key);
    void removeObjectForKey(std::string_view key);

    const Dict& dictionaryRepresentation() const { return m_values; }

    // Writes the store when it has unsaved changes; tells whether the file is now current.
    bool synchronize();
    bool hasUnsavedChanges() const { return m_dirty; }

private:
    void load();

    std::string m_filePath;
    Dict m_values;
    bool m_dirty = false;
};

} // namespace kit

// SPDX-License-Identifier: MIT
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
// a crash leaves either the old or the new file, never a half-written one.
//
// Nothing stored can keep the store from being saved: a value the file format cannot hold (a
// date outside 1932-2069, text that is not UTF-8) is refused when it is set, and dropped with
// one log line naming its key when a file holding it is read. A file that cannot be read as a
// property list with a dictionary root (also one larger than the property-list limit, or
// something other than a regular file) is set aside as "<file>.corrupt" (then ".corrupt.2",
// ".corrupt.3", ... so no earlier copy is overwritten), one line is logged, and the store starts
// empty. When the file is a symbolic link, the link stays and its target is read and replaced.
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
    // A read-only process (a program asked only to look: a snapshot, a print-out) reads the
    // stores as they are and never writes, moves or cleans up a file: changes stay in memory and
    // synchronize() writes nothing. Set before the first store is used.
    static void setReadOnly(bool readOnly);
    static bool isReadOnly();

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
    // Adds one to an integer preference and returns the new count; at the largest integer the
    // count stays there rather than wrap.
    std::int64_t incrementIntegerForKey(std::string_view key);

    const Dict& dictionaryRepresentation() const { return m_values; }

    // Writes the store when it has unsaved changes; tells whether the file is now current. A
    // failure is logged once (the file and the reason) until a save succeeds or fails for
    // another reason; the changes stay pending for the next call.
    bool synchronize();
    bool hasUnsavedChanges() const { return m_dirty; }

private:
    void load();
    void setAside(const std::string& problem);
    // The file that is read and replaced: the final target when m_filePath is a symbolic link.
    std::string resolvedFilePath() const;

    std::string m_filePath;
    Dict m_values;
    bool m_dirty = false;
    std::string m_lastSaveError;
};

} // namespace kit

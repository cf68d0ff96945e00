// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/StringsTable.h"
#include "kit/base/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// A folder of resources: Info.plist, <lang>.lproj/<table>.strings, images and data files.
//
// The main bundle's folder is found, in this order:
//  1. the folder given to setMainBundlePath() (tests, or a host that knows better);
//  2. walking up from the executable's folder (/proc/self/exe): the first folder D where
//     D/resources/Info.plist exists (the build tree, whose build folders sit inside the source
//     tree or carry a copy of resources/) or D/share/quarrin/Info.plist exists (installed under
//     <prefix>/bin, so D is <prefix>);
//  3. the source tree's resources/ folder this library was compiled from, when it exists;
//  4. otherwise <executable folder>/resources, which then simply has no resources.
class Bundle {
public:
    explicit Bundle(std::string resourcePath);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    static Bundle& mainBundle();
    // Replaces the main bundle (its caches go with it). An empty path restores the search above.
    static void setMainBundlePath(std::string path);
    // The folder that the search above picks, without creating the main bundle.
    static std::string findMainResourcePath();
    // Step 2 of the search, starting at folder instead of the executable's folder.
    static std::optional<std::string> searchResourcesUpwardFrom(std::string folder);

    const std::string& resourcePath() const { return m_resourcePath; }

    // Info.plist's root dictionary; an empty dictionary when it is missing or unreadable.
    const Value& infoDictionary() const;
    // Null when the key is missing.
    const Value& objectForInfoDictionaryKey(std::string_view key) const;
    // "CFBundleIdentifier", or an empty string.
    std::string bundleIdentifier() const;

    // "<resources>/<directory>/<name>.<type>" when it exists (type may be empty, with or without
    // its leading dot), else the same inside "<lang>.lproj" for each preferred language.
    // Names that would leave the bundle ("..", absolute paths) are never found.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type,
        std::string_view directory = {}) const;

    // The text for key in table ("Localizable"): the first preferred language that has the key,
    // then "en", then the key itself. A table's parse errors are logged once, when it is loaded.
    std::string localizedString(std::string_view key, std::string_view table = "Localizable") const;

    // Language folders to try, best first: LANGUAGE (a colon-separated list), then the first set
    // of LC_ALL, LC_MESSAGES, LANG; codesets (".UTF-8") and modifiers ("@euro") are dropped,
    // "de_DE" is followed by "de", "C" and "POSIX" are skipped, and "en" always comes last.
    static std::vector<std::string> preferredLanguages();
    // Tests read the language list again after changing the environment.
    void reloadLocalizations();

private:
    const StringsTable* tableFor(const std::string& language, std::string_view table) const;

    std::string m_resourcePath;
    mutable std::optional<Value> m_infoDictionary;
    mutable std::optional<std::vector<std::string>> m_languages;
    mutable std::map<std::string, std::unique_ptr<StringsTable>, std::less<>> m_tables;
};

} // namespace kit

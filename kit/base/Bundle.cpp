// SPDX-License-Identifier: MIT
#include "kit/base/Bundle.h"

#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace kit {

namespace {

std::unique_ptr<Bundle>& mainBundleSlot()
{
    static std::unique_ptr<Bundle>* slot = new std::unique_ptr<Bundle>;
    return *slot;
}

std::string& mainBundleOverride()
{
    static std::string* path = new std::string;
    return *path;
}

std::string executableFolder()
{
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return ".";
    std::string path(buffer, std::size_t(length));
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The resources folder of the source tree this file was compiled in: kit/base/ -> ../../resources.
std::string sourceTreeResources()
{
    std::string file = __FILE__;
    if (file.empty() || file[0] != '/')
        return {};
    for (int i = 0; i < 3; ++i) {
        auto slash = file.find_last_of('/');
        if (slash == std::string::npos || slash == 0)
            return {};
        file.resize(slash);
    }
    return file + "/resources";
}

// A name inside the bundle: relative, without "..", NUL or empty components.
bool isSafeRelativePath(std::string_view path)
{
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view component = path.substr(start, end - start);
        if (component == "..")
            return false;
        start = end + 1;
    }
    return true;
}

bool isRegularFile(const std::string& path) { return FileManager::fileExists(path) && !FileManager::isDirectory(path); }

// "de_DE.UTF-8@euro" -> "de_DE"; "C", "POSIX" and empty give nothing.
std::string languageOfLocale(std::string_view locale)
{
    std::string value(locale);
    if (auto at = value.find('@'); at != std::string::npos)
        value.resize(at);
    if (auto dot = value.find('.'); dot != std::string::npos)
        value.resize(dot);
    if (value.empty() || value == "C" || value == "POSIX")
        return {};
    return value;
}

void appendLanguage(std::vector<std::string>& languages, const std::string& language)
{
    auto add = [&](const std::string& value) {
        if (!value.empty() && std::find(languages.begin(), languages.end(), value) == languages.end())
            languages.push_back(value);
    };
    add(language);
    auto separator = language.find_first_of("_-");
    if (separator != std::string::npos)
        add(language.substr(0, separator));
}

} // namespace

Bundle::Bundle(std::string resourcePath)
    : m_resourcePath(std::move(resourcePath))
{
    while (m_resourcePath.size() > 1 && m_resourcePath.back() == '/')
        m_resourcePath.pop_back();
}

Bundle::~Bundle() = default;

std::string Bundle::findMainResourcePath()
{
    if (!mainBundleOverride().empty())
        return mainBundleOverride();
    std::string executable = executableFolder();
    if (auto found = searchResourcesUpwardFrom(executable))
        return *found;
    std::string source = sourceTreeResources();
    if (!source.empty() && isRegularFile(source + "/Info.plist"))
        return source;
    return executable + "/resources";
}

std::optional<std::string> Bundle::searchResourcesUpwardFrom(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty() || folder[0] != '/')
        return std::nullopt;
    while (true) {
        std::string prefix = folder == "/" ? "" : folder;
        if (isRegularFile(prefix + "/resources/Info.plist"))
            return prefix + "/resources";
        if (isRegularFile(prefix + "/share/quarrin/Info.plist"))
            return prefix + "/share/quarrin";
        if (folder == "/")
            return std::nullopt;
        auto slash = folder.find_last_of('/');
        folder = slash == 0 ? "/" : folder.substr(0, slash);
    }
}

Bundle& Bundle::mainBundle()
{
    auto& slot = mainBundleSlot();
    if (!slot)
        slot = std::make_unique<Bundle>(findMainResourcePath());
    return *slot;
}

void Bundle::setMainBundlePath(std::string path)
{
    mainBundleOverride() = std::move(path);
    mainBundleSlot().reset();
}

const Value& Bundle::infoDictionary() const
{
    if (!m_infoDictionary) {
        std::string path = m_resourcePath + "/Info.plist";
        m_infoDictionary = Value(Dict {});
        if (FileManager::fileExists(path)) {
            auto read = PropertyList::readFile(path);
            if (read.ok() && read->isDict())
                m_infoDictionary = std::move(*read);
            else
                Log::write("Cannot read " + path + ": " + (read.ok() ? std::string("root is not a dictionary") : read.error()));
        }
    }
    return *m_infoDictionary;
}

const Value& Bundle::objectForInfoDictionaryKey(std::string_view key) const { return infoDictionary()[key]; }

std::string Bundle::bundleIdentifier() const
{
    const Value& identifier = objectForInfoDictionaryKey("CFBundleIdentifier");
    return identifier.isString() ? identifier.string() : std::string();
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view type, std::string_view directory) const
{
    if (!type.empty() && type.front() == '.')
        type.remove_prefix(1);
    std::string file(name);
    if (!type.empty())
        file += "." + std::string(type);
    std::string relative = directory.empty() ? file : std::string(directory) + "/" + file;
    if (name.empty() || !isSafeRelativePath(relative))
        return std::nullopt;
    std::string direct = m_resourcePath + "/" + relative;
    if (isRegularFile(direct))
        return direct;
    if (!m_languages)
        m_languages = preferredLanguages();
    for (const auto& language : *m_languages) {
        std::string localized = m_resourcePath + "/" + language + ".lproj/" + relative;
        if (isRegularFile(localized))
            return localized;
    }
    return std::nullopt;
}

std::vector<std::string> Bundle::preferredLanguages()
{
    std::vector<std::string> languages;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            auto colon = rest.find(':');
            appendLanguage(languages, languageOfLocale(rest.substr(0, colon)));
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    // Only the first of these that is set counts, as for the C library's LC_MESSAGES.
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            appendLanguage(languages, languageOfLocale(value));
            break;
        }
    }
    appendLanguage(languages, "en");
    return languages;
}

void Bundle::reloadLocalizations()
{
    m_languages.reset();
    m_tables.clear();
}

const StringsTable* Bundle::tableFor(const std::string& language, std::string_view table) const
{
    std::string cacheKey = language + "/" + std::string(table);
    auto cached = m_tables.find(cacheKey);
    if (cached != m_tables.end())
        return cached->second.get();
    std::unique_ptr<StringsTable> loaded;
    // Both spellings of a region occur in folder names: "pt_BR.lproj" and "pt-BR.lproj".
    std::vector<std::string> folders { language };
    if (auto underscore = language.find('_'); underscore != std::string::npos) {
        std::string dashed = language;
        dashed[underscore] = '-';
        folders.push_back(dashed);
    }
    for (const auto& folder : folders) {
        std::string path = m_resourcePath + "/" + folder + ".lproj/" + std::string(table) + ".strings";
        if (!isRegularFile(path))
            continue;
        auto bytes = FileManager::readFile(path);
        if (!bytes) {
            Log::write("Cannot read string table " + path + ": " + bytes.error());
            break;
        }
        loaded = std::make_unique<StringsTable>(
            StringsTable::parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())));
        if (!loaded->errors().empty()) {
            const auto& first = loaded->errors().front();
            Log::write("String table " + path + ": " + std::to_string(loaded->errors().size())
                + " broken entries skipped, the first at line " + std::to_string(first.line) + " (" + first.message + ")");
        }
        break;
    }
    const StringsTable* result = loaded.get();
    m_tables.emplace(std::move(cacheKey), std::move(loaded));
    return result;
}

std::string Bundle::localizedString(std::string_view key, std::string_view table) const
{
    if (table.empty() || !isSafeRelativePath(table))
        return std::string(key);
    if (!m_languages)
        m_languages = preferredLanguages();
    for (const auto& language : *m_languages) {
        if (!isSafeRelativePath(language))
            continue;
        if (const StringsTable* strings = tableFor(language, table))
            if (auto text = strings->lookup(key))
                return std::string(*text);
    }
    return std::string(key);
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Date.h"
#include "kit/base/Result.h"
#include "kit/base/Value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kit {

// Files and the user's standard folders. Folder lookups read $HOME and the XDG variables each
// time, so tests can point them at a temporary folder.
class FileManager {
public:
    struct FileSystemAttributes {
        std::int64_t size = 0; // bytes of the file system
        std::int64_t freeSize = 0; // bytes an unprivileged user may still use
    };

    // XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (with $HOME expanded), else
    // ~/Documents when it exists, else $HOME.
    static std::string documentsDirectory();
    // $XDG_DATA_HOME (else ~/.local/share) + "/" + bundleId, created when missing.
    static Result<std::string> applicationSupportDirectory(std::string_view bundleId);
    // $XDG_CONFIG_HOME, else ~/.config. Relative XDG values are ignored, as the XDG rules say.
    static std::string configHomeDirectory();
    // $XDG_CACHE_HOME, else ~/.cache; relative values are ignored the same way.
    static std::string cacheHomeDirectory();
    static std::string homeDirectory();

    static bool fileExists(const std::string& path);
    static bool isDirectory(const std::string& path);
    // Creates the folder and its missing parents (mode 0700 for new ones).
    static Result<void> createDirectory(const std::string& path);

    static Result<FileSystemAttributes> attributesOfFileSystemForPath(const std::string& path);
    // Nanosecond precision where the file system keeps it.
    static std::optional<Date> modificationDate(const std::string& path);
    static Result<void> setModificationDate(const std::string& path, Date date);

    // Replaces path as a whole or not at all: the bytes go to a temporary file in the same
    // folder, which is flushed to disk, given the modification date (when one is given) and then
    // renamed over path; the folder is flushed last. On failure path is left as it was.
    static Result<void> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
        std::optional<Date> modificationDate = {});
    static Result<void> writeFileAtomically(const std::string& path, std::string_view bytes,
        std::optional<Date> modificationDate = {});
    static Result<Data> readFile(const std::string& path);
    // Copies a regular file, replacing the destination atomically and keeping the source's
    // modification date.
    static Result<void> copyItem(const std::string& from, const std::string& to);
    // Removes a file or an empty folder; a path that does not exist is an error.
    static Result<void> removeItem(const std::string& path);
    // Removes temporary files that writeFileAtomically(path, ...) left behind when its process
    // died mid-write, if they are older than maxAgeSeconds. A writer holds its temporary file
    // locked until the rename, so one that is still being written is never taken, whatever its age.
    static void removeStaleTemporaryFiles(const std::string& path, double maxAgeSeconds = 600);
};

} // namespace kit

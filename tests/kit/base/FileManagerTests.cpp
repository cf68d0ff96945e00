// SPDX-License-Identifier: MIT
#include "kit/base/FileManager.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using kit::Date;
using kit::FileManager;
using kit::testing::ScopedEnvironment;
using kit::testing::TempFolder;

namespace {

std::string text(const kit::Result<kit::Data>& data)
{
    return data.ok() ? std::string(data->begin(), data->end()) : std::string("<error: " + data.error() + ">");
}

std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* directory = opendir(folder.c_str())) {
        while (dirent* entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", std::nullopt);
        env.set("XDG_DATA_HOME", std::nullopt);
    }
    TempFolder home;
    TempFolder folder;
    ScopedEnvironment env;
};

} // namespace

TEST_F(FileManagerTest, DocumentsDirectoryPrefersUserDirsThenDocumentsThenHome)
{
    EXPECT_EQ(FileManager::documentsDirectory(), home.path());
    mkdir((home / "Documents").c_str(), 0700);
    EXPECT_EQ(FileManager::documentsDirectory(), home / "Documents");

    home.write(".config/user-dirs.dirs",
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
        "XDG_DOCUMENTS_DIRX=\"$HOME/wrong\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), home / "Dokumente");

    // An absolute entry, and XDG_CONFIG_HOME moving the file.
    folder.write("cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n");
    env.set("XDG_CONFIG_HOME", folder / "cfg");
    EXPECT_EQ(FileManager::documentsDirectory(), "/srv/papers");

    // Relative entries and relative XDG_CONFIG_HOME values are not usable.
    folder.write("cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"papers\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), home / "Documents");
    env.set("XDG_CONFIG_HOME", "cfg");
    EXPECT_EQ(FileManager::configHomeDirectory(), home / ".config");
    EXPECT_EQ(FileManager::documentsDirectory(), home / "Dokumente");
}

TEST_F(FileManagerTest, DocumentsDirectoryFollowsAnEditThatKeepsSizeAndModificationTime)
{
    // As a copy that keeps the original's time would leave it.
    auto writeDated = [&](const char* contents) {
        std::string path = home.write(".config/user-dirs.dirs", contents);
        timespec times[2] = { { 1700000000, 0 }, { 1700000000, 0 } };
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    writeDated("XDG_DOCUMENTS_DIR=\"/srv/aaaa\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), "/srv/aaaa");
    EXPECT_EQ(FileManager::documentsDirectory(), "/srv/aaaa");
    writeDated("XDG_DOCUMENTS_DIR=\"/srv/bbbb\"\n");
    EXPECT_EQ(FileManager::documentsDirectory(), "/srv/bbbb");

    // Gone, then another HOME: each answer is the new one.
    ASSERT_EQ(unlink((home / ".config/user-dirs.dirs").c_str()), 0);
    EXPECT_EQ(FileManager::documentsDirectory(), home.path());
    folder.write(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
    env.set("HOME", folder.path());
    EXPECT_EQ(FileManager::documentsDirectory(), folder / "Papiere");
}

TEST_F(FileManagerTest, ApplicationSupportDirectoryIsCreatedOrExplainsWhyNot)
{
    auto made = FileManager::applicationSupportDirectory("com.example.quarrin");
    ASSERT_TRUE(made.ok()) << made.error();
    EXPECT_EQ(*made, home / ".local/share/com.example.quarrin");
    EXPECT_TRUE(FileManager::isDirectory(*made));
    // A second call finds it.
    EXPECT_EQ(FileManager::applicationSupportDirectory("com.example.quarrin").valueOr(""), *made);

    env.set("XDG_DATA_HOME", folder / "data");
    EXPECT_EQ(FileManager::applicationSupportDirectory("id").valueOr(""), folder / "data/id");

    folder.write("blocker", "a file where a folder should be");
    env.set("XDG_DATA_HOME", folder / "blocker/data");
    auto blocked = FileManager::applicationSupportDirectory("id");
    EXPECT_FALSE(blocked.ok());
    EXPECT_FALSE(blocked.error().empty());

    for (const char* bad : { "", ".", "..", "../escape", "a/b" })
        EXPECT_FALSE(FileManager::applicationSupportDirectory(bad).ok()) << bad;
}

TEST_F(FileManagerTest, FileSystemAttributesAreConsistent)
{
    auto attributes = FileManager::attributesOfFileSystemForPath(folder.path());
    ASSERT_TRUE(attributes.ok()) << attributes.error();
    EXPECT_GT(attributes->size, 0);
    EXPECT_GE(attributes->freeSize, 0);
    EXPECT_LE(attributes->freeSize, attributes->size);
    EXPECT_FALSE(FileManager::attributesOfFileSystemForPath(folder / "missing").ok());
    EXPECT_FALSE(FileManager::attributesOfFileSystemForPath("").ok());
}

TEST_F(FileManagerTest, AtomicWriteSetsTheModificationDateToTheNanosecond)
{
    std::string path = folder / "specs.plist";
    Date lastModified = Date::fromUnix(1765000000.25);
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("new data"), lastModified).ok());
    EXPECT_EQ(text(FileManager::readFile(path)), "new data");
    auto date = FileManager::modificationDate(path);
    ASSERT_TRUE(date);
    EXPECT_NEAR(date->timeIntervalSince(lastModified), 0, 1e-6);

    // Before 1970 the fraction must still land on the right side of the second.
    Date old = Date::fromUnix(-1000.75);
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("old"), old).ok());
    EXPECT_NEAR(FileManager::modificationDate(path)->timeIntervalSince(old), 0, 1e-6);

    // Without a date the file is simply new.
    Date before = Date::now();
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("plain")).ok());
    EXPECT_GE(FileManager::modificationDate(path)->timeIntervalSince(before), -2);

    EXPECT_FALSE(FileManager::writeFileAtomically(path, std::string_view("x"), Date(std::nan(""))).ok());
    EXPECT_EQ(text(FileManager::readFile(path)), "plain");
    EXPECT_EQ(FileManager::modificationDate(folder / "missing"), std::nullopt);
    EXPECT_EQ(entriesOf(folder.path()), (std::vector<std::string> { "specs.plist" }));
}

TEST_F(FileManagerTest, FailedAtomicWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    std::string path = folder / "specs.plist";
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("the old, complete file")).ok());
    Date oldDate = *FileManager::modificationDate(path);

    // A file-size limit makes the write fail half-way, as a full disk would.
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string big(64 * 1024, 'x');
    auto result = FileManager::writeFileAtomically(path, std::string_view(big), Date::fromUnix(2e9));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error().empty());
    EXPECT_EQ(text(FileManager::readFile(path)), "the old, complete file");
    EXPECT_EQ(*FileManager::modificationDate(path), oldDate);
    EXPECT_EQ(entriesOf(folder.path()), (std::vector<std::string> { "specs.plist" }));
}

TEST_F(FileManagerTest, AtomicWriteRefusesUnusableTargets)
{
    EXPECT_FALSE(FileManager::writeFileAtomically(folder / "no/such/folder/file", std::string_view("x")).ok());
    mkdir((folder / "dir").c_str(), 0700);
    EXPECT_FALSE(FileManager::writeFileAtomically(folder / "dir", std::string_view("x")).ok());
    EXPECT_TRUE(FileManager::isDirectory(folder / "dir"));
    EXPECT_FALSE(FileManager::writeFileAtomically(folder / "dir/", std::string_view("x")).ok());
    EXPECT_FALSE(FileManager::writeFileAtomically("", std::string_view("x")).ok());
    EXPECT_EQ(entriesOf(folder.path()), (std::vector<std::string> { "dir" }));
    EXPECT_TRUE(entriesOf(folder / "dir").empty());
}

TEST_F(FileManagerTest, ReplacingKeepsPermissionsAndEmptyFilesAreFine)
{
    std::string path = folder / "prefs";
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("one")).ok());
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("")).ok());
    struct stat info { };
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(text(FileManager::readFile(path)), "");
}

TEST_F(FileManagerTest, ReadFileReportsMissingFilesAndFolders)
{
    EXPECT_FALSE(FileManager::readFile(folder / "missing").ok());
    EXPECT_FALSE(FileManager::readFile(folder.path()).ok());
    EXPECT_FALSE(FileManager::readFile("").ok());
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    ASSERT_TRUE(FileManager::writeFileAtomically(folder / "big", std::string_view(big)).ok());
    EXPECT_EQ(text(FileManager::readFile(folder / "big")), big);
}

TEST_F(FileManagerTest, CopyReplacesTheDestinationAndKeepsTheSourceDate)
{
    std::string source = folder / "bundle-specs.plist";
    std::string target = folder / "work/specs.plist";
    Date bundleDate = Date::fromUnix(1700000000.5);
    ASSERT_TRUE(FileManager::writeFileAtomically(source, std::string_view("bundle copy"), bundleDate).ok());
    ASSERT_TRUE(FileManager::createDirectory(folder / "work").ok());
    ASSERT_TRUE(FileManager::writeFileAtomically(target, std::string_view("stale working copy")).ok());

    ASSERT_TRUE(FileManager::copyItem(source, target).ok());
    EXPECT_EQ(text(FileManager::readFile(target)), "bundle copy");
    EXPECT_NEAR(FileManager::modificationDate(target)->timeIntervalSince(bundleDate), 0, 1e-6);

    EXPECT_FALSE(FileManager::copyItem(folder / "missing", target).ok());
    EXPECT_FALSE(FileManager::copyItem(folder / "work", folder / "copy").ok());
    EXPECT_EQ(text(FileManager::readFile(target)), "bundle copy");
    EXPECT_FALSE(FileManager::fileExists(folder / "copy"));
}

TEST_F(FileManagerTest, CreateAndRemove)
{
    ASSERT_TRUE(FileManager::createDirectory(folder / "a/b/c").ok());
    EXPECT_TRUE(FileManager::isDirectory(folder / "a/b/c"));
    folder.write("a/file", "x");
    EXPECT_FALSE(FileManager::createDirectory(folder / "a/file/d").ok());
    EXPECT_FALSE(FileManager::removeItem(folder / "a/b").ok()); // not empty
    EXPECT_TRUE(FileManager::removeItem(folder / "a/b/c").ok());
    EXPECT_TRUE(FileManager::removeItem(folder / "a/file").ok());
    EXPECT_FALSE(FileManager::fileExists(folder / "a/file"));
    EXPECT_FALSE(FileManager::removeItem(folder / "a/file").ok());
    EXPECT_FALSE(FileManager::removeItem("").ok());
}

TEST_F(FileManagerTest, StaleTemporaryFilesAreRemovedOnlyWhenTheyMatchAndAreOld)
{
    std::string path = folder / "preferences.plist";
    folder.write("preferences.plist", "current");
    folder.write(".preferences.plist.tmp-AbC123", "left by a crash");
    folder.write(".preferences.plist.tmp-short", "not ours");
    folder.write(".other.plist.tmp-AbC123", "another file's");
    FileManager::removeStaleTemporaryFiles(path, 600);
    EXPECT_EQ(entriesOf(folder.path()).size(), 4u);
    FileManager::removeStaleTemporaryFiles(path, 0);
    EXPECT_EQ(entriesOf(folder.path()),
        (std::vector<std::string> { ".other.plist.tmp-AbC123", ".preferences.plist.tmp-short", "preferences.plist" }));
}

TEST_F(FileManagerTest, ATemporaryFileHeldByALiveWriterIsKeptWhateverItsAge)
{
    std::string path = folder / "specs.plist";
    folder.write(".specs.plist.tmp-Live01", "being written");
    folder.write(".specs.plist.tmp-Dead01", "left by a crash");
    // The writer's lock, as writeFileAtomically holds it until its rename.
    int writer = ::open((folder / ".specs.plist.tmp-Live01").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    FileManager::removeStaleTemporaryFiles(path, 0);
    EXPECT_EQ(entriesOf(folder.path()), (std::vector<std::string> { ".specs.plist.tmp-Live01" }));
    ::close(writer);
    FileManager::removeStaleTemporaryFiles(path, 0);
    EXPECT_TRUE(entriesOf(folder.path()).empty());
    // A completed write leaves nothing behind and its result is in place.
    ASSERT_TRUE(FileManager::writeFileAtomically(path, std::string_view("done")).ok());
    EXPECT_EQ(entriesOf(folder.path()), (std::vector<std::string> { "specs.plist" }));
}

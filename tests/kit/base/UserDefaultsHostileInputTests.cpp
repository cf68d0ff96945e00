// SPDX-License-Identifier: MIT
// Preferences against what files, values and other programs can do to them: one value the file
// format cannot hold, a counter at its limit, huge, linked, repeatedly corrupt files, and FIFOs.
#include "kit/base/UserDefaults.h"

#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using kit::Date;
using kit::FileManager;
using kit::UserDefaults;
using kit::Value;
using kit::testing::TempFolder;

namespace {

std::vector<std::string> s_logged;
void captureLog(std::string_view line) { s_logged.emplace_back(line); }

std::string contentsOf(const std::string& path)
{
    auto data = FileManager::readFile(path);
    return data.ok() ? std::string(data->begin(), data->end()) : std::string();
}

bool isSymlink(const std::string& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

int loggedLinesContaining(std::string_view text)
{
    int count = 0;
    for (auto& line : s_logged)
        count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
}

constexpr const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
constexpr const char* kFooter = "</dict>\n</plist>\n";

// Runs body in a child process and tells how many seconds it took, or -1 if it had to be killed
// after `limit` seconds (a hang must fail the test, not stop the suite).
double secondsInChild(double limit, const std::function<void()>& body)
{
    auto began = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    while (true) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                return -2;
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        }
        if (std::chrono::steady_clock::now() - began > std::chrono::duration<double>(limit)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
}

class UserDefaultsHostileInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_logged.clear();
        kit::Log::setEchoToStderr(false);
        kit::Log::setCaptureHook(&captureLog);
        path = folder / "com.example.quarrin/preferences.plist";
    }
    void TearDown() override
    {
        kit::Log::setCaptureHook(nullptr);
        kit::Log::setEchoToStderr(true);
    }

    TempFolder folder;
    std::string path;
};

} // namespace

TEST_F(UserDefaultsHostileInputTest, AFileWithAYear9999DateAndAnInvalidUTF8KeyStillSavesTheOtherKeys)
{
    folder.write("com.example.quarrin/preferences.plist",
        std::string(kHeader) + "<key>LC</key><integer>7</integer>\n" + "<key>ShareDate</key><date>9999-01-01T00:00:00Z</date>\n"
            + "<key>bad\xff\xfekey</key><string>x</string>\n" + "<key>DND</key><true/>\n"
            + "<key>kSelectedModelsKey</key><array><string>iPhone1,1</string></array>\n" + kFooter);
    {
        UserDefaults defaults(path);
        EXPECT_EQ(defaults.integerForKey("LC"), 7);
        EXPECT_TRUE(defaults.boolForKey("DND"));
        EXPECT_FALSE(defaults.hasKey("ShareDate"));
        EXPECT_EQ(defaults.dictionaryRepresentation().size(), 3u);
        // One line per dropped key, naming it.
        EXPECT_EQ(s_logged.size(), 2u);
        EXPECT_EQ(loggedLinesContaining("\"ShareDate\""), 1);
        EXPECT_EQ(loggedLinesContaining("\"bad\xEF\xBF\xBD\xEF\xBF\xBDkey\""), 1);

        defaults.setInteger(8, "LC");
        EXPECT_TRUE(defaults.synchronize());
    }
    UserDefaults reread(path);
    EXPECT_EQ(reread.integerForKey("LC"), 8);
    EXPECT_TRUE(reread.boolForKey("DND"));
    EXPECT_EQ(reread.stringArrayForKey("kSelectedModelsKey"), std::vector<std::string> { "iPhone1,1" });
    EXPECT_EQ(reread.dictionaryRepresentation().size(), 3u);
    EXPECT_FALSE(FileManager::fileExists(path + ".corrupt"));
}

TEST_F(UserDefaultsHostileInputTest, ValuesTheFileCannotHoldAreRefusedWhenSetAndTheRestSaves)
{
    UserDefaults defaults(path);
    defaults.setInteger(3, "LC");
    defaults.setDate(Date::fromUnix(0), "ShareDate");
    // Each of these would make every later save fail.
    defaults.setDate(Date::fromUnix(253402300799.0), "ShareDate"); // 9999-12-31
    defaults.setDate(Date(std::numeric_limits<double>::quiet_NaN()), "kNextUpdateDate");
    defaults.setString("caf\xe9", "ProgramVersion");
    defaults.setString(std::string("a\0b", 3), "kSelectedModelDefaultsKey");
    defaults.setBool(true, "\xc0\xafkey");
    defaults.setObject(Value(kit::Array { Value(1), Value(Date::fromUnix(-1e11)) }), "kSelectedModelsKey");
    EXPECT_EQ(s_logged.size(), 6u);
    EXPECT_EQ(loggedLinesContaining("\"kNextUpdateDate\""), 1);
    EXPECT_EQ(loggedLinesContaining("\"kSelectedModelsKey\""), 1);
    // A refused value leaves the one stored before.
    EXPECT_EQ(defaults.dateForKey("ShareDate"), Date::fromUnix(0));
    EXPECT_FALSE(defaults.hasKey("ProgramVersion"));

    EXPECT_TRUE(defaults.synchronize());
    UserDefaults reread(path);
    EXPECT_EQ(reread.integerForKey("LC"), 3);
    EXPECT_EQ(reread.dateForKey("ShareDate"), Date::fromUnix(0));
    EXPECT_EQ(reread.dictionaryRepresentation().size(), 2u);
}

TEST_F(UserDefaultsHostileInputTest, LaunchCountAtTheMaximumStaysThere)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), 1);
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), 2);
    defaults.setInteger(kMax - 1, "LC");
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), kMax);
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), kMax);
    EXPECT_EQ(defaults.integerForKey("LC"), kMax);
    // A real or a text that large, as another program may have left it, saturates too.
    defaults.setDouble(1e300, "LC");
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), kMax);
    defaults.setString("99999999999999999999999999", "LC");
    EXPECT_EQ(defaults.incrementIntegerForKey("LC"), kMax);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), kMax);
}

TEST_F(UserDefaultsHostileInputTest, AFailedSaveIsLoggedOnceNamingTheFileAndTheNextSaveRetries)
{
    // A file where the store's folder should be: every save fails until it is gone.
    folder.write("com.example.quarrin", "in the way");
    UserDefaults defaults(path);
    defaults.setInteger(1, "LC");
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_FALSE(defaults.synchronize());
        defaults.incrementIntegerForKey("LC");
    }
    ASSERT_EQ(s_logged.size(), 1u);
    EXPECT_NE(s_logged[0].find(folder / "com.example.quarrin"), std::string::npos) << s_logged[0];
    EXPECT_TRUE(defaults.hasUnsavedChanges());

    ASSERT_TRUE(FileManager::removeItem(folder / "com.example.quarrin").ok());
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 6);
    // After a success the same failure is news again.
    ASSERT_TRUE(FileManager::removeItem(path).ok());
    ASSERT_TRUE(FileManager::removeItem(folder / "com.example.quarrin").ok());
    folder.write("com.example.quarrin", "in the way again");
    defaults.setInteger(7, "LC");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(s_logged.size(), 2u);
}

TEST_F(UserDefaultsHostileInputTest, AHundredMegabyteSparseFileIsSetAsideInWellUnderASecond)
{
    for (off_t size : { off_t(100) << 20, off_t(200) << 30 }) {
        SCOPED_TRACE(size);
        s_logged.clear();
        folder.write("com.example.quarrin/preferences.plist", "");
        int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        bool sparse = ::ftruncate(fd, size) == 0;
        ::close(fd);
        if (!sparse)
            continue; // the file system cannot hold it, sparse or not
        auto began = std::chrono::steady_clock::now();
        {
            UserDefaults defaults(path);
            EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        EXPECT_LT(seconds, 0.25);
        EXPECT_FALSE(FileManager::fileExists(path));
        std::string aside = size == (off_t(100) << 20) ? path + ".corrupt" : path + ".corrupt.2";
        struct stat info { };
        ASSERT_EQ(::stat(aside.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, size);
        ASSERT_EQ(s_logged.size(), 1u);
        EXPECT_NE(s_logged[0].find("larger than"), std::string::npos) << s_logged[0];
        EXPECT_NE(s_logged[0].find(path), std::string::npos) << s_logged[0];
    }
}

TEST_F(UserDefaultsHostileInputTest, ASymlinkedPreferencesFileStaysALinkToItsUpdatedTarget)
{
    std::string target
        = folder.write("dotfiles/quarrin.plist", std::string(kHeader) + "<key>LC</key><integer>2</integer>" + kFooter);
    ::mkdir((folder / "com.example.quarrin").c_str(), 0700);
    // Relative, as dotfile managers often make them.
    ASSERT_EQ(::symlink("../dotfiles/quarrin.plist", path.c_str()), 0);
    {
        UserDefaults defaults(path);
        EXPECT_EQ(defaults.incrementIntegerForKey("LC"), 3);
        EXPECT_TRUE(defaults.synchronize());
    }
    EXPECT_TRUE(isSymlink(path));
    EXPECT_EQ(UserDefaults(target).integerForKey("LC"), 3);
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 3);

    // A corrupt target is set aside beside itself; the link stays and leads to the next save.
    folder.write("dotfiles/quarrin.plist", "garbage");
    {
        UserDefaults defaults(path);
        EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
        defaults.setInteger(1, "LC");
    }
    EXPECT_TRUE(isSymlink(path));
    EXPECT_EQ(contentsOf(target + ".corrupt"), "garbage");
    EXPECT_EQ(UserDefaults(target).integerForKey("LC"), 1);
    // No temporary file was left anywhere.
    EXPECT_EQ(s_logged.size(), 1u);
    std::vector<std::string> names;
    for (std::string dir : { folder / "dotfiles", folder / "com.example.quarrin" }) {
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "preferences.plist", "quarrin.plist", "quarrin.plist.corrupt" }));
}

TEST_F(UserDefaultsHostileInputTest, TwoCorruptFilesAreBothKept)
{
    for (std::string content : { "first garbage", "second garbage", "third garbage" }) {
        folder.write("com.example.quarrin/preferences.plist", content);
        UserDefaults defaults(path);
        defaults.setInteger(1, "LC");
    }
    EXPECT_EQ(contentsOf(path + ".corrupt"), "first garbage");
    EXPECT_EQ(contentsOf(path + ".corrupt.2"), "second garbage");
    EXPECT_EQ(contentsOf(path + ".corrupt.3"), "third garbage");
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 1);
    ASSERT_EQ(s_logged.size(), 3u);
    EXPECT_NE(s_logged[2].find(path + ".corrupt.3"), std::string::npos) << s_logged[2];
}

TEST_F(UserDefaultsHostileInputTest, AFIFOInPlaceOfThePreferencesDoesNotHangStartUp)
{
    ::mkdir((folder / "com.example.quarrin").c_str(), 0700);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    double seconds = secondsInChild(5, [&] {
        UserDefaults defaults(path);
        defaults.setInteger(1, "LC");
        if (!defaults.synchronize())
            _exit(1);
    });
    ASSERT_GE(seconds, 0) << (seconds == -1 ? "start-up hung on the FIFO" : "the child failed");
    EXPECT_LT(seconds, 1.0);
    struct stat info { };
    ASSERT_EQ(::lstat((path + ".corrupt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 1);

    // Behind a link too (and a device is never opened, let alone moved): the link goes aside.
    std::string linked = folder / "linked.plist";
    ASSERT_EQ(::symlink("/dev/zero", linked.c_str()), 0);
    seconds = secondsInChild(5, [&] { UserDefaults defaults(linked); });
    ASSERT_GE(seconds, 0);
    EXPECT_LT(seconds, 1.0);
    EXPECT_TRUE(isSymlink(linked + ".corrupt"));
    EXPECT_TRUE(FileManager::fileExists("/dev/zero"));
}

TEST(PropertyListFileReading, AFIFOIsRefusedAtOnceAndErrorsLeaveThePathToTheCaller)
{
    TempFolder folder;
    std::string fifo = folder / "specs.plist";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    double seconds = secondsInChild(5, [&] {
        auto read = kit::PropertyList::readFile(fifo);
        if (read.ok() || read.error() != "not a regular file")
            _exit(1);
        // The plain reader (string tables, the bundle copy) reads it as empty.
        auto bytes = FileManager::readFile(fifo);
        if (!bytes.ok() || !bytes->empty())
            _exit(1);
    });
    EXPECT_GE(seconds, 0);
    EXPECT_LT(seconds, 1.0);

    std::string garbage = folder.write("garbage.plist", std::string("\x89\x00\x13\xfe random", 10));
    auto read = kit::PropertyList::readFile(garbage);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error(), "not a property list (neither XML nor binary)");
    EXPECT_EQ(kit::PropertyList::readFile(folder / "missing.plist").error(), "No such file or directory");
}

// SPDX-License-Identifier: MIT
#include "kit/base/UserDefaults.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/PropertyList.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using kit::Date;
using kit::FileManager;
using kit::UserDefaults;
using kit::Value;
using kit::testing::ScopedEnvironment;
using kit::testing::TempFolder;

namespace {

std::vector<std::string> s_logged;
void captureLog(std::string_view line) { s_logged.emplace_back(line); }

std::string contentsOf(const std::string& path)
{
    auto data = FileManager::readFile(path);
    return data.ok() ? std::string(data->begin(), data->end()) : std::string();
}

class UserDefaultsTest : public ::testing::Test {
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

TEST_F(UserDefaultsTest, MissingKeysReadAsZeroFalseOrNothing)
{
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey("LC"), 0);
    EXPECT_FALSE(defaults.boolForKey("DND"));
    EXPECT_EQ(defaults.doubleForKey("x"), 0);
    EXPECT_EQ(defaults.stringForKey("ProgramVersion"), std::nullopt);
    EXPECT_EQ(defaults.dateForKey("kNextUpdateDate"), std::nullopt);
    EXPECT_EQ(defaults.stringArrayForKey("kSelectedModelsKey"), std::nullopt);
    EXPECT_EQ(defaults.arrayForKey("kSelectedModelsKey"), std::nullopt);
    EXPECT_EQ(defaults.dictionaryForKey("d"), std::nullopt);
    EXPECT_TRUE(defaults.objectForKey("x").isNull());
    EXPECT_FALSE(defaults.hasUnsavedChanges());
    // Nothing to write: no file appears.
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_FALSE(FileManager::fileExists(path));
    EXPECT_TRUE(s_logged.empty());
}

TEST_F(UserDefaultsTest, EveryTypeSurvivesARoundTripAcrossInstances)
{
    Date share = Date::fromUnix(1765432100);
    {
        UserDefaults defaults(path);
        defaults.setString("2.1", "ProgramVersion");
        defaults.setInteger(-42, "negative");
        defaults.setInteger(INT64_MAX, "big");
        defaults.setInteger(7, "LC");
        defaults.setBool(true, "DND");
        defaults.setBool(false, "off");
        defaults.setDouble(0.125, "fraction");
        defaults.setDate(share, "ShareDate");
        defaults.setStringArray({ "iPhone7,2", "iPad4,1", "" }, "kSelectedModelsKey");
        defaults.setObject(kit::Array { 1, "two", 3.5 }, "mixed");
        defaults.setObject(kit::Dict { { "nested", kit::Dict { { "deep", "yes" } } } }, "dict");
        defaults.setString("caf\xC3\xA9 & <tags>", "escaped");
        EXPECT_TRUE(defaults.hasUnsavedChanges());
        EXPECT_TRUE(defaults.synchronize());
        EXPECT_FALSE(defaults.hasUnsavedChanges());
    }
    UserDefaults again(path);
    EXPECT_EQ(again.stringForKey("ProgramVersion"), "2.1");
    EXPECT_EQ(again.integerForKey("negative"), -42);
    EXPECT_EQ(again.integerForKey("big"), INT64_MAX);
    EXPECT_EQ(again.integerForKey("LC"), 7);
    EXPECT_TRUE(again.boolForKey("DND"));
    EXPECT_FALSE(again.boolForKey("off"));
    EXPECT_TRUE(again.hasKey("off"));
    EXPECT_DOUBLE_EQ(again.doubleForKey("fraction"), 0.125);
    ASSERT_TRUE(again.dateForKey("ShareDate"));
    EXPECT_NEAR(again.dateForKey("ShareDate")->timeIntervalSince(share), 0, 1e-3);
    EXPECT_EQ(again.stringArrayForKey("kSelectedModelsKey"), (std::vector<std::string> { "iPhone7,2", "iPad4,1", "" }));
    EXPECT_EQ(again.arrayForKey("mixed"), (kit::Array { 1, "two", 3.5 }));
    EXPECT_EQ(again.objectForKey("dict").valueForKeyPath("nested.deep"), Value("yes"));
    EXPECT_EQ(again.stringForKey("escaped"), "caf\xC3\xA9 & <tags>");
    EXPECT_FALSE(again.hasUnsavedChanges());
}

TEST_F(UserDefaultsTest, PendingChangesAreWrittenWhenTheStoreGoes)
{
    {
        UserDefaults defaults(path);
        defaults.setInteger(3, "LC");
    }
    EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 3);
}

TEST_F(UserDefaultsTest, RemovalPersistsAndSettingNullRemoves)
{
    {
        UserDefaults defaults(path);
        defaults.setInteger(1, "a");
        defaults.setInteger(2, "b");
        defaults.setInteger(3, "c");
        ASSERT_TRUE(defaults.synchronize());
        defaults.removeObjectForKey("a");
        defaults.setObject(Value(), "b");
        defaults.removeObjectForKey("never there");
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults again(path);
    EXPECT_FALSE(again.hasKey("a"));
    EXPECT_FALSE(again.hasKey("b"));
    EXPECT_EQ(again.integerForKey("c"), 3);
    EXPECT_EQ(again.dictionaryRepresentation().size(), 1u);
}

TEST_F(UserDefaultsTest, ReadsConvertLikeThePlatform)
{
    UserDefaults defaults(path);
    defaults.setString("12abc", "numeric text");
    defaults.setString("YES", "yes text");
    defaults.setInteger(5, "five");
    defaults.setDouble(2.75, "real");
    defaults.setObject(kit::Array { "a", 1 }, "mixed");
    defaults.setDate(Date(100), "date");
    EXPECT_EQ(defaults.integerForKey("numeric text"), 12);
    EXPECT_TRUE(defaults.boolForKey("yes text"));
    EXPECT_EQ(defaults.stringForKey("five"), "5");
    EXPECT_EQ(defaults.integerForKey("real"), 2);
    EXPECT_TRUE(defaults.boolForKey("five"));
    EXPECT_EQ(defaults.stringArrayForKey("mixed"), std::nullopt);
    EXPECT_TRUE(defaults.arrayForKey("mixed"));
    EXPECT_EQ(defaults.integerForKey("date"), 0);
    EXPECT_EQ(defaults.stringForKey("date"), std::nullopt);
    EXPECT_EQ(defaults.dateForKey("five"), std::nullopt);
}

TEST_F(UserDefaultsTest, UnchangedValuesDoNotDirtyTheStore)
{
    UserDefaults defaults(path);
    defaults.setInteger(1, "LC");
    ASSERT_TRUE(defaults.synchronize());
    defaults.setInteger(1, "LC");
    EXPECT_FALSE(defaults.hasUnsavedChanges());
    // The same number as another type is a change: a later reader may care.
    defaults.setDouble(1.0, "LC");
    EXPECT_TRUE(defaults.hasUnsavedChanges());
}

TEST_F(UserDefaultsTest, CorruptFileIsSetAsideWithItsContentAndTheStoreStartsEmpty)
{
    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        { "garbage", "this is not a property list \x01\x02" },
        { "truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>LC</key><integer>4" },
        { "array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>" },
        { "empty", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s_logged.clear();
        FileManager::removeItem(path + ".corrupt").ok();
        folder.write("com.example.quarrin/preferences.plist", c.content);
        {
            UserDefaults defaults(path);
            EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
            EXPECT_EQ(s_logged.size(), 1u);
            EXPECT_FALSE(FileManager::fileExists(path));
            EXPECT_EQ(contentsOf(path + ".corrupt"), c.content);
            defaults.setInteger(1, "LC");
            EXPECT_TRUE(defaults.synchronize());
        }
        // The fresh file is sound, and the set-aside copy untouched.
        EXPECT_EQ(UserDefaults(path).integerForKey("LC"), 1);
        EXPECT_EQ(contentsOf(path + ".corrupt"), c.content);
        EXPECT_EQ(s_logged.size(), 1u);
    }
}

TEST_F(UserDefaultsTest, FailedSynchronizeKeepsTheChangesPending)
{
    folder.write("blocker", "a file where the folder should be");
    UserDefaults defaults(folder / "blocker/preferences.plist");
    defaults.setInteger(1, "LC");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(defaults.hasUnsavedChanges());
    EXPECT_FALSE(s_logged.empty());
    EXPECT_EQ(contentsOf(folder / "blocker"), "a file where the folder should be");
}

TEST_F(UserDefaultsTest, StandardStoreLivesUnderTheConfigFolderAndIsWrittenAtExit)
{
    ScopedEnvironment env;
    env.set("HOME", folder / "home");
    env.set("XDG_CONFIG_HOME", folder / "config");
    folder.write("bundle/Info.plist",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
        "<string>com.example.prefs</string></dict></plist>");
    kit::Bundle::setMainBundlePath(folder / "bundle");
    UserDefaults::resetStandardUserDefaults();
    std::string expected = folder / "config/com.example.prefs/preferences.plist";
    EXPECT_EQ(UserDefaults::standardFilePath(), expected);
    EXPECT_EQ(UserDefaults::standardUserDefaults().filePath(), expected);
    EXPECT_EQ(&UserDefaults::standardUserDefaults(), &UserDefaults::standardUserDefaults());

    // A child that changes a value and exits normally, without calling synchronize().
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserDefaults::standardUserDefaults().setInteger(41, "LC");
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(UserDefaults(expected).integerForKey("LC"), 41);

    // Without a config variable the store falls back to ~/.config.
    env.set("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(UserDefaults::standardFilePath(), folder / "home/.config/com.example.prefs/preferences.plist");

    UserDefaults::resetStandardUserDefaults();
    kit::Bundle::setMainBundlePath("");
}

TEST_F(UserDefaultsTest, KillingAWriterAtRandomMomentsNeverLeavesAHalfWrittenFile)
{
    std::mt19937 random(20261208);
    int checkedFiles = 0;
    int iterations = 0;
    auto began = std::chrono::steady_clock::now();
    for (; iterations < 200; ++iterations) {
        if (std::chrono::steady_clock::now() - began > std::chrono::seconds(8))
            break;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        auto forked = std::chrono::steady_clock::now();
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            kit::Log::setEchoToStderr(false);
            // Grows the store from what the last writer left, then rewrites it as fast as it can,
            // telling the parent after each complete write.
            UserDefaults defaults(path);
            std::int64_t generation = defaults.integerForKey("generation");
            auto models = defaults.stringArrayForKey("kSelectedModelsKey").value_or(std::vector<std::string> {});
            if (models.size() > 3000)
                models.clear();
            while (true) {
                ++generation;
                models.push_back("model-" + std::to_string(generation) + std::string(std::size_t(generation % 97), 'x'));
                defaults.setStringArray(models, "kSelectedModelsKey");
                defaults.setInteger(generation, "generation");
                defaults.setInteger(std::int64_t(models.size()), "count");
                if (!defaults.synchronize())
                    _exit(3);
                if (write(ready[1], "w", 1) != 1)
                    _exit(4);
            }
        }
        close(ready[1]);
        // Once a first write is through, the kill lands at a random moment of the next ones: up
        // to twice as long as the first write took, which adapts to how fast the disk is.
        char byte = 0;
        ssize_t got = read(ready[0], &byte, 1);
        auto firstWrite = std::chrono::steady_clock::now() - forked;
        long long span = std::chrono::duration_cast<std::chrono::microseconds>(firstWrite).count();
        std::uniform_int_distribution<long long> pause(0, std::clamp(2 * span, 100LL, 100000LL));
        if (got == 1)
            usleep(useconds_t(pause(random)));
        kill(child, SIGKILL);
        close(ready[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with status " << WEXITSTATUS(status);

        auto parsed = kit::PropertyList::readFile(path);
        ASSERT_TRUE(parsed.ok()) << "iteration " << iterations << ": " << parsed.error();
        ASSERT_TRUE(parsed->isDict());
        // The keys were written together, so they must agree with each other.
        EXPECT_EQ((*parsed)["kSelectedModelsKey"].count(), std::size_t((*parsed)["count"].longLongValue()));
        ++checkedFiles;
    }
    std::int64_t generations = UserDefaults(path).integerForKey("generation");
    // Each writer got at least one write through, and most were killed in later ones.
    EXPECT_GE(iterations, 20);
    EXPECT_GE(generations, iterations);
    EXPECT_EQ(checkedFiles, iterations);
    EXPECT_FALSE(FileManager::fileExists(path + ".corrupt"));
    EXPECT_TRUE(s_logged.empty());
}

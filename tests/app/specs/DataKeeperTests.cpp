// SPDX-License-Identifier: MIT
#include "SpecsTestSupport.h"

#include "kit/base/RunLoop.h"
#include "kit/base/Strings.h"

#include <sys/stat.h>

using specs_test::loggedLines;
using specs_test::SpecsFixture;

namespace {

using Keys = std::vector<std::string>;

class DataKeeperTest : public SpecsFixture {
protected:
    // The working copy holds data; the bundle copy is the same unless a test says otherwise.
    void useData(const kit::Value& data)
    {
        writePlist(workingPath(), data);
        DataKeeper::resetForTesting();
    }
    // A new data set stored by a download: the file changes and the data caches are dropped.
    void storeNewData(const kit::Value& data)
    {
        writePlist(workingPath(), data);
        DataKeeper::sharedKeeper().dropCachedData();
    }
};

const Keys kDefaultRows = { "Processor", "GPU", "Onboard RAM", "Geekbench 2", "Geekbench 3", "Display", "Front Camera",
    "Rear Camera", "Weight", "Dimensions", "Wi-Fi", "Bluetooth", "Cellular", "Battery Capacity", "BatteryLife.Audio Playback",
    "BatteryLife.Video Playback", "BatteryLife.Talk over 2G", "BatteryLife.Talk over 3G", "BatteryLife.Browsing over Wi-Fi",
    "BatteryLife.Browsing over 3G", "BatteryLife.Browsing over LTE", "Sensors", "Location", "Connector", "SIM Card", "Capacity",
    "Release Date", "Discontinued Date", "Price" };
const Keys kDefaultComparisonRows = { "Processor", "GPU", "Onboard RAM", "Geekbench 3", "Geekbench 2", "Display",
    "Battery Capacity", "BatteryLife.Audio Playback", "BatteryLife.Video Playback", "BatteryLife.Browsing over Wi-Fi",
    "BatteryLife.Browsing over 3G", "BatteryLife.Talk over 3G", "Weight", "Dimensions", "Price" };

// ---- Row lists -----------------------------------------------------------------------------------

TEST_F(DataKeeperTest, RowListsWithoutOwnListsAreTheDefaultsInOrder)
{
    useData(kit::Dict { { "iPhone7,2", model("iPhone 6") } });
    EXPECT_EQ(DataKeeper::allSpecsKeys(), kDefaultRows);
    EXPECT_EQ(DataKeeper::comparisonSpecsKeys(), kDefaultComparisonRows);
    EXPECT_EQ(DataKeeper::allSpecsKeys().size(), 29u);
    EXPECT_EQ(DataKeeper::comparisonSpecsKeys().size(), 15u);
}

TEST_F(DataKeeperTest, BenchmarksComeInOppositeOrdersInTheTwoDefaultLists)
{
    auto position
        = [](const Keys& keys, std::string_view key) { return std::find(keys.begin(), keys.end(), key) - keys.begin(); };
    const auto& rows = DataKeeper::defaultSpecsKeys();
    const auto& comparison = DataKeeper::defaultComparisonSpecsKeys();
    EXPECT_EQ(position(rows, "Geekbench 2") + 1, position(rows, "Geekbench 3"));
    EXPECT_EQ(position(comparison, "Geekbench 3") + 1, position(comparison, "Geekbench 2"));
}

TEST_F(DataKeeperTest, EmptyOrUnusableOwnListsFallBackToTheDefaults)
{
    useData(kit::Dict { { "orderedSpecsKeys", kit::Array {} },
        { "orderedComparisonSpecsKeys", kit::Array { 1, kit::Array {}, "" } } });
    EXPECT_EQ(DataKeeper::allSpecsKeys(), kDefaultRows);
    EXPECT_EQ(DataKeeper::comparisonSpecsKeys(), kDefaultComparisonRows);

    useData(kit::Dict { { "orderedSpecsKeys", "Processor" } });
    EXPECT_EQ(DataKeeper::allSpecsKeys(), kDefaultRows);
}

TEST_F(DataKeeperTest, OwnListsAreTakenInTheirOrderSkippingEntriesThatAreNotKeys)
{
    useData(kit::Dict { { "orderedSpecsKeys", kit::Array { "Weight", 7, "Processor", "BatteryLife.Talk over 2G" } },
        { "orderedComparisonSpecsKeys", kit::Array { "Price", "GPU" } } });
    EXPECT_EQ(DataKeeper::allSpecsKeys(), (Keys { "Weight", "Processor", "BatteryLife.Talk over 2G" }));
    EXPECT_EQ(DataKeeper::comparisonSpecsKeys(), (Keys { "Price", "GPU" }));
}

TEST_F(DataKeeperTest, RowListsAndModelListAreKeptForTheProcessAcrossNewData)
{
    useData(kit::Dict { { "orderedSpecsKeys", kit::Array { "Weight" } }, { "orderedComparisonSpecsKeys", kit::Array { "Price" } },
        { "iPhone7,2", model("iPhone 6") }, { "iPad2,1", model("iPad 2") } });
    ASSERT_EQ(DataKeeper::allSpecsKeys(), Keys { "Weight" });
    ASSERT_EQ(DataKeeper::comparisonSpecsKeys(), Keys { "Price" });
    ASSERT_EQ(DataKeeper::sortedModelsKeys(), (Keys { "iPad2,1", "iPhone7,2" }));

    storeNewData(kit::Dict { { "orderedSpecsKeys", kit::Array { "GPU" } }, { "iPhone7,2", model("iPhone 6") } });
    EXPECT_EQ(DataKeeper::allSpecsKeys(), Keys { "Weight" });
    EXPECT_EQ(DataKeeper::comparisonSpecsKeys(), Keys { "Price" });
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), (Keys { "iPad2,1", "iPhone7,2" }));
    // The dropped model stays listed but has no entry any more; the new data is what is read.
    EXPECT_TRUE(DataKeeper::specsForModel("iPad2,1").isNull());
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "iPhone 6");
    EXPECT_EQ(DataKeeper::sharedKeeper().allData()["orderedSpecsKeys"].at(0).string(), "GPU");
}

// ---- Model list ------------------------------------------------------------------------------------

TEST_F(DataKeeperTest, ModelListLeavesOutFamilyUnknownAndListKeys)
{
    DataKeeper::setModelIdentifierForTesting(std::string("iPhone7,2"));
    useData(kit::Dict { { "iPad", model("iPad") }, { "iPhone", model("iPhone") }, { "iPod", model("iPod") },
        { "unknown", model("Unknown") }, { "orderedSpecsKeys", kit::Array { "GPU" } },
        { "orderedComparisonSpecsKeys", kit::Array { "GPU" } }, { "iPhone7,2", model("iPhone 6") },
        { "iPad2,1", model("iPad 2") } });
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), (Keys { "iPad2,1", "iPhone7,2" }));
}

TEST_F(DataKeeperTest, ModelListKeepsTheFamilyKeyThisDeviceResolvedTo)
{
    DataKeeper::setModelIdentifierForTesting(std::string("iPad99,1"));
    useData(kit::Dict { { "iPad", model("iPad") }, { "iPhone", model("iPhone") }, { "orderedSpecsKeys", kit::Array { "GPU" } },
        { "iPhone5,1", model("iPhone 5") }, { "iPad2,1", model("iPad 2") } });
    EXPECT_EQ(DataKeeper::thisModelKey(), "iPad");
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), (Keys { "iPad", "iPad2,1", "iPhone5,1" }));
}

TEST_F(DataKeeperTest, ModelListKeepsUnknownWhenThisDeviceIsUnknown)
{
    DataKeeper::setModelIdentifierForTesting(std::string("LENOVO 20XW"));
    useData(kit::Dict { { "unknown", model("Unknown") }, { "iPad", model("iPad") }, { "iPod1,1", model("iPod") } });
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), (Keys { "iPod1,1", "unknown" }));
}

TEST_F(DataKeeperTest, ModelListOrderIsCaseInsensitiveWithDigitsComparedAsCharacters)
{
    DataKeeper::setModelIdentifierForTesting(std::string("x"));
    useData(kit::Dict { { "iPod1,1", model("a") }, { "IPHONE1,1", model("b") }, { "ipad1,1", model("c") },
        { "iPhone10,1", model("d") }, { "iPhone2,1", model("e") }, { "iPhone1,2", model("f") } });
    // Byte order would put "IPHONE1,1" first; a numeric order would put "iPhone10,1" after "iPhone2,1".
    EXPECT_EQ(DataKeeper::sortedModelsKeys(),
        (Keys { "ipad1,1", "IPHONE1,1", "iPhone1,2", "iPhone10,1", "iPhone2,1", "iPod1,1" }));
}

TEST_F(DataKeeperTest, ModelListIsBuiltFromTheFirstDataThatArrives)
{
    EXPECT_TRUE(DataKeeper::sortedModelsKeys().empty());
    storeNewData(kit::Dict { { "iPhone7,2", model("iPhone 6") } });
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), Keys { "iPhone7,2" });
    // From then on the list is kept for the process.
    storeNewData(kit::Dict { { "iPhone7,2", model("iPhone 6") }, { "iPad2,1", model("iPad 2") } });
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), Keys { "iPhone7,2" });
}

// ---- This device's key --------------------------------------------------------------------------

TEST_F(DataKeeperTest, ThisModelKeyResolvesOwnKeyFamilyLongestPrefixOrUnknown)
{
    const kit::Value data = kit::Dict { { "iPhone", model("iPhone") }, { "iPhone1", model("iPhone 1x") },
        { "iPhone7,2", model("iPhone 6") }, { "iPad", model("iPad") }, { "unknown", model("Unknown") } };
    struct Case {
        const char* identifier;
        const char* expected;
    };
    for (auto [identifier, expected] : { Case { "iPhone7,2", "iPhone7,2" }, Case { "iPad13,1", "iPad" },
             Case { "iPhone12,1", "iPhone1" }, Case { "iPhone9,1", "iPhone" }, Case { "iPhone7,", "iPhone" },
             Case { "iphone7,2", "unknown" }, Case { "LENOVO 20XW", "unknown" }, Case { "", "unknown" } }) {
        DataKeeper::setModelIdentifierForTesting(std::string(identifier));
        useData(data);
        EXPECT_EQ(DataKeeper::thisModelKey(), expected) << "identifier \"" << identifier << "\"";
    }
}

TEST_F(DataKeeperTest, ThisModelKeyIsUnknownWithoutAnUnknownEntryOrWithoutData)
{
    DataKeeper::setModelIdentifierForTesting(std::string("Raspberry Pi 4"));
    useData(kit::Dict { { "iPad", model("iPad") } });
    EXPECT_EQ(DataKeeper::thisModelKey(), "unknown");
    EXPECT_TRUE(DataKeeper::specsForModel(DataKeeper::thisModelKey()).isNull());

    std::filesystem::remove(workingPath());
    DataKeeper::setModelIdentifierForTesting(std::string("iPad2,1"));
    DataKeeper::resetForTesting();
    EXPECT_EQ(DataKeeper::thisModelKey(), "unknown");
}

TEST_F(DataKeeperTest, ThisModelKeyNeverFallsBackToAnEmptyKeyOrARowList)
{
    DataKeeper::setModelIdentifierForTesting(std::string("orderedSpecsKeys2"));
    useData(kit::Dict { { "", model("Empty") }, { "orderedSpecsKeys", kit::Array { "GPU" } } });
    EXPECT_EQ(DataKeeper::thisModelKey(), "unknown");
}

TEST_F(DataKeeperTest, ThisModelKeyIsResolvedAgainAfterNewData)
{
    DataKeeper::setModelIdentifierForTesting(std::string("iPad6,7"));
    useData(kit::Dict { { "iPad", model("iPad") } });
    ASSERT_EQ(DataKeeper::thisModelKey(), "iPad");

    // The file changes but nothing was dropped yet: the key is kept.
    writePlist(workingPath(), kit::Dict { { "iPad", model("iPad") }, { "iPad6,7", model("iPad Pro") } });
    EXPECT_EQ(DataKeeper::thisModelKey(), "iPad");

    DataKeeper::sharedKeeper().dropCachedData();
    EXPECT_EQ(DataKeeper::thisModelKey(), "iPad6,7");
    EXPECT_EQ(DataKeeper::specsForModel(DataKeeper::thisModelKey())["Name"].string(), "iPad Pro");
}

// ---- One model ----------------------------------------------------------------------------------------

TEST_F(DataKeeperTest, KeyPathsReachIntoBatteryLife)
{
    useData(kit::Dict { { "iPhone4,1",
                            kit::Dict { { "Name", "iPhone 4S" },
                                { "BatteryLife", kit::Dict { { "Talk over 2G", "14" }, { "Audio Playback", "40" } } } } },
        { "iPod5,1", model("iPod touch") } });
    auto phone = DataKeeper::specsForModel("iPhone4,1");
    EXPECT_EQ(phone.valueForKeyPath("BatteryLife.Talk over 2G").string(), "14");
    EXPECT_EQ(phone.valueForKeyPath("BatteryLife.Audio Playback").string(), "40");
    EXPECT_TRUE(phone.valueForKeyPath("BatteryLife.Talk over 3G").isNull());
    EXPECT_TRUE(DataKeeper::specsForModel("iPod5,1").valueForKeyPath("BatteryLife.Talk over 2G").isNull());
}

TEST_F(DataKeeperTest, SpecsForModelGivesOnlyDictionaryEntries)
{
    useData(kit::Dict { { "iPhone7,2", model("iPhone 6") }, { "orderedSpecsKeys", kit::Array { "GPU" } }, { "odd", "text" } });
    EXPECT_TRUE(DataKeeper::specsForModel("iPhone7,2").isDict());
    EXPECT_TRUE(DataKeeper::specsForModel("orderedSpecsKeys").isNull());
    EXPECT_TRUE(DataKeeper::specsForModel("odd").isNull());
    EXPECT_TRUE(DataKeeper::specsForModel("iPhone7,1").isNull());
    EXPECT_TRUE(DataKeeper::specsForModel("").isNull());
}

// ---- Loading -------------------------------------------------------------------------------------------

TEST_F(DataKeeperTest, UnreadableWorkingCopyFallsBackToTheBundleCopyAndIsLeftInPlace)
{
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("From bundle") } });
    for (std::string damaged :
        { std::string("not a property list"), std::string("<?xml version=\"1.0\"?><plist>"), std::string() }) {
        writeBytes(workingPath(), damaged);
        DataKeeper::resetForTesting();
        loggedLines().clear();
        EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "From bundle");
        EXPECT_EQ(DataKeeper::thisModelKey(), "iPhone7,2");
        EXPECT_EQ(DataKeeper::sortedModelsKeys(), Keys { "iPhone7,2" });
        ASSERT_EQ(loggedLines().size(), 1u);
        EXPECT_NE(loggedLines()[0].find("using the bundle copy"), std::string::npos) << loggedLines()[0];
        EXPECT_EQ(readText(workingPath()), damaged);
    }
}

TEST_F(DataKeeperTest, WorkingCopyWithoutADictionaryRootFallsBackToTheBundleCopy)
{
    writePlist(bundlePath(), kit::Dict { { "iPad2,1", model("iPad 2") } });
    writePlist(workingPath(), kit::Array { "iPad2,1" });
    DataKeeper::resetForTesting();
    EXPECT_TRUE(DataKeeper::sharedKeeper().allData().isDict());
    EXPECT_FALSE(DataKeeper::specsForModel("iPad2,1").isNull());
    EXPECT_EQ(loggedLines().size(), 1u);
}

TEST_F(DataKeeperTest, BothCopiesUnreadableLeaveNoDataAndDefaults)
{
    writeBytes(bundlePath(), "garbage");
    writeBytes(workingPath(), "garbage");
    DataKeeper::resetForTesting();
    EXPECT_TRUE(DataKeeper::sharedKeeper().allData().isNull());
    EXPECT_EQ(DataKeeper::allSpecsKeys(), kDefaultRows);
    EXPECT_TRUE(DataKeeper::sortedModelsKeys().empty());
    EXPECT_EQ(DataKeeper::thisModelKey(), "unknown");
    ASSERT_EQ(loggedLines().size(), 1u);
    EXPECT_NE(loggedLines()[0].find("unreadable too"), std::string::npos);
}

TEST_F(DataKeeperTest, DeletedWorkingCopyFallsBackToTheBundleCopyWithOneLogLine)
{
    // Deleted while the program version stayed the same, so no seeding brings it back.
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("iPhone 6") } });
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "iPhone 6");
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), Keys { "iPhone7,2" });
    ASSERT_EQ(loggedLines().size(), 1u);
    EXPECT_NE(loggedLines()[0].find("is missing; using the bundle copy"), std::string::npos) << loggedLines()[0];
    EXPECT_FALSE(kit::FileManager::fileExists(workingPath()));
    // Without a bundle copy either there is no data, and still one line.
    std::filesystem::remove(bundlePath());
    DataKeeper::resetForTesting();
    loggedLines().clear();
    EXPECT_TRUE(DataKeeper::sharedKeeper().allData().isNull());
    EXPECT_TRUE(DataKeeper::specsForModel("iPhone7,2").isNull());
    EXPECT_EQ(loggedLines().size(), 1u);
}

TEST_F(DataKeeperTest, SeedingReplacesAWorkingCopyThatDoesNotLoadOrIsDatedPastTheClock)
{
    const kit::Date bundleDate = kit::Date::fromUnix(1700000000);
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("Bundle") } }, bundleDate);
    struct Case {
        std::string bytes;
        kit::Date date;
    };
    auto readable = kit::PropertyList::write(kit::Dict { { "hello", "world" } });
    ASSERT_TRUE(readable.ok());
    for (const Case& c : { Case { "damaged", kit::Date::now() }, Case { "", bundleDate.byAdding(3600) },
             Case { std::string(readable->begin(), readable->end()), kit::Date::fromUnix(4102444800) } }) {
        writeBytes(workingPath(), c.bytes, c.date);
        DataKeeper::resetForTesting();
        EXPECT_FALSE(DataKeeper::loadableWorkingCopyDate());
        DataKeeper::copyDataFromBundleIfNeeded();
        EXPECT_EQ(readText(workingPath()), readText(bundlePath())) << c.bytes;
        EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), bundleDate);
        EXPECT_EQ(DataKeeper::loadableWorkingCopyDate(), bundleDate);
        EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Bundle");
    }
}

TEST_F(DataKeeperTest, DataIsReadOnceUntilDropped)
{
    useData(kit::Dict { { "iPhone7,2", model("First") } });
    ASSERT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "First");
    writePlist(workingPath(), kit::Dict { { "iPhone7,2", model("Second") } });
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "First");
    DataKeeper::sharedKeeper().dropCachedData();
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Second");
}

// Parsed, the data set is let go when nothing has read it for a while; what was worked out from
// it stays, and the next reader gets it from the file again.
TEST_F(DataKeeperTest, TheParsedDataIsLetGoWhenUnreadForAWhileAndReadAgainWhenNeeded)
{
    auto& loop = kit::RunLoop::main();
    loop.setVirtualClock(true);
    auto& keeper = DataKeeper::sharedKeeper();
    const double keep = DataKeeper::kKeepParsedDataSeconds;
    useData(kit::Dict { { "iPhone7,2", model("First") }, { "iPad2,1", model("iPad 2") } });
    std::string ownKey = DataKeeper::thisModelKey();
    Keys models = DataKeeper::sortedModelsKeys();
    EXPECT_TRUE(keeper.holdsParsedData());
    loop.advance(keep - 1);
    // A read keeps it for another while.
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "First");
    loop.advance(keep - 1);
    EXPECT_TRUE(keeper.holdsParsedData());
    loop.advance(1.5);
    EXPECT_FALSE(keeper.holdsParsedData());

    writePlist(workingPath(), kit::Dict { { "iPhone7,2", model("Second") } });
    EXPECT_EQ(DataKeeper::thisModelKey(), ownKey);
    EXPECT_EQ(DataKeeper::sortedModelsKeys(), models);
    EXPECT_FALSE(keeper.holdsParsedData()) << "the kept values need no reading";
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Second");
    EXPECT_TRUE(keeper.holdsParsedData());
    loop.advance(keep);
    EXPECT_FALSE(keeper.holdsParsedData());
    loop.setVirtualClock(false);
}

// ---- Seeding ---------------------------------------------------------------------------------------------

struct stat statOf(const std::string& path)
{
    struct stat st { };
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

TEST_F(DataKeeperTest, SeedingCreatesTheWorkingCopyWithTheBundleCopysDate)
{
    const kit::Date bundleDate = kit::Date::fromUnix(1700000000.25);
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("iPhone 6") } }, bundleDate);
    DataKeeper::copyDataFromBundleIfNeeded();
    ASSERT_TRUE(kit::FileManager::fileExists(workingPath()));
    EXPECT_EQ(readText(workingPath()), readText(bundlePath()));
    auto workingDate = kit::FileManager::modificationDate(workingPath());
    ASSERT_TRUE(workingDate);
    EXPECT_NEAR(workingDate->timeIntervalSince(bundleDate), 0, 1e-6);
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "iPhone 6");

    // The seeded copy is as new as the bundle copy, so a second launch leaves it alone.
    auto before = statOf(workingPath());
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_EQ(statOf(workingPath()).st_ino, before.st_ino);
}

TEST_F(DataKeeperTest, SeedingLeavesAWorkingCopyOfEqualOrLaterDateAlone)
{
    const kit::Date bundleDate = kit::Date::fromUnix(1700000000);
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("Bundle") } }, bundleDate);
    for (double offset : { 0.0, 1.0, 86400.0 }) {
        writePlist(workingPath(), kit::Dict { { "iPhone7,2", model("Downloaded") } }, bundleDate.byAdding(offset));
        auto content = readText(workingPath());
        DataKeeper::resetForTesting();
        DataKeeper::copyDataFromBundleIfNeeded();
        EXPECT_EQ(readText(workingPath()), content) << "offset " << offset;
        EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Downloaded");
    }
}

TEST_F(DataKeeperTest, SeedingReplacesAnOlderWorkingCopyAndDatesIt)
{
    const kit::Date bundleDate = kit::Date::fromUnix(1700000000);
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("Bundle") } }, bundleDate);
    writePlist(workingPath(), kit::Dict { { "iPhone7,2", model("Old") } }, bundleDate.byAdding(-1));
    ASSERT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Old");

    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_EQ(readText(workingPath()), readText(bundlePath()));
    auto workingDate = kit::FileManager::modificationDate(workingPath());
    ASSERT_TRUE(workingDate);
    EXPECT_NEAR(workingDate->timeIntervalSince(bundleDate), 0, 1e-6);
    // What was read before the seeding is not what the file holds now.
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"].string(), "Bundle");
}

TEST_F(DataKeeperTest, SeedingWithoutABundleCopyDoesNothing)
{
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_FALSE(kit::FileManager::fileExists(workingPath()));

    DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
    kit::Bundle::setMainBundlePath(root + "/empty-bundle");
    DataKeeper::resetForTesting();
    EXPECT_FALSE(DataKeeper::specsInBundlePath());
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_FALSE(kit::FileManager::fileExists(workingPath()));
    kit::Bundle::setMainBundlePath({});
}

// ---- Paths ------------------------------------------------------------------------------------------------

TEST_F(DataKeeperTest, WorkingPathIsInTheApplicationSupportFolderOfTheBundleIdentifier)
{
    std::filesystem::create_directories(root + "/app");
    writeBytes(root + "/app/Info.plist",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
        "<string>org.example.specs</string></dict></plist>");
    writePlist(root + "/app/specs.plist", kit::Dict { { "iPad2,1", model("iPad 2") } });
    kit::Bundle::setMainBundlePath(root + "/app");
    DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
    DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
    DataKeeper::resetForTesting();

    EXPECT_EQ(DataKeeper::specsInBundlePath(), root + "/app/specs.plist");
    EXPECT_EQ(DataKeeper::specsInWorkingDirectoryPath(), root + "/data/org.example.specs/specs.plist");
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_EQ(DataKeeper::specsForModel("iPad2,1")["Name"].string(), "iPad 2");
    EXPECT_TRUE(loggedLines().empty());
    kit::Bundle::setMainBundlePath({});
}

TEST_F(DataKeeperTest, UnavailableSupportFolderIsLoggedOnceAndLeavesNoData)
{
    writeBytes(root + "/data", "a file where the data folder should be");
    writePlist(bundlePath(), kit::Dict { { "iPhone7,2", model("iPhone 6") } });
    DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
    DataKeeper::resetForTesting();

    EXPECT_FALSE(DataKeeper::specsInWorkingDirectoryPath());
    EXPECT_FALSE(DataKeeper::specsInWorkingDirectoryPath());
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_TRUE(DataKeeper::sharedKeeper().allData().isNull());
    EXPECT_EQ(DataKeeper::thisModelKey(), "unknown");
    EXPECT_EQ(DataKeeper::allSpecsKeys(), kDefaultRows);
    ASSERT_EQ(loggedLines().size(), 1u);
    EXPECT_TRUE(kit::hasPrefix(loggedLines()[0], "Error specsInWorkingDirectoryPath: ")) << loggedLines()[0];
    EXPECT_GT(loggedLines()[0].size(), std::string_view("Error specsInWorkingDirectoryPath: ").size());
}

TEST_F(DataKeeperTest, SupportFolderIsCreatedWhenMissing)
{
    DataKeeper::setApplicationSupportDirectoryForTesting(root + "/not/yet/there");
    DataKeeper::resetForTesting();
    EXPECT_EQ(DataKeeper::specsInWorkingDirectoryPath(), root + "/not/yet/there/specs.plist");
    EXPECT_TRUE(kit::FileManager::isDirectory(root + "/not/yet/there"));
}

} // namespace

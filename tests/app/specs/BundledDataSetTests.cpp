// SPDX-License-Identifier: MIT
// Checks of the data set that ships in the bundle and of the tables that translate its texts.

#include "SpecsTestSupport.h"

#include "kit/base/Strings.h"
#include "kit/base/StringsTable.h"
#include "kit/device/DeviceProfile.h"

#include <charconv>
#include <ctime>
#include <set>

namespace {

using specs_test::loggedLines;

const std::string kResources = QUARRIN_SOURCE_DIR "/resources";

bool isListKey(std::string_view key)
{
    return key == DataKeeper::kOrderedSpecsKeysKey || key == DataKeeper::kOrderedComparisonSpecsKeysKey;
}

class BundledDataSet : public specs_test::SpecsFixture {
protected:
    void SetUp() override
    {
        SpecsFixture::SetUp();
        auto read = kit::PropertyList::readFile(kResources + "/specs.plist");
        ASSERT_TRUE(read.ok()) << read.error();
        data = *read;
        ASSERT_TRUE(data.isDict());
    }

    template<typename F>
    void forEachModel(F f)
    {
        for (const auto& [key, entry] : *data.asDict()) {
            if (!isListKey(key))
                f(key, entry);
        }
    }

    kit::Value data;
};

TEST_F(BundledDataSet, LoadsThroughTheKeeperAfterSeeding)
{
    DataKeeper::setBundleSpecsPathForTesting(kResources + "/specs.plist");
    DataKeeper::resetForTesting();
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_TRUE(DataKeeper::sharedKeeper().allData() == data);
    EXPECT_TRUE(loggedLines().empty());
}

TEST_F(BundledDataSet, EveryEntryIsADictionaryWithAName)
{
    forEachModel([](const std::string& key, const kit::Value& entry) {
        ASSERT_TRUE(entry.isDict()) << key;
        ASSERT_TRUE(entry["Name"].isString()) << key;
        EXPECT_FALSE(entry["Name"].string().empty()) << key;
        if (!entry["DetailName"].isNull()) {
            EXPECT_TRUE(entry["DetailName"].isString()) << key;
        }
    });
}

TEST_F(BundledDataSet, HasTheFallbackEntriesAndTheBuiltInProfilesModels)
{
    for (auto key : { "iPhone", "iPod", "iPad", "unknown" })
        EXPECT_TRUE(data[key].isDict()) << key;
    ASSERT_FALSE(kit::DeviceProfile::builtInProfiles().empty());
    for (const auto& profile : kit::DeviceProfile::builtInProfiles())
        EXPECT_TRUE(data[profile.modelIdentifier].isDict()) << profile.name << " " << profile.modelIdentifier;
    for (auto key : { "iPhone4,1", "iPhone6,1", "iPhone7,2", "iPhone7,1", "iPad2,1", "iPad6,7" })
        EXPECT_TRUE(data[key].isDict()) << key;
}

TEST_F(BundledDataSet, CoversAtLeastFortyModelsOfTheThreeFamilies)
{
    std::set<std::string> models;
    std::map<std::string, int> families;
    forEachModel([&](const std::string& key, const kit::Value& entry) {
        if (key == "unknown" || key == "iPhone" || key == "iPod" || key == "iPad")
            return;
        // Variants of one model (Wi-Fi, cellular, GSM, CDMA) share a name and a release date.
        models.insert(entry["Name"].string() + "|" + entry["Release Date"].stringValue().substr(0, 4) + "|"
            + entry["Processor"]["Value"].string());
        for (auto family : { "iPhone", "iPod", "iPad" }) {
            if (kit::hasPrefix(key, family))
                ++families[family];
        }
    });
    EXPECT_GE(models.size(), 40u);
    EXPECT_EQ(families.size(), 3u);
}

TEST_F(BundledDataSet, EveryDefaultRowResolvesToAStringDateOrDictionary)
{
    std::vector<std::string> paths = DataKeeper::defaultSpecsKeys();
    paths.insert(paths.end(), DataKeeper::defaultComparisonSpecsKeys().begin(), DataKeeper::defaultComparisonSpecsKeys().end());
    std::size_t found = 0;
    forEachModel([&](const std::string& key, const kit::Value& entry) {
        for (const auto& path : paths) {
            const auto& value = entry.valueForKeyPath(path);
            if (value.isNull())
                continue;
            ++found;
            EXPECT_TRUE(value.isString() || value.isDate() || value.isDict()) << key << " " << path;
            if (const auto* parts = value.asDict()) {
                EXPECT_FALSE(parts->empty()) << key << " " << path;
                for (const auto& [part, text] : *parts) {
                    EXPECT_TRUE(part == "Value" || part == "NumericValue" || part == "Details") << key << " " << path;
                    EXPECT_TRUE(text.isString()) << key << " " << path << " " << part;
                }
                // The comparison orders rows by the number a figure starts with.
                if (value["NumericValue"].isString()) {
                    EXPECT_GT(value["NumericValue"].doubleValue(), 0) << key << " " << path;
                }
            }
        }
    });
    EXPECT_GT(found, 1000u);
}

TEST_F(BundledDataSet, BatteryLifeHoursAreWholeDecimalStrings)
{
    forEachModel([](const std::string& key, const kit::Value& entry) {
        const auto* life = entry["BatteryLife"].asDict();
        if (!life)
            return;
        for (const auto& [activity, hours] : *life) {
            ASSERT_TRUE(hours.isString()) << key << " " << activity;
            const auto& text = hours.string();
            double value = 0;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << key << " " << text;
            EXPECT_GT(value, 0) << key << " " << activity;
            EXPECT_LE(value, 200) << key << " " << activity;
        }
    });
}

TEST_F(BundledDataSet, DatesAreInOrderAndWithinThePropertyListRange)
{
    const auto earliest = kit::Date::fromUnix(1167609600); // 2007-01-01
    const auto latest = kit::Date::fromUnix(1893456000); // 2030-01-01
    forEachModel([&](const std::string& key, const kit::Value& entry) {
        const auto* released = entry["Release Date"].asDate();
        const auto* discontinued = entry["Discontinued Date"].asDate();
        if (released) {
            EXPECT_GE(*released, earliest) << key;
            EXPECT_LE(*released, latest) << key;
        }
        if (released && discontinued) {
            EXPECT_LT(*released, *discontinued) << key;
        }
    });
}

TEST_F(BundledDataSet, EveryTextTheDataSetUsesIsInBothStringTables)
{
    std::set<std::string> keys = { "n/a", "Duration" };
    for (const auto* list : { &DataKeeper::defaultSpecsKeys(), &DataKeeper::defaultComparisonSpecsKeys() })
        for (const auto& path : *list)
            keys.insert(path.substr(path.rfind('.') + 1));
    forEachModel([&](const std::string&, const kit::Value& entry) {
        for (const auto& [field, value] : *entry.asDict()) {
            if (field == "Name" || field == "DetailName" || field == "BatteryLife")
                continue;
            if (value.isString())
                keys.insert(value.string());
            for (auto part : { "Value", "Details" })
                if (value[part].isString())
                    keys.insert(value[part].string());
        }
    });
    for (auto language : { "en", "de" }) {
        auto bytes = kit::FileManager::readFile(kResources + "/" + language + ".lproj/Localizable.strings");
        ASSERT_TRUE(bytes.ok()) << language;
        auto table = kit::StringsTable::parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
        EXPECT_TRUE(table.errors().empty()) << language << ": " << table.errors().front().message;
        for (const auto& key : keys)
            EXPECT_TRUE(table.lookup(key)) << language << " lacks \"" << key << "\"";
    }
}

TEST_F(BundledDataSet, CommittedFilesMatchTheirReadableSource)
{
    // The plist and the tables' sections are generated from resources/specs; a hand edit or a
    // forgotten regeneration shows here.
    std::filesystem::create_directories(root + "/out/en.lproj");
    std::filesystem::create_directories(root + "/out/de.lproj");
    for (auto language : { "en", "de" })
        std::filesystem::copy_file(kResources + "/" + language + ".lproj/Localizable.strings",
            root + "/out/" + language + ".lproj/Localizable.strings");
    auto command = "python3 '" + kResources + "/specs/generate.py' '" + root + "/out/specs.plist' && python3 '" + kResources
        + "/specs/strings.py' '" + root + "/out'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(readText(root + "/out/specs.plist"), readText(kResources + "/specs.plist"));
    for (auto language : { "en", "de" }) {
        auto name = std::string("/") + language + ".lproj/Localizable.strings";
        EXPECT_EQ(readText(root + "/out" + name), readText(kResources + name)) << language;
    }
}

// The date resources/specs/models.py declares as the data's last change ("DATA_DATE = ...").
std::optional<kit::Date> declaredDataDate()
{
    auto bytes = kit::FileManager::readFile(kResources + "/specs/models.py");
    if (!bytes.ok())
        return std::nullopt;
    std::string source(bytes->begin(), bytes->end());
    auto at = source.find("\nDATA_DATE = \"");
    if (at == std::string::npos)
        return std::nullopt;
    std::tm tm {};
    if (!strptime(source.c_str() + at + 14, "%Y-%m-%dT%H:%M:%SZ", &tm))
        return std::nullopt;
    return kit::Date::fromUnix(static_cast<double>(timegm(&tm)));
}

TEST_F(BundledDataSet, BundleCopyIsDatedWithItsDataNotWithTheCheckoutOrTheBuild)
{
    auto declared = declaredDataDate();
    ASSERT_TRUE(declared);
    EXPECT_LT(*declared, kit::Date::now());
    // The copy the build tree's bundle holds.
    auto bundled = kit::Bundle::mainBundle().pathForResource("specs", "plist");
    ASSERT_TRUE(bundled);
    EXPECT_FALSE(std::filesystem::is_symlink(*bundled)) << *bundled;
    EXPECT_EQ(kit::FileManager::modificationDate(*bundled), declared);
    EXPECT_EQ(readText(*bundled), readText(kResources + "/specs.plist"));
    // Seeding hands that age on: a server data set dated a second later is newer.
    DataKeeper::setBundleSpecsPathForTesting(*bundled);
    DataKeeper::resetForTesting();
    DataKeeper::copyDataFromBundleIfNeeded();
    EXPECT_EQ(DataKeeper::loadableWorkingCopyDate(), declared);
    EXPECT_TRUE(DataKeeper::isNewerThanWorkingCopy(declared->byAdding(1), DataKeeper::loadableWorkingCopyDate()));
}

TEST_F(BundledDataSet, EveryModelResolvesToItselfAndFamiliesCatchNewerModels)
{
    DataKeeper::setBundleSpecsPathForTesting(kResources + "/specs.plist");
    DataKeeper::resetForTesting();
    DataKeeper::copyDataFromBundleIfNeeded();
    forEachModel([](const std::string& key, const kit::Value&) {
        DataKeeper::setModelIdentifierForTesting(key);
        DataKeeper::sharedKeeper().dropCachedData();
        EXPECT_EQ(DataKeeper::thisModelKey(), key);
    });
    for (auto [identifier, family] : { std::pair { "iPhone99,1", "iPhone" }, std::pair { "iPad99,1", "iPad" },
             std::pair { "iPod99,1", "iPod" }, std::pair { "x86_64", "unknown" } }) {
        DataKeeper::setModelIdentifierForTesting(std::string(identifier));
        DataKeeper::sharedKeeper().dropCachedData();
        EXPECT_EQ(DataKeeper::thisModelKey(), family) << identifier;
    }
}

} // namespace

// SPDX-License-Identifier: MIT
// The computers of the bundled data set: their figures, and the firmware texts that lead a real
// machine to its entry (canned /sys/class/dmi/id and device-tree files read by the kit).

#include "SpecsTestSupport.h"

#include "kit/base/Strings.h"
#include "kit/device/Device.h"
#include "kit/device/DeviceIdentity.h"

#include "tests/kit/device/CannedTree.h"

#include <charconv>
#include <map>
#include <set>

namespace {

using kit::test::CannedTree;

const std::string kBundledSpecs = QUARRIN_SOURCE_DIR "/resources/specs.plist";

bool isHandheldOrFallbackKey(std::string_view key)
{
    return kit::hasPrefix(key, "iPhone") || kit::hasPrefix(key, "iPad") || kit::hasPrefix(key, "iPod")
        || key == DataKeeper::kUnknownModelKey;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

class MachineDataSet : public specs_test::SpecsFixture {
protected:
    void SetUp() override
    {
        SpecsFixture::SetUp();
        auto read = kit::PropertyList::readFile(kBundledSpecs);
        ASSERT_TRUE(read.ok()) << read.error();
        data = *read;
        ASSERT_TRUE(data.isDict());
        DataKeeper::setBundleSpecsPathForTesting(kBundledSpecs);
        DataKeeper::resetForTesting();
        DataKeeper::copyDataFromBundleIfNeeded();
    }

    void TearDown() override
    {
        kit::Device::setRoot("/");
        SpecsFixture::TearDown();
    }

    template<typename F>
    void forEachComputer(F f)
    {
        for (const auto& [key, entry] : *data.asDict()) {
            if (!isHandheldOrFallbackKey(key) && key != DataKeeper::kOrderedSpecsKeysKey
                && key != DataKeeper::kOrderedComparisonSpecsKeysKey)
                f(key, entry);
        }
    }

    // What the keeper makes of an identifier, as it would on a machine that reports it.
    std::string resolve(const std::string& identifier)
    {
        DataKeeper::setModelIdentifierForTesting(identifier);
        DataKeeper::sharedKeeper().dropCachedData();
        return DataKeeper::thisModelKey();
    }

    kit::Value data;
};

TEST_F(MachineDataSet, FortyComputersWithNamesAndFiguresOfTheDataSetsForms)
{
    std::set<std::string> models;
    forEachComputer([&](const std::string& key, const kit::Value& entry) {
        ASSERT_TRUE(entry.isDict()) << key;
        ASSERT_TRUE(entry["Name"].isString()) << key;
        EXPECT_FALSE(entry["Name"].string().empty()) << key;
        // The lists show name and detail name only: two entries alike could not be told apart.
        EXPECT_TRUE(models.insert(entry["Name"].string() + "|" + entry["DetailName"].stringValue()).second)
            << key << " reads like another computer";
        for (const auto& [field, value] : *entry.asDict()) {
            // Never a number: the screens show strings, dates and dictionaries only.
            EXPECT_TRUE(value.isString() || value.isDate() || value.isDict()) << key << " " << field;
            if (const auto* parts = value.asDict()) {
                for (const auto& [part, text] : *parts)
                    EXPECT_TRUE(text.isString()) << key << " " << field << " " << part;
            }
        }
        if (const auto* life = entry["BatteryLife"].asDict()) {
            for (const auto& [activity, hours] : *life) {
                const auto& text = hours.string();
                double value = 0;
                auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
                EXPECT_TRUE(hours.isString() && error == std::errc() && end == text.data() + text.size() && value > 0)
                    << key << " " << activity;
            }
        }
    });
    EXPECT_GE(models.size(), 40u);
}

TEST_F(MachineDataSet, EveryRowKeepsOneUnitAcrossTheWholeDataSet)
{
    // The comparison orders a row by the number its figures start with, so a figure in another
    // unit ("1.1 kg" among grams) would be placed wrongly without anyone noticing.
    const std::map<std::string, std::vector<std::string>> units = {
        { "Processor", { " GHz" } },
        { "Onboard RAM", { " MB" } },
        { "Display", { "\"" } },
        { "Weight", { " g" } },
        { "Dimensions", { " mm" } },
        { "Price", { " USD" } },
        // Phones and tablets are rated in mAh, computers in Wh (see resources/specs/models.py).
        { "Battery Capacity", { " mAh", " Wh" } },
    };
    std::size_t checked = 0;
    for (const auto& [key, entry] : *data.asDict()) {
        for (const auto& [path, allowed] : units) {
            const auto& value = entry.valueForKeyPath(path);
            if (value.isNull())
                continue;
            ASSERT_TRUE(value.isDict()) << key << " " << path;
            if (!value["NumericValue"].isString()) {
                // Without a figure the comparison reads the number the text starts with: a
                // "12th Gen" processor would be placed as 12 GHz.
                EXPECT_EQ(kit::Value(value["Value"].string()).doubleValue(), 0) << key << " " << path;
                continue;
            }
            const auto& figure = value["NumericValue"].string();
            bool matches = false;
            for (const auto& unit : allowed)
                matches = matches || endsWith(figure, unit);
            EXPECT_TRUE(matches) << key << " " << path << ": " << figure;
            EXPECT_GT(value["NumericValue"].doubleValue(), 0) << key << " " << path << ": " << figure;
            ++checked;
        }
    }
    EXPECT_GT(checked, 500u);
}

TEST_F(MachineDataSet, ComputerKeysResolveToThemselvesWhateverFollowsThem)
{
    // Device trees add the board revision, Lenovo the rest of the machine type: the longest key
    // that begins the identifier must be the computer's own, not a shorter sibling's
    // ("Raspberry Pi 3 Model B" begins "Raspberry Pi 3 Model B Plus Rev 1.3").
    std::size_t computers = 0;
    forEachComputer([&](const std::string& key, const kit::Value&) {
        ++computers;
        EXPECT_EQ(resolve(key), key);
        auto suffix = kit::hasPrefix(key, "LENOVO ") ? "CTO1WW" : " Rev 1.4";
        EXPECT_EQ(resolve(key + suffix), key) << key + suffix;
    });
    EXPECT_GE(computers, 40u);
}

struct FirmwareCase {
    const char* machine;
    std::vector<std::pair<const char*, std::string>> files;
    const char* key;
    const char* name;
    const char* detailName;
};

// Texts as the firmware writes them: device-tree strings end in NUL, DMI attributes in a newline,
// some with trailing spaces.
const std::vector<FirmwareCase>& firmwareCases()
{
    using namespace std::string_literals;
    static const std::vector<FirmwareCase> cases = {
        { "Raspberry Pi 4", { { "/proc/device-tree/model", "Raspberry Pi 4 Model B Rev 1.4\0"s } }, "Raspberry Pi 4 Model B",
            "Raspberry Pi 4", "Model B" },
        { "Raspberry Pi 3 B+", { { "/proc/device-tree/model", "Raspberry Pi 3 Model B Plus Rev 1.3\0"s } },
            "Raspberry Pi 3 Model B Plus", "Raspberry Pi 3", "Model B+" },
        { "Raspberry Pi 3 B", { { "/proc/device-tree/model", "Raspberry Pi 3 Model B Rev 1.2\0"s } }, "Raspberry Pi 3 Model B",
            "Raspberry Pi 3", "Model B" },
        { "Raspberry Pi Zero 2 W", { { "/proc/device-tree/model", "Raspberry Pi Zero 2 W Rev 1.0\0"s } }, "Raspberry Pi Zero 2 W",
            "Raspberry Pi Zero 2 W", "" },
        // Some kernels expose the tree only under /sys/firmware.
        { "Raspberry Pi 5", { { "/sys/firmware/devicetree/base/model", "Raspberry Pi 5 Model B Rev 1.0\0"s } },
            "Raspberry Pi 5 Model B", "Raspberry Pi 5", "Model B" },
        { "Pinebook Pro", { { "/proc/device-tree/model", "Pine64 Pinebook Pro\0"s } }, "Pine64 Pinebook Pro", "Pinebook Pro",
            "" },
        { "Framework 13, 12th Gen",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" },
                { "/sys/class/dmi/id/product_name", "Laptop (12th Gen Intel Core)\n" } },
            "Framework Laptop (12th Gen Intel Core)", "Framework Laptop 13", "12th Gen Intel Core" },
        { "Framework 13, AMD",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" },
                { "/sys/class/dmi/id/product_name", "Laptop 13 (AMD Ryzen 7040Series)\n" } },
            "Framework Laptop 13 (AMD Ryzen 7040", "Framework Laptop 13", "AMD Ryzen 7040 Series" },
        { "Framework 13, AMD, the other spelling",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" },
                { "/sys/class/dmi/id/product_name", "Laptop 13 (AMD Ryzen 7040 Series)\n" } },
            "Framework Laptop 13 (AMD Ryzen 7040", "Framework Laptop 13", "AMD Ryzen 7040 Series" },
        { "Framework 16",
            { { "/sys/class/dmi/id/sys_vendor", "Framework \n" },
                { "/sys/class/dmi/id/product_name", "Laptop 16 (AMD Ryzen 7040 Series)  \n" } },
            "Framework Laptop 16 (AMD Ryzen 7040 Series)", "Framework Laptop 16", "AMD Ryzen 7040 Series" },
        { "ThinkPad X1 Carbon Gen 9",
            { { "/sys/class/dmi/id/sys_vendor", "LENOVO\n" }, { "/sys/class/dmi/id/product_name", "20XWCTO1WW\n" } },
            "LENOVO 20XW", "ThinkPad X1 Carbon", "Gen 9, 20XW" },
        { "ThinkPad T14 Gen 3 AMD",
            { { "/sys/class/dmi/id/sys_vendor", "LENOVO\n" }, { "/sys/class/dmi/id/product_name", "21CF0002GE\n" } },
            "LENOVO 21CF", "ThinkPad T14", "Gen 3, AMD, 21CF" },
        { "ThinkPad X13 Gen 2 Intel",
            { { "/sys/class/dmi/id/sys_vendor", "LENOVO\n" }, { "/sys/class/dmi/id/product_name", "20WK00AGUS\n" } },
            "LENOVO 20WK", "ThinkPad X13", "Gen 2, Intel, 20WK" },
        { "Dell XPS 13 9380",
            { { "/sys/class/dmi/id/sys_vendor", "Dell Inc.\n" }, { "/sys/class/dmi/id/product_name", "XPS 13 9380\n" } },
            "Dell Inc. XPS 13 9380", "XPS 13", "9380" },
        { "HP EliteBook 840 G8",
            { { "/sys/class/dmi/id/sys_vendor", "HP\n" },
                { "/sys/class/dmi/id/product_name", "HP EliteBook 840 G8 Notebook PC\0\n"s } },
            "HP HP EliteBook 840 G8 Notebook PC", "HP EliteBook 840", "G8" },
        { "Steam Deck LCD", { { "/sys/class/dmi/id/sys_vendor", "Valve\n" }, { "/sys/class/dmi/id/product_name", "Jupiter\n" } },
            "Valve Jupiter", "Steam Deck", "LCD" },
        { "Steam Deck OLED", { { "/sys/class/dmi/id/sys_vendor", "Valve\n" }, { "/sys/class/dmi/id/product_name", "Galileo\n" } },
            "Valve Galileo", "Steam Deck", "OLED" },
        { "Librem 14", { { "/sys/class/dmi/id/sys_vendor", "Purism\n" }, { "/sys/class/dmi/id/product_name", "Librem 14\n" } },
            "Purism Librem 14", "Librem 14", "" },
        // System76's firmware pads its texts; the generation is only in product_version.
        { "System76 Lemur Pro (lemp13)",
            { { "/sys/class/dmi/id/sys_vendor", "System76\n" }, { "/sys/class/dmi/id/product_name", "Lemur Pro   \n" },
                { "/sys/class/dmi/id/product_version", "lemp13\n" } },
            "System76 Lemur Pro", "Lemur Pro", "" },
        { "System76 Darter Pro",
            { { "/sys/class/dmi/id/sys_vendor", "System76 \0\n"s }, { "/sys/class/dmi/id/product_name", "Darter Pro\n" } },
            "System76 Darter Pro", "Darter Pro", "" },
        { "TUXEDO InfinityBook S 14 v5",
            { { "/sys/class/dmi/id/sys_vendor", "TUXEDO\n" }, { "/sys/class/dmi/id/product_name", "InfinityBook_S_14_v5\n" },
                { "/sys/class/dmi/id/product_version", "Not Applicable                  \n" } },
            "TUXEDO InfinityBook_S_14_v5", "InfinityBook S 14", "v5" },
        // Another TUXEDO model is not taken for the one the data set knows.
        { "TUXEDO, another model",
            { { "/sys/class/dmi/id/sys_vendor", "TUXEDO\n" }, { "/sys/class/dmi/id/product_name", "InfinityBook_S_15_v5\n" } },
            "unknown", "Unknown device", "" },
        // A board maker's placeholders, in whatever case, are no model.
        { "Unbranded board",
            { { "/sys/class/dmi/id/sys_vendor", "TO BE FILLED BY O.E.M.\n" },
                { "/sys/class/dmi/id/product_name", "default String\n" } },
            "unknown", "Unknown device", "" },
        // A vendor alone begins no entry's key: no "Framework" entry stands in for any model.
        { "Framework, placeholder product",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" }, { "/sys/class/dmi/id/product_name", "Not Specified\n" } },
            "unknown", "Unknown device", "" },
        // Newer than the data set: neither the first Framework Laptop's entry (left out for this
        // reason) nor another ThinkPad's takes its place.
        { "Framework 13, newer",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" },
                { "/sys/class/dmi/id/product_name", "Laptop 13 (Intel Core Ultra Series 1)\n" } },
            "unknown", "Unknown device", "" },
        { "ThinkPad, newer",
            { { "/sys/class/dmi/id/sys_vendor", "LENOVO\n" }, { "/sys/class/dmi/id/product_name", "21ZZCTO1WW\n" } }, "unknown",
            "Unknown device", "" },
    };
    return cases;
}

TEST_F(MachineDataSet, CannedFirmwareOfEachFamilyResolvesToItsEntry)
{
    DataKeeper::setModelIdentifierForTesting(std::nullopt);
    for (const auto& machine : firmwareCases()) {
        SCOPED_TRACE(machine.machine);
        CannedTree tree;
        for (const auto& [path, text] : machine.files)
            tree.write(path, text);
        kit::Device::setRoot(tree.root());
        DataKeeper::sharedKeeper().dropCachedData();
        EXPECT_EQ(DataKeeper::thisModelKey(), machine.key) << kit::Device::modelIdentifier();
        const auto entry = DataKeeper::specsForModel(DataKeeper::thisModelKey());
        ASSERT_TRUE(entry.isDict());
        EXPECT_EQ(entry["Name"].stringValue(), machine.name);
        EXPECT_EQ(entry["DetailName"].stringValue(), machine.detailName);
    }
}

} // namespace

// SPDX-License-Identifier: MIT
#include "common/metrics/SharedTools.h"

#include "kit/base/Bundle.h"
#include "kit/device/Device.h"

#include <gtest/gtest.h>

TEST(SharedTools, BytesRepresentationStepsAreStrictAndSinglePrecision)
{
    struct Case {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        { 0, "0.0 KB" },
        { 512, "0.5 KB" },
        { 1024, "1.0 KB" },
        { 1048576, "1024.0 KB" },
        { 1048577, "1.0 MB" },
        { 1073741824, "1024.0 MB" },
        { 2147483648, "2.0 GB" },
        { 16000000000, "14.9 GB" },
        { 1099511627776, "1024.0 GB" },
        { 3000000000000, "2.7 TB" },
        // Within float rounding of the GB step: stays on the lower side.
        { 1073741825, "1024.0 MB" },
        // Nothing above TB.
        { 1ull << 52, "4096.0 TB" },
        { UINT64_MAX, "16777216.0 TB" },
    };
    for (auto& c : cases)
        EXPECT_EQ(SharedTools::bytesRepresentation(c.bytes), c.text) << c.bytes;
}

TEST(SharedTools, PageSizeTruncatesAndCategoriesScaleByIt)
{
    SharedTools::MemoryFigures memory { 1073741824, 1000, 2000, 500, 500 };
    auto usage = kit::Value(SharedTools::usageDict(memory, 0, 0));
    // 1073741824 / 4000 = 268435.456 → 268435 bytes a page.
    EXPECT_EQ(usage[SharedTools::kFreeRamStrKey], kit::Value(SharedTools::bytesRepresentation(268435000)));
    EXPECT_NEAR(usage[SharedTools::kFreePercentRamKey].doubleValue(), 268435000.0 / 1073741824.0, 1e-12);
    EXPECT_NEAR(usage[SharedTools::kActivePercentRamKey].doubleValue(), 536870000.0 / 1073741824.0, 1e-12);
    double sum = usage[SharedTools::kFreePercentRamKey].doubleValue() + usage[SharedTools::kActivePercentRamKey].doubleValue()
        + usage[SharedTools::kInactivePercentRamKey].doubleValue() + usage[SharedTools::kWiredPercentRamKey].doubleValue();
    EXPECT_LE(sum, 1.0);
    EXPECT_GT(sum, 0.9999);
    // Physical memory itself, not the slightly smaller sum of the four.
    EXPECT_EQ(usage[SharedTools::kAllRamStrKey], kit::Value("1024.0 MB"));
}

TEST(SharedTools, PageCountsAddUpIn32BitsWrapping)
{
    // 2^32 - 1 + 1 wraps to 0: no page size, every category 0 bytes.
    SharedTools::MemoryFigures memory { 8ull << 30, 0xFFFFFFFFu, 1, 0, 0 };
    auto usage = kit::Value(SharedTools::usageDict(memory, 100, 50));
    EXPECT_EQ(usage[SharedTools::kFreeRamStrKey], kit::Value("0.0 KB"));
    EXPECT_EQ(usage[SharedTools::kFreePercentRamKey].doubleValue(), 0.0);
    EXPECT_EQ(usage[SharedTools::kAllRamStrKey], kit::Value("8.0 GB"));
}

TEST(SharedTools, ZeroDenominatorsGiveZeroFractions)
{
    auto usage = kit::Value(SharedTools::usageDict({}, 0, 0));
    ASSERT_EQ(usage.count(), 13u);
    for (auto key : { SharedTools::kFreePercentRamKey, SharedTools::kInactivePercentRamKey, SharedTools::kActivePercentRamKey,
             SharedTools::kWiredPercentRamKey, SharedTools::kUsedPercentDiskKey }) {
        ASSERT_TRUE(usage[key].isReal()) << key;
        EXPECT_EQ(usage[key].doubleValue(), 0.0) << key;
    }
    EXPECT_EQ(usage[SharedTools::kAllDiskStrKey], kit::Value("0.0 KB"));
    EXPECT_EQ(usage[SharedTools::kAllRamStrKey], kit::Value("0.0 KB"));
}

TEST(SharedTools, DiskUsedIsTotalLessFree)
{
    auto usage = kit::Value(SharedTools::usageDict({}, 4000000000, 1000000000));
    EXPECT_DOUBLE_EQ(usage[SharedTools::kUsedPercentDiskKey].doubleValue(), 0.75);
    EXPECT_EQ(usage[SharedTools::kUsedDiskStrKey], kit::Value(SharedTools::bytesRepresentation(3000000000)));
    EXPECT_EQ(usage[SharedTools::kFreeDiskStrKey], kit::Value(SharedTools::bytesRepresentation(1000000000)));
    EXPECT_EQ(usage[SharedTools::kAllDiskStrKey], kit::Value("3.7 GB"));
}

TEST(SharedTools, SnapshotOfThisMachineIsComplete)
{
    auto usage = kit::Value(SharedTools::usageDict());
    EXPECT_EQ(usage.count(), 13u);
    EXPECT_GT(usage[SharedTools::kFreePercentRamKey].doubleValue(), 0.0);
    EXPECT_NE(usage[SharedTools::kAllRamStrKey], kit::Value("0.0 KB"));
    EXPECT_EQ(SharedTools::bootTimeString().rfind("Boot time: ", 0), 0u);
    EXPECT_NE(SharedTools::bootTimeString(), "Boot time: n/a");
}

TEST(SharedTools, BootTimeUnreadableSaysNotAvailable)
{
    auto saved = kit::Device::root();
    kit::Device::setRoot("/nonexistent-root-for-test");
    EXPECT_EQ(SharedTools::bootTimeString(), "Boot time: n/a");
    auto usage = kit::Value(SharedTools::usageDict());
    EXPECT_EQ(usage[SharedTools::kAllRamStrKey], kit::Value("0.0 KB"));
    kit::Device::setRoot(saved);
}

namespace {
kit::Value launchEntries()
{
    auto entry = [](const char* size, const char* orientation, const char* name) {
        return kit::Value(kit::Dict { { "UILaunchImageSize", size }, { "UILaunchImageOrientation", orientation },
            { "UILaunchImageName", name } });
    };
    return kit::Array {
        entry("{320, 568}", "Portrait", "Launch-568h"),
        entry("{320, 568}", "Landscape", "Launch-568h-Landscape"),
        entry("{375, 667}", "Portrait", "Launch-667h"),
        entry("{375, 667}", "Portrait", "Launch-667h-second"),
        entry("{1024, 1366}", "Portrait", "Launch-1366h"),
        entry("{768, 1024}", "Landscape", "Launch-Pad-Landscape"),
    };
}
} // namespace

TEST(SharedTools, LaunchImageMatchesSizeAndOrientationExactly)
{
    auto entries = launchEntries();
    EXPECT_EQ(SharedTools::launchImageName({ 320, 568 }, false, entries), "Launch-568h");
    EXPECT_EQ(SharedTools::launchImageName({ 568, 320 }, false, entries), "Launch-568h-Landscape");
    // The first match wins.
    EXPECT_EQ(SharedTools::launchImageName({ 375, 667 }, false, entries), "Launch-667h");
    EXPECT_EQ(SharedTools::launchImageName({ 1024, 768 }, true, entries), "Launch-Pad-Landscape");
    EXPECT_EQ(SharedTools::launchImageName({ 768, 1024 }, true, entries), "LaunchImage");
    EXPECT_EQ(SharedTools::launchImageName({ 414, 736 }, false, entries), "LaunchImage");
    EXPECT_EQ(SharedTools::launchImageName({ 320, 568 }, false, kit::Value()), "LaunchImage");
    // Malformed entries are passed over.
    kit::Value broken = kit::Array { kit::Value("x"), kit::Dict { { "UILaunchImageSize", "320, 568" } } };
    EXPECT_EQ(SharedTools::launchImageName({ 320, 568 }, false, broken), "LaunchImage");
}

TEST(SharedTools, LargeTabletTakesItsOwnPictureWhateverTheEntries)
{
    auto entries = launchEntries();
    EXPECT_EQ(SharedTools::launchImageName({ 1024, 1366 }, true, entries), "Default-Portrait-ipad-pro.png");
    EXPECT_EQ(SharedTools::launchImageName({ 1366, 1024 }, true, entries), "Default-Landscape-ipad-pro.png");
    // A phone of that size is not a tablet.
    EXPECT_EQ(SharedTools::launchImageName({ 1024, 1366 }, false, entries), "Launch-1366h");
}

TEST(SharedTools, MissingFontsFallBackToTheSystemFontOfTheSameSize)
{
    // The tests run with DejaVu only, so the Helvetica family is missing.
    auto bold = SharedTools::fontWithName("HelveticaNeue-CondensedBold", 15);
    ASSERT_NE(bold, nullptr);
    EXPECT_EQ(bold->familyName(), kit::Font::boldSystemFont(15)->familyName());
    EXPECT_TRUE(bold->isBold());
    EXPECT_DOUBLE_EQ(bold->pointSize(), 15);
    auto regular = SharedTools::fontWithName("HelveticaNeue", 11);
    ASSERT_NE(regular, nullptr);
    EXPECT_FALSE(regular->isBold());
    EXPECT_DOUBLE_EQ(regular->pointSize(), 11);
    auto present = SharedTools::fontWithName("DejaVuSans-Bold", 12);
    ASSERT_NE(present, nullptr);
    EXPECT_EQ(present->familyName(), "DejaVu Sans");
}

// "Boot time:" was a fixed English text in the middle of German screens.
TEST(SharedTools, BootTimeLabelSpeaksTheUserLanguage)
{
    const char* saved = getenv("LANGUAGE");
    std::string previous = saved ? saved : "";
    setenv("LANGUAGE", "de", 1);
    kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources");
    EXPECT_EQ(SharedTools::bootTimeString().rfind("Startzeit: ", 0), 0u) << SharedTools::bootTimeString();
    auto root = kit::Device::root();
    kit::Device::setRoot("/nonexistent-root-for-test");
    EXPECT_EQ(SharedTools::bootTimeString(), "Startzeit: k. A.");
    kit::Device::setRoot(root);
    if (saved)
        setenv("LANGUAGE", previous.c_str(), 1);
    else
        unsetenv("LANGUAGE");
    kit::Bundle::setMainBundlePath({});
}

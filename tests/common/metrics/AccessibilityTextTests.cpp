// SPDX-License-Identifier: MIT
#include "common/metrics/AccessibilityText.h"

#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"

#include <gtest/gtest.h>

namespace {

kit::Value usage()
{
    return kit::Dict { { std::string(SharedTools::kUsedDiskStrKey), "173.3 GB" },
        { std::string(SharedTools::kFreeDiskStrKey), "78.7 GB" }, { std::string(SharedTools::kAllDiskStrKey), "252.0 GB" },
        { std::string(SharedTools::kWiredRamStrKey), "1.2 GB" }, { std::string(SharedTools::kActiveRamStrKey), "3.4 GB" },
        { std::string(SharedTools::kInactiveRamStrKey), "2.0 GB" }, { std::string(SharedTools::kFreeRamStrKey), "5.6 GB" },
        { std::string(SharedTools::kAllRamStrKey), "16.0 GB" } };
}

class AccessibilityTextTest : public ::testing::Test {
protected:
    void SetUp() override { kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources"); }
    void TearDown() override { kit::Bundle::setMainBundlePath({}); }
};

} // namespace

TEST(AccessibilityTextFormat, PlaceholdersFillInOrderAndMissingValuesLeaveNothing)
{
    EXPECT_EQ(AccessibilityText::fillIn("Used %@ of %@", { "1 GB", "2 GB" }), "Used 1 GB of 2 GB");
    EXPECT_EQ(AccessibilityText::fillIn("Used %@ of %@", { "1 GB" }), "Used 1 GB of ");
    // A lone "%" and extra values are left alone.
    EXPECT_EQ(AccessibilityText::fillIn("100% %@", { "full", "extra" }), "100% full");
    EXPECT_EQ(AccessibilityText::fillIn("%", {}), "%");
}

TEST_F(AccessibilityTextTest, FiguresReadAsSentencesFromTheStringTables)
{
    EXPECT_EQ(AccessibilityText::diskBar(usage()), "Used 173.3 GB of 252.0 GB");
    EXPECT_EQ(AccessibilityText::memoryBar(usage()), "Free 5.6 GB of 16.0 GB");
    EXPECT_EQ(AccessibilityText::diskPanel(usage()), "Disk: used 173.3 GB, free 78.7 GB, capacity 252.0 GB");
    EXPECT_EQ(AccessibilityText::memoryPanel(usage()),
        "Memory: wired 1.2 GB, active 3.4 GB, inactive 2.0 GB, free 5.6 GB, total 16.0 GB");
    EXPECT_EQ(AccessibilityText::networkHeader("eth0", "47.9 MB", "85.0 KB"), "eth0, received 47.9 MB, sent 85.0 KB");
    // An interface without counters is read by its name alone.
    EXPECT_EQ(AccessibilityText::networkHeader("wlan0", "", ""), "wlan0");
    EXPECT_EQ(AccessibilityText::legend("Inactive", "2.0 GB"), "Inactive 2.0 GB");
    // Figures missing from the snapshot leave their places empty rather than failing.
    EXPECT_EQ(AccessibilityText::diskBar(kit::Dict {}), "Used  of ");
}

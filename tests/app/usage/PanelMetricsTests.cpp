// SPDX-License-Identifier: MIT
#include "app/usage/PanelMetrics.h"

#include <gtest/gtest.h>

namespace {

struct WidthCase {
    double width;
    bool pad;
    double scale;
    const char* suffix;
};

class PanelMetricsWidth : public ::testing::TestWithParam<WidthCase> { };

TEST_P(PanelMetricsWidth, ScaleAndArtworkFollowTheWidth)
{
    const WidthCase& row = GetParam();
    PanelMetrics metrics = panelMetrics(row.width, row.pad, { 200, 10 }, 8);
    EXPECT_DOUBLE_EQ(metrics.scale, row.scale);
    EXPECT_EQ(metrics.imageSuffix, row.suffix);
    EXPECT_EQ(panelImageSuffix(row.width), row.suffix);
    // Phones place everything in proportion to the width; tablets at fixed points.
    EXPECT_DOUBLE_EQ(metrics.memoryPanelCenterY, row.pad ? 360 : 190 * row.scale);
    EXPECT_DOUBLE_EQ(metrics.barBox.x(), row.pad ? 92 : 22 * row.scale);
}

INSTANTIATE_TEST_SUITE_P(Widths, PanelMetricsWidth,
    ::testing::Values(WidthCase { 320, false, 1.0, "" }, WidthCase { 375, false, 375.0 / 320, "-667h" },
        WidthCase { 414, false, 414.0 / 320, "" }, WidthCase { 768, true, 1.0, "" },
        // The tall-phone artwork goes with the width, not the idiom.
        WidthCase { 375, true, 1.0, "-667h" }));

TEST(PanelMetrics, PhoneLegendRoundsHalvesAwayFromZeroAndStepsAQuarterBar)
{
    PanelMetrics metrics = panelMetrics(320, false, { 200, 10 }, 8);
    EXPECT_DOUBLE_EQ(metrics.columnWidth, 50);
    EXPECT_DOUBLE_EQ(metrics.markCenter(0).x, 26);
    EXPECT_DOUBLE_EQ(metrics.markCenter(3).x, 176);
    EXPECT_DOUBLE_EQ(metrics.markCenter(3).y, 58);

    // 58 − 11/2 = 52.5 rounds up to 53.
    kit::Rect name = metrics.nameFrame(0);
    EXPECT_DOUBLE_EQ(name.x(), 33);
    EXPECT_DOUBLE_EQ(name.y(), 53);
    EXPECT_DOUBLE_EQ(name.width(), 36);
    EXPECT_DOUBLE_EQ(name.height(), 11);
    kit::Rect value = metrics.valueFrame(2);
    EXPECT_DOUBLE_EQ(value.x(), 133);
    EXPECT_DOUBLE_EQ(value.y(), 67);
    EXPECT_DOUBLE_EQ(value.width(), 36);
    EXPECT_DOUBLE_EQ(value.height(), 11);

    // The boot time stands above the panel, as wide as the bar.
    EXPECT_DOUBLE_EQ(metrics.bootTimeFrame.y(), -18);
    EXPECT_DOUBLE_EQ(metrics.bootTimeFrame.width(), 200);
}

TEST(PanelMetrics, TabletLegendUsesFixedPoints)
{
    PanelMetrics metrics = panelMetrics(768, true, { 480, 24 }, 12);
    EXPECT_DOUBLE_EQ(metrics.columnWidth, 120);
    EXPECT_EQ(metrics.barBox, (kit::Rect { 92, 41, 480, 24 }));
    EXPECT_DOUBLE_EQ(metrics.markCenter(1).x, 218);
    kit::Rect name = metrics.nameFrame(1);
    EXPECT_EQ(name, (kit::Rect { 92 + 12 + 4 + 120, 91, 120 - 20, 16 }));
    EXPECT_EQ(metrics.valueFrame(1), (kit::Rect { name.x(), 111, 100, 17 }));
    EXPECT_EQ(metrics.overlayCenter, (kit::Point { 381, 66 }));
}

TEST(PanelMetrics, MissingArtworkGivesEmptyColumnsNotNegativeOnes)
{
    // Without the images the bar and marks measure 0: nothing may come out with a negative width
    // that a label would then draw backwards.
    PanelMetrics metrics = panelMetrics(320, false, {}, 0);
    EXPECT_DOUBLE_EQ(metrics.columnWidth, 0);
    EXPECT_GE(metrics.nameFrame(0).width(), 0);
    EXPECT_GE(metrics.valueFrame(3).width(), 0);
}

} // namespace

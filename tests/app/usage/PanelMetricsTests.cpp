// SPDX-License-Identifier: MIT
#include "app/usage/PanelMetrics.h"

#include <cmath>
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

TEST(PanelMetrics, OnlyPhoneWidthsWithoutArtworkOfTheirOwnScaleTheImages)
{
    EXPECT_DOUBLE_EQ(panelImageScale(320, false), 1);
    EXPECT_DOUBLE_EQ(panelImageScale(375, false), 1);
    EXPECT_DOUBLE_EQ(panelImageScale(414, false), 414.0 / 320);
    // A phone window resized to any other width, narrower too.
    EXPECT_DOUBLE_EQ(panelImageScale(360, false), 360.0 / 320);
    EXPECT_DOUBLE_EQ(panelImageScale(768, true), 1);
    EXPECT_DOUBLE_EQ(panelImageScale(0, false), 1);

    // At 414 the bar box is the scaled bar and the legend steps a quarter of it: the value labels
    // stay inside an 88 × k plate and the bar on the track drawn at 22 × k.
    double k = 414.0 / 320;
    PanelMetrics metrics = panelMetrics(414, false, { 272, 30 }, 8);
    EXPECT_DOUBLE_EQ(metrics.imageScale, k);
    EXPECT_EQ(metrics.barBox, (kit::Rect { 22 * k, 23 * k, 272 * k, 30 * k }));
    EXPECT_DOUBLE_EQ(metrics.columnWidth, std::round(static_cast<float>(272 * k * 0.25)));
    EXPECT_LE(metrics.valueFrame(3).maxY(), 88 * k);
    EXPECT_GE(metrics.nameFrame(0).minY(), metrics.barBox.maxY());
    EXPECT_DOUBLE_EQ(metrics.markCenter(0).x, std::round(static_cast<float>(22 * k + 4 * k)));
}

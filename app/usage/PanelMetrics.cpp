// SPDX-License-Identifier: MIT
#include "app/usage/PanelMetrics.h"

#include <algorithm>
#include <cmath>

namespace {

// Single precision, halves away from zero: the positions the panels have always used.
double roundf32(double value) { return std::round(static_cast<float>(value)); }

} // namespace

std::string panelImageSuffix(double viewWidth) { return viewWidth == 375 ? "-667h" : ""; }

double panelImageScale(double viewWidth, bool pad)
{
    if (pad || !panelImageSuffix(viewWidth).empty() || viewWidth == 320 || !(viewWidth > 0))
        return 1;
    return viewWidth / 320.0;
}

kit::Point PanelMetrics::markCenter(int column) const
{
    return { roundf32(barBox.x() + markWidth / 2 + columnWidth * column), legendMidY };
}

kit::Rect PanelMetrics::nameFrame(int column) const
{
    double x = barBox.x() + markWidth + gap + columnWidth * column;
    // Without artwork the column is narrower than its gaps; the name then gets no room at all.
    double width = std::max(0.0, columnWidth - (2 * gap + markWidth));
    return { x, roundf32(legendMidY - nameFontSize / 2), width, nameFontSize };
}

kit::Rect PanelMetrics::valueFrame(int column) const
{
    kit::Rect name = nameFrame(column);
    return { name.x(), name.maxY() + gap, name.width(), valueFontSize };
}

PanelMetrics panelMetrics(double viewWidth, bool pad, kit::Size barSize, double markWidth)
{
    PanelMetrics metrics;
    metrics.scale = pad ? 1.0 : viewWidth / 320.0;
    metrics.imageSuffix = panelImageSuffix(viewWidth);
    metrics.imageScale = panelImageScale(viewWidth, pad);
    double scale = metrics.scale;
    barSize = { barSize.width * metrics.imageScale, barSize.height * metrics.imageScale };
    markWidth *= metrics.imageScale;
    auto pick = [pad](double onPad, double onPhone) { return pad ? onPad : onPhone; };

    metrics.diskPanelCenterY = pick(180, 94 * scale);
    metrics.memoryPanelCenterY = pick(360, 190 * scale);
    double barLeft = pick(92, 22 * scale);
    metrics.barBox = { barLeft, pick(41, 23 * scale), barSize.width, barSize.height };
    metrics.overlayCenter = { pick(381, 158 * scale), pick(66, 38 * scale) };
    metrics.titleFrame = { barLeft, pick(14, 8), barSize.width, pick(17, 12) };
    metrics.titleFontSize = pick(17, 12);
    metrics.bootTimeFrame = { barLeft, pick(-22, -18), barSize.width, 18 };
    metrics.bootTimeFontSize = pick(16, 11);

    metrics.legendMidY = pick(99, 58 * scale);
    metrics.markWidth = markWidth;
    metrics.nameFontSize = pick(16, 11);
    metrics.valueFontSize = pick(17, 11);
    metrics.gap = pick(4, 3);
    metrics.columnWidth = roundf32(barSize.width * 0.25);
    return metrics;
}

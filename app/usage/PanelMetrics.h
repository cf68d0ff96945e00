// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <string>

// Where the parts of a Usage panel (disk or memory) stand. Tablets use fixed figures; phones scale
// theirs with the view's width. Panel centres are in the screen's view, the rest in the panel's
// own coordinates. Legend columns count from 0 at the left, a quarter of the bar apart.
struct PanelMetrics {
    // 1 on a tablet, the view's width ÷ 320 on a phone.
    double scale = 1;
    // "-667h" for a view exactly 375 points wide: the artwork drawn for that width.
    std::string imageSuffix;

    double diskPanelCenterY = 0;
    double memoryPanelCenterY = 0;
    // Clips the bars; as large as the bar artwork.
    kit::Rect barBox;
    // Where the glass over the bars is centred.
    kit::Point overlayCenter;
    kit::Rect titleFrame;
    double titleFontSize = 0;
    // Above the disk panel, so its y is negative.
    kit::Rect bootTimeFrame;
    double bootTimeFontSize = 0;

    double legendMidY = 0;
    double markWidth = 0;
    double nameFontSize = 0;
    double valueFontSize = 0;
    // Between a mark and its name, and between a name and its value.
    double gap = 0;
    double columnWidth = 0;

    kit::Point markCenter(int column) const;
    kit::Rect nameFrame(int column) const;
    kit::Rect valueFrame(int column) const;
};

// "-667h" for a view exactly 375 points wide, else empty.
std::string panelImageSuffix(double viewWidth);

// The metrics for a view of the given width. barSize is the bar artwork's size and markWidth the
// legend mark's width: both come from the images, which the caller has loaded.
PanelMetrics panelMetrics(double viewWidth, bool pad, kit::Size barSize, double markWidth);

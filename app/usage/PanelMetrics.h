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
    // How much larger than their natural size the panel images are drawn. The phone artwork is
    // drawn for 320 and 375 points; at any other phone width it is scaled with the positions
    // (k), so the plate, its track and glass, the bars and the marks keep their places.
    double imageScale = 1;

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
// The factor the panel images are drawn at: k on a phone whose width has no artwork of its own
// (neither 320 nor 375), else 1.
double panelImageScale(double viewWidth, bool pad);

// The metrics for a view of the given width. barSize is the bar artwork's size and markWidth the
// legend mark's width, both natural sizes from the images, which the caller has loaded; the
// metrics scale them by imageScale.
PanelMetrics panelMetrics(double viewWidth, bool pad, kit::Size barSize, double markWidth);

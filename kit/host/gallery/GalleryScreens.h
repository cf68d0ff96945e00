// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class View;

// The screens of kit-gallery, each a plain view tree of the given size.
struct GalleryScreen {
    std::string name;
    std::function<std::shared_ptr<View>(double width, double height)> build;
};

// "controls" (labels, fonts, alignments, buttons, images, colours), "busy" (60 labels and
// 20 images, the benchmark's screen), then the controllers: "navigation" (a pushed screen
// with its back button and an Edit item), "tabs", "segments", "alert", "popover" and
// "editing" (a table with its delete and insert controls). The controller pages keep their
// controller alive in the returned view; alerts and popovers come up once it is on screen.
const std::vector<GalleryScreen>& galleryScreens();
std::shared_ptr<View> makeControlsScreen(double width, double height);
std::shared_ptr<View> makeBusyScreen(double width, double height);
std::shared_ptr<View> makeNavigationScreen(double width, double height);
std::shared_ptr<View> makeTabsScreen(double width, double height);
std::shared_ptr<View> makeSegmentsScreen(double width, double height);
std::shared_ptr<View> makeAlertScreen(double width, double height);
std::shared_ptr<View> makePopoverScreen(double width, double height);
std::shared_ptr<View> makeEditingScreen(double width, double height);

// The tag of the controls screen's system button and of the label that counts its taps.
inline constexpr int kGalleryButtonTag = 100;
inline constexpr int kGalleryTapCountTag = 101;
inline constexpr int kBusyLabelCount = 60;
inline constexpr int kBusyImageCount = 20;

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/DeviceProfile.h"
#include "kit/ui/Geometry.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kit {

// What a host window shows. The application window is the device profile's screen with the
// status bar across its top; the widget's window is a given size, undecorated, without one.
struct HostOptions {
    DeviceProfile profile = DeviceProfile::current();
    // A window of this size in points instead of the profile's screen (the widget).
    std::optional<Size> windowSize;
    bool statusBar = true;
    bool undecorated = false;
    // HeadlessHost: the pixels per point (1 or 2). GtkHost takes the desktop's scale factor.
    double scale = 1;
    // GtkHost: the GApplication id ("com.velmora.quarrin"); empty runs without single-instance.
    std::string applicationId;
    // GtkHost: the window title.
    std::string title;
    // GtkHost: the window's icon, by name from the icon theme (the program's own name).
    std::string iconName;
    // GtkHost: a desktop widget's window: kept out of the task bar, the pager and the window
    // switcher where the windowing system allows, moved by dragging it, and reopened where it
    // was left (X11; Wayland leaves placement to the compositor).
    bool desktopWidget = false;
    // GtkHost: the items of the menu the right button opens, in order; none, no menu.
    struct MenuItem {
        std::string title;
        std::function<void()> action;
        // The item closes the window (after its action, if any), as the close button would.
        bool closesWindow = false;
    };
    std::vector<MenuItem> contextMenu;
    // Where the battery is read for the status bar ("/" normally; tests pass canned files).
    std::string deviceRoot = "/";
};

// The status bar's height in points.
inline constexpr double kStatusBarHeight = 20;

} // namespace kit

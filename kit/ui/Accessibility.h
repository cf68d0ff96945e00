// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kit {

class View;
class Window;

// What an element is to a screen reader, from its traits (and, for tabs, its container's).
enum class AccessibilityRole { StaticText, Button, Tab, Image, Header, Adjustable };

// Names an element for as long as its view lives: the view's identity and, for a part drawn by
// the view itself (a tab, a segment), the part's index; -1 for the view itself.
struct AccessibilityIdentity {
    std::uint64_t view = 0;
    int part = -1;
    bool operator==(const AccessibilityIdentity&) const = default;
};

// One element as a screen reader meets it.
struct AccessibilityElement {
    AccessibilityIdentity identity;
    AccessibilityRole role = AccessibilityRole::StaticText;
    std::string label;
    std::string value;
    unsigned traits = 0;
    // In window points, cut to what is visible.
    Rect frame;
    bool selected = false;
    bool enabled = true;
    // The window's first responder is the element's view.
    bool focused = false;
    // The group it belongs to (a tab bar for its tabs): the view identity, 0 for none, and
    // what the group is called.
    std::uint64_t container = 0;
    std::string containerLabel;

    bool operator==(const AccessibilityElement&) const = default;
};

// The elements of a window in reading order: top to bottom, then left to right within a line
// (frames whose middles share a line). Hidden and transparent subtrees, and elements clipped
// away or outside the window, are left out. While a controller is presented, only its
// elements are listed (an alert or popover holds the reader as it holds the touches).
std::vector<AccessibilityElement> accessibilityElements(const Window& window);

// The labels of the elements inside `container`, in reading order, joined by ", " (a table
// cell reads as one element).
std::string combinedAccessibilityLabel(const View& container);

// The element's action, as a tap would do it: the view's own (a button's, a tab's) or else a
// tap at the element's centre. False when the element is gone from the window.
bool activateAccessibilityElement(Window& window, const AccessibilityIdentity& identity);

// Short names for dumps and logs: "button", "tab", "text", "image", "header", "adjustable".
const char* accessibilityRoleName(AccessibilityRole role);

} // namespace kit

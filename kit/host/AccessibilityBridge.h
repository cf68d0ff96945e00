// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Accessibility.h"

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace kit {

class HostCore;

// Shows the views' accessible elements to AT-SPI. GTK 4.8 lets only widgets be accessible, so
// each element gets an invisible proxy widget of the matching role (a button for buttons, so that
// AT-SPI's "click" action reaches it) laid over the drawing area at the element's frame, with
// its label, value and states. The proxies live in a layer that never draws and takes no
// pointer input; tabs sit in a tab list of their own. After each frame the elements are walked
// again and only what changed is told to GTK, so the tree stays put between refreshes.
class AccessibilityBridge {
public:
    // Puts `area` into an overlay with the proxies' layer on top; the window shows widget().
    AccessibilityBridge(HostCore& core, GtkWidget* area);
    ~AccessibilityBridge();
    AccessibilityBridge(const AccessibilityBridge&) = delete;
    AccessibilityBridge& operator=(const AccessibilityBridge&) = delete;

    GtkWidget* widget() const { return m_overlay; }

    // Brings the proxies in line with the windows on screen; runs after every frame painted.
    void update();
    // How many element proxies exist (tests).
    std::size_t proxyCount() const { return m_proxies.size(); }

    // Window elements put together in host points, status bar last as it is drawn, but read
    // first as it stands at the top: the list update() mirrors.
    static std::vector<AccessibilityElement> elementsOnScreen(const HostCore& core);

    struct Proxy;

private:
    using Key = std::pair<std::uint64_t, int>;

    void apply(const std::vector<AccessibilityElement>& elements);
    Proxy& proxyFor(const AccessibilityElement& element);
    GtkWidget* containerFor(std::uint64_t container, const AccessibilityElement& first);
    void activate(const AccessibilityIdentity& identity);
    void destroy(Proxy& proxy);
    void moveFocus(GtkWidget* focused);
    void forget();

    HostCore& m_core;
    GtkWidget* m_overlay = nullptr;
    GtkWidget* m_area = nullptr;
    GtkWidget* m_layer = nullptr;
    std::map<Key, std::unique_ptr<Proxy>> m_proxies;
    std::vector<std::unique_ptr<Proxy>> m_leaving; // during apply(): gone, unless reused
    std::map<std::uint64_t, GtkWidget*> m_containers;
    std::vector<AccessibilityElement> m_last;
    GtkWidget* m_focusedProxy = nullptr;
    unsigned long m_afterPaintId = 0;
    void* m_frameClock = nullptr;

    friend struct BridgeCallbacks;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/host/HostOptions.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/KeyEvent.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace kit {

class View;
class ApplicationDelegate;
class HostCore;

// The application in a real GTK 4 window: the view tree drawn into a drawing area at the
// desktop's scale factor, only when something changed; clicks, drags, the wheel and the
// window's focus, minimising and closing become touches, scrolls and life-cycle calls. SIGTERM,
// SIGINT and SIGHUP close the window as its close button would.
// One instance per application id: a second launch (also one that opens "velmora-quarrin://")
// brings the running window forward and exits; without a session bus every launch runs alone.
class GtkHost {
public:
    explicit GtkHost(HostOptions options = {});
    ~GtkHost();
    GtkHost(const GtkHost&) = delete;
    GtkHost& operator=(const GtkHost&) = delete;

    // Runs the application until its window closes and returns the exit status. The delegate
    // (not owned) is launched once the window exists. `urls` are handed to a running instance.
    int run(ApplicationDelegate* delegate, const std::vector<std::string>& urls = {});
    // As run(), showing a view instead of an application's window (gallery, tests).
    int runShowing(std::shared_ptr<View> content, const std::vector<std::string>& urls = {});

    // Whether this launch only handed over to an instance that was already running.
    bool wasRemote() const;
    // How many times another launch asked this instance to come forward.
    int presentRequests() const;
    // Called when the window is shown and after each frame drawn (tests).
    std::function<void()> onWindowShown;
    std::function<void()> onFrameDrawn;
    // Called when another launch asked this instance to come forward.
    std::function<void()> onPresentRequested;

    // Event injection into the same paths the GTK gestures take, in window points.
    void injectPress(Point point);
    void injectMotion(Point point);
    void injectRelease(Point point);
    void injectScroll(Point point, double dx, double dy);
    void injectScrollEnd(Point point);
    bool injectKey(const KeyEvent& event);
    // Rotates a tablet profile, as the keyboard shortcut does; false for phones.
    bool rotate();
    // Closes the window as the window manager's close button would.
    void close();

    double scaleFactor() const;
    // The frame as last drawn, in device pixels (owned by the host; null before the first frame).
    cairo_surface_t* lastFrame() const;
    Size windowSize() const;
    // How many tiles the kept frame is handed to GTK in, and the name of GTK's renderer (tests);
    // 0 and empty before the first frame.
    int frameTiles() const;
    std::string rendererName() const;
    HostCore& core() { return *m_core; }

    struct Impl;

private:
    std::unique_ptr<HostCore> m_core;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/host/HostOptions.h"
#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/KeyEvent.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace kit {

class View;
class Window;
class ApplicationDelegate;
class HostCore;

// The application's window, status bar and life cycle without a display: the tree is drawn
// into an image surface, input and time are scripted. Tests and --snapshot runs use it.
// The virtual clock is switched on for the host's lifetime (time moves only by advance()).
class HeadlessHost {
public:
    explicit HeadlessHost(HostOptions options = {});
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Hands the delegate (not owned) to the application and runs the launch: didFinishLaunching,
    // then the application becomes active.
    void launch(ApplicationDelegate* delegate);
    // Without a delegate: shows this view as the window's content (gallery, tests).
    void show(std::shared_ptr<View> content);

    // The window's size in points (the screen, or the widget's size), and the area below the
    // status bar that the application's window covers.
    Size screenSize() const;
    double scale() const;
    // The content view shown by show(), or the key window's root view.
    View* contentView() const;
    Window* keyWindow() const;
    View* statusBarWindow() const;

    // Draws what changed since the last frame (the whole window at first or after a resize);
    // tells whether it drew.
    bool render();
    // The part the last render painted, in points (whole pixels): the whole window for a full
    // frame, empty when nothing had changed.
    Rect lastDamage() const { return m_lastDamage; }
    // The frame as drawn so far (owned by the host; null before the first render).
    cairo_surface_t* surface() const { return m_surface; }
    // Renders first when needed. Colours are read at a point (in points) of the window.
    std::optional<Color> pixelAt(Point point);
    Result<void> writePNG(const std::string& path);

    // Input, in window points. A tap is a press and release without movement; a drag moves in
    // steps over `duration` seconds of the virtual clock; a wheel scroll moves by (dx, dy) points.
    void tap(Point point);
    void drag(Point from, Point to, double duration = 0.25);
    void scroll(Point point, double dx, double dy);
    // The end of a touchpad scroll (fingers lifted), at a point.
    void endScroll(Point point);

    // Moves the virtual clock on, running timers, animations and delayed calls that fall due.
    void advance(double seconds);

    // Life cycle, as the desktop would cause it.
    void becomeActive();
    void resignActive();
    void enterBackground();
    void terminate();

    // Turns a tablet a quarter (portrait ↔ landscape) with an animated size transition; phones
    // refuse (false).
    bool rotate();

    // A key press with its modifiers (KeyModifier bits); true when a view or a screen used it.
    bool pressKey(Key key, unsigned modifiers = KeyModifierNone);

    // The addresses the application asked to open, in order.
    const std::vector<std::string>& openedURLs() const;
    // The schemes the desktop is taken to have handlers for (lower case); by default all.
    void setOpenableSchemes(std::optional<std::vector<std::string>> schemes);

    // Frames drawn so far (a frame is drawn only when something changed).
    int framesDrawn() const { return m_framesDrawn; }
    HostCore& core() { return *m_core; }

private:
    std::unique_ptr<HostCore> m_core;
    cairo_surface_t* m_surface = nullptr;
    int m_framesDrawn = 0;
    Rect m_lastDamage;
};

} // namespace kit

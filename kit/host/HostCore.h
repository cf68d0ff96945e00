// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/BatterySource.h"
#include "kit/host/HostOptions.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/KeyEvent.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace kit {

class View;
class Window;
class ApplicationDelegate;
class StatusBarWindow;
class Timer;

// What GtkHost and HeadlessHost share: the window's size and rotation, the status bar, turning
// pointer input into touches, the life cycle, and drawing the frame. The two hosts only differ
// in where the pixels go and where input and time come from.
class HostCore {
public:
    explicit HostCore(HostOptions options);
    ~HostCore();
    HostCore(const HostCore&) = delete;
    HostCore& operator=(const HostCore&) = delete;

    const HostOptions& options() const { return m_options; }
    // The window's current size in points (turned after a rotation).
    Size windowSize() const { return m_size; }
    bool isTablet() const;
    bool isLandscape() const { return m_size.width > m_size.height; }

    // Shows `content` in a window of its own covering the screen below the status bar.
    void show(std::shared_ptr<View> content);
    // Launches the application with the delegate (not owned): didFinishLaunching, then active.
    void launch(ApplicationDelegate* delegate);
    View* contentView() const;
    Window* keyWindow() const;
    StatusBarWindow* statusBarWindow() const { return m_statusBar.get(); }

    // Whether the next frame would differ from the last one drawn.
    bool needsDisplay() const;
    // Draws the whole frame (black behind, the windows, the status bar) into `cr`, whose user
    // space is in points at `scale` pixels per point.
    void drawFrame(cairo_t* cr, double scale);
    // Draws only what changed since the last frame into `cr`, which must still hold that frame
    // (same size and scale): the windows' damaged rectangles, grown over shadows and to whole
    // pixels. A different set of windows on screen redraws everything. Returns the union of
    // the part painted, in points; empty when nothing changed. `willPaint`, when given, hears
    // the rectangles (points) before a pixel of them changes.
    Rect drawDamage(cairo_t* cr, double scale, const std::function<void(const std::vector<Rect>&)>& willPaint = {});
    // The rectangles the last drawFrame or drawDamage painted (points, whole pixels).
    const std::vector<Rect>& damageRects() const { return m_damageRects; }
    // Advances running animations to the run loop's present; true while any still runs.
    bool stepAnimations();
    bool hasAnimations() const;

    // Pointer input in window points with the time in seconds. A press that moves less than
    // kTapSlop before release is a tap; beyond it, the touch moves with a velocity.
    static constexpr double kTapSlop = 6;
    void pointerPressed(Point point, double time);
    void pointerMoved(Point point, double time);
    void pointerReleased(Point point, double time);
    void pointerCancelled();
    void wheel(Point point, double dx, double dy);
    void wheelEnded(Point point);

    // Life cycle, through the shared Application, which ignores repeated or impossible steps.
    // Termination also writes the preferences.
    void becomeActive();
    void resignActive();
    void enterBackground();
    void terminate();

    // Turns a tablet between portrait and landscape, animated; phones and fixed-size windows
    // refuse.
    bool rotate();
    static constexpr double kRotationDuration = 0.3;
    // The desktop window was resized to `requested` points (a drag on its border, maximise, full
    // screen). The height is free down to a minimum; the width stays within the profile's idiom
    // (phone widths, tablet widths), and what is left over is drawn black. A tablet made wider
    // than tall turns to landscape (and back) through the same transition as rotate(); other
    // changes apply at once. Fixed-size windows (the widget) refuse. Returns the size taken.
    Size resize(Size requested);
    // The range resize() keeps the window's width and height in.
    Size minimumSize() const;
    Size maximumSize() const;
    // Called when the window size changed (GtkHost resizes its window).
    std::function<void(Size)> onWindowSizeChanged;
    // Called when something needs drawing (GtkHost queues a frame).
    std::function<void()> onNeedsDisplay;

    // Reads the battery and the clock into the status bar.
    void refreshStatusBar();
    std::optional<long> batteryPercentage() const { return m_battery.percentage; }

    // A key press, for the key window's first responder; tells whether a view used it.
    bool keyPressed(const KeyEvent& event);

    // Opening addresses: GtkHost hands them to the desktop; HeadlessHost keeps them.
    std::function<bool(const std::string&)> urlOpener;
    // Whether the desktop has a handler for a lower-case scheme; unset, every scheme has one.
    std::function<bool(const std::string& scheme)> urlSchemeQuery;
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }
    bool openURL(const std::string& url);

    // The windows on screen, lowest level first, the status bar last.
    std::vector<Window*> visibleWindows() const;

private:
    void watchWindows();
    void scheduleStatusBarRefresh();
    void send(int phase, Point point, Point velocity, double time);
    void applySize(Size size, double duration);
    Point currentVelocity(double time) const;

    HostOptions m_options;
    Size m_size;
    std::shared_ptr<Window> m_contentWindow;
    std::shared_ptr<StatusBarWindow> m_statusBar;
    ApplicationDelegate* m_delegate = nullptr; // not owned
    BatterySource m_batterySource;
    BatteryReading m_battery;
    std::shared_ptr<Timer> m_statusTimer;
    std::vector<std::string> m_openedURLs;
    std::vector<Window*> m_drawnWindows; // the windows the last frame showed, in order
    std::vector<Rect> m_damageRects;

    struct PointerState {
        bool down = false;
        bool dragging = false;
        Point start;
        Point last;
        double lastTime = 0;
        Point velocity;
        Window* window = nullptr; // the window the touch began in
    };
    PointerState m_pointer;
    struct Sample {
        double time = 0;
        Point point;
    };
    std::vector<Sample> m_samples;
};

} // namespace kit

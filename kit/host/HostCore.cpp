// SPDX-License-Identifier: MIT
#include "kit/host/HostCore.h"

#include "kit/base/DateFormatter.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Application.h"
#include "kit/ui/Render.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <glib.h>

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace kit {

namespace {

// Velocity is measured over the last stretch of motion, so a pause before release stops a fling.
constexpr double kVelocityWindow = 0.1;

Size initialSize(const HostOptions& options)
{
    if (options.windowSize && !options.windowSize->isEmpty())
        return *options.windowSize;
    Size size { options.profile.screenSize.width, options.profile.screenSize.height };
    if (size.isEmpty())
        size = { 375, 667 };
    return size;
}

// The clock in the locale's own short time format (24-hour or with AM/PM).
std::string clockText() { return DateFormatter::shortTime(Date::now()); }

} // namespace

HostCore::HostCore(HostOptions options)
    : m_options(std::move(options))
    , m_size(initialSize(m_options))
    , m_batterySource(m_options.deviceRoot)
{
    if (m_options.statusBar) {
        m_statusBar = View::create<StatusBarWindow>();
        m_statusBar->setFrame({ 0, 0, m_size.width, kStatusBarHeight });
        m_statusBar->setWindowLevel(Window::kLevelStatusBar);
        refreshStatusBar();
        scheduleStatusBarRefresh();
    }
    Application::shared().setURLOpener([this](const std::string& url) { return openURL(url); });
    Application::shared().setURLSchemeQuery(
        [this](const std::string& scheme) { return !urlSchemeQuery || urlSchemeQuery(scheme); });
}

HostCore::~HostCore()
{
    if (m_statusTimer)
        m_statusTimer->invalidate();
    for (Window* window : Window::allWindows())
        window->setNeedsRedrawCallback({});
    Application::shared().setURLOpener({});
    Application::shared().setURLSchemeQuery({});
}

bool HostCore::isTablet() const { return m_options.profile.isPad(); }

void HostCore::scheduleStatusBarRefresh()
{
    // The clock shows minutes; a half-minute beat keeps it at most 35 s behind without
    // drawing anything when neither it nor the battery changed. Its tolerance lets it ride on
    // the screens' 3-second refresh instead of waking the program between two of them.
    m_statusTimer = Timer::scheduled(30, true, [this](Timer&) { refreshStatusBar(); });
    m_statusTimer->setTolerance(5);
}

void HostCore::refreshStatusBar()
{
    if (!m_statusBar)
        return;
    m_battery = m_batterySource.read();
    m_statusBar->setTimeText(clockText());
    std::optional<int> percent;
    if (m_battery.percentage)
        percent = int(std::clamp<long>(*m_battery.percentage, 0, 100));
    m_statusBar->setBattery(percent, m_battery.state == BatteryReading::Charging);
}

void HostCore::show(std::shared_ptr<View> content)
{
    m_contentWindow = View::create<Window>();
    m_contentWindow->setFrame({ 0, 0, m_size.width, m_size.height });
    m_contentWindow->setBackgroundColor(Color::white());
    if (content) {
        double top = m_statusBar ? kStatusBarHeight : 0;
        content->setFrame({ 0, top, m_size.width, m_size.height - top });
        content->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        m_contentWindow->addSubview(std::move(content));
    }
    m_contentWindow->makeKeyAndVisible();
    Application::shared().finishLaunching();
    watchWindows();
}

void HostCore::launch(ApplicationDelegate* delegate)
{
    m_delegate = delegate;
    Application::shared().setDelegate(delegate);
    Application::shared().finishLaunching();
    watchWindows();
}

View* HostCore::contentView() const
{
    if (m_contentWindow)
        return m_contentWindow->subviews().empty() ? m_contentWindow.get() : m_contentWindow->subviews().front().get();
    Window* key = keyWindow();
    return key;
}

Window* HostCore::keyWindow() const
{
    if (m_contentWindow)
        return m_contentWindow.get();
    return Window::keyWindow();
}

std::vector<Window*> HostCore::visibleWindows() const
{
    std::vector<Window*> windows;
    for (Window* window : Window::allWindows()) {
        if (window == m_statusBar.get())
            continue;
        if (window->isVisible() && !window->isHidden() && !dynamic_cast<StatusBarWindow*>(window))
            windows.push_back(window);
    }
    std::stable_sort(windows.begin(), windows.end(), [](Window* a, Window* b) { return a->windowLevel() < b->windowLevel(); });
    if (m_statusBar)
        windows.push_back(m_statusBar.get());
    return windows;
}

void HostCore::watchWindows()
{
    // Windows made after launch (by the application) get the callback the next time we look.
    for (Window* window : Window::allWindows()) {
        window->setNeedsRedrawCallback([this] {
            if (onNeedsDisplay)
                onNeedsDisplay();
        });
    }
    if (onNeedsDisplay && needsDisplay())
        onNeedsDisplay();
}

bool HostCore::needsDisplay() const
{
    for (Window* window : visibleWindows()) {
        if (window->needsRedraw())
            return true;
    }
    return false;
}

void HostCore::drawFrame(cairo_t* cr, double scale)
{
    watchWindows();
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    m_drawnWindows = visibleWindows();
    m_damageRects = { Rect { 0, 0, m_size.width, m_size.height } };
    for (Window* window : m_drawnWindows) {
        cairo_save(cr);
        renderTree(*window, cr, scale);
        cairo_restore(cr);
        window->clearNeedsRedraw();
    }
}

Rect HostCore::drawDamage(cairo_t* cr, double scale, const std::function<void(const std::vector<Rect>&)>& willPaint)
{
    watchWindows();
    auto windows = visibleWindows();
    if (windows != m_drawnWindows) {
        if (willPaint)
            willPaint({ Rect { 0, 0, m_size.width, m_size.height } });
        drawFrame(cr, scale);
        m_damageRects = { Rect { 0, 0, m_size.width, m_size.height } };
        return m_damageRects.front();
    }
    // Layout first: it moves views, and what they leave and reach is damage too.
    for (Window* window : windows)
        window->layoutIfNeeded();
    // The windows lie at the frame's origin (the renderer draws each root there).
    Rect frameBounds { 0, 0, m_size.width, m_size.height };
    m_damageRects.clear();
    Rect damage;
    for (Window* window : windows) {
        if (!window->needsRedraw())
            continue;
        for (Rect rect : window->dirtyRects()) {
            // A point of slack for antialiased edges and glyph ink that stray past the geometry.
            rect = rect.insetBy(-1, -1);
            for (Window* other : windows)
                rect = damageWithShadows(*other, rect);
            rect = alignedToPixels(rect.intersection(frameBounds), scale);
            if (rect.isEmpty())
                continue;
            m_damageRects.push_back(rect);
            damage = damage.united(rect);
        }
    }
    if (damage.isEmpty()) {
        for (Window* window : windows)
            window->clearNeedsRedraw();
        return {};
    }
    if (willPaint)
        willPaint(m_damageRects);
    cairo_save(cr);
    cairo_new_path(cr);
    for (const Rect& rect : m_damageRects)
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    for (Window* window : windows) {
        cairo_save(cr);
        renderTree(*window, cr, scale, damage);
        cairo_restore(cr);
        window->clearNeedsRedraw();
    }
    cairo_restore(cr);
    return damage;
}

bool HostCore::stepAnimations()
{
    Animator::shared().tick(RunLoop::main().now());
    return Animator::shared().hasAnimations();
}

bool HostCore::hasAnimations() const { return Animator::shared().hasAnimations(); }

void HostCore::send(int phase, Point point, Point velocity, double time)
{
    if (!m_pointer.window)
        return;
    m_pointer.window->sendTouch(static_cast<Touch::Phase>(phase), point, velocity, time);
}

void HostCore::pointerPressed(Point point, double time)
{
    if (m_pointer.down)
        pointerCancelled();
    watchWindows();
    Window* target = nullptr;
    auto windows = visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        Window* window = *it;
        Point local = window->convertPointFrom(point, nullptr);
        if (window->hitTest(local)) {
            target = window;
            break;
        }
    }
    m_pointer = {};
    m_pointer.down = true;
    m_pointer.start = point;
    m_pointer.last = point;
    m_pointer.lastTime = time;
    m_pointer.window = target;
    m_samples.clear();
    m_samples.push_back({ time, point });
    send(int(Touch::Phase::Began), point, {}, time);
}

void HostCore::pointerMoved(Point point, double time)
{
    if (!m_pointer.down)
        return;
    m_samples.push_back({ time, point });
    while (m_samples.size() > 2 && time - m_samples.front().time > kVelocityWindow)
        m_samples.erase(m_samples.begin());
    m_pointer.last = point;
    m_pointer.lastTime = time;
    if (!m_pointer.dragging) {
        double dx = point.x - m_pointer.start.x, dy = point.y - m_pointer.start.y;
        if (std::hypot(dx, dy) < kTapSlop)
            return;
        m_pointer.dragging = true;
    }
    m_pointer.velocity = currentVelocity(time);
    send(int(Touch::Phase::Moved), point, m_pointer.velocity, time);
}

Point HostCore::currentVelocity(double time) const
{
    // The oldest sample still inside the window against the newest.
    const Sample* oldest = nullptr;
    for (auto& sample : m_samples) {
        if (time - sample.time <= kVelocityWindow + 1e-9) {
            oldest = &sample;
            break;
        }
    }
    if (!oldest || m_samples.empty())
        return {};
    const Sample& newest = m_samples.back();
    double dt = newest.time - oldest->time;
    if (!(dt > 1e-6))
        return {};
    return { (newest.point.x - oldest->point.x) / dt, (newest.point.y - oldest->point.y) / dt };
}

void HostCore::pointerReleased(Point point, double time)
{
    if (!m_pointer.down)
        return;
    if (m_pointer.dragging || std::hypot(point.x - m_pointer.start.x, point.y - m_pointer.start.y) >= kTapSlop) {
        pointerMoved(point, time);
        m_pointer.velocity = currentVelocity(time);
    } else {
        m_pointer.velocity = {};
    }
    Point velocity = m_pointer.velocity;
    send(int(Touch::Phase::Ended), m_pointer.dragging ? point : m_pointer.start, velocity, time);
    m_pointer = {};
    m_samples.clear();
}

void HostCore::pointerCancelled()
{
    if (!m_pointer.down)
        return;
    send(int(Touch::Phase::Cancelled), m_pointer.last, {}, m_pointer.lastTime);
    m_pointer = {};
    m_samples.clear();
}

void HostCore::wheel(Point point, double dx, double dy)
{
    auto windows = visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        Window* window = *it;
        if (window->hitTest(window->convertPointFrom(point, nullptr))) {
            window->sendScrollWheel(point, dx, dy);
            return;
        }
    }
}

void HostCore::wheelEnded(Point point)
{
    auto windows = visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        Window* window = *it;
        if (window->hitTest(window->convertPointFrom(point, nullptr))) {
            window->sendScrollWheelEnded(point);
            return;
        }
    }
}

void HostCore::becomeActive() { Application::shared().becomeActive(); }

void HostCore::resignActive() { Application::shared().resignActive(); }

void HostCore::enterBackground() { Application::shared().enterBackground(); }

void HostCore::terminate()
{
    if (Application::shared().state() == Application::State::Terminated)
        return;
    pointerCancelled();
    Application::shared().terminate();
    UserDefaults::standardUserDefaults().synchronize();
}

bool HostCore::rotate()
{
    if (!isTablet() || m_options.windowSize)
        return false;
    applySize({ m_size.height, m_size.width }, kRotationDuration);
    if (onWindowSizeChanged)
        onWindowSizeChanged(m_size);
    return true;
}

Size HostCore::minimumSize() const
{
    if (m_options.windowSize)
        return m_size;
    // The narrowest screen of the idiom, and enough height for the tab bar and one panel.
    return isTablet() ? Size { 768, 600 } : Size { 320, 400 };
}

Size HostCore::maximumSize() const
{
    if (m_options.windowSize)
        return m_size;
    // Wider than the widest screen of the idiom the screens were never laid out for; a tablet
    // in landscape is as wide as its longest side. The height has no limit.
    double unlimited = 1e6;
    return isTablet() ? Size { 1366, unlimited } : Size { 414, unlimited };
}

Size HostCore::resize(Size requested)
{
    if (m_options.windowSize || requested.isEmpty())
        return m_size;
    Size low = minimumSize(), high = maximumSize();
    Size size { std::clamp(requested.width, low.width, high.width), std::clamp(requested.height, low.height, high.height) };
    if (size == m_size)
        return m_size;
    bool turns = isTablet() && (size.width > size.height) != isLandscape();
    applySize(size, turns ? kRotationDuration : 0);
    return m_size;
}

void HostCore::applySize(Size size, double duration)
{
    m_size = size;
    if (m_statusBar)
        m_statusBar->setFrame({ 0, 0, size.width, kStatusBarHeight });
    for (Window* window : visibleWindows()) {
        if (window != m_statusBar.get())
            window->transitionToSize(size, duration);
    }
    if (onNeedsDisplay)
        onNeedsDisplay();
}

bool HostCore::keyPressed(const KeyEvent& event)
{
    Window* window = keyWindow();
    return window && window->sendKey(event);
}

bool HostCore::openURL(const std::string& url)
{
    if (url.empty())
        return false;
    m_openedURLs.push_back(url);
    return urlOpener ? urlOpener(url) : true;
}

} // namespace kit

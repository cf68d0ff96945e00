// SPDX-License-Identifier: MIT
#include "kit/host/HeadlessHost.h"

#include "kit/base/RunLoop.h"
#include "kit/host/HostCore.h"
#include "kit/host/Png.h"
#include "kit/ui/Application.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

// Drags move in frames of this length, as a pointer reports at 60 Hz.
constexpr double kDragStep = 1.0 / 60;

double validScale(double scale) { return scale >= 2 ? 2 : 1; }

} // namespace

HeadlessHost::HeadlessHost(HostOptions options)
{
    options.scale = validScale(options.scale);
    RunLoop::main().setVirtualClock(true);
    m_core = std::make_unique<HostCore>(std::move(options));
}

HeadlessHost::~HeadlessHost()
{
    if (m_surface)
        cairo_surface_destroy(m_surface);
    m_core.reset();
    Application::shared().reset();
    RunLoop::main().setVirtualClock(false);
}

void HeadlessHost::launch(ApplicationDelegate* delegate)
{
    m_core->launch(delegate);
    m_core->becomeActive();
}

void HeadlessHost::show(std::shared_ptr<View> content)
{
    m_core->show(std::move(content));
    m_core->becomeActive();
}

Size HeadlessHost::screenSize() const { return m_core->windowSize(); }
double HeadlessHost::scale() const { return m_core->options().scale; }
View* HeadlessHost::contentView() const { return m_core->contentView(); }
Window* HeadlessHost::keyWindow() const { return m_core->keyWindow(); }
View* HeadlessHost::statusBarWindow() const { return m_core->statusBarWindow(); }

bool HeadlessHost::render()
{
    double pixelsPerPoint = scale();
    Size size = screenSize();
    int width = int(std::ceil(size.width * pixelsPerPoint));
    int height = int(std::ceil(size.height * pixelsPerPoint));
    bool fresh
        = !m_surface || cairo_image_surface_get_width(m_surface) != width || cairo_image_surface_get_height(m_surface) != height;
    if (!fresh && !m_core->needsDisplay()) {
        m_lastDamage = {};
        return false;
    }
    if (fresh) {
        if (m_surface)
            cairo_surface_destroy(m_surface);
        m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width), std::max(1, height));
    }
    cairo_t* cr = cairo_create(m_surface);
    cairo_scale(cr, pixelsPerPoint, pixelsPerPoint);
    if (fresh) {
        m_core->drawFrame(cr, pixelsPerPoint);
        m_lastDamage = { 0, 0, size.width, size.height };
    } else {
        m_lastDamage = m_core->drawDamage(cr, pixelsPerPoint);
    }
    cairo_destroy(cr);
    cairo_surface_flush(m_surface);
    if (m_lastDamage.isEmpty())
        return false;
    ++m_framesDrawn;
    return true;
}

std::optional<Color> HeadlessHost::pixelAt(Point point)
{
    render();
    if (!m_surface)
        return std::nullopt;
    int x = int(std::floor(point.x * scale()));
    int y = int(std::floor(point.y * scale()));
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(m_surface) || y >= cairo_image_surface_get_height(m_surface))
        return std::nullopt;
    const unsigned char* row = cairo_image_surface_get_data(m_surface) + y * cairo_image_surface_get_stride(m_surface);
    std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
    double a = ((argb >> 24) & 0xff) / 255.0;
    auto channel = [a](std::uint32_t value) { return a > 0 ? std::min(1.0, (value & 0xff) / 255.0 / a) : 0.0; };
    return Color { channel(argb >> 16), channel(argb >> 8), channel(argb), a };
}

Result<void> HeadlessHost::writePNG(const std::string& path)
{
    render();
    return kit::writePNG(m_surface, path);
}

void HeadlessHost::tap(Point point)
{
    double now = RunLoop::main().now();
    m_core->pointerPressed(point, now);
    m_core->pointerReleased(point, now);
}

void HeadlessHost::drag(Point from, Point to, double duration)
{
    duration = std::isfinite(duration) ? std::max(0.0, duration) : 0;
    int steps = std::max(1, int(std::ceil(duration / kDragStep)));
    m_core->pointerPressed(from, RunLoop::main().now());
    for (int i = 1; i <= steps; ++i) {
        advance(duration / steps);
        double t = double(i) / steps;
        Point p { from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t };
        m_core->pointerMoved(p, RunLoop::main().now());
    }
    m_core->pointerReleased(to, RunLoop::main().now());
}

void HeadlessHost::scroll(Point point, double dx, double dy) { m_core->wheel(point, dx, dy); }

void HeadlessHost::endScroll(Point point) { m_core->wheelEnded(point); }

void HeadlessHost::advance(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return;
    RunLoop::main().advance(seconds);
}

void HeadlessHost::becomeActive() { m_core->becomeActive(); }
void HeadlessHost::resignActive() { m_core->resignActive(); }
void HeadlessHost::enterBackground() { m_core->enterBackground(); }
void HeadlessHost::terminate() { m_core->terminate(); }
bool HeadlessHost::rotate() { return m_core->rotate(); }

bool HeadlessHost::pressKey(Key key, unsigned modifiers) { return m_core->keyPressed({ key, modifiers }); }

const std::vector<std::string>& HeadlessHost::openedURLs() const { return m_core->openedURLs(); }

void HeadlessHost::setOpenableSchemes(std::optional<std::vector<std::string>> schemes)
{
    if (!schemes) {
        m_core->urlSchemeQuery = nullptr;
        return;
    }
    m_core->urlSchemeQuery = [schemes = std::move(*schemes)](const std::string& scheme) {
        return std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
    };
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Color.h"
#include "kit/ui/Render.h"
#include "kit/ui/View.h"

#include <cairo.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kit::test {

// ctest pins the fonts; a test program started by hand pins them the same way before Pango
// first runs.
inline const bool kFontsPinned = [] {
    setenv("FONTCONFIG_FILE", QUARRIN_TEST_DATA_DIR "/fonts.conf", 0);
    return true;
}();

inline std::string uiData(const std::string& name) { return std::string(QUARRIN_TEST_DATA_DIR) + "/ui/" + name; }

// A rendered tree whose pixels can be read at points.
class Snapshot {
public:
    Snapshot(View& root, Size size, double scale)
        : m_surface(renderToSurface(root, size, scale))
        , m_scale(scale)
    {
    }
    ~Snapshot() { cairo_surface_destroy(m_surface); }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    int width() const { return cairo_image_surface_get_width(m_surface); }
    int height() const { return cairo_image_surface_get_height(m_surface); }

    // Un-premultiplied colour of the device pixel under a point.
    Color at(double x, double y) const { return pixel(int(x * m_scale), int(y * m_scale)); }
    Color pixel(int px, int py) const
    {
        if (px < 0 || py < 0 || px >= width() || py >= height())
            return Color::clear();
        const unsigned char* data = cairo_image_surface_get_data(m_surface);
        int stride = cairo_image_surface_get_stride(m_surface);
        std::uint32_t argb;
        std::memcpy(&argb, data + py * stride + px * 4, 4);
        double a = ((argb >> 24) & 0xff) / 255.0;
        if (a == 0)
            return Color::clear();
        return { ((argb >> 16) & 0xff) / 255.0 / a, ((argb >> 8) & 0xff) / 255.0 / a, (argb & 0xff) / 255.0 / a, a };
    }

private:
    cairo_surface_t* m_surface;
    double m_scale;
};

inline bool near(const Color& a, const Color& b, double tolerance = 0.02)
{
    auto close = [&](double x, double y) { return std::abs(x - y) <= tolerance; };
    return close(a.alpha, b.alpha) && (a.alpha == 0 || (close(a.red, b.red) && close(a.green, b.green) && close(a.blue, b.blue)));
}

} // namespace kit::test

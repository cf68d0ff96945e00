// SPDX-License-Identifier: MIT
#include "kit/ui/GraphicsContext.h"

#include "kit/ui/Image.h"
#include "kit/ui/Render.h"
#include "kit/ui/TextLayout.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

cairo_t* cr(void* p) { return static_cast<cairo_t*>(p); }

void ellipsePath(cairo_t* c, const Rect& rect)
{
    Rect r = rect.standardized();
    if (r.width() <= 0 || r.height() <= 0)
        return;
    cairo_save(c);
    cairo_translate(c, r.midX(), r.midY());
    cairo_scale(c, r.width() / 2, r.height() / 2);
    cairo_new_sub_path(c);
    cairo_arc(c, 0, 0, 1, 0, 2 * M_PI);
    cairo_close_path(c);
    cairo_restore(c);
}

void setColor(cairo_t* c, const Color& color) { cairo_set_source_rgba(c, color.red, color.green, color.blue, color.alpha); }

} // namespace

void roundedRectPath(cairo_t* c, const Rect& rect, double radius)
{
    Rect r = rect.standardized();
    radius = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (radius <= 0) {
        cairo_rectangle(c, r.x(), r.y(), r.width(), r.height());
        return;
    }
    cairo_new_sub_path(c);
    cairo_arc(c, r.maxX() - radius, r.minY() + radius, radius, -M_PI / 2, 0);
    cairo_arc(c, r.maxX() - radius, r.maxY() - radius, radius, 0, M_PI / 2);
    cairo_arc(c, r.minX() + radius, r.maxY() - radius, radius, M_PI / 2, M_PI);
    cairo_arc(c, r.minX() + radius, r.minY() + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(c);
}

GraphicsContext::GraphicsContext(void* cairoContext, double scale)
    : m_cr(cairoContext)
    , m_scale(scale > 0 ? scale : 1)
{
    cairo_reference(cr(m_cr));
}

GraphicsContext::~GraphicsContext()
{
    while (!m_saved.empty())
        restore();
    cairo_destroy(cr(m_cr));
}

void GraphicsContext::save()
{
    cairo_save(cr(m_cr));
    m_saved.push_back({ m_fill, m_stroke });
}

void GraphicsContext::restore()
{
    // An unbalanced restore is ignored rather than corrupting cairo's state.
    if (m_saved.empty())
        return;
    cairo_restore(cr(m_cr));
    m_fill = m_saved.back().first;
    m_stroke = m_saved.back().second;
    m_saved.pop_back();
}
void GraphicsContext::translate(double dx, double dy) { cairo_translate(cr(m_cr), dx, dy); }
void GraphicsContext::rotate(double radians) { cairo_rotate(cr(m_cr), radians); }
void GraphicsContext::scaleBy(double sx, double sy)
{
    if (sx != 0 && sy != 0)
        cairo_scale(cr(m_cr), sx, sy);
}

void GraphicsContext::concat(const AffineTransform& t)
{
    if (!t.isInvertible())
        return;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr(m_cr), &m);
}

AffineTransform GraphicsContext::currentTransform() const
{
    cairo_matrix_t m;
    cairo_get_matrix(cr(m_cr), &m);
    return { m.xx, m.yx, m.xy, m.yy, m.x0, m.y0 };
}

void GraphicsContext::clipToRect(const Rect& rect)
{
    Rect r = rect.standardized();
    cairo_new_path(cr(m_cr));
    cairo_rectangle(cr(m_cr), r.x(), r.y(), r.width(), r.height());
    cairo_clip(cr(m_cr));
}

void GraphicsContext::clipToRoundedRect(const Rect& rect, double radius)
{
    cairo_new_path(cr(m_cr));
    roundedRectPath(cr(m_cr), rect, radius);
    cairo_clip(cr(m_cr));
}

void GraphicsContext::clipToEllipse(const Rect& rect)
{
    cairo_new_path(cr(m_cr));
    ellipsePath(cr(m_cr), rect);
    cairo_clip(cr(m_cr));
}

Rect GraphicsContext::clipBounds() const
{
    double x1, y1, x2, y2;
    cairo_clip_extents(cr(m_cr), &x1, &y1, &x2, &y2);
    return { x1, y1, x2 - x1, y2 - y1 };
}

void GraphicsContext::beginTransparencyLayer() { cairo_push_group(cr(m_cr)); }

void GraphicsContext::endTransparencyLayer(double alpha)
{
    cairo_pop_group_to_source(cr(m_cr));
    cairo_paint_with_alpha(cr(m_cr), std::clamp(alpha, 0.0, 1.0));
}

void GraphicsContext::setFillColor(const Color& color) { m_fill = color; }
void GraphicsContext::setStrokeColor(const Color& color) { m_stroke = color; }
void GraphicsContext::setLineWidth(double width) { cairo_set_line_width(cr(m_cr), std::max(0.0, width)); }

void GraphicsContext::setLineCap(LineCap cap)
{
    cairo_set_line_cap(cr(m_cr),
        cap == LineCap::Round        ? CAIRO_LINE_CAP_ROUND
            : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                     : CAIRO_LINE_CAP_BUTT);
}

void GraphicsContext::setLineDash(const std::vector<double>& dashes, double phase)
{
    bool valid = std::all_of(dashes.begin(), dashes.end(), [](double d) { return d >= 0; })
        && std::any_of(dashes.begin(), dashes.end(), [](double d) { return d > 0; });
    if (!valid) {
        cairo_set_dash(cr(m_cr), nullptr, 0, 0);
        return;
    }
    cairo_set_dash(cr(m_cr), dashes.data(), int(dashes.size()), phase);
}

void GraphicsContext::fillRect(const Rect& rect) { fillRect(rect, m_fill); }

void GraphicsContext::fillRect(const Rect& rect, const Color& color)
{
    Rect r = rect.standardized();
    cairo_new_path(cr(m_cr));
    cairo_rectangle(cr(m_cr), r.x(), r.y(), r.width(), r.height());
    setColor(cr(m_cr), color);
    cairo_fill(cr(m_cr));
}

void GraphicsContext::strokeRect(const Rect& rect)
{
    Rect r = rect.standardized();
    cairo_new_path(cr(m_cr));
    cairo_rectangle(cr(m_cr), r.x(), r.y(), r.width(), r.height());
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

void GraphicsContext::clearRect(const Rect& rect)
{
    Rect r = rect.standardized();
    cairo_save(cr(m_cr));
    cairo_set_operator(cr(m_cr), CAIRO_OPERATOR_CLEAR);
    cairo_new_path(cr(m_cr));
    cairo_rectangle(cr(m_cr), r.x(), r.y(), r.width(), r.height());
    cairo_fill(cr(m_cr));
    cairo_restore(cr(m_cr));
}

void GraphicsContext::fillRoundedRect(const Rect& rect, double radius)
{
    cairo_new_path(cr(m_cr));
    roundedRectPath(cr(m_cr), rect, radius);
    setColor(cr(m_cr), m_fill);
    cairo_fill(cr(m_cr));
}

void GraphicsContext::strokeRoundedRect(const Rect& rect, double radius)
{
    cairo_new_path(cr(m_cr));
    roundedRectPath(cr(m_cr), rect, radius);
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

void GraphicsContext::fillEllipse(const Rect& rect)
{
    cairo_new_path(cr(m_cr));
    ellipsePath(cr(m_cr), rect);
    setColor(cr(m_cr), m_fill);
    cairo_fill(cr(m_cr));
}

void GraphicsContext::strokeEllipse(const Rect& rect)
{
    cairo_new_path(cr(m_cr));
    ellipsePath(cr(m_cr), rect);
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

void GraphicsContext::strokeLine(Point from, Point to)
{
    cairo_new_path(cr(m_cr));
    cairo_move_to(cr(m_cr), from.x, from.y);
    cairo_line_to(cr(m_cr), to.x, to.y);
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

void GraphicsContext::fillPolygon(const std::vector<Point>& points)
{
    if (points.size() < 3)
        return;
    cairo_new_path(cr(m_cr));
    cairo_move_to(cr(m_cr), points[0].x, points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr(m_cr), points[i].x, points[i].y);
    cairo_close_path(cr(m_cr));
    setColor(cr(m_cr), m_fill);
    cairo_fill(cr(m_cr));
}

void GraphicsContext::strokePolyline(const std::vector<Point>& points, bool closed)
{
    if (points.size() < 2)
        return;
    cairo_new_path(cr(m_cr));
    cairo_move_to(cr(m_cr), points[0].x, points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr(m_cr), points[i].x, points[i].y);
    if (closed)
        cairo_close_path(cr(m_cr));
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

void GraphicsContext::fillArc(Point center, double radius, double startAngle, double endAngle)
{
    if (!(radius > 0))
        return;
    cairo_new_path(cr(m_cr));
    cairo_move_to(cr(m_cr), center.x, center.y);
    cairo_arc(cr(m_cr), center.x, center.y, radius, startAngle, endAngle);
    cairo_close_path(cr(m_cr));
    setColor(cr(m_cr), m_fill);
    cairo_fill(cr(m_cr));
}

void GraphicsContext::strokeArc(Point center, double radius, double startAngle, double endAngle)
{
    if (!(radius > 0))
        return;
    cairo_new_path(cr(m_cr));
    cairo_arc(cr(m_cr), center.x, center.y, radius, startAngle, endAngle);
    setColor(cr(m_cr), m_stroke);
    cairo_stroke(cr(m_cr));
}

namespace {

void fillWithPattern(cairo_t* c, cairo_pattern_t* pattern, const Rect& rect, const GraphicsContext::GradientStops& stops)
{
    for (auto& [offset, color] : stops)
        cairo_pattern_add_color_stop_rgba(pattern, std::clamp(offset, 0.0, 1.0), color.red, color.green, color.blue, color.alpha);
    Rect r = rect.standardized();
    cairo_new_path(c);
    cairo_rectangle(c, r.x(), r.y(), r.width(), r.height());
    cairo_set_source(c, pattern);
    cairo_fill(c);
    cairo_pattern_destroy(pattern);
}

} // namespace

void GraphicsContext::fillLinearGradient(const Rect& rect, Point start, Point end, const GradientStops& stops)
{
    fillWithPattern(cr(m_cr), cairo_pattern_create_linear(start.x, start.y, end.x, end.y), rect, stops);
}

void GraphicsContext::fillRadialGradient(const Rect& rect, Point center, double radius, const GradientStops& stops)
{
    fillWithPattern(cr(m_cr), cairo_pattern_create_radial(center.x, center.y, 0, center.x, center.y, std::max(0.0, radius)), rect,
        stops);
}

void GraphicsContext::drawImage(const Image& image, const Rect& rect, double alpha)
{
    if (rect.isEmpty() || image.size().isEmpty())
        return;
    image.drawInto(m_cr, rect.standardized(), std::clamp(alpha, 0.0, 1.0));
}

void GraphicsContext::drawImageTinted(const Image& image, const Rect& rect, const Color& color)
{
    if (rect.isEmpty() || image.size().isEmpty())
        return;
    cairo_save(cr(m_cr));
    setColor(cr(m_cr), color);
    image.maskInto(m_cr, rect.standardized());
    cairo_restore(cr(m_cr));
}

namespace {

// Lines past the layout's limit stay laid out in Pango; they must not show.
void clipHiddenLines(cairo_t* c, const TextLayout& layout, Point origin)
{
    auto* pango = static_cast<PangoLayout*>(layout.nativeLayout());
    if (pango_layout_get_line_count(pango) <= layout.lineCount())
        return;
    cairo_new_path(c);
    cairo_rectangle(c, origin.x - 1e5, origin.y, 2e5, layout.size().height);
    cairo_clip(c);
}

} // namespace

void GraphicsContext::drawText(const TextLayout& layout, Point origin)
{
    auto* pango = static_cast<PangoLayout*>(layout.nativeLayout());
    if (!pango)
        return;
    cairo_save(cr(m_cr));
    clipHiddenLines(cr(m_cr), layout, origin);
    cairo_move_to(cr(m_cr), origin.x, origin.y);
    setColor(cr(m_cr), layout.options().defaultColor);
    pango_cairo_show_layout(cr(m_cr), pango);
    cairo_restore(cr(m_cr));
}

void GraphicsContext::drawTextInColor(const TextLayout& layout, Point origin, const Color& color)
{
    auto* pango = static_cast<PangoLayout*>(layout.nativeLayout());
    if (!pango)
        return;
    // Colour attributes in the runs would win over the source, so draw the glyph shapes as a
    // mask instead.
    cairo_save(cr(m_cr));
    clipHiddenLines(cr(m_cr), layout, origin);
    cairo_push_group(cr(m_cr));
    cairo_move_to(cr(m_cr), origin.x, origin.y);
    pango_cairo_show_layout(cr(m_cr), pango);
    cairo_pattern_t* shapes = cairo_pop_group(cr(m_cr));
    setColor(cr(m_cr), color);
    cairo_mask(cr(m_cr), shapes);
    cairo_pattern_destroy(shapes);
    cairo_restore(cr(m_cr));
}

} // namespace kit

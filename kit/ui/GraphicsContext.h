// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"

#include <utility>
#include <vector>

namespace kit {

class Image;
class TextLayout;

// The drawing surface handed to View::draw, in the view's coordinates (points). Hosts make one
// around their cairo context through Render.h; app code only sees this interface.
class GraphicsContext {
public:
    enum class LineCap { Butt, Round, Square };
    using GradientStops = std::vector<std::pair<double, Color>>; // offset 0…1, colour

    // `cairoContext` is a cairo_t*, its user space in points; `scale` is device pixels per point.
    GraphicsContext(void* cairoContext, double scale);
    // Restores whatever save() calls are still open.
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // Pixels per point of the target (2 on HiDPI screens).
    double scale() const { return m_scale; }

    void save();
    void restore();
    void translate(double dx, double dy);
    void rotate(double radians);
    void scaleBy(double sx, double sy);
    void concat(const AffineTransform& transform);
    AffineTransform currentTransform() const;

    // Clipping narrows until the matching restore().
    void clipToRect(const Rect& rect);
    void clipToRoundedRect(const Rect& rect, double radius);
    void clipToEllipse(const Rect& rect);
    // The clip's bounding box in the current coordinates.
    Rect clipBounds() const;

    // Everything drawn between begin and end is composited at once with `alpha`.
    void beginTransparencyLayer();
    void endTransparencyLayer(double alpha);

    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    // Empty for solid lines.
    void setLineDash(const std::vector<double>& dashes, double phase = 0);

    void fillRect(const Rect& rect);
    void fillRect(const Rect& rect, const Color& color);
    void strokeRect(const Rect& rect);
    void clearRect(const Rect& rect);
    void fillRoundedRect(const Rect& rect, double radius);
    void strokeRoundedRect(const Rect& rect, double radius);
    void fillEllipse(const Rect& rect);
    void strokeEllipse(const Rect& rect);
    void strokeLine(Point from, Point to);
    void fillPolygon(const std::vector<Point>& points);
    void strokePolyline(const std::vector<Point>& points, bool closed = false);
    // A pie slice from the center; angles in radians, clockwise from the positive x axis.
    void fillArc(Point center, double radius, double startAngle, double endAngle);
    void strokeArc(Point center, double radius, double startAngle, double endAngle);

    void fillLinearGradient(const Rect& rect, Point start, Point end, const GradientStops& stops);
    void fillRadialGradient(const Rect& rect, Point center, double radius, const GradientStops& stops);

    // The image scaled into `rect`; a null or empty image draws nothing.
    void drawImage(const Image& image, const Rect& rect, double alpha = 1);
    // The image used as a mask, painted with `color` (template images, tinted marks).
    void drawImageTinted(const Image& image, const Rect& rect, const Color& color);
    // A laid-out text with its top-left at `origin`.
    void drawText(const TextLayout& layout, Point origin);
    // As drawText, every glyph painted in `color` (shadows, vibrancy).
    void drawTextInColor(const TextLayout& layout, Point origin, const Color& color);

    // The cairo_t* underneath, for kit code that includes cairo.
    void* nativeContext() const { return m_cr; }

private:
    void* m_cr = nullptr;
    double m_scale = 1;
    Color m_fill = Color::black();
    Color m_stroke = Color::black();
    std::vector<std::pair<Color, Color>> m_saved;
};

} // namespace kit

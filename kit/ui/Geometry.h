// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cmath>

namespace kit {

// Coordinates are in points; y grows downwards.
struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
    Point operator+(Point o) const { return { x + o.x, y + o.y }; }
    Point operator-(Point o) const { return { x - o.x, y - o.y }; }
};

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
    bool isEmpty() const { return !(width > 0) || !(height > 0); }
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    bool operator==(const EdgeInsets&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }
    constexpr Rect(double x, double y, double w, double h)
        : origin { x, y }
        , size { w, h }
    {
    }

    bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    // Extremes allow for negative sizes, so a rectangle given from its far corner still reports
    // its true edges.
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double midX() const { return origin.x + size.width / 2; }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return { midX(), midY() }; }

    bool isEmpty() const { return !(size.width != 0) || !(size.height != 0); }

    // Same rectangle with positive width and height.
    Rect standardized() const { return { minX(), minY(), maxX() - minX(), maxY() - minY() }; }

    // Half-open: the maximum edges are outside.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    bool contains(const Rect& r) const
    {
        return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
    }
    bool intersects(const Rect& r) const { return !intersection(r).isEmpty(); }

    // An empty rectangle (all zero) when the two do not overlap.
    Rect intersection(const Rect& r) const
    {
        double x0 = std::max(minX(), r.minX());
        double y0 = std::max(minY(), r.minY());
        double x1 = std::min(maxX(), r.maxX());
        double y1 = std::min(maxY(), r.maxY());
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { x0, y0, x1 - x0, y1 - y0 };
    }
    // The smallest rectangle holding both; an empty one does not count.
    Rect united(const Rect& r) const
    {
        if (isEmpty())
            return r;
        if (r.isEmpty())
            return *this;
        double x0 = std::min(minX(), r.minX());
        double y0 = std::min(minY(), r.minY());
        double x1 = std::max(maxX(), r.maxX());
        double y1 = std::max(maxY(), r.maxY());
        return { x0, y0, x1 - x0, y1 - y0 };
    }
    // Shrinks by dx on the left and right and dy on top and bottom (negative grows).
    Rect insetBy(double dx, double dy) const
    {
        Rect s = standardized();
        return { s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy };
    }
    Rect inset(const EdgeInsets& e) const
    {
        return { origin.x + e.left, origin.y + e.top, size.width - e.left - e.right, size.height - e.top - e.bottom };
    }
    Rect offsetBy(double dx, double dy) const { return { origin.x + dx, origin.y + dy, size.width, size.height }; }
    // Outward to whole numbers.
    Rect integral() const
    {
        Rect s = standardized();
        double x0 = std::floor(s.minX()), y0 = std::floor(s.minY());
        return { x0, y0, std::ceil(s.maxX()) - x0, std::ceil(s.maxY()) - y0 };
    }
};

// A 2D affine map: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool operator==(const AffineTransform&) const = default;

    static AffineTransform identity() { return {}; }
    // Positive angles turn clockwise on screen (y grows downwards).
    static AffineTransform rotation(double radians)
    {
        double s = std::sin(radians), co = std::cos(radians);
        return { co, s, -s, co, 0, 0 };
    }
    static AffineTransform scale(double sx, double sy) { return { sx, 0, 0, sy, 0, 0 }; }
    static AffineTransform translation(double x, double y) { return { 1, 0, 0, 1, x, y }; }

    bool isIdentity() const { return *this == AffineTransform {}; }

    // This map first, then `next`.
    AffineTransform concatenated(const AffineTransform& next) const
    {
        const AffineTransform& n = next;
        return { a * n.a + b * n.c, a * n.b + b * n.d, c * n.a + d * n.c, c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx,
            tx * n.b + ty * n.d + n.ty };
    }
    AffineTransform rotated(double radians) const { return rotation(radians).concatenated(*this); }
    AffineTransform scaled(double sx, double sy) const { return scale(sx, sy).concatenated(*this); }
    AffineTransform translated(double x, double y) const { return translation(x, y).concatenated(*this); }

    double determinant() const { return a * d - b * c; }
    bool isInvertible() const { return std::abs(determinant()) > 1e-12; }
    // A singular map has no inverse; it comes back unchanged, so a caller that did not check
    // isInvertible() still gets finite geometry rather than infinities.
    AffineTransform inverted() const
    {
        double det = determinant();
        if (!(std::abs(det) > 1e-12))
            return *this;
        return { d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det };
    }

    Point apply(Point p) const { return { a * p.x + c * p.y + tx, b * p.x + d * p.y + ty }; }
    Size apply(Size s) const { return { a * s.width + c * s.height, b * s.width + d * s.height }; }
    // Bounding box of the mapped corners.
    Rect apply(const Rect& r) const
    {
        Rect s = r.standardized();
        Point p[4] = { apply(Point { s.minX(), s.minY() }), apply(Point { s.maxX(), s.minY() }),
            apply(Point { s.minX(), s.maxY() }), apply(Point { s.maxX(), s.maxY() }) };
        double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (auto& q : p) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        return { x0, y0, x1 - x0, y1 - y0 };
    }
};

} // namespace kit

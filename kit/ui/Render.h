// SPDX-License-Identifier: MIT
#pragma once

// For hosts and kit code only: app code never includes cairo.

#include "kit/ui/Geometry.h"

#include <cairo.h>

namespace kit {

class View;
class Window;

// Adds a rectangle with rounded corners to cr's path. Negative sizes are standardized and the
// radius is clamped to 0…half the shorter side, so a border inset past its view's size still
// draws as a plain rectangle.
void roundedRectPath(cairo_t* cr, const Rect& rect, double radius);

// Lays the tree out (layoutIfNeeded) and draws `root` with everything above it into `cr`,
// whose user space must be in points with `scale` device pixels per point (the caller applies
// cairo_scale). Clears the views' and the window's needs-display state.
void renderTree(View& root, cairo_t* cr, double scale);
// As renderTree, only the part `dirty` (root coordinates) is painted; the rest of the target
// is left as it is.
void renderTree(View& root, cairo_t* cr, double scale, const Rect& dirty);

// `dirty` (root coordinates) grown by the whole reach of every shadow-casting view it touches:
// a shadow is made from all of its view's content, so a part of it cannot be drawn alone.
Rect damageWithShadows(View& root, const Rect& dirty);
// The smallest rectangle of whole device pixels (at `scale` pixels per point) holding `rect`:
// clipped to it, every pixel is painted exactly as a full redraw paints it.
Rect alignedToPixels(const Rect& rect, double scale);

// Draws a whole view tree into a new ARGB image surface of size × scale pixels, cleared to
// transparent. The caller owns the surface (cairo_surface_destroy).
cairo_surface_t* renderToSurface(View& root, Size size, double scale);

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kit {

class GraphicsContext;
class Image;
using ImagePtr = std::shared_ptr<const Image>;

// An image in points: a vector asset drawn crisply at any scale, or a bitmap drawn by code.
class Image : public Object {
public:
    // resources/images/<name>.svg (the bundle's images folder, or the search path set for
    // tests). Its size in points is the SVG's width and height. Cached by name; null when the
    // file is missing or unreadable.
    static ImagePtr named(std::string_view name);
    // An SVG file anywhere; null when unreadable or without a width and height.
    static ImagePtr fromFile(const std::string& path);
    static ImagePtr fromSVGData(std::string_view svg);
    // A bitmap of size × scale pixels drawn by `draw` (in points, origin top-left); transparent
    // where nothing is drawn unless `opaque`, which starts it white. Empty sizes give null.
    static ImagePtr fromDrawing(Size size, double scale, bool opaque, const std::function<void(GraphicsContext&)>& draw);

    // Where named() looks; by default the bundle's resources/images folder.
    static void setSearchPath(std::string folder);
    static std::string searchPath();
    static void clearCache();

    ~Image() override;

    // Object
    std::string className() const override { return "UIImage"; }

    Size size() const { return m_size; }
    // The name named() found the image by; empty for other images.
    const std::string& name() const { return m_name; }
    // Pixels per point of a bitmap; 0 for vector images, which have no fixed resolution.
    double scale() const { return m_scale; }
    bool isVector() const { return m_svg != nullptr; }

    // The image as pixels (an ARGB cairo_surface_t* owned by the image) at this pixel size.
    void* rasterFor(int pixelWidth, int pixelHeight) const;
    // Draws the image stretched into `rect` (cairo_t* target, user space in points).
    void drawInto(void* cairoContext, const Rect& rect, double alpha) const;
    // The image's alpha channel as a mask painted with the context's current source.
    void maskInto(void* cairoContext, const Rect& rect) const;

    Image(void* svgHandle, Size size);
    Image(void* surface, Size size, double scale);

private:
    std::string m_name;
    void* m_svg = nullptr; // RsvgHandle*
    void* m_surface = nullptr; // cairo_surface_t*
    Size m_size;
    double m_scale = 0;
    // A vector image's last rasterisation, reused while it is drawn at the same pixel size.
    mutable void* m_raster = nullptr;
    mutable int m_rasterWidth = 0;
    mutable int m_rasterHeight = 0;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Geometry.h"

#include <cstddef>
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

    // Rasterised SVGs kept in `folder` (see ImageRasterCache.h), so that a run whose images were
    // all drawn before never loads the SVG library; a read-only cache is used but never written.
    // Off until a program turns it on: an empty folder turns it off again.
    static void setRasterCache(std::string folder, bool writable);
    // $XDG_CACHE_HOME/quarrin/images-<format version>, shared by the programs: entries are keyed
    // by the SVG's content.
    static std::string defaultRasterCacheFolder();

    ~Image() override;

    // Object
    std::string className() const override { return "UIImage"; }

    Size size() const { return m_size; }
    // The name named() found the image by; empty for other images.
    const std::string& name() const { return m_name; }
    // Pixels per point of a bitmap; 0 for vector images, which have no fixed resolution.
    double scale() const { return m_scale; }
    bool isVector() const { return !m_svgData.empty(); }

    // The image as pixels (an ARGB cairo_surface_t* owned by the image) at this pixel size.
    void* rasterFor(int pixelWidth, int pixelHeight) const;
    // Draws the image stretched into `rect` (cairo_t* target, user space in points).
    void drawInto(void* cairoContext, const Rect& rect, double alpha) const;
    // The image's alpha channel as a mask painted with the context's current source.
    void maskInto(void* cairoContext, const Rect& rect) const;
    // Bytes of pixels the image keeps between draws (its rasterisations, not a bitmap's own).
    std::size_t heldPixelBytes() const;

    // An SVG document of this size in points; `svgHandle` (an RsvgHandle*, taken over) may be null
    // until the document is first drawn from the vector.
    Image(std::string svgData, std::string cacheKey, void* svgHandle, Size size);
    Image(void* surface, Size size, double scale);

private:
    // The parsed document, parsed on first use; null when the SVG library is missing.
    void* document() const;
    // The document drawn into a new pw × ph cairo_surface_t*; null without a document.
    void* renderDocument(int pw, int ph) const;
    // The cached column an image the same along its width repeats at this height, or null.
    void* cachedColumn(int ph) const;
    // After a miss drew `drawn` (ph pixels high): finds out whether the image is the same along
    // its width at this height and, when it is, keeps and stores its column.
    void probeColumn(void* drawn, int ph) const;
    // Draws an image that is the same along its width from its one column, at any width, without
    // a raster of that width; false when no column is known at this height.
    bool drawFromColumn(void* cairoContext, const Rect& rect, int pw, int ph, double alpha) const;
    // Draws a large raster from the rows kept on disk, only the band the clip reaches; false when
    // there are none for this size (the caller draws as usual).
    bool drawFromRows(void* cairoContext, const Rect& rect, int pw, int ph, double alpha) const;
    // After the raster at this size was drawn: a large one goes to disk as rows and is let go.
    void keepAsRows(int pw, int ph) const;

    std::string m_name;
    std::string m_svgData;
    std::string m_cacheKey; // ImageRasterCache's key for m_svgData
    mutable void* m_svg = nullptr; // RsvgHandle*
    mutable bool m_parseFailed = false;
    void* m_surface = nullptr; // cairo_surface_t*
    Size m_size;
    double m_scale = 0;
    // A vector image's last rasterisation, reused while it is drawn at the same pixel size.
    mutable void* m_raster = nullptr;
    mutable int m_rasterWidth = 0;
    mutable int m_rasterHeight = 0;
    mutable void* m_column = nullptr; // 1 × m_columnHeight
    mutable int m_columnHeight = 0;
    mutable int m_unevenHeight = 0; // a height found to differ along the width
    mutable int m_columnLookedUp = 0; // the last height whose column was looked for on disk
    // A size whose raster is on disk as rows, drawn from there.
    mutable int m_rowsWidth = 0;
    mutable int m_rowsHeight = 0;
};

} // namespace kit

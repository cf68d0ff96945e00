// SPDX-License-Identifier: MIT
#include "kit/ui/Image.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/device/DeviceProfile.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/ImageRasterCache.h"
#include "kit/ui/SVGLibrary.h"

#include <cairo.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>

namespace kit {

namespace {

std::optional<std::string>& searchPathOverride()
{
    static std::optional<std::string> path;
    return path;
}

std::map<std::string, ImagePtr, std::less<>>& cache()
{
    static std::map<std::string, ImagePtr, std::less<>> images;
    return images;
}

constexpr int kMaxPixels = 8192; // per side; larger requests are drawn from the vector directly

} // namespace

Image::Image(std::string svgData, std::string cacheKey, void* svgHandle, Size size)
    : m_svgData(std::move(svgData))
    , m_cacheKey(std::move(cacheKey))
    , m_svg(svgHandle)
    , m_size(size)
{
}

Image::Image(void* surface, Size size, double scale)
    : m_surface(surface)
    , m_size(size)
    , m_scale(scale)
{
}

Image::~Image()
{
    svg::release(m_svg);
    if (m_surface)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_surface));
    if (m_raster)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_raster));
    if (m_column)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_column));
}

void Image::setSearchPath(std::string folder)
{
    searchPathOverride() = std::move(folder);
    clearCache();
}

std::string Image::searchPath()
{
    if (searchPathOverride())
        return *searchPathOverride();
    return Bundle::mainBundle().resourcePath() + "/images";
}

void Image::clearCache() { cache().clear(); }

void Image::setRasterCache(std::string folder, bool writable) { ImageRasterCache::configure(std::move(folder), writable); }

std::string Image::defaultRasterCacheFolder() { return ImageRasterCache::defaultFolder(); }

void* Image::document() const
{
    // Tried once: a document that cannot be parsed (or a missing library) is not retried per frame.
    if (!m_svg && !m_svgData.empty() && !m_parseFailed) {
        Size ignored;
        m_svg = svg::parse(m_svgData, &ignored);
        m_parseFailed = !m_svg;
    }
    return m_svg;
}

ImagePtr Image::named(std::string_view name)
{
    // Names are file names inside the images folder, never paths out of it.
    if (name.empty() || name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos || name == "."
        || name == "..")
        return nullptr;
    // On a tablet "<name>~ipad.svg" is preferred where it exists, as the tablet's own artwork.
    bool pad = DeviceProfile::current().isPad();
    std::string key = std::string(name) + (pad ? "~ipad" : "");
    auto& images = cache();
    if (auto it = images.find(key); it != images.end())
        return it->second;
    std::string base = std::string(name);
    if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".svg") == 0)
        base.resize(base.size() - 4);
    ImagePtr image;
    if (pad)
        image = fromFile(searchPath() + "/" + base + "~ipad.svg");
    if (!image)
        image = fromFile(searchPath() + "/" + base + ".svg");
    if (image) {
        // Just made here and shared with no one yet.
        const_cast<Image&>(*image).m_name = base;
        images.emplace(std::move(key), image);
    }
    return image;
}

ImagePtr Image::fromFile(const std::string& path)
{
    auto bytes = FileManager::readFile(path);
    if (!bytes)
        return nullptr;
    return fromSVGData(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

ImagePtr Image::fromSVGData(std::string_view svg)
{
    if (svg.empty())
        return nullptr;
    // With its size in the cache the document is parsed only when a raster is missing; only
    // documents that parsed and had a size ever got an entry.
    std::string key = ImageRasterCache::isEnabled() ? ImageRasterCache::keyFor(svg) : std::string();
    if (!key.empty()) {
        if (auto size = ImageRasterCache::size(key))
            return std::make_shared<Image>(std::string(svg), std::move(key), nullptr, *size);
    }
    Size size;
    void* handle = svg::parse(svg, &size);
    if (!handle)
        return nullptr;
    if (!key.empty())
        ImageRasterCache::storeSize(key, size);
    return std::make_shared<Image>(std::string(svg), std::move(key), handle, size);
}

ImagePtr Image::fromDrawing(Size size, double scale, bool opaque, const std::function<void(GraphicsContext&)>& draw)
{
    if (!(size.width > 0) || !(size.height > 0) || !std::isfinite(size.width) || !std::isfinite(size.height))
        return nullptr;
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1;
    int pw = int(std::ceil(size.width * scale));
    int ph = int(std::ceil(size.height * scale));
    if (pw > kMaxPixels || ph > kMaxPixels)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, pw, ph);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* cr = cairo_create(surface);
    if (opaque) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    cairo_scale(cr, scale, scale);
    if (draw) {
        GraphicsContext context(cr, scale);
        draw(context);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return std::make_shared<Image>(surface, size, scale);
}

namespace {

cairo_surface_t* newImageSurface(int pw, int ph)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS)
        return surface;
    cairo_surface_destroy(surface);
    return nullptr;
}

// Whether every column of `surface` holds the same pixels as the 1-pixel-wide `column`.
bool repeats(cairo_surface_t* surface, cairo_surface_t* column)
{
    int width = cairo_image_surface_get_width(surface);
    int height = cairo_image_surface_get_height(surface);
    if (cairo_image_surface_get_height(column) != height)
        return false;
    const unsigned char* rows = cairo_image_surface_get_data(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(column);
    int stride = cairo_image_surface_get_stride(surface);
    int columnStride = cairo_image_surface_get_stride(column);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(rows + std::ptrdiff_t(y) * stride);
        std::uint32_t pixel = *reinterpret_cast<const std::uint32_t*>(pixels + std::ptrdiff_t(y) * columnStride);
        if (!std::all_of(row, row + width, [pixel](std::uint32_t each) { return each == pixel; }))
            return false;
    }
    return true;
}

cairo_surface_t* repeatColumn(cairo_surface_t* column, int pw)
{
    int height = cairo_image_surface_get_height(column);
    cairo_surface_t* surface = newImageSurface(pw, height);
    if (!surface)
        return nullptr;
    unsigned char* rows = cairo_image_surface_get_data(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(column);
    int stride = cairo_image_surface_get_stride(surface);
    int columnStride = cairo_image_surface_get_stride(column);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(rows + std::ptrdiff_t(y) * stride);
        std::fill(row, row + pw, *reinterpret_cast<const std::uint32_t*>(pixels + std::ptrdiff_t(y) * columnStride));
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// Widths an image is drawn at before it is taken to be the same along its width: odd and even,
// narrow and as wide as a column is ever repeated, so that anything that varies across the
// width shows in at least one of them.
constexpr int kMaxProbedHeight = 256;
constexpr int kProbeWidths[] = { 2, 3, 7, 64, 509, ImageRasterCache::kMaxColumnWidth };

// Large rasters are drawn from rows on disk rather than kept.
bool worthRows(int pw, int ph)
{
    long long bytes = (long long)pw * ph * 4;
    return bytes >= ImageRasterCache::kMinRowsBytes && bytes <= ImageRasterCache::kMaxRowsBytes;
}

} // namespace

void* Image::renderDocument(int pw, int ph) const
{
    if (!document())
        return nullptr;
    cairo_surface_t* surface = newImageSurface(pw, ph);
    if (!surface)
        return nullptr;
    cairo_t* cr = cairo_create(surface);
    // librsvg fits the document into the viewport keeping its aspect ratio; images stretch to
    // fill instead, so the document is drawn at its natural size under an unequal scale.
    cairo_scale(cr, pw / m_size.width, ph / m_size.height);
    svg::render(m_svg, cr, m_size);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

void* Image::cachedColumn(int ph) const
{
    if (m_column && m_columnHeight == ph)
        return m_column;
    if (m_unevenHeight == ph)
        return nullptr;
    void* column = ImageRasterCache::column(m_cacheKey, ph);
    if (!column)
        return nullptr;
    if (m_column)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_column));
    m_column = column;
    m_columnHeight = ph;
    return m_column;
}

void Image::probeColumn(void* drawn, int ph) const
{
    if ((m_column && m_columnHeight == ph) || m_unevenHeight == ph)
        return;
    // Bars are a few dozen pixels high; a tall image is not worth probing at full width.
    if (ph > kMaxProbedHeight) {
        m_unevenHeight = ph;
        return;
    }
    auto* column = static_cast<cairo_surface_t*>(renderDocument(1, ph));
    bool even = column && repeats(static_cast<cairo_surface_t*>(drawn), column);
    for (int width : kProbeWidths) {
        if (!even)
            break;
        auto* probe = static_cast<cairo_surface_t*>(renderDocument(width, ph));
        even = probe && repeats(probe, column);
        if (probe)
            cairo_surface_destroy(probe);
    }
    if (!even) {
        if (column)
            cairo_surface_destroy(column);
        m_unevenHeight = ph;
        return;
    }
    if (m_column)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_column));
    m_column = column;
    m_columnHeight = ph;
    ImageRasterCache::storeColumn(m_cacheKey, column);
}

void* Image::rasterFor(int pw, int ph) const
{
    if (m_surface)
        return m_surface;
    if (pw <= 0 || ph <= 0 || pw > kMaxPixels || ph > kMaxPixels)
        return nullptr;
    if (m_raster && m_rasterWidth == pw && m_rasterHeight == ph)
        return m_raster;
    cairo_surface_t* surface = nullptr;
    if (!m_cacheKey.empty()) {
        surface = static_cast<cairo_surface_t*>(ImageRasterCache::raster(m_cacheKey, pw, ph));
        // A bar stretched to a figure's length is drawn at a new width whenever the figure
        // moves; one stored column serves them all.
        if (!surface && pw <= ImageRasterCache::kMaxColumnWidth) {
            if (auto* column = static_cast<cairo_surface_t*>(cachedColumn(ph)))
                surface = repeatColumn(column, pw);
        }
    }
    if (!surface) {
        surface = static_cast<cairo_surface_t*>(renderDocument(pw, ph));
        if (!surface)
            return nullptr;
        if (!m_cacheKey.empty()) {
            probeColumn(surface, ph);
            // A large raster is stored as rows once drawn (keepAsRows); as a PNG it would be
            // stored twice.
            bool even = m_column && m_columnHeight == ph;
            if (!even && !worthRows(pw, ph))
                ImageRasterCache::storeRaster(m_cacheKey, surface);
        }
    }
    if (m_raster)
        cairo_surface_destroy(static_cast<cairo_surface_t*>(m_raster));
    m_raster = surface;
    m_rasterWidth = pw;
    m_rasterHeight = ph;
    return m_raster;
}

namespace {

// The size `rect` covers in device pixels, when the current transform keeps the axes.
std::optional<std::pair<int, int>> devicePixels(cairo_t* cr, const Rect& rect)
{
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (std::abs(m.xy) > 1e-9 || std::abs(m.yx) > 1e-9)
        return std::nullopt;
    int pw = int(std::lround(std::abs(rect.width() * m.xx)));
    int ph = int(std::lround(std::abs(rect.height() * m.yy)));
    if (pw <= 0 || ph <= 0)
        return std::nullopt;
    return std::make_pair(pw, ph);
}

} // namespace

void Image::drawInto(void* context, const Rect& rect, double alpha) const
{
    auto* cr = static_cast<cairo_t*>(context);
    cairo_save(cr);
    auto pixels = devicePixels(cr, rect);
    cairo_surface_t* raster = nullptr;
    int pw = 0, ph = 0;
    if (m_surface) {
        raster = static_cast<cairo_surface_t*>(m_surface);
        pw = cairo_image_surface_get_width(raster);
        ph = cairo_image_surface_get_height(raster);
    } else if (pixels) {
        pw = pixels->first;
        ph = pixels->second;
        if (drawFromColumn(cr, rect, pw, ph, alpha) || drawFromRows(cr, rect, pw, ph, alpha)) {
            cairo_restore(cr);
            return;
        }
        raster = static_cast<cairo_surface_t*>(rasterFor(pw, ph));
    }
    if (raster) {
        cairo_translate(cr, rect.x(), rect.y());
        cairo_scale(cr, rect.width() / pw, rect.height() / ph);
        cairo_set_source_surface(cr, raster, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_rectangle(cr, 0, 0, pw, ph);
        cairo_clip(cr);
        cairo_paint_with_alpha(cr, alpha);
        if (!m_surface) {
            keepAsRows(pw, ph);
            // Found to be the same along its width: the column draws it from now on.
            if (m_raster && m_column && m_columnHeight == ph) {
                cairo_surface_destroy(static_cast<cairo_surface_t*>(m_raster));
                m_raster = nullptr;
                m_rasterWidth = m_rasterHeight = 0;
            }
        }
    } else if (document()) {
        // Turned or huge: straight from the vector.
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_clip(cr);
        if (alpha < 1)
            cairo_push_group(cr);
        cairo_translate(cr, rect.x(), rect.y());
        cairo_scale(cr, rect.width() / m_size.width, rect.height() / m_size.height);
        svg::render(m_svg, cr, m_size);
        if (alpha < 1) {
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, alpha);
        }
    }
    cairo_restore(cr);
}

namespace {

// A surface whose pixels are mapped for it alone and unmapped with it. A band is drawn once and
// let go; from the heap it would leave its pages resident (the allocator keeps blocks of this
// size once it has seen one freed), mapped it returns them at once.
cairo_surface_t* mappedImageSurface(int pw, int ph)
{
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pw);
    if (stride <= 0 || ph <= 0)
        return nullptr;
    std::size_t bytes = std::size_t(stride) * std::size_t(ph);
    void* pixels = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pixels == MAP_FAILED)
        return nullptr;
    cairo_surface_t* surface
        = cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, pw, ph, stride);
    struct Mapping {
        void* pixels;
        std::size_t bytes;
    };
    static const cairo_user_data_key_t key {};
    auto* mapping = new Mapping { pixels, bytes };
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS
        || cairo_surface_set_user_data(surface, &key, mapping,
               [](void* data) {
                   auto* unmapped = static_cast<Mapping*>(data);
                   ::munmap(unmapped->pixels, unmapped->bytes);
                   delete unmapped;
               })
            != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        ::munmap(pixels, bytes);
        delete mapping;
        return nullptr;
    }
    return surface;
}

// Rows of slack above and below the clip, for the filter's reach.
constexpr int kBandSlack = 2;

} // namespace

bool Image::drawFromColumn(void* context, const Rect& rect, int pw, int ph, double alpha) const
{
    if (m_cacheKey.empty() || pw > ImageRasterCache::kMaxColumnWidth || (m_raster && m_rasterWidth == pw && m_rasterHeight == ph))
        return false;
    void* column = nullptr;
    if (m_column && m_columnHeight == ph) {
        column = m_column;
    } else if (m_columnLookedUp != ph) {
        // Looked for once per height: an image that has none is not looked up every frame.
        m_columnLookedUp = ph;
        column = cachedColumn(ph);
    }
    if (!column)
        return false;
    auto* cr = static_cast<cairo_t*>(context);
    cairo_save(cr);
    cairo_translate(cr, rect.x(), rect.y());
    cairo_scale(cr, rect.width() / pw, rect.height() / ph);
    cairo_set_source_surface(cr, static_cast<cairo_surface_t*>(column), 0, 0);
    // Padding repeats the column's pixels across the width, as a raster of that width holds them.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_rectangle(cr, 0, 0, pw, ph);
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    return true;
}

bool Image::drawFromRows(void* context, const Rect& rect, int pw, int ph, double alpha) const
{
    if (m_cacheKey.empty() || !worthRows(pw, ph) || !ImageRasterCache::isEnabled())
        return false;
    if (m_rowsWidth != pw || m_rowsHeight != ph) {
        // Already in memory (a read-only cache that lacks the rows): draw from there.
        if (m_raster && m_rasterWidth == pw && m_rasterHeight == ph)
            return false;
        if (!ImageRasterCache::hasRows(m_cacheKey, pw, ph))
            return false;
        m_rowsWidth = pw;
        m_rowsHeight = ph;
    }
    auto* cr = static_cast<cairo_t*>(context);
    cairo_save(cr);
    cairo_translate(cr, rect.x(), rect.y());
    cairo_scale(cr, rect.width() / pw, rect.height() / ph);
    cairo_rectangle(cr, 0, 0, pw, ph);
    cairo_clip(cr);
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    int first = std::clamp(int(std::floor(y1)) - kBandSlack, 0, ph);
    int last = std::clamp(int(std::ceil(y2)) + kBandSlack, 0, ph);
    bool drawn = true;
    if (last > first) {
        cairo_surface_t* band = mappedImageSurface(pw, last - first);
        drawn = band && ImageRasterCache::readRows(m_cacheKey, pw, ph, first, last - first, band);
        if (drawn) {
            cairo_set_source_surface(cr, band, 0, first);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
            cairo_paint_with_alpha(cr, alpha);
        }
        if (band)
            cairo_surface_destroy(band);
    }
    cairo_restore(cr);
    if (!drawn) {
        // Gone or damaged since: back to drawing from memory.
        m_rowsWidth = m_rowsHeight = 0;
    }
    return drawn;
}

void Image::keepAsRows(int pw, int ph) const
{
    if (m_cacheKey.empty() || !worthRows(pw, ph) || !m_raster || m_rasterWidth != pw || m_rasterHeight != ph)
        return;
    if (!ImageRasterCache::storeRows(m_cacheKey, m_raster))
        return;
    m_rowsWidth = pw;
    m_rowsHeight = ph;
    cairo_surface_destroy(static_cast<cairo_surface_t*>(m_raster));
    m_raster = nullptr;
    m_rasterWidth = m_rasterHeight = 0;
}

std::size_t Image::heldPixelBytes() const
{
    std::size_t bytes = 0;
    for (void* surface : { m_raster, m_column }) {
        if (auto* image = static_cast<cairo_surface_t*>(surface))
            bytes += std::size_t(cairo_image_surface_get_stride(image)) * std::size_t(cairo_image_surface_get_height(image));
    }
    return bytes;
}

void Image::maskInto(void* context, const Rect& rect) const
{
    auto* cr = static_cast<cairo_t*>(context);
    cairo_save(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr);
    cairo_push_group(cr);
    // The source colour is kept by the caller; draw the image opaque into a group, then paint
    // the colour through its alpha.
    drawInto(cr, rect, 1);
    cairo_pattern_t* shape = cairo_pop_group(cr);
    cairo_mask(cr, shape);
    cairo_pattern_destroy(shape);
    cairo_restore(cr);
}

} // namespace kit

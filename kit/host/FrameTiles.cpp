// SPDX-License-Identifier: MIT
#include "kit/host/FrameTiles.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

namespace kit {

namespace {

void copyPixels(cairo_surface_t* frame, int x, int y, int width, int height, unsigned char* target, std::size_t targetStride)
{
    std::size_t stride = std::size_t(cairo_image_surface_get_stride(frame));
    const unsigned char* source = cairo_image_surface_get_data(frame) + std::size_t(y) * stride + std::size_t(x) * 4;
    for (int row = 0; row < height; ++row)
        std::memcpy(target + std::size_t(row) * targetStride, source + std::size_t(row) * stride, std::size_t(width) * 4);
}

} // namespace

GskRenderNode* makeFrameTextureNode(cairo_surface_t* frame, int scale, int x, int y, int width, int height)
{
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(float(x) / float(scale), float(y) / float(scale), float(width) / float(scale),
        float(height) / float(scale));
    std::size_t stride = std::size_t(width) * 4;
    auto* pixels = static_cast<unsigned char*>(g_malloc(stride * std::size_t(height)));
    copyPixels(frame, x, y, width, height, pixels, stride);
    GBytes* bytes = g_bytes_new_take(pixels, stride * std::size_t(height));
    // cairo's ARGB32 is GTK's default memory format: premultiplied B, G, R, A bytes.
    GdkTexture* texture = gdk_memory_texture_new(width, height, GDK_MEMORY_DEFAULT, bytes, stride);
    g_bytes_unref(bytes);
    GskRenderNode* node = gsk_texture_node_new(texture, &bounds);
    g_object_unref(texture);
    return node;
}

void FrameTileSurfaces::reset(cairo_surface_t* frame, int scale, int tileSize)
{
    release();
    m_frame = frame;
    m_scale = scale;
    m_tileSize = tileSize;
    if (!frame || tileSize <= 0)
        return;
    m_columns = (cairo_image_surface_get_width(frame) + tileSize - 1) / tileSize;
    m_rows = (cairo_image_surface_get_height(frame) + tileSize - 1) / tileSize;
    m_surfaces.assign(std::size_t(m_columns) * std::size_t(m_rows), nullptr);
}

void FrameTileSurfaces::release()
{
    // Destroying a tile's surface gives its snapshots their copies.
    for (cairo_surface_t* surface : m_surfaces) {
        if (surface)
            cairo_surface_destroy(surface);
    }
    m_surfaces.clear();
    m_frame = nullptr;
    m_columns = m_rows = 0;
}

GskRenderNode* FrameTileSurfaces::makeNode(int column, int row)
{
    if (!m_frame || column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return nullptr;
    int x = column * m_tileSize, y = row * m_tileSize;
    int width = std::min(m_tileSize, cairo_image_surface_get_width(m_frame) - x);
    int height = std::min(m_tileSize, cairo_image_surface_get_height(m_frame) - y);
    cairo_surface_t*& surface = m_surfaces[std::size_t(row) * std::size_t(m_columns) + std::size_t(column)];
    if (!surface) {
        int stride = cairo_image_surface_get_stride(m_frame);
        unsigned char* pixels = cairo_image_surface_get_data(m_frame) + std::size_t(y) * std::size_t(stride) + std::size_t(x) * 4;
        surface = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride);
        cairo_surface_set_device_scale(surface, m_scale, m_scale);
    }
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(float(x) / float(m_scale), float(y) / float(m_scale),
        float(width) / float(m_scale), float(height) / float(m_scale));
    GskRenderNode* node = gsk_cairo_node_new(&bounds);
    cairo_t* cr = gsk_cairo_node_get_draw_context(node);
    cairo_set_source_surface(cr, surface, bounds.origin.x, bounds.origin.y);
    cairo_paint(cr);
    cairo_destroy(cr);
    return node;
}

void FrameTileSurfaces::willDraw(int column, int row)
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return;
    // Flushing detaches the surface's snapshots, which copy the pixels they still show.
    if (cairo_surface_t* surface = m_surfaces[std::size_t(row) * std::size_t(m_columns) + std::size_t(column)])
        cairo_surface_flush(surface);
}

} // namespace kit

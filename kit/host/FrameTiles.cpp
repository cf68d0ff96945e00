// SPDX-License-Identifier: MIT
#include "kit/host/FrameTiles.h"

#include <gtk/gtk.h>

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

GskRenderNode* makeFrameTileNode(cairo_surface_t* frame, int scale, bool forCairoRenderer, int x, int y, int width, int height)
{
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(float(x) / float(scale), float(y) / float(scale), float(width) / float(scale),
        float(height) / float(scale));
    if (!forCairoRenderer) {
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
    // The cairo node records a paint of the tile's pixels in place in the frame. The recording
    // keeps a snapshot of its source; letting go of the source now makes cairo copy the pixels
    // into that snapshot, once, so later drawing on the frame does not reach the node.
    unsigned char* pixels = cairo_image_surface_get_data(frame)
        + std::size_t(y) * std::size_t(cairo_image_surface_get_stride(frame)) + std::size_t(x) * 4;
    cairo_surface_t* tile
        = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, cairo_image_surface_get_stride(frame));
    cairo_surface_set_device_scale(tile, scale, scale);
    GskRenderNode* node = gsk_cairo_node_new(&bounds);
    cairo_t* cr = gsk_cairo_node_get_draw_context(node);
    cairo_set_source_surface(cr, tile, bounds.origin.x, bounds.origin.y);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(tile);
    return node;
}

} // namespace kit

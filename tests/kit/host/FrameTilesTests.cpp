// SPDX-License-Identifier: MIT
#include "kit/host/FrameTiles.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace kit;

namespace {

// GSK registers its node types on first use of a node type; these tests make nodes without a display.
void ensureNodeTypes()
{
    g_type_ensure(GSK_TYPE_CAIRO_NODE);
    g_type_ensure(GSK_TYPE_TEXTURE_NODE);
}

// A frame where every pixel differs from its neighbours: a misplaced or rescaled tile shows.
cairo_surface_t* patternedFrame(int width, int height)
{
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(frame);
    unsigned char* data = cairo_image_surface_get_data(frame);
    int stride = cairo_image_surface_get_stride(frame);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < width; ++x)
            row[x]
                = 0xff000000u | std::uint32_t(x & 0xff) << 16 | std::uint32_t(y & 0xff) << 8 | std::uint32_t((x * 7 + y) & 0xff);
    }
    cairo_surface_mark_dirty(frame);
    return frame;
}

std::uint32_t pixelAt(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::uint32_t pixel;
    std::memcpy(&pixel, data + std::size_t(y) * std::size_t(cairo_image_surface_get_stride(surface)) + std::size_t(x) * 4, 4);
    return pixel;
}

// Draws the node as GTK's cairo renderer does: onto a surface of the frame's pixel size whose
// device scale is the frame's.
cairo_surface_t* drawNode(GskRenderNode* node, int pixelWidth, int pixelHeight, int scale)
{
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
    cairo_surface_set_device_scale(target, scale, scale);
    cairo_t* cr = cairo_create(target);
    gsk_render_node_draw(node, cr);
    cairo_destroy(cr);
    return target;
}

// How many pixels of `drawn` differ from what the tile (x, y, w, h) of `frame` should put there:
// the frame's pixels inside the tile, nothing outside it.
int wrongPixels(cairo_surface_t* drawn, cairo_surface_t* frame, int x, int y, int w, int h)
{
    int wrong = 0;
    for (int py = 0; py < cairo_image_surface_get_height(drawn); ++py) {
        for (int px = 0; px < cairo_image_surface_get_width(drawn); ++px) {
            bool inside = px >= x && px < x + w && py >= y && py < y + h;
            if (pixelAt(drawn, px, py) != (inside ? pixelAt(frame, px, py) : 0u))
                ++wrong;
        }
    }
    return wrong;
}

// The node for a tile of the frame, of either kind, at (x, y) with the given tile size.
struct TileMaker {
    bool forCairo;
    FrameTileSurfaces surfaces;
    GskRenderNode* make(cairo_surface_t* frame, int scale, int tileSize, int x, int y)
    {
        if (!forCairo) {
            int w = std::min(tileSize, cairo_image_surface_get_width(frame) - x);
            int h = std::min(tileSize, cairo_image_surface_get_height(frame) - y);
            return makeFrameTextureNode(frame, scale, x, y, w, h);
        }
        surfaces.reset(frame, scale, tileSize);
        return surfaces.makeNode(x / tileSize, y / tileSize);
    }
};

void paintRed(cairo_surface_t* frame)
{
    cairo_t* cr = cairo_create(frame);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
}

} // namespace

// Both kinds of tile, at one and two pixels per point, an inner tile and a narrower edge tile:
// drawn the way GTK's cairo renderer draws a frame, each puts exactly its frame pixels in place.
TEST(FrameTiles, ATileDrawsExactlyItsPixelsOfTheFrameInPlace)
{
    ensureNodeTypes();
    for (bool forCairo : { true, false }) {
        for (int scale : { 1, 2 }) {
            const int width = 200 * scale, height = 150 * scale;
            const int tileSize = 64 * scale;
            cairo_surface_t* frame = patternedFrame(width, height);
            struct Tile {
                int x, y, w, h;
            };
            // An inner tile, and the last one, cut by the frame's edges.
            int lastX = (width - 1) / tileSize * tileSize, lastY = (height - 1) / tileSize * tileSize;
            for (Tile tile : { Tile { tileSize, 0, tileSize, tileSize }, Tile { lastX, lastY, width - lastX, height - lastY } }) {
                SCOPED_TRACE(testing::Message() << (forCairo ? "cairo node" : "texture node") << ", scale " << scale
                                                << ", tile at " << tile.x << "," << tile.y);
                TileMaker maker { forCairo, {} };
                GskRenderNode* node = maker.make(frame, scale, tileSize, tile.x, tile.y);
                ASSERT_NE(node, nullptr);
                // The cairo renderer must not get a texture: it would convert it on every frame.
                EXPECT_EQ(gsk_render_node_get_node_type(node), forCairo ? GSK_CAIRO_NODE : GSK_TEXTURE_NODE);
                graphene_rect_t bounds;
                gsk_render_node_get_bounds(node, &bounds);
                EXPECT_FLOAT_EQ(bounds.origin.x * float(scale), float(tile.x));
                EXPECT_FLOAT_EQ(bounds.size.width * float(scale), float(tile.w));
                EXPECT_FLOAT_EQ(bounds.size.height * float(scale), float(tile.h));
                cairo_surface_t* drawn = drawNode(node, width, height, scale);
                EXPECT_EQ(wrongPixels(drawn, frame, tile.x, tile.y, tile.w, tile.h), 0);
                cairo_surface_destroy(drawn);
                gsk_render_node_unref(node);
            }
            cairo_surface_destroy(frame);
        }
    }
}

// The frame is drawn on again after its tiles are made (the next damage, announced for the
// cairo tiles); a kept tile still shows the pixels it was made from, and outlives the frame.
TEST(FrameTiles, ATileKeepsItsPixelsWhenTheFrameIsDrawnOnOrGone)
{
    ensureNodeTypes();
    for (bool forCairo : { true, false }) {
        SCOPED_TRACE(forCairo ? "cairo node" : "texture node");
        cairo_surface_t* frame = patternedFrame(128, 128);
        cairo_surface_t* original = patternedFrame(128, 128);
        TileMaker maker { forCairo, {} };
        GskRenderNode* node = maker.make(frame, 1, 128, 0, 0);
        maker.surfaces.willDraw(0, 0);
        paintRed(frame);

        cairo_surface_t* first = drawNode(node, 128, 128, 1);
        maker.surfaces.release();
        cairo_surface_destroy(frame);
        cairo_surface_t* second = drawNode(node, 128, 128, 1);
        EXPECT_EQ(wrongPixels(first, original, 0, 0, 128, 128), 0);
        EXPECT_EQ(wrongPixels(second, original, 0, 0, 128, 128), 0) << "a tile draws the same every frame";
        cairo_surface_destroy(first);
        cairo_surface_destroy(second);
        cairo_surface_destroy(original);
        gsk_render_node_unref(node);
    }
}

// A cairo tile holds no copy of its pixels until they are about to change: only the tiles a
// drawing reaches are copied, and a tile whose node GTK has let go is not copied at all.
TEST(FrameTiles, CairoTilesShareTheFramesPixelsUntilTheirTileIsDrawnOn)
{
    ensureNodeTypes();
    cairo_surface_t* frame = patternedFrame(128, 64);
    cairo_surface_t* original = patternedFrame(128, 64);
    FrameTileSurfaces surfaces;
    surfaces.reset(frame, 1, 64);
    ASSERT_EQ(surfaces.columns(), 2);
    ASSERT_EQ(surfaces.rows(), 1);
    GskRenderNode* left = surfaces.makeNode(0, 0);
    GskRenderNode* right = surfaces.makeNode(1, 0);
    EXPECT_EQ(surfaces.makeNode(2, 0), nullptr);
    // Only the left tile is announced; then the whole frame changes.
    surfaces.willDraw(0, 0);
    paintRed(frame);
    cairo_surface_t* drawnLeft = drawNode(left, 128, 64, 1);
    cairo_surface_t* drawnRight = drawNode(right, 128, 64, 1);
    EXPECT_EQ(wrongPixels(drawnLeft, original, 0, 0, 64, 64), 0) << "the announced tile kept its pixels";
    EXPECT_EQ(wrongPixels(drawnRight, frame, 64, 0, 64, 64), 0) << "the other tile shows the frame itself, no copy";
    cairo_surface_destroy(drawnLeft);
    cairo_surface_destroy(drawnRight);
    gsk_render_node_unref(left);
    gsk_render_node_unref(right);
    surfaces.release();
    cairo_surface_destroy(frame);
    cairo_surface_destroy(original);
}

// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

typedef struct _cairo_surface cairo_surface_t;
typedef struct _GskRenderNode GskRenderNode;

namespace kit {

// The texture node GTK's GL renderer gets for the kept frame, or part of it: the pixels at
// (x, y, width, height) of `frame` (device pixels, an ARGB32 image surface at `scale` pixels per
// point), placed at their point position. The node owns a copy, so the frame may be drawn on
// afterwards. (GTK's cairo renderer would convert a texture into a new cairo surface on every
// frame, whether its clip reaches the texture or not; it gets FrameTileSurfaces' nodes.)
GskRenderNode* makeFrameTextureNode(cairo_surface_t* frame, int scale, int x, int y, int width, int height);

// The frame's tiles as surfaces over the frame's own pixels, for cairo nodes that show a tile
// without keeping a copy of it: a whole frame's worth of memory less than makeFrameTileNode's
// cairo nodes.
//
// A node's recording holds a copy-on-write snapshot of its tile's surface. The frame is drawn on
// behind cairo's back, so whoever draws must first call willDraw for every tile the drawing
// reaches: a node still held then gets its own copy of those old pixels (64 px tiles: 16 KiB
// each), and a tile the damage misses is never copied.
class FrameTileSurfaces {
public:
    FrameTileSurfaces() = default;
    ~FrameTileSurfaces() { release(); }
    FrameTileSurfaces(const FrameTileSurfaces&) = delete;
    FrameTileSurfaces& operator=(const FrameTileSurfaces&) = delete;

    // Tiles of `tileSize` device pixels over `frame` (not owned: release before it goes).
    void reset(cairo_surface_t* frame, int scale, int tileSize);
    // Lets go of every tile surface; nodes still held keep copies of their pixels.
    void release();
    // The node showing the tile at (column, row), at its point position.
    GskRenderNode* makeNode(int column, int row);
    // The frame's pixels under the tile are about to change.
    void willDraw(int column, int row);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }

private:
    cairo_surface_t* m_frame = nullptr;
    int m_scale = 1;
    int m_tileSize = 0;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<cairo_surface_t*> m_surfaces; // row by row, made on first use
};

} // namespace kit

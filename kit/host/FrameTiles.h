// SPDX-License-Identifier: MIT
#pragma once

typedef struct _cairo_surface cairo_surface_t;
typedef struct _GskRenderNode GskRenderNode;

namespace kit {

// The render node GTK gets for one tile of the kept frame: the pixels at (x, y, width, height)
// of `frame` (device pixels, an ARGB32 image surface at `scale` pixels per point), placed at
// their point position. The node owns a copy, so the frame may be drawn on afterwards.
//
// GTK's cairo renderer converts a texture node's whole texture into a new cairo surface every
// frame, for every tile, whether the frame's clip reaches it or not; for that renderer the tile
// is a cairo node painting the copy, replayed only where the clip reaches. The other renderers
// upload a texture once and keep it, so they get a texture node.
GskRenderNode* makeFrameTileNode(cairo_surface_t* frame, int scale, bool forCairoRenderer, int x, int y, int width, int height);

} // namespace kit

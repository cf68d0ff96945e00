// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <string>
#include <string_view>

namespace kit::svg {

// librsvg, loaded by the first SVG that has to be parsed rather than at start: a run whose
// images all come from the raster cache never maps it (nor the XML parser under it), which
// saves several megabytes of resident memory. When it cannot be loaded, documents cannot be
// parsed and one line is logged.

// A parsed document (an RsvgHandle*) and its size in points; null when librsvg is missing, the
// bytes are no SVG, or the document has no finite positive width and height.
void* parse(std::string_view bytes, Size* size);
// Draws the document at its natural size into the cairo_t*: callers scale the context first.
void render(void* document, void* cairoContext, Size size);
void release(void* document);

// Tests load this file name instead ("" restores librsvg); a name that cannot be loaded makes
// every parse fail as a missing librsvg would.
void setLibraryNameForTesting(std::string name);

} // namespace kit::svg

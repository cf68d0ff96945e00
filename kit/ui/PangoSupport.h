// SPDX-License-Identifier: MIT
#pragma once

// Internal to kit/ui: the shared Pango context that all text is measured and drawn with.

#include "kit/ui/Font.h"

#include <pango/pangocairo.h>

namespace kit::pango {

// Hint metrics off and unrounded glyph positions: measurements in points independent of the
// scale the text is later drawn at.
PangoContext* context();
PangoFontMap* fontMap();
// A new description the caller frees (pango_font_description_free).
PangoFontDescription* description(const Font& font);

} // namespace kit::pango

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace kit {

// Writes an image surface as a PNG. The file is written beside its destination and renamed over
// it only when complete, so a failed write never leaves a truncated picture behind.
Result<void> writePNG(cairo_surface_t* surface, const std::string& path);

} // namespace kit

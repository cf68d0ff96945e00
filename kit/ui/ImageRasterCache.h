// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <optional>
#include <string>

namespace kit::ImageRasterCache {

// Rasterised SVGs on disk, so that a run whose images were all drawn before never loads the SVG
// library. An entry is keyed by a digest of the SVG's bytes (a changed file gets new entries,
// never a stale raster), the pixel size and the format version, which names the folder:
//   <folder>/<digest>.size            the size in points, "<width> <height>"
//   <folder>/<digest>-<W>x<H>.png     the raster, W × H pixels
//   <folder>/<digest>-column-<H>.png  for an image that is the same along its width (a bar
//                                      stretched to a figure's length), the one column of
//                                      pixels that every width up to kMaxColumnWidth repeats
//   <folder>/<digest>-<W>x<H>.rows    a large raster's pixels again, uncompressed (premultiplied
//                                      ARGB32 in this machine's byte order, row after row), so
//                                      that a band of rows can be read for a frame's damage
//                                      while the image holds none of it between frames
// Entries are written to a temporary file and renamed into place, so readers (this program or
// another sharing the folder) see a whole entry or none. Anything unreadable, malformed or of
// another size reads as a miss, and the next store replaces it.
//
// Bounds: a process writes at most kMaxWritesPerRun entries; its first write removes folders
// of other format versions beside this one and, when the folder holds more than kMaxBytes,
// the oldest entries down to half of that.
inline constexpr int kFormatVersion = 1;
inline constexpr int kMaxWritesPerRun = 256;
inline constexpr long long kMaxBytes = 32 << 20;
inline constexpr int kMaxColumnWidth = 2048;

// $XDG_CACHE_HOME/quarrin/images-<version>, else ~/.cache/quarrin/images-<version>.
std::string defaultFolder();

// An empty folder turns the cache off (the default); a read-only cache never writes, creates
// or removes anything.
void configure(std::string folder, bool writable);
bool isEnabled();

// The hexadecimal digest that keys an SVG's entries.
std::string keyFor(std::string_view svg);

std::optional<Size> size(const std::string& key);
void storeSize(const std::string& key, Size size);
// An ARGB32 cairo_surface_t* of exactly pixelWidth × pixelHeight, owned by the caller; null on a
// miss.
void* raster(const std::string& key, int pixelWidth, int pixelHeight);
void storeRaster(const std::string& key, void* surface);
// The same for a column: 1 × pixelHeight.
void* column(const std::string& key, int pixelHeight);
void storeColumn(const std::string& key, void* surface);

// Rasters of kMinRowsBytes to kMaxRowsBytes are worth keeping as rows: smaller ones cost little
// memory, larger ones too much disk.
inline constexpr long long kMinRowsBytes = 256 << 10;
inline constexpr long long kMaxRowsBytes = 8 << 20;
bool hasRows(const std::string& key, int pixelWidth, int pixelHeight);
// True when the entry is on disk afterwards (stored now or before).
bool storeRows(const std::string& key, void* surface);
// Rows firstRow ..< firstRow + rowCount of the pixelWidth × pixelHeight raster into `target`, an
// ARGB32 cairo_surface_t* of pixelWidth × rowCount (marked dirty here); false on a miss, a short
// or wrongly sized entry, or rows outside the raster.
bool readRows(const std::string& key, int pixelWidth, int pixelHeight, int firstRow, int rowCount, void* target);

} // namespace kit::ImageRasterCache

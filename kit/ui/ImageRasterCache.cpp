// SPDX-License-Identifier: MIT
#include "kit/ui/ImageRasterCache.h"

#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/MD5.h"

#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace kit::ImageRasterCache {

namespace {

namespace fs = std::filesystem;

struct State {
    std::string folder;
    bool writable = false;
    bool prepared = false; // this process has made the folder and bounded it
    bool failed = false; // a write failed: the folder is not ours to write, stop trying
    int writes = 0;
};

State& state()
{
    static State current;
    return current;
}

constexpr double kMaxPoints = 1e6;
// A temporary file this old was left by a writer that died.
constexpr auto kOrphanAge = std::chrono::minutes(10);

std::string sizePath(const std::string& key) { return state().folder + "/" + key + ".size"; }

std::string rasterPath(const std::string& key, int pixelWidth, int pixelHeight)
{
    return state().folder + "/" + key + "-" + std::to_string(pixelWidth) + "x" + std::to_string(pixelHeight) + ".png";
}

std::string rowsPath(const std::string& key, int pixelWidth, int pixelHeight)
{
    return state().folder + "/" + key + "-" + std::to_string(pixelWidth) + "x" + std::to_string(pixelHeight) + ".rows";
}

std::string columnPath(const std::string& key, int pixelHeight)
{
    return state().folder + "/" + key + "-column-" + std::to_string(pixelHeight) + ".png";
}

// Removes other format versions beside the folder, then the oldest entries while the folder is
// over its bound. Errors only leave more on disk.
void bound(const std::string& folder)
{
    std::error_code error;
    fs::path self(folder);
    std::string prefix = "images-";
    for (fs::directory_iterator it(self.parent_path(), error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        bool versionFolder = name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0
            && std::all_of(name.begin() + long(prefix.size()), name.end(), [](char c) { return c >= '0' && c <= '9'; });
        std::error_code ignored;
        if (versionFolder && it->path() != self && it->symlink_status(ignored).type() == fs::file_type::directory)
            fs::remove_all(it->path(), ignored);
    }

    struct Entry {
        fs::path path;
        fs::file_time_type modified;
        std::uintmax_t bytes;
    };
    std::vector<Entry> entries;
    std::uintmax_t total = 0;
    auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(self, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->symlink_status(ignored).type() != fs::file_type::regular)
            continue;
        Entry entry { it->path(), it->last_write_time(ignored), it->file_size(ignored) };
        if (ignored)
            continue;
        if (entry.path.filename().string().starts_with(".")) {
            if (now - entry.modified > kOrphanAge)
                fs::remove(entry.path, ignored);
            continue;
        }
        total += entry.bytes;
        entries.push_back(std::move(entry));
    }
    if (total <= std::uintmax_t(kMaxBytes))
        return;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.modified < b.modified; });
    for (const Entry& entry : entries) {
        if (total <= std::uintmax_t(kMaxBytes / 2))
            break;
        std::error_code ignored;
        if (fs::remove(entry.path, ignored))
            total -= entry.bytes;
    }
}

// Whether this process may write one more entry; the first call makes and bounds the folder.
bool mayWrite()
{
    State& s = state();
    if (s.folder.empty() || !s.writable || s.failed || s.writes >= kMaxWritesPerRun)
        return false;
    if (!s.prepared) {
        s.prepared = true;
        if (auto made = FileManager::createDirectory(s.folder); !made) {
            s.failed = true;
            Log::write("image cache off: " + made.error());
            return false;
        }
        bound(s.folder);
    }
    ++s.writes;
    return true;
}

void write(const std::string& path, std::string_view bytes)
{
    if (auto written = FileManager::writeFileAtomically(path, bytes); !written) {
        state().failed = true;
        Log::write("image cache off: " + written.error());
    }
}

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::optional<double> parsePoints(std::string_view text)
{
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || !(value > 0) || value > kMaxPoints)
        return std::nullopt;
    return value;
}

} // namespace

std::string defaultFolder() { return FileManager::cacheHomeDirectory() + "/quarrin/images-" + std::to_string(kFormatVersion); }

void configure(std::string folder, bool writable)
{
    state() = State {};
    state().folder = std::move(folder);
    state().writable = writable;
}

bool isEnabled() { return !state().folder.empty(); }

std::string keyFor(std::string_view svg) { return md5Hex(md5(svg)); }

std::optional<Size> size(const std::string& key)
{
    if (!isEnabled())
        return std::nullopt;
    // A valid entry is a few bytes; whatever else lies there is read no further than that.
    char buffer[64];
    std::size_t length = 0;
    if (std::FILE* file = std::fopen(sizePath(key).c_str(), "rbe")) {
        length = std::fread(buffer, 1, sizeof buffer, file);
        std::fclose(file);
    }
    if (length == 0 || length == sizeof buffer)
        return std::nullopt;
    std::string_view text(buffer, length);
    if (!text.ends_with('\n'))
        return std::nullopt;
    text.remove_suffix(1);
    auto space = text.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    auto width = parsePoints(text.substr(0, space));
    auto height = parsePoints(text.substr(space + 1));
    if (!width || !height)
        return std::nullopt;
    return Size { *width, *height };
}

void storeSize(const std::string& key, Size size)
{
    if (!mayWrite())
        return;
    // Shortest text that reads back to the same doubles.
    char text[80];
    auto [widthEnd, widthError] = std::to_chars(text, text + 36, size.width);
    *widthEnd = ' ';
    auto [heightEnd, heightError] = std::to_chars(widthEnd + 1, widthEnd + 37, size.height);
    if (widthError != std::errc() || heightError != std::errc())
        return;
    *heightEnd = '\n';
    write(sizePath(key), std::string_view(text, std::size_t(heightEnd + 1 - text)));
}

namespace {

void* readPNG(const std::string& path, int pixelWidth, int pixelHeight)
{
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(read) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(read) != pixelWidth
        || cairo_image_surface_get_height(read) != pixelHeight) {
        cairo_surface_destroy(read);
        return nullptr;
    }
    if (cairo_image_surface_get_format(read) == CAIRO_FORMAT_ARGB32)
        return read;
    // An opaque raster is stored without alpha and reads back as RGB24; drawn the same, but the
    // images hand out ARGB32.
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
    cairo_t* cr = cairo_create(argb);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, read, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(read);
    cairo_surface_flush(argb);
    if (cairo_surface_status(argb) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(argb);
        return nullptr;
    }
    return argb;
}

void writePNG(const std::string& path, cairo_surface_t* image)
{
    std::string png;
    if (cairo_surface_write_to_png_stream(image, &appendTo, &png) == CAIRO_STATUS_SUCCESS)
        write(path, png);
}

} // namespace

void* raster(const std::string& key, int pixelWidth, int pixelHeight)
{
    if (!isEnabled())
        return nullptr;
    return readPNG(rasterPath(key, pixelWidth, pixelHeight), pixelWidth, pixelHeight);
}

void storeRaster(const std::string& key, void* surface)
{
    auto* image = static_cast<cairo_surface_t*>(surface);
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || !mayWrite())
        return;
    writePNG(rasterPath(key, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image)), image);
}

void* column(const std::string& key, int pixelHeight)
{
    if (!isEnabled())
        return nullptr;
    return readPNG(columnPath(key, pixelHeight), 1, pixelHeight);
}

void storeColumn(const std::string& key, void* surface)
{
    auto* image = static_cast<cairo_surface_t*>(surface);
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(image) != 1 || !mayWrite())
        return;
    writePNG(columnPath(key, cairo_image_surface_get_height(image)), image);
}

namespace {

long long rowsBytes(int pixelWidth, int pixelHeight)
{
    if (pixelWidth <= 0 || pixelHeight <= 0)
        return 0;
    return (long long)pixelWidth * pixelHeight * 4;
}

bool inRowsRange(long long bytes) { return bytes >= kMinRowsBytes && bytes <= kMaxRowsBytes; }

// An open entry of exactly `bytes`, or -1.
int openRows(const std::string& key, int pixelWidth, int pixelHeight)
{
    long long bytes = rowsBytes(pixelWidth, pixelHeight);
    if (!isEnabled() || !inRowsRange(bytes))
        return -1;
    int fd = ::open(rowsPath(key, pixelWidth, pixelHeight).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != bytes) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool hasRows(const std::string& key, int pixelWidth, int pixelHeight)
{
    int fd = openRows(key, pixelWidth, pixelHeight);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool storeRows(const std::string& key, void* surface)
{
    auto* image = static_cast<cairo_surface_t*>(surface);
    if (!image || cairo_surface_status(image) != CAIRO_STATUS_SUCCESS
        || cairo_image_surface_get_format(image) != CAIRO_FORMAT_ARGB32)
        return false;
    int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    if (!inRowsRange(rowsBytes(width, height)))
        return false;
    if (hasRows(key, width, height))
        return true;
    if (!mayWrite())
        return false;
    cairo_surface_flush(image);
    std::size_t rowBytes = std::size_t(width) * 4;
    std::size_t stride = std::size_t(cairo_image_surface_get_stride(image));
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::string bytes;
    bytes.reserve(rowBytes * std::size_t(height));
    for (int y = 0; y < height; ++y)
        bytes.append(reinterpret_cast<const char*>(data + std::size_t(y) * stride), rowBytes);
    write(rowsPath(key, width, height), bytes);
    return !state().failed && hasRows(key, width, height);
}

bool readRows(const std::string& key, int pixelWidth, int pixelHeight, int firstRow, int rowCount, void* target)
{
    auto* band = static_cast<cairo_surface_t*>(target);
    if (!band || cairo_surface_status(band) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_format(band) != CAIRO_FORMAT_ARGB32
        || cairo_image_surface_get_width(band) != pixelWidth || cairo_image_surface_get_height(band) != rowCount || firstRow < 0
        || rowCount <= 0 || firstRow + rowCount > pixelHeight)
        return false;
    int fd = openRows(key, pixelWidth, pixelHeight);
    if (fd < 0)
        return false;
    cairo_surface_flush(band);
    std::size_t rowBytes = std::size_t(pixelWidth) * 4;
    std::size_t stride = std::size_t(cairo_image_surface_get_stride(band));
    unsigned char* data = cairo_image_surface_get_data(band);
    bool complete = true;
    // One read when the band's rows lie end to end (ARGB32 strides are width × 4), else a row at a time.
    std::size_t chunk = stride == rowBytes ? rowBytes * std::size_t(rowCount) : rowBytes;
    std::size_t chunks = stride == rowBytes ? 1 : std::size_t(rowCount);
    for (std::size_t i = 0; i < chunks && complete; ++i) {
        unsigned char* into = data + i * stride;
        off_t offset = off_t((std::size_t(firstRow) + i) * rowBytes);
        std::size_t done = 0;
        while (done < chunk) {
            ssize_t got = ::pread(fd, into + done, chunk - done, offset + off_t(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                complete = false;
                break;
            }
            done += std::size_t(got);
        }
    }
    ::close(fd);
    cairo_surface_mark_dirty(band);
    return complete;
}

} // namespace kit::ImageRasterCache

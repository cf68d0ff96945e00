// SPDX-License-Identifier: MIT
#include "kit/host/Png.h"

#include <cairo.h>
#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

struct PngSink {
    int fd = -1;
    bool failed = false;
};

cairo_status_t writeChunk(void* closure, const unsigned char* data, unsigned int length)
{
    auto* sink = static_cast<PngSink*>(closure);
    while (length > 0) {
        ssize_t written = ::write(sink->fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            sink->failed = true;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        data += written;
        length -= static_cast<unsigned>(written);
    }
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

Result<void> writePNG(cairo_surface_t* surface, const std::string& path)
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return Error { "no image to write" };
    if (path.empty())
        return Error { "no file name" };
    cairo_surface_flush(surface);

    std::string temporary = path + ".XXXXXX";
    int fd = g_mkstemp(temporary.data());
    if (fd < 0)
        return Error { "cannot write " + path + ": " + std::strerror(errno) }; // the file asked for, not the scratch name
    fchmod(fd, 0644);

    PngSink sink { fd };
    cairo_status_t status = cairo_surface_write_to_png_stream(surface, writeChunk, &sink);
    bool ok = status == CAIRO_STATUS_SUCCESS && !sink.failed && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string reason = status != CAIRO_STATUS_SUCCESS ? cairo_status_to_string(status) : std::strerror(errno);
        std::remove(temporary.c_str());
        return Error { "cannot write " + path + ": " + reason };
    }
    return {};
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/SVGLibrary.h"

#include "kit/base/Log.h"

#include <cairo.h>
#include <dlfcn.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <set>
#include <type_traits>

namespace kit::svg {

namespace {

struct Librsvg {
    decltype(&::rsvg_handle_new_from_data) new_from_data = nullptr;
    decltype(&::rsvg_handle_get_intrinsic_size_in_pixels) get_intrinsic_size_in_pixels = nullptr;
    decltype(&::rsvg_handle_render_document) render_document = nullptr;
};

// The functions of the one library that loaded; documents it parsed are drawn and released by it.
Librsvg& loadedApi()
{
    static Librsvg api;
    return api;
}

std::string& libraryNameOverride()
{
    static std::string name;
    return name;
}

const Librsvg* load(const std::string& name)
{
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        // Once per library name: a missing library would otherwise be reported for every image.
        static std::set<std::string> reported;
        if (reported.insert(name).second)
            Log::write("cannot load " + name + " (" + (reason ? reason : "unknown error") + "); SVG images are not drawn");
        return nullptr;
    }
    auto find = [handle](auto& function, const char* symbol) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle, symbol));
        return function != nullptr;
    };
    Librsvg loaded;
    if (!find(loaded.new_from_data, "rsvg_handle_new_from_data")
        || !find(loaded.get_intrinsic_size_in_pixels, "rsvg_handle_get_intrinsic_size_in_pixels")
        || !find(loaded.render_document, "rsvg_handle_render_document")) {
        Log::write("cannot use " + name + ": it lacks the functions needed to draw SVG images");
        ::dlclose(handle);
        return nullptr;
    }
    loadedApi() = loaded;
    return &loadedApi();
}

const Librsvg* librsvg()
{
    if (!libraryNameOverride().empty()) {
        // Tests only ask for a library that is missing or incomplete; one that loads stays mapped.
        static std::set<std::string> tried;
        static const Librsvg* found = nullptr;
        if (tried.insert(libraryNameOverride()).second)
            found = load(libraryNameOverride());
        return found;
    }
    static const Librsvg* loaded = load("librsvg-2.so.2");
    return loaded;
}

} // namespace

void* parse(std::string_view bytes, Size* size)
{
    if (bytes.empty())
        return nullptr;
    const Librsvg* api = librsvg();
    if (!api)
        return nullptr;
    GError* error = nullptr;
    RsvgHandle* handle = api->new_from_data(reinterpret_cast<const guint8*>(bytes.data()), gsize(bytes.size()), &error);
    if (error)
        g_error_free(error);
    if (!handle)
        return nullptr;
    double w = 0, h = 0;
    // Without a width and height an SVG has no natural size; such an asset is unusable.
    if (!api->get_intrinsic_size_in_pixels(handle, &w, &h) || !(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) {
        g_object_unref(handle);
        return nullptr;
    }
    *size = Size { w, h };
    return handle;
}

void render(void* document, void* cairoContext, Size size)
{
    const Librsvg& api = loadedApi();
    if (!document || !api.render_document)
        return;
    RsvgRectangle viewport { 0, 0, size.width, size.height };
    GError* error = nullptr;
    api.render_document(static_cast<RsvgHandle*>(document), static_cast<cairo_t*>(cairoContext), &viewport, &error);
    if (error)
        g_error_free(error);
}

void release(void* document)
{
    if (document)
        g_object_unref(static_cast<RsvgHandle*>(document));
}

void setLibraryNameForTesting(std::string name) { libraryNameOverride() = std::move(name); }

} // namespace kit::svg

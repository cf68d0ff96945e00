// SPDX-License-Identifier: MIT
#include "kit/host/GtkHost.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/Memory.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/base/Value.h"
#include "kit/host/AccessibilityBridge.h"
#include "kit/host/FrameTiles.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Application.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#endif

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <sys/stat.h>

namespace kit {

struct GtkHost::Impl {
    GtkHost* host = nullptr;
    GtkApplication* application = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    cairo_surface_t* frame = nullptr; // the last frame drawn, at the widget's scale
    int frameScale = 0;
    // The frame handed to GTK as square tiles, row by row; a tile keeps its node until the
    // damage reaches it, so GTK sees the same node and repaints nothing there.
    std::vector<GskRenderNode*> tiles;
    int tileColumns = 0;
    int tileRows = 0;
    bool tilesForCairo = false; // the tiles are cairo nodes (GTK's cairo renderer), not textures
    FrameTileSurfaces tileSurfaces; // what the cairo nodes show: the frame's own pixels
    guint tickId = 0;
    bool remote = false;
    int presentRequests = 0;
    bool launched = false;
    bool pressed = false;
    ApplicationDelegate* delegate = nullptr;
    std::shared_ptr<View> content;
    bool wasMinimised = false;
    bool moving = false;
    int lastScale = 1;
    guint closeId = 0;
    Point lastScrollPoint; // where the last wheel step was, for the end of the scroll
    std::vector<guint> signalIds;
    std::unique_ptr<AccessibilityBridge> accessibility; // the views' elements for screen readers

    ~Impl()
    {
        dropTiles();
        if (frame)
            cairo_surface_destroy(frame);
    }
    void dropTiles()
    {
        for (GskRenderNode* tile : tiles) {
            if (tile)
                gsk_render_node_unref(tile);
        }
        tiles.clear();
        tileColumns = tileRows = 0;
        tileSurfaces.release();
    }
};

namespace {

// A session bus we can reach without starting one: GLib would otherwise autolaunch a private
// bus through X11, and every launch would be "first".
bool hasSessionBus()
{
    const char* address = getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    std::string socket = std::string(runtime) + "/bus";
    struct stat info;
    return stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Where GL is rendered in software (Mesa's llvmpipe: no GPU, a virtual machine, a remote
// display), a frame of this size is rasterised in a few milliseconds on the thread that asks for
// it; llvmpipe's default of one rasteriser thread per core only adds two or more thread wake-ups
// to every frame (7 voluntary switches a tick against 1–2, the same CPU time). Hardware drivers
// do not read the variable; a value the user set is kept. Set before GTK loads a GL driver and
// before the bus connection starts GLib's threads.
void rasteriseSoftwareGLOnTheDrawingThread() { setenv("LP_NUM_THREADS", "0", 0); }

double scaleOf(GtkHost::Impl& impl)
{
    if (impl.area)
        impl.lastScale = std::max(1, gtk_widget_get_scale_factor(impl.area));
    return impl.lastScale;
}

} // namespace

GtkHost::GtkHost(HostOptions options)
    : m_core(std::make_unique<HostCore>(std::move(options)))
    , m_impl(std::make_unique<Impl>())
{
    m_impl->host = this;
    m_core->urlOpener = [](const std::string& url) {
        GError* error = nullptr;
        bool ok = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
        if (!ok) {
            Log::write(std::string("cannot open ") + url + ": " + (error ? error->message : "?"));
            g_clear_error(&error);
        }
        return ok;
    };
    m_core->urlSchemeQuery = [](const std::string& scheme) {
        GAppInfo* handler = g_app_info_get_default_for_uri_scheme(scheme.c_str());
        if (!handler)
            return false;
        g_object_unref(handler);
        return true;
    };
}

GtkHost::~GtkHost()
{
    if (m_impl->closeId)
        g_source_remove(m_impl->closeId);
    for (guint id : m_impl->signalIds)
        g_source_remove(id);
    if (m_impl->application)
        g_object_unref(m_impl->application);
    Animator::shared().setFrameDriven(false);
    Animator::shared().onAnimationsStarted = {};
    m_core.reset();
    Application::shared().reset();
}

bool GtkHost::wasRemote() const { return m_impl->remote; }
int GtkHost::presentRequests() const { return m_impl->presentRequests; }
cairo_surface_t* GtkHost::lastFrame() const { return m_impl->frame; }
double GtkHost::scaleFactor() const { return scaleOf(*m_impl); }
Size GtkHost::windowSize() const { return m_core->windowSize(); }
int GtkHost::frameTiles() const { return m_impl->tileColumns * m_impl->tileRows; }

static GskRenderer* rendererOf(GtkWidget* widget)
{
    GtkNative* native = widget ? gtk_widget_get_native(widget) : nullptr;
    return native ? gtk_native_get_renderer(native) : nullptr;
}

std::string GtkHost::rendererName() const
{
    GskRenderer* renderer = rendererOf(m_impl->area);
    return renderer ? G_OBJECT_TYPE_NAME(renderer) : "";
}

// Drawing. The frame is kept in our own surface and only its damaged part is drawn again; GTK
// gets it as a grid of tiles (render nodes), where a tile the damage missed keeps its node. GTK
// compares the new snapshot with the last one and repaints only the tiles that changed, where
// a drawing area's cairo node would make it repaint the whole window every frame.
//
// The tiles depend on the renderer. GTK's cairo renderer repaints only the tiles that changed,
// and its work for a tile (its replay, the frame's area) grows with the tile's pixels while
// another node costs it next to nothing: small tiles for it, showing the frame's own pixels (a
// tile is copied only when the damage is about to reach it, for the node GTK still holds).
// The GL renderer repaints whole frames where the surface keeps no buffer age (Xvfb, software
// GL), every tile a draw of its own, and a texture it has not seen costs it an upload (and
// software GL a cleared allocation) of all its pixels: bands of the window's width, where a
// tick replaces the few the damage reached. Beside a bare window's full redraw, one texture
// for the whole frame cost 1.7 ms a tick, 128-px squares 3.7 ms, 128-px bands 0.3 ms, 64-px
// bands nothing measurable.
constexpr int kCairoTileSize = 64; // device pixels
constexpr std::size_t kMappedBlockBytes = 128 << 10;
constexpr int kWholeFrame = std::numeric_limits<int>::max() / 4;
constexpr int kGLBandHeight = 64;

static bool usesCairoRenderer(GtkWidget* widget)
{
    GskRenderer* renderer = rendererOf(widget);
    return renderer && GSK_IS_CAIRO_RENDERER(renderer);
}

static void canvasSnapshot(GtkWidget* widget, GtkSnapshot* snapshot)
{
    auto* data = static_cast<GtkHost::Impl*>(g_object_get_data(G_OBJECT(widget), "kit-host"));
    if (!data)
        return;
    auto& impl = *data;
    HostCore& core = impl.host->core();
    int scale = std::max(1, gtk_widget_get_scale_factor(widget));
    impl.lastScale = scale;
    Size size = core.windowSize();
    int pixelWidth = std::max(1, int(std::ceil(size.width * scale)));
    int pixelHeight = std::max(1, int(std::ceil(size.height * scale)));
    bool cairoRenderer = usesCairoRenderer(widget);
    const int tileWidth = cairoRenderer ? kCairoTileSize : kWholeFrame;
    const int tileHeight = cairoRenderer ? kCairoTileSize : kGLBandHeight;
    if (cairoRenderer != impl.tilesForCairo) {
        impl.dropTiles();
        impl.tilesForCairo = cairoRenderer;
        // With GTK's cairo renderer the large buffers (groups, bands of images) are made for the
        // damage of a tick and freed: mapped apart from the heap they leave nothing resident.
        // The GL renderer makes and frees frame-sized textures every frame, where the allocator's
        // default keeps them in the heap and saves their page faults (5 ms a frame here).
        if (cairoRenderer)
            mapBlocksOfAtLeast(kMappedBlockBytes);
    }
    bool fresh = !impl.frame || impl.frameScale != scale || cairo_image_surface_get_width(impl.frame) != pixelWidth
        || cairo_image_surface_get_height(impl.frame) != pixelHeight || impl.tiles.empty();
    // The tiles (columns and rows) a rectangle in points reaches.
    auto forEachTile = [&impl, scale, tileWidth, tileHeight](const Rect& rect, auto&& action) {
        int c0 = std::max(0, int(std::floor(rect.minX() * scale)) / tileWidth);
        int r0 = std::max(0, int(std::floor(rect.minY() * scale)) / tileHeight);
        int c1 = std::min(impl.tileColumns - 1, (int(std::ceil(rect.maxX() * scale)) - 1) / tileWidth);
        int r1 = std::min(impl.tileRows - 1, (int(std::ceil(rect.maxY() * scale)) - 1) / tileHeight);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c)
                action(c, r);
        }
    };
    std::vector<Rect> damage;
    if (fresh) {
        impl.dropTiles();
        if (impl.frame)
            cairo_surface_destroy(impl.frame);
        impl.frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
        impl.frameScale = scale;
        impl.tileColumns = (pixelWidth + tileWidth - 1) / tileWidth;
        impl.tileRows = (pixelHeight + tileHeight - 1) / tileHeight;
        impl.tiles.assign(std::size_t(impl.tileColumns) * std::size_t(impl.tileRows), nullptr);
        if (cairoRenderer)
            impl.tileSurfaces.reset(impl.frame, scale, kCairoTileSize);
        cairo_t* cr = cairo_create(impl.frame);
        cairo_scale(cr, scale, scale);
        core.drawFrame(cr, scale);
        cairo_destroy(cr);
    } else if (core.needsDisplay() && !impl.wasMinimised) {
        cairo_t* cr = cairo_create(impl.frame);
        cairo_scale(cr, scale, scale);
        core.drawDamage(cr, scale, [&](const std::vector<Rect>& rects) {
            for (const Rect& rect : rects)
                forEachTile(rect, [&impl](int c, int r) { impl.tileSurfaces.willDraw(c, r); });
        });
        cairo_destroy(cr);
        damage = core.damageRects();
    }
    cairo_surface_flush(impl.frame);
    // The tiles the damage reached get new nodes.
    for (const Rect& rect : damage) {
        forEachTile(rect, [&impl](int c, int r) {
            GskRenderNode*& tile = impl.tiles[std::size_t(r) * std::size_t(impl.tileColumns) + std::size_t(c)];
            if (tile)
                gsk_render_node_unref(tile);
            tile = nullptr;
        });
    }
    // Beyond the widest screen of the idiom (a maximised phone window) the window stays black.
    int width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
    if (width > size.width || height > size.height) {
        GdkRGBA black { 0, 0, 0, 1 };
        graphene_rect_t all = GRAPHENE_RECT_INIT(0, 0, float(width), float(height));
        gtk_snapshot_append_color(snapshot, &black, &all);
    }
    for (int r = 0; r < impl.tileRows; ++r) {
        for (int c = 0; c < impl.tileColumns; ++c) {
            int x = c * tileWidth, y = r * tileHeight;
            int w = std::min(tileWidth, pixelWidth - x), h = std::min(tileHeight, pixelHeight - y);
            GskRenderNode*& tile = impl.tiles[std::size_t(r) * std::size_t(impl.tileColumns) + std::size_t(c)];
            if (!tile)
                tile = cairoRenderer ? impl.tileSurfaces.makeNode(c, r) : makeFrameTextureNode(impl.frame, scale, x, y, w, h);
            gtk_snapshot_append_node(snapshot, tile);
        }
    }
    if (impl.host->onFrameDrawn)
        impl.host->onFrameDrawn();
}

// A drawing area whose snapshot is the tiles above (it keeps the drawing area's content size,
// resize signal, children and controllers).
struct KitCanvas {
    GtkDrawingArea parent;
};
struct KitCanvasClass {
    GtkDrawingAreaClass parent;
};
G_DEFINE_TYPE(KitCanvas, kit_canvas, GTK_TYPE_DRAWING_AREA)
static void kit_canvas_init(KitCanvas*) { }
static void kit_canvas_class_init(KitCanvasClass* type) { GTK_WIDGET_CLASS(type)->snapshot = canvasSnapshot; }

// Whether the toplevel is on screen: mapped and not minimised. While it is not, nothing is drawn
// and no frame-clock tick runs; the windows keep collecting damage, drawn on the next show.
static bool isShown(const GtkHost::Impl& impl) { return impl.window && gtk_widget_get_mapped(impl.window) && !impl.wasMinimised; }

static gboolean tick(GtkWidget* widget, GdkFrameClock*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (!isShown(impl)) {
        // Animations wait where they are; showing the window again restarts the ticks.
        impl.tickId = 0;
        return G_SOURCE_REMOVE;
    }
    bool running = impl.host->core().stepAnimations();
    if (impl.host->core().needsDisplay())
        gtk_widget_queue_draw(widget);
    if (!running) {
        impl.tickId = 0;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

static void needsDisplay(GtkHost::Impl& impl)
{
    if (!impl.area || !isShown(impl))
        return;
    gtk_widget_queue_draw(impl.area);
    if (!impl.tickId && impl.host->core().hasAnimations())
        impl.tickId = gtk_widget_add_tick_callback(impl.area, tick, &impl, nullptr);
}

// Mapped again (or, below, no longer minimised): one frame catches up with what changed meanwhile.
static void windowShownAgain(GtkWidget*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (isShown(impl))
        needsDisplay(impl);
}

static double eventTime() { return RunLoop::main().now(); }

static void clickPressed(GtkGestureClick*, int, double x, double y, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    impl.moving = false;
    impl.host->injectPress({ x, y });
}

static void clickReleased(GtkGestureClick*, int, double x, double y, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    impl.host->injectRelease({ x, y });
}

// One press fires both gestures: the click gesture begins and ends the touch, the drag gesture
// only reports motion, and HostCore's movement threshold decides whether it became a drag.
static void dragUpdate(GtkGestureDrag* gesture, double dx, double dy, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    double x = 0, y = 0;
    gtk_gesture_drag_get_start_point(gesture, &x, &y);
    // A desktop widget has no title bar: a drag past the tap distance moves the window, and the
    // touch is cancelled so the drag never counts as a click.
    if (impl.host->core().options().desktopWidget && std::hypot(dx, dy) > HostCore::kTapSlop && !impl.moving) {
        GdkSurface* surface = impl.window ? gtk_native_get_surface(GTK_NATIVE(impl.window)) : nullptr;
        GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(gesture));
        if (surface && GDK_IS_TOPLEVEL(surface) && event) {
            impl.moving = true;
            impl.pressed = false;
            impl.host->core().pointerCancelled();
            gtk_event_controller_reset(GTK_EVENT_CONTROLLER(gesture));
            gdk_toplevel_begin_move(GDK_TOPLEVEL(surface), gdk_event_get_device(event), GDK_BUTTON_PRIMARY, x, y,
                gdk_event_get_time(event));
        }
        return;
    }
    if (impl.moving)
        return;
    impl.host->injectMotion({ x + dx, y + dy });
}

static void dragEnd(GtkGestureDrag* gesture, double dx, double dy, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    impl.moving = false;
    // The click gesture stops reporting once the pointer moved past its own threshold, so the
    // drag's end also ends the touch.
    if (impl.pressed) {
        double x = 0, y = 0;
        gtk_gesture_drag_get_start_point(gesture, &x, &y);
        impl.host->injectRelease({ x + dx, y + dy });
    }
}

static gboolean scrolled(GtkEventControllerScroll* controller, double dx, double dy, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    // Discrete wheel steps arrive as ±1; smooth devices in pixels.
    double step = gtk_event_controller_scroll_get_unit(controller) == GDK_SCROLL_UNIT_WHEEL ? 40 : 1;
    double x = 0, y = 0;
    GdkEvent* event = gtk_event_controller_get_current_event(GTK_EVENT_CONTROLLER(controller));
    if (event) {
        gdk_event_get_position(event, &x, &y);
        graphene_point_t in { float(x), float(y) }, out;
        GtkNative* native = gtk_widget_get_native(impl.area);
        double nx = 0, ny = 0;
        gtk_native_get_surface_transform(native, &nx, &ny);
        in.x -= float(nx);
        in.y -= float(ny);
        if (gtk_widget_compute_point(GTK_WIDGET(native), impl.area, &in, &out)) {
            x = out.x;
            y = out.y;
        }
    }
    impl.host->injectScroll({ x, y }, dx * step, dy * step);
    return TRUE;
}

// A touchpad's fingers left it: the scroll is over now, not after the wheel's idle wait.
static void scrollEnded(GtkEventControllerScroll*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    impl.host->injectScrollEnd(impl.lastScrollPoint);
}

static gboolean keyPressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType state, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    bool control = state & GDK_CONTROL_MASK;
    if (control && (keyval == GDK_KEY_Left || keyval == GDK_KEY_Right)) {
        impl.host->rotate();
        return TRUE;
    }
    KeyEvent event;
    switch (keyval) {
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab: // Shift+Tab
    case GDK_KEY_KP_Tab:
        event.key = Key::Tab;
        break;
    case GDK_KEY_Escape:
        event.key = Key::Escape;
        break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        event.key = Key::Return;
        break;
    case GDK_KEY_space:
    case GDK_KEY_KP_Space:
        event.key = Key::Space;
        break;
    case GDK_KEY_Left:
        event.key = Key::Left;
        break;
    case GDK_KEY_Right:
        event.key = Key::Right;
        break;
    case GDK_KEY_Up:
        event.key = Key::Up;
        break;
    case GDK_KEY_Down:
        event.key = Key::Down;
        break;
    case GDK_KEY_1:
    case GDK_KEY_2:
    case GDK_KEY_3:
    case GDK_KEY_4:
    case GDK_KEY_5:
    case GDK_KEY_6:
    case GDK_KEY_7:
    case GDK_KEY_8:
    case GDK_KEY_9:
        event.key = static_cast<Key>(static_cast<int>(Key::Digit1) + int(keyval - GDK_KEY_1));
        break;
    default:
        return FALSE;
    }
    if (state & GDK_SHIFT_MASK)
        event.modifiers |= KeyModifierShift;
    if (control)
        event.modifiers |= KeyModifierControl;
    if (state & GDK_ALT_MASK)
        event.modifiers |= KeyModifierAlt;
    return impl.host->core().keyPressed(event) ? TRUE : FALSE;
}

// The window's size as the user left it, per device profile, kept in the preferences under the
// host's own key so the next start opens at that size (not for fixed-size windows).
static constexpr const char* kWindowSizeKey = "KitHostWindowSizes";

static void storeWindowSize(GtkHost::Impl& impl)
{
    HostCore& core = impl.host->core();
    if (core.options().windowSize || !impl.window)
        return;
    if (gtk_window_is_maximized(GTK_WINDOW(impl.window)) || gtk_window_is_fullscreen(GTK_WINDOW(impl.window)))
        return;
    Size size = core.windowSize();
    auto& defaults = UserDefaults::standardUserDefaults();
    Value sizes = defaults.objectForKey(kWindowSizeKey);
    Dict all = sizes.isDict() ? *sizes.asDict() : Dict {};
    all[core.options().profile.name] = Value(Dict { { "width", Value(size.width) }, { "height", Value(size.height) } });
    defaults.setObject(Value(std::move(all)), kWindowSizeKey);
}

static std::optional<Size> storedWindowSize(const std::string& profile)
{
    Value sizes = UserDefaults::standardUserDefaults().objectForKey(kWindowSizeKey);
    if (!sizes.isDict())
        return std::nullopt;
    Value stored = sizes[profile];
    if (!stored.isDict())
        return std::nullopt;
    double width = stored["width"].doubleValue(), height = stored["height"].doubleValue();
    if (!(width > 0 && height > 0 && width < 1e5 && height < 1e5))
        return std::nullopt;
    return Size { width, height };
}

static void areaResized(GtkDrawingArea*, int width, int height, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    HostCore& core = impl.host->core();
    Size before = core.windowSize();
    Size after = core.resize({ double(width), double(height) });
    if (!(after == before))
        storeWindowSize(impl);
}

static void toggleFullscreen(GSimpleAction*, GVariant*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (!impl.window)
        return;
    if (gtk_window_is_fullscreen(GTK_WINDOW(impl.window)))
        gtk_window_unfullscreen(GTK_WINDOW(impl.window));
    else
        gtk_window_fullscreen(GTK_WINDOW(impl.window));
}

static void closeWindow(GSimpleAction*, GVariant*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    impl.host->close();
}

// The window's actions and their keys, registered with GTK's own shortcut machinery so they show
// up where the desktop lists an application's shortcuts. One window: quitting is closing it.
static void installActions(GtkHost::Impl& impl)
{
    static const GActionEntry windowActions[] = {
        { "close", closeWindow, nullptr, nullptr, nullptr, { 0, 0, 0 } },
        { "fullscreen", toggleFullscreen, nullptr, nullptr, nullptr, { 0, 0, 0 } },
    };
    static const GActionEntry applicationActions[] = {
        { "quit", closeWindow, nullptr, nullptr, nullptr, { 0, 0, 0 } },
    };
    g_action_map_add_action_entries(G_ACTION_MAP(impl.window), windowActions, G_N_ELEMENTS(windowActions), &impl);
    g_action_map_add_action_entries(G_ACTION_MAP(impl.application), applicationActions, G_N_ELEMENTS(applicationActions), &impl);
    static const char* const quitKeys[] = { "<Control>q", nullptr };
    static const char* const closeKeys[] = { "<Control>w", nullptr };
    static const char* const fullscreenKeys[] = { "F11", nullptr };
    gtk_application_set_accels_for_action(impl.application, "app.quit", quitKeys);
    gtk_application_set_accels_for_action(impl.application, "win.close", closeKeys);
    if (!impl.host->core().options().windowSize)
        gtk_application_set_accels_for_action(impl.application, "win.fullscreen", fullscreenKeys);
}

static void activeChanged(GObject* window, GParamSpec*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (gtk_window_is_active(GTK_WINDOW(window)))
        impl.host->core().becomeActive();
    else
        impl.host->core().resignActive();
}

static void surfaceStateChanged(GObject* surface, GParamSpec*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    GdkToplevelState state = gdk_toplevel_get_state(GDK_TOPLEVEL(surface));
    bool minimised = state & GDK_TOPLEVEL_STATE_MINIMIZED;
    bool restored = !minimised && impl.wasMinimised;
    if (minimised && !impl.wasMinimised)
        impl.host->core().enterBackground();
    impl.wasMinimised = minimised;
    if (restored && isShown(impl))
        needsDisplay(impl);
}

static void storePlace(GtkWidget* widget);

static gboolean closeRequested(GtkWindow* window, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    bool tiled = surface && GDK_IS_TOPLEVEL(surface)
        && (gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & (GDK_TOPLEVEL_STATE_MAXIMIZED | GDK_TOPLEVEL_STATE_FULLSCREEN));
    if (!tiled)
        storePlace(GTK_WIDGET(window));
    impl.host->core().terminate();
    return FALSE; // let the window close; the application then quits
}

static void windowDestroyed(GtkWidget*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    // The tick callback goes with the widget.
    impl.tickId = 0;
    impl.area = nullptr;
    impl.window = nullptr;
    impl.host->core().onNeedsDisplay = {};
    impl.host->core().onWindowSizeChanged = {};
}

// Where the window was left, in root-window pixels, under the host's own key (X11 only: Wayland
// leaves placement to the compositor).
static constexpr const char* kWindowPlaceKey = "KitHostWindowPlace";

#ifdef GDK_WINDOWING_X11
static Display* x11Display(GtkWidget* widget, ::Window* xid)
{
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
    if (!surface || !GDK_IS_X11_SURFACE(surface))
        return nullptr;
    *xid = gdk_x11_surface_get_xid(surface);
    return gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
}
#endif

// Marks a desktop widget for the window manager: a utility window that is not listed in the
// task bar, the pager or the window switcher. X11 only: Wayland has no such hints in GTK 4.8.
static void markDesktopWidget(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    ::Window xid = 0;
    Display* display = x11Display(widget, &xid);
    if (!display)
        return;
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
    gdk_x11_surface_set_skip_taskbar_hint(surface, TRUE);
    gdk_x11_surface_set_skip_pager_hint(surface, TRUE);
    Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    Atom utility = XInternAtom(display, "_NET_WM_WINDOW_TYPE_UTILITY", False);
    XChangeProperty(display, xid, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&utility), 1);
#else
    (void)widget;
#endif
}

static void restorePlace(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    Value stored = UserDefaults::standardUserDefaults().objectForKey(kWindowPlaceKey);
    if (!stored.isDict())
        return;
    double x = stored["x"].doubleValue(), y = stored["y"].doubleValue();
    ::Window xid = 0;
    Display* display = x11Display(widget, &xid);
    if (!display)
        return;
    // Never off screen: a monitor that was unplugged must not take the widget with it.
    int screenWidth = DisplayWidth(display, DefaultScreen(display));
    int screenHeight = DisplayHeight(display, DefaultScreen(display));
    if (!(x >= 0 && y >= 0 && x < screenWidth - 16 && y < screenHeight - 16))
        return;
    XMoveWindow(display, xid, int(x), int(y));
    XFlush(display);
#else
    (void)widget;
#endif
}

static void storePlace(GtkWidget* widget)
{
#ifdef GDK_WINDOWING_X11
    ::Window xid = 0;
    Display* display = x11Display(widget, &xid);
    if (!display)
        return;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(display, xid, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return;
    // A window manager's frame around the window: the place to come back to is the frame's, or
    // the window would creep down by its title bar at every start.
    Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (extents != 0
        && XGetWindowProperty(display, xid, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success
        && data && format == 32 && count == 4) {
        auto* sides = reinterpret_cast<long*>(data);
        x -= int(sides[0]);
        y -= int(sides[2]);
    }
    if (data)
        XFree(data);
    UserDefaults::standardUserDefaults().setObject(Value(Dict { { "x", Value(double(x)) }, { "y", Value(double(y)) } }),
        kWindowPlaceKey);
#else
    (void)widget;
#endif
}

static void windowMapped(GtkWidget* widget, gpointer) { restorePlace(widget); }

static void windowRealized(GtkWidget* widget, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
    if (surface && GDK_IS_TOPLEVEL(surface))
        g_signal_connect(surface, "notify::state", G_CALLBACK(surfaceStateChanged), data);
    if (impl.host->core().options().desktopWidget)
        markDesktopWidget(widget);
}

static void runMenuItem(GSimpleAction*, GVariant* parameter, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    auto& items = impl.host->core().options().contextMenu;
    auto index = std::size_t(g_variant_get_int32(parameter));
    if (index >= items.size())
        return;
    if (items[index].action)
        items[index].action();
    if (items[index].closesWindow)
        impl.host->close();
}

static void secondaryPressed(GtkGestureClick* gesture, int, double x, double y, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    auto& items = impl.host->core().options().contextMenu;
    if (items.empty() || !impl.area)
        return;
    GMenu* menu = g_menu_new();
    for (std::size_t i = 0; i < items.size(); ++i) {
        GMenuItem* item = g_menu_item_new(items[i].title.c_str(), nullptr);
        g_menu_item_set_action_and_target_value(item, "host.menu", g_variant_new_int32(int(i)));
        g_menu_append_item(menu, item);
        g_object_unref(item);
    }
    GtkWidget* popover = gtk_popover_menu_new_from_model(G_MENU_MODEL(menu));
    g_object_unref(menu);
    gtk_widget_set_parent(popover, impl.area);
    GdkRectangle at { int(x), int(y), 1, 1 };
    gtk_popover_set_pointing_to(GTK_POPOVER(popover), &at);
    gtk_popover_set_has_arrow(GTK_POPOVER(popover), FALSE);
    g_signal_connect(popover, "closed", G_CALLBACK(+[](GtkPopover* popover, gpointer) {
        // Unparented once closed and its action has run, so menus do not pile up.
        g_idle_add_full(
            G_PRIORITY_DEFAULT_IDLE,
            [](gpointer widget) {
                gtk_widget_unparent(GTK_WIDGET(widget));
                return G_SOURCE_REMOVE;
            },
            popover, nullptr);
    }),
        nullptr);
    gtk_popover_popup(GTK_POPOVER(popover));
    gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_CLAIMED);
}

static void buildWindow(GtkHost::Impl& impl)
{
    HostCore& core = impl.host->core();
    const HostOptions& options = core.options();
    impl.window = gtk_application_window_new(impl.application);
    GtkWindow* window = GTK_WINDOW(impl.window);
    gtk_window_set_title(window, options.title.empty() ? "Quarrin" : options.title.c_str());
    gtk_window_set_decorated(window, !options.undecorated);
    if (!options.iconName.empty())
        gtk_window_set_icon_name(window, options.iconName.c_str());
    bool fixed = options.windowSize.has_value();
    gtk_window_set_resizable(window, !fixed);
    if (!fixed) {
        if (auto stored = storedWindowSize(options.profile.name))
            core.resize(*stored);
    }

    impl.area = GTK_WIDGET(g_object_new(kit_canvas_get_type(), nullptr));
    g_object_set_data(G_OBJECT(impl.area), "kit-host", &impl);
    Size size = core.windowSize();
    // The area asks for the smallest size the screens take; the window opens at the screen's.
    Size smallest = core.minimumSize();
    gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(impl.area), int(std::lround(smallest.width)));
    gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(impl.area), int(std::lround(smallest.height)));
    gtk_window_set_default_size(window, int(std::lround(size.width)), int(std::lround(size.height)));
    if (!fixed)
        g_signal_connect(impl.area, "resize", G_CALLBACK(areaResized), &impl);
    gtk_widget_set_focusable(impl.area, true);
    impl.accessibility = std::make_unique<AccessibilityBridge>(core, impl.area);
    gtk_window_set_child(window, impl.accessibility->widget());

    GtkGesture* click = gtk_gesture_click_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(click), GDK_BUTTON_PRIMARY);
    g_signal_connect(click, "pressed", G_CALLBACK(clickPressed), &impl);
    g_signal_connect(click, "released", G_CALLBACK(clickReleased), &impl);
    gtk_widget_add_controller(impl.area, GTK_EVENT_CONTROLLER(click));

    GtkGesture* drag = gtk_gesture_drag_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(drag), GDK_BUTTON_PRIMARY);
    g_signal_connect(drag, "drag-update", G_CALLBACK(dragUpdate), &impl);
    g_signal_connect(drag, "drag-end", G_CALLBACK(dragEnd), &impl);
    gtk_widget_add_controller(impl.area, GTK_EVENT_CONTROLLER(drag));

    GtkEventController* scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_BOTH_AXES);
    g_signal_connect(scroll, "scroll", G_CALLBACK(scrolled), &impl);
    g_signal_connect(scroll, "scroll-end", G_CALLBACK(scrollEnded), &impl);
    gtk_widget_add_controller(impl.area, scroll);

    GtkEventController* keys = gtk_event_controller_key_new();
    // Before GTK's own focus movement, so that Tab reaches a focused view of ours; keys the
    // views do not use go on to GTK.
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), &impl);
    gtk_widget_add_controller(impl.window, keys);

    g_signal_connect(impl.window, "notify::is-active", G_CALLBACK(activeChanged), &impl);
    g_signal_connect(impl.window, "close-request", G_CALLBACK(closeRequested), &impl);
    g_signal_connect(impl.window, "realize", G_CALLBACK(windowRealized), &impl);
    g_signal_connect(impl.window, "map", G_CALLBACK(windowMapped), &impl);
    g_signal_connect_after(impl.window, "map", G_CALLBACK(windowShownAgain), &impl);
    if (!options.contextMenu.empty()) {
        GtkGesture* secondary = gtk_gesture_click_new();
        gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(secondary), GDK_BUTTON_SECONDARY);
        g_signal_connect(secondary, "pressed", G_CALLBACK(secondaryPressed), &impl);
        gtk_widget_add_controller(impl.area, GTK_EVENT_CONTROLLER(secondary));
        GSimpleActionGroup* group = g_simple_action_group_new();
        static const GActionEntry menuActions[] = {
            { "menu", runMenuItem, "i", nullptr, nullptr, { 0, 0, 0 } },
        };
        g_action_map_add_action_entries(G_ACTION_MAP(group), menuActions, G_N_ELEMENTS(menuActions), &impl);
        gtk_widget_insert_action_group(impl.area, "host", G_ACTION_GROUP(group));
        g_object_unref(group);
    }
    g_signal_connect(impl.window, "destroy", G_CALLBACK(windowDestroyed), &impl);

    core.onNeedsDisplay = [&impl] { needsDisplay(impl); };
    core.onWindowSizeChanged = [&impl](Size newSize) {
        // A turn from the keyboard: the window follows the screens, unless the window manager
        // holds it maximised or full screen.
        if (!impl.window)
            return;
        GtkWindow* window = GTK_WINDOW(impl.window);
        if (!gtk_window_is_maximized(window) && !gtk_window_is_fullscreen(window))
            gtk_window_set_default_size(window, int(std::lround(newSize.width)), int(std::lround(newSize.height)));
        storeWindowSize(impl);
        needsDisplay(impl);
    };
    installActions(impl);
}

static void activate(GApplication*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (impl.window) {
        // Another launch asked for us: come forward.
        ++impl.presentRequests;
        gtk_window_present(GTK_WINDOW(impl.window));
        if (impl.host->onPresentRequested)
            impl.host->onPresentRequested();
        return;
    }
    Animator::shared().setFrameDriven(true);
    Animator::shared().onAnimationsStarted = [&impl] { needsDisplay(impl); };
    // In the build tree the program's icon is not installed in an icon theme yet: look for it
    // among the bundle's desktop files too.
    std::string desktopFolder = Bundle::mainBundle().resourcePath() + "/desktop";
    if (GdkDisplay* display = gdk_display_get_default(); display && FileManager::fileExists(desktopFolder))
        gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(display), desktopFolder.c_str());
    buildWindow(impl);
    HostCore& core = impl.host->core();
    if (impl.delegate)
        core.launch(impl.delegate);
    else if (impl.content)
        core.show(impl.content);
    gtk_window_present(GTK_WINDOW(impl.window));
    gtk_widget_grab_focus(impl.area);
    if (impl.host->onWindowShown)
        impl.host->onWindowShown();
}

static void openAddresses(GApplication* application, GFile**, int, const char*, gpointer data)
{
    // The application does not look at the address; opening one only brings it forward.
    activate(application, data);
}

// Log-out, `systemctl --user stop` and Ctrl-C end the application the way closing its window
// does, so its departure tasks (saving the preferences) run. Handled on the main loop through
// GLib's signal source, not in a signal handler.
static gboolean terminationRequested(gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    if (impl.window)
        impl.host->close();
    else if (impl.application)
        g_application_quit(G_APPLICATION(impl.application));
    return G_SOURCE_CONTINUE;
}

static int runHost(GtkHost& host, GtkHost::Impl& impl, const std::vector<std::string>& urls)
{
    rasteriseSoftwareGLOnTheDrawingThread();
    if (impl.signalIds.empty()) {
        for (int signal : { SIGTERM, SIGINT, SIGHUP })
            impl.signalIds.push_back(g_unix_signal_add(signal, terminationRequested, &impl));
    }
    const HostOptions& options = host.core().options();
    GApplicationFlags flags = G_APPLICATION_HANDLES_OPEN;
    bool unique = !options.applicationId.empty() && g_application_id_is_valid(options.applicationId.c_str()) && hasSessionBus();
    if (!unique)
        flags = GApplicationFlags(flags | G_APPLICATION_NON_UNIQUE);
    impl.application = gtk_application_new(unique ? options.applicationId.c_str() : nullptr, flags);
    g_signal_connect(impl.application, "activate", G_CALLBACK(activate), &impl);
    g_signal_connect(impl.application, "open", G_CALLBACK(openAddresses), &impl);

    GError* error = nullptr;
    if (!g_application_register(G_APPLICATION(impl.application), nullptr, &error)) {
        // The bus refused us (a broken session): run alone rather than not at all.
        Log::write(std::string("single instance unavailable: ") + (error ? error->message : "?"));
        g_clear_error(&error);
        g_object_unref(impl.application);
        impl.application = gtk_application_new(nullptr, GApplicationFlags(flags | G_APPLICATION_NON_UNIQUE));
        g_signal_connect(impl.application, "activate", G_CALLBACK(activate), &impl);
        g_signal_connect(impl.application, "open", G_CALLBACK(openAddresses), &impl);
    }

    impl.remote = g_application_get_is_remote(G_APPLICATION(impl.application));
    // GApplication forwards to a running instance by itself: "open" with the addresses, or
    // "activate" without any. Our own options are already taken off the command line.
    const char* program = g_get_prgname();
    std::vector<std::string> arguments { program ? program : "quarrin" };
    for (auto& url : urls)
        arguments.push_back(url);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return g_application_run(G_APPLICATION(impl.application), int(arguments.size()), argv.data());
}

int GtkHost::run(ApplicationDelegate* delegate, const std::vector<std::string>& urls)
{
    m_impl->delegate = delegate;
    return runHost(*this, *m_impl, urls);
}

int GtkHost::runShowing(std::shared_ptr<View> content, const std::vector<std::string>& urls)
{
    m_impl->content = std::move(content);
    return runHost(*this, *m_impl, urls);
}

void GtkHost::injectPress(Point point)
{
    m_impl->pressed = true;
    m_core->pointerPressed(point, eventTime());
}

void GtkHost::injectMotion(Point point)
{
    if (m_impl->pressed)
        m_core->pointerMoved(point, eventTime());
}

void GtkHost::injectRelease(Point point)
{
    if (!m_impl->pressed)
        return;
    m_impl->pressed = false;
    m_core->pointerReleased(point, eventTime());
}

void GtkHost::injectScroll(Point point, double dx, double dy)
{
    m_impl->lastScrollPoint = point;
    m_core->wheel(point, dx, dy);
}

void GtkHost::injectScrollEnd(Point point) { m_core->wheelEnded(point); }

bool GtkHost::injectKey(const KeyEvent& event) { return m_core->keyPressed(event); }

bool GtkHost::rotate() { return m_core->rotate(); }

void GtkHost::close()
{
    // Deferred, so a close asked for while drawing or handling an event does not pull the
    // window away underneath GTK.
    if (m_impl->closeId)
        return;
    m_impl->closeId = g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) {
            auto& impl = *static_cast<GtkHost::Impl*>(data);
            impl.closeId = 0;
            if (impl.window)
                gtk_window_close(GTK_WINDOW(impl.window));
            return G_SOURCE_REMOVE;
        },
        m_impl.get(), nullptr);
}

} // namespace kit

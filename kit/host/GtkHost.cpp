#include "kit/host/GtkHost.h"

#include "kit/base/Log.h"
#include "kit/base/RunLoop.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Application.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>

namespace kit {

struct GtkHost::Impl {
    GtkHost* host = nullptr;
    GtkApplication* application = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    cairo_surface_t* frame = nullptr; // the last frame drawn, at the widget's scale
    int frameScale = 0;
    guint tickId = 0;
    bool remote = false;
    int presentRequests = 0;
    bool launched = false;
    bool pressed = false;
    ApplicationDelegate* delegate = nullptr;
    std::shared_ptr<View> content;
    bool wasMinimised = false;
    int lastScale = 1;
    guint closeId = 0;
    std::vector<guint> signalIds;

    ~Impl()
    {
        if (frame)
            cairo_surface_destroy(frame);
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
double GtkHost::scaleFactor() const { return scaleOf(*m_impl); }
Size GtkHost::windowSize() const { return m_core->windowSize(); }

// Drawing: the frame is rendered into our own surface only when the tree changed, and the
// drawing area paints that surface; an expose with nothing changed costs one blit.
static void drawArea(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer data)
{
    (void)width;
    (void)height;
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    HostCore& core = impl.host->core();
    int scale = std::max(1, gtk_widget_get_scale_factor(GTK_WIDGET(area)));
    impl.lastScale = scale;
    Size size = core.windowSize();
    int pixelWidth = int(std::ceil(size.width * scale));
    int pixelHeight = int(std::ceil(size.height * scale));
    bool fresh = !impl.frame || impl.frameScale != scale || cairo_image_surface_get_width(impl.frame) != pixelWidth
        || cairo_image_surface_get_height(impl.frame) != pixelHeight;
    if (fresh) {
        if (impl.frame)
            cairo_surface_destroy(impl.frame);
        impl.frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
        impl.frameScale = scale;
    }
    if (fresh || core.needsDisplay()) {
        cairo_t* frameCr = cairo_create(impl.frame);
        cairo_scale(frameCr, scale, scale);
        core.drawFrame(frameCr, scale);
        cairo_destroy(frameCr);
        cairo_surface_flush(impl.frame);
    }
    cairo_save(cr);
    cairo_scale(cr, 1.0 / scale, 1.0 / scale);
    cairo_set_source_surface(cr, impl.frame, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    if (impl.host->onFrameDrawn)
        impl.host->onFrameDrawn();
}

static gboolean tick(GtkWidget* widget, GdkFrameClock*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
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
    if (!impl.area)
        return;
    gtk_widget_queue_draw(impl.area);
    if (!impl.tickId && impl.host->core().hasAnimations())
        impl.tickId = gtk_widget_add_tick_callback(impl.area, tick, &impl, nullptr);
}

static double eventTime() { return RunLoop::main().now(); }

static void clickPressed(GtkGestureClick*, int, double x, double y, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
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
    impl.host->injectMotion({ x + dx, y + dy });
}

static void dragEnd(GtkGestureDrag* gesture, double dx, double dy, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
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

static gboolean keyPressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType state, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
    bool control = state & GDK_CONTROL_MASK;
    if (keyval == GDK_KEY_F11 || (control && (keyval == GDK_KEY_Left || keyval == GDK_KEY_Right))) {
        impl.host->rotate();
        return TRUE;
    }
    return FALSE;
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
    if (minimised && !impl.wasMinimised)
        impl.host->core().enterBackground();
    impl.wasMinimised = minimised;
}

static gboolean closeRequested(GtkWindow*, gpointer data)
{
    auto& impl = *static_cast<GtkHost::Impl*>(data);
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

static void windowRealized(GtkWidget* widget, gpointer data)
{
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
    if (surface && GDK_IS_TOPLEVEL(surface))
        g_signal_connect(surface, "notify::state", G_CALLBACK(surfaceStateChanged), data);
}

static void buildWindow(GtkHost::Impl& impl)
{
    HostCore& core = impl.host->core();
    const HostOptions& options = core.options();
    impl.window = gtk_application_window_new(impl.application);
    GtkWindow* window = GTK_WINDOW(impl.window);
    gtk_window_set_title(window, options.title.empty() ? "Quarrin" : options.title.c_str());
    gtk_window_set_decorated(window, !options.undecorated);
    gtk_window_set_resizable(window, false);

    impl.area = gtk_drawing_area_new();
    Size size = core.windowSize();
    gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(impl.area), int(std::lround(size.width)));
    gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(impl.area), int(std::lround(size.height)));
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(impl.area), drawArea, &impl, nullptr);
    gtk_widget_set_focusable(impl.area, true);
    gtk_window_set_child(window, impl.area);

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
    gtk_widget_add_controller(impl.area, scroll);

    GtkEventController* keys = gtk_event_controller_key_new();
    g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), &impl);
    gtk_widget_add_controller(impl.window, keys);

    g_signal_connect(impl.window, "notify::is-active", G_CALLBACK(activeChanged), &impl);
    g_signal_connect(impl.window, "close-request", G_CALLBACK(closeRequested), &impl);
    g_signal_connect(impl.window, "realize", G_CALLBACK(windowRealized), &impl);
    g_signal_connect(impl.window, "destroy", G_CALLBACK(windowDestroyed), &impl);

    core.onNeedsDisplay = [&impl] { needsDisplay(impl); };
    core.onWindowSizeChanged = [&impl](Size newSize) {
        if (!impl.area)
            return;
        gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(impl.area), int(std::lround(newSize.width)));
        gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(impl.area), int(std::lround(newSize.height)));
        gtk_window_set_default_size(GTK_WINDOW(impl.window), -1, -1);
        needsDisplay(impl);
    };
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
    if (impl.signalIds.empty()) {
        for (int signal : { SIGTERM, SIGINT, SIGHUP })
            impl.signalIds.push_back(g_unix_signal_add(signal, terminationRequested, &impl));
    }
    const HostOptions& options = host.core().options();
    GApplicationFlags flags = G_APPLICATION_HANDLES_OPEN;
    bool unique = !options.applicationId.empty() && g_application_id_is_valid(options.applicationId.c_str())
        && hasSessionBus();
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

void GtkHost::injectScroll(Point point, double dx, double dy) { m_core->wheel(point, dx, dy); }

bool GtkHost::rotate() { return m_core->rotate(); }

void GtkHost::close()
{
    // Deferred, so a close asked for while drawing or handling an event does not pull the
    // window away underneath GTK.
    if (m_impl->closeId)
        return;
    m_impl->closeId = g_idle_add_full(G_PRIORITY_DEFAULT, [](gpointer data) {
        auto& impl = *static_cast<GtkHost::Impl*>(data);
        impl.closeId = 0;
        if (impl.window)
            gtk_window_close(GTK_WINDOW(impl.window));
        return G_SOURCE_REMOVE;
    }, m_impl.get(), nullptr);
}

} // namespace kit

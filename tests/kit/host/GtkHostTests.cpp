// SPDX-License-Identifier: MIT
#include "TestServers.h"

#include "kit/host/GtkHost.h"
#include "kit/host/HostCore.h"
#include "kit/host/gallery/GalleryScreens.h"
#include "kit/ui/Application.h"
#include "kit/ui/Label.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Last: Xlib's macros (None, Bool) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>
#undef None
#undef Bool

using namespace kit;

namespace {

// One X server for the whole program: GTK opens its display once per process.
class GtkHostTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        xvfb = new test::XvfbServer;
        started = xvfb->start();
    }
    static void TearDownTestSuite()
    {
        delete xvfb;
        xvfb = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(started) << "Xvfb did not start";
        setenv("GDK_BACKEND", "x11", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        // Single-instance needs a bus; these tests run alone unless they start one.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("XDG_RUNTIME_DIR");
        char pattern[] = "/tmp/gtk-host-XXXXXX";
        ASSERT_NE(g_mkdtemp(pattern), nullptr);
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + home + "'";
        (void)std::system(command.c_str());
    }

    static inline test::XvfbServer* xvfb = nullptr;
    static inline bool started = false;
    std::string home;
};

// Gives up on a run that hangs, by closing the window.
struct Watchdog {
    explicit Watchdog(GtkHost& host, unsigned seconds)
    {
        id = g_timeout_add_seconds(
            seconds,
            [](gpointer data) {
                static_cast<GtkHost*>(data)->close();
                return G_SOURCE_REMOVE;
            },
            &host);
    }
    ~Watchdog() { g_source_remove(id); }
    guint id = 0;
};

HostOptions phoneOptions()
{
    HostOptions options;
    options.profile = *DeviceProfile::named("iphone-6");
    options.title = "host test";
    return options;
}

} // namespace

TEST_F(GtkHostTest, WindowOpensDrawsAndAClickTapsTheButton)
{
    GtkHost host(phoneOptions());
    auto screen = makeControlsScreen(375, 647);
    auto* counter = dynamic_cast<Label*>(screen->viewWithTag(kGalleryTapCountTag));
    View* button = screen->viewWithTag(kGalleryButtonTag);
    ASSERT_TRUE(counter && button);

    int frames = 0;
    bool clicked = false;
    std::string textAfterClick;
    host.onFrameDrawn = [&] {
        ++frames;
        if (clicked)
            return;
        clicked = true;
        // The same entry points the click gesture uses, once the window really drew.
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            [](gpointer data) {
                auto* state = static_cast<std::tuple<GtkHost*, View*, Label*, std::string*>*>(data);
                auto [h, b, c, text] = *state;
                Point center = b->convertPointTo(b->bounds().center(), nullptr);
                h->injectPress(center);
                h->injectRelease(center);
                *text = c->text();
                h->close();
                return G_SOURCE_REMOVE;
            },
            new std::tuple<GtkHost*, View*, Label*, std::string*>(&host, button, counter, &textAfterClick),
            [](gpointer data) { delete static_cast<std::tuple<GtkHost*, View*, Label*, std::string*>*>(data); });
    };
    Watchdog watchdog(host, 20);
    int status = host.runShowing(screen);

    EXPECT_EQ(status, 0);
    EXPECT_FALSE(host.wasRemote());
    EXPECT_GE(frames, 1) << "the drawing area never drew";
    EXPECT_EQ(textAfterClick, "1 tap");
    EXPECT_EQ(host.windowSize(), (Size { 375, 667 }));
    EXPECT_EQ(host.scaleFactor(), 1);
    EXPECT_EQ(Application::shared().state(), Application::State::Terminated) << "closing terminates";
}

TEST_F(GtkHostTest, TabletRotatesFromTheShortcutPathPhoneDoesNot)
{
    HostOptions options = phoneOptions();
    options.profile = *DeviceProfile::named("ipad-2");
    GtkHost host(options);
    bool turned = false;
    bool done = false;
    struct State {
        GtkHost* host;
        bool* turned;
    } state { &host, &turned };
    host.onFrameDrawn = [&] {
        if (done)
            return;
        done = true;
        // As the key handler would, outside drawing.
        g_idle_add(
            [](gpointer data) {
                auto* s = static_cast<State*>(data);
                *s->turned = s->host->rotate();
                s->host->close();
                return G_SOURCE_REMOVE;
            },
            &state);
    };
    Watchdog watchdog(host, 20);
    host.runShowing(makeControlsScreen(768, 1004));
    EXPECT_TRUE(turned);
    EXPECT_EQ(host.windowSize(), (Size { 1024, 768 }));

    GtkHost phone(phoneOptions());
    EXPECT_FALSE(phone.rotate());
}

namespace {

struct Child {
    GPid pid = 0;
    int out = -1;
    std::string output; // everything read so far

    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            close(out);
    }

    // Waits for a line containing `text` on the child's standard output.
    bool waitFor(const std::string& text, double seconds)
    {
        std::size_t from = output.size();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p { out, POLLIN, 0 };
            if (poll(&p, 1, 100) <= 0)
                continue;
            char chunk[256];
            ssize_t n = read(out, chunk, sizeof(chunk));
            if (n <= 0)
                return false;
            output.append(chunk, std::size_t(n));
            if (output.find(text, from) != std::string::npos)
                return true;
        }
        return false;
    }

    // Waits for the child to exit; its status, or -1 when it still runs.
    int waitExit(double seconds)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            g_usleep(20000);
        }
        return -1;
    }
};

bool spawnGallery(Child& child, std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    std::string program = KIT_GALLERY_PATH;
    argv.push_back(program.data());
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    GError* error = nullptr;
    bool ok = g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
        &child.pid, nullptr, &child.out, nullptr, &error);
    g_clear_error(&error);
    return ok;
}

} // namespace

TEST_F(GtkHostTest, SecondLaunchBringsTheFirstForward)
{
    test::SessionBus bus;
    ASSERT_TRUE(bus.start());
    Child first;
    ASSERT_TRUE(spawnGallery(first, {}));
    ASSERT_TRUE(first.waitFor("window shown", 20));

    Child second;
    ASSERT_TRUE(spawnGallery(second, { "velmora-quarrin://open" }));
    EXPECT_EQ(second.waitExit(20), 0) << "the second launch hands over and exits";
    EXPECT_TRUE(first.waitFor("present requested", 10));

    Child third;
    ASSERT_TRUE(spawnGallery(third, {}));
    EXPECT_EQ(third.waitExit(20), 0);
    EXPECT_TRUE(first.waitFor("present requested", 10)) << "a plain second launch also brings it forward";
}

TEST_F(GtkHostTest, WithoutASessionBusEveryLaunchRunsItsOwnWindow)
{
    Child first;
    ASSERT_TRUE(spawnGallery(first, {}));
    ASSERT_TRUE(first.waitFor("window shown", 20));
    Child second;
    ASSERT_TRUE(spawnGallery(second, { "velmora-quarrin://" }));
    EXPECT_TRUE(second.waitFor("window shown", 20));
    EXPECT_EQ(second.waitExit(0.2), -1) << "still running";
}

TEST_F(GtkHostTest, DesktopScaleTwoDrawsAtTwoPixelsPerPoint)
{
    setenv("GDK_SCALE", "2", 1);
    Child child;
    bool spawned = spawnGallery(child, {});
    unsetenv("GDK_SCALE");
    ASSERT_TRUE(spawned);
    EXPECT_TRUE(child.waitFor("first frame at scale 2", 20));
}

// GTK's cairo renderer repaints only the tiles whose texture changed; the GL renderer repaints
// whole frames here, where one texture is cheaper than many.
TEST_F(GtkHostTest, TheFrameIsTiledForCairoAndCutIntoBandsForGL)
{
    auto firstFrame = [](const char* renderer) {
        setenv("GSK_RENDERER", renderer, 1);
        Child child;
        bool spawned = spawnGallery(child, {});
        unsetenv("GSK_RENDERER");
        EXPECT_TRUE(spawned);
        EXPECT_TRUE(spawned && child.waitFor("first frame", 20));
        auto at = child.output.find("first frame");
        if (at != std::string::npos && child.output.find('\n', at) == std::string::npos)
            child.waitFor("\n", 5); // the rest of the line
        return at == std::string::npos ? std::string() : child.output.substr(at, child.output.find('\n', at) - at);
    };
    // The gallery's phone window is 375 × 667 points: 6 × 11 tiles of 64 pixels, or 11 bands
    // of the window's width.
    EXPECT_EQ(firstFrame("cairo"), "first frame at scale 1: 66 tiles (GskCairoRenderer)");
    std::string gl = firstFrame("gl");
    if (gl.find("GskGLRenderer") == std::string::npos)
        GTEST_SKIP() << "no GL renderer on this display: " << gl;
    EXPECT_EQ(gl, "first frame at scale 1: 11 tiles (GskGLRenderer)");
}

// Software GL (llvmpipe) rasterises on the drawing thread: no rasteriser threads to wake every
// frame. A thread count the user chose is kept, which also shows the GL here is llvmpipe.
TEST_F(GtkHostTest, SoftwareGLRastersOnTheDrawingThreadUnlessTheUserChoseThreads)
{
    auto rasteriserThreadsAfterFirstFrame = [](const char* userThreads) {
        setenv("GSK_RENDERER", "gl", 1);
        if (userThreads)
            setenv("LP_NUM_THREADS", userThreads, 1);
        Child child;
        bool spawned = spawnGallery(child, {});
        unsetenv("GSK_RENDERER");
        unsetenv("LP_NUM_THREADS");
        if (!spawned || !child.waitFor("GskGLRenderer", 20))
            return -1;
        int threads = 0;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(child.pid) + "/task", error)) {
            std::ifstream comm(task.path() / "comm");
            std::string name;
            std::getline(comm, name);
            threads += name.starts_with("llvmpipe");
        }
        return threads;
    };
    int chosen = rasteriserThreadsAfterFirstFrame("2");
    if (chosen <= 0)
        GTEST_SKIP() << "GL here is not llvmpipe (or no GL renderer)";
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(rasteriserThreadsAfterFirstFrame(nullptr), 0);
}

TEST_F(GtkHostTest, GalleryRejectsUnknownOptionsWithTheUsageLine)
{
    Child child;
    ASSERT_TRUE(spawnGallery(child, { "--bogus" }));
    EXPECT_EQ(child.waitExit(10), 2);
}

namespace {

// Runs `step` on the main loop after `ms` milliseconds.
void after(unsigned ms, std::function<void()> step)
{
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms,
        [](gpointer data) {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(step)), [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

// Channels of the host's kept frame more than a rounding step away from a fresh full frame of
// the same tree.
int staleChannels(GtkHost& host)
{
    cairo_surface_t* kept = host.lastFrame();
    if (!kept)
        return -1;
    int width = cairo_image_surface_get_width(kept), height = cairo_image_surface_get_height(kept);
    cairo_surface_t* full = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(full);
    cairo_scale(cr, host.scaleFactor(), host.scaleFactor());
    host.core().drawFrame(cr, host.scaleFactor());
    cairo_destroy(cr);
    cairo_surface_flush(full);
    int stride = cairo_image_surface_get_stride(full), stale = 0;
    const unsigned char* a = cairo_image_surface_get_data(kept);
    const unsigned char* b = cairo_image_surface_get_data(full);
    for (int i = 0; i < stride * height; ++i)
        stale += std::abs(int(a[i]) - int(b[i])) > 3;
    cairo_surface_destroy(full);
    return stale;
}

} // namespace

// Hidden (unmapped) or minimised, the window draws no frame and its animations do not tick,
// while the figures keep changing; shown again, a frame catches up with the latest of them.
TEST_F(GtkHostTest, AHiddenOrMinimisedWindowDrawsNothingAndCatchesUpWhenShown)
{
    GtkHost host(phoneOptions());
    auto content = View::create<View>();
    content->setFrame({ 0, 0, 375, 647 });
    content->setBackgroundColor(Color::white());
    auto figure = View::create<Label>("0 MB");
    figure->setFrame({ 20, 100, 200, 30 });
    auto dot = View::create<View>();
    dot->setFrame({ 20, 200, 20, 20 });
    dot->setBackgroundColor(Color::systemBlue());
    content->addSubview(figure);
    content->addSubview(dot);

    int frames = 0;
    host.onFrameDrawn = [&] { ++frames; };
    GtkWidget* toplevel = nullptr;
    struct Phase {
        int framesWhileHidden = -1;
        int framesAfterShow = -1;
        int stale = -1;
        bool ticked = true;
    } hidden, minimised, minimisedMapped;
    bool minimiseSeen = false, hintSeen = false;
    std::string lastText;
    // Five changes 60 ms apart, an animation started among them; then `check` runs.
    auto changeWhileAway = [&](Phase& phase, int framesBefore, std::function<void()> show) {
        for (int i = 1; i <= 5; ++i) {
            after(unsigned(60 * i), [&, i] {
                lastText = std::to_string(i * 111) + " MB";
                figure->setText(lastText);
                if (i == 2)
                    View::animate(0.2, [&] { dot->setCenter({ 300, 400 }); });
            });
        }
        after(600, [&, framesBefore, show] {
            phase.framesWhileHidden = frames - framesBefore;
            phase.ticked = !(dot->presentation().center == Point { 30, 210 });
            show();
        });
    };
    host.onWindowShown = [&] {
        after(400, [&] {
            GList* windows = gtk_window_list_toplevels();
            toplevel = windows ? GTK_WIDGET(windows->data) : nullptr;
            g_list_free(windows);
            if (!toplevel)
                return host.close();
            int before = frames;
            gtk_widget_set_visible(toplevel, false);
            changeWhileAway(hidden, before, [&] {
                int shownAt = frames;
                gtk_widget_set_visible(toplevel, true);
                after(700, [&, shownAt] {
                    hidden.framesAfterShow = frames - shownAt;
                    hidden.stale = staleChannels(host);
                    dot->setCenter({ 30, 210 });
                    // Minimised as an X window manager does it: the client window is unmapped
                    // behind GTK's back, and GDK reports the toplevel minimised.
                    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(toplevel));
                    Display* display = gdk_x11_display_get_xdisplay(gtk_widget_get_display(toplevel));
                    ::Window xid = gdk_x11_surface_get_xid(surface);
                    after(300, [&, surface, display, xid] {
                        int before = frames;
                        XUnmapWindow(display, xid);
                        XFlush(display);
                        after(100, [&, surface] {
                            minimiseSeen = gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED;
                        });
                        changeWhileAway(minimised, before, [&, surface, display, xid] {
                            int shownAt = frames;
                            XMapWindow(display, xid);
                            XFlush(display);
                            after(700, [&, shownAt, surface, display, xid] {
                                minimised.framesAfterShow = frames - shownAt;
                                minimised.stale = staleChannels(host);
                                dot->setCenter({ 30, 210 });
                                // Minimised by a window manager that keeps the window mapped (for
                                // live thumbnails): GDK learns it from _NET_WM_STATE_HIDDEN alone,
                                // and GTK itself would go on painting.
                                Atom state = XInternAtom(display, "_NET_WM_STATE", False);
                                Atom hiddenState = XInternAtom(display, "_NET_WM_STATE_HIDDEN", False);
                                after(300, [&, surface, display, xid, state, hiddenState] {
                                    int before = frames;
                                    XChangeProperty(display, xid, state, XA_ATOM, 32, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(&hiddenState), 1);
                                    XFlush(display);
                                    after(100, [&, surface] {
                                        hintSeen = gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED;
                                    });
                                    changeWhileAway(minimisedMapped, before, [&, display, xid, state] {
                                        int shownAt = frames;
                                        XDeleteProperty(display, xid, state);
                                        XFlush(display);
                                        after(700, [&, shownAt] {
                                            minimisedMapped.framesAfterShow = frames - shownAt;
                                            minimisedMapped.stale = staleChannels(host);
                                            host.close();
                                        });
                                    });
                                });
                            });
                        });
                    });
                });
            });
        });
    };
    Watchdog watchdog(host, 30);
    host.runShowing(content);

    ASSERT_NE(toplevel, nullptr);
    EXPECT_EQ(hidden.framesWhileHidden, 0);
    EXPECT_FALSE(hidden.ticked) << "the animation ticked while the window was hidden";
    // The animation runs once shown, so more than the one catching-up frame may come.
    EXPECT_GE(hidden.framesAfterShow, 1);
    EXPECT_EQ(hidden.stale, 0) << "the frame shown again is not the latest";
    EXPECT_TRUE(minimiseSeen) << "GDK did not report the unmapped toplevel minimised";
    EXPECT_EQ(minimised.framesWhileHidden, 0);
    EXPECT_FALSE(minimised.ticked) << "the animation ticked while the window was minimised";
    EXPECT_GE(minimised.framesAfterShow, 1);
    EXPECT_EQ(minimised.stale, 0) << "the frame shown again is not the latest";
    EXPECT_TRUE(hintSeen) << "GDK did not report the hidden state as minimised";
    EXPECT_EQ(minimisedMapped.framesWhileHidden, 0);
    EXPECT_FALSE(minimisedMapped.ticked) << "the animation ticked while the mapped window was minimised";
    EXPECT_GE(minimisedMapped.framesAfterShow, 1);
    EXPECT_EQ(minimisedMapped.stale, 0) << "the frame shown again is not the latest";
}

// SPDX-License-Identifier: MIT
#include "TestServers.h"

#include "kit/host/GtkHost.h"
#include "kit/host/HostCore.h"
#include "kit/host/gallery/GalleryScreens.h"
#include "kit/ui/Application.h"
#include "kit/ui/Label.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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
TEST_F(GtkHostTest, TheFrameIsTiledForCairoAndOneTextureForGL)
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
    // The gallery's phone window is 375 × 667 points: 3 × 6 tiles of 128 pixels.
    EXPECT_EQ(firstFrame("cairo"), "first frame at scale 1: 18 textures (GskCairoRenderer)");
    std::string gl = firstFrame("gl");
    if (gl.find("GskGLRenderer") == std::string::npos)
        GTEST_SKIP() << "no GL renderer on this display: " << gl;
    EXPECT_EQ(gl, "first frame at scale 1: 1 textures (GskGLRenderer)");
}

TEST_F(GtkHostTest, GalleryRejectsUnknownOptionsWithTheUsageLine)
{
    Child child;
    ASSERT_TRUE(spawnGallery(child, { "--bogus" }));
    EXPECT_EQ(child.waitExit(10), 2);
}

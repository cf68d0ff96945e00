// SPDX-License-Identifier: MIT
#pragma once

// Shared by the controller tests: screens driven through the headless host on the virtual
// clock, and a controller that records its appearance calls.

#include "UITestSupport.h"

#include "kit/base/Log.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Application.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kit::test {

// Logs "name.willAppear", "name.didAppear(animated)" and so on; the flag is written only when
// it is set, so plain sequences stay short.
class RecordingController : public ViewController {
public:
    RecordingController(std::vector<std::string>* log, std::string name, Color background = Color::white())
        : m_log(log)
        , m_name(std::move(name))
        , m_background(background)
    {
        setTitle(m_name);
    }

    // OrientationPortrait etc.; 0 keeps the default.
    unsigned orientations = 0;

    void viewDidLoad() override
    {
        view()->setBackgroundColor(m_background);
        record("load", false);
    }
    void viewWillAppear(bool animated) override { record("willAppear", animated); }
    void viewDidAppear(bool animated) override { record("didAppear", animated); }
    void viewWillDisappear(bool animated) override { record("willDisappear", animated); }
    void viewDidDisappear(bool animated) override { record("didDisappear", animated); }
    unsigned supportedInterfaceOrientations() const override
    {
        return orientations ? orientations : ViewController::supportedInterfaceOrientations();
    }

private:
    void record(const char* what, bool animated) { m_log->push_back(m_name + "." + what + (animated ? "(animated)" : "")); }

    std::vector<std::string>* m_log;
    std::string m_name;
    Color m_background;
};

// Builds the window in didFinishLaunching as an application does.
class RootControllerDelegate : public ApplicationDelegate {
public:
    std::shared_ptr<ViewController> root;
    std::shared_ptr<Window> window;

    bool didFinishLaunching(Application&, const std::string&) override
    {
        auto screen = DeviceProfile::current().screenSize;
        window = View::create<Window>();
        window->setFrame({ 0, 0, screen.width, screen.height });
        window->setBackgroundColor(Color::white());
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        return true;
    }
};

class HostedControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedProfile = DeviceProfile::current();
        Log::setEchoToStderr(false);
    }
    void TearDown() override
    {
        Animator::shared().cancelAll();
        host.reset();
        delegate.window.reset();
        delegate.root.reset();
        DeviceProfile::setCurrent(m_savedProfile);
    }

    // Launches with `root` as the window's root controller on the named device profile.
    void launch(std::shared_ptr<ViewController> root, std::string_view device = "iphone-6", double scale = 1)
    {
        startHost(device, scale);
        delegate.root = std::move(root);
        host->launch(&delegate);
    }
    // Shows a plain view below the status bar instead.
    void show(std::shared_ptr<View> content, std::string_view device = "iphone-6")
    {
        startHost(device, 1);
        host->show(std::move(content));
    }

    std::shared_ptr<RecordingController> screen(const std::string& name, Color background = Color::white())
    {
        return ViewController::create<RecordingController>(&log, name, background);
    }

    void tap(const View& view) { host->tap(centerInWindow(view)); }
    void advance(double seconds) { host->advance(seconds); }
    static Point centerInWindow(const View& view) { return view.convertPointTo(view.bounds().center(), nullptr); }
    static Rect frameInWindow(const View& view) { return view.convertRectTo(view.bounds(), nullptr); }
    Window* window() const { return host->keyWindow(); }
    std::optional<Color> pixelAt(Point point) { return host->pixelAt(point); }

    std::vector<std::string> takeLog()
    {
        auto taken = std::move(log);
        log.clear();
        return taken;
    }

    std::unique_ptr<HeadlessHost> host;
    RootControllerDelegate delegate;
    std::vector<std::string> log;

private:
    void startHost(std::string_view device, double scale)
    {
        auto profile = DeviceProfile::named(device);
        ASSERT_TRUE(profile) << device;
        DeviceProfile::setCurrent(*profile);
        HostOptions options;
        options.profile = *profile;
        options.scale = scale;
        // No battery: the status bar stays the same on every machine.
        options.deviceRoot = QUARRIN_TEST_DATA_DIR "/ui/no-such-root";
        host = std::make_unique<HeadlessHost>(options);
    }

    DeviceProfile m_savedProfile;
};

inline bool near(const std::optional<Color>& a, const Color& b, double tolerance = 0.02) { return a && near(*a, b, tolerance); }

inline std::string describe(const std::optional<Color>& c)
{
    if (!c)
        return "none";
    char text[96];
    std::snprintf(text, sizeof(text), "(%.3f, %.3f, %.3f, %.3f)", c->red, c->green, c->blue, c->alpha);
    return text;
}

} // namespace kit::test

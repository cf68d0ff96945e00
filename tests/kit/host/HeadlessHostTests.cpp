// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/host/gallery/GalleryScreens.h"
#include "kit/ui/Application.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

#include <cairo.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace kit;

namespace {

// A private home and a canned machine root, so the status bar reads a battery we control.
class HeadlessHostTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/headless-host-XXXXXX";
        ASSERT_NE(g_mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::create_directories(folder / "home");
        setenv("HOME", (folder / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder / "home" / ".config").c_str(), 1);
        UserDefaults::resetStandardUserDefaults();
        root = folder / "root";
        fs::create_directories(root / "sys/class/power_supply");
    }
    void TearDown() override
    {
        UserDefaults::resetStandardUserDefaults();
        fs::remove_all(folder);
    }

    void writeBattery(int capacity, const char* status = "Discharging")
    {
        fs::path battery = root / "sys/class/power_supply/BAT0";
        fs::create_directories(battery);
        std::ofstream(battery / "type") << "Battery\n";
        std::ofstream(battery / "capacity") << capacity << "\n";
        std::ofstream(battery / "status") << status << "\n";
        std::ofstream(battery / "energy_now") << capacity * 1000 << "\n";
        std::ofstream(battery / "energy_full") << 100000 << "\n";
    }

    HostOptions options(std::string_view device = "iphone-6", double scale = 1)
    {
        HostOptions result;
        result.profile = *DeviceProfile::named(device);
        result.scale = scale;
        result.deviceRoot = root.string();
        return result;
    }

    fs::path folder;
    fs::path root;
};

std::shared_ptr<View> colouredScreen(Size size, Color background)
{
    auto view = View::create<View>();
    view->setFrame({ 0, 0, size.width, size.height });
    view->setBackgroundColor(background);
    return view;
}

bool near(const std::optional<Color>& c, Color expected, double tolerance = 0.02)
{
    return c && std::abs(c->red - expected.red) <= tolerance && std::abs(c->green - expected.green) <= tolerance
        && std::abs(c->blue - expected.blue) <= tolerance && std::abs(c->alpha - expected.alpha) <= tolerance;
}

std::string describe(const std::optional<Color>& c)
{
    if (!c)
        return "none";
    char text[96];
    std::snprintf(text, sizeof(text), "(%.3f, %.3f, %.3f, %.3f)", c->red, c->green, c->blue, c->alpha);
    return text;
}

// Records what reaches it; interaction on so hit testing stops here.
class TouchRecorder : public View {
public:
    std::vector<Touch::Phase> phases;
    std::vector<Point> velocities;
    std::vector<Point> wheel;

    void touchesBegan(const Touch& touch) override { record(touch); }
    void touchesMoved(const Touch& touch) override { record(touch); }
    void touchesEnded(const Touch& touch) override { record(touch); }
    void touchesCancelled(const Touch& touch) override { record(touch); }
    void scrollWheel(double dx, double dy) override { wheel.push_back({ dx, dy }); }

    int count(Touch::Phase phase) const { return int(std::count(phases.begin(), phases.end(), phase)); }

private:
    void record(const Touch& touch)
    {
        phases.push_back(touch.phase);
        velocities.push_back(touch.velocity);
    }
};

class RecordingDelegate : public ApplicationDelegate {
public:
    std::vector<std::string> calls;
    std::shared_ptr<Window> window;

    bool didFinishLaunching(Application&, const std::string&) override
    {
        calls.push_back("didFinishLaunching");
        window = View::create<Window>();
        Size size { Application::shared().deviceProfile().screenSize.width,
            Application::shared().deviceProfile().screenSize.height };
        window->setFrame({ 0, 0, size.width, size.height });
        window->setBackgroundColor(Color::rgba(0, 0.68, 0.96));
        window->makeKeyAndVisible();
        return true;
    }
    void didBecomeActive(Application&) override { calls.push_back("didBecomeActive"); }
    void willResignActive(Application&) override { calls.push_back("willResignActive"); }
    void didEnterBackground(Application&) override { calls.push_back("didEnterBackground"); }
    void willEnterForeground(Application&) override { calls.push_back("willEnterForeground"); }
    void willTerminate(Application&) override
    {
        calls.push_back("willTerminate");
        UserDefaults::standardUserDefaults().setInteger(7, "LC");
    }
};

Point centerInWindow(View& view) { return view.convertPointTo(view.bounds().center(), nullptr); }

} // namespace

TEST_F(HeadlessHostTest, RenderShowsContentBelowTheStatusBarAtBothScales)
{
    for (double scale : { 1.0, 2.0 }) {
        HeadlessHost host(options("iphone-6", scale));
        auto content = colouredScreen({ 375, 647 }, Color::rgba(1, 0, 0));
        auto box = View::create<View>();
        box->setFrame({ 100, 200, 50, 40 });
        box->setBackgroundColor(Color::rgba(0, 0, 1));
        content->addSubview(box);
        host.show(content);

        EXPECT_EQ(host.screenSize(), (Size { 375, 667 }));
        // Content starts 20 points down; the box sits at content (100, 200) = window (100, 220).
        EXPECT_TRUE(near(host.pixelAt({ 10, 30 }), Color::rgba(1, 0, 0))) << describe(host.pixelAt({ 10, 30 }));
        EXPECT_TRUE(near(host.pixelAt({ 101, 221 }), Color::rgba(0, 0, 1))) << describe(host.pixelAt({ 101, 221 }));
        EXPECT_TRUE(near(host.pixelAt({ 149.5, 259.5 }), Color::rgba(0, 0, 1)));
        EXPECT_TRUE(near(host.pixelAt({ 150.5, 221 }), Color::rgba(1, 0, 0)));
        EXPECT_TRUE(near(host.pixelAt({ 101, 260.5 }), Color::rgba(1, 0, 0)));
        EXPECT_FALSE(near(host.pixelAt({ 10, 5 }), Color::rgba(1, 0, 0))) << "the status bar covers the top";
        EXPECT_FALSE(host.pixelAt({ 375, 10 }));
        EXPECT_FALSE(host.pixelAt({ -1, 10 }));

        auto path = (folder / "shot.png").string();
        ASSERT_TRUE(host.writePNG(path).ok());
        cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
        EXPECT_EQ(cairo_image_surface_get_width(png), int(375 * scale));
        EXPECT_EQ(cairo_image_surface_get_height(png), int(667 * scale));
        cairo_surface_destroy(png);
    }
}

TEST_F(HeadlessHostTest, DrawsOnlyWhenSomethingChanged)
{
    HeadlessHost host(options());
    auto content = colouredScreen({ 375, 647 }, Color::white());
    View* contentView = content.get();
    host.show(content);
    EXPECT_TRUE(host.render());
    EXPECT_FALSE(host.render());
    host.advance(10);
    EXPECT_FALSE(host.render()) << "an idle tree is not redrawn as time passes";
    EXPECT_EQ(host.framesDrawn(), 1);

    contentView->setBackgroundColor(Color::black());
    EXPECT_TRUE(host.render());
    EXPECT_TRUE(near(host.pixelAt({ 50, 300 }), Color::black()));
    EXPECT_FALSE(host.render());
    contentView->setBackgroundColor(Color::black());
    EXPECT_FALSE(host.render()) << "setting the same colour changes nothing";
}

TEST_F(HeadlessHostTest, AnimationIsDrivenByTheVirtualClock)
{
    HeadlessHost host(options());
    auto content = colouredScreen({ 375, 647 }, Color::white());
    auto box = View::create<View>();
    box->setFrame({ 0, 100, 100, 100 });
    box->setBackgroundColor(Color::black());
    View* boxView = box.get();
    content->addSubview(box);
    host.show(content);
    host.render();

    bool finished = false;
    View::animate(
        1.0, [&] { boxView->setAlpha(0); }, [&](bool done) { finished = done; });
    host.advance(0.5);
    auto middle = host.pixelAt({ 50, 170 });
    ASSERT_TRUE(middle);
    EXPECT_GT(middle->red, 0.2);
    EXPECT_LT(middle->red, 0.8);
    EXPECT_FALSE(finished);
    host.advance(0.6);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(near(host.pixelAt({ 50, 170 }), Color::white()));
}

TEST_F(HeadlessHostTest, TapReachesTheButtonAndOnlyInside)
{
    HeadlessHost host(options());
    host.show(makeControlsScreen(375, 647));
    auto* button = host.contentView()->viewWithTag(kGalleryButtonTag);
    auto* counter = dynamic_cast<Label*>(host.contentView()->viewWithTag(kGalleryTapCountTag));
    ASSERT_TRUE(button && counter);
    Point center = centerInWindow(*button);
    EXPECT_GT(center.y, 20) << "the screen sits below the status bar";

    host.tap(center);
    EXPECT_EQ(counter->text(), "1 tap");
    host.tap({ center.x, center.y + 200 });
    EXPECT_EQ(counter->text(), "1 tap");
    // A wobble under the threshold is still a tap.
    host.drag(center, { center.x + 3, center.y + 2 }, 0.1);
    EXPECT_EQ(counter->text(), "2 taps");
    // Pressing the button and dragging far away does not trigger it.
    host.drag(center, { center.x, center.y + 300 }, 0.3);
    EXPECT_EQ(counter->text(), "2 taps");
}

TEST_F(HeadlessHostTest, ClickTapAndDragPhasesWithVelocity)
{
    HeadlessHost host(options());
    auto content = colouredScreen({ 375, 647 }, Color::white());
    auto recorder = View::create<TouchRecorder>();
    recorder->setFrame({ 0, 0, 375, 647 });
    TouchRecorder* touches = recorder.get();
    content->addSubview(recorder);
    host.show(content);

    host.tap({ 100, 300 });
    EXPECT_EQ(touches->phases, (std::vector<Touch::Phase> { Touch::Phase::Began, Touch::Phase::Ended }));
    EXPECT_EQ(touches->velocities.back(), (Point {}));

    touches->phases.clear();
    touches->velocities.clear();
    double before = RunLoop::main().now();
    host.drag({ 100, 500 }, { 100, 300 }, 0.25);
    EXPECT_NEAR(RunLoop::main().now() - before, 0.25, 1e-6);
    ASSERT_GE(touches->phases.size(), 3u);
    EXPECT_EQ(touches->phases.front(), Touch::Phase::Began);
    EXPECT_EQ(touches->phases.back(), Touch::Phase::Ended);
    EXPECT_GT(touches->count(Touch::Phase::Moved), 5);
    // 200 points up in a quarter second.
    EXPECT_NEAR(touches->velocities.back().y, -800, 40);
    EXPECT_NEAR(touches->velocities.back().x, 0, 1);

    host.scroll({ 50, 300 }, 0, 40);
    ASSERT_EQ(touches->wheel.size(), 1u);
    EXPECT_EQ(touches->wheel[0], (Point { 0, 40 }));
}

TEST_F(HeadlessHostTest, LifeCycleReachesTheDelegateInOrderAndPreferencesAreWritten)
{
    RecordingDelegate delegate;
    {
        HeadlessHost host(options());
        host.launch(&delegate);
        EXPECT_EQ(delegate.calls, (std::vector<std::string> { "didFinishLaunching", "didBecomeActive" }));
        EXPECT_TRUE(near(host.pixelAt({ 100, 300 }), Color::rgba(0, 0.68, 0.96)));

        delegate.calls.clear();
        host.becomeActive(); // already active: nothing
        host.resignActive();
        host.enterBackground();
        host.becomeActive();
        EXPECT_EQ(delegate.calls,
            (std::vector<std::string> { "willResignActive", "didEnterBackground", "willEnterForeground", "didBecomeActive" }));

        delegate.calls.clear();
        host.terminate();
        ASSERT_FALSE(delegate.calls.empty());
        EXPECT_EQ(delegate.calls.back(), "willTerminate");
        delegate.calls.clear();
        host.becomeActive();
        host.terminate();
        EXPECT_TRUE(delegate.calls.empty()) << "nothing happens after termination";
    }
    // What the delegate stored while terminating reached the disk.
    UserDefaults stored(UserDefaults::standardFilePath());
    EXPECT_EQ(stored.integerForKey("LC"), 7);
}

TEST_F(HeadlessHostTest, StatusBarBatteryItemFollowsTheBattery)
{
    writeBattery(37);
    HeadlessHost host(options());
    host.show(colouredScreen({ 375, 647 }, Color::white()));

    auto findItem = []() -> View* {
        for (Window* window : Window::allWindows()) {
            if (window->className() == "UIStatusBarWindow")
                return window->findViewOfClass("UIStatusBarBatteryItemView");
        }
        return nullptr;
    };
    View* item = findItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->valueForKey("_capacity").asInteger(), 37);

    writeBattery(80, "Charging");
    host.advance(31);
    item = findItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->valueForKey("_capacity").asInteger(), 80);

    fs::remove_all(root / "sys/class/power_supply/BAT0");
    host.advance(31);
    View* gone = findItem();
    EXPECT_TRUE(!gone || gone->isHidden() || !gone->superview()) << "no battery, no item";
}

TEST_F(HeadlessHostTest, NoBatteryMeansNoItem)
{
    HeadlessHost host(options());
    host.show(colouredScreen({ 375, 647 }, Color::white()));
    auto* statusBar = dynamic_cast<StatusBarWindow*>(host.statusBarWindow());
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(statusBar->findViewOfClass("UIStatusBarBatteryItemView"), nullptr);
    EXPECT_FALSE(statusBar->timeText().empty());
    EXPECT_EQ(statusBar->frame(), (Rect { 0, 0, 375, 20 }));
}

TEST_F(HeadlessHostTest, TabletsTurnAndPhonesRefuse)
{
    {
        HeadlessHost phone(options("iphone-5s"));
        phone.show(colouredScreen({ 320, 548 }, Color::white()));
        EXPECT_FALSE(phone.rotate());
        EXPECT_EQ(phone.screenSize(), (Size { 320, 568 }));
    }
    HeadlessHost tablet(options("ipad-2"));
    tablet.show(colouredScreen({ 768, 1004 }, Color::white()));
    ASSERT_TRUE(tablet.rotate());
    EXPECT_EQ(tablet.screenSize(), (Size { 1024, 768 }));
    tablet.advance(HostCore::kRotationDuration + 0.1);
    EXPECT_EQ(tablet.keyWindow()->bounds().size, (Size { 1024, 768 }));
    EXPECT_EQ(tablet.statusBarWindow()->frame().width(), 1024);
    EXPECT_EQ(tablet.contentView()->frame().width(), 1024) << "content follows the window";
    // The far right of the turned screen is drawn.
    tablet.render();
    EXPECT_TRUE(near(tablet.pixelAt({ 1000, 700 }), Color::white()));
    ASSERT_TRUE(tablet.rotate());
    tablet.advance(HostCore::kRotationDuration + 0.1);
    EXPECT_EQ(tablet.screenSize(), (Size { 768, 1024 }));
}

TEST_F(HeadlessHostTest, ResizedWindowLaysOutAnewWithinItsIdiomAndTabletsTurnWhenWide)
{
    {
        HeadlessHost phone(options("iphone-6"));
        phone.show(colouredScreen({ 375, 647 }, Color::white()));
        // Taller: the content takes the height at once; wider than any phone: held at 414.
        EXPECT_EQ(phone.core().resize({ 1000, 900 }), (Size { 414, 900 }));
        EXPECT_EQ(phone.keyWindow()->bounds().size, (Size { 414, 900 }));
        EXPECT_EQ(phone.contentView()->frame().size, (Size { 414, 880 })) << "content follows below the status bar";
        EXPECT_EQ(phone.statusBarWindow()->frame().width(), 414);
        // Below the smallest useful size the window stops shrinking.
        EXPECT_EQ(phone.core().resize({ 100, 100 }), phone.core().minimumSize());
        EXPECT_EQ(phone.core().resize({ 0, 0 }), phone.core().minimumSize()) << "an empty size is ignored";
    }
    HeadlessHost tablet(options("ipad-2"));
    tablet.show(colouredScreen({ 768, 1004 }, Color::white()));
    EXPECT_EQ(tablet.core().resize({ 800, 1100 }), (Size { 800, 1100 }));
    EXPECT_FALSE(tablet.core().isLandscape());
    EXPECT_FALSE(tablet.core().hasAnimations()) << "a plain resize applies at once";
    // Made wider than tall, it turns through the rotation's transition.
    EXPECT_EQ(tablet.core().resize({ 1200, 800 }), (Size { 1200, 800 }));
    EXPECT_TRUE(tablet.core().isLandscape());
    EXPECT_TRUE(tablet.core().hasAnimations()) << "the turn is animated";
    tablet.advance(HostCore::kRotationDuration + 0.1);
    EXPECT_FALSE(tablet.core().hasAnimations());
    EXPECT_EQ(tablet.keyWindow()->bounds().size, (Size { 1200, 800 }));

    HostOptions widget = options("ipad-2");
    widget.windowSize = Size { 320, 160 };
    HeadlessHost fixed(widget);
    fixed.show(colouredScreen({ 320, 160 }, Color::white()));
    EXPECT_EQ(fixed.core().resize({ 600, 600 }), (Size { 320, 160 })) << "the widget keeps its size";
}

TEST_F(HeadlessHostTest, FixedSizeWindowHasNoStatusBarAndDoesNotTurn)
{
    HostOptions widget = options("ipad-2");
    widget.windowSize = Size { 320, 220 };
    widget.statusBar = false;
    widget.undecorated = true;
    HeadlessHost host(widget);
    host.show(colouredScreen({ 320, 220 }, Color::rgba(0, 1, 0)));
    EXPECT_EQ(host.screenSize(), (Size { 320, 220 }));
    EXPECT_EQ(host.statusBarWindow(), nullptr);
    EXPECT_TRUE(near(host.pixelAt({ 5, 5 }), Color::rgba(0, 1, 0))) << "content reaches the top";
    EXPECT_FALSE(host.rotate());
}

TEST_F(HeadlessHostTest, OpenedAddressesAreRecorded)
{
    HeadlessHost host(options());
    host.show(colouredScreen({ 375, 647 }, Color::white()));
    EXPECT_TRUE(Application::shared().openURL("velmora-quarrin://"));
    EXPECT_FALSE(Application::shared().openURL(""));
    EXPECT_TRUE(Application::shared().openURL("https://example.org/a"));
    EXPECT_EQ(host.openedURLs(), (std::vector<std::string> { "velmora-quarrin://", "https://example.org/a" }));
}

TEST_F(HeadlessHostTest, BusyGalleryScreenHasItsLabelsAndImages)
{
    HeadlessHost host(options("iphone-6", 2));
    host.show(makeBusyScreen(375, 647));
    int labels = 0, images = 0;
    for (auto& view : host.contentView()->subviews()) {
        labels += view->className() == "UILabel";
        images += view->className() == "UIImageView";
    }
    EXPECT_EQ(labels, kBusyLabelCount);
    EXPECT_EQ(images, kBusyImageCount);
    EXPECT_TRUE(host.render());
    // An image cell is coloured, not the screen's background.
    auto* image = host.contentView()->subviews().back().get();
    auto pixel = host.pixelAt(image->convertPointTo({ 3, image->bounds().height() / 2 }, nullptr));
    EXPECT_FALSE(near(pixel, Color::white(0.97))) << describe(pixel);
}

TEST_F(HeadlessHostTest, KeysReachTheFocusedButtonAndSchemesCanBeWithheld)
{
    HeadlessHost host(options());
    auto content = colouredScreen({ 375, 647 }, Color::white());
    auto button = Button::system("Go");
    button->setFrame({ 20, 20, 100, 40 });
    content->addSubview(button);
    int presses = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++presses; });
    host.show(content);

    EXPECT_FALSE(host.pressKey(Key::Return)) << "nothing has the focus yet";
    ASSERT_TRUE(button->becomeFirstResponder());
    EXPECT_TRUE(host.pressKey(Key::Space));
    EXPECT_TRUE(host.pressKey(Key::Return));
    EXPECT_FALSE(host.pressKey(Key::Escape));
    EXPECT_EQ(presses, 2);

    host.setOpenableSchemes(std::vector<std::string> { "https" });
    EXPECT_FALSE(Application::shared().canOpenURL("appstream://com.velmora.quarrin"));
    EXPECT_TRUE(Application::shared().canOpenURL("https://example.org/c"));
    host.setOpenableSchemes(std::nullopt);
    EXPECT_TRUE(Application::shared().canOpenURL("appstream://com.velmora.quarrin"));
}

// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"
#include "kit/device/DeviceProfile.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Button.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kit;

namespace {

std::shared_ptr<Window> makeWindow(Size size = { 320, 480 })
{
    auto window = View::create<Window>();
    window->setFrame({ 0, 0, size.width, size.height });
    return window;
}

struct TouchLog : View {
    std::vector<std::string> events;
    void touchesBegan(const Touch&) override { events.push_back("began"); }
    void touchesMoved(const Touch&) override { events.push_back("moved"); }
    void touchesEnded(const Touch&) override { events.push_back("ended"); }
    void touchesCancelled(const Touch&) override { events.push_back("cancelled"); }
};

// Takes the touch over once it has moved 10 points, as a scroll view does.
struct Panner : TouchLog {
    bool interceptTouch(const Touch& touch) override
    {
        return touch.phase == Touch::Phase::Moved && touch.distanceFromStart() > 10;
    }
    double scrolled = 0;
    void scrollWheel(double, double dy) override { scrolled += dy; }
};

} // namespace

TEST(WindowTouches, TapOnAButtonFiresTouchUpInsideOnce)
{
    auto window = makeWindow();
    auto button = Button::system("Tap");
    button->setFrame({ 100, 100, 80, 40 });
    window->addSubview(button);
    int taps = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
    window->sendTouch(Touch::Phase::Began, { 120, 110 });
    EXPECT_TRUE(button->isHighlighted());
    window->sendTouch(Touch::Phase::Ended, { 120, 110 });
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(taps, 1);
    // Released far away: no action, and the highlight went when the finger left.
    window->sendTouch(Touch::Phase::Began, { 120, 110 });
    window->sendTouch(Touch::Phase::Moved, { 300, 400 });
    EXPECT_FALSE(button->isHighlighted());
    window->sendTouch(Touch::Phase::Ended, { 300, 400 });
    EXPECT_EQ(taps, 1);
    // Disabled buttons are not hit.
    button->setEnabled(false);
    window->sendTouch(Touch::Phase::Began, { 120, 110 });
    window->sendTouch(Touch::Phase::Ended, { 120, 110 });
    EXPECT_EQ(taps, 1);
}

TEST(WindowTouches, TouchStaysWithItsViewAndStrayPhasesAreIgnored)
{
    auto window = makeWindow();
    auto a = View::create<TouchLog>();
    a->setFrame({ 0, 0, 100, 100 });
    auto b = View::create<TouchLog>();
    b->setFrame({ 100, 0, 100, 100 });
    window->addSubview(a);
    window->addSubview(b);
    window->sendTouch(Touch::Phase::Moved, { 10, 10 });
    window->sendTouch(Touch::Phase::Ended, { 10, 10 });
    EXPECT_TRUE(a->events.empty());
    window->sendTouch(Touch::Phase::Began, { 10, 10 });
    window->sendTouch(Touch::Phase::Moved, { 150, 10 });
    window->sendTouch(Touch::Phase::Ended, { 150, 10 });
    EXPECT_EQ(a->events, (std::vector<std::string> { "began", "moved", "ended" }));
    EXPECT_TRUE(b->events.empty());
    // A second press while one is down cancels the first.
    window->sendTouch(Touch::Phase::Began, { 10, 10 });
    window->sendTouch(Touch::Phase::Began, { 150, 10 });
    EXPECT_EQ(a->events.back(), "cancelled");
    EXPECT_EQ(b->events, (std::vector<std::string> { "began" }));
}

TEST(WindowTouches, AnAncestorInterceptingADragCancelsTheButton)
{
    auto window = makeWindow();
    auto panner = View::create<Panner>();
    panner->setFrame({ 0, 0, 320, 480 });
    auto button = Button::system("In a list");
    button->setFrame({ 0, 0, 320, 44 });
    panner->addSubview(button);
    window->addSubview(panner);
    int taps = 0, cancels = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
    button->addAction(ControlEvent::TouchCancel, [&](Control&) { ++cancels; });
    window->sendTouch(Touch::Phase::Began, { 50, 20 });
    window->sendTouch(Touch::Phase::Moved, { 50, 25 });
    EXPECT_TRUE(button->isHighlighted());
    window->sendTouch(Touch::Phase::Moved, { 50, 60 });
    window->sendTouch(Touch::Phase::Ended, { 50, 60 });
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(panner->events, (std::vector<std::string> { "moved", "ended" }));
    // The wheel over the button reaches the panner through the button's superview chain.
    window->sendScrollWheel({ 50, 20 }, 0, 30);
    EXPECT_EQ(panner->scrolled, 30);
}

TEST(WindowList, StatusBarBatteryItemIsFoundByClassNames)
{
    auto app = makeWindow();
    auto bar = View::create<StatusBarWindow>();
    bar->setFrame({ 0, 0, 320, StatusBarWindow::kHeight });
    bar->setBattery(57);
    auto windows = Window::allWindows();
    auto it = std::find_if(windows.begin(), windows.end(), [](Window* w) { return w->className() == "UIStatusBarWindow"; });
    ASSERT_NE(it, windows.end());
    View* item = (*it)->findViewOfClass("UIStatusBarBatteryItemView");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->valueForKey("_capacity").intValue(), 57);
    bar->setBattery(140);
    EXPECT_EQ(item->valueForKey("_capacity").intValue(), 100);
    // No battery: no item.
    bar->setBattery(std::nullopt);
    EXPECT_EQ(bar->findViewOfClass("UIStatusBarBatteryItemView"), nullptr);
    bar.reset();
    windows = Window::allWindows();
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(), [](Window* w) { return w->className() == "UIStatusBarWindow"; }), 0);
}

namespace {

struct Screen : ViewController {
    std::vector<std::string>* log;
    std::string name;
    Screen(std::vector<std::string>* l, std::string n)
        : log(l)
        , name(std::move(n))
    {
    }
    void viewDidLoad() override { log->push_back(name + ".load"); }
    void viewWillAppear(bool) override { log->push_back(name + ".willAppear"); }
    void viewDidAppear(bool) override { log->push_back(name + ".didAppear"); }
    void viewWillDisappear(bool) override { log->push_back(name + ".willDisappear"); }
    void viewDidDisappear(bool) override { log->push_back(name + ".didDisappear"); }
    void viewWillTransitionToSize(Size size, TransitionCoordinator& c) override
    {
        log->push_back(name + ".transition " + std::to_string(int(size.width)) + " " + std::to_string(c.transitionDuration()));
        ViewController::viewWillTransitionToSize(size, c);
    }
};

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().setVirtualClock(true); }
    void TearDown() override
    {
        Animator::shared().cancelAll();
        RunLoop::main().setVirtualClock(false);
    }
    std::vector<std::string> log;
};

} // namespace

TEST_F(ControllerTest, ViewLoadsLazilyOnceAndAppearsWithTheWindow)
{
    auto root = ViewController::create<Screen>(&log, "root");
    EXPECT_FALSE(root->isViewLoaded());
    auto window = makeWindow();
    window->setRootViewController(root);
    EXPECT_TRUE(root->isViewLoaded());
    EXPECT_EQ(root->view()->frame(), window->bounds());
    EXPECT_EQ(root->view()->viewController(), root.get());
    window->makeKeyAndVisible();
    window->makeKeyAndVisible();
    EXPECT_EQ(log, (std::vector<std::string> { "root.load", "root.willAppear", "root.didAppear" }));
    EXPECT_TRUE(window->isKeyWindow());
    // The root view follows the window's size.
    window->setFrame({ 0, 0, 480, 320 });
    EXPECT_EQ(root->view()->frame(), (Rect { 0, 0, 480, 320 }));
}

TEST_F(ControllerTest, PresentingCoversTheWindowAndDismissingRestoresTheAppearanceOrder)
{
    auto root = ViewController::create<Screen>(&log, "root");
    auto window = makeWindow();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    log.clear();
    auto sheet = ViewController::create<Screen>(&log, "sheet");
    bool presented = false;
    root->presentViewController(sheet, true, [&] { presented = true; });
    EXPECT_EQ(root->presentedViewController(), sheet.get());
    EXPECT_EQ(sheet->presentingViewController(), root.get());
    // A second presentation while one is shown is refused.
    auto other = ViewController::create<Screen>(&log, "other");
    bool otherShown = false;
    root->presentViewController(other, false, [&] { otherShown = true; });
    EXPECT_FALSE(otherShown);
    EXPECT_FALSE(presented);
    RunLoop::main().advance(ViewController::kPresentationDuration + 0.05);
    EXPECT_TRUE(presented);
    EXPECT_EQ(sheet->view()->frame(), window->bounds());
    EXPECT_EQ(window->subviews().back().get(), sheet->view());
    EXPECT_EQ(log,
        (std::vector<std::string> { "root.willDisappear", "sheet.load", "sheet.willAppear", "root.didDisappear",
            "sheet.didAppear" }));
    log.clear();

    bool dismissed = false;
    sheet->dismissViewController(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(sheet->view()->superview(), nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(sheet->presentingViewController(), nullptr);
    EXPECT_TRUE(window->presentedControllers().empty());
    EXPECT_EQ(log,
        (std::vector<std::string> { "sheet.willDisappear", "root.willAppear", "sheet.didDisappear", "root.didAppear" }));
    // And it can be presented again.
    root->presentViewController(sheet, false);
    EXPECT_EQ(root->presentedViewController(), sheet.get());
}

TEST_F(ControllerTest, ContainmentRefusesCyclesAndMovesChildren)
{
    auto a = ViewController::create<Screen>(&log, "a");
    auto b = ViewController::create<Screen>(&log, "b");
    auto c = ViewController::create<Screen>(&log, "c");
    a->addChildViewController(b);
    b->addChildViewController(c);
    c->addChildViewController(a);
    EXPECT_EQ(a->parentViewController(), nullptr);
    a->addChildViewController(c);
    EXPECT_EQ(c->parentViewController(), a.get());
    EXPECT_TRUE(b->childViewControllers().empty());
    EXPECT_EQ(a->childViewControllers().size(), 2u);
    c->removeFromParentViewController();
    EXPECT_EQ(c->parentViewController(), nullptr);
    EXPECT_EQ(a->navigationController(), nullptr);
}

TEST_F(ControllerTest, SizeTransitionTellsControllersThenResizesAnimated)
{
    auto root = ViewController::create<Screen>(&log, "root");
    auto child = ViewController::create<Screen>(&log, "child");
    root->addChildViewController(child);
    auto window = makeWindow({ 768, 1024 });
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    log.clear();
    window->transitionToSize({ 1024, 768 }, 0.4);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "root.transition 1024 0.400000");
    EXPECT_EQ(log[1], "child.transition 1024 0.400000");
    EXPECT_EQ(window->bounds().size, (Size { 1024, 768 }));
    EXPECT_EQ(root->view()->bounds().size, (Size { 1024, 768 }));
    EXPECT_TRUE(root->view()->isAnimating());
    RunLoop::main().advance(0.5);
    EXPECT_FALSE(root->view()->isAnimating());
}

TEST_F(ControllerTest, AnimationsAlongsideASizeTransitionRunInItAndCompleteAfter)
{
    struct Along : ViewController {
        std::shared_ptr<View> marker = View::create<View>();
        bool completed = false;
        void viewWillTransitionToSize(Size size, TransitionCoordinator& c) override
        {
            c.animateAlongsideTransition([this, size] { marker->setAlpha(size.width > 800 ? 0 : 1); },
                [this] { completed = true; });
        }
    };
    auto root = ViewController::create<Along>();
    auto window = makeWindow({ 768, 1024 });
    window->setRootViewController(root);
    root->view()->addSubview(root->marker);
    window->transitionToSize({ 1024, 768 }, 0.4);
    EXPECT_EQ(root->marker->alpha(), 0);
    EXPECT_TRUE(root->marker->isAnimating());
    EXPECT_FALSE(root->completed);
    RunLoop::main().advance(0.5);
    EXPECT_TRUE(root->completed);
    EXPECT_EQ(root->marker->presentation().alpha, 0);
}

TEST_F(ControllerTest, OrientationsFollowTheIdiom)
{
    auto controller = ViewController::create<ViewController>();
    auto saved = DeviceProfile::current();
    DeviceProfile::setCurrent(*DeviceProfile::named("default"));
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationPortrait));
    for (auto& profile : DeviceProfile::builtInProfiles()) {
        if (profile.isPad()) {
            DeviceProfile::setCurrent(profile);
            EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationAll));
            break;
        }
    }
    DeviceProfile::setCurrent(saved);
}

TEST(TransitionCoordinator, AnimationsAndCompletionsRunOnceInOrder)
{
    TransitionCoordinator c(0.3, { 10, 20 });
    std::vector<int> order;
    c.animateAlongsideTransition([&] { order.push_back(1); }, [&] { order.push_back(3); });
    c.animateAlongsideTransition([&] { order.push_back(2); }, nullptr);
    c.runAnimations();
    c.runAnimations();
    c.runCompletions();
    c.runCompletions();
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3 }));
    EXPECT_TRUE(c.isAnimated());
    EXPECT_FALSE(TransitionCoordinator(0, {}).isAnimated());
}

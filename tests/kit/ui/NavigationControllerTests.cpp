// SPDX-License-Identifier: MIT
#include "ControllerTestSupport.h"

#include "kit/ui/BarButtonItem.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/SegmentedControl.h"

using namespace kit;
using namespace kit::test;

namespace {

using Calls = std::vector<std::string>;

class NavigationControllerTest : public HostedControllerTest {
protected:
    // A navigation controller as the window's root, its root screen "a" visible.
    void launchStack()
    {
        a = screen("a", Color::rgba(1, 0, 0));
        navigation = NavigationController::create(a);
        launch(navigation);
        takeLog();
    }
    NavigationBar& bar() { return *navigation->navigationBar(); }
    double settle() { return NavigationController::kTransitionDuration + 0.05; }

    std::shared_ptr<RecordingController> a;
    std::shared_ptr<NavigationController> navigation;
};

} // namespace

TEST_F(NavigationControllerTest, PushAndPopTellBothControllersInOrderAnimatedOrNot)
{
    launchStack();
    for (bool animated : { false, true }) {
        SCOPED_TRACE(animated ? "animated" : "not animated");
        auto b = screen(animated ? "c" : "b");
        const std::string n = animated ? "c" : "b";
        const std::string flag = animated ? "(animated)" : "";
        navigation->pushViewController(b, animated);
        if (animated) {
            EXPECT_TRUE(navigation->isInTransition());
            EXPECT_EQ(log, (Calls { "a.willDisappear" + flag, n + ".load", n + ".willAppear" + flag }))
                << "the did-calls wait for the slide to end";
            advance(settle());
        }
        EXPECT_FALSE(navigation->isInTransition());
        EXPECT_EQ(takeLog(),
            (Calls { "a.willDisappear" + flag, n + ".load", n + ".willAppear" + flag, "a.didDisappear" + flag,
                n + ".didAppear" + flag }));
        EXPECT_EQ(navigation->topViewController(), b.get());
        EXPECT_EQ(b->parentViewController(), navigation.get());
        // Only the top screen stays in the view, below the bar.
        EXPECT_EQ(a->view()->superview(), nullptr);
        EXPECT_EQ(b->view()->superview(), navigation->view());
        EXPECT_EQ(b->view()->frame(), (Rect { 0, 64, 375, 603 }));

        EXPECT_EQ(navigation->popViewController(animated), b);
        if (animated) {
            EXPECT_EQ(log, (Calls { n + ".willDisappear" + flag, "a.willAppear" + flag }));
            advance(settle());
        }
        // The screen coming back on top hears both calls too.
        EXPECT_EQ(takeLog(),
            (Calls { n + ".willDisappear" + flag, "a.willAppear" + flag, n + ".didDisappear" + flag, "a.didAppear" + flag }));
        EXPECT_EQ(b->parentViewController(), nullptr);
        EXPECT_EQ(b->view()->superview(), nullptr);
        EXPECT_EQ(a->view()->superview(), navigation->view());
        EXPECT_EQ(a->view()->frame(), (Rect { 0, 64, 375, 603 }));
    }
    // The root stays.
    EXPECT_EQ(navigation->popViewController(false), nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(NavigationControllerTest, PushedScreenSlidesInOverTheOldOne)
{
    launchStack();
    auto b = screen("b", Color::rgba(0, 0, 1));
    navigation->pushViewController(b, true);
    advance(NavigationController::kTransitionDuration / 2);
    double x = b->view()->presentation().center.x - b->view()->bounds().width() / 2;
    EXPECT_GT(x, 0);
    EXPECT_LT(x, 375);
    // Left of the incoming edge the old screen still shows, right of it the new one.
    EXPECT_TRUE(near(pixelAt({ x - 10, 300 }), Color::rgba(1, 0, 0))) << describe(pixelAt({ x - 10, 300 }));
    EXPECT_TRUE(near(pixelAt({ x + 10, 300 }), Color::rgba(0, 0, 1))) << describe(pixelAt({ x + 10, 300 }));
    advance(NavigationController::kTransitionDuration);
    EXPECT_TRUE(near(pixelAt({ 5, 300 }), Color::rgba(0, 0, 1)));
}

TEST_F(NavigationControllerTest, PushesAndPopsDuringASlideAreRefused)
{
    launchStack();
    auto b = screen("b");
    auto c = screen("c");
    navigation->pushViewController(b, true);
    navigation->pushViewController(c, true);
    EXPECT_EQ(navigation->popViewController(true), nullptr);
    advance(settle());
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(navigation->topViewController(), b.get());
    // A controller already on the stack is refused too.
    navigation->pushViewController(a, false);
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
}

TEST_F(NavigationControllerTest, BackButtonShowsThePreviousTitleAndATapPopsAnimated)
{
    launchStack();
    a->setTitle("Devices");
    EXPECT_EQ(bar().titleText(), "Devices");
    EXPECT_EQ(bar().backButton(), nullptr) << "the root has nothing to go back to";

    auto b = screen("b");
    b->setTitle("Details");
    navigation->pushViewController(b, false);
    takeLog();
    EXPECT_EQ(bar().titleText(), "Details");
    ASSERT_NE(bar().backButton(), nullptr);
    EXPECT_EQ(bar().backButton()->title(), "‹ Devices");
    window()->layoutIfNeeded();
    Rect back = frameInWindow(*bar().backButton());
    EXPECT_GE(back.width(), bar().backButton()->sizeThatFits({}).width) << "the title is not cut";
    EXPECT_FALSE(back.intersects(frameInWindow(*bar().titleLabel())));

    tap(*bar().backButton());
    EXPECT_EQ(navigation->topViewController(), a.get());
    EXPECT_EQ(log, (Calls { "b.willDisappear(animated)", "a.willAppear(animated)" }));
    advance(settle());
    EXPECT_EQ(log.back(), "a.didAppear(animated)");
    EXPECT_EQ(bar().titleText(), "Devices");
    EXPECT_EQ(bar().backButton(), nullptr);

    // A back title of the screen beneath wins over its title.
    a->navigationItem().backButtonTitle = "List";
    navigation->pushViewController(b, false);
    ASSERT_NE(bar().backButton(), nullptr);
    EXPECT_EQ(bar().backButton()->title(), "‹ List");
}

TEST_F(NavigationControllerTest, TitleViewTakesTheTitlesPlaceAndLeavesWithItsScreen)
{
    launchStack();
    auto b = screen("b");
    auto segments = View::create<SegmentedControl>(std::vector<std::string> { "Day", "Week" });
    b->navigationItem().titleView = segments;
    navigation->pushViewController(b, false);
    window()->layoutIfNeeded();
    EXPECT_EQ(bar().titleView(), segments.get());
    EXPECT_EQ(segments->superview(), &bar());
    EXPECT_EQ(bar().titleLabel(), nullptr);
    EXPECT_NEAR(segments->frame().center().x, bar().bounds().center().x, 0.5) << "centred on the bar";
    EXPECT_NEAR(segments->frame().center().y, bar().bounds().center().y, 0.5);

    navigation->popViewController(false);
    EXPECT_EQ(segments->superview(), nullptr);
    ASSERT_NE(bar().titleLabel(), nullptr);
    EXPECT_FALSE(bar().titleLabel()->isHidden());
    EXPECT_EQ(bar().titleText(), "a");

    // The item's own title wins over the controller's.
    b->navigationItem().titleView = nullptr;
    b->navigationItem().title = "Item title";
    navigation->pushViewController(b, false);
    EXPECT_EQ(bar().titleText(), "Item title");
}

TEST_F(NavigationControllerTest, SystemEditItemOnTheRightRunsItsAction)
{
    launchStack();
    int taps = 0;
    auto edit = BarButtonItem::systemItem(BarButtonItem::SystemItem::Edit, [&] { ++taps; });
    EXPECT_EQ(edit->title(), "Edit");
    a->navigationItem().rightView = edit;
    navigation->updateNavigationBar();
    window()->layoutIfNeeded();
    EXPECT_EQ(bar().rightView(), edit.get());
    Rect right = frameInWindow(*edit);
    EXPECT_NEAR(right.maxX(), 375 - 8, 0.5) << "against the bar's right margin";
    EXPECT_GE(right.minY(), 20);
    EXPECT_LE(right.maxY(), 64);
    EXPECT_FALSE(right.intersects(frameInWindow(*bar().titleLabel())));

    tap(*edit);
    EXPECT_EQ(taps, 1);
    // A tap on the bar beside the item does nothing.
    host->tap({ right.minX() - 40, right.center().y });
    EXPECT_EQ(taps, 1);
    // A left view replaces the back button.
    auto b = screen("b");
    auto cancel = BarButtonItem::systemItem(BarButtonItem::SystemItem::Cancel, {});
    b->navigationItem().leftView = cancel;
    navigation->pushViewController(b, false);
    EXPECT_EQ(bar().backButton(), nullptr);
    EXPECT_EQ(bar().leftView(), cancel.get());
    EXPECT_EQ(edit->superview(), nullptr) << "the right item went with its screen";
}

TEST_F(NavigationControllerTest, HiddenBarGivesTheScreenTheWholeViewAndComesBack)
{
    launchStack();
    window()->layoutIfNeeded();
    EXPECT_EQ(a->view()->frame(), (Rect { 0, 64, 375, 603 }));
    EXPECT_EQ(bar().frame(), (Rect { 0, 20, 375, 44 })) << "below the status bar";

    navigation->setNavigationBarHidden(true);
    EXPECT_TRUE(bar().isHidden());
    EXPECT_EQ(a->view()->frame(), (Rect { 0, 0, 375, 667 }));
    EXPECT_TRUE(near(pixelAt({ 100, 40 }), Color::rgba(1, 0, 0))) << "the screen shows where the bar was";
    // A screen pushed while the bar is hidden fills the view as well.
    auto b = screen("b");
    navigation->pushViewController(b, false);
    EXPECT_EQ(b->view()->frame(), (Rect { 0, 0, 375, 667 }));

    navigation->setNavigationBarHidden(false, true);
    EXPECT_FALSE(bar().isHidden());
    advance(0.3);
    EXPECT_EQ(b->view()->frame(), (Rect { 0, 64, 375, 603 }));
    EXPECT_FALSE(near(pixelAt({ 100, 40 }), Color::rgba(1, 0, 0)));
}

TEST_F(NavigationControllerTest, BarOfAReleasedControllerDoesNotCallIt)
{
    // The navigation controller's view outlives it in another view.
    auto holder = View::create<View>();
    show(holder);
    auto a = screen("a");
    auto b = screen("b");
    auto nav = NavigationController::create(a);
    nav->pushViewController(b, false);
    auto navView = nav->viewPtr();
    navView->setFrame(holder->bounds());
    holder->addSubview(navView);
    auto navBar = std::static_pointer_cast<NavigationBar>(nav->navigationBar()->shared_from_this());
    ASSERT_NE(navBar->backButton(), nullptr);
    window()->layoutIfNeeded();
    Point at = centerInWindow(*navBar->backButton());
    nav.reset();
    a.reset();
    b.reset();
    EXPECT_FALSE(navBar->onBack) << "the bar would call the gone controller";
    host->tap(at);
    advance(0.5);
    EXPECT_EQ(navView->subviews().size(), 2u) << "the view tree is left as it was";
}

TEST_F(NavigationControllerTest, OrientationsFollowTheTopScreen)
{
    launchStack();
    a->orientations = OrientationPortrait;
    auto b = screen("b");
    b->orientations = OrientationAll;
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), unsigned(OrientationPortrait));
    navigation->pushViewController(b, false);
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), unsigned(OrientationAll));
    navigation->popViewController(false);
    EXPECT_EQ(navigation->supportedInterfaceOrientations(), unsigned(OrientationPortrait));
}

TEST_F(NavigationControllerTest, StatusBarStripAndBarKeepTheBarsShade)
{
    launchStack();
    // Left of the clock, clear of any text.
    EXPECT_TRUE(near(pixelAt({ 3, 10 }), Color::white()))
        << "dark status text needs a light strip: " << describe(pixelAt({ 3, 10 }));
    auto bar = pixelAt({ 3, 40 });
    EXPECT_TRUE(near(bar, Color::white(0.97), 0.01)) << describe(bar);
    navigation->navigationBar()->setBarStyle(BarStyle::Black);
    EXPECT_TRUE(near(pixelAt({ 3, 10 }), Color::black())) << describe(pixelAt({ 3, 10 }));
    EXPECT_TRUE(near(pixelAt({ 3, 40 }), Color::rgba(0.07, 0.07, 0.08), 0.01)) << describe(pixelAt({ 3, 40 }));
}

TEST_F(NavigationControllerTest, BelowTheBarWhatLiesBehindTheStackShows)
{
    // A clear screen over a white window: only the strip and the bar take the bar's shade.
    a = screen("a", Color::clear());
    navigation = NavigationController::create(a);
    navigation->navigationBar()->setBarStyle(BarStyle::Black);
    launch(navigation);
    EXPECT_TRUE(near(pixelAt({ 3, 10 }), Color::black())) << describe(pixelAt({ 3, 10 }));
    EXPECT_TRUE(near(pixelAt({ 3, 300 }), Color::white())) << "not the bar's shade: " << describe(pixelAt({ 3, 300 }));
    navigation->setNavigationBarHidden(true);
    EXPECT_TRUE(near(pixelAt({ 3, 40 }), Color::white())) << "a hidden bar leaves no shade: " << describe(pixelAt({ 3, 40 }));
}

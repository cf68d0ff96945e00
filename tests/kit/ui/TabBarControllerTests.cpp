// SPDX-License-Identifier: MIT
#include "ControllerTestSupport.h"

#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/TabBarController.h"

using namespace kit;
using namespace kit::test;

namespace {

using Calls = std::vector<std::string>;

// A filled square, so a tinted item shows its colour across the middle of the image.
ImagePtr square()
{
    return Image::fromSVGData("<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24'>"
                              "<rect width='24' height='24' fill='black'/></svg>");
}

class TabBarControllerTest : public HostedControllerTest {
protected:
    void launchTabs()
    {
        for (const char* name : { "usage", "battery", "specs" }) {
            auto tab = screen(name);
            tab->tabBarItem().image = square();
            tabs.push_back(tab);
        }
        controller = TabBarController::create();
        controller->setViewControllers({ tabs[0], tabs[1], tabs[2] });
        launch(controller);
        window()->layoutIfNeeded();
    }
    TabBar& bar() { return *controller->tabBar(); }
    Point itemCenter(int index) { return bar().convertPointTo(bar().itemFrame(index).center(), nullptr); }
    // The middle of item i's image.
    Point imageCenter(int index)
    {
        Rect item = bar().itemFrame(index);
        return bar().convertPointTo({ item.midX(), item.minY() + 5 + 15 }, nullptr);
    }

    std::vector<std::shared_ptr<RecordingController>> tabs;
    std::shared_ptr<TabBarController> controller;
};

} // namespace

TEST_F(TabBarControllerTest, TapOnATabSwitchesScreensAndTellsBothInOrder)
{
    launchTabs();
    EXPECT_EQ(takeLog(), (Calls { "usage.load", "usage.willAppear", "usage.didAppear" }));
    EXPECT_EQ(controller->selectedIndex(), 0);
    EXPECT_EQ(tabs[0]->view()->frame(), (Rect { 0, 0, 375, 667 - TabBar::kHeight }));
    EXPECT_EQ(bar().frame(), (Rect { 0, 667 - TabBar::kHeight, 375, TabBar::kHeight }));
    std::vector<std::string> selected;
    controller->onDidSelect = [&](TabBarController&, ViewController& c) { selected.push_back(c.title()); };

    host->tap(itemCenter(1));
    EXPECT_EQ(controller->selectedIndex(), 1);
    EXPECT_EQ(controller->selectedViewController(), tabs[1].get());
    EXPECT_EQ(takeLog(),
        (Calls { "usage.willDisappear", "battery.load", "battery.willAppear", "usage.didDisappear", "battery.didAppear" }));
    EXPECT_EQ(selected, (std::vector<std::string> { "battery" }));
    EXPECT_EQ(tabs[0]->view()->superview(), nullptr);
    EXPECT_EQ(tabs[1]->view()->superview(), controller->view());
    EXPECT_EQ(tabs[1]->view()->frame(), (Rect { 0, 0, 375, 667 - TabBar::kHeight }));

    // The selected tab again: nothing happens.
    host->tap(itemCenter(1));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(selected.size(), 1u);

    // Back to a tab seen before: it is not loaded again.
    host->tap(itemCenter(0));
    EXPECT_EQ(takeLog(), (Calls { "battery.willDisappear", "usage.willAppear", "battery.didDisappear", "usage.didAppear" }));
    // Selecting in code tells the screens but not onDidSelect, which is for taps.
    controller->setSelectedIndex(2);
    EXPECT_EQ(takeLog(),
        (Calls { "usage.willDisappear", "specs.load", "specs.willAppear", "usage.didDisappear", "specs.didAppear" }));
    EXPECT_EQ(selected, (std::vector<std::string> { "battery", "usage" }));
    controller->setSelectedIndex(7);
    EXPECT_EQ(controller->selectedIndex(), 2);

    // A tap on the screen above the bar does not switch.
    host->tap({ 10, 400 });
    EXPECT_EQ(controller->selectedIndex(), 2);
}

TEST_F(TabBarControllerTest, TheSelectedItemIsDrawnInTheTintColour)
{
    launchTabs();
    const Color gray = bar().itemColor(1);
    EXPECT_TRUE(near(pixelAt(imageCenter(0)), Color::systemBlue())) << describe(pixelAt(imageCenter(0)));
    EXPECT_TRUE(near(pixelAt(imageCenter(1)), gray)) << describe(pixelAt(imageCenter(1)));
    EXPECT_FALSE(near(gray, Color::systemBlue()));

    host->tap(itemCenter(2));
    EXPECT_TRUE(near(pixelAt(imageCenter(2)), Color::systemBlue())) << describe(pixelAt(imageCenter(2)));
    EXPECT_TRUE(near(pixelAt(imageCenter(0)), gray)) << describe(pixelAt(imageCenter(0)));

    // A tint set on the bar is what the selected item takes.
    bar().setTintColor(Color::rgba(1, 0, 0));
    EXPECT_TRUE(near(pixelAt(imageCenter(2)), Color::rgba(1, 0, 0))) << describe(pixelAt(imageCenter(2)));
    EXPECT_TRUE(near(pixelAt(imageCenter(1)), gray));
}

TEST_F(TabBarControllerTest, ItemTitlesFollowTheirControllers)
{
    launchTabs();
    ASSERT_EQ(bar().items().size(), 3u);
    EXPECT_EQ(bar().items()[1].title, "battery");
    tabs[1]->setTitle("Battery");
    EXPECT_EQ(bar().items()[1].title, "Battery");
    // An item title of its own wins.
    tabs[2]->tabBarItem().title = "Tech Specs";
    tabs[2]->setTitle("specs!");
    EXPECT_EQ(bar().items()[2].title, "Tech Specs");
}

TEST_F(TabBarControllerTest, BackgroundBelowAndOverlayAboveKeepTheirPlacesAcrossSwitches)
{
    for (const char* name : { "usage", "battery" })
        tabs.push_back(screen(name, Color::clear()));
    controller = TabBarController::create();
    controller->setViewControllers({ tabs[0], tabs[1] });
    launch(controller);
    View* root = controller->view();
    auto background = View::create<View>();
    background->setFrame(root->bounds());
    background->setBackgroundColor(Color::rgba(0, 0.5, 0));
    root->insertSubview(background, 0);
    auto overlay = View::create<View>();
    overlay->setFrame({ 0, 100, 50, 50 });
    overlay->setBackgroundColor(Color::rgba(1, 0, 0));
    root->addSubview(overlay);

    for (int index : { 1, 0, 1 }) {
        SCOPED_TRACE(index);
        host->tap(itemCenter(index));
        ASSERT_EQ(controller->selectedIndex(), index);
        const auto& views = root->subviews();
        ASSERT_EQ(views.size(), 4u);
        EXPECT_EQ(views[0].get(), background.get());
        EXPECT_EQ(views[1].get(), tabs[index]->view());
        EXPECT_EQ(views[2].get(), &bar());
        EXPECT_EQ(views[3].get(), overlay.get());
        // The picture shows through the clear screen; the overlay covers it.
        EXPECT_TRUE(near(pixelAt({ 200, 300 }), Color::rgba(0, 0.5, 0))) << describe(pixelAt({ 200, 300 }));
        EXPECT_TRUE(near(pixelAt({ 25, 125 }), Color::rgba(1, 0, 0))) << describe(pixelAt({ 25, 125 }));
    }
    // A new set of screens takes the same place.
    auto third = screen("specs", Color::clear());
    controller->setViewControllers({ third, tabs[0] });
    const auto& views = root->subviews();
    ASSERT_EQ(views.size(), 4u);
    EXPECT_EQ(views[0].get(), background.get());
    EXPECT_EQ(views[1].get(), third->view());
    EXPECT_EQ(views[3].get(), overlay.get());
}

TEST_F(TabBarControllerTest, OrientationsFollowTheSelectedScreen)
{
    launchTabs();
    tabs[0]->orientations = OrientationPortrait;
    tabs[1]->orientations = OrientationAll;
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationPortrait));
    host->tap(itemCenter(1));
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationAll));
    // A tab holding a navigation controller answers for its top screen.
    auto list = screen("list");
    list->orientations = OrientationLandscape;
    auto navigation = NavigationController::create(list);
    controller->setViewControllers({ tabs[0], tabs[1], navigation });
    host->tap(itemCenter(2));
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationLandscape));
    // Without a say of their own, screens take the idiom's default: portrait on a phone.
    host->tap(itemCenter(0));
    tabs[0]->orientations = 0;
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationPortrait));
}

TEST_F(TabBarControllerTest, TabsFollowARotationOnATablet)
{
    // The tablet's default lets every orientation through, and the tabs follow a rotation.
    for (const char* name : { "usage", "battery" })
        tabs.push_back(screen(name));
    controller = TabBarController::create();
    controller->setViewControllers({ tabs[0], tabs[1] });
    launch(controller, "ipad-2");
    EXPECT_EQ(controller->supportedInterfaceOrientations(), unsigned(OrientationAll));
    ASSERT_TRUE(host->rotate());
    advance(0.5);
    EXPECT_EQ(bar().frame(), (Rect { 0, 768 - TabBar::kHeight, 1024, TabBar::kHeight }));
    EXPECT_EQ(tabs[0]->view()->frame(), (Rect { 0, 0, 1024, 768 - TabBar::kHeight }));
    host->tap(itemCenter(1));
    EXPECT_EQ(controller->selectedIndex(), 1);
    EXPECT_EQ(tabs[1]->view()->frame(), (Rect { 0, 0, 1024, 768 - TabBar::kHeight })) << "sized for the turned screen";
}

TEST_F(TabBarControllerTest, TabBarOfAReleasedControllerDoesNotCallIt)
{
    auto holder = View::create<View>();
    show(holder);
    auto tabController = TabBarController::create();
    tabController->setViewControllers({ screen("a"), screen("b") });
    auto tabView = tabController->viewPtr();
    tabView->setFrame(holder->bounds());
    holder->addSubview(tabView);
    auto tabBar = std::static_pointer_cast<TabBar>(tabController->tabBar()->shared_from_this());
    window()->layoutIfNeeded();
    Point at = tabBar->convertPointTo(tabBar->itemFrame(1).center(), nullptr);
    tabController.reset();
    EXPECT_FALSE(tabBar->onSelect) << "the bar would call the gone controller";
    host->tap(at);
    EXPECT_EQ(tabView->subviews().size(), 2u);
}

namespace {

// Uses the arrow keys it is told to, logging them.
class KeyController : public RecordingController {
public:
    KeyController(std::vector<std::string>* log, std::string name, bool uses)
        : RecordingController(log, name)
        , m_log(log)
        , m_name(std::move(name))
        , m_uses(uses)
    {
    }
    bool pressKey(Key key) override
    {
        m_log->push_back(m_name + (key == Key::Left ? ".left" : ".key"));
        return m_uses;
    }

private:
    std::vector<std::string>* m_log;
    std::string m_name;
    bool m_uses;
};

} // namespace

TEST_F(TabBarControllerTest, KeysGoToTheSelectedTabOrToWhatIsPresentedOverIt)
{
    auto first = ViewController::create<KeyController>(&log, "first", true);
    auto second = ViewController::create<KeyController>(&log, "second", false);
    auto controller = TabBarController::create();
    controller->setViewControllers({ first, second });
    launch(controller);
    takeLog();

    EXPECT_TRUE(host->pressKey(Key::Left));
    controller->setSelectedIndex(1);
    takeLog();
    EXPECT_FALSE(host->pressKey(Key::Right)) << "the screen did not use it";
    EXPECT_EQ(takeLog(), (Calls { "second.key" }));

    auto sheet = ViewController::create<KeyController>(&log, "sheet", true);
    controller->presentViewController(sheet, false);
    advance(1);
    takeLog();
    EXPECT_TRUE(host->pressKey(Key::Left));
    EXPECT_EQ(takeLog(), (Calls { "sheet.left" })) << "the screen beneath hears nothing";
}

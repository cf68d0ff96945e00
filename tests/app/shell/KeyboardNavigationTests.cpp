// SPDX-License-Identifier: MIT
// The whole application driven from the keyboard alone, on the real screens.
#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"

#include "app/specs/DataKeeper.h"
#include "app/techspecs/HPickerView.h"
#include "kit/base/Bundle.h"
#include "kit/base/UserDefaults.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/BarButtonItem.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/PopoverPresentationController.h"
#include "kit/ui/TabBar.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/Window.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/kit/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool near(const kit::Color& a, const kit::Color& b, double tolerance)
{
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance
        && std::abs(a.blue - b.blue) <= tolerance;
}

class KeyboardNavigationTest : public ::testing::Test {
protected:
    void SetUp() override { shelltest::isolateShell(home, environment); }
    void TearDown() override
    {
        if (host)
            host->terminate();
        host.reset();
        shelltest::restoreShell();
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }

    void launch(std::string_view device = "iphone-6")
    {
        auto profile = kit::DeviceProfile::named(device);
        ASSERT_TRUE(profile);
        kit::DeviceProfile::setCurrent(*profile);
        kit::HostOptions options;
        options.profile = *profile;
        host = std::make_unique<kit::HeadlessHost>(options);
        host->launch(&delegate);
        host->advance(0.5);
    }

    kit::Window& window() { return *host->keyWindow(); }
    MainController& main() { return dynamic_cast<MainController&>(*window().rootViewController()); }
    kit::TabBar& bar() { return *main().tabBar(); }
    kit::View* focused() { return window().firstResponder(); }

    // Presses Tab until `view` has the focus; false when it never comes round.
    bool tabTo(const kit::View* view)
    {
        for (int i = 0; i < 64 && focused() != view; ++i)
            host->pressKey(kit::Key::Tab);
        return focused() == view;
    }

    // The screen's own focus stops (the tab bar's items left out).
    std::vector<kit::View*> screenStops()
    {
        std::vector<kit::View*> stops;
        for (kit::View* view : window().focusOrder())
            if (!view->isDescendantOf(&bar()))
                stops.push_back(view);
        return stops;
    }

    // Whether the focus ring's colour shows at a point of the window.
    bool ringAt(kit::Point point)
    {
        host->advance(0.05);
        auto colour = host->pixelAt(point);
        return colour && near(*colour, bar().tintColor(), 0.08);
    }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
    QNAppDelegate delegate;
    std::unique_ptr<kit::HeadlessHost> host;
};

} // namespace

TEST_F(KeyboardNavigationTest, UsageOffersOnlyTheTabsAndTabReturnSwitchesTabs)
{
    launch();
    ASSERT_EQ(main().selectedIndex(), 0);
    EXPECT_EQ(focused(), nullptr) << "nothing is focused before the first Tab";
    std::vector<kit::View*> tabs;
    for (int i = 0; i < 4; ++i)
        tabs.push_back(bar().itemView(i));
    EXPECT_EQ(window().focusOrder(), tabs) << "Usage has nothing to press but the tabs";

    EXPECT_TRUE(host->pressKey(kit::Key::Tab));
    EXPECT_EQ(focused(), tabs[0]);
    EXPECT_TRUE(host->pressKey(kit::Key::Tab, kit::KeyModifierShift));
    EXPECT_EQ(focused(), tabs[3]) << "Shift+Tab wraps to the last tab";
    kit::Rect item = tabs[3]->convertRectTo(tabs[3]->bounds(), nullptr);
    EXPECT_TRUE(ringAt({ item.midX(), item.maxY() - 2 })) << "the focused tab wears the ring";
    EXPECT_FALSE(ringAt({ item.midX(), item.minY() - 3 })) << "inside the bar, not above it";

    EXPECT_TRUE(host->pressKey(kit::Key::Tab, kit::KeyModifierShift));
    EXPECT_TRUE(host->pressKey(kit::Key::Return));
    host->advance(0.5);
    EXPECT_EQ(main().selectedIndex(), 2) << "Return on the Tech Specs tab shows it";
    EXPECT_EQ(focused(), tabs[2]);
}

TEST_F(KeyboardNavigationTest, CtrlDigitsReachEveryTabAndEachScreenOffersItsControls)
{
    launch();
    // Battery: the tabs only (its rows only show figures).
    EXPECT_TRUE(host->pressKey(kit::Key::Digit2, kit::KeyModifierControl));
    host->advance(0.5);
    EXPECT_EQ(main().selectedIndex(), 1);
    EXPECT_TRUE(screenStops().empty());

    // Tech Specs: the model picker first; its rows only show specs.
    EXPECT_TRUE(host->pressKey(kit::Key::Digit3, kit::KeyModifierControl));
    host->advance(0.5);
    ASSERT_EQ(main().selectedIndex(), 2);
    auto stops = screenStops();
    ASSERT_EQ(stops.size(), 1u);
    auto* picker = dynamic_cast<HPickerView*>(stops[0]);
    ASSERT_NE(picker, nullptr);

    // Left and Right choose the neighbouring model whether the picker or a tab has the focus.
    ASSERT_TRUE(tabTo(picker));
    kit::Rect pickerFrame = picker->convertRectTo(picker->bounds(), nullptr);
    EXPECT_TRUE(ringAt({ pickerFrame.midX(), pickerFrame.minY() + 2 })) << "the ring inside the full-width picker";
    auto before = picker->currentIndexPath();
    ASSERT_TRUE(before);
    EXPECT_TRUE(host->pressKey(kit::Key::Right));
    host->advance(1);
    ASSERT_TRUE(picker->currentIndexPath());
    EXPECT_EQ(picker->currentIndexPath()->row, before->row + 1);
    ASSERT_TRUE(tabTo(bar().itemView(0)));
    EXPECT_TRUE(host->pressKey(kit::Key::Left));
    host->advance(1);
    EXPECT_EQ(picker->currentIndexPath()->row, before->row);
    EXPECT_EQ(main().selectedIndex(), 2) << "the arrows do not move between tabs";

    // Compare: the Edit button in the navigation bar.
    EXPECT_TRUE(host->pressKey(kit::Key::Digit4, kit::KeyModifierControl));
    host->advance(0.5);
    ASSERT_EQ(main().selectedIndex(), 3);
    stops = screenStops();
    ASSERT_FALSE(stops.empty());
    auto* edit = dynamic_cast<kit::BarButtonItem*>(stops[0]);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->systemItemKind(), kit::BarButtonItem::SystemItem::Edit);

    EXPECT_TRUE(host->pressKey(kit::Key::Digit1, kit::KeyModifierControl));
    EXPECT_EQ(main().selectedIndex(), 0);
    EXPECT_FALSE(host->pressKey(kit::Key::Digit5, kit::KeyModifierControl)) << "there are four tabs";
}

TEST_F(KeyboardNavigationTest, TheCompareListIsReachedAndWalkedWithTheKeyboard)
{
    launch();
    EXPECT_TRUE(host->pressKey(kit::Key::Digit4, kit::KeyModifierControl));
    host->advance(0.5);
    auto stops = screenStops();
    ASSERT_FALSE(stops.empty());
    ASSERT_TRUE(tabTo(stops[0]));
    EXPECT_TRUE(host->pressKey(kit::Key::Return)) << "Return presses Edit";
    host->advance(1);
    auto* navigation = main().selectedViewController();
    auto* nav = dynamic_cast<kit::NavigationController*>(navigation);
    ASSERT_NE(nav, nullptr);
    ASSERT_EQ(nav->viewControllers().size(), 2u) << "the list of chosen models is shown";

    // The list's rows act (they open the model picker): Tab reaches them, Up and Down walk them.
    std::vector<kit::TableViewCell*> rows;
    for (kit::View* view : screenStops())
        if (auto* cell = dynamic_cast<kit::TableViewCell*>(view))
            rows.push_back(cell);
    ASSERT_GE(rows.size(), 2u);
    ASSERT_TRUE(tabTo(rows[0]));
    auto* table = dynamic_cast<kit::TableView*>(rows[0]->superview());
    ASSERT_NE(table, nullptr);
    auto first = table->indexPathForCell(*rows[0]);
    EXPECT_TRUE(host->pressKey(kit::Key::Down));
    auto* cell = dynamic_cast<kit::TableViewCell*>(focused());
    ASSERT_NE(cell, nullptr);
    EXPECT_GT(*table->indexPathForCell(*cell), *first);
    EXPECT_TRUE(host->pressKey(kit::Key::Up));
    cell = dynamic_cast<kit::TableViewCell*>(focused());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(table->indexPathForCell(*cell), first);
    kit::Rect rowFrame = cell->convertRectTo(cell->bounds(), nullptr);
    EXPECT_TRUE(ringAt({ rowFrame.midX(), rowFrame.minY() + 2 })) << "the focused row wears the ring";
}

TEST_F(KeyboardNavigationTest, OnATabletEscapeClosesTheCompareListPopoverAndTheFocusReturns)
{
    launch("ipad-2");
    EXPECT_TRUE(host->pressKey(kit::Key::Digit4, kit::KeyModifierControl));
    host->advance(0.5);
    auto stops = screenStops();
    ASSERT_FALSE(stops.empty());
    kit::View* editButton = stops[0];
    ASSERT_TRUE(tabTo(editButton));
    EXPECT_TRUE(host->pressKey(kit::Key::Space));
    host->advance(1);
    ASSERT_EQ(window().presentedControllers().size(), 1u);
    auto* list = window().presentedControllers().back().get();
    ASSERT_NE(focused(), nullptr);
    EXPECT_TRUE(focused()->isDescendantOf(list->view())) << "the focus went into the popover";

    EXPECT_TRUE(host->pressKey(kit::Key::Escape));
    host->advance(1);
    EXPECT_TRUE(window().presentedControllers().empty());
    EXPECT_EQ(focused(), editButton) << "back on the button that opened it";
}

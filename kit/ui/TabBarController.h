// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/TabBar.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <vector>

namespace kit {

// Screens side by side behind a tab bar. The selected screen's view sits in this controller's
// own view, above anything inserted beneath it (a background picture) and below anything
// added over it later (an overlay); the tab bar is at the bottom. Only the selected screen
// hears the appearance calls.
class TabBarController : public ViewController {
public:
    static std::shared_ptr<TabBarController> create();
    ~TabBarController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_controllers; }
    // Selects the first one when nothing valid was selected before.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
    int selectedIndex() const { return m_selectedIndex; }
    // Out-of-range indexes are ignored.
    void setSelectedIndex(int index);
    ViewController* selectedViewController() const;

    TabBar* tabBar();

    // Told after the user tapped a tab and the selection changed.
    std::function<void(TabBarController&, ViewController&)> onDidSelect;

    // Object
    std::string className() const override { return "UITabBarController"; }

    // ViewController
    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutomaticallyForwardAppearanceMethods() const override { return false; }
    TabBarController* asTabBarController() override { return this; }
    // The selected screen's orientations.
    unsigned supportedInterfaceOrientations() const override;
    // A tab's title follows its controller's.
    void titleDidChange() override;

    // Handed to the selected screen.
    bool pressKey(Key key) override;
    // Ctrl+1…9 choose the first to ninth tab as a tap on it does.
    bool performKeyCommand(const KeyEvent& event) override;
    // The area a tab's view fills: the view less the tab bar.
    Rect contentFrame();

protected:
    TabBarController();
    friend class ViewController;

private:
    bool isShowing() const { return isVisible() || isAppearing(); }
    void showSelected(ViewController* previous);
    void refreshItems();

    std::vector<std::shared_ptr<ViewController>> m_controllers;
    int m_selectedIndex = -1;
    std::shared_ptr<TabBar> m_tabBar;
};

} // namespace kit

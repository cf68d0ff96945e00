// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/NavigationBar.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <vector>

namespace kit {

// A stack of controllers with a navigation bar. Only the top controller's view is shown;
// pushing slides the new one in from the right, popping slides it out again. The top
// controller hears will/did appear and disappear, also when it comes back on top.
class NavigationController : public ViewController {
public:
    static std::shared_ptr<NavigationController> create(std::shared_ptr<ViewController> root);
    ~NavigationController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_stack; }
    ViewController* topViewController() const { return m_stack.empty() ? nullptr : m_stack.back().get(); }
    // The top controller, or what it presents.
    ViewController* visibleViewController() const;

    // A controller already on a stack (this one or another) is refused.
    void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
    // The root stays; popping it returns null.
    std::shared_ptr<ViewController> popViewController(bool animated);
    std::vector<std::shared_ptr<ViewController>> popToRootViewController(bool animated);
    // Replaces the whole stack without animation.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);

    NavigationBar* navigationBar();
    bool isNavigationBarHidden() const { return m_barHidden; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    // Refreshes the bar from the top item (after a change of its title or views).
    void updateNavigationBar();

    // Seconds a push or pop slides.
    static constexpr double kTransitionDuration = 0.35;
    bool isInTransition() const { return m_transitioning; }

    // Object
    std::string className() const override { return "UINavigationController"; }

    // ViewController
    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutomaticallyForwardAppearanceMethods() const override { return false; }
    // Handed to the top screen.
    bool pressKey(Key key) override
    {
        auto* top = topViewController();
        return top && top->pressKey(key);
    }
    NavigationController* asNavigationController() override { return this; }
    unsigned supportedInterfaceOrientations() const override;
    void titleDidChange() override;

    // The area the top controller's view fills, in this controller's view.
    Rect contentFrame();
    void layoutContent();

protected:
    NavigationController();
    friend class ViewController;

private:
    bool isShowing() const { return isVisible() || isAppearing(); }
    void transition(ViewController* from, ViewController* to, bool forward, bool animated, std::function<void()> done);

    std::vector<std::shared_ptr<ViewController>> m_stack;
    std::shared_ptr<NavigationBar> m_bar;
    bool m_barHidden = false;
    bool m_transitioning = false;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/TabBarController.h"

#include "kit/ui/View.h"

#include <algorithm>

namespace kit {

namespace {

class TabBarContainerView : public View {
public:
    TabBarController* owner = nullptr;

    std::string className() const override { return "UILayoutContainerView"; }
    void layoutSubviews() override
    {
        if (!owner)
            return;
        if (auto* selected = owner->selectedViewController())
            if (selected->isViewLoaded())
                selected->view()->setFrame(owner->contentFrame());
    }
};

} // namespace

std::shared_ptr<TabBarController> TabBarController::create() { return ViewController::create<TabBarController>(); }

TabBarController::TabBarController() = default;

TabBarController::~TabBarController()
{
    // The tab bar can outlive us in a view tree that still holds it.
    if (m_tabBar)
        m_tabBar->onSelect = nullptr;
    if (isViewLoaded())
        if (auto* container = dynamic_cast<TabBarContainerView*>(view()))
            container->owner = nullptr;
}

TabBar* TabBarController::tabBar()
{
    if (!m_tabBar) {
        m_tabBar = View::create<TabBar>();
        m_tabBar->setAutoresizingMask(FlexibleWidth | FlexibleTopMargin);
        TabBarController* self = this;
        m_tabBar->onSelect = [self](int index) {
            if (index == self->m_selectedIndex)
                return;
            self->setSelectedIndex(index);
            if (self->onDidSelect && self->selectedViewController())
                self->onDidSelect(*self, *self->selectedViewController());
        };
    }
    return m_tabBar.get();
}

void TabBarController::loadView()
{
    ViewController::loadView();
    auto container = View::create<TabBarContainerView>();
    container->owner = this;
    container->setFrame(view()->frame());
    container->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    setView(container);
    tabBar();
    Rect b = container->bounds();
    m_tabBar->setFrame({ 0, b.height() - TabBar::kHeight, b.width(), TabBar::kHeight });
    container->addSubview(m_tabBar);
    if (auto* selected = selectedViewController()) {
        selected->view()->setFrame(contentFrame());
        selected->view()->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        container->insertSubviewBelow(selected->viewPtr(), m_tabBar.get());
    }
}

bool TabBarController::pressKey(Key key)
{
    auto* selected = selectedViewController();
    return selected && selected->pressKey(key);
}

bool TabBarController::performKeyCommand(const KeyEvent& event)
{
    int digit = digitValue(event.key);
    if (event.modifiers != KeyModifierControl || digit < 1 || digit > static_cast<int>(m_controllers.size()))
        return false;
    if (auto& select = tabBar()->onSelect)
        select(digit - 1);
    return true;
}

Rect TabBarController::contentFrame()
{
    Rect b = view()->bounds();
    return { b.x(), b.y(), b.width(), std::max(0.0, b.height() - TabBar::kHeight) };
}

ViewController* TabBarController::selectedViewController() const
{
    if (m_selectedIndex < 0 || m_selectedIndex >= static_cast<int>(m_controllers.size()))
        return nullptr;
    return m_controllers[m_selectedIndex].get();
}

void TabBarController::refreshItems()
{
    std::vector<TabBarItem> items;
    for (auto& c : m_controllers) {
        TabBarItem item = c->tabBarItem();
        if (item.title.empty())
            item.title = c->title();
        items.push_back(std::move(item));
    }
    tabBar()->setItems(std::move(items));
    tabBar()->setSelectedIndex(m_selectedIndex);
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers)
{
    ViewController* previous = selectedViewController();
    auto keep = previous ? previous->shared_from_this() : nullptr;
    for (auto& c : m_controllers)
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end())
            c->removeFromParentViewController();
    m_controllers.clear();
    for (auto& c : controllers) {
        if (!c || c.get() == this || std::find(m_controllers.begin(), m_controllers.end(), c) != m_controllers.end())
            continue;
        if (c->parentViewController() != this)
            addChildViewController(c);
        m_controllers.push_back(c);
    }
    auto it = std::find(m_controllers.begin(), m_controllers.end(), keep);
    m_selectedIndex = it != m_controllers.end() ? static_cast<int>(it - m_controllers.begin()) : (m_controllers.empty() ? -1 : 0);
    refreshItems();
    showSelected(previous);
}

void TabBarController::setSelectedIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(m_controllers.size()) || index == m_selectedIndex)
        return;
    ViewController* previous = selectedViewController();
    m_selectedIndex = index;
    refreshItems();
    showSelected(previous);
}

void TabBarController::showSelected(ViewController* previous)
{
    ViewController* selected = selectedViewController();
    if (selected == previous)
        return;
    bool showing = isShowing() && isViewLoaded();
    if (showing && previous)
        previous->beginAppearanceTransition(false, false);
    if (showing && selected)
        selected->beginAppearanceTransition(true, false);
    if (isViewLoaded()) {
        View* container = view();
        if (selected) {
            auto selectedView = selected->viewPtr();
            selectedView->setFrame(contentFrame());
            selectedView->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
            // The new tab takes the old one's place among the views: above what was inserted
            // beneath, below the tab bar and what was added over it.
            if (previous && previous->isViewLoaded() && previous->view()->superview() == container)
                container->insertSubviewAbove(selectedView, previous->view());
            else
                container->insertSubviewBelow(selectedView, m_tabBar.get());
        }
        if (previous && previous->isViewLoaded() && previous->view()->superview() == container)
            previous->view()->removeFromSuperview();
    }
    if (showing && previous)
        previous->endAppearanceTransition();
    if (showing && selected)
        selected->endAppearanceTransition();
}

void TabBarController::viewWillAppear(bool animated)
{
    if (auto* selected = selectedViewController())
        selected->beginAppearanceTransition(true, animated);
}

void TabBarController::viewDidAppear(bool)
{
    if (auto* selected = selectedViewController())
        selected->endAppearanceTransition();
}

void TabBarController::viewWillDisappear(bool animated)
{
    if (auto* selected = selectedViewController())
        selected->beginAppearanceTransition(false, animated);
}

void TabBarController::viewDidDisappear(bool)
{
    if (auto* selected = selectedViewController())
        selected->endAppearanceTransition();
}

void TabBarController::titleDidChange() { refreshItems(); }

unsigned TabBarController::supportedInterfaceOrientations() const
{
    if (auto* selected = selectedViewController())
        return selected->supportedInterfaceOrientations();
    return ViewController::supportedInterfaceOrientations();
}

} // namespace kit

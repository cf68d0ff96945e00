// SPDX-License-Identifier: MIT
#include "kit/ui/ViewController.h"

#include "kit/device/DeviceProfile.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <map>

namespace kit {

// Transition coordinator

void TransitionCoordinator::animateAlongsideTransition(std::function<void()> animation, std::function<void()> completion)
{
    if (animation)
        m_animations.push_back(std::move(animation));
    if (completion)
        m_completions.push_back(std::move(completion));
}

void TransitionCoordinator::runAnimations()
{
    auto animations = std::move(m_animations);
    m_animations.clear();
    for (auto& animation : animations)
        animation();
}

void TransitionCoordinator::runCompletions()
{
    auto completions = std::move(m_completions);
    m_completions.clear();
    for (auto& completion : completions)
        completion();
}

// View controller

namespace {

std::map<ModalPresentationStyle, ViewController::PresentationHandler>& handlers()
{
    static std::map<ModalPresentationStyle, ViewController::PresentationHandler> map;
    return map;
}

// The controller whose view stands for the whole screen behind a presentation.
ViewController* topmostParent(ViewController* controller)
{
    while (controller && controller->parentViewController())
        controller = controller->parentViewController();
    return controller;
}

} // namespace

ViewController::ViewController() = default;

ViewController::~ViewController()
{
    if (m_view && m_view->viewController() == this)
        m_view->setViewController(nullptr);
    for (auto& child : m_children)
        child->m_parent = nullptr;
    if (m_presented && m_presented->m_presenting == this)
        m_presented->m_presenting = nullptr;
}

View* ViewController::view()
{
    if (!m_view && !m_loading) {
        m_loading = true;
        loadView();
        if (!m_view)
            ViewController::loadView();
        m_loading = false;
        viewDidLoad();
    }
    return m_view.get();
}

std::shared_ptr<View> ViewController::viewPtr()
{
    view();
    return m_view;
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (view == m_view)
        return;
    if (m_view && m_view->viewController() == this)
        m_view->setViewController(nullptr);
    m_view = std::move(view);
    if (m_view)
        m_view->setViewController(this);
}

void ViewController::loadView()
{
    auto view = View::create<View>();
    auto screen = DeviceProfile::current().screenSize;
    view->setFrame({ 0, 0, screen.width, screen.height });
    view->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    setView(std::move(view));
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    if (appearing && (m_appearance == Appearance::Appearing || m_appearance == Appearance::Visible))
        return;
    if (!appearing && (m_appearance == Appearance::Disappearing || m_appearance == Appearance::Hidden))
        return;
    m_appearance = appearing ? Appearance::Appearing : Appearance::Disappearing;
    m_appearanceAnimated = animated;
    if (appearing) {
        view();
        viewWillAppear(animated);
    } else {
        viewWillDisappear(animated);
    }
    if (shouldAutomaticallyForwardAppearanceMethods()) {
        auto children = m_children;
        for (auto& child : children)
            child->beginAppearanceTransition(appearing, animated);
    }
}

void ViewController::endAppearanceTransition()
{
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Visible;
        viewDidAppear(m_appearanceAnimated);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Hidden;
        viewDidDisappear(m_appearanceAnimated);
    } else {
        return;
    }
    if (shouldAutomaticallyForwardAppearanceMethods()) {
        auto children = m_children;
        for (auto& child : children)
            child->endAppearanceTransition();
    }
}

void ViewController::setTitle(std::string title)
{
    if (title == m_title)
        return;
    m_title = std::move(title);
    titleDidChange();
    // The container showing this controller shows its title too.
    if (m_parent)
        m_parent->titleDidChange();
}

void ViewController::viewWillTransitionToSize(Size size, TransitionCoordinator& coordinator)
{
    auto children = m_children;
    for (auto& child : children)
        child->viewWillTransitionToSize(size, coordinator);
    if (m_presented)
        m_presented->viewWillTransitionToSize(size, coordinator);
}

unsigned ViewController::supportedInterfaceOrientations() const
{
    return DeviceProfile::current().isPad() ? OrientationAll : OrientationPortrait;
}

void ViewController::addChildViewController(std::shared_ptr<ViewController> child)
{
    if (!child || child.get() == this)
        return;
    // A controller cannot contain one of its own ancestors.
    for (ViewController* p = this; p; p = p->m_parent) {
        if (p == child.get())
            return;
    }
    if (child->m_parent == this)
        return;
    if (child->m_parent)
        child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    child->m_parent = this;
    m_children.push_back(child);
    child->didMoveToParentViewController(this);
}

void ViewController::removeFromParentViewController()
{
    ViewController* parent = m_parent;
    if (!parent)
        return;
    auto keep = shared_from_this();
    willMoveToParentViewController(nullptr);
    auto& list = parent->m_children;
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto& c) { return c.get() == this; }), list.end());
    m_parent = nullptr;
    didMoveToParentViewController(nullptr);
}

NavigationController* ViewController::navigationController()
{
    for (ViewController* c = this; c; c = c->m_parent) {
        if (auto* n = c->asNavigationController())
            return n;
    }
    return nullptr;
}

TabBarController* ViewController::tabBarController()
{
    for (ViewController* c = this; c; c = c->m_parent) {
        if (auto* t = c->asTabBarController())
            return t;
    }
    return nullptr;
}

Window* ViewController::window() const
{
    if (m_view) {
        if (Window* w = m_view->window())
            return w;
    }
    if (m_presenting) {
        if (Window* w = m_presenting->window())
            return w;
    }
    if (m_parent) {
        if (Window* w = m_parent->window())
            return w;
    }
    return Window::keyWindow();
}

void ViewController::setPresentationHandler(ModalPresentationStyle style, PresentationHandler handler)
{
    if (handler.present)
        handlers()[style] = std::move(handler);
    else
        handlers().erase(style);
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool animated,
    std::function<void()> completion)
{
    if (!controller || controller.get() == this || m_presented || controller->m_presenting || controller->m_parent)
        return;
    Window* w = window();
    if (!w)
        return;
    m_presented = controller;
    controller->m_presenting = this;
    controller->m_presentedByHandler = false;

    bool fullScreen = controller->m_presentationStyle == ModalPresentationStyle::FullScreen;
    ViewController* behind = fullScreen ? topmostParent(this) : nullptr;
    if (behind)
        behind->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);

    auto finish = [controller, behind = behind ? behind->weak_from_this() : std::weak_ptr<ViewController>(),
                      completion = std::move(completion)](bool) {
        if (auto b = behind.lock())
            b->endAppearanceTransition();
        controller->endAppearanceTransition();
        if (completion)
            completion();
    };

    auto handler = handlers().find(controller->m_presentationStyle);
    if (!fullScreen && handler != handlers().end() && handler->second.present(*this, *controller, animated)) {
        controller->m_presentedByHandler = true;
        w->pushPresented(controller);
        finish(true);
        return;
    }

    View* view = controller->view();
    Rect target = w->bounds();
    view->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    w->addSubview(controller->viewPtr());
    w->pushPresented(controller);
    if (!animated) {
        view->setFrame(target);
        finish(true);
        return;
    }
    View::performWithoutAnimation([&] { view->setFrame(target.offsetBy(0, target.height())); });
    View::animate(
        kPresentationDuration, [&] { view->setFrame(target); }, finish);
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion)
{
    if (!m_presented) {
        if (m_presenting)
            m_presenting->dismissViewController(animated, std::move(completion));
        return;
    }
    auto controller = m_presented;
    // What the presented controller presents goes first, at once.
    if (controller->m_presented)
        controller->dismissViewController(false);
    m_presented.reset();
    Window* w = controller->window();

    bool fullScreen = controller->m_presentationStyle == ModalPresentationStyle::FullScreen && !controller->m_presentedByHandler;
    ViewController* behind = fullScreen ? topmostParent(this) : nullptr;
    controller->beginAppearanceTransition(false, animated);
    if (behind)
        behind->beginAppearanceTransition(true, animated);

    auto finish = [controller, w, behind = behind ? behind->weak_from_this() : std::weak_ptr<ViewController>(),
                      completion = std::move(completion)](bool) {
        if (!controller->m_presentedByHandler && controller->isViewLoaded())
            controller->view()->removeFromSuperview();
        controller->m_presentedByHandler = false;
        // The window may have gone while the view slid away.
        for (Window* live : Window::allWindows()) {
            if (live == w)
                w->popPresented(controller.get());
        }
        controller->m_presenting = nullptr;
        controller->endAppearanceTransition();
        if (auto b = behind.lock())
            b->endAppearanceTransition();
        if (completion)
            completion();
    };

    if (controller->m_presentedByHandler) {
        auto handler = handlers().find(controller->m_presentationStyle);
        if (handler != handlers().end() && handler->second.dismiss)
            handler->second.dismiss(*this, *controller, animated);
        finish(true);
        return;
    }
    if (!animated || !controller->isViewLoaded() || !w) {
        finish(true);
        return;
    }
    View* view = controller->view();
    Rect f = view->frame();
    View::animate(
        kPresentationDuration, [&] { view->setFrame(f.offsetBy(0, w->bounds().height())); }, finish);
}

} // namespace kit

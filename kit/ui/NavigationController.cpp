// SPDX-License-Identifier: MIT
#include "kit/ui/NavigationController.h"

#include "kit/ui/GraphicsContext.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <optional>

namespace kit {

namespace {

// The navigation controller's root view: lays the bar and the top view out whenever its size
// or its place on screen changes.
class NavigationContainerView : public View {
public:
    NavigationController* owner = nullptr;

    std::string className() const override { return "UINavigationTransitionView"; }
    void layoutSubviews() override
    {
        if (owner)
            owner->layoutContent();
    }
    // The translucent bar and the status bar's strip above it show the bar's own shade, or a
    // light bar reads grey and the status bar's dark text sits on black. The rest stays clear,
    // so what lies behind the stack (a background picture) shows.
    void setBarShade(std::optional<Color> shade, double height)
    {
        if (shade == m_shade && height == m_shadeHeight)
            return;
        m_shade = shade;
        m_shadeHeight = height;
        setNeedsDisplay();
    }
    void draw(GraphicsContext& context, const Rect& dirty) override
    {
        View::draw(context, dirty);
        if (m_shade)
            context.fillRect({ 0, 0, bounds().width(), m_shadeHeight }, *m_shade);
    }

protected:
    void didMoveToWindow() override { setNeedsLayout(); }

private:
    std::optional<Color> m_shade;
    double m_shadeHeight = 0;
};

} // namespace

std::shared_ptr<NavigationController> NavigationController::create(std::shared_ptr<ViewController> root)
{
    auto controller = ViewController::create<NavigationController>();
    if (root)
        controller->pushViewController(std::move(root), false);
    return controller;
}

NavigationController::NavigationController() = default;

NavigationController::~NavigationController()
{
    // The bar can outlive us in a view tree that still holds it.
    if (m_bar)
        m_bar->onBack = nullptr;
    if (isViewLoaded())
        if (auto* container = dynamic_cast<NavigationContainerView*>(view()))
            container->owner = nullptr;
}

void NavigationController::loadView()
{
    auto container = View::create<NavigationContainerView>();
    container->owner = this;
    ViewController::loadView();
    container->setFrame(view()->frame());
    container->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    container->setClipsToBounds(true);
    setView(container);
    navigationBar();
    container->addSubview(m_bar);
    if (auto* top = topViewController())
        container->insertSubview(top->viewPtr(), 0);
    updateNavigationBar();
    layoutContent();
}

NavigationBar* NavigationController::navigationBar()
{
    if (!m_bar) {
        m_bar = View::create<NavigationBar>();
        m_bar->setAutoresizingMask(FlexibleWidth);
        NavigationController* self = this;
        m_bar->onBack = [self] { self->popViewController(true); };
    }
    return m_bar.get();
}

ViewController* NavigationController::visibleViewController() const
{
    ViewController* top = topViewController();
    if (!top)
        return nullptr;
    ViewController* shown = top;
    while (shown->presentedViewController())
        shown = shown->presentedViewController();
    return shown;
}

Rect NavigationController::contentFrame()
{
    Rect b = view()->bounds();
    if (m_barHidden)
        return b;
    Rect bar = m_bar->frame();
    double top = bar.maxY();
    return { b.x(), b.y() + top, b.width(), std::max(0.0, b.height() - top) };
}

void NavigationController::layoutContent()
{
    if (!isViewLoaded())
        return;
    View* root = view();
    Rect b = root->bounds();
    // The bar leaves room for the status bar when it is at the top of the screen.
    double statusBar = 0;
    if (root->window()) {
        double y = root->convertPointTo({ 0, 0 }, nullptr).y;
        statusBar = std::max(0.0, StatusBarWindow::kHeight - y);
        if (y < 0)
            statusBar = StatusBarWindow::kHeight;
    } else {
        statusBar = StatusBarWindow::kHeight;
    }
    m_bar->setHidden(m_barHidden);
    m_bar->setFrame({ 0, statusBar, b.width(), NavigationBar::kHeight });
    if (auto* container = dynamic_cast<NavigationContainerView*>(root)) {
        Color shade = m_bar->barStyle() == BarStyle::Black ? Color::black() : Color::white();
        container->setBarShade(m_barHidden ? std::nullopt : std::optional<Color>(shade), statusBar + NavigationBar::kHeight);
    }
    if (m_transitioning)
        return;
    if (auto* top = topViewController())
        top->view()->setFrame(contentFrame());
}

void NavigationController::updateNavigationBar()
{
    navigationBar();
    ViewController* top = topViewController();
    if (!top) {
        m_bar->setItems({}, {}, std::nullopt);
        return;
    }
    std::optional<std::string> back;
    if (m_stack.size() > 1) {
        ViewController* below = m_stack[m_stack.size() - 2].get();
        back = below->navigationItem().backButtonTitle.empty()
            ? (below->navigationItem().title.empty() ? below->title() : below->navigationItem().title)
            : below->navigationItem().backButtonTitle;
    }
    m_bar->setItems(top->navigationItem(), top->title(), back);
}

void NavigationController::titleDidChange() { updateNavigationBar(); }

void NavigationController::setNavigationBarHidden(bool hidden, bool animated)
{
    if (hidden == m_barHidden)
        return;
    m_barHidden = hidden;
    if (!isViewLoaded())
        return;
    if (!animated) {
        layoutContent();
        return;
    }
    View::animate(0.2, [this] { layoutContent(); });
}

void NavigationController::transition(ViewController* from, ViewController* to, bool forward, bool animated,
    std::function<void()> done)
{
    bool showing = isShowing() && isViewLoaded();
    if (!isViewLoaded()) {
        if (done)
            done();
        return;
    }
    View* container = view();
    Rect frame = contentFrame();
    if (showing) {
        if (from)
            from->beginAppearanceTransition(false, animated);
        if (to)
            to->beginAppearanceTransition(true, animated);
    }
    if (to) {
        auto toView = to->viewPtr();
        View::performWithoutAnimation([&] {
            toView->setFrame(animated && from ? frame.offsetBy(forward ? frame.width() : -frame.width() * 0.3, 0) : frame);
        });
        if (from && from->isViewLoaded() && from->view()->superview() == container)
            container->insertSubviewAbove(toView, forward ? from->view() : nullptr);
        else
            container->insertSubviewBelow(toView, m_bar.get());
        if (!forward && from)
            container->insertSubviewBelow(toView, from->view());
    }
    auto fromRef = from ? from->shared_from_this() : nullptr;
    auto toRef = to ? to->shared_from_this() : nullptr;
    std::weak_ptr<ViewController> weakSelf = weak_from_this();
    auto finish = [weakSelf, fromRef, toRef, showing, done = std::move(done)](bool) {
        auto self = std::static_pointer_cast<NavigationController>(weakSelf.lock());
        if (fromRef && fromRef->isViewLoaded() && self && fromRef.get() != self->topViewController())
            fromRef->view()->removeFromSuperview();
        if (self)
            self->m_transitioning = false;
        if (showing) {
            if (fromRef)
                fromRef->endAppearanceTransition();
            if (toRef)
                toRef->endAppearanceTransition();
        }
        if (self)
            self->layoutContent();
        if (done)
            done();
    };
    updateNavigationBar();
    if (!animated || !from || !to) {
        finish(true);
        return;
    }
    m_transitioning = true;
    View* fromView = from->view();
    View* toView = to->view();
    View::animate(
        kTransitionDuration,
        [&] {
            toView->setFrame(frame);
            fromView->setFrame(frame.offsetBy(forward ? -frame.width() * 0.3 : frame.width(), 0));
        },
        finish);
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller, bool animated)
{
    if (!controller || controller.get() == this || controller->parentViewController() || m_transitioning)
        return;
    if (std::find(m_stack.begin(), m_stack.end(), controller) != m_stack.end())
        return;
    ViewController* from = topViewController();
    addChildViewController(controller);
    m_stack.push_back(controller);
    transition(from, controller.get(), true, animated, {});
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated)
{
    if (m_stack.size() <= 1 || m_transitioning)
        return nullptr;
    auto popped = m_stack.back();
    m_stack.pop_back();
    ViewController* to = topViewController();
    std::weak_ptr<ViewController> weakPopped = popped;
    transition(popped.get(), to, false, animated, [weakPopped] {
        if (auto p = weakPopped.lock())
            p->removeFromParentViewController();
    });
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewController(bool animated)
{
    std::vector<std::shared_ptr<ViewController>> popped;
    if (m_stack.size() <= 1 || m_transitioning)
        return popped;
    auto top = m_stack.back();
    popped.assign(m_stack.begin() + 1, m_stack.end());
    m_stack.resize(1);
    for (auto& c : popped)
        if (c != top)
            c->removeFromParentViewController();
    std::weak_ptr<ViewController> weakTop = top;
    transition(top.get(), topViewController(), false, animated, [weakTop] {
        if (auto t = weakTop.lock())
            t->removeFromParentViewController();
    });
    return popped;
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers)
{
    if (m_transitioning)
        return;
    ViewController* oldTop = topViewController();
    auto oldRef = oldTop ? oldTop->shared_from_this() : nullptr;
    for (auto& c : m_stack)
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end() && c.get() != oldTop)
            c->removeFromParentViewController();
    m_stack.clear();
    for (auto& c : controllers) {
        if (!c || c.get() == this || std::find(m_stack.begin(), m_stack.end(), c) != m_stack.end())
            continue;
        if (c->parentViewController() != this)
            addChildViewController(c);
        m_stack.push_back(c);
    }
    ViewController* newTop = topViewController();
    if (newTop == oldTop) {
        updateNavigationBar();
        return;
    }
    transition(oldTop, newTop, true, false, [oldRef, this] {
        if (oldRef && std::find(m_stack.begin(), m_stack.end(), oldRef) == m_stack.end())
            oldRef->removeFromParentViewController();
    });
}

void NavigationController::viewWillAppear(bool animated)
{
    if (auto* top = topViewController())
        top->beginAppearanceTransition(true, animated);
}

void NavigationController::viewDidAppear(bool)
{
    if (auto* top = topViewController())
        top->endAppearanceTransition();
}

void NavigationController::viewWillDisappear(bool animated)
{
    if (auto* top = topViewController())
        top->beginAppearanceTransition(false, animated);
}

void NavigationController::viewDidDisappear(bool)
{
    if (auto* top = topViewController())
        top->endAppearanceTransition();
}

unsigned NavigationController::supportedInterfaceOrientations() const
{
    if (auto* top = topViewController())
        return top->supportedInterfaceOrientations();
    return ViewController::supportedInterfaceOrientations();
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/Window.h"

#include "kit/base/RunLoop.h"
#include "kit/ui/FocusTraversal.h"
#include "kit/ui/PopoverPresentationController.h"
#include "kit/ui/ViewController.h"

#include <algorithm>

namespace kit {

namespace {

std::vector<Window*>& registry()
{
    static std::vector<Window*> windows;
    return windows;
}

Window* s_keyWindow = nullptr;

} // namespace

Window::Window() { registry().push_back(this); }

Window::~Window()
{
    auto& windows = registry();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    if (s_keyWindow == this)
        s_keyWindow = nullptr;
    m_redrawCallback = nullptr;
}

std::vector<Window*> Window::allWindows() { return registry(); }

Window* Window::keyWindow() { return s_keyWindow; }

bool Window::isKeyWindow() const { return s_keyWindow == this; }

void Window::setRootViewController(std::shared_ptr<ViewController> controller)
{
    if (controller == m_rootViewController)
        return;
    auto old = m_rootViewController;
    if (old && old->isViewLoaded()) {
        if (m_visible)
            old->beginAppearanceTransition(false, false);
        old->view()->removeFromSuperview();
        if (m_visible)
            old->endAppearanceTransition();
    }
    m_rootViewController = std::move(controller);
    if (!m_rootViewController)
        return;
    View* view = m_rootViewController->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    if (m_visible)
        m_rootViewController->beginAppearanceTransition(true, false);
    insertSubview(m_rootViewController->viewPtr(), 0);
    if (m_visible)
        m_rootViewController->endAppearanceTransition();
}

void Window::makeKeyAndVisible()
{
    s_keyWindow = this;
    if (m_visible)
        return;
    m_visible = true;
    if (m_rootViewController) {
        m_rootViewController->beginAppearanceTransition(true, false);
        m_rootViewController->endAppearanceTransition();
    }
    setNeedsRedraw(bounds());
}

void Window::setNeedsRedraw(const Rect& rect)
{
    Rect part = rect.intersection(bounds());
    m_dirtyRect = m_dirtyRect.united(part);
    if (!part.isEmpty()) {
        // Rectangles that overlap become one; past the limit everything does.
        for (std::size_t i = 0; i < m_dirtyRects.size();) {
            if (m_dirtyRects[i].intersects(part)) {
                part = part.united(m_dirtyRects[i]);
                m_dirtyRects.erase(m_dirtyRects.begin() + std::ptrdiff_t(i));
                i = 0;
            } else {
                ++i;
            }
        }
        if (m_dirtyRects.size() >= kMaxDirtyRects)
            m_dirtyRects = { m_dirtyRect };
        else
            m_dirtyRects.push_back(part);
    }
    if (m_needsRedraw)
        return;
    m_needsRedraw = true;
    if (m_redrawCallback)
        m_redrawCallback();
}

void Window::clearNeedsRedraw()
{
    m_needsRedraw = false;
    m_dirtyRect = {};
    m_dirtyRects.clear();
}

void Window::boundsSizeDidChange(Size) { setNeedsRedraw(bounds()); }

void Window::sendTouch(Touch::Phase phase, Point location, Point velocity, double timestamp)
{
    if (timestamp == 0)
        timestamp = RunLoop::main().now();
    if (phase == Touch::Phase::Began) {
        if (m_touchActive && m_touchTarget) {
            // A new touch while one is in progress: the old one ends as cancelled.
            m_touch.phase = Touch::Phase::Cancelled;
            auto old = m_touchTarget;
            m_touch.view = old.get();
            old->touchesCancelled(m_touch);
        }
        m_touch = {};
        m_touch.phase = phase;
        m_touch.locationInWindow = location;
        m_touch.previousLocationInWindow = location;
        m_touch.startLocationInWindow = location;
        m_touch.velocity = velocity;
        m_touch.timestamp = timestamp;
        m_touch.window = this;
        View* hit = hitTest(location);
        m_touchTarget = hit ? hit->shared_from_this() : nullptr;
        m_touchActive = true;
    } else {
        if (!m_touchActive)
            return;
        m_touch.phase = phase;
        m_touch.previousLocationInWindow = m_touch.locationInWindow;
        m_touch.locationInWindow = location;
        m_touch.velocity = velocity;
        m_touch.timestamp = timestamp;
    }
    if (!m_touchTarget) {
        if (phase == Touch::Phase::Ended || phase == Touch::Phase::Cancelled)
            m_touchActive = false;
        return;
    }

    // Ancestors, outermost first, may take the touch over.
    std::vector<View*> ancestors;
    for (View* v = m_touchTarget->superview(); v; v = v->superview())
        ancestors.push_back(v);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        View* ancestor = *it;
        if (ancestor->interceptTouch(m_touch)) {
            captureTouch(ancestor);
            break;
        }
    }

    auto target = m_touchTarget;
    m_touch.view = target.get();
    switch (phase) {
    case Touch::Phase::Began:
        target->touchesBegan(m_touch);
        break;
    case Touch::Phase::Moved:
        target->touchesMoved(m_touch);
        break;
    case Touch::Phase::Ended:
        m_touchActive = false;
        target->touchesEnded(m_touch);
        break;
    case Touch::Phase::Cancelled:
        m_touchActive = false;
        target->touchesCancelled(m_touch);
        break;
    }
    if (!m_touchActive)
        m_touchTarget.reset();
}

void Window::captureTouch(View* view)
{
    if (!m_touchActive || !view || view == m_touchTarget.get())
        return;
    auto old = m_touchTarget;
    m_touchTarget = view->shared_from_this();
    if (old) {
        Touch cancelled = m_touch;
        cancelled.phase = Touch::Phase::Cancelled;
        cancelled.view = old.get();
        old->touchesCancelled(cancelled);
    }
}

void Window::sendScrollWheel(Point location, double dx, double dy)
{
    if (View* hit = hitTest(location))
        hit->scrollWheel(dx, dy);
}

void Window::sendScrollWheelEnded(Point location)
{
    if (View* hit = hitTest(location))
        hit->scrollWheelEnded();
}

View* Window::firstResponder() const
{
    auto view = m_firstResponder.lock();
    if (!view || view->window() != this)
        return nullptr;
    return view.get();
}

void Window::setFirstResponder(View* view)
{
    View* old = firstResponder();
    if (view == old)
        return;
    if (view && view->window() != this)
        return;
    if (old)
        old->setNeedsDisplay();
    m_firstResponder = view ? view->weak_from_this() : std::weak_ptr<View> {};
    if (view)
        view->setNeedsDisplay();
}

bool Window::sendKey(const KeyEvent& event)
{
    auto keepWindow = shared_from_this();
    if (View* responder = firstResponder()) {
        // The view may give up the focus or leave the tree while it handles the key.
        auto keep = responder->shared_from_this();
        if (responder->keyDown(event))
            return true;
    } else if (keyDown(event)) {
        return true;
    }
    if (!m_presented.empty()) {
        auto top = m_presented.back();
        if (top->pressKey(event.key))
            return true;
        if (event.key == Key::Escape && top->modalPresentationStyle() == ModalPresentationStyle::Popover) {
            // Escape puts a popover away as a tap outside it does (its delegate may refuse).
            auto* popover = PopoverPresentationController::forController(*top);
            if (popover->isPresented()) {
                popover->tappedOutside();
                return true;
            }
        }
        return false;
    }
    if (!m_rootViewController)
        return false;
    auto root = m_rootViewController;
    if ((event.modifiers & (KeyModifierControl | KeyModifierAlt)) && root->performKeyCommand(event))
        return true;
    return root->pressKey(event.key);
}

bool Window::keyDown(const KeyEvent& event)
{
    if (event.key == Key::Tab && !(event.modifiers & (KeyModifierControl | KeyModifierAlt)))
        return moveFocus(event.hasShift());
    return View::keyDown(event);
}

std::vector<View*> Window::focusOrder()
{
    layoutIfNeeded();
    View* root = this;
    if (!m_presented.empty() && m_presented.back()->isViewLoaded() && m_presented.back()->view()->window() == this)
        root = m_presented.back()->view();
    return kit::focusOrder(*root);
}

bool Window::moveFocus(bool backwards)
{
    View* next = nextInFocusOrder(focusOrder(), firstResponder(), backwards);
    return next && next->becomeFirstResponder();
}

void Window::transitionToSize(Size size, double duration)
{
    if (size.width < 0 || size.height < 0)
        return;
    auto coordinator = std::make_shared<TransitionCoordinator>(duration, size);
    if (m_rootViewController)
        m_rootViewController->viewWillTransitionToSize(size, *coordinator);
    for (auto& presented : m_presented)
        presented->viewWillTransitionToSize(size, *coordinator);
    Rect f = frame();
    View::animate(
        duration,
        [&] {
            setFrame({ f.origin, size });
            layoutIfNeeded();
            coordinator->runAnimations();
        },
        [coordinator](bool) { coordinator->runCompletions(); });
}

void Window::pushPresented(std::shared_ptr<ViewController> controller)
{
    if (!controller)
        return;
    View* before = firstResponder();
    m_presented.push_back(controller);
    m_focusBeforePresented.push_back(before ? before->weak_from_this() : std::weak_ptr<View> {});
    View* first = nullptr;
    if (controller->isViewLoaded() && controller->view()->window() == this) {
        View& root = *controller->view();
        root.layoutIfNeeded();
        auto order = kit::focusOrder(root);
        if (!order.empty())
            first = order.front();
    }
    if (!first || !first->becomeFirstResponder())
        setFirstResponder(nullptr);
}

void Window::popPresented(ViewController* controller)
{
    for (std::size_t i = m_presented.size(); i-- > 0;) {
        if (m_presented[i].get() != controller)
            continue;
        auto before = m_focusBeforePresented[i].lock();
        bool wasTop = i + 1 == m_presented.size();
        m_presented.erase(m_presented.begin() + static_cast<std::ptrdiff_t>(i));
        m_focusBeforePresented.erase(m_focusBeforePresented.begin() + static_cast<std::ptrdiff_t>(i));
        View* focused = firstResponder();
        bool focusLeaves = !focused || (controller->isViewLoaded() && focused->isDescendantOf(controller->view()));
        if (wasTop && focusLeaves) {
            if (!before || !before->becomeFirstResponder())
                setFirstResponder(nullptr);
        }
    }
}

} // namespace kit

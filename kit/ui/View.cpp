// SPDX-License-Identifier: MIT
#include "kit/ui/View.h"

#include "kit/ui/Animator.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

bool nearlyZero(double v) { return std::abs(v) < 1e-9; }

// bounds coordinates → centred at the bounds' middle → transform → superview position.
AffineTransform centredTransform(Point center, const Rect& bounds, const AffineTransform& transform)
{
    AffineTransform t = AffineTransform::translation(-bounds.midX(), -bounds.midY());
    t = t.concatenated(transform);
    return t.concatenated(AffineTransform::translation(center.x, center.y));
}

// From a view's bounds coordinates to its superview's as it is drawn: at the presented center,
// bounds and transform, which differ from the model while the view animates. The renderer leaves
// a transform it cannot invert out, and so does this.
AffineTransform presentedToSuperview(const View& view)
{
    View::Presentation p = view.presentation();
    return centredTransform(p.center, p.bounds, p.transform.isInvertible() ? p.transform : AffineTransform());
}

// From a view's bounds coordinates to its window's (the root of its tree), through the model's
// geometry or, `presented`, as it is drawn.
AffineTransform toRootTransform(const View* view, bool presented = false)
{
    AffineTransform t;
    for (const View* v = view; v && v->superview(); v = v->superview())
        t = t.concatenated(presented ? presentedToSuperview(*v) : v->transformToSuperview());
    return t;
}

} // namespace

namespace {

std::uint64_t nextAccessibilityIdentity()
{
    // Views live on the main thread; the counter only has to be unique.
    static std::uint64_t next = 0;
    return ++next;
}

} // namespace

View::View()
    : m_accessibilityIdentity(nextAccessibilityIdentity())
{
}

View::~View()
{
    Animator::shared().removeAnimations(*this);
    for (auto& subview : m_subviews)
        subview->m_superview = nullptr;
}

Value View::valueForKey(std::string_view key) const
{
    if (key == "tag")
        return m_tag;
    if (key == "className")
        return className();
    return {};
}

// Geometry

Rect View::frame() const
{
    Rect local { -m_bounds.size.width / 2, -m_bounds.size.height / 2, m_bounds.size.width, m_bounds.size.height };
    if (!m_transform.isIdentity())
        local = m_transform.apply(local);
    return local.offsetBy(m_center.x, m_center.y);
}

void View::setFrame(const Rect& rawFrame)
{
    Rect f = rawFrame.standardized();
    Size size = f.size;
    if (!m_transform.isIdentity()) {
        // Only a transform that keeps the axes (quarter turns, scales) maps a frame back to one
        // size; under any other the size stays and only the position follows.
        const auto& t = m_transform;
        if (nearlyZero(t.b) && nearlyZero(t.c) && !nearlyZero(t.a) && !nearlyZero(t.d))
            size = { f.size.width / std::abs(t.a), f.size.height / std::abs(t.d) };
        else if (nearlyZero(t.a) && nearlyZero(t.d) && !nearlyZero(t.b) && !nearlyZero(t.c))
            size = { f.size.height / std::abs(t.b), f.size.width / std::abs(t.c) };
        else
            size = m_bounds.size;
    }
    // The old extent and the new one are damage, not the halfway state between the two setters.
    bool moves = !(f.center() == m_center) || !(size == m_bounds.size);
    if (moves)
        markWindowDirty();
    ++m_damageSuppressed;
    setCenter(f.center());
    setBounds({ m_bounds.origin, size });
    --m_damageSuppressed;
    if (moves)
        markWindowDirty();
}

void View::setBounds(const Rect& rawBounds)
{
    Rect bounds { rawBounds.origin, { std::max(0.0, rawBounds.size.width), std::max(0.0, rawBounds.size.height) } };
    if (std::isnan(bounds.origin.x) || std::isnan(bounds.origin.y) || std::isnan(bounds.size.width)
        || std::isnan(bounds.size.height))
        return;
    if (bounds == m_bounds)
        return;
    auto& animator = Animator::shared();
    if (animator.isCapturing())
        animator.record(*this, Animator::Bounds, presentation());
    markWindowDirty(); // the old extent
    Size oldSize = m_bounds.size;
    m_bounds = bounds;
    if (!(oldSize == bounds.size)) {
        boundsSizeDidChange(oldSize);
        if (m_autoresizesSubviews)
            resizeSubviews(oldSize);
        setNeedsLayout();
    }
    setNeedsDisplay();
}

void View::setCenter(Point center)
{
    if (std::isnan(center.x) || std::isnan(center.y) || center == m_center)
        return;
    auto& animator = Animator::shared();
    if (animator.isCapturing())
        animator.record(*this, Animator::Center, presentation());
    markWindowDirty(); // the old place
    m_center = center;
    setNeedsDisplay();
}

void View::setTransform(const AffineTransform& transform)
{
    if (transform == m_transform)
        return;
    auto& animator = Animator::shared();
    if (animator.isCapturing())
        animator.record(*this, Animator::Transform, presentation());
    markWindowDirty();
    m_transform = transform;
    setNeedsDisplay();
}

void View::setAlpha(double alpha)
{
    if (std::isnan(alpha))
        return;
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    auto& animator = Animator::shared();
    if (animator.isCapturing())
        animator.record(*this, Animator::Alpha, presentation());
    m_alpha = alpha;
    setNeedsDisplay();
}

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    markWindowDirty();
}

void View::setBackgroundColor(const Color& color)
{
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    setNeedsDisplay();
}

void View::setClipsToBounds(bool clips)
{
    if (clips == m_clipsToBounds)
        return;
    markWindowDirty(); // what overhung before
    m_clipsToBounds = clips;
    markWindowDirty();
}

void View::setCornerRadius(double radius)
{
    radius = std::max(0.0, radius);
    if (radius == m_cornerRadius)
        return;
    m_cornerRadius = radius;
    setNeedsDisplay();
}

void View::setBorderWidth(double width)
{
    width = std::max(0.0, width);
    if (width == m_borderWidth)
        return;
    markWindowDirty(); // a border wider than a narrow view reached past it
    m_borderWidth = width;
    setNeedsDisplay();
}

void View::setBorderColor(const Color& color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    setNeedsDisplay();
}

void View::setContentMode(ContentMode mode)
{
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    setNeedsDisplay();
}

void View::setShadowOpacity(double opacity)
{
    opacity = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0;
    if (opacity == m_shadowOpacity)
        return;
    markWindowDirty(); // where the old shadow lay
    m_shadowOpacity = opacity;
    setNeedsDisplay();
}

void View::setShadowOffset(Size offset)
{
    if (offset == m_shadowOffset)
        return;
    markWindowDirty(); // where the old shadow lay
    m_shadowOffset = offset;
    setNeedsDisplay();
}

void View::setShadowRadius(double radius)
{
    radius = std::isfinite(radius) ? std::max(0.0, radius) : 0;
    if (radius == m_shadowRadius)
        return;
    markWindowDirty(); // where the old shadow lay
    m_shadowRadius = radius;
    setNeedsDisplay();
}

void View::setShadowColor(const Color& color)
{
    if (color == m_shadowColor)
        return;
    m_shadowColor = color;
    setNeedsDisplay();
}

Color View::tintColor() const
{
    for (const View* view = this; view; view = view->m_superview) {
        if (view->m_tintColor)
            return *view->m_tintColor;
    }
    return Color::systemBlue();
}

void View::setTintColor(std::optional<Color> color)
{
    if (color == m_tintColor)
        return;
    m_tintColor = color;
    propagateTintChange();
}

void View::propagateTintChange()
{
    tintColorDidChange();
    for (auto& subview : m_subviews) {
        if (!subview->m_tintColor)
            subview->propagateTintChange();
    }
}

View* View::viewWithTag(int tag)
{
    if (m_tag == tag)
        return this;
    for (auto& subview : m_subviews) {
        if (View* found = subview->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

const View* View::viewWithTag(int tag) const { return const_cast<View*>(this)->viewWithTag(tag); }

View* View::findViewOfClass(std::string_view name)
{
    if (className() == name)
        return this;
    for (auto& subview : m_subviews) {
        if (View* found = subview->findViewOfClass(name))
            return found;
    }
    return nullptr;
}

// Hierarchy

void View::addSubview(std::shared_ptr<View> view) { insertSubview(std::move(view), m_subviews.size()); }

void View::insertSubview(std::shared_ptr<View> view, std::size_t index)
{
    if (!view || view.get() == this || isDescendantOf(view.get()))
        return;
    if (view->m_superview == this) {
        // Re-inserting reorders; the index counts the subviews without the view itself.
        auto it = std::find(m_subviews.begin(), m_subviews.end(), view);
        m_subviews.erase(it);
        index = std::min(index, m_subviews.size());
        m_subviews.insert(m_subviews.begin() + std::ptrdiff_t(index), view);
        view->setNeedsDisplay();
        return;
    }
    insertSubviewAt(std::move(view), index);
}

void View::insertSubviewBelow(std::shared_ptr<View> view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](auto& s) { return s.get() == sibling; });
    if (it == m_subviews.end())
        return insertSubview(std::move(view), 0);
    std::size_t index = std::size_t(it - m_subviews.begin());
    if (view && view->m_superview == this) {
        auto own = std::find(m_subviews.begin(), m_subviews.end(), view);
        if (own - m_subviews.begin() < std::ptrdiff_t(index))
            --index;
    }
    insertSubview(std::move(view), index);
}

void View::insertSubviewAbove(std::shared_ptr<View> view, const View* sibling)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](auto& s) { return s.get() == sibling; });
    if (it == m_subviews.end())
        return addSubview(std::move(view));
    std::size_t index = std::size_t(it - m_subviews.begin()) + 1;
    if (view && view->m_superview == this) {
        auto own = std::find(m_subviews.begin(), m_subviews.end(), view);
        if (own - m_subviews.begin() < std::ptrdiff_t(index))
            --index;
    }
    insertSubview(std::move(view), index);
}

void View::insertSubviewAt(std::shared_ptr<View> view, std::size_t index)
{
    Window* oldWindow = view->window();
    Window* newWindow = window();
    view->willMoveToSuperview(this);
    if (oldWindow != newWindow)
        view->notifyWindowChange(oldWindow, newWindow);
    view->detachFromSuperview();
    index = std::min(index, m_subviews.size());
    m_subviews.insert(m_subviews.begin() + std::ptrdiff_t(index), view);
    view->m_superview = this;
    view->didMoveToSuperview();
    if (oldWindow != newWindow) {
        // didMoveToWindow runs on the whole moved subtree.
        std::vector<View*> stack { view.get() };
        while (!stack.empty()) {
            View* v = stack.back();
            stack.pop_back();
            v->didMoveToWindow();
            for (auto& s : v->m_subviews)
                stack.push_back(s.get());
        }
    }
    if (!view->m_tintColor)
        view->propagateTintChange();
    didAddSubview(view.get());
    view->setNeedsDisplay();
    setNeedsLayout();
}

void View::detachFromSuperview()
{
    View* parent = m_superview;
    if (!parent)
        return;
    parent->willRemoveSubview(this);
    markWindowDirty();
    auto& list = parent->m_subviews;
    auto it = std::find_if(list.begin(), list.end(), [&](auto& s) { return s.get() == this; });
    m_superview = nullptr;
    if (it != list.end()) {
        // Keep ourselves alive until the caller has finished with us.
        auto keep = *it;
        list.erase(it);
        parent->setNeedsLayout();
    }
}

void View::notifyWindowChange(Window* oldWindow, Window* newWindow)
{
    (void)oldWindow;
    std::vector<View*> stack { this };
    while (!stack.empty()) {
        View* v = stack.back();
        stack.pop_back();
        v->willMoveToWindow(newWindow);
        for (auto& s : v->m_subviews)
            stack.push_back(s.get());
    }
}

void View::removeFromSuperview()
{
    if (!m_superview)
        return;
    auto keep = shared_from_this();
    Window* oldWindow = window();
    willMoveToSuperview(nullptr);
    if (oldWindow)
        notifyWindowChange(oldWindow, nullptr);
    detachFromSuperview();
    didMoveToSuperview();
    if (oldWindow) {
        std::vector<View*> stack { this };
        while (!stack.empty()) {
            View* v = stack.back();
            stack.pop_back();
            v->didMoveToWindow();
            for (auto& s : v->m_subviews)
                stack.push_back(s.get());
        }
    }
    if (!m_tintColor)
        propagateTintChange();
}

void View::removeAllSubviews()
{
    auto copy = m_subviews;
    for (auto& subview : copy)
        subview->removeFromSuperview();
}

void View::bringSubviewToFront(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](auto& s) { return s.get() == view; });
    if (it == m_subviews.end() || it + 1 == m_subviews.end())
        return;
    auto keep = *it;
    m_subviews.erase(it);
    m_subviews.push_back(keep);
    keep->setNeedsDisplay();
}

void View::sendSubviewToBack(const View* view)
{
    auto it = std::find_if(m_subviews.begin(), m_subviews.end(), [&](auto& s) { return s.get() == view; });
    if (it == m_subviews.end() || it == m_subviews.begin())
        return;
    auto keep = *it;
    m_subviews.erase(it);
    m_subviews.insert(m_subviews.begin(), keep);
    keep->setNeedsDisplay();
}

bool View::isDescendantOf(const View* view) const
{
    for (const View* v = this; v; v = v->m_superview) {
        if (v == view)
            return true;
    }
    return false;
}

Window* View::window() const
{
    const View* root = this;
    while (root->m_superview)
        root = root->m_superview;
    return dynamic_cast<Window*>(const_cast<View*>(root));
}

// Layout

void View::setNeedsLayout()
{
    m_needsLayout = true;
    // The ancestors must descend to us on the next layout pass.
    for (View* v = m_superview; v && !v->m_needsLayout; v = v->m_superview)
        v->m_needsLayout = true;
    if (Window* w = window())
        w->setNeedsRedraw({});
}

void View::layoutIfNeeded()
{
    if (!m_needsLayout)
        return;
    m_needsLayout = false;
    layoutSubviews();
    // A subview list changed by layoutSubviews is walked as it is now.
    auto subviews = m_subviews;
    for (auto& subview : subviews)
        subview->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const { return m_bounds.size; }

void View::sizeToFit()
{
    Size size = sizeThatFits(m_bounds.size);
    Rect f = frame();
    setFrame({ f.origin, size });
}

void View::resizeSubviews(Size oldSize)
{
    double dw = m_bounds.size.width - oldSize.width;
    double dh = m_bounds.size.height - oldSize.height;
    auto subviews = m_subviews;
    for (auto& subview : subviews) {
        unsigned mask = subview->m_autoresizingMask;
        if (mask == AutoresizingNone)
            continue;
        Rect f = subview->frame();
        // The change is shared among the flexible parts in proportion to their sizes, so their
        // proportions survive the resize; parts of zero size share it equally.
        auto share = [](double delta, double oldTotal, bool flexA, double a, bool flexMid, double mid, bool flexB, double b,
                         double& newA, double& newMid) {
            double sum = (flexA ? a : 0) + (flexMid ? mid : 0) + (flexB ? b : 0);
            int count = int(flexA) + int(flexMid) + int(flexB);
            newA = a;
            newMid = mid;
            if (count == 0)
                return;
            (void)oldTotal;
            if (sum > 0) {
                if (flexA)
                    newA = a + delta * a / sum;
                if (flexMid)
                    newMid = mid + delta * mid / sum;
            } else {
                if (flexA)
                    newA = a + delta / count;
                if (flexMid)
                    newMid = mid + delta / count;
            }
        };
        double x, w, y, h;
        share(dw, oldSize.width, mask & FlexibleLeftMargin, f.origin.x, mask & FlexibleWidth, f.size.width,
            mask & FlexibleRightMargin, oldSize.width - f.maxX(), x, w);
        share(dh, oldSize.height, mask & FlexibleTopMargin, f.origin.y, mask & FlexibleHeight, f.size.height,
            mask & FlexibleBottomMargin, oldSize.height - f.maxY(), y, h);
        subview->setFrame({ x, y, std::max(0.0, w), std::max(0.0, h) });
    }
}

// Display

void View::draw(GraphicsContext&, const Rect&) { }

void View::setNeedsDisplay()
{
    m_needsDisplay = true;
    markWindowDirty();
}

void View::markWindowDirty()
{
    if (m_damageSuppressed)
        return;
    if (Window* w = window())
        w->setNeedsRedraw(windowDirtyArea(*w));
}

Rect View::windowDirtyArea(const Window& w) const
{
    // The root is drawn at the window's origin, whatever its own position.
    if (static_cast<const View*>(&w) == this)
        return m_bounds;
    Rect area = damageArea();
    // What an ancestor's shadow made of this view's content covered changes with it too.
    double spread = 0;
    for (View* ancestor = m_superview; ancestor; ancestor = ancestor->m_superview) {
        if (ancestor->m_shadowOpacity > 0)
            spread = std::max(spread,
                ancestor->m_shadowRadius
                    + std::max(std::abs(ancestor->m_shadowOffset.width), std::abs(ancestor->m_shadowOffset.height)) + 1);
    }
    if (spread > 0)
        area = area.insetBy(-spread, -spread);
    return area;
}

Rect View::damageArea() const { return reachIn(toRootTransform(this, true)); }

Rect View::reachIn(const AffineTransform& toWindow) const
{
    // In window units: the transform may scale.
    double factor = std::max({ std::hypot(toWindow.a, toWindow.b), std::hypot(toWindow.c, toWindow.d), 1.0 });
    // The border is stroked inside the bounds, but around a view narrower than the border it
    // reaches out; the focus ring lies just outside the bounds.
    double own = m_borderWidth;
    if (showsFocusRing())
        own = std::max(own, 4.0);
    // While the bounds animate, the background, border and clip follow the presented bounds and
    // draw() still paints in the model's.
    Rect drawn = drawnBounds();
    if (m_animatedMask & Animator::Bounds)
        drawn = drawn.united(m_presentation.bounds);
    Rect area = toWindow.apply(drawn);
    if (own > 0)
        area = area.insetBy(-own * factor, -own * factor);
    if (!m_clipsToBounds) {
        for (auto& subview : m_subviews) {
            if (!subview->m_hidden)
                area = area.united(subview->reachIn(presentedToSuperview(*subview).concatenated(toWindow)));
        }
    }
    // The shadow is cast by everything inside, spread and offset.
    if (m_shadowOpacity > 0) {
        double spread = m_shadowRadius + std::max(std::abs(m_shadowOffset.width), std::abs(m_shadowOffset.height)) + 1;
        area = area.insetBy(-spread * factor, -spread * factor);
    }
    return area;
}

// Conversion

AffineTransform View::transformToSuperview() const { return centredTransform(m_center, m_bounds, m_transform); }

namespace {

AffineTransform toRoot(const View* view) { return toRootTransform(view); }

} // namespace

Point View::convertPointTo(Point point, const View* other) const
{
    Point inRoot = toRoot(this).apply(point);
    if (!other)
        return inRoot;
    return toRoot(other).inverted().apply(inRoot);
}

Point View::convertPointFrom(Point point, const View* other) const
{
    Point inRoot = other ? toRoot(other).apply(point) : point;
    return toRoot(this).inverted().apply(inRoot);
}

Rect View::convertRectTo(const Rect& rect, const View* other) const
{
    AffineTransform t = toRoot(this);
    if (other)
        t = t.concatenated(toRoot(other).inverted());
    return t.apply(rect);
}

Rect View::convertRectFrom(const Rect& rect, const View* other) const
{
    AffineTransform t = other ? toRoot(other) : AffineTransform {};
    t = t.concatenated(toRoot(this).inverted());
    return t.apply(rect);
}

// Hit testing

bool View::pointInside(Point point) const { return m_bounds.contains(point); }

View* View::hitTest(Point point)
{
    if (m_hidden || m_alpha < 0.01 || !m_userInteractionEnabled)
        return nullptr;
    bool inside = pointInside(point);
    if (m_clipsToBounds && !inside)
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        View* subview = it->get();
        AffineTransform t = subview->transformToSuperview();
        if (!t.isInvertible())
            continue;
        if (View* hit = subview->hitTest(t.inverted().apply(point)))
            return hit;
    }
    return inside ? this : nullptr;
}

// Input

void View::touchesBegan(const Touch& touch)
{
    if (m_superview)
        m_superview->touchesBegan(touch);
}

void View::touchesMoved(const Touch& touch)
{
    if (m_superview)
        m_superview->touchesMoved(touch);
}

void View::touchesEnded(const Touch& touch)
{
    if (m_superview)
        m_superview->touchesEnded(touch);
}

void View::touchesCancelled(const Touch& touch)
{
    if (m_superview)
        m_superview->touchesCancelled(touch);
}

void View::scrollWheel(double dx, double dy)
{
    if (m_superview)
        m_superview->scrollWheel(dx, dy);
}

void View::scrollWheelEnded()
{
    if (m_superview)
        m_superview->scrollWheelEnded();
}

bool View::keyDown(const KeyEvent& event) { return m_superview ? m_superview->keyDown(event) : false; }

bool View::becomeFirstResponder()
{
    Window* w = window();
    if (!w || !canBecomeFirstResponder())
        return false;
    w->setFirstResponder(this);
    return true;
}

void View::resignFirstResponder()
{
    if (Window* w = window(); w && w->firstResponder() == this)
        w->setFirstResponder(nullptr);
}

bool View::isFirstResponder() const
{
    Window* w = window();
    return w && w->firstResponder() == this;
}

Rect View::focusRingRect() const
{
    double out = kFocusRingGap + kFocusRingWidth / 2;
    Rect outside = bounds().insetBy(-out, -out);
    // The ring goes inside where its outer edge would be cut off: by the window's edge or by an
    // ancestor that clips (a button as wide as an alert's box, a view as wide as the screen).
    Rect outer = outside.insetBy(-kFocusRingWidth / 2, -kFocusRingWidth / 2);
    for (const View* ancestor = m_superview; ancestor; ancestor = ancestor->m_superview) {
        bool clips = ancestor->m_clipsToBounds || !ancestor->m_superview;
        if (clips && !ancestor->bounds().contains(convertRectTo(outer, ancestor)))
            return bounds().insetBy(out, out);
    }
    return outside;
}

// Animation

void View::animate(double duration, const std::function<void()>& changes, std::function<void(bool)> completion)
{
    animate(duration, 0, Curve::EaseInOut, changes, std::move(completion));
}

void View::animate(double duration, double delay, Curve curve, const std::function<void()>& changes,
    std::function<void(bool)> completion)
{
    auto& animator = Animator::shared();
    if (!(duration > 0) || animator.isSuppressed()) {
        if (changes)
            changes();
        if (completion)
            completion(true);
        return;
    }
    animator.beginCapture(duration, std::max(0.0, delay), curve);
    if (changes)
        changes();
    animator.endCapture(std::move(completion));
}

void View::performWithoutAnimation(const std::function<void()>& changes)
{
    auto& animator = Animator::shared();
    animator.pushSuppressed();
    if (changes)
        changes();
    animator.popSuppressed();
}

View::Presentation View::presentation() const
{
    Presentation p { m_center, m_bounds, m_transform, m_alpha };
    if (m_animatedMask & Animator::Center)
        p.center = m_presentation.center;
    if (m_animatedMask & Animator::Bounds)
        p.bounds = m_presentation.bounds;
    if (m_animatedMask & Animator::Transform)
        p.transform = m_presentation.transform;
    if (m_animatedMask & Animator::Alpha)
        p.alpha = m_presentation.alpha;
    return p;
}

bool View::isAnimating() const { return m_animatedMask != 0; }

void View::removeAllAnimations()
{
    Animator::shared().removeAnimations(*this);
    clearPresentation(m_animatedMask);
    setNeedsDisplay();
}

bool View::isDrawnInWindow(const Window*& w) const
{
    w = window();
    if (!w)
        return false;
    for (const View* v = this; v; v = v->m_superview) {
        if (v->m_hidden)
            return false;
    }
    return true;
}

void View::setPresentation(const Presentation& presentation, unsigned animatedMask)
{
    Presentation now = this->presentation();
    bool changes = (animatedMask & Animator::Center && !(presentation.center == now.center))
        || (animatedMask & Animator::Bounds && !(presentation.bounds == now.bounds))
        || (animatedMask & Animator::Transform && !(presentation.transform == now.transform))
        || (animatedMask & Animator::Alpha && presentation.alpha != now.alpha);
    // A step repaints where the view was drawn and where it is drawn now, nothing else.
    const Window* w = nullptr;
    bool drawn = changes && isDrawnInWindow(w);
    Rect before = drawn ? windowDirtyArea(*w) : Rect {};
    if (animatedMask & Animator::Center)
        m_presentation.center = presentation.center;
    if (animatedMask & Animator::Bounds)
        m_presentation.bounds = presentation.bounds;
    if (animatedMask & Animator::Transform)
        m_presentation.transform = presentation.transform;
    if (animatedMask & Animator::Alpha)
        m_presentation.alpha = presentation.alpha;
    m_animatedMask |= animatedMask;
    if (drawn)
        damageMove(before);
}

void View::clearPresentation(unsigned animatedMask)
{
    // The last presented place and the model's.
    const Window* w = nullptr;
    bool drawn = (m_animatedMask & animatedMask) && isDrawnInWindow(w);
    Rect before = drawn ? windowDirtyArea(*w) : Rect {};
    m_animatedMask &= ~animatedMask;
    if (drawn)
        damageMove(before);
}

void View::damageMove(const Rect& before)
{
    // Overlapping rectangles merge in the window; a move across leaves two small ones.
    Window* w = window();
    w->setNeedsRedraw(before);
    w->setNeedsRedraw(windowDirtyArea(*w));
}

// Touch

Point Touch::locationInView(const View* target) const
{
    return target ? target->convertPointFrom(locationInWindow, nullptr) : locationInWindow;
}

Point Touch::previousLocationInView(const View* target) const
{
    return target ? target->convertPointFrom(previousLocationInWindow, nullptr) : previousLocationInWindow;
}

double Touch::distanceFromStart() const
{
    return std::hypot(locationInWindow.x - startLocationInWindow.x, locationInWindow.y - startLocationInWindow.y);
}

// Accessibility

bool View::isAccessibilityElement() const
{
    if (m_accessibility && m_accessibility->element)
        return *m_accessibility->element;
    return defaultIsAccessibilityElement();
}

void View::setIsAccessibilityElement(std::optional<bool> element)
{
    if (!m_accessibility)
        m_accessibility = std::make_unique<AccessibilityOverrides>();
    m_accessibility->element = element;
}

std::string View::accessibilityLabel() const
{
    if (m_accessibility && m_accessibility->label)
        return *m_accessibility->label;
    return defaultAccessibilityLabel();
}

void View::setAccessibilityLabel(std::optional<std::string> label)
{
    if (!m_accessibility)
        m_accessibility = std::make_unique<AccessibilityOverrides>();
    m_accessibility->label = std::move(label);
}

std::string View::accessibilityValue() const
{
    if (m_accessibility && m_accessibility->value)
        return *m_accessibility->value;
    return defaultAccessibilityValue();
}

void View::setAccessibilityValue(std::optional<std::string> value)
{
    if (!m_accessibility)
        m_accessibility = std::make_unique<AccessibilityOverrides>();
    m_accessibility->value = std::move(value);
}

unsigned View::accessibilityTraits() const
{
    if (m_accessibility && m_accessibility->traits)
        return *m_accessibility->traits;
    return defaultAccessibilityTraits();
}

void View::setAccessibilityTraits(std::optional<unsigned> traits)
{
    if (!m_accessibility)
        m_accessibility = std::make_unique<AccessibilityOverrides>();
    m_accessibility->traits = traits;
}

Rect View::accessibilityFrame() const { return convertRectTo(m_bounds, nullptr); }

bool View::accessibilityActivate(int) { return false; }

} // namespace kit

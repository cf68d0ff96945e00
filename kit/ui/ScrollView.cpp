// SPDX-License-Identifier: MIT
#include "kit/ui/ScrollView.h"

#include "kit/base/RunLoop.h"
#include "kit/ui/Animator.h"

#include <algorithm>
#include <cmath>

namespace kit {

static constexpr double kIndicatorThickness = 3.0;
static constexpr double kIndicatorInset = 2.0;
static constexpr double kIndicatorMinLength = 12.0;

ScrollView::ScrollView() = default;

ScrollView::~ScrollView()
{
    stopFrameTimer();
    if (m_wheelEndTimer)
        m_wheelEndTimer->invalidate();
    m_delegate = nullptr;
}

void ScrollView::didCreate()
{
    setClipsToBounds(true);
    for (auto* indicator : { &m_verticalIndicator, &m_horizontalIndicator }) {
        *indicator = View::create<View>();
        (*indicator)->setBackgroundColor(Color::black().withAlpha(0.35));
        (*indicator)->setCornerRadius(kIndicatorThickness / 2);
        (*indicator)->setHidden(true);
        (*indicator)->setUserInteractionEnabled(false);
        addSubview(*indicator);
    }
}

void ScrollView::setContentSize(Size size)
{
    if (!std::isfinite(size.width) || size.width < 0)
        size.width = 0;
    if (!std::isfinite(size.height) || size.height < 0)
        size.height = 0;
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    setNeedsLayout();
    updateIndicators();
}

void ScrollView::setContentInset(const EdgeInsets& insets)
{
    if (insets == m_contentInset)
        return;
    m_contentInset = insets;
    setNeedsLayout();
}

void ScrollView::setDecelerationRate(double rate)
{
    m_decelerationRate = (rate > 0 && rate < 1) ? rate : kScrollViewDecelerationRateNormal;
}

void ScrollView::setShowsVerticalScrollIndicator(bool shows)
{
    m_showsVerticalIndicator = shows;
    updateIndicators();
}

void ScrollView::setShowsHorizontalScrollIndicator(bool shows)
{
    m_showsHorizontalIndicator = shows;
    updateIndicators();
}

bool ScrollView::isVerticalScrollIndicatorVisible() const { return m_verticalIndicator && !m_verticalIndicator->isHidden(); }

bool ScrollView::isHorizontalScrollIndicatorVisible() const
{
    return m_horizontalIndicator && !m_horizontalIndicator->isHidden();
}

Point ScrollView::minimumContentOffset() const { return { -m_contentInset.left, -m_contentInset.top }; }

Point ScrollView::maximumContentOffset() const
{
    Point min = minimumContentOffset();
    Size size = bounds().size;
    double maxX = m_contentSize.width + m_contentInset.right - size.width;
    double maxY = m_contentSize.height + m_contentInset.bottom - size.height;
    return { std::max(min.x, maxX), std::max(min.y, maxY) };
}

Point ScrollView::clampedContentOffset(Point offset) const
{
    Point min = minimumContentOffset();
    Point max = maximumContentOffset();
    if (!std::isfinite(offset.x))
        offset.x = min.x;
    if (!std::isfinite(offset.y))
        offset.y = min.y;
    return { std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y) };
}

bool ScrollView::canScrollHorizontally() const { return m_scrollEnabled && maximumContentOffset().x > minimumContentOffset().x; }

bool ScrollView::canScrollVertically() const { return m_scrollEnabled && maximumContentOffset().y > minimumContentOffset().y; }

void ScrollView::setBounds(const Rect& newBounds)
{
    Rect old = bounds();
    View::setBounds(newBounds);
    if (bounds().origin == old.origin)
        return;
    setNeedsLayout();
    contentOffsetDidChange();
    updateIndicators();
    if (m_delegate)
        m_delegate->scrollViewDidScroll(*this);
}

void ScrollView::setOffsetInternal(Point offset)
{
    Rect b = bounds();
    b.origin = offset;
    setBounds(b);
}

void ScrollView::setContentOffset(Point offset, bool animated)
{
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y))
        return;
    if (!animated) {
        stopScrolling();
        setOffsetInternal(offset);
        return;
    }
    if (offset == contentOffset() && !m_animating)
        return;
    stopScrolling();
    if (offset == contentOffset())
        return;
    m_animating = true;
    m_animationFrom = contentOffset();
    m_animationTo = offset;
    m_motionStart = RunLoop::main().now();
    startFrameTimer();
    updateIndicators();
}

void ScrollView::stopScrolling()
{
    m_decelerating = false;
    m_animating = false;
    stopFrameTimer();
    updateIndicators();
}

void ScrollView::startFrameTimer()
{
    if (m_frameTimer && m_frameTimer->isValid())
        return;
    std::weak_ptr<View> weak = weak_from_this();
    m_frameTimer = Timer::scheduled(kFrameInterval, true, [weak](Timer& timer) {
        auto self = weak.lock();
        if (!self) {
            timer.invalidate();
            return;
        }
        static_cast<ScrollView&>(*self).frameTick();
    });
}

void ScrollView::stopFrameTimer()
{
    if (m_frameTimer)
        m_frameTimer->invalidate();
    m_frameTimer.reset();
}

void ScrollView::frameTick()
{
    double t = RunLoop::main().now() - m_motionStart;
    if (m_decelerating) {
        setOffsetInternal({ m_decelX.offsetAt(t), m_decelY.offsetAt(t) });
        if (m_decelerating && m_decelX.isFinishedAt(t) && m_decelY.isFinishedAt(t)) {
            m_decelerating = false;
            stopFrameTimer();
            updateIndicators();
            if (m_delegate)
                m_delegate->scrollViewDidEndDecelerating(*this);
        }
        return;
    }
    if (m_animating) {
        double p = std::clamp(t / kScrollAnimationDuration, 0.0, 1.0);
        double e = Animator::ease(View::Curve::EaseInOut, p);
        Point to = m_animationTo;
        Point at = p >= 1
            ? to
            : Point { m_animationFrom.x + (to.x - m_animationFrom.x) * e, m_animationFrom.y + (to.y - m_animationFrom.y) * e };
        setOffsetInternal(at);
        if (m_animating && p >= 1) {
            m_animating = false;
            stopFrameTimer();
            updateIndicators();
            scrollAnimationDidEnd();
            if (m_delegate)
                m_delegate->scrollViewDidEndScrollingAnimation(*this);
        }
        return;
    }
    stopFrameTimer();
}

Point ScrollView::vectorFromWindow(Point vector) const
{
    Point a = convertPointFrom(Point { 0, 0 }, nullptr);
    Point b = convertPointFrom(vector, nullptr);
    return b - a;
}

void ScrollView::touchesBegan(const Touch& touch)
{
    m_tracking = true;
    m_dragging = false;
    m_interceptPending = false;
    m_dragStartLocation = touch.locationInWindow;
    // A finger takes over from the wheel; what the finger does ends the motion.
    endWheelScrolling(false);
    bool caught = m_decelerating || m_animating;
    if (m_decelerating) {
        // A finger on a moving list stops it; the motion's end is still told, so a delegate
        // that snaps on it (a picker) is never left between positions.
        stopScrolling();
        if (m_delegate)
            m_delegate->scrollViewDidEndDecelerating(*this);
    } else if (m_animating) {
        stopScrolling();
    }
    m_touchCaughtMotion = caught;
    if (!caught)
        contentTouchBegan(touch);
}

bool ScrollView::interceptTouch(const Touch& touch)
{
    if (touch.phase != Touch::Phase::Moved || m_dragging)
        return false;
    if (!canScrollHorizontally() && !canScrollVertically())
        return false;
    if (touch.distanceFromStart() < kDragThreshold)
        return false;
    m_interceptPending = true;
    return true;
}

void ScrollView::touchesMoved(const Touch& touch)
{
    bool intercepted = m_interceptPending;
    m_interceptPending = false;
    if (!m_tracking) {
        // The touch began on a control inside us and was handed over on this move.
        m_tracking = true;
        m_touchCaughtMotion = false;
        m_dragStartLocation = touch.locationInWindow;
    }
    if (!m_dragging) {
        if (!intercepted && touch.distanceFromStart() < kDragThreshold)
            return;
        if (!canScrollHorizontally() && !canScrollVertically()) {
            // Moved too far for a tap, nothing to scroll.
            if (!m_touchCaughtMotion)
                contentTouchCancelled();
            m_touchCaughtMotion = true;
            return;
        }
        beginDrag(touch);
        return;
    }
    dragTo(touch);
}

void ScrollView::touchesEnded(const Touch& touch)
{
    m_interceptPending = false;
    if (m_dragging) {
        endDrag(touch);
        return;
    }
    if (!m_tracking)
        return;
    m_tracking = false;
    if (m_touchCaughtMotion) {
        m_touchCaughtMotion = false;
        return;
    }
    didTapContent(touch);
}

void ScrollView::touchesCancelled(const Touch& touch)
{
    if (m_interceptPending) {
        // The view under the finger lets go because we take the touch over.
        contentTouchCancelled();
        return;
    }
    if (m_dragging) {
        Touch still = touch;
        still.velocity = {};
        endDrag(still);
        return;
    }
    m_tracking = false;
    m_touchCaughtMotion = false;
    contentTouchCancelled();
}

void ScrollView::beginDrag(const Touch& touch)
{
    if (!m_touchCaughtMotion)
        contentTouchCancelled();
    m_touchCaughtMotion = false;
    m_dragging = true;
    m_dragStartOffset = contentOffset();
    // The content follows the finger from where it came down, not from where the drag was
    // recognised, so nothing of the movement is lost.
    m_dragStartLocation = touch.startLocationInWindow;
    if (m_delegate)
        m_delegate->scrollViewWillBeginDragging(*this);
    updateIndicators();
    dragTo(touch);
}

void ScrollView::dragTo(const Touch& touch)
{
    Point moved = vectorFromWindow(touch.locationInWindow - m_dragStartLocation);
    Point target = m_dragStartOffset;
    if (canScrollHorizontally())
        target.x -= moved.x;
    if (canScrollVertically())
        target.y -= moved.y;
    // Dragging stops at the ends instead of pulling past them.
    Point clamped = clampedContentOffset(target);
    if (!canScrollHorizontally())
        clamped.x = contentOffset().x;
    if (!canScrollVertically())
        clamped.y = contentOffset().y;
    setOffsetInternal(clamped);
}

void ScrollView::endDrag(const Touch& touch)
{
    dragTo(touch);
    m_dragging = false;
    m_tracking = false;
    Point velocity = vectorFromWindow(touch.velocity);
    // The content moves against the finger.
    double vx = canScrollHorizontally() ? -velocity.x : 0;
    double vy = canScrollVertically() ? -velocity.y : 0;
    if (std::hypot(vx, vy) < ScrollViewDeceleration::kMinimumFlingVelocity)
        vx = vy = 0;
    Point offset = contentOffset();
    Point min = minimumContentOffset();
    Point max = maximumContentOffset();
    m_decelX = ScrollViewDeceleration(offset.x, vx, m_decelerationRate, min.x, max.x);
    m_decelY = ScrollViewDeceleration(offset.y, vy, m_decelerationRate, min.y, max.y);
    bool willDecelerate = m_decelX.isMoving() || m_decelY.isMoving();
    if (!willDecelerate)
        updateIndicators();
    if (m_delegate)
        m_delegate->scrollViewDidEndDragging(*this, willDecelerate);
    if (!willDecelerate || m_dragging)
        return;
    m_decelerating = true;
    m_motionStart = RunLoop::main().now();
    if (m_delegate)
        m_delegate->scrollViewWillBeginDecelerating(*this);
    if (m_decelerating)
        startFrameTimer();
}

void ScrollView::scrollWheel(double dx, double dy)
{
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return;
    bool h = canScrollHorizontally();
    bool v = canScrollVertically();
    if (!h && !v) {
        View::scrollWheel(dx, dy);
        return;
    }
    Point own = vectorFromWindow({ dx, dy });
    if (!h)
        own.x = 0;
    if (!v)
        own.y = 0;
    if (own.x == 0 && own.y == 0) {
        // The wheel turns across the only axis we scroll (a turned list): use its amount.
        double amount = std::fabs(dy) >= std::fabs(dx) ? dy : dx;
        (v ? own.y : own.x) = amount;
    }
    if (m_decelerating) {
        stopScrolling();
        if (m_delegate)
            m_delegate->scrollViewDidEndDecelerating(*this);
    }
    // Also a snap the delegate may have started just now: the wheel moves the content.
    if (m_animating)
        stopScrolling();
    if (!m_wheelScrolling) {
        m_wheelScrolling = true;
        if (m_delegate)
            m_delegate->scrollViewWillBeginWheelScrolling(*this);
    }
    Point offset = contentOffset();
    setOffsetInternal(clampedContentOffset({ offset.x + own.x, offset.y + own.y }));

    if (m_wheelEndTimer)
        m_wheelEndTimer->invalidate();
    std::weak_ptr<View> weak = weak_from_this();
    m_wheelEndTimer = Timer::scheduled(kWheelEndDelay, false, [weak](Timer&) {
        if (auto self = weak.lock())
            static_cast<ScrollView&>(*self).endWheelScrolling(true);
    });
}

void ScrollView::scrollWheelEnded()
{
    if (!m_wheelScrolling) {
        View::scrollWheelEnded();
        return;
    }
    endWheelScrolling(true);
}

void ScrollView::endWheelScrolling(bool tell)
{
    if (m_wheelEndTimer)
        m_wheelEndTimer->invalidate();
    m_wheelEndTimer.reset();
    if (!m_wheelScrolling)
        return;
    m_wheelScrolling = false;
    if (tell && m_delegate)
        m_delegate->scrollViewDidEndWheelScrolling(*this);
}

void ScrollView::layoutSubviews() { updateIndicators(); }

void ScrollView::updateIndicators()
{
    if (!m_verticalIndicator || !m_horizontalIndicator)
        return;
    bool moving = m_dragging || m_decelerating || m_animating;
    Rect b = bounds();
    Size content = m_contentSize;

    bool showV = moving && m_showsVerticalIndicator && canScrollVertically() && b.height() > 0;
    m_verticalIndicator->setHidden(!showV);
    if (showV) {
        double track = b.height() - 2 * kIndicatorInset;
        double total = content.height + m_contentInset.top + m_contentInset.bottom;
        double length = std::max(kIndicatorMinLength, track * std::min(1.0, b.height() / std::max(1.0, total)));
        Point min = minimumContentOffset(), max = maximumContentOffset();
        double p = max.y > min.y ? std::clamp((b.y() - min.y) / (max.y - min.y), 0.0, 1.0) : 0.0;
        m_verticalIndicator->setFrame({ b.x() + b.width() - kIndicatorThickness - kIndicatorInset,
            b.y() + kIndicatorInset + (track - length) * p, kIndicatorThickness, length });
        bringSubviewToFront(m_verticalIndicator.get());
    }
    bool showH = moving && m_showsHorizontalIndicator && canScrollHorizontally() && b.width() > 0;
    m_horizontalIndicator->setHidden(!showH);
    if (showH) {
        double track = b.width() - 2 * kIndicatorInset;
        double total = content.width + m_contentInset.left + m_contentInset.right;
        double length = std::max(kIndicatorMinLength, track * std::min(1.0, b.width() / std::max(1.0, total)));
        Point min = minimumContentOffset(), max = maximumContentOffset();
        double p = max.x > min.x ? std::clamp((b.x() - min.x) / (max.x - min.x), 0.0, 1.0) : 0.0;
        m_horizontalIndicator->setFrame({ b.x() + kIndicatorInset + (track - length) * p,
            b.y() + b.height() - kIndicatorThickness - kIndicatorInset, length, kIndicatorThickness });
        bringSubviewToFront(m_horizontalIndicator.get());
    }
}

} // namespace kit

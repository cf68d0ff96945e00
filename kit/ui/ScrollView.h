// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/ScrollViewDeceleration.h"
#include "kit/ui/View.h"

#include <memory>

namespace kit {

class ScrollView;
class Timer;

// Told of a scroll view's motion. For a drag that ends with a fling the calls come as
// scrollViewWillBeginDragging, scrollViewDidScroll (while moving), scrollViewDidEndDragging
// (willDecelerate true), scrollViewWillBeginDecelerating, scrollViewDidScroll...,
// scrollViewDidEndDecelerating. A drag released at rest ends with scrollViewDidEndDragging
// (false) and nothing more. Only animated programmatic scrolls end with
// scrollViewDidEndScrollingAnimation. A run of wheel or touchpad steps comes as
// scrollViewWillBeginWheelScrolling, scrollViewDidScroll..., scrollViewDidEndWheelScrolling.
class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;

    virtual void scrollViewDidScroll(ScrollView&) { }
    virtual void scrollViewWillBeginDragging(ScrollView&) { }
    virtual void scrollViewDidEndDragging(ScrollView&, bool /*willDecelerate*/) { }
    virtual void scrollViewWillBeginDecelerating(ScrollView&) { }
    virtual void scrollViewDidEndDecelerating(ScrollView&) { }
    virtual void scrollViewDidEndScrollingAnimation(ScrollView&) { }
    // A wheel has no release: its run of steps ends when the device says so (touchpad fingers
    // lifted) or after kWheelEndDelay without a step.
    virtual void scrollViewWillBeginWheelScrolling(ScrollView&) { }
    virtual void scrollViewDidEndWheelScrolling(ScrollView&) { }
};

// A view whose bounds origin is the offset of a larger content. Drags move the content, a
// fling decelerates at decelerationRate() and comes to rest inside the content; the wheel
// moves it by steps. Time comes from the run loop, so the virtual clock drives it in tests.
class ScrollView : public View {
public:
    ~ScrollView() override;

    Size contentSize() const { return m_contentSize; }
    void setContentSize(Size size);
    Point contentOffset() const { return bounds().origin; }
    // Moves the content; not clamped: code that moves the content past its edges means to.
    // An animated move ends with scrollViewDidEndScrollingAnimation; a move to where the
    // content already is does nothing.
    void setContentOffset(Point offset, bool animated = false);
    EdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(const EdgeInsets& insets);

    // The reachable offsets: from (-left, -top) to the end of the content plus the insets,
    // never below the start.
    Point minimumContentOffset() const;
    Point maximumContentOffset() const;
    Point clampedContentOffset(Point offset) const;

    bool showsVerticalScrollIndicator() const { return m_showsVerticalIndicator; }
    void setShowsVerticalScrollIndicator(bool shows);
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontalIndicator; }
    void setShowsHorizontalScrollIndicator(bool shows);
    // Visible while the content moves, hidden at rest so they never cover it.
    bool isVerticalScrollIndicatorVisible() const;
    bool isHorizontalScrollIndicatorVisible() const;

    // Per-millisecond velocity decay: kScrollViewDecelerationRateNormal or ...Fast.
    double decelerationRate() const { return m_decelerationRate; }
    void setDecelerationRate(double rate);
    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool enabled) { m_scrollEnabled = enabled; }
    // Distance a touch must travel before it becomes a drag (points).
    static constexpr double kDragThreshold = 10.0;
    // Seconds an animated setContentOffset takes.
    static constexpr double kScrollAnimationDuration = 0.3;
    // Seconds between motion frames while decelerating or animating.
    static constexpr double kFrameInterval = 1.0 / 60.0;
    // Seconds without a wheel step after which a run of wheel steps is over. Longer than the
    // gap between the notches of a turned wheel, short enough not to feel late.
    static constexpr double kWheelEndDelay = 0.2;

    bool isTracking() const { return m_tracking; }
    bool isDragging() const { return m_dragging; }
    bool isDecelerating() const { return m_decelerating; }
    bool isScrollAnimating() const { return m_animating; }
    bool isWheelScrolling() const { return m_wheelScrolling; }

    // Not owned; the owner clears it before it goes.
    ScrollViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(ScrollViewDelegate* delegate) { m_delegate = delegate; }

    // Stops a deceleration or scroll animation where it is.
    void stopScrolling();

    // Object
    std::string className() const override { return "UIScrollView"; }

    // View
    void setBounds(const Rect& bounds) override;
    void layoutSubviews() override;
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    bool interceptTouch(const Touch& touch) override;
    void scrollWheel(double dx, double dy) override;
    void scrollWheelEnded() override;

protected:
    ScrollView();
    friend class View;

    // A touch that began in the content ended without becoming a drag (a tap).
    virtual void didTapContent(const Touch&) { }
    // A touch began, moved into a drag, or was let go; subclasses highlight and unhighlight.
    virtual void contentTouchBegan(const Touch&) { }
    virtual void contentTouchCancelled() { }
    // The offset changed (after the bounds moved, before the delegate hears of it).
    virtual void contentOffsetDidChange() { }
    virtual void scrollAnimationDidEnd() { }

    void didCreate() override;

private:
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    // From window points to this view's own axes (undoing the transforms above it).
    Point vectorFromWindow(Point vector) const;
    void beginDrag(const Touch& touch);
    void dragTo(const Touch& touch);
    void endDrag(const Touch& touch);
    void startFrameTimer();
    void stopFrameTimer();
    void frameTick();
    void updateIndicators();
    void setOffsetInternal(Point offset);
    // Ends a run of wheel steps; the delegate hears of it when `tell`.
    void endWheelScrolling(bool tell);

    Size m_contentSize;
    EdgeInsets m_contentInset;
    bool m_showsVerticalIndicator = true;
    bool m_showsHorizontalIndicator = true;
    double m_decelerationRate = kScrollViewDecelerationRateNormal;
    bool m_scrollEnabled = true;
    ScrollViewDelegate* m_delegate = nullptr; // not owned

    bool m_tracking = false;
    bool m_dragging = false;
    bool m_interceptPending = false;
    bool m_touchCaughtMotion = false; // the touch stopped a motion: not a tap
    bool m_decelerating = false;
    bool m_animating = false;
    Point m_dragStartOffset;
    Point m_dragStartLocation; // in window coordinates
    ScrollViewDeceleration m_decelX;
    ScrollViewDeceleration m_decelY;
    double m_motionStart = 0;
    Point m_animationFrom;
    Point m_animationTo;
    std::shared_ptr<Timer> m_frameTimer;
    bool m_wheelScrolling = false;
    std::shared_ptr<Timer> m_wheelEndTimer;
    std::shared_ptr<View> m_verticalIndicator;
    std::shared_ptr<View> m_horizontalIndicator;
};

} // namespace kit

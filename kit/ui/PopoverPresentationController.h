// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"

#include <memory>

namespace kit {

class PopoverPresentationController;
class View;
class ViewController;

enum PopoverArrowDirection : unsigned {
    PopoverArrowDirectionUp = 1 << 0, // the popover lies below the anchor, its arrow pointing up
    PopoverArrowDirectionDown = 1 << 1,
    PopoverArrowDirectionLeft = 1 << 2,
    PopoverArrowDirectionRight = 1 << 3,
    PopoverArrowDirectionAny = 0xf,
    PopoverArrowDirectionUnknown = 0,
};

class PopoverPresentationControllerDelegate {
public:
    virtual ~PopoverPresentationControllerDelegate() = default;

    // Asked before a tap outside dismisses the popover.
    virtual bool popoverPresentationControllerShouldDismissPopover(PopoverPresentationController&) { return true; }
    // The user dismissed the popover with a tap outside it (not told for dismissals in code).
    virtual void popoverPresentationControllerDidDismissPopover(PopoverPresentationController&) { }
    // The screen changed size while the popover is up; the delegate may move its anchor.
    virtual void willRepositionPopoverToRect(PopoverPresentationController&, Rect& /*rect*/, View*& /*view*/) { }
};

// How a controller presented with ModalPresentationStyle::Popover is shown: in a bubble
// anchored at a rectangle of a view, with an arrow pointing at it from the side that has
// room, over the screen. A tap outside the bubble dismisses it.
class PopoverPresentationController {
public:
    // The popover presentation of a controller, made on first use (set the anchor and the
    // delegate on it before presenting). Lives as long as the controller.
    static PopoverPresentationController* forController(ViewController& controller);
    ~PopoverPresentationController();

    ViewController* presentedViewController() const { return m_presented; }

    View* sourceView() const;
    void setSourceView(View* view);
    Rect sourceRect() const { return m_sourceRect; }
    void setSourceRect(const Rect& rect) { m_sourceRect = rect; }
    unsigned permittedArrowDirections() const { return m_permitted; }
    void setPermittedArrowDirections(unsigned directions) { m_permitted = directions ? directions : PopoverArrowDirectionAny; }
    // The side the arrow took when the popover was laid out.
    PopoverArrowDirection arrowDirection() const { return m_arrowDirection; }

    // Not owned.
    PopoverPresentationControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(PopoverPresentationControllerDelegate* delegate) { m_delegate = delegate; }

    // While presented: the bubble (arrow included) and the presented view's frame, in window
    // coordinates; empty otherwise.
    Rect popoverFrame() const;
    Rect presentedViewFrame() const;
    bool isPresented() const;

    static constexpr double kArrowHeight = 13;
    static constexpr double kArrowBase = 36;
    static constexpr double kScreenMargin = 10;
    static constexpr double kCornerRadius = 13;
    // How dark the shade over the rest of the screen is.
    static constexpr double kDimmingAlpha = 0.2;
    // The content size when the presented controller asks for none.
    static constexpr Size kDefaultContentSize { 320, 480 };

    // Used by the presentation.
    explicit PopoverPresentationController(ViewController& presented);
    void layout();
    void tappedOutside();
    void screenDidResize();
    void attach(std::shared_ptr<View> dimmingView, std::shared_ptr<View> bubble);
    void detach();
    View* bubbleView() const { return m_bubble.get(); }
    View* dimmingView() const { return m_dimming.get(); }

private:
    ViewController* m_presented = nullptr; // owns us
    std::weak_ptr<View> m_sourceView;
    Rect m_sourceRect;
    unsigned m_permitted = PopoverArrowDirectionAny;
    PopoverArrowDirection m_arrowDirection = PopoverArrowDirectionUnknown;
    PopoverPresentationControllerDelegate* m_delegate = nullptr; // not owned
    std::shared_ptr<View> m_dimming;
    std::shared_ptr<View> m_bubble;
    bool m_dismissing = false;
};

} // namespace kit

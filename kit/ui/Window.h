// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace kit {

class ViewController;

// The root of a view tree that a host puts on screen. It hosts a root view controller's view,
// delivers touches and wheel scrolls, and tells the host when it must be drawn again.
class Window : public View {
public:
    ~Window() override;

    // Every live window in the order they were created, internal ones included (the status
    // bar's window).
    static std::vector<Window*> allWindows();
    static Window* keyWindow();

    ViewController* rootViewController() const { return m_rootViewController.get(); }
    // Puts the controller's view in the window at the window's full bounds, resized with it.
    void setRootViewController(std::shared_ptr<ViewController> controller);
    // Makes this the key window and shows it; the root controller's view appears.
    void makeKeyAndVisible();
    bool isKeyWindow() const;
    bool isVisible() const { return m_visible; }

    // Higher levels are drawn above lower ones.
    static constexpr double kLevelNormal = 0;
    static constexpr double kLevelStatusBar = 1000;
    double windowLevel() const { return m_level; }
    void setWindowLevel(double level) { m_level = level; }

    // Redrawing. Any change in the tree (display, layout, animation) marks the window and calls
    // the host's callback once until the host clears the mark after drawing.
    void setNeedsRedrawCallback(std::function<void()> callback) { m_redrawCallback = std::move(callback); }
    bool needsRedraw() const { return m_needsRedraw; }
    // What changed since the last clearNeedsRedraw(), in window coordinates: the rectangles
    // (overlapping ones merged, at most kMaxDirtyRects) and their union.
    Rect dirtyRect() const { return m_dirtyRect; }
    const std::vector<Rect>& dirtyRects() const { return m_dirtyRects; }
    static constexpr std::size_t kMaxDirtyRects = 16;
    void setNeedsRedraw(const Rect& rect);
    void clearNeedsRedraw();

    // Input from the host, in window points. A touch goes to the view hit when it began, through
    // its phases, unless an ancestor intercepts it (View::interceptTouch). The wheel goes to
    // the view under the point, which passes it up until one scrolls.
    void sendTouch(Touch::Phase phase, Point location, Point velocity = {}, double timestamp = 0);
    void sendScrollWheel(Point location, double dx, double dy);
    // The device says a run of wheel steps is over (fingers lifted from a touchpad): told to
    // the view under the point, which passes it up until one was scrolling.
    void sendScrollWheelEnded(Point location);
    // The view the current touch is delivered to, if one is in progress.
    View* touchTarget() const { return m_touchTarget.get(); }
    // Routes the rest of the current touch to `view` (not the one hit); the old one is cancelled.
    void captureTouch(View* view);

    // The keyboard focus: the view keys go to first. Null when none has it, or when the view
    // that had it has left this window.
    View* firstResponder() const;
    // Used by View::becomeFirstResponder and resignFirstResponder; both views are redrawn so
    // that the focus ring moves.
    void setFirstResponder(View* view);
    // A key from the host: to the first responder, which passes what it does not use up its
    // superviews (without one, to the window itself); a key no view used goes to the screens:
    // the controller presented on top, else the root controller. Tells whether one used it.
    // Tab moves the focus (see moveFocus); Escape unused by the screens dismisses a popover on
    // top; a control key combination unused by the views goes to the root controller as a
    // key command (ViewController::performKeyCommand) while nothing is presented over it.
    bool sendKey(const KeyEvent& event);
    // Moves the focus to the next view Tab stops at (the previous one when `backwards`), wrapping
    // around: within the controller presented on top, else the whole window. False when there
    // is no such view.
    bool moveFocus(bool backwards);
    // The views Tab stops at now, in reading order (see kit::focusOrder).
    std::vector<View*> focusOrder();

    // The screen changes size (a tablet turned): the root controller is told through
    // viewWillTransitionToSize with a coordinator of `duration`, then the window takes the
    // new size, animated over that duration.
    void transitionToSize(Size size, double duration);

    // Used by ViewController: controllers presented over the root, bottom first. The keyboard
    // follows: the first view Tab stops at in a controller that comes up takes the focus, and
    // when it goes the view focused before it has the focus again.
    void pushPresented(std::shared_ptr<ViewController> controller);
    void popPresented(ViewController* controller);
    const std::vector<std::shared_ptr<ViewController>>& presentedControllers() const { return m_presented; }

    // Object
    std::string className() const override { return "UIWindow"; }
    // View: Tab and Shift+Tab, when no view used them.
    bool keyDown(const KeyEvent& event) override;

protected:
    Window();
    friend class View;

    void boundsSizeDidChange(Size oldSize) override;

private:
    std::shared_ptr<ViewController> m_rootViewController;
    std::vector<std::shared_ptr<ViewController>> m_presented;
    // Per presented controller, the view that had the focus when it came up.
    std::vector<std::weak_ptr<View>> m_focusBeforePresented;
    double m_level = kLevelNormal;
    bool m_visible = false;
    bool m_needsRedraw = true;
    Rect m_dirtyRect;
    std::vector<Rect> m_dirtyRects;
    std::function<void()> m_redrawCallback;

    std::weak_ptr<View> m_firstResponder;
    std::shared_ptr<View> m_touchTarget;
    Touch m_touch;
    bool m_touchActive = false;
};

} // namespace kit

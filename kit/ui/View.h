// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/KeyEvent.h"
#include "kit/ui/Touch.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class GraphicsContext;
class ViewController;
class Window;

// Which of a view's margins and dimensions stretch when its superview's bounds change size.
enum AutoresizingMask : unsigned {
    AutoresizingNone = 0,
    FlexibleLeftMargin = 1 << 0,
    FlexibleWidth = 1 << 1,
    FlexibleRightMargin = 1 << 2,
    FlexibleTopMargin = 1 << 3,
    FlexibleHeight = 1 << 4,
    FlexibleBottomMargin = 1 << 5,
};

// What kind of element a view is for a screen reader; a view's traits combine these bits.
enum AccessibilityTrait : unsigned {
    AccessibilityTraitNone = 0,
    AccessibilityTraitButton = 1 << 0,
    AccessibilityTraitHeader = 1 << 1,
    AccessibilityTraitSelected = 1 << 2,
    AccessibilityTraitImage = 1 << 3,
    AccessibilityTraitStaticText = 1 << 4,
    AccessibilityTraitAdjustable = 1 << 5,
    // On a container: the buttons inside are its tabs.
    AccessibilityTraitTabBar = 1 << 6,
    AccessibilityTraitNotEnabled = 1 << 7,
};

// How a view's content (an image) fills its bounds.
enum class ContentMode {
    ScaleToFill,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// A rectangle of the retained view tree: geometry, appearance, subviews, drawing, input.
// Views are created with View::create<T>(...) and held by shared_ptr; a superview owns its
// subviews, a subview keeps a plain pointer back to its superview.
class View : public Object, public std::enable_shared_from_this<View> {
public:
    template<typename T = View, typename... Args>
    static std::shared_ptr<T> create(Args&&... args)
    {
        auto view = std::shared_ptr<T>(new T(std::forward<Args>(args)...));
        // Through the base: subclasses may keep their override protected.
        static_cast<View*>(view.get())->didCreate();
        return view;
    }

    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Object
    std::string className() const override { return "UIView"; }

    // Named values of a view, looked up by key ("_capacity" on the status bar's battery item).
    // Null when the view has no such value; "tag" and "className" are known to every view.
    virtual Value valueForKey(std::string_view key) const;

    // Geometry. The frame is in the superview's coordinates and is derived from center, bounds
    // and transform; with a non-identity transform it is the bounding box of the turned view.
    Rect frame() const;
    virtual void setFrame(const Rect& frame);
    Rect bounds() const { return m_bounds; }
    // The bounds' origin shifts the content (a scroll offset); its size is the view's own size.
    virtual void setBounds(const Rect& bounds);
    Point center() const { return m_center; }
    void setCenter(Point center);
    AffineTransform transform() const { return m_transform; }
    // Applied about the center.
    void setTransform(const AffineTransform& transform);

    // Appearance.
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const Color& color);
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool clips);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    Color borderColor() const { return m_borderColor; }
    void setBorderColor(const Color& color);
    // A shadow cast by everything the view draws (its content and subviews), offset and
    // softened by the radius; an opacity of 0 casts none.
    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double opacity);
    Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(Size offset);
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double radius);
    Color shadowColor() const { return m_shadowColor; }
    void setShadowColor(const Color& color);
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);
    // The view's own tint, else the nearest ancestor's, else the window's, else system blue.
    Color tintColor() const;
    void setTintColor(std::optional<Color> color);
    // Called on the view and its subtree when the effective tint changes.
    virtual void tintColorDidChange() { }

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // The first view with the tag in a depth-first search: this view first, then each subview's
    // subtree in order. nullptr when none has it.
    View* viewWithTag(int tag);
    const View* viewWithTag(int tag) const;
    // The first view of the subtree (this one first) whose className() is `name`.
    View* findViewOfClass(std::string_view name);

    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { m_userInteractionEnabled = enabled; }

    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool on) { m_autoresizesSubviews = on; }

    // The hierarchy.
    View* superview() const { return m_superview; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    // Adding a view that has another superview moves it; adding to itself or to one of its own
    // descendants is refused.
    void addSubview(std::shared_ptr<View> view);
    // Index clamped to 0…count.
    void insertSubview(std::shared_ptr<View> view, std::size_t index);
    // When `sibling` is not a subview, the view is added at the back (below) or the front (above).
    void insertSubviewBelow(std::shared_ptr<View> view, const View* sibling);
    void insertSubviewAbove(std::shared_ptr<View> view, const View* sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    void removeAllSubviews();
    bool isDescendantOf(const View* view) const;
    // The window at the root of this view's tree, if any.
    Window* window() const;
    // The controller whose root view this is, if any (not owned).
    ViewController* viewController() const { return m_viewController; }

    // Layout. layoutSubviews runs from layoutIfNeeded (the host calls it on the window before
    // drawing) after setNeedsLayout or a bounds size change.
    virtual void layoutSubviews() { }
    void setNeedsLayout();
    void layoutIfNeeded();
    bool needsLayout() const { return m_needsLayout; }
    // The size that best fits the content within `size`; by default the current size.
    virtual Size sizeThatFits(Size size) const;
    // Resizes to sizeThatFits(current size), keeping the origin.
    void sizeToFit();

    // Drawing. draw() paints the view's own content in its bounds' coordinates, after the
    // background and before the subviews; `dirty` is the part that must be painted.
    virtual void draw(GraphicsContext& context, const Rect& dirty);
    // Marks what the view and its subviews cover in the window (see damageArea) for drawing.
    void setNeedsDisplay();
    bool needsDisplay() const { return m_needsDisplay; }
    // The part of its bounds' coordinates that draw() may paint: the bounds by default. A view
    // that paints past them (text taller than its label, glyphs overhanging) widens it, or the
    // overhang would be left stale when only the damaged part of the window is drawn.
    virtual Rect drawnBounds() const { return m_bounds; }
    // What the view, its border, shadow and focus ring, and its visible subviews (unless it
    // clips them) cover in the window's coordinates, as they are drawn now: at the presented
    // values of the view, its subviews and its ancestors while any of them animate.
    Rect damageArea() const;

    // Coordinate conversion, honouring every transform on the way. `other` == nullptr means the
    // window (the root of the tree).
    Point convertPointTo(Point point, const View* other) const;
    Point convertPointFrom(Point point, const View* other) const;
    Rect convertRectTo(const Rect& rect, const View* other) const;
    Rect convertRectFrom(const Rect& rect, const View* other) const;
    // From this view's bounds coordinates to its superview's, and back.
    AffineTransform transformToSuperview() const;

    // The deepest visible, interactive view under `point` (in this view's bounds coordinates),
    // front-most subview first; nullptr when the point is outside or the view is hidden,
    // nearly transparent (alpha < 0.01) or not interactive. Points outside the bounds still
    // reach subviews unless the view clips to bounds.
    virtual View* hitTest(Point point);
    virtual bool pointInside(Point point) const;

    // Input. By default touches and wheel scrolls pass to the superview.
    virtual void touchesBegan(const Touch& touch);
    virtual void touchesMoved(const Touch& touch);
    virtual void touchesEnded(const Touch& touch);
    virtual void touchesCancelled(const Touch& touch);
    // Asked of each ancestor of the touched view, outermost first, before every phase reaches
    // it. Returning true takes the touch over: the touched view gets touchesCancelled and this
    // view gets the current phase and the rest (a scroll view starting to pan).
    virtual bool interceptTouch(const Touch&) { return false; }
    // Points to scroll; positive dy moves the content up (towards its end).
    virtual void scrollWheel(double dx, double dy);
    // The device ended a run of wheel steps (touchpad fingers lifted); passed up by default.
    virtual void scrollWheelEnded();

    // Keyboard. A key goes to the key window's first responder; keyDown returns whether the
    // key was used, and by default passes it to the superview.
    virtual bool keyDown(const KeyEvent& event);
    // Whether the view may take the keyboard focus (false by default).
    virtual bool canBecomeFirstResponder() const { return false; }
    // Takes the focus in the view's window; false when the view cannot or is in no window.
    bool becomeFirstResponder();
    // Gives the focus up if the view has it.
    void resignFirstResponder();
    bool isFirstResponder() const;
    // Whether Tab and Shift+Tab stop at the view. By default any view that can take the focus;
    // views that take it only when asked (a panel handling keys for its buttons) say no.
    virtual bool canBecomeFocused() const { return canBecomeFirstResponder(); }
    // Whether a ring in the tint colour is drawn around the view while it has the focus.
    virtual bool showsFocusRing() const { return false; }
    // The line the focus ring's middle follows, in bounds coordinates: just outside the bounds,
    // or just inside where the outside would fall off the window's edge (a view as wide as the
    // screen).
    virtual Rect focusRingRect() const;
    // The ring's width and its gap to the bounds.
    static constexpr double kFocusRingWidth = 2;
    static constexpr double kFocusRingGap = 1;

    // Accessibility: what a screen reader is told about the view. Each property has the class's
    // default until it is set; resetting to nullopt brings the default back. An element's
    // subviews are not reached (its label speaks for them); a view that is no element may still
    // hold elements. The traits are a set of AccessibilityTrait bits.
    bool isAccessibilityElement() const;
    void setIsAccessibilityElement(std::optional<bool> element);
    std::string accessibilityLabel() const;
    void setAccessibilityLabel(std::optional<std::string> label);
    std::string accessibilityValue() const;
    void setAccessibilityValue(std::optional<std::string> value);
    unsigned accessibilityTraits() const;
    void setAccessibilityTraits(std::optional<unsigned> traits);
    // The view's bounds in window coordinates.
    Rect accessibilityFrame() const;
    // Parts drawn by the view itself that read as elements of their own (a tab bar's items, a
    // segmented control's segments), in the view's bounds coordinates. None by default.
    struct AccessibilityPart {
        std::string label;
        std::string value;
        unsigned traits = 0;
        Rect frame;
    };
    virtual std::vector<AccessibilityPart> accessibilityParts() const { return {}; }
    // Acts on the element (part -1) or one of its parts as a tap would; false when the view has
    // no action of its own, and the caller taps the element's centre instead.
    virtual bool accessibilityActivate(int part);
    // Stays the same for the view's life, never reused within the process.
    std::uint64_t accessibilityIdentity() const { return m_accessibilityIdentity; }

    // Animation. Alpha, frame, center, bounds and transform set inside `changes` take their new
    // values at once; what is drawn moves there over `duration` seconds, eased in and out.
    // `completion(finished)` runs when the animations end, with finished == false when they
    // were superseded by a later animation of the same values. A duration <= 0 applies the
    // changes without animating and completes at once.
    enum class Curve { EaseInOut, EaseIn, EaseOut, Linear };
    static void animate(double duration, const std::function<void()>& changes,
        std::function<void(bool finished)> completion = {});
    static void animate(double duration, double delay, Curve curve, const std::function<void()>& changes,
        std::function<void(bool finished)> completion = {});
    static void performWithoutAnimation(const std::function<void()>& changes);

    // The values being drawn; they differ from the model values above while animating.
    struct Presentation {
        Point center;
        Rect bounds;
        AffineTransform transform;
        double alpha = 1;
    };
    Presentation presentation() const;
    bool isAnimating() const;
    void removeAllAnimations();

    // Used by the animator.
    void setPresentation(const Presentation& presentation, unsigned animatedMask);
    void clearPresentation(unsigned animatedMask);

    // Used by the renderer once the view is drawn.
    void didDisplay() { m_needsDisplay = false; }

    // Used by ViewController.
    void setViewController(ViewController* controller) { m_viewController = controller; }

protected:
    // Construct through create(): it runs didCreate(), which a view that builds subviews (a
    // VisualEffectView's content view, a table's cells) needs before anyone uses it.
    View();

    // Runs once right after creation, when shared_from_this() works.
    virtual void didCreate() { }

    // The class's accessibility defaults, used while a property is not set.
    virtual bool defaultIsAccessibilityElement() const { return false; }
    virtual std::string defaultAccessibilityLabel() const { return {}; }
    virtual std::string defaultAccessibilityValue() const { return {}; }
    virtual unsigned defaultAccessibilityTraits() const { return 0; }
    // Whether a label was set (an image view becomes an element once it has one).
    bool hasAccessibilityLabel() const { return m_accessibility && m_accessibility->label.has_value(); }

    virtual void willMoveToSuperview(View*) { }
    virtual void didMoveToSuperview() { }
    virtual void willMoveToWindow(Window*) { }
    virtual void didMoveToWindow() { }
    virtual void didAddSubview(View*) { }
    virtual void willRemoveSubview(View*) { }
    // After the bounds' size changed (before autoresizing the subviews).
    virtual void boundsSizeDidChange(Size) { }

private:
    void insertSubviewAt(std::shared_ptr<View> view, std::size_t index);
    void detachFromSuperview();
    void notifyWindowChange(Window* oldWindow, Window* newWindow);
    void resizeSubviews(Size oldSize);
    void markWindowDirty();
    // damageArea() with the spread of the ancestors' shadows: what a change of the view repaints.
    Rect windowDirtyArea(const Window& window) const;
    // Whether the view is in a window and neither it nor an ancestor is hidden.
    bool isDrawnInWindow(const Window*& window) const;
    // Repaints `before` (the dirty area before a presentation step) and the area now.
    void damageMove(const Rect& before);
    Rect reachIn(const AffineTransform& toWindow) const;
    void propagateTintChange();

    View* m_superview = nullptr;
    std::vector<std::shared_ptr<View>> m_subviews;
    ViewController* m_viewController = nullptr; // not owned

    Point m_center;
    Rect m_bounds;
    AffineTransform m_transform;
    double m_alpha = 1;
    bool m_hidden = false;
    Color m_backgroundColor = Color::clear();
    bool m_clipsToBounds = false;
    double m_cornerRadius = 0;
    double m_borderWidth = 0;
    Color m_borderColor = Color::black();
    ContentMode m_contentMode = ContentMode::ScaleToFill;
    double m_shadowOpacity = 0;
    Size m_shadowOffset { 0, -3 };
    double m_shadowRadius = 3;
    Color m_shadowColor = Color::black();
    std::optional<Color> m_tintColor;
    int m_tag = 0;
    bool m_userInteractionEnabled = true;
    unsigned m_autoresizingMask = AutoresizingNone;
    bool m_autoresizesSubviews = true;
    bool m_needsLayout = true;
    bool m_needsDisplay = true;
    int m_damageSuppressed = 0; // inside setFrame, which marks the old and new extents itself

    Presentation m_presentation;
    unsigned m_animatedMask = 0;

    // Set only for the few views a screen describes itself.
    struct AccessibilityOverrides {
        std::optional<bool> element;
        std::optional<std::string> label;
        std::optional<std::string> value;
        std::optional<unsigned> traits;
    };
    std::unique_ptr<AccessibilityOverrides> m_accessibility;
    std::uint64_t m_accessibilityIdentity;
};

} // namespace kit

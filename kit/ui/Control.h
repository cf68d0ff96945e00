// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/View.h"

#include <functional>
#include <vector>

namespace kit {

enum class ControlEvent { TouchDown, TouchUpInside, TouchUpOutside, TouchCancel, ValueChanged };

// A view that tracks a touch and sends actions: highlighted while a touch that began on it
// is inside (with a margin), touch up inside when it ends there.
class Control : public View {
public:
    using Action = std::function<void(Control&)>;

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isTracking() const { return m_tracking; }

    // Actions run in the order they were added.
    void addAction(ControlEvent event, Action action);
    void removeActions(ControlEvent event);
    void sendActions(ControlEvent event);

    // Object
    std::string className() const override { return "UIControl"; }
    // View
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    View* hitTest(Point point) override;
    // An enabled control takes the focus, shows the ring, and acts on Return and Space as on a
    // tap (touch up inside).
    bool canBecomeFirstResponder() const override { return m_enabled && !isHidden(); }
    bool showsFocusRing() const override { return true; }
    bool keyDown(const KeyEvent& event) override;

    // How far outside its bounds a moving touch still counts as inside.
    static constexpr double kTrackingMargin = 70;

    bool accessibilityActivate(int part) override;

protected:
    Control() = default;
    friend class View;

    unsigned defaultAccessibilityTraits() const override;
    virtual void stateDidChange() { setNeedsDisplay(); }
    bool isTouchInside(const Touch& touch) const;

private:
    bool m_enabled = true;
    bool m_highlighted = false;
    bool m_selected = false;
    bool m_tracking = false;
    std::vector<std::pair<ControlEvent, Action>> m_actions;
};

} // namespace kit

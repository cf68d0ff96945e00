// SPDX-License-Identifier: MIT
#include "kit/ui/Control.h"

namespace kit {

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        m_tracking = false;
        m_highlighted = false;
        resignFirstResponder();
    }
    stateDidChange();
}

void Control::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    stateDidChange();
}

void Control::addAction(ControlEvent event, Action action)
{
    if (action)
        m_actions.emplace_back(event, std::move(action));
}

void Control::removeActions(ControlEvent event)
{
    std::erase_if(m_actions, [&](auto& entry) { return entry.first == event; });
}

void Control::sendActions(ControlEvent event)
{
    // An action may add or remove actions, or drop the last reference to this control.
    auto keep = shared_from_this();
    auto actions = m_actions;
    for (auto& [e, action] : actions) {
        if (e == event)
            action(*this);
    }
}

bool Control::isTouchInside(const Touch& touch) const
{
    Point p = touch.locationInView(this);
    return bounds().insetBy(-kTrackingMargin, -kTrackingMargin).contains(p);
}

View* Control::hitTest(Point point)
{
    if (!m_enabled)
        return nullptr;
    return View::hitTest(point);
}

bool Control::keyDown(const KeyEvent& event)
{
    bool activates = (event.key == Key::Return || event.key == Key::Space) && event.modifiers == KeyModifierNone;
    if (m_enabled && activates) {
        sendActions(ControlEvent::TouchUpInside);
        return true;
    }
    return View::keyDown(event);
}

void Control::touchesBegan(const Touch&)
{
    if (!m_enabled)
        return;
    m_tracking = true;
    setHighlighted(true);
    sendActions(ControlEvent::TouchDown);
}

void Control::touchesMoved(const Touch& touch)
{
    if (!m_tracking)
        return;
    setHighlighted(isTouchInside(touch));
}

void Control::touchesEnded(const Touch& touch)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    bool inside = isTouchInside(touch);
    setHighlighted(false);
    sendActions(inside ? ControlEvent::TouchUpInside : ControlEvent::TouchUpOutside);
}

void Control::touchesCancelled(const Touch&)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    setHighlighted(false);
    sendActions(ControlEvent::TouchCancel);
}

unsigned Control::defaultAccessibilityTraits() const
{
    return (m_enabled ? 0u : unsigned(AccessibilityTraitNotEnabled)) | (m_selected ? unsigned(AccessibilityTraitSelected) : 0u);
}

bool Control::accessibilityActivate(int part)
{
    if (part >= 0)
        return false;
    // A disabled control takes the action and does nothing, as it does a tap.
    if (m_enabled)
        sendActions(ControlEvent::TouchUpInside);
    return true;
}

} // namespace kit

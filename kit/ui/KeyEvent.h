// SPDX-License-Identifier: MIT
#pragma once

namespace kit {

// The keys the views act on; every other key arrives as Other. The digits are the ones of the
// main row (Ctrl+1 chooses the first tab).
enum class Key {
    Other,
    Tab,
    Escape,
    Return,
    Space,
    Left,
    Right,
    Up,
    Down,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9
};

// 1…9 for Key::Digit1…Digit9, else 0.
constexpr int digitValue(Key key)
{
    int value = static_cast<int>(key) - static_cast<int>(Key::Digit1) + 1;
    return value >= 1 && value <= 9 ? value : 0;
}

enum KeyModifier : unsigned {
    KeyModifierNone = 0,
    KeyModifierShift = 1 << 0,
    KeyModifierControl = 1 << 1,
    KeyModifierAlt = 1 << 2,
};

// A key press, delivered to the key window's first responder (View::keyDown).
struct KeyEvent {
    Key key = Key::Other;
    unsigned modifiers = KeyModifierNone;

    bool hasShift() const { return modifiers & KeyModifierShift; }
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

namespace kit {

// The keys the views act on; every other key arrives as Other.
enum class Key { Other, Tab, Escape, Return, Space, Left, Right, Up, Down };

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

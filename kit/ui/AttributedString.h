// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// How one run of styled text looks. Unset parts take the drawing view's defaults (its font,
// its text colour).
struct TextAttributes {
    FontPtr font;
    std::optional<Color> foregroundColor;

    bool operator==(const TextAttributes& other) const;
};

// Styled text: runs of UTF-8 text, each with its attributes, in order. Runs are kept as they
// were appended, empty ones included.
class AttributedString : public Object {
public:
    struct Run {
        std::string text;
        TextAttributes attributes;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text, TextAttributes attributes = {});

    // Object
    std::string className() const override { return "NSAttributedString"; }

    void append(const AttributedString& other);
    void append(std::string text, TextAttributes attributes = {});

    const std::vector<Run>& runs() const { return m_runs; }
    // The whole text.
    std::string string() const;
    // In UTF-16 code units: the unit that ranges into the text count in.
    std::size_t length() const;
    bool isEmpty() const;

    // The text wrapped in `width` and laid out from the top (line-fragment origin): origin 0,0,
    // the widest line's width and the lines' total height. A size's height limits how many
    // whole lines count (the first always does); width <= 0 means unlimited.
    Rect boundingRect(double width) const;
    Rect boundingRect(Size size) const;

    bool operator==(const AttributedString& other) const;

private:
    std::vector<Run> m_runs;
};

// Measures plain text in one font, as AttributedString::boundingRect does.
Rect boundingRectForString(std::string_view text, const FontPtr& font, double width);
Rect boundingRectForString(std::string_view text, const FontPtr& font, Size size);

} // namespace kit

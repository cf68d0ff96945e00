// SPDX-License-Identifier: MIT
#include "kit/ui/AttributedString.h"

#include "kit/ui/TextLayout.h"

namespace kit {

bool TextAttributes::operator==(const TextAttributes& other) const
{
    auto sameFont = [](const FontPtr& a, const FontPtr& b) {
        if (a == b)
            return true;
        if (!a || !b)
            return false;
        return a->familyName() == b->familyName() && a->styleName() == b->styleName() && a->pointSize() == b->pointSize();
    };
    return sameFont(font, other.font) && foregroundColor == other.foregroundColor;
}

AttributedString::AttributedString(std::string text, TextAttributes attributes)
{
    m_runs.push_back({ std::move(text), std::move(attributes) });
}

void AttributedString::append(const AttributedString& other)
{
    // Copy first: appending a string to itself must not read what it is writing.
    auto runs = other.m_runs;
    m_runs.insert(m_runs.end(), runs.begin(), runs.end());
}

void AttributedString::append(std::string text, TextAttributes attributes)
{
    m_runs.push_back({ std::move(text), std::move(attributes) });
}

std::string AttributedString::string() const
{
    std::string text;
    for (auto& run : m_runs)
        text += run.text;
    return text;
}

std::size_t AttributedString::length() const
{
    std::size_t units = 0;
    for (auto& run : m_runs) {
        const auto& s = run.text;
        for (std::size_t i = 0; i < s.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(s[i]);
            if ((c & 0xC0) == 0x80)
                continue; // continuation byte
            // Four-byte sequences lie outside the basic plane: two UTF-16 units.
            units += c >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

bool AttributedString::isEmpty() const
{
    for (auto& run : m_runs) {
        if (!run.text.empty())
            return false;
    }
    return true;
}

Rect AttributedString::boundingRect(double width) const { return boundingRect(Size { width, 0 }); }

Rect AttributedString::boundingRect(Size size) const
{
    if (isEmpty())
        return {};
    TextLayout::Options options;
    options.width = size.width;
    options.maxHeight = size.height;
    options.alignment = TextAlignment::Left;
    options.lineBreakMode = LineBreakMode::WordWrap;
    options.defaultFont = Font::systemFont(12);
    TextLayout layout(*this, options);
    return { { 0, 0 }, layout.size() };
}

bool AttributedString::operator==(const AttributedString& other) const
{
    if (m_runs.size() != other.m_runs.size())
        return false;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (m_runs[i].text != other.m_runs[i].text || !(m_runs[i].attributes == other.m_runs[i].attributes))
            return false;
    }
    return true;
}

Rect boundingRectForString(std::string_view text, const FontPtr& font, double width)
{
    return boundingRectForString(text, font, Size { width, 0 });
}

Rect boundingRectForString(std::string_view text, const FontPtr& font, Size size)
{
    AttributedString s(std::string(text), TextAttributes { font ? font : Font::systemFont(12), {} });
    return s.boundingRect(size);
}

} // namespace kit

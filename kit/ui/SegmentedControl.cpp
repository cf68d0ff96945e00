// SPDX-License-Identifier: MIT
#include "kit/ui/SegmentedControl.h"

#include "kit/ui/AttributedString.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace kit {

static constexpr double kHeight = 29;
static constexpr double kSegmentPadding = 12;
static constexpr double kCorner = 4;

SegmentedControl::SegmentedControl(std::vector<std::string> titles)
    : m_titles(std::move(titles))
    , m_font(Font::systemFont(13))
{
    setFrame({ 0, 0, 0, kHeight });
    sizeToFit();
}

std::string SegmentedControl::titleForSegmentAtIndex(int index) const
{
    if (index < 0 || index >= numberOfSegments())
        return {};
    return m_titles[index];
}

void SegmentedControl::setTitle(std::string title, int index)
{
    if (index < 0 || index >= numberOfSegments() || m_titles[index] == title)
        return;
    m_titles[index] = std::move(title);
    setNeedsDisplay();
}

void SegmentedControl::insertSegment(std::string title, int index)
{
    index = std::clamp(index, 0, numberOfSegments());
    m_titles.insert(m_titles.begin() + index, std::move(title));
    if (m_selectedIndex >= index)
        ++m_selectedIndex;
    setNeedsDisplay();
}

void SegmentedControl::removeSegment(int index)
{
    if (index < 0 || index >= numberOfSegments())
        return;
    m_titles.erase(m_titles.begin() + index);
    if (m_selectedIndex == index)
        m_selectedIndex = kNoSegment;
    else if (m_selectedIndex > index)
        --m_selectedIndex;
    setNeedsDisplay();
}

void SegmentedControl::setSelectedSegmentIndex(int index)
{
    if (index < 0 || index >= numberOfSegments())
        index = kNoSegment;
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    setNeedsDisplay();
}

void SegmentedControl::setMomentary(bool momentary)
{
    if (momentary == m_momentary)
        return;
    m_momentary = momentary;
    if (momentary)
        setSelectedSegmentIndex(kNoSegment);
}

void SegmentedControl::setFont(FontPtr font)
{
    if (!font || font == m_font)
        return;
    m_font = std::move(font);
    setNeedsDisplay();
}

Rect SegmentedControl::segmentFrame(int index) const
{
    int count = numberOfSegments();
    if (index < 0 || index >= count)
        return {};
    Rect b = bounds();
    double w = b.width() / count;
    return { b.x() + w * index, b.y(), w, b.height() };
}

int SegmentedControl::segmentAtPoint(Point point) const
{
    for (int i = 0; i < numberOfSegments(); ++i)
        if (segmentFrame(i).contains(point))
            return i;
    return kNoSegment;
}

Size SegmentedControl::sizeThatFits(Size) const
{
    double widest = 0;
    for (auto& title : m_titles) {
        TextLayout::Options options;
        options.defaultFont = m_font;
        TextLayout layout(AttributedString(title), options);
        widest = std::max(widest, layout.size().width);
    }
    double w = std::ceil(widest + 2 * kSegmentPadding) * numberOfSegments();
    return { std::max(w, 2 * kSegmentPadding), kHeight };
}

void SegmentedControl::draw(GraphicsContext& g, const Rect&)
{
    Rect b = bounds().insetBy(0.5, 0.5);
    Color tint = isEnabled() ? tintColor() : Color::gray();
    g.save();
    g.clipToRoundedRect(b, kCorner);
    for (int i = 0; i < numberOfSegments(); ++i) {
        Rect f = segmentFrame(i);
        bool selected = i == m_selectedIndex;
        bool pressed = i == m_pressedIndex;
        if (selected)
            g.fillRect(f, tint);
        else if (pressed)
            g.fillRect(f, tint.withAlpha(0.2));
        TextLayout::Options options;
        options.width = f.width() - 4;
        options.numberOfLines = 1;
        options.alignment = TextAlignment::Center;
        options.lineBreakMode = LineBreakMode::TruncateTail;
        options.defaultFont = m_font;
        options.defaultColor = selected ? Color::white() : tint;
        TextLayout layout(AttributedString(m_titles[i]), options);
        g.drawText(layout, { f.x() + 2, f.midY() - layout.size().height / 2 });
        if (i > 0) {
            g.setStrokeColor(tint);
            g.setLineWidth(1);
            g.strokeLine({ f.x(), f.y() }, { f.x(), f.maxY() });
        }
    }
    g.restore();
    g.setStrokeColor(tint);
    g.setLineWidth(1);
    g.strokeRoundedRect(b, kCorner);
}

void SegmentedControl::touchesBegan(const Touch& touch)
{
    Control::touchesBegan(touch);
    m_pressedIndex = isEnabled() ? segmentAtPoint(touch.locationInView(this)) : kNoSegment;
    setNeedsDisplay();
}

void SegmentedControl::touchesEnded(const Touch& touch)
{
    int pressed = m_pressedIndex;
    m_pressedIndex = kNoSegment;
    int index = segmentAtPoint(touch.locationInView(this));
    bool inside = isEnabled() && index != kNoSegment && index == pressed;
    Control::touchesEnded(touch);
    setNeedsDisplay();
    if (inside)
        selectSegmentAsUser(index);
}

void SegmentedControl::selectSegmentAsUser(int index)
{
    if (m_momentary) {
        // The tapped segment reads as selected while the actions run, then nothing is.
        m_selectedIndex = index;
        sendActions(ControlEvent::ValueChanged);
        m_selectedIndex = kNoSegment;
        return;
    }
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    sendActions(ControlEvent::ValueChanged);
}

int SegmentedControl::focusedSegmentIndex() const
{
    if (m_focusedIndex >= 0 && m_focusedIndex < numberOfSegments())
        return m_focusedIndex;
    if (m_selectedIndex >= 0 && m_selectedIndex < numberOfSegments())
        return m_selectedIndex;
    return numberOfSegments() > 0 ? 0 : kNoSegment;
}

bool SegmentedControl::keyDown(const KeyEvent& event)
{
    int focused = focusedSegmentIndex();
    if (!isEnabled() || focused == kNoSegment || event.modifiers != KeyModifierNone)
        return Control::keyDown(event);
    switch (event.key) {
    case Key::Left:
    case Key::Right:
        m_focusedIndex = std::clamp(focused + (event.key == Key::Left ? -1 : 1), 0, numberOfSegments() - 1);
        setNeedsDisplay();
        return true;
    case Key::Return:
    case Key::Space:
        selectSegmentAsUser(focused);
        setNeedsDisplay();
        return true;
    default:
        return Control::keyDown(event);
    }
}

Rect SegmentedControl::focusRingRect() const
{
    int focused = focusedSegmentIndex();
    if (focused == kNoSegment)
        return Control::focusRingRect();
    double out = kFocusRingGap + kFocusRingWidth / 2;
    return segmentFrame(focused).insetBy(-out, -out);
}

void SegmentedControl::touchesCancelled(const Touch& touch)
{
    m_pressedIndex = kNoSegment;
    Control::touchesCancelled(touch);
    setNeedsDisplay();
}

std::vector<View::AccessibilityPart> SegmentedControl::accessibilityParts() const
{
    std::vector<AccessibilityPart> parts;
    unsigned disabled = isEnabled() ? 0u : unsigned(AccessibilityTraitNotEnabled);
    for (int i = 0; i < numberOfSegments(); ++i) {
        unsigned traits
            = AccessibilityTraitButton | disabled | (i == m_selectedIndex ? unsigned(AccessibilityTraitSelected) : 0u);
        parts.push_back({ m_titles[std::size_t(i)], {}, traits, segmentFrame(i) });
    }
    return parts;
}

bool SegmentedControl::accessibilityActivate(int part)
{
    if (part < 0 || part >= numberOfSegments())
        return false;
    if (!isEnabled())
        return true;
    // As a tap on the segment: momentary controls report it while the actions run.
    if (m_momentary) {
        m_selectedIndex = part;
        sendActions(ControlEvent::ValueChanged);
        m_selectedIndex = kNoSegment;
        setNeedsDisplay();
        return true;
    }
    if (part != m_selectedIndex) {
        m_selectedIndex = part;
        setNeedsDisplay();
        sendActions(ControlEvent::ValueChanged);
    }
    return true;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/Label.h"

#include "kit/ui/GraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace kit {

Label::Label()
    : m_font(Font::systemFont(17))
{
    setUserInteractionEnabled(false);
}

Label::Label(std::string text)
    : Label()
{
    m_text = std::move(text);
}

std::string Label::text() const { return m_attributedText ? m_attributedText->string() : m_text; }

void Label::setText(std::string text)
{
    if (!m_attributedText && text == m_text)
        return;
    m_text = std::move(text);
    m_attributedText.reset();
    invalidateLayout();
}

void Label::setAttributedText(std::shared_ptr<AttributedString> text)
{
    // The same text built afresh (a refresh composing its figures again) changes nothing.
    if (text == m_attributedText || (text && m_attributedText && *text == *m_attributedText))
        return;
    m_attributedText = std::move(text);
    m_text.clear();
    invalidateLayout();
}

void Label::setFont(FontPtr font)
{
    if (!font)
        font = Font::systemFont(17);
    if (font == m_font)
        return;
    m_font = std::move(font);
    invalidateLayout();
}

void Label::setTextColor(const Color& color)
{
    if (color == m_textColor)
        return;
    m_textColor = color;
    invalidateLayout();
}

void Label::setShadowColor(const Color& color)
{
    if (color == m_shadowColor)
        return;
    setNeedsDisplay(); // where the old shadow lay
    m_shadowColor = color;
    setNeedsDisplay();
}

void Label::setShadowOffset(Size offset)
{
    if (offset == m_shadowOffset)
        return;
    setNeedsDisplay(); // where the old shadow lay
    m_shadowOffset = offset;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    invalidateLayout();
}

void Label::setNumberOfLines(int lines)
{
    lines = std::max(0, lines);
    if (lines == m_numberOfLines)
        return;
    m_numberOfLines = lines;
    invalidateLayout();
}

void Label::setLineBreakMode(LineBreakMode mode)
{
    if (mode == m_lineBreakMode)
        return;
    m_lineBreakMode = mode;
    invalidateLayout();
}

void Label::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    setNeedsDisplay();
}

void Label::setVibrant(bool vibrant)
{
    if (vibrant == m_vibrant)
        return;
    m_vibrant = vibrant;
    setNeedsDisplay();
}

void Label::setAdjustsFontSizeToFitWidth(bool adjusts)
{
    if (adjusts == m_adjustsFontSizeToFitWidth)
        return;
    m_adjustsFontSizeToFitWidth = adjusts;
    invalidateLayout();
}

void Label::setMinimumScaleFactor(double factor)
{
    factor = std::isfinite(factor) ? std::clamp(factor, 0.0, 1.0) : 0.0;
    if (factor == m_minimumScaleFactor)
        return;
    m_minimumScaleFactor = factor;
    invalidateLayout();
}

double Label::fontScale() const
{
    if (text().empty())
        return 1;
    layoutFor(bounds().width());
    return m_layoutScale;
}

AttributedString Label::scaledText(double scale) const
{
    AttributedString text = m_attributedText ? *m_attributedText : AttributedString(m_text);
    if (scale == 1)
        return text;
    AttributedString scaled;
    for (const auto& run : text.runs()) {
        TextAttributes attributes = run.attributes;
        if (attributes.font)
            attributes.font = attributes.font->withSize(attributes.font->pointSize() * scale);
        scaled.append(run.text, attributes);
    }
    return scaled;
}

bool Label::fitsAtScale(double scale, Size size) const
{
    // Half a hundredth of a point absorbs rounding in Pango's units.
    constexpr double tolerance = 0.005;
    TextLayout::Options options;
    options.lineBreakMode = LineBreakMode::WordWrap;
    options.defaultFont = m_font->withSize(m_font->pointSize() * scale);
    if (m_numberOfLines == 1) {
        // One line never wraps: its natural width is what must fit.
        TextLayout layout(scaledText(scale), options);
        return layout.size().width <= size.width + tolerance;
    }
    options.width = size.width;
    TextLayout layout(scaledText(scale), options);
    if (m_numberOfLines > 0 && layout.lineCount() > m_numberOfLines)
        return false;
    if (size.height > 0 && layout.size().height > size.height + tolerance)
        return false;
    return !layout.breaksWithinWord();
}

double Label::fittingScale(Size size) const
{
    if (!m_adjustsFontSizeToFitWidth || text().empty() || !(size.width > 0) || fitsAtScale(1, size))
        return 1;
    double smallest = std::min(1.0, std::max(m_minimumScaleFactor, 1 / m_font->pointSize()));
    if (!fitsAtScale(smallest, size))
        return smallest;
    // Smaller text never fits worse, so halving the interval finds the largest scale that fits.
    double fitting = smallest, failing = 1;
    while (failing - fitting > 0.005) {
        double middle = (fitting + failing) / 2;
        (fitsAtScale(middle, size) ? fitting : failing) = middle;
    }
    return fitting;
}

void Label::setBounds(const Rect& rect)
{
    // The layout depends on the width only (layoutFor keys it by width); a new height keeps it,
    // unless the text shrinks to fit, which measures against the height too.
    bool heightChanged = rect.height() != bounds().height();
    View::setBounds(rect);
    if (heightChanged && m_adjustsFontSizeToFitWidth)
        invalidateLayout();
}

void Label::invalidateLayout()
{
    // Text that overflowed the bounds is cleared where it was, then drawn where it goes.
    setNeedsDisplay();
    m_layout.reset();
    m_layoutWidth = -1;
    m_fittingWidth = -1;
    setNeedsDisplay();
}

Rect Label::drawnBounds() const
{
    Rect area = bounds();
    if (text().empty())
        return area;
    Rect text = textRect();
    // A word longer than the width overflows it; which side depends on the alignment.
    double excess = layoutFor(area.width()).size().width - text.width();
    if (excess > 0)
        text = text.insetBy(-excess, 0);
    area = area.united(text);
    if (!m_shadowColor.isClear())
        area = area.united(text.offsetBy(m_shadowOffset.width, m_shadowOffset.height));
    // Glyph ink may reach a little past the text's logical extent (italics, accents).
    return area.insetBy(-2, -2);
}

TextLayout& Label::layoutFor(double width) const
{
    if (m_layout && m_layoutWidth == width)
        return *m_layout;
    double scale = fittingScale({ width, bounds().height() });
    TextLayout::Options options;
    options.width = width;
    options.numberOfLines = m_numberOfLines;
    options.alignment = m_alignment;
    options.lineBreakMode = m_lineBreakMode;
    // A single line does not wrap; it is cut by the line-break mode.
    if (m_numberOfLines == 1 && (m_lineBreakMode == LineBreakMode::WordWrap || m_lineBreakMode == LineBreakMode::CharWrap))
        options.lineBreakMode = LineBreakMode::Clip;
    options.defaultFont = scale == 1 ? m_font : m_font->withSize(m_font->pointSize() * scale);
    options.defaultColor = m_textColor;
    m_layout = std::make_unique<TextLayout>(scaledText(scale), options);
    m_layoutWidth = width;
    m_layoutScale = scale;
    return *m_layout;
}

Size Label::sizeThatFits(Size size) const
{
    if (text().empty())
        return {};
    if (m_fittingWidth >= 0 && m_fittingWidth == size.width)
        return m_fittingSize;
    // Unbounded widths measure the natural single-line width; otherwise the text wraps within
    // the given width, as it will when drawn.
    double width = size.width > 0 && m_numberOfLines != 1 ? size.width : 0;
    TextLayout layout(m_attributedText ? *m_attributedText : AttributedString(m_text),
        TextLayout::Options { width, 0, m_numberOfLines, TextAlignment::Left, LineBreakMode::WordWrap, m_font, m_textColor });
    Size s = layout.size();
    m_fittingWidth = std::max(0.0, size.width);
    m_fittingSize = { std::ceil(s.width), std::ceil(s.height) };
    return m_fittingSize;
}

Rect Label::textRect() const
{
    Rect b = bounds();
    if (text().empty())
        return { b.origin, { b.width(), 0 } };
    TextLayout& layout = layoutFor(b.width());
    double h = layout.size().height;
    // Vertically centred; text taller than the view overflows both ways evenly.
    return { b.x(), b.midY() - h / 2, b.width(), h };
}

void Label::draw(GraphicsContext& context, const Rect&)
{
    if (text().empty())
        return;
    Rect r = textRect();
    TextLayout& layout = layoutFor(bounds().width());
    Point origin = r.origin;
    if (!m_shadowColor.isClear())
        context.drawTextInColor(layout, { origin.x + m_shadowOffset.width, origin.y + m_shadowOffset.height }, m_shadowColor);
    if (m_vibrant) {
        context.drawTextInColor(layout, origin, Color::white(1, 0.6));
        return;
    }
    if (!m_enabled) {
        context.drawTextInColor(layout, origin, Color::white(0.55, m_textColor.alpha));
        return;
    }
    context.drawText(layout, origin);
}

Value Label::valueForKey(std::string_view key) const
{
    if (key == "text")
        return text();
    return View::valueForKey(key);
}

unsigned Label::defaultAccessibilityTraits() const
{
    return AccessibilityTraitStaticText | (m_enabled ? 0u : unsigned(AccessibilityTraitNotEnabled));
}

} // namespace kit

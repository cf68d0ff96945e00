// SPDX-License-Identifier: MIT
#include "kit/ui/Label.h"

#include "kit/ui/GraphicsContext.h"

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

void Label::setBounds(const Rect& rect)
{
    // The layout depends on the width only (layoutFor keys it by width); a new height keeps it.
    View::setBounds(rect);
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
    TextLayout::Options options;
    options.width = width;
    options.numberOfLines = m_numberOfLines;
    options.alignment = m_alignment;
    options.lineBreakMode = m_lineBreakMode;
    // A single line does not wrap; it is cut by the line-break mode.
    if (m_numberOfLines == 1 && (m_lineBreakMode == LineBreakMode::WordWrap || m_lineBreakMode == LineBreakMode::CharWrap))
        options.lineBreakMode = LineBreakMode::Clip;
    options.defaultFont = m_font;
    options.defaultColor = m_textColor;
    AttributedString text = m_attributedText ? *m_attributedText : AttributedString(m_text);
    m_layout = std::make_unique<TextLayout>(text, options);
    m_layoutWidth = width;
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

} // namespace kit

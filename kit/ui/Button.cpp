// SPDX-License-Identifier: MIT
#include "kit/ui/Button.h"

#include "kit/ui/GraphicsContext.h"
#include "kit/ui/TextLayout.h"

#include <cmath>

namespace kit {

Button::Button(Type type)
    : m_type(type)
    , m_font(Font::systemFont(15))
{
}

std::shared_ptr<Button> Button::system(std::string title)
{
    auto button = View::create<Button>(Type::System);
    button->setTitle(std::move(title));
    return button;
}

std::shared_ptr<Button> Button::custom(ImagePtr image)
{
    auto button = View::create<Button>(Type::Custom);
    button->setImage(std::move(image));
    return button;
}

void Button::setTitle(std::string title)
{
    if (title == m_title)
        return;
    m_title = std::move(title);
    setNeedsDisplay();
}

void Button::setFont(FontPtr font)
{
    if (!font)
        font = Font::systemFont(15);
    if (font == m_font)
        return;
    m_font = std::move(font);
    setNeedsDisplay();
}

void Button::setTitleColor(std::optional<Color> color)
{
    if (color == m_titleColor)
        return;
    m_titleColor = color;
    setNeedsDisplay();
}

void Button::setImage(ImagePtr image)
{
    if (image == m_image)
        return;
    m_image = std::move(image);
    setNeedsDisplay();
}

void Button::setBackgroundImage(ImagePtr image)
{
    if (image == m_backgroundImage)
        return;
    m_backgroundImage = std::move(image);
    setNeedsDisplay();
}

void Button::setContentEdgeInsets(EdgeInsets insets)
{
    if (insets == m_contentInsets)
        return;
    m_contentInsets = insets;
    setNeedsDisplay();
}

Color Button::effectiveTitleColor() const
{
    Color base = m_titleColor ? *m_titleColor : (m_type == Type::System ? tintColor() : Color::white());
    if (!isEnabled())
        return Color::white(0.55, base.alpha);
    if (isHighlighted())
        return m_type == Type::System ? base.withAlpha(base.alpha * 0.2) : base.mixed(Color::black(), 0.3);
    return base;
}

namespace {

constexpr double kImageTitleSpacing = 4;

} // namespace

Size Button::sizeThatFits(Size) const
{
    Size content;
    if (m_image)
        content = m_image->size();
    if (!m_title.empty()) {
        TextLayout layout(AttributedString(m_title),
            TextLayout::Options { 0, 0, 1, TextAlignment::Left, LineBreakMode::Clip, m_font });
        Size t = layout.size();
        content.width += (m_image ? kImageTitleSpacing : 0) + t.width;
        content.height = std::max(content.height, t.height);
    }
    if (m_backgroundImage) {
        content.width = std::max(content.width, m_backgroundImage->size().width);
        content.height = std::max(content.height, m_backgroundImage->size().height);
    }
    // System buttons keep a comfortable touch height.
    if (m_type == Type::System && !m_title.empty())
        content.height = std::max(content.height, 30.0);
    return { std::ceil(content.width + m_contentInsets.left + m_contentInsets.right),
        std::ceil(content.height + m_contentInsets.top + m_contentInsets.bottom) };
}

void Button::draw(GraphicsContext& context, const Rect&)
{
    Rect b = bounds();
    if (m_backgroundImage)
        context.drawImage(*m_backgroundImage, b, isHighlighted() ? 0.7 : 1);
    Rect content = b.inset(m_contentInsets);
    std::unique_ptr<TextLayout> title;
    Size titleSize;
    if (!m_title.empty()) {
        title = std::make_unique<TextLayout>(AttributedString(m_title),
            TextLayout::Options { 0, 0, 1, TextAlignment::Left, LineBreakMode::Clip, m_font, effectiveTitleColor() });
        titleSize = title->size();
    }
    Size imageSize = m_image ? m_image->size() : Size {};
    bool both = m_image && title;
    if (m_image && !title) {
        // An image alone fills the button (custom buttons are sized to their images).
        imageSize = { content.width(), content.height() };
    }
    double total = imageSize.width + (both ? kImageTitleSpacing : 0) + titleSize.width;
    double x = content.midX() - total / 2;
    if (m_image) {
        Rect r { x, content.midY() - imageSize.height / 2, imageSize.width, imageSize.height };
        if (isHighlighted() && m_type == Type::Custom) {
            context.drawImage(*m_image, r);
            context.drawImageTinted(*m_image, r, Color::black().withAlpha(0.3));
        } else if (isHighlighted()) {
            context.drawImage(*m_image, r, 0.2);
        } else {
            context.drawImage(*m_image, r, isEnabled() ? 1 : 0.5);
        }
        x += imageSize.width + (both ? kImageTitleSpacing : 0);
    }
    if (title)
        context.drawText(*title, { x, content.midY() - titleSize.height / 2 });
}

Value Button::valueForKey(std::string_view key) const
{
    if (key == "title")
        return m_title;
    return Control::valueForKey(key);
}

std::string Button::defaultAccessibilityLabel() const
{
    if (!m_title.empty())
        return m_title;
    if (m_image)
        return m_image->name();
    return m_backgroundImage ? m_backgroundImage->name() : std::string();
}

unsigned Button::defaultAccessibilityTraits() const { return AccessibilityTraitButton | Control::defaultAccessibilityTraits(); }

} // namespace kit

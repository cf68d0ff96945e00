// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/AttributedString.h"
#include "kit/ui/TextLayout.h"
#include "kit/ui/View.h"

#include <memory>

namespace kit {

// One or more lines of plain or styled text. Plain text takes the label's font and colour;
// styled text takes them only where its runs leave them unset. Text is centred vertically.
class Label : public View {
public:
    // Setting the text replaces styled text and the other way round.
    std::string text() const;
    void setText(std::string text);
    const std::shared_ptr<AttributedString>& attributedText() const { return m_attributedText; }
    void setAttributedText(std::shared_ptr<AttributedString> text);

    // The system font of 17 points by default.
    const FontPtr& font() const { return m_font; }
    void setFont(FontPtr font);
    Color textColor() const { return m_textColor; }
    void setTextColor(const Color& color);
    // A clear shadow colour draws no shadow.
    Color shadowColor() const { return m_shadowColor; }
    void setShadowColor(const Color& color);
    Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(Size offset);
    TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(TextAlignment alignment);
    // 1 by default; 0 = as many as the text needs.
    int numberOfLines() const { return m_numberOfLines; }
    void setNumberOfLines(int lines);
    LineBreakMode lineBreakMode() const { return m_lineBreakMode; }
    void setLineBreakMode(LineBreakMode mode);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Drawn lighter and partly transparent, for vibrancy over a dark background.
    bool isVibrant() const { return m_vibrant; }
    void setVibrant(bool vibrant);

    // Where the text is drawn, in bounds coordinates.
    Rect textRect() const;

    // Object
    std::string className() const override { return "UILabel"; }
    Value valueForKey(std::string_view key) const override;
    // View
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& dirty) override;
    void setBounds(const Rect& bounds) override;
    Rect drawnBounds() const override;

protected:
    Label();
    explicit Label(std::string text);
    friend class View;

private:
    TextLayout& layoutFor(double width) const;
    void invalidateLayout();

    std::string m_text;
    std::shared_ptr<AttributedString> m_attributedText;
    FontPtr m_font;
    Color m_textColor = Color::black();
    Color m_shadowColor = Color::clear();
    Size m_shadowOffset { 0, -1 };
    TextAlignment m_alignment = TextAlignment::Natural;
    int m_numberOfLines = 1;
    LineBreakMode m_lineBreakMode = LineBreakMode::TruncateTail;
    bool m_enabled = true;
    bool m_vibrant = false;

    mutable std::unique_ptr<TextLayout> m_layout;
    mutable double m_layoutWidth = -1;
    // The last sizeThatFits answer and the width it was asked for: layout passes ask every
    // time, and the text rarely changes between them.
    mutable double m_fittingWidth = -1;
    mutable Size m_fittingSize;
};

} // namespace kit

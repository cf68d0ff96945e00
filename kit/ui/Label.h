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

    // Off by default. When on, text that does not fit the bounds is drawn in smaller fonts, down to
    // minimumScaleFactor of their sizes, before the line-break mode cuts it. One line fits when it
    // is no wider than the bounds; several fit when they stay within the line limit and the
    // bounds' height and no word had to be broken.
    bool adjustsFontSizeToFitWidth() const { return m_adjustsFontSizeToFitWidth; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    // Between 0 and 1; 0 (the default) lets the text shrink as far as a one-point font.
    double minimumScaleFactor() const { return m_minimumScaleFactor; }
    void setMinimumScaleFactor(double factor);
    // The scale the text is drawn at for the current bounds: 1 unless it was shrunk to fit.
    double fontScale() const;

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

    // An element whose label is its text.
    bool defaultIsAccessibilityElement() const override { return !text().empty(); }
    std::string defaultAccessibilityLabel() const override { return text(); }
    unsigned defaultAccessibilityTraits() const override;

private:
    TextLayout& layoutFor(double width) const;
    void invalidateLayout();
    AttributedString scaledText(double scale) const;
    bool fitsAtScale(double scale, Size bounds) const;
    double fittingScale(Size bounds) const;

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
    bool m_adjustsFontSizeToFitWidth = false;
    double m_minimumScaleFactor = 0;

    mutable std::unique_ptr<TextLayout> m_layout;
    mutable double m_layoutWidth = -1;
    mutable double m_layoutScale = 1;
    // The last sizeThatFits answer and the width it was asked for: layout passes ask every
    // time, and the text rarely changes between them.
    mutable double m_fittingWidth = -1;
    mutable Size m_fittingSize;
};

} // namespace kit

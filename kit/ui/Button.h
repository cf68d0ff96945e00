// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Control.h"
#include "kit/ui/Font.h"
#include "kit/ui/Image.h"

#include <string>

namespace kit {

// A system button shows its title in the tint colour (faded while highlighted); a custom
// button shows its image (darkened while highlighted) and its title, if any, in the title colour.
class Button : public Control {
public:
    enum class Type { System, Custom };

    static std::shared_ptr<Button> system(std::string title = {});
    static std::shared_ptr<Button> custom(ImagePtr image = {});

    Type buttonType() const { return m_type; }
    const std::string& title() const { return m_title; }
    void setTitle(std::string title);
    // System font 15 by default.
    const FontPtr& font() const { return m_font; }
    void setFont(FontPtr font);
    // For custom buttons, and for system buttons that should not follow the tint.
    std::optional<Color> titleColor() const { return m_titleColor; }
    void setTitleColor(std::optional<Color> color);
    const ImagePtr& image() const { return m_image; }
    void setImage(ImagePtr image);
    const ImagePtr& backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(ImagePtr image);
    EdgeInsets contentEdgeInsets() const { return m_contentInsets; }
    void setContentEdgeInsets(EdgeInsets insets);

    // The colour the title is drawn in now.
    Color effectiveTitleColor() const;

    // Object
    std::string className() const override { return "UIButton"; }
    Value valueForKey(std::string_view key) const override;
    // View
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& dirty) override;
    void tintColorDidChange() override { setNeedsDisplay(); }

protected:
protected:
    // A button element labelled by its title, else its image's name.
    bool defaultIsAccessibilityElement() const override { return true; }
    std::string defaultAccessibilityLabel() const override;
    unsigned defaultAccessibilityTraits() const override;

    explicit Button(Type type = Type::System);
    friend class View;

private:
    Type m_type = Type::System;
    std::string m_title;
    FontPtr m_font;
    std::optional<Color> m_titleColor;
    ImagePtr m_image;
    ImagePtr m_backgroundImage;
    EdgeInsets m_contentInsets;
};

} // namespace kit

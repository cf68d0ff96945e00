// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Image.h"
#include "kit/ui/View.h"

namespace kit {

// Shows one image in its bounds according to the content mode (stretched by default).
class ImageView : public View {
public:
    const ImagePtr& image() const { return m_image; }
    // Does not resize the view; call sizeToFit() for the natural size.
    void setImage(ImagePtr image);
    // Tint for template drawing; nullopt draws the image's own colours.
    const std::optional<Color>& imageTint() const { return m_imageTint; }
    void setImageTint(std::optional<Color> tint);

    // Object
    std::string className() const override { return "UIImageView"; }
    // View
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& dirty) override;

    // Where the image lands in the bounds for the content mode.
    Rect imageRect() const;

protected:
    // Decoration unless a screen gives it a label.
    bool defaultIsAccessibilityElement() const override { return hasAccessibilityLabel(); }
    unsigned defaultAccessibilityTraits() const override { return AccessibilityTraitImage; }

    ImageView() = default;
    // Sized to the image's natural size (an empty frame for null).
    explicit ImageView(ImagePtr image);
    friend class View;

private:
    ImagePtr m_image;
    std::optional<Color> m_imageTint;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"

#include <memory>
#include <string_view>

namespace kit {
class ImageView;
class Label;
} // namespace kit

// Builders the screens share for the pieces their panels are made of.
namespace ScreenViews {

// A label on a clear background at `frame`, with its font, colour and text shadow.
std::shared_ptr<kit::Label> makeLabel(const kit::Rect& frame, kit::FontPtr font, const kit::Color& color,
    const kit::Color& shadow, kit::Size shadowOffset);
// A view of the named image at the image's natural size.
std::shared_ptr<kit::ImageView> imageView(std::string_view name);

} // namespace ScreenViews

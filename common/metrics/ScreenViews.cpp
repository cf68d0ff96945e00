// SPDX-License-Identifier: MIT
#include "common/metrics/ScreenViews.h"

#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"

namespace ScreenViews {

std::shared_ptr<kit::Label> makeLabel(const kit::Rect& frame, kit::FontPtr font, const kit::Color& color,
    const kit::Color& shadow, kit::Size shadowOffset)
{
    auto label = kit::View::create<kit::Label>();
    label->setFrame(frame);
    label->setFont(std::move(font));
    label->setTextColor(color);
    label->setShadowColor(shadow);
    label->setShadowOffset(shadowOffset);
    label->setBackgroundColor(kit::Color::clear());
    return label;
}

std::shared_ptr<kit::ImageView> imageView(std::string_view name)
{
    auto view = kit::View::create<kit::ImageView>(kit::Image::named(name));
    view->sizeToFit();
    return view;
}

} // namespace ScreenViews

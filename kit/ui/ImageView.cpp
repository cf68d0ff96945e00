// SPDX-License-Identifier: MIT
#include "kit/ui/ImageView.h"

#include "kit/ui/GraphicsContext.h"

#include <algorithm>

namespace kit {

ImageView::ImageView(ImagePtr image)
    : m_image(std::move(image))
{
    if (m_image)
        setFrame({ 0, 0, m_image->size().width, m_image->size().height });
}

void ImageView::setImage(ImagePtr image)
{
    if (image == m_image)
        return;
    m_image = std::move(image);
    setNeedsDisplay();
}

void ImageView::setImageTint(std::optional<Color> tint)
{
    if (tint == m_imageTint)
        return;
    m_imageTint = tint;
    setNeedsDisplay();
}

Size ImageView::sizeThatFits(Size) const { return m_image ? m_image->size() : Size {}; }

Rect ImageView::imageRect() const
{
    Rect b = bounds();
    if (!m_image)
        return {};
    Size s = m_image->size();
    if (s.isEmpty())
        return {};
    switch (contentMode()) {
    case ContentMode::ScaleToFill:
    case ContentMode::Redraw:
        return b;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
        double fx = b.width() / s.width, fy = b.height() / s.height;
        double f = contentMode() == ContentMode::ScaleAspectFit ? std::min(fx, fy) : std::max(fx, fy);
        Size scaled { s.width * f, s.height * f };
        return { b.midX() - scaled.width / 2, b.midY() - scaled.height / 2, scaled.width, scaled.height };
    }
    default:
        break;
    }
    double x = b.midX() - s.width / 2, y = b.midY() - s.height / 2;
    switch (contentMode()) {
    case ContentMode::Top:
    case ContentMode::TopLeft:
    case ContentMode::TopRight:
        y = b.minY();
        break;
    case ContentMode::Bottom:
    case ContentMode::BottomLeft:
    case ContentMode::BottomRight:
        y = b.maxY() - s.height;
        break;
    default:
        break;
    }
    switch (contentMode()) {
    case ContentMode::Left:
    case ContentMode::TopLeft:
    case ContentMode::BottomLeft:
        x = b.minX();
        break;
    case ContentMode::Right:
    case ContentMode::TopRight:
    case ContentMode::BottomRight:
        x = b.maxX() - s.width;
        break;
    default:
        break;
    }
    return { x, y, s.width, s.height };
}

void ImageView::draw(GraphicsContext& context, const Rect&)
{
    if (!m_image)
        return;
    Rect r = imageRect();
    if (r.isEmpty())
        return;
    if (m_imageTint)
        context.drawImageTinted(*m_image, r, *m_imageTint);
    else
        context.drawImage(*m_image, r);
}

} // namespace kit

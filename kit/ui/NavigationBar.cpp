// SPDX-License-Identifier: MIT
#include "kit/ui/NavigationBar.h"

#include "kit/base/Bundle.h"
#include "kit/ui/Label.h"

#include <algorithm>

namespace kit {

static constexpr double kSideMargin = 8;

NavigationBar::NavigationBar() = default;

void NavigationBar::didCreate()
{
    setFrame({ 0, 0, 320, kHeight });
    m_titleLabel = View::create<Label>();
    m_titleLabel->setFont(Font::boldSystemFont(17));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    addSubview(m_titleLabel);

    m_backButton = Button::system();
    m_backButton->setFont(Font::systemFont(17));
    m_backButton->setHidden(true);
    std::weak_ptr<View> weak = weak_from_this();
    m_backButton->addAction(ControlEvent::TouchUpInside, [weak](Control&) {
        auto self = std::static_pointer_cast<NavigationBar>(weak.lock());
        if (self && self->onBack)
            self->onBack();
    });
    addSubview(m_backButton);

    m_hairline = View::create<View>();
    m_hairline->setUserInteractionEnabled(false);
    addSubview(m_hairline);
    applyStyle();
}

void NavigationBar::setBarStyle(BarStyle style)
{
    if (style == m_barStyle)
        return;
    m_barStyle = style;
    applyStyle();
}

void NavigationBar::applyStyle()
{
    bool black = m_barStyle == BarStyle::Black;
    setBackgroundColor(black ? Color::rgba(0.07, 0.07, 0.08, 0.94) : Color::rgba(0.97, 0.97, 0.97, 0.94));
    m_titleLabel->setTextColor(black ? Color::white() : Color::black());
    m_hairline->setBackgroundColor(black ? Color::black() : Color::rgba(0.7, 0.7, 0.7, 1));
    setNeedsDisplay();
    // The container behind the bar takes its shade.
    if (View* container = superview())
        container->setNeedsLayout();
}

void NavigationBar::setItems(const NavigationItem& top, const std::string& topTitle, std::optional<std::string> backTitle)
{
    m_titleLabel->setText(top.title.empty() ? topTitle : top.title);
    auto replace = [this](std::shared_ptr<View>& slot, const std::shared_ptr<View>& view) {
        if (slot == view)
            return;
        if (slot && slot->superview() == this)
            slot->removeFromSuperview();
        slot = view;
        if (slot)
            addSubview(slot);
    };
    replace(m_titleView, top.titleView);
    replace(m_leftView, top.leftView);
    replace(m_rightView, top.rightView);
    m_titleLabel->setHidden(m_titleView != nullptr);

    bool showBack = backTitle.has_value() && !top.hidesBackButton && !m_leftView;
    m_backButton->setHidden(!showBack);
    if (showBack) {
        std::string title = *backTitle;
        if (title.empty()) {
            title = Bundle::mainBundle().localizedString("Back");
            if (title.empty())
                title = "Back";
        }
        m_backButton->setTitle("‹ " + title);
        m_backButton->sizeToFit();
    }
    setNeedsLayout();
}

std::string NavigationBar::titleText() const { return m_titleLabel->text(); }

Label* NavigationBar::titleLabel() const { return m_titleView ? nullptr : m_titleLabel.get(); }

Button* NavigationBar::backButton() const { return m_backButton->isHidden() ? nullptr : m_backButton.get(); }

void NavigationBar::layoutSubviews()
{
    Rect b = bounds();
    double left = kSideMargin;
    double right = b.width() - kSideMargin;
    auto placeSide = [&](View* view, bool atLeft) {
        if (!view || view->isHidden())
            return;
        Size s = view->frame().size;
        s.width = std::min(s.width, b.width() / 3);
        s.height = std::min(s.height > 0 ? s.height : b.height(), b.height());
        double x = atLeft ? left : right - s.width;
        view->setFrame({ x, (b.height() - s.height) / 2, s.width, s.height });
        if (atLeft)
            left = x + s.width + kSideMargin;
        else
            right = x - kSideMargin;
    };
    placeSide(m_leftView ? m_leftView.get() : (m_backButton->isHidden() ? nullptr : m_backButton.get()), true);
    placeSide(m_rightView.get(), false);

    // The title stays centred on the bar while it fits between the side views.
    double room = std::max(0.0, std::min(b.midX() - left, right - b.midX()) * 2);
    if (m_titleView) {
        Size s = m_titleView->frame().size;
        double w = std::min(s.width, std::max(room, right - left));
        double h = std::min(s.height > 0 ? s.height : b.height(), b.height());
        double x = w <= room ? b.midX() - w / 2 : left;
        m_titleView->setFrame({ x, (b.height() - h) / 2, w, h });
    } else {
        m_titleLabel->setFrame({ b.midX() - room / 2, 0, room, b.height() });
    }
    m_hairline->setFrame({ 0, b.height(), b.width(), 0.5 });
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/StatusBar.h"

#include "kit/ui/GraphicsContext.h"
#include "kit/ui/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kit {

// Battery item

void StatusBarBatteryItemView::setCapacity(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_capacity)
        return;
    m_capacity = percent;
    setNeedsDisplay();
}

void StatusBarBatteryItemView::setCharging(bool charging)
{
    if (charging == m_charging)
        return;
    m_charging = charging;
    setNeedsDisplay();
}

void StatusBarBatteryItemView::setForegroundColor(const Color& color)
{
    if (color == m_foreground)
        return;
    m_foreground = color;
    setNeedsDisplay();
}

Value StatusBarBatteryItemView::valueForKey(std::string_view key) const
{
    if (key == "_capacity")
        return m_capacity;
    return View::valueForKey(key);
}

namespace {

constexpr double kBodyWidth = 24;
constexpr double kBodyHeight = 11;
constexpr double kTipWidth = 2;
constexpr double kPercentGap = 4;

std::unique_ptr<TextLayout> smallText(const std::string& text, const Color& color, bool bold)
{
    TextLayout::Options options;
    options.numberOfLines = 1;
    options.lineBreakMode = LineBreakMode::Clip;
    options.defaultFont = bold ? Font::boldSystemFont(12) : Font::systemFont(12);
    options.defaultColor = color;
    return std::make_unique<TextLayout>(AttributedString(text), options);
}

} // namespace

Size StatusBarBatteryItemView::sizeThatFits(Size) const
{
    auto percent = smallText(std::to_string(m_capacity) + " %", m_foreground, false);
    return { std::ceil(percent->size().width) + kPercentGap + kBodyWidth + kTipWidth, StatusBarWindow::kHeight };
}

void StatusBarBatteryItemView::draw(GraphicsContext& context, const Rect&)
{
    Rect b = bounds();
    auto percent = smallText(std::to_string(m_capacity) + " %", m_foreground, false);
    double bodyX = b.maxX() - kBodyWidth - kTipWidth;
    context.drawText(*percent, { bodyX - kPercentGap - percent->size().width, b.midY() - percent->size().height / 2 });
    Rect body { bodyX, b.midY() - kBodyHeight / 2, kBodyWidth, kBodyHeight };
    context.setStrokeColor(m_foreground.withAlpha(m_foreground.alpha * 0.5));
    context.setLineWidth(1);
    context.strokeRoundedRect(body.insetBy(0.5, 0.5), 2.5);
    context.setFillColor(m_foreground.withAlpha(m_foreground.alpha * 0.5));
    context.fillRoundedRect({ body.maxX(), body.midY() - 2, kTipWidth, 4 }, 1);
    Rect level = body.insetBy(2, 2);
    level.size.width *= m_capacity / 100.0;
    Color fill = m_charging ? Color::systemGreen() : (m_capacity <= 20 ? Color::systemRed() : m_foreground);
    context.setFillColor(fill);
    context.fillRoundedRect(level, 1.5);
}

// Status bar window

StatusBarWindow::StatusBarWindow()
{
    setWindowLevel(kLevelStatusBar);
    setUserInteractionEnabled(false);
}

void StatusBarWindow::setTimeText(std::string text)
{
    if (text == m_timeText)
        return;
    m_timeText = std::move(text);
    setNeedsDisplay();
}

void StatusBarWindow::setBattery(std::optional<int> percent, bool charging)
{
    if (!percent) {
        if (m_battery) {
            m_battery->removeFromSuperview();
            m_battery.reset();
        }
        return;
    }
    if (!m_battery) {
        m_battery = View::create<StatusBarBatteryItemView>();
        m_battery->setForegroundColor(m_lightContent ? Color::white() : Color::black());
        addSubview(m_battery);
    }
    m_battery->setCapacity(*percent);
    m_battery->setCharging(charging);
    setNeedsLayout();
}

void StatusBarWindow::setLightContent(bool light)
{
    if (light == m_lightContent)
        return;
    m_lightContent = light;
    if (m_battery)
        m_battery->setForegroundColor(light ? Color::white() : Color::black());
    setNeedsDisplay();
}

void StatusBarWindow::layoutSubviews()
{
    if (!m_battery)
        return;
    Size s = m_battery->sizeThatFits({});
    m_battery->setFrame({ bounds().maxX() - 6 - s.width, 0, s.width, bounds().height() });
}

void StatusBarWindow::draw(GraphicsContext& context, const Rect&)
{
    if (m_timeText.empty())
        return;
    auto time = smallText(m_timeText, m_lightContent ? Color::white() : Color::black(), true);
    Rect b = bounds();
    context.drawText(*time, { b.midX() - time->size().width / 2, b.midY() - time->size().height / 2 });
}

} // namespace kit

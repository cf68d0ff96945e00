// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Font.h"
#include "kit/ui/Window.h"

#include <optional>
#include <string>

namespace kit {

// The battery item of the status bar. "_capacity" is the battery's whole percentage.
class StatusBarBatteryItemView : public View {
public:
    int capacity() const { return m_capacity; }
    // Clamped to 0…100.
    void setCapacity(int percent);
    bool isCharging() const { return m_charging; }
    void setCharging(bool charging);
    Color foregroundColor() const { return m_foreground; }
    void setForegroundColor(const Color& color);

    // Object
    std::string className() const override { return "UIStatusBarBatteryItemView"; }
    Value valueForKey(std::string_view key) const override;
    // View
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& dirty) override;

protected:
    StatusBarBatteryItemView() = default;
    friend class View;

private:
    int m_capacity = 0;
    bool m_charging = false;
    Color m_foreground = Color::black();
};

// The status bar's own window across the top of the screen: the clock in the middle and,
// when the machine has a battery, the battery item at the right with its percentage beside it.
class StatusBarWindow : public Window {
public:
    static constexpr double kHeight = 20;

    const std::string& timeText() const { return m_timeText; }
    void setTimeText(std::string text);
    // nullopt removes the battery item (no battery).
    void setBattery(std::optional<int> percent, bool charging = false);
    StatusBarBatteryItemView* batteryItem() const { return m_battery.get(); }
    // Dark content on a light bar by default; light content for dark screens.
    void setLightContent(bool light);
    bool isLightContent() const { return m_lightContent; }

    // Object
    std::string className() const override { return "UIStatusBarWindow"; }
    // View
    void layoutSubviews() override;
    void draw(GraphicsContext& context, const Rect& dirty) override;

protected:
    StatusBarWindow();
    friend class View;

private:
    std::string m_timeText;
    std::shared_ptr<StatusBarBatteryItemView> m_battery;
    bool m_lightContent = false;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/View.h"

#include <optional>

namespace kit {

// Whether the desktop asks for less transparency: its high-contrast preference (a high-contrast
// GTK theme, or the GNOME accessibility "high-contrast" setting where GSettings has it).
// Read once and remembered; the override, when set, answers instead (tests, hosts).
bool isReduceTransparencyEnabled();
void setReduceTransparencyOverride(std::optional<bool> enabled);
// Reads the desktop's preference again (after a theme change).
void refreshReduceTransparency();

// A backdrop effect with a content view that takes the subviews. With the vibrancy effect the
// content is drawn lighter and partly transparent, so it reads over a dark background; with
// reduce transparency on it is drawn as it is, over an opaque dark fill.
class VisualEffectView : public View {
public:
    enum class Effect { None, DarkBlur, NotificationCenterVibrancy };

    Effect effect() const { return m_effect; }
    void setEffect(Effect effect);
    // Fills the bounds, follows their size.
    View* contentView() const { return m_contentView.get(); }

    // How much of the content's own colour survives the vibrancy, and how much white is laid
    // over its shapes.
    static constexpr double kVibrancyColorAlpha = 0.35;
    static constexpr double kVibrancyWhiteAlpha = 0.45;

    // Object
    std::string className() const override { return "UIVisualEffectView"; }
    // View
    void draw(GraphicsContext& context, const Rect& dirty) override;

protected:
    explicit VisualEffectView(Effect effect = Effect::NotificationCenterVibrancy);
    friend class View;

    void didCreate() override;

private:
    Effect m_effect = Effect::NotificationCenterVibrancy;
    std::shared_ptr<View> m_contentView;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/VisualEffectView.h"

#include "kit/ui/GraphicsContext.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace kit {

namespace {

std::optional<bool>& overrideValue()
{
    static std::optional<bool> value;
    return value;
}

std::optional<bool>& cachedValue()
{
    static std::optional<bool> value;
    return value;
}

bool namesHighContrastTheme(std::string theme)
{
    std::transform(theme.begin(), theme.end(), theme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return theme.find("highcontrast") != std::string::npos || theme.find("high-contrast") != std::string::npos;
}

// A setting from GSettings when its schema and key are installed; g_settings_new would abort
// on a missing schema.
std::optional<GVariant*> readSetting(const char* schemaId, const char* key)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return std::nullopt;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, TRUE);
    if (!schema)
        return std::nullopt;
    bool hasKey = g_settings_schema_has_key(schema, key);
    g_settings_schema_unref(schema);
    if (!hasKey)
        return std::nullopt;
    GSettings* settings = g_settings_new(schemaId);
    GVariant* value = g_settings_get_value(settings, key);
    g_object_unref(settings);
    return value;
}

bool readDesktopPreference()
{
    if (const char* theme = std::getenv("GTK_THEME"); theme && namesHighContrastTheme(theme))
        return true;
    if (auto value = readSetting("org.gnome.desktop.a11y.interface", "high-contrast")) {
        bool on = g_variant_is_of_type(*value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(*value);
        g_variant_unref(*value);
        if (on)
            return true;
    }
    if (auto value = readSetting("org.gnome.desktop.interface", "gtk-theme")) {
        bool on = g_variant_is_of_type(*value, G_VARIANT_TYPE_STRING)
            && namesHighContrastTheme(g_variant_get_string(*value, nullptr));
        g_variant_unref(*value);
        if (on)
            return true;
    }
    return false;
}

} // namespace

bool isReduceTransparencyEnabled()
{
    if (overrideValue())
        return *overrideValue();
    if (!cachedValue())
        cachedValue() = readDesktopPreference();
    return *cachedValue();
}

void setReduceTransparencyOverride(std::optional<bool> enabled) { overrideValue() = enabled; }

void refreshReduceTransparency() { cachedValue().reset(); }

VisualEffectView::VisualEffectView(Effect effect)
    : m_effect(effect)
{
}

void VisualEffectView::didCreate()
{
    m_contentView = View::create<View>();
    m_contentView->setFrame(bounds());
    m_contentView->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    addSubview(m_contentView);
}

void VisualEffectView::setEffect(Effect effect)
{
    if (effect == m_effect)
        return;
    m_effect = effect;
    setNeedsDisplay();
}

void VisualEffectView::draw(GraphicsContext& context, const Rect&)
{
    // Reduced transparency gets a solid backdrop so the content reads without the effect; the
    // blur's backdrop is a translucent dark veil.
    if (m_effect == Effect::None)
        return;
    if (isReduceTransparencyEnabled())
        context.fillRect(bounds(), Color::white(0.1, 1));
    else if (m_effect == Effect::DarkBlur)
        context.fillRect(bounds(), Color::white(0.1, 0.7));
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/Font.h"

#include "kit/ui/PangoSupport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>

namespace kit {

namespace pango {

PangoFontMap* fontMap()
{
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

PangoContext* context()
{
    static PangoContext* ctx = [] {
        PangoContext* c = pango_font_map_create_context(fontMap());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(c, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(c, FALSE);
        return c;
    }();
    return ctx;
}

PangoFontDescription* description(const Font& font)
{
    PangoFontDescription* desc
        = font.styleName().empty() ? pango_font_description_new() : pango_font_description_from_string(font.styleName().c_str());
    // Words of the style Pango did not know would have become a family; the family is ours.
    pango_font_description_set_family(desc, font.familyName().c_str());
    pango_font_description_set_absolute_size(desc, font.pointSize() * PANGO_SCALE);
    return desc;
}

} // namespace pango

namespace {

constexpr double kDefaultSize = 12;

double sanitizedSize(double size) { return std::isfinite(size) && size > 0 ? std::min(size, 10000.0) : kDefaultSize; }

// Families compare without case and without spaces: "DejaVuSans" and "Helvetica Neue" are
// what PostScript names make of "DejaVu Sans" and "HelveticaNeue".
std::string familyKey(std::string_view family)
{
    std::string key;
    for (char c : family) {
        if (c != ' ')
            key += char(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

const std::map<std::string, std::string>& installedFamilies()
{
    static std::map<std::string, std::string> families = [] {
        std::map<std::string, std::string> result;
        PangoFontFamily** list = nullptr;
        int count = 0;
        pango_font_map_list_families(pango::fontMap(), &list, &count);
        for (int i = 0; i < count; ++i) {
            const char* name = pango_font_family_get_name(list[i]);
            if (name)
                result.emplace(familyKey(name), name);
        }
        g_free(list);
        return result;
    }();
    return families;
}

std::optional<std::string> installedFamily(std::string_view family)
{
    auto key = familyKey(family);
    if (key.empty())
        return std::nullopt;
    auto& families = installedFamilies();
    auto it = families.find(key);
    if (it == families.end())
        return std::nullopt;
    return it->second;
}

std::string spacedWords(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (i > 0 && std::isupper(c)) {
            unsigned char prev = static_cast<unsigned char>(text[i - 1]);
            if (std::islower(prev) || std::isdigit(prev))
                out += ' ';
        }
        out += char(c);
    }
    return out;
}

} // namespace

std::string Font::familyFromPostscriptName(std::string_view name)
{
    auto dash = name.find('-');
    return spacedWords(name.substr(0, dash));
}

std::string Font::styleFromPostscriptName(std::string_view name)
{
    auto dash = name.find('-');
    if (dash == std::string_view::npos)
        return {};
    return spacedWords(name.substr(dash + 1));
}

bool Font::isFamilyInstalled(std::string_view family) { return installedFamily(family).has_value(); }

std::vector<std::string> Font::familyNames()
{
    std::vector<std::string> names;
    for (auto& [key, name] : installedFamilies())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

const std::string& Font::systemFamily()
{
    static std::string family = [] {
        // Helvetica's metrics first: the screens' layouts were measured in them, and wider
        // faces such as DejaVu truncate values in the narrow phone panels.
        for (const char* candidate : { "Liberation Sans", "Nimbus Sans", "DejaVu Sans", "Cantarell", "Noto Sans" }) {
            if (auto found = installedFamily(candidate))
                return *found;
        }
        return std::string("Sans");
    }();
    return family;
}

Font::Font(std::string name, std::string family, std::string style, double size)
    : m_name(std::move(name))
    , m_family(std::move(family))
    , m_style(std::move(style))
    , m_size(sanitizedSize(size))
{
}

FontPtr Font::named(std::string_view postscriptName, double size)
{
    auto family = installedFamily(familyFromPostscriptName(postscriptName));
    if (!family)
        return nullptr;
    return std::make_shared<Font>(std::string(postscriptName), *family, styleFromPostscriptName(postscriptName), size);
}

FontPtr Font::systemFont(double size) { return std::make_shared<Font>(".SystemFont", systemFamily(), "", size); }

FontPtr Font::boldSystemFont(double size) { return std::make_shared<Font>(".SystemFont-Bold", systemFamily(), "Bold", size); }

FontPtr Font::preferredFontForTextStyle(std::string_view style)
{
    struct Entry {
        std::string_view name;
        double size;
        bool bold;
    };
    static constexpr Entry table[] = {
        { "UIFontTextStyleLargeTitle", 34, false },
        { "UIFontTextStyleTitle1", 28, false },
        { "UIFontTextStyleTitle2", 22, false },
        { "UIFontTextStyleTitle3", 20, false },
        { "UIFontTextStyleHeadline", 17, true },
        { "UIFontTextStyleBody", 17, false },
        { "UIFontTextStyleCallout", 16, false },
        { "UIFontTextStyleSubheadline", 15, false },
        { "UIFontTextStyleFootnote", 13, false },
        { "UIFontTextStyleCaption1", 12, false },
        { "UIFontTextStyleCaption2", 11, false },
    };
    for (auto& entry : table) {
        if (entry.name == style)
            return entry.bold ? boldSystemFont(entry.size) : systemFont(entry.size);
    }
    return systemFont(17);
}

bool Font::isBold() const
{
    PangoFontDescription* desc = pango::description(*this);
    bool bold = pango_font_description_get_weight(desc) >= PANGO_WEIGHT_SEMIBOLD;
    pango_font_description_free(desc);
    return bold;
}

void Font::loadMetrics() const
{
    if (m_metricsLoaded)
        return;
    PangoFontDescription* desc = pango::description(*this);
    PangoFontMetrics* metrics = pango_context_get_metrics(pango::context(), desc, nullptr);
    m_ascender = double(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE;
    m_descender = double(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE;
    pango_font_metrics_unref(metrics);
    pango_font_description_free(desc);
    m_metricsLoaded = true;
}

double Font::lineHeight() const
{
    loadMetrics();
    return m_ascender + m_descender;
}

double Font::ascender() const
{
    loadMetrics();
    return m_ascender;
}

double Font::descender() const
{
    loadMetrics();
    return m_descender;
}

FontPtr Font::withSize(double size) const { return std::make_shared<Font>(m_name, m_family, m_style, size); }

std::string Font::pangoDescription() const
{
    PangoFontDescription* desc = pango::description(*this);
    char* text = pango_font_description_to_string(desc);
    std::string result = text ? text : "";
    g_free(text);
    pango_font_description_free(desc);
    return result;
}

} // namespace kit

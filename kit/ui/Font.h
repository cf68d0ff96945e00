// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class Font;
using FontPtr = std::shared_ptr<const Font>;

// A font face at a size in points, resolved through Pango and fontconfig. Metrics are taken
// with hint metrics off and unrounded glyph positions, so they are the same at every scale.
// A size that is not a positive finite number becomes 12 points.
class Font {
public:
    // A "Family-Style" name such as "HelveticaNeue-CondensedBold" (family "Helvetica Neue",
    // style "Condensed Bold"). Null unless the family is installed (compared ignoring case and
    // spaces): fontconfig would quietly substitute another face, and callers rely on null to
    // choose their fallback.
    static FontPtr named(std::string_view postscriptName, double size);
    static FontPtr systemFont(double size);
    static FontPtr boldSystemFont(double size);
    // "UIFontTextStyleBody", "UIFontTextStyleHeadline", "UIFontTextStyleCaption1", ...; unknown
    // styles read as body.
    static FontPtr preferredFontForTextStyle(std::string_view style);

    // Whether a family of this name is installed (case-insensitive).
    static bool isFamilyInstalled(std::string_view family);
    static std::vector<std::string> familyNames();
    // "HelveticaNeue" → "Helvetica Neue": a space before each capital that follows a lower-case
    // letter or a digit.
    static std::string familyFromPostscriptName(std::string_view postscriptName);
    static std::string styleFromPostscriptName(std::string_view postscriptName);
    // The family the system font uses.
    static const std::string& systemFamily();

    std::string fontName() const { return m_name; }
    const std::string& familyName() const { return m_family; }
    const std::string& styleName() const { return m_style; }
    double pointSize() const { return m_size; }
    bool isBold() const;
    // Ascender + descender: the height of one line of text in this font.
    double lineHeight() const;
    double ascender() const;
    double descender() const;
    // The same face at another size.
    FontPtr withSize(double size) const;

    // The Pango description text ("Helvetica Neue Condensed Bold 17px").
    std::string pangoDescription() const;

    Font(std::string name, std::string family, std::string style, double size);

private:
    void loadMetrics() const;

    std::string m_name;
    std::string m_family;
    std::string m_style;
    double m_size = 0;
    mutable bool m_metricsLoaded = false;
    mutable double m_ascender = 0;
    mutable double m_descender = 0;
};

} // namespace kit

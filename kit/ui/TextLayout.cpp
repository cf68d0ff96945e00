// SPDX-License-Identifier: MIT
#include "kit/ui/TextLayout.h"

#include "kit/ui/PangoSupport.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

guint16 channel(double v) { return guint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); }

// Pango rejects invalid UTF-8 outright; bad bytes become U+FFFD so the rest still shows.
std::string validUTF8(std::string text)
{
    if (g_utf8_validate(text.data(), gssize(text.size()), nullptr))
        return text;
    char* fixed = g_utf8_make_valid(text.data(), gssize(text.size()));
    std::string result = fixed ? fixed : "";
    g_free(fixed);
    return result;
}

} // namespace

TextLayout::TextLayout(const AttributedString& text, const Options& options)
    : m_options(options)
{
    if (!m_options.defaultFont)
        m_options.defaultFont = Font::systemFont(17);
    PangoLayout* layout = pango_layout_new(pango::context());
    m_layout = layout;

    std::string all;
    PangoAttrList* attrs = pango_attr_list_new();
    for (auto& run : text.runs()) {
        std::string piece = validUTF8(run.text);
        guint start = guint(all.size());
        all += piece;
        guint end = guint(all.size());
        if (start == end)
            continue;
        if (run.attributes.font) {
            PangoFontDescription* desc = pango::description(*run.attributes.font);
            PangoAttribute* a = pango_attr_font_desc_new(desc);
            pango_font_description_free(desc);
            a->start_index = start;
            a->end_index = end;
            pango_attr_list_insert(attrs, a);
        }
        if (auto& color = run.attributes.foregroundColor) {
            PangoAttribute* fg = pango_attr_foreground_new(channel(color->red), channel(color->green), channel(color->blue));
            fg->start_index = start;
            fg->end_index = end;
            pango_attr_list_insert(attrs, fg);
            PangoAttribute* alpha = pango_attr_foreground_alpha_new(std::max<guint16>(1, channel(color->alpha)));
            alpha->start_index = start;
            alpha->end_index = end;
            pango_attr_list_insert(attrs, alpha);
        }
    }
    pango_layout_set_text(layout, all.data(), int(all.size()));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    PangoFontDescription* desc = pango::description(*m_options.defaultFont);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);

    bool wraps = m_options.width > 0 && std::isfinite(m_options.width);
    if (wraps) {
        pango_layout_set_width(layout, int(std::min(m_options.width, 1e6) * PANGO_SCALE));
        pango_layout_set_wrap(layout,
            m_options.lineBreakMode == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    }
    switch (m_options.alignment) {
    case TextAlignment::Center:
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        break;
    case TextAlignment::Right:
        pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        break;
    case TextAlignment::Left:
    case TextAlignment::Natural:
        pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
        break;
    }
    PangoEllipsizeMode ellipsize = PANGO_ELLIPSIZE_NONE;
    switch (m_options.lineBreakMode) {
    case LineBreakMode::TruncateHead:
        ellipsize = PANGO_ELLIPSIZE_START;
        break;
    case LineBreakMode::TruncateTail:
        ellipsize = PANGO_ELLIPSIZE_END;
        break;
    case LineBreakMode::TruncateMiddle:
        ellipsize = PANGO_ELLIPSIZE_MIDDLE;
        break;
    default:
        break;
    }
    if (ellipsize != PANGO_ELLIPSIZE_NONE && wraps) {
        pango_layout_set_ellipsize(layout, ellipsize);
        // A negative height limits the lines; without a line limit truncation acts on the last
        // line only when a height is given.
        if (m_options.numberOfLines > 0)
            pango_layout_set_height(layout, -m_options.numberOfLines);
        else if (m_options.maxHeight > 0)
            pango_layout_set_height(layout, int(std::min(m_options.maxHeight, 1e6) * PANGO_SCALE));
        else
            pango_layout_set_height(layout, -1000000);
    }

    // Count the lines that are shown: at most numberOfLines, and only whole lines within the
    // height limit (the first always counts).
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    double width = 0, height = 0;
    int lines = 0;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        double bottom = double(logical.y + logical.height) / PANGO_SCALE;
        if (lines > 0) {
            if (m_options.numberOfLines > 0 && lines >= m_options.numberOfLines)
                break;
            if (m_options.maxHeight > 0 && bottom > m_options.maxHeight + 1e-6)
                break;
        }
        ++lines;
        height = bottom;
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        PangoRectangle lineLogical;
        pango_layout_line_get_extents(line, nullptr, &lineLogical);
        width = std::max(width, double(lineLogical.width) / PANGO_SCALE);
    } while (pango_layout_iter_next_line(iter));
    pango_layout_iter_free(iter);
    m_lineCount = lines;
    m_size = { width, height };
}

TextLayout::~TextLayout()
{
    if (m_layout)
        g_object_unref(static_cast<PangoLayout*>(m_layout));
}

Size TextLayout::size() const { return m_size; }

int TextLayout::lineCount() const { return m_lineCount; }

bool TextLayout::breaksWithinWord() const
{
    auto* layout = static_cast<PangoLayout*>(m_layout);
    const char* text = pango_layout_get_text(layout);
    int count = 0;
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(layout, &count);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    bool broken = false;
    // A line that starts where no line may break was cut out of a word.
    while (!broken && pango_layout_iter_next_line(iter)) {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
        glong offset = g_utf8_pointer_to_offset(text, text + line->start_index);
        broken = offset < count && !attrs[offset].is_line_break;
    }
    pango_layout_iter_free(iter);
    return broken;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/AttributedString.h"
#include "kit/ui/Color.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"

#include <memory>

namespace kit {

enum class TextAlignment { Left, Center, Right, Natural };
enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };

// Styled text laid out in lines for measuring and drawing (a Pango layout underneath).
class TextLayout {
public:
    struct Options {
        // <= 0: no wrapping.
        double width = 0;
        // <= 0: no limit. Lines beyond it are dropped (truncated by lineBreakMode).
        double maxHeight = 0;
        // 0: unlimited.
        int numberOfLines = 0;
        TextAlignment alignment = TextAlignment::Natural;
        LineBreakMode lineBreakMode = LineBreakMode::WordWrap;
        // Used where a run sets no font or colour.
        FontPtr defaultFont;
        Color defaultColor = Color::black();
    };

    TextLayout(const AttributedString& text, const Options& options);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // Width of the widest line and height of the lines shown.
    Size size() const;
    int lineCount() const;
    const Options& options() const { return m_options; }
    // Whether a line had to be broken inside a word, the word being too wide for a line of its own.
    bool breaksWithinWord() const;

    // The PangoLayout* underneath, laid out for a cairo context with the kit's font options.
    void* nativeLayout() const { return m_layout; }

private:
    Options m_options;
    void* m_layout = nullptr;
    Size m_size;
    int m_lineCount = 0;
};

} // namespace kit

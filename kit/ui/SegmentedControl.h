// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Control.h"
#include "kit/ui/Font.h"

#include <string>
#include <vector>

namespace kit {

// A row of segments with titles. A tap on a segment selects it and sends ValueChanged; in
// momentary mode the segment is selected only while the actions run, then none is, so every
// tap (also on the same segment) sends ValueChanged.
class SegmentedControl : public Control {
public:
    static constexpr int kNoSegment = -1;

    int numberOfSegments() const { return static_cast<int>(m_titles.size()); }
    // Empty for an index out of range.
    std::string titleForSegmentAtIndex(int index) const;
    void setTitle(std::string title, int index);
    void insertSegment(std::string title, int index);
    void removeSegment(int index);

    int selectedSegmentIndex() const { return m_selectedIndex; }
    // Out-of-range indexes select nothing. Does not send ValueChanged.
    void setSelectedSegmentIndex(int index);
    bool isMomentary() const { return m_momentary; }
    void setMomentary(bool momentary);

    const FontPtr& font() const { return m_font; }
    void setFont(FontPtr font);

    // The segment under a point of the control's bounds, or kNoSegment.
    int segmentAtPoint(Point point) const;
    Rect segmentFrame(int index) const;

    // The segment the keyboard is on while the control has the focus: Left and Right move it,
    // Return and Space select it as a tap does, and the focus ring goes round it. Until moved,
    // the selected segment (else the first).
    int focusedSegmentIndex() const;

    // Object
    std::string className() const override { return "UISegmentedControl"; }

    // View
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context, const Rect& dirty) override;
    void touchesBegan(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    std::vector<AccessibilityPart> accessibilityParts() const override;
    bool accessibilityActivate(int part) override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    bool keyDown(const KeyEvent& event) override;
    Rect focusRingRect() const override;

protected:
    explicit SegmentedControl(std::vector<std::string> titles = {});
    friend class View;

private:
    void selectSegmentAsUser(int index);

    std::vector<std::string> m_titles;
    int m_focusedIndex = kNoSegment;
    int m_selectedIndex = kNoSegment;
    int m_pressedIndex = kNoSegment;
    bool m_momentary = false;
    FontPtr m_font;
};

} // namespace kit

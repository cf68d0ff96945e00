// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/BarButtonItem.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

#include <functional>
#include <vector>

namespace kit {

// The strip of tabs at the bottom of a tab bar controller: each item's image over its title,
// the selected one in the tint colour.
class TabBar : public View {
public:
    static constexpr double kHeight = 49;

    const std::vector<TabBarItem>& items() const { return m_items; }
    void setItems(std::vector<TabBarItem> items);
    // -1 when nothing is selected.
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);

    BarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(BarStyle style);

    // The frame of item i in the bar; empty when out of range.
    Rect itemFrame(int index) const;
    // The colour item i is drawn in now.
    Color itemColor(int index) const;

    // The view standing for item i, which Tab stops at and which wears the focus ring (the bar
    // draws the items itself); null when out of range. Return or Space on it selects the item
    // as a tap does.
    View* itemView(int index) const;

    // A tap on an item, or Return or Space on its focused item view.
    std::function<void(int index)> onSelect;

    // Object
    std::string className() const override { return "UITabBar"; }

    // View
    void draw(GraphicsContext& context, const Rect& dirty) override;
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch&) override { }
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch&) override { }
    std::vector<AccessibilityPart> accessibilityParts() const override;
    bool accessibilityActivate(int part) override;
    void tintColorDidChange() override { setNeedsDisplay(); }
    void layoutSubviews() override;

protected:
    unsigned defaultAccessibilityTraits() const override { return AccessibilityTraitTabBar; }
    // What the bar is called as the group of its tabs.
    std::string defaultAccessibilityLabel() const override;
    TabBar();
    friend class View;

private:
    int indexAt(Point point) const;

    void syncItemViews();

    std::vector<TabBarItem> m_items;
    std::vector<std::shared_ptr<View>> m_itemViews;
    int m_selectedIndex = -1;
    BarStyle m_barStyle = BarStyle::Default;
};

} // namespace kit

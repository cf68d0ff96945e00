// SPDX-License-Identifier: MIT
#include "kit/ui/TabBar.h"

#include "kit/base/Bundle.h"
#include "kit/ui/AttributedString.h"
#include "kit/ui/Font.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/TextLayout.h"

#include <algorithm>

namespace kit {

namespace {

// Stands for one item towards the keyboard: draws nothing and takes no touches (the bar does).
class TabBarItemView : public View {
public:
    TabBar* bar = nullptr; // not owned: the bar holds this view
    int index = 0;

    std::string className() const override { return "UITabBarButton"; }
    bool canBecomeFirstResponder() const override { return !isHidden(); }
    bool showsFocusRing() const override { return true; }
    View* hitTest(Point) override { return nullptr; }
    bool keyDown(const KeyEvent& event) override
    {
        bool activates = (event.key == Key::Return || event.key == Key::Space) && event.modifiers == KeyModifierNone;
        if (activates && bar && bar->onSelect) {
            bar->onSelect(index);
            return true;
        }
        return View::keyDown(event);
    }
};

} // namespace

static constexpr double kImageTop = 5;
static constexpr double kImageSize = 30;
static constexpr double kTitleSize = 10;

TabBar::TabBar()
{
    setFrame({ 0, 0, 320, kHeight });
    setBarStyle(BarStyle::Default);
    m_barStyle = BarStyle::Default;
    setBackgroundColor(Color::rgba(0.97, 0.97, 0.97, 0.94));
}

void TabBar::setItems(std::vector<TabBarItem> items)
{
    m_items = std::move(items);
    if (m_selectedIndex >= static_cast<int>(m_items.size()))
        m_selectedIndex = m_items.empty() ? -1 : 0;
    syncItemViews();
    setNeedsDisplay();
}

void TabBar::syncItemViews()
{
    // Existing item views stay, so that a focused item keeps the focus when the titles change.
    while (m_itemViews.size() > m_items.size()) {
        m_itemViews.back()->removeFromSuperview();
        m_itemViews.pop_back();
    }
    while (m_itemViews.size() < m_items.size()) {
        auto view = View::create<TabBarItemView>();
        view->bar = this;
        view->index = static_cast<int>(m_itemViews.size());
        addSubview(view);
        m_itemViews.push_back(std::move(view));
    }
    setNeedsLayout();
}

void TabBar::layoutSubviews()
{
    for (std::size_t i = 0; i < m_itemViews.size(); ++i)
        m_itemViews[i]->setFrame(itemFrame(static_cast<int>(i)));
}

View* TabBar::itemView(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_itemViews.size()))
        return nullptr;
    return m_itemViews[static_cast<std::size_t>(index)].get();
}

void TabBar::setSelectedIndex(int index)
{
    if (index < -1 || index >= static_cast<int>(m_items.size()))
        return;
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    setNeedsDisplay();
}

void TabBar::setBarStyle(BarStyle style)
{
    if (style == m_barStyle)
        return;
    m_barStyle = style;
    setBackgroundColor(style == BarStyle::Black ? Color::rgba(0.07, 0.07, 0.08, 0.94) : Color::rgba(0.97, 0.97, 0.97, 0.94));
    setNeedsDisplay();
}

Rect TabBar::itemFrame(int index) const
{
    int count = static_cast<int>(m_items.size());
    if (index < 0 || index >= count)
        return {};
    Rect b = bounds();
    double w = b.width() / count;
    return { b.x() + w * index, b.y(), w, b.height() };
}

Color TabBar::itemColor(int index) const
{
    if (index == m_selectedIndex)
        return tintColor();
    return m_barStyle == BarStyle::Black ? Color::white(0.55) : Color::white(0.57);
}

int TabBar::indexAt(Point point) const
{
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i)
        if (itemFrame(i).contains(point))
            return i;
    return -1;
}

void TabBar::draw(GraphicsContext& g, const Rect&)
{
    Rect b = bounds();
    g.fillRect({ b.x(), b.y(), b.width(), 0.5 }, m_barStyle == BarStyle::Black ? Color::black() : Color::white(0.7));
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i) {
        const TabBarItem& item = m_items[i];
        Rect f = itemFrame(i);
        Color color = itemColor(i);
        const ImagePtr& image = (i == m_selectedIndex && item.selectedImage) ? item.selectedImage : item.image;
        if (image) {
            Size s = image->size();
            double scale = std::min({ 1.0, kImageSize / std::max(1.0, s.width), kImageSize / std::max(1.0, s.height) });
            Rect r { f.midX() - s.width * scale / 2, f.y() + kImageTop + (kImageSize - s.height * scale) / 2, s.width * scale,
                s.height * scale };
            g.drawImageTinted(*image, r, color);
        }
        if (!item.title.empty()) {
            TextLayout::Options options;
            options.width = f.width();
            options.numberOfLines = 1;
            options.alignment = TextAlignment::Center;
            options.lineBreakMode = LineBreakMode::TruncateTail;
            options.defaultFont = Font::systemFont(kTitleSize);
            options.defaultColor = color;
            TextLayout layout(AttributedString(item.title), options);
            g.drawText(layout, { f.x(), f.maxY() - layout.size().height - 2 });
        }
    }
}

void TabBar::touchesBegan(const Touch&) { }

void TabBar::touchesEnded(const Touch& touch)
{
    int index = indexAt(touch.locationInView(this));
    if (index < 0)
        return;
    if (onSelect)
        onSelect(index);
}

std::string TabBar::defaultAccessibilityLabel() const { return Bundle::mainBundle().localizedString("Tab bar"); }

std::vector<View::AccessibilityPart> TabBar::accessibilityParts() const
{
    std::vector<AccessibilityPart> parts;
    for (int i = 0; i < int(m_items.size()); ++i) {
        const TabBarItem& item = m_items[std::size_t(i)];
        std::string label = !item.title.empty() ? item.title : item.image ? item.image->name() : std::string();
        unsigned traits = AccessibilityTraitButton | (i == m_selectedIndex ? unsigned(AccessibilityTraitSelected) : 0u);
        parts.push_back({ std::move(label), {}, traits, itemFrame(i) });
    }
    return parts;
}

bool TabBar::accessibilityActivate(int part)
{
    if (part < 0 || part >= int(m_items.size()))
        return false;
    if (onSelect)
        onSelect(part);
    return true;
}

} // namespace kit

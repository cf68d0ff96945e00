// SPDX-License-Identifier: MIT
#include "kit/ui/TableViewCell.h"
#include "kit/ui/Accessibility.h"

#include "kit/base/Bundle.h"
#include "kit/ui/Button.h"
#include "kit/ui/Font.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/TableView.h"

#include <algorithm>

namespace kit {

namespace {

constexpr double kMargin = 15.0;
constexpr double kControlDiameter = 22.0;

// The round minus or plus on the left of an editing row.
class EditingControlView : public View {
public:
    TableViewCellEditingStyle style = TableViewCellEditingStyle::Delete;
    std::function<void()> onTap;
    bool rotated = false; // the minus turns upright while the confirmation shows

    std::string className() const override { return "UITableViewCellEditControl"; }

    void draw(GraphicsContext& g, const Rect&) override
    {
        Rect b = bounds();
        Rect circle { b.midX() - kControlDiameter / 2, b.midY() - kControlDiameter / 2, kControlDiameter, kControlDiameter };
        g.setFillColor(style == TableViewCellEditingStyle::Insert ? Color::systemGreen() : Color::systemRed());
        g.fillEllipse(circle);
        g.setStrokeColor(Color::white());
        g.setLineWidth(2.5);
        g.setLineCap(GraphicsContext::LineCap::Round);
        double arm = kControlDiameter * 0.28;
        Point c = circle.center();
        if (style == TableViewCellEditingStyle::Delete && rotated) {
            g.strokeLine({ c.x, c.y - arm }, { c.x, c.y + arm });
            return;
        }
        g.strokeLine({ c.x - arm, c.y }, { c.x + arm, c.y });
        if (style == TableViewCellEditingStyle::Insert)
            g.strokeLine({ c.x, c.y - arm }, { c.x, c.y + arm });
    }

    void touchesBegan(const Touch&) override { }
    void touchesMoved(const Touch&) override { }
    void touchesCancelled(const Touch&) override { }
    void touchesEnded(const Touch& touch) override
    {
        if (pointInside(touch.locationInView(this)) && onTap)
            onTap();
    }
};

// The chevron or checkmark of an accessory type.
class AccessoryIndicatorView : public View {
public:
    TableViewCellAccessoryType type = TableViewCellAccessoryType::None;

    std::string className() const override { return "UITableViewCellAccessory"; }

    void draw(GraphicsContext& g, const Rect&) override
    {
        Rect b = bounds();
        g.setLineWidth(2);
        g.setLineCap(GraphicsContext::LineCap::Round);
        if (type == TableViewCellAccessoryType::Checkmark) {
            g.setStrokeColor(tintColor());
            g.strokePolyline(
                { { b.minX() + 1, b.midY() }, { b.minX() + b.width() * 0.4, b.maxY() - 2 }, { b.maxX() - 1, b.minY() + 2 } });
            return;
        }
        g.setStrokeColor(Color::rgba(0.78, 0.78, 0.8, 1));
        g.strokePolyline({ { b.minX() + 1, b.minY() + 1 }, { b.maxX() - 1, b.midY() }, { b.minX() + 1, b.maxY() - 1 } });
        if (type == TableViewCellAccessoryType::DetailDisclosureButton) {
            g.setStrokeColor(tintColor());
            g.strokeEllipse({ b.minX() - 26, b.midY() - 11, 22, 22 });
        }
    }
};

Size indicatorSize(TableViewCellAccessoryType type)
{
    switch (type) {
    case TableViewCellAccessoryType::None:
        return {};
    case TableViewCellAccessoryType::DisclosureIndicator:
        return { TableViewCell::kIndicatorWidth, 13 };
    case TableViewCellAccessoryType::DetailDisclosureButton:
        return { TableViewCell::kIndicatorWidth + 30, 22 };
    case TableViewCellAccessoryType::Checkmark:
        return { 14, 11 };
    }
    return {};
}

} // namespace

std::shared_ptr<TableViewCell> TableViewCell::create(TableViewCellStyle style, std::string reuseIdentifier)
{
    return View::create<TableViewCell>(style, std::move(reuseIdentifier));
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : m_style(style)
    , m_reuseIdentifier(std::move(reuseIdentifier))
{
}

void TableViewCell::didCreate()
{
    setBackgroundColor(Color::white());
    setFrame({ 0, 0, 320, 44 });

    m_defaultSelectedBackground = View::create<View>();
    m_defaultSelectedBackground->setBackgroundColor(Color::white(0.85));
    m_defaultSelectedBackground->setHidden(true);
    m_defaultSelectedBackground->setUserInteractionEnabled(false);
    addSubview(m_defaultSelectedBackground);

    m_contentView = View::create<View>();
    m_contentView->setAutoresizesSubviews(false);
    addSubview(m_contentView);

    m_imageView = View::create<ImageView>();
    m_contentView->addSubview(m_imageView);
    m_textLabel = View::create<Label>();
    m_textLabel->setBackgroundColor(Color::clear());
    m_contentView->addSubview(m_textLabel);
    if (m_style != TableViewCellStyle::Default) {
        m_detailTextLabel = View::create<Label>();
        m_detailTextLabel->setBackgroundColor(Color::clear());
        bool subtitle = m_style == TableViewCellStyle::Subtitle;
        m_detailTextLabel->setFont(Font::systemFont(subtitle ? 12 : 17));
        m_detailTextLabel->setTextColor(subtitle ? Color::black() : Color::gray());
        m_contentView->addSubview(m_detailTextLabel);
    }

    auto control = View::create<EditingControlView>();
    control->setHidden(true);
    std::weak_ptr<View> weak = weak_from_this();
    control->onTap = [weak] {
        auto self = std::static_pointer_cast<TableViewCell>(weak.lock());
        if (self && self->onEditingControlTapped)
            self->onEditingControlTapped(*self, self->m_editingStyle);
    };
    m_editingControl = control;
    addSubview(m_editingControl);

    auto indicator = View::create<AccessoryIndicatorView>();
    indicator->setHidden(true);
    indicator->setUserInteractionEnabled(false);
    m_accessoryIndicator = indicator;
    addSubview(m_accessoryIndicator);

    auto button = View::create<Button>(Button::Type::Custom);
    std::string title = Bundle::mainBundle().localizedString("Delete");
    button->setTitle(title.empty() ? "Delete" : title);
    button->setTitleColor(Color::white());
    button->setBackgroundColor(Color::systemRed());
    button->setHidden(true);
    button->addAction(ControlEvent::TouchUpInside, [weak](Control&) {
        auto self = std::static_pointer_cast<TableViewCell>(weak.lock());
        if (self && self->onDeleteConfirmed)
            self->onDeleteConfirmed(*self);
    });
    m_deleteButton = button;
    addSubview(m_deleteButton);
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (m_backgroundView)
        insertSubview(m_backgroundView, 0);
    setNeedsLayout();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view)
{
    if (view == m_selectedBackgroundView)
        return;
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->removeFromSuperview();
    m_selectedBackgroundView = std::move(view);
    if (m_selectedBackgroundView)
        insertSubviewAbove(m_selectedBackgroundView, m_backgroundView ? m_backgroundView.get() : nullptr);
    updateHighlightViews();
    setNeedsLayout();
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style)
{
    if (style == m_selectionStyle)
        return;
    m_selectionStyle = style;
    updateHighlightViews();
}

void TableViewCell::setSelected(bool selected, bool)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    updateHighlightViews();
}

void TableViewCell::setHighlighted(bool highlighted, bool)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    updateHighlightViews();
}

bool TableViewCell::showsSelectionHighlight() const
{
    return m_selectionStyle != TableViewCellSelectionStyle::None && (m_selected || m_highlighted);
}

void TableViewCell::updateHighlightViews()
{
    bool on = showsSelectionHighlight();
    if (m_selectedBackgroundView) {
        m_selectedBackgroundView->setHidden(!on);
        m_defaultSelectedBackground->setHidden(true);
    } else {
        m_defaultSelectedBackground->setHidden(!on);
    }
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type)
{
    if (type == m_accessoryType)
        return;
    m_accessoryType = type;
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view)
{
    if (view == m_accessoryView)
        return;
    if (m_accessoryView)
        m_accessoryView->removeFromSuperview();
    m_accessoryView = std::move(view);
    if (m_accessoryView)
        addSubview(m_accessoryView);
    setNeedsLayout();
}

void TableViewCell::setEditingAccessoryType(TableViewCellAccessoryType type)
{
    if (type == m_editingAccessoryType)
        return;
    m_editingAccessoryType = type;
    setNeedsLayout();
}

void TableViewCell::setEditingAccessoryView(std::shared_ptr<View> view)
{
    if (view == m_editingAccessoryView)
        return;
    if (m_editingAccessoryView)
        m_editingAccessoryView->removeFromSuperview();
    m_editingAccessoryView = std::move(view);
    if (m_editingAccessoryView)
        addSubview(m_editingAccessoryView);
    setNeedsLayout();
}

void TableViewCell::setEditing(bool editing, bool)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    if (!editing)
        m_showingDeleteConfirmation = false;
    setNeedsLayout();
}

void TableViewCell::setEditingStyle(TableViewCellEditingStyle style)
{
    if (style == m_editingStyle)
        return;
    m_editingStyle = style;
    if (style != TableViewCellEditingStyle::Delete)
        m_showingDeleteConfirmation = false;
    static_cast<EditingControlView&>(*m_editingControl).style = style;
    m_editingControl->setNeedsDisplay();
    setNeedsLayout();
}

void TableViewCell::setShowingDeleteConfirmation(bool showing)
{
    showing = showing && m_editing && m_editingStyle == TableViewCellEditingStyle::Delete;
    if (showing == m_showingDeleteConfirmation)
        return;
    m_showingDeleteConfirmation = showing;
    static_cast<EditingControlView&>(*m_editingControl).rotated = showing;
    m_editingControl->setNeedsDisplay();
    setNeedsLayout();
}

void TableViewCell::setSeparatorColor(std::optional<Color> color)
{
    if (color == m_separatorColor)
        return;
    m_separatorColor = color;
    setNeedsDisplay();
}

TableView* TableViewCell::enclosingTable() const
{
    for (View* view = superview(); view; view = view->superview())
        if (auto* table = dynamic_cast<TableView*>(view))
            return table;
    return nullptr;
}

bool TableViewCell::canBecomeFirstResponder() const
{
    TableView* table = enclosingTable();
    return table && !isHidden() && m_selectionStyle != TableViewCellSelectionStyle::None && table->isSelectionAllowedNow()
        && table->indexPathForCell(*this);
}

Rect TableViewCell::focusRingRect() const
{
    double in = kFocusRingGap + kFocusRingWidth / 2;
    return bounds().insetBy(in, in);
}

bool TableViewCell::keyDown(const KeyEvent& event)
{
    TableView* table = enclosingTable();
    auto path = table ? table->indexPathForCell(*this) : std::nullopt;
    if (!path || event.modifiers != KeyModifierNone || !table->isSelectionAllowedNow())
        return View::keyDown(event);
    switch (event.key) {
    case Key::Return:
    case Key::Space: {
        // The delegate may reload the table, or take it away.
        auto keep = table->shared_from_this();
        table->selectRowAsUser(*path);
        return true;
    }
    case Key::Up:
    case Key::Down:
        if (table->focusRowAdjacentTo(*path, event.key == Key::Up))
            return true;
        break;
    default:
        break;
    }
    return View::keyDown(event);
}

void TableViewCell::prepareForReuse()
{
    m_highlighted = false;
    m_selected = false;
    m_showingDeleteConfirmation = false;
    static_cast<EditingControlView&>(*m_editingControl).rotated = false;
    updateHighlightViews();
    setAlpha(1);
    setNeedsLayout();
}

const View* TableViewCell::currentAccessory() const
{
    if (m_editing)
        return m_editingAccessoryView.get();
    return m_accessoryView.get();
}

TableViewCellAccessoryType TableViewCell::currentAccessoryType() const
{
    return m_editing ? m_editingAccessoryType : m_accessoryType;
}

Size TableViewCell::accessorySize() const
{
    if (const View* view = currentAccessory())
        return view->frame().size;
    return indicatorSize(currentAccessoryType());
}

Rect TableViewCell::editingControlFrame() const
{
    if (!m_editing || m_editingStyle == TableViewCellEditingStyle::None)
        return {};
    return { 0, 0, kEditingControlWidth, bounds().height() };
}

Rect TableViewCell::deleteConfirmationFrame() const
{
    if (!m_showingDeleteConfirmation)
        return {};
    Rect b = bounds();
    return { b.width() - kDeleteConfirmationWidth, 0, kDeleteConfirmationWidth, b.height() };
}

Rect TableViewCell::accessoryFrame() const
{
    Size size = accessorySize();
    if (m_showingDeleteConfirmation || !(size.width > 0))
        return {};
    Rect b = bounds();
    return { b.width() - kAccessoryMargin - size.width, (b.height() - size.height) / 2, size.width, size.height };
}

void TableViewCell::layoutSubviews()
{
    Rect b = bounds();
    for (auto& bg : { m_backgroundView, m_selectedBackgroundView, m_defaultSelectedBackground })
        if (bg)
            bg->setFrame({ 0, 0, b.width(), b.height() });

    Rect control = editingControlFrame();
    m_editingControl->setHidden(control.isEmpty());
    if (!control.isEmpty())
        m_editingControl->setFrame(control);

    double left = control.isEmpty() ? 0 : control.width();
    double right = 0;
    Rect confirmation = deleteConfirmationFrame();
    m_deleteButton->setHidden(confirmation.isEmpty());
    if (!confirmation.isEmpty()) {
        m_deleteButton->setFrame(confirmation);
        bringSubviewToFront(m_deleteButton.get());
        right = confirmation.width();
    }

    // Only the accessory of the current mode is on screen.
    Rect accessory = accessoryFrame();
    View* shown = const_cast<View*>(currentAccessory());
    for (auto& view : { m_accessoryView, m_editingAccessoryView })
        if (view)
            view->setHidden(view.get() != shown || accessory.isEmpty());
    bool indicator = !shown && !accessory.isEmpty();
    m_accessoryIndicator->setHidden(!indicator);
    if (indicator) {
        static_cast<AccessoryIndicatorView&>(*m_accessoryIndicator).type = currentAccessoryType();
        m_accessoryIndicator->setFrame(accessory);
        m_accessoryIndicator->setNeedsDisplay();
    } else if (shown && !accessory.isEmpty()) {
        shown->setFrame(accessory);
    }
    if (!accessory.isEmpty())
        right = b.width() - accessory.x();

    Rect content { left, 0, std::max(0.0, b.width() - left - right), b.height() };
    m_contentView->setFrame(content);

    // The standard pieces, for cells that use them.
    double x = kMargin;
    double cw = content.width();
    double h = content.height();
    if (auto& image = m_imageView->image()) {
        Size s = image->size();
        m_imageView->setFrame({ kMargin, (h - s.height) / 2, s.width, s.height });
        x = kMargin + s.width + kMargin;
    } else {
        m_imageView->setFrame({});
    }
    double textWidth = std::max(0.0, cw - x - kMargin);
    if (m_style == TableViewCellStyle::Subtitle && m_detailTextLabel) {
        double th = m_textLabel->font() ? m_textLabel->font()->lineHeight() : 20;
        double dh = m_detailTextLabel->font() ? m_detailTextLabel->font()->lineHeight() : 15;
        double top = std::max(0.0, (h - th - dh) / 2);
        m_textLabel->setFrame({ x, top, textWidth, th });
        m_detailTextLabel->setFrame({ x, top + th, textWidth, dh });
    } else if (m_detailTextLabel) {
        m_textLabel->setFrame({ x, 0, textWidth / 2, h });
        m_detailTextLabel->setFrame({ x + textWidth / 2, 0, textWidth / 2, h });
        m_detailTextLabel->setTextAlignment(TextAlignment::Right);
    } else {
        m_textLabel->setFrame({ x, 0, textWidth, h });
    }
}

void TableViewCell::draw(GraphicsContext& g, const Rect&)
{
    if (!m_separatorColor)
        return;
    Rect b = bounds();
    double onePixel = 1.0 / std::max(1.0, g.scale());
    g.fillRect({ kMargin, b.height() - onePixel, std::max(0.0, b.width() - kMargin), onePixel }, *m_separatorColor);
}

std::string TableViewCell::defaultAccessibilityLabel() const { return combinedAccessibilityLabel(*this); }

unsigned TableViewCell::defaultAccessibilityTraits() const
{
    unsigned traits = AccessibilityTraitStaticText;
    // A row that leads somewhere acts when tapped.
    if (currentAccessoryType() == TableViewCellAccessoryType::DisclosureIndicator)
        traits |= AccessibilityTraitButton;
    if (m_selected)
        traits |= AccessibilityTraitSelected;
    return traits;
}

} // namespace kit

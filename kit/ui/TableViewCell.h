// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/View.h"

#include <functional>
#include <memory>
#include <string>

namespace kit {

class ImageView;
class Label;
class TableView;

enum class TableViewCellStyle {
    Default, // image view and text label
    Value1,
    Value2,
    Subtitle, // image view, text label and a detail label beneath it
};

enum class TableViewCellSelectionStyle {
    None,
    Blue,
    Gray,
    Default,
};

enum class TableViewCellAccessoryType {
    None,
    DisclosureIndicator,
    DetailDisclosureButton,
    Checkmark,
};

enum class TableViewCellEditingStyle {
    None,
    Delete,
    Insert,
};

// One row of a table. Apps put their views into contentView(); the cell lays out the content
// view between the editing control on the left and the accessory (or the delete confirmation)
// on the right. Cells are kept for reuse by their identifier once their row scrolls away.
class TableViewCell : public View {
public:
    static std::shared_ptr<TableViewCell> create(TableViewCellStyle style, std::string reuseIdentifier);

    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    TableViewCellStyle style() const { return m_style; }

    View* contentView() const { return m_contentView.get(); }
    // Created with the cell; the detail label exists only in the styles that show one.
    Label* textLabel() const { return m_textLabel.get(); }
    Label* detailTextLabel() const { return m_detailTextLabel.get(); }
    ImageView* imageView() const { return m_imageView.get(); }

    // Behind the content, the whole cell; replaces the previous one.
    View* backgroundView() const { return m_backgroundView.get(); }
    void setBackgroundView(std::shared_ptr<View> view);
    View* selectedBackgroundView() const { return m_selectedBackgroundView.get(); }
    void setSelectedBackgroundView(std::shared_ptr<View> view);

    TableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted, bool animated = false);
    // Whether the highlight is drawn: a selection style other than none while highlighted or
    // selected.
    bool showsSelectionHighlight() const;

    TableViewCellAccessoryType accessoryType() const { return m_accessoryType; }
    void setAccessoryType(TableViewCellAccessoryType type);
    // A custom accessory wins over the type; its frame's size is kept.
    View* accessoryView() const { return m_accessoryView.get(); }
    void setAccessoryView(std::shared_ptr<View> view);
    // Shown instead of the accessory while editing.
    TableViewCellAccessoryType editingAccessoryType() const { return m_editingAccessoryType; }
    void setEditingAccessoryType(TableViewCellAccessoryType type);
    View* editingAccessoryView() const { return m_editingAccessoryView.get(); }
    void setEditingAccessoryView(std::shared_ptr<View> view);

    bool isEditing() const { return m_editing; }
    virtual void setEditing(bool editing, bool animated = false);
    // The control shown on the left while editing; set by the table from its delegate.
    TableViewCellEditingStyle editingStyle() const { return m_editingStyle; }
    void setEditingStyle(TableViewCellEditingStyle style);
    // The Delete button on the right, after the delete control was tapped.
    bool isShowingDeleteConfirmation() const { return m_showingDeleteConfirmation; }
    void setShowingDeleteConfirmation(bool showing);

    // Widths the cell reserves (points): the editing control, the accessory margin, the
    // Delete confirmation button.
    static constexpr double kEditingControlWidth = 38.0;
    static constexpr double kAccessoryMargin = 15.0;
    static constexpr double kDeleteConfirmationWidth = 82.0;
    static constexpr double kIndicatorWidth = 8.0;

    // The frames of the pieces the cell lays out, in the cell's coordinates.
    Rect editingControlFrame() const;
    Rect accessoryFrame() const;
    Rect deleteConfirmationFrame() const;

    // The separator line at the bottom, drawn unless the table has none.
    void setSeparatorColor(std::optional<Color> color);

    // Called by the table before the cell is handed out again; resets the highlight and the
    // delete confirmation. Subclasses call the base.
    virtual void prepareForReuse();

    // Taps on the editing controls, told to the table that shows the cell.
    std::function<void(TableViewCell&, TableViewCellEditingStyle)> onEditingControlTapped;
    std::function<void(TableViewCell&)> onDeleteConfirmed;

    // Object
    std::string className() const override { return "UITableViewCell"; }

    // View
    void layoutSubviews() override;
    void draw(GraphicsContext& context, const Rect& dirty) override;
    // A row that acts on a tap (its table selects rows now and the cell shows the selection)
    // takes the focus; Return or Space selects it as a tap does, Up and Down move the focus to
    // the neighbouring rows. The ring lies inside the cell, which spans the table's width.
    bool canBecomeFirstResponder() const override;
    bool showsFocusRing() const override { return true; }
    Rect focusRingRect() const override;
    bool keyDown(const KeyEvent& event) override;

protected:
    // One element reading its labels in order.
    bool defaultIsAccessibilityElement() const override { return true; }
    std::string defaultAccessibilityLabel() const override;
    unsigned defaultAccessibilityTraits() const override;

    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    friend class View;
    void didCreate() override;

private:
    TableView* enclosingTable() const;
    const View* currentAccessory() const;
    TableViewCellAccessoryType currentAccessoryType() const;
    Size accessorySize() const;
    void updateHighlightViews();

    TableViewCellStyle m_style = TableViewCellStyle::Default;
    std::string m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<Label> m_detailTextLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<View> m_backgroundView;
    std::shared_ptr<View> m_selectedBackgroundView;
    std::shared_ptr<View> m_defaultSelectedBackground;
    std::shared_ptr<View> m_accessoryView;
    std::shared_ptr<View> m_editingAccessoryView;
    std::shared_ptr<View> m_accessoryIndicator; // drawn disclosure indicator / checkmark
    std::shared_ptr<View> m_editingControl;
    std::shared_ptr<View> m_deleteButton;
    TableViewCellSelectionStyle m_selectionStyle = TableViewCellSelectionStyle::Default;
    TableViewCellAccessoryType m_accessoryType = TableViewCellAccessoryType::None;
    TableViewCellAccessoryType m_editingAccessoryType = TableViewCellAccessoryType::None;
    TableViewCellEditingStyle m_editingStyle = TableViewCellEditingStyle::None;
    std::optional<Color> m_separatorColor;
    bool m_selected = false;
    bool m_highlighted = false;
    bool m_editing = false;
    bool m_showingDeleteConfirmation = false;
};

} // namespace kit

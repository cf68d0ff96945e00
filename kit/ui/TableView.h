// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/IndexPath.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/TableViewLayout.h"
#include "kit/ui/TableViewUpdates.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kit {

class TableView;

enum class TableViewStyle {
    Plain, // section headers stay at the top while their section scrolls under them
    Grouped,
};

enum class TableViewScrollPosition {
    None,
    Top,
    Middle,
    Bottom,
};

enum class TableViewCellSeparatorStyle {
    None,
    SingleLine,
};

// Supplies a table's sections, rows and cells.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    virtual int numberOfSectionsInTableView(TableView&) { return 1; }
    virtual int numberOfRowsInSection(TableView&, int section) = 0;
    // A cell for the row, best one from TableView::dequeueReusableCell. A null cell is a
    // programming error: the table logs it and shows an empty cell.
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) = 0;
    // The user confirmed a deletion or tapped an insert control.
    virtual void commitEditingStyle(TableView&, TableViewCellEditingStyle, const IndexPath&) { }
};

// Heights, header views, selection and editing of a table. It hears the scroll view's calls
// too, since a table is a scroll view.
class TableViewDelegate : public virtual ScrollViewDelegate {
public:
    // By default the table's rowHeight, sectionHeaderHeight and sectionFooterHeight.
    virtual double heightForRowAtIndexPath(TableView&, const IndexPath&);
    virtual double heightForHeaderInSection(TableView&, int section);
    virtual double heightForFooterInSection(TableView&, int section);
    // Asked each time a header comes into view; the table does not keep them for reuse.
    virtual std::shared_ptr<View> viewForHeaderInSection(TableView&, int) { return nullptr; }
    virtual std::shared_ptr<View> viewForFooterInSection(TableView&, int) { return nullptr; }

    // Right before a cell is shown for a row (after cellForRowAtIndexPath and the cell's
    // sizing, so the content view has its final frame).
    virtual void willDisplayCell(TableView&, TableViewCell&, const IndexPath&) { }
    virtual void didEndDisplayingCell(TableView&, TableViewCell&, const IndexPath&) { }
    virtual void didSelectRowAtIndexPath(TableView&, const IndexPath&) { }
    virtual void didDeselectRowAtIndexPath(TableView&, const IndexPath&) { }

    // While editing: the control each row shows. Delete by default.
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath&)
    {
        return TableViewCellEditingStyle::Delete;
    }
};

// A vertical list of sections of rows. Only the rows in view have cells; a cell whose row
// scrolls away goes to a pool by its reuse identifier and comes back from
// dequeueReusableCell. A table turned by a transform (rows becoming columns) scrolls, hit
// tests and finds rows in its own axes.
class TableView : public ScrollView {
public:
    static std::shared_ptr<TableView> create(const Rect& frame, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;

    TableViewStyle style() const { return m_style; }

    // Neither is owned; the owner clears them (or the table) before it goes.
    TableViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(TableViewDataSource* dataSource);
    // Also the scroll view's delegate.
    TableViewDelegate* tableDelegate() const { return m_tableDelegate; }
    void setDelegate(TableViewDelegate* delegate);

    // Defaults: rows 44; headers and footers 0 in the plain style, 35 and 17 grouped.
    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height);
    double sectionHeaderHeight() const { return m_sectionHeaderHeight; }
    void setSectionHeaderHeight(double height);
    double sectionFooterHeight() const { return m_sectionFooterHeight; }
    void setSectionFooterHeight(double height);

    TableViewCellSeparatorStyle separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(TableViewCellSeparatorStyle style);
    Color separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(const Color& color);

    // Behind every row, filling the visible area; replaces the previous one.
    View* backgroundView() const { return m_backgroundView.get(); }
    void setBackgroundView(std::shared_ptr<View> view);
    // Above the first section and below the last one; their heights are their frames'.
    View* tableHeaderView() const { return m_tableHeaderView.get(); }
    void setTableHeaderView(std::shared_ptr<View> view);
    View* tableFooterView() const { return m_tableFooterView.get(); }
    void setTableFooterView(std::shared_ptr<View> view);

    // A cell from the pool for the identifier, prepared for reuse; null when none is free.
    std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& identifier);

    // Asks the data source and delegate for everything again and rebuilds the visible cells.
    void reloadData();
    // Changes between beginUpdates and endUpdates are applied together at endUpdates, where
    // the data source's new counts are checked against them. Outside a batch each call is a
    // batch of its own. A count that does not add up is a programming error: the table logs
    // it and reloads instead.
    void beginUpdates();
    void endUpdates();
    void insertSections(const std::vector<int>& sections, TableViewRowAnimation animation);
    void deleteSections(const std::vector<int>& sections, TableViewRowAnimation animation);
    void reloadSections(const std::vector<int>& sections, TableViewRowAnimation animation);
    void insertRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation);
    void deleteRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation);
    void reloadRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation);
    // Seconds the row animations of a batch take.
    static constexpr double kRowAnimationDuration = 0.3;

    int numberOfSections();
    int numberOfRowsInSection(int section);

    // In the table's own (content) coordinates.
    Rect rectForRowAtIndexPath(const IndexPath& path);
    Rect rectForHeaderInSection(int section);
    Rect rectForFooterInSection(int section);
    Rect rectForSection(int section);
    // The row under a point of the table's own coordinates (content offset included).
    std::optional<IndexPath> indexPathForRowAtPoint(Point point);
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    std::vector<IndexPath> indexPathsForVisibleRows();
    std::vector<TableViewCell*> visibleCells();
    // The cell of a visible row, else null.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& path);
    // The header view of a section in view, else null.
    View* headerViewForSection(int section);

    // Scrolls so the row stands at the top, middle or bottom of the visible area (inside the
    // content insets), clamped to the ends of the content. None scrolls only as far as needed
    // to show the row.
    void scrollToRowAtIndexPath(const IndexPath& path, TableViewScrollPosition position, bool animated);
    // Where scrollToRowAtIndexPath would take the content; the current offset for a row that
    // does not exist. Lets a caller see beforehand that a scroll would not move (and so would
    // end without scrollViewDidEndScrollingAnimation).
    Point contentOffsetForScrollingToRow(const IndexPath& path, TableViewScrollPosition position);

    std::optional<IndexPath> indexPathForSelectedRow() const { return m_selectedRow; }
    void selectRowAtIndexPath(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& path, bool animated);
    // Selects the row as a tap on it does (Return on its focused cell): the row selected before
    // is deselected, and the delegate is told of both. Nothing when selection is not allowed now
    // or the row does not exist.
    void selectRowAsUser(const IndexPath& path);
    // Whether a tap selects a row now: allowsSelection, or while editing
    // allowsSelectionDuringEditing.
    bool isSelectionAllowedNow() const { return m_editing ? m_allowsSelectionDuringEditing : m_allowsSelection; }
    // Moves the keyboard focus to the nearest row below `path` (above it when `upwards`) whose
    // cell takes the focus, scrolling only as far as needed to show it. False when none does.
    bool focusRowAdjacentTo(const IndexPath& path, bool upwards);

    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool allows) { m_allowsSelection = allows; }
    bool allowsSelectionDuringEditing() const { return m_allowsSelectionDuringEditing; }
    void setAllowsSelectionDuringEditing(bool allows) { m_allowsSelectionDuringEditing = allows; }

    // Editing mode shows each row's editing control (from the delegate's editing style).
    bool isEditing() const { return m_editing; }
    void setEditing(bool editing, bool animated = false);

    // Cells alive: in view, leaving in an animation, and in the pool.
    int liveCellCount() const;
    int reusableCellCount() const;

    // Object
    std::string className() const override { return "UITableView"; }

    // View
    void layoutSubviews() override;

protected:
    TableView(const Rect& frame, TableViewStyle style);
    friend class View;

    // ScrollView
    void didTapContent(const Touch&) override;
    void contentTouchBegan(const Touch&) override;
    void contentTouchCancelled() override;
    void contentOffsetDidChange() override;
    void boundsSizeDidChange(Size) override;

private:
    // Asks the data source again after reloadData. Only non-const members call it: it removes
    // subviews and calls out to the data source.
    void ensureLoaded();
    void rebuildLayout();
    std::vector<int> currentRowCounts();
    // Puts cells, section headers and footers where the visible area needs them.
    void tile();
    void tileRows(double top, double bottom);
    void tileSectionViews(double top, double bottom);
    std::shared_ptr<View> sectionView(std::map<int, std::shared_ptr<View>>& visible, int section, bool header);
    void enqueue(std::shared_ptr<TableViewCell> cell, const IndexPath& path);
    std::shared_ptr<TableViewCell> makeCell(const IndexPath& path);
    void configureCell(TableViewCell& cell, const IndexPath& path);
    void applyUpdates(TableViewUpdates updates);
    void animateOut(std::shared_ptr<View> view, TableViewRowAnimation animation);
    void layoutFixedViews();
    double visibleTop() const;
    double visibleBottom() const;
    std::optional<IndexPath> rowAtTouch(const Touch& touch);
    void editingControlTapped(TableViewCell& cell, TableViewCellEditingStyle style);
    void deleteConfirmed(TableViewCell& cell);
    void hideDeleteConfirmation();

    TableViewStyle m_style = TableViewStyle::Plain;
    TableViewDataSource* m_dataSource = nullptr; // not owned
    TableViewDelegate* m_tableDelegate = nullptr; // not owned
    double m_rowHeight = 44;
    double m_sectionHeaderHeight = 0;
    double m_sectionFooterHeight = 0;
    TableViewCellSeparatorStyle m_separatorStyle = TableViewCellSeparatorStyle::SingleLine;
    Color m_separatorColor = Color::rgba(0.78, 0.78, 0.8, 1);
    std::shared_ptr<View> m_backgroundView;
    std::shared_ptr<View> m_tableHeaderView;
    std::shared_ptr<View> m_tableFooterView;

    bool m_needsReload = true;
    bool m_reloading = false;
    TableViewLayout m_layout;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> m_visibleCells;
    std::map<int, std::shared_ptr<View>> m_visibleHeaders;
    std::map<int, std::shared_ptr<View>> m_visibleFooters;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> m_reusePool;
    std::vector<std::shared_ptr<View>> m_leavingViews; // fading out after a batch
    bool m_needsRelayout = false;
    std::set<IndexPath> m_freshRows; // rows of the batch being applied that arrive animated
    TableViewRowAnimation m_freshAnimation = TableViewRowAnimation::None;
    bool m_animateMoves = false;
    int m_updateDepth = 0;
    TableViewUpdates m_pendingUpdates;

    std::optional<IndexPath> m_selectedRow;
    std::optional<IndexPath> m_highlightedRow;
    std::optional<IndexPath> m_deleteConfirmationRow;
    bool m_allowsSelection = true;
    bool m_allowsSelectionDuringEditing = false;
    bool m_editing = false;
};

} // namespace kit

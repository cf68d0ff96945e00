// SPDX-License-Identifier: MIT
#include "TableViewTestSupport.h"

#include "kit/ui/Label.h"
#include "kit/ui/TableView.h"

#include <cmath>
#include <map>

using namespace kit;

namespace {

// A table model that counts what the table asks of it.
class Model : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<int> rows { 20 };
    std::map<IndexPath, double> heights;
    double headerHeight = 0;
    std::vector<std::string> calls;
    int cellsMade = 0;
    int cellRequests = 0;
    int headerRequests = 0;
    std::vector<IndexPath> selected;
    std::vector<std::pair<TableViewCellEditingStyle, IndexPath>> commits;
    std::vector<IndexPath> displayed;
    double contentWidthAtDisplay = -1;
    std::function<TableViewCellEditingStyle(const IndexPath&)> editingStyle;

    int numberOfSectionsInTableView(TableView&) override
    {
        calls.push_back("sections");
        return static_cast<int>(rows.size());
    }
    int numberOfRowsInSection(TableView&, int section) override
    {
        calls.push_back("rows " + std::to_string(section));
        return rows.at(section);
    }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& path) override
    {
        ++cellRequests;
        calls.push_back("cell " + std::to_string(path.section) + "," + std::to_string(path.row));
        auto cell = table.dequeueReusableCell("cell");
        if (!cell) {
            ++cellsMade;
            cell = TableViewCell::create(TableViewCellStyle::Subtitle, "cell");
        }
        cell->setTag(1000 * path.section + path.row);
        return cell;
    }
    void commitEditingStyle(TableView&, TableViewCellEditingStyle style, const IndexPath& path) override
    {
        commits.emplace_back(style, path);
    }

    double heightForRowAtIndexPath(TableView& table, const IndexPath& path) override
    {
        auto it = heights.find(path);
        return it == heights.end() ? table.rowHeight() : it->second;
    }
    double heightForHeaderInSection(TableView&, int) override { return headerHeight; }
    std::shared_ptr<View> viewForHeaderInSection(TableView&, int section) override
    {
        ++headerRequests;
        auto header = View::create<Label>("Section " + std::to_string(section));
        header->setTag(-1 - section);
        return header;
    }
    void willDisplayCell(TableView&, TableViewCell& cell, const IndexPath& path) override
    {
        displayed.push_back(path);
        contentWidthAtDisplay = cell.contentView()->frame().width();
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& path) override { selected.push_back(path); }
    TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView&, const IndexPath& path) override
    {
        return editingStyle ? editingStyle(path) : TableViewCellEditingStyle::Delete;
    }

    std::vector<std::string> cellCalls() const
    {
        std::vector<std::string> out;
        for (auto& c : calls)
            if (c.rfind("cell", 0) == 0)
                out.push_back(c);
        return out;
    }
};

class TableViewTest : public kit::test::VirtualClockTest {
protected:
    void SetUp() override
    {
        VirtualClockTest::SetUp();
        table = TableView::create({ 0, 0, 320, 480 });
        window->addSubview(table);
    }
    void TearDown() override
    {
        table->setDataSource(nullptr);
        table->setDelegate(nullptr);
        table.reset();
        VirtualClockTest::TearDown();
    }
    void attach()
    {
        table->setDataSource(&model);
        table->setDelegate(&model);
        table->layoutIfNeeded();
    }
    std::vector<IndexPath> visible() { return table->indexPathsForVisibleRows(); }

    Model model;
    std::shared_ptr<TableView> table;
};

} // namespace

TEST_F(TableViewTest, CellsOnlyForVisibleRowsAndReusedWhileScrolling)
{
    model.rows = { 10000 };
    attach();
    // 480 / 44 → rows 0…10 are in view.
    EXPECT_EQ(visible().size(), 11u);
    EXPECT_EQ(model.cellRequests, 11);
    EXPECT_EQ(table->contentSize().height, 10000 * 44.0);

    for (double y = 0; y <= table->maximumContentOffset().y; y += 37)
        table->setContentOffset({ 0, y });
    table->setContentOffset(table->maximumContentOffset());
    EXPECT_EQ(visible().back(), (IndexPath { 0, 9999 }));
    // Every row was asked for once on the way down, but only a screenful of cells was made.
    EXPECT_EQ(model.cellRequests, 10000);
    EXPECT_LE(model.cellsMade, 13);
    EXPECT_LE(table->liveCellCount(), 13);
    EXPECT_EQ(table->liveCellCount(), model.cellsMade);
    // Each visible cell sits at its row's rectangle.
    for (auto* cell : table->visibleCells()) {
        auto path = table->indexPathForCell(*cell);
        ASSERT_TRUE(path);
        EXPECT_EQ(cell->frame(), table->rectForRowAtIndexPath(*path));
        EXPECT_EQ(cell->tag(), path->row);
    }
}

TEST_F(TableViewTest, ReloadAsksForVisibleRowsAgainAndReusesTheirCells)
{
    attach();
    int made = model.cellsMade;
    model.calls.clear();
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(model.cellCalls().size(), visible().size());
    EXPECT_EQ(model.cellsMade, made);
    EXPECT_EQ(model.calls.front(), "sections");
    // Shrinking the data leaves fewer cells in view, the rest in the pool.
    model.rows = { 3 };
    table->reloadData();
    EXPECT_EQ(visible().size(), 3u);
    EXPECT_EQ(table->reusableCellCount(), made - 3);
}

TEST_F(TableViewTest, HeightsFromTheDelegateAndRowLookupAtBoundaries)
{
    model.rows = { 3, 2 };
    model.headerHeight = 30;
    model.heights[{ 0, 1 }] = 100;
    model.heights[{ 1, 0 }] = 0; // collapsed rows take no room and are never hit
    attach();
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }), (Rect { 0, 30, 320, 44 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 1 }), (Rect { 0, 74, 320, 100 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 2 }), (Rect { 0, 174, 320, 44 }));
    EXPECT_EQ(table->rectForHeaderInSection(1), (Rect { 0, 218, 320, 30 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 1 }), (Rect { 0, 248, 320, 44 }));
    EXPECT_EQ(table->contentSize().height, 292);

    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, 29.9 })); // header
    EXPECT_EQ(table->indexPathForRowAtPoint({ 10, 30 }), (IndexPath { 0, 0 }));
    EXPECT_EQ(table->indexPathForRowAtPoint({ 10, 73.99 }), (IndexPath { 0, 0 }));
    EXPECT_EQ(table->indexPathForRowAtPoint({ 10, 74 }), (IndexPath { 0, 1 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, 230 })); // second header
    EXPECT_EQ(table->indexPathForRowAtPoint({ 10, 248 }), (IndexPath { 1, 1 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, 292 })); // past the end
    EXPECT_FALSE(table->indexPathForRowAtPoint({ -1, 100 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 320, 100 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, std::nan("") }));
    // Out-of-range rows have no rectangle.
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 3 }), Rect {});
    EXPECT_EQ(table->rectForRowAtIndexPath({ 2, 0 }), Rect {});
    // A fixed row height applies without a delegate.
    table->setDelegate(nullptr);
    table->setRowHeight(36);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 1 }), (Rect { 0, 3 * 36 + 36, 320, 36 }));
}

TEST_F(TableViewTest, HeaderViewsForSectionsInViewPinnedInThePlainStyle)
{
    model.rows = { 30, 30 };
    model.headerHeight = 30;
    attach();
    // Only the first section is in view; its header is asked once.
    EXPECT_EQ(model.headerRequests, 1);
    ASSERT_TRUE(table->headerViewForSection(0));
    EXPECT_FALSE(table->headerViewForSection(1));
    EXPECT_EQ(table->headerViewForSection(0)->frame(), (Rect { 0, 0, 320, 30 }));
    EXPECT_EQ(table->viewWithTag(-1), table->headerViewForSection(0));

    // Scrolled into the middle of section 0, its header stays at the top of the view.
    table->setContentOffset({ 0, 500 });
    EXPECT_EQ(table->headerViewForSection(0)->frame().y(), 500);
    // Near the end of section 0 the next header pushes it up.
    double section1 = table->rectForHeaderInSection(1).y(); // 30 + 30*44 = 1350
    table->setContentOffset({ 0, section1 - 10 });
    EXPECT_EQ(table->headerViewForSection(0)->frame().y(), section1 - 30);
    ASSERT_TRUE(table->headerViewForSection(1));
    EXPECT_EQ(table->headerViewForSection(1)->frame().y(), section1);
    // Headers are not kept: back in view, a section's header is asked for again.
    int asked = model.headerRequests;
    table->setContentOffset({ 0, 2000 });
    EXPECT_FALSE(table->headerViewForSection(0));
    table->setContentOffset({ 0, 0 });
    EXPECT_EQ(model.headerRequests, asked + 1);
}

TEST_F(TableViewTest, GroupedHeadersScrollWithTheirSection)
{
    table = TableView::create({ 0, 0, 320, 480 }, TableViewStyle::Grouped);
    window->addSubview(table);
    model.rows = { 30 };
    model.headerHeight = 30;
    attach();
    table->setContentOffset({ 0, 10 });
    ASSERT_TRUE(table->headerViewForSection(0));
    EXPECT_EQ(table->headerViewForSection(0)->frame().y(), 0);
}

TEST_F(TableViewTest, TableHeaderAndFooterViewsFrameTheSections)
{
    model.rows = { 2 };
    auto header = View::create<View>();
    header->setFrame({ 0, 0, 10, 50 });
    auto footer = View::create<View>();
    footer->setFrame({ 0, 0, 10, 40 });
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    attach();
    EXPECT_EQ(header->frame(), (Rect { 0, 0, 320, 50 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }).y(), 50);
    EXPECT_EQ(footer->frame(), (Rect { 0, 50 + 88, 320, 40 }));
    EXPECT_EQ(table->contentSize().height, 50 + 88 + 40);
}

// Batches

TEST_F(TableViewTest, InsertingALeadingSectionAndReloadingTheOldOne)
{
    model.rows = { 5 };
    attach();
    auto* oldCell = table->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(oldCell);
    model.calls.clear();
    model.rows = { 3, 5 };
    table->beginUpdates();
    table->insertSections({ 0 }, TableViewRowAnimation::Top);
    table->reloadSections({ 0 }, TableViewRowAnimation::Fade);
    table->endUpdates();
    EXPECT_TRUE(s_logged.empty());
    // The counts are asked once, at the end, then every visible row of both (new) sections.
    std::vector<std::string> counts(model.calls.begin(), model.calls.begin() + 3);
    EXPECT_EQ(counts, (std::vector<std::string> { "sections", "rows 0", "rows 1" }));
    EXPECT_EQ(model.cellCalls(),
        (std::vector<std::string> { "cell 0,0", "cell 0,1", "cell 0,2", "cell 1,0", "cell 1,1", "cell 1,2", "cell 1,3",
            "cell 1,4" }));
    EXPECT_EQ(visible().size(), 8u);
    EXPECT_EQ(table->numberOfSections(), 2);
    // The old cells leave in an animation and then return to the pool.
    EXPECT_GT(table->liveCellCount(), 8);
    advance(1);
    EXPECT_EQ(table->liveCellCount(), model.cellsMade);
    EXPECT_EQ(table->reusableCellCount(), model.cellsMade - 8);
}

TEST_F(TableViewTest, DeletingTheLeadingSectionAndReloadingTheNextOne)
{
    model.rows = { 3, 5 };
    attach();
    model.calls.clear();
    model.rows = { 5 };
    table->beginUpdates();
    table->deleteSections({ 0 }, TableViewRowAnimation::Top);
    table->reloadSections({ 1 }, TableViewRowAnimation::Fade);
    table->endUpdates();
    EXPECT_TRUE(s_logged.empty());
    EXPECT_EQ(model.cellCalls(), (std::vector<std::string> { "cell 0,0", "cell 0,1", "cell 0,2", "cell 0,3", "cell 0,4" }));
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 4 })->tag(), 4);
}

TEST_F(TableViewTest, ReloadingAllSectionsKeepsTheCount)
{
    model.rows = { 2, 2 };
    attach();
    model.calls.clear();
    table->reloadSections({ 0, 1 }, TableViewRowAnimation::Fade);
    EXPECT_TRUE(s_logged.empty());
    EXPECT_EQ(model.cellCalls().size(), 4u);
}

TEST_F(TableViewTest, DeletingARowAtTheLimitBringsBackTheAddRow)
{
    // Seven rows, the last a model row: delete row 2, insert row 6 (the add row) in one batch.
    model.rows = { 7 };
    attach();
    TableViewCell* wasRow3 = table->cellForRowAtIndexPath({ 0, 3 });
    TableViewCell* wasRow2 = table->cellForRowAtIndexPath({ 0, 2 });
    model.calls.clear();
    table->beginUpdates();
    table->insertRows({ { 0, 6 } }, TableViewRowAnimation::Automatic);
    table->deleteRows({ { 0, 2 } }, TableViewRowAnimation::Automatic);
    table->endUpdates();
    EXPECT_TRUE(s_logged.empty());
    // Only the inserted row is asked for; the rows below the deleted one move up.
    EXPECT_EQ(model.cellCalls(), std::vector<std::string> { "cell 0,6" });
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 2 }), wasRow3);
    for (auto* cell : table->visibleCells())
        EXPECT_NE(cell, wasRow2);
    advance(1);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 2 })->frame(), table->rectForRowAtIndexPath({ 0, 2 }));
}

TEST_F(TableViewTest, MismatchedCountsAreLoggedAndReloaded)
{
    model.rows = { 5 };
    attach();
    // Claims an insertion, but the data source still reports five rows.
    table->insertRows({ { 0, 5 } }, TableViewRowAnimation::Fade);
    ASSERT_EQ(s_logged.size(), 1u);
    EXPECT_NE(s_logged[0].find("invalid"), std::string::npos);
    EXPECT_EQ(table->numberOfRowsInSection(0), 5);
    EXPECT_EQ(visible().size(), 5u);
    // Deleting a section that does not exist, likewise.
    s_logged.clear();
    model.rows = { 2 };
    table->deleteSections({ 3 }, TableViewRowAnimation::Fade);
    EXPECT_EQ(s_logged.size(), 1u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    // Nested batches apply once, at the outermost end.
    s_logged.clear();
    model.rows = { 2, 1 };
    table->beginUpdates();
    table->beginUpdates();
    table->insertSections({ 1 }, TableViewRowAnimation::None);
    table->endUpdates();
    EXPECT_EQ(table->numberOfSections(), 1);
    table->endUpdates();
    EXPECT_EQ(table->numberOfSections(), 2);
    EXPECT_TRUE(s_logged.empty());
    // An unbalanced end is logged and ignored.
    table->endUpdates();
    EXPECT_EQ(s_logged.size(), 1u);
}

TEST_F(TableViewTest, DeletingRowsNearTheEndPullsTheOffsetBack)
{
    model.rows = { 40 };
    attach();
    table->setContentOffset(table->maximumContentOffset());
    model.rows = { 10 };
    std::vector<IndexPath> gone;
    for (int r = 10; r < 40; ++r)
        gone.push_back({ 0, r });
    table->deleteRows(gone, TableViewRowAnimation::Fade);
    EXPECT_TRUE(s_logged.empty());
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(visible().size(), 10u);
}

// Selection and editing

TEST_F(TableViewTest, TapSelectsTheRowUnderTheFinger)
{
    attach();
    tap({ 100, 44 * 3 + 5 });
    EXPECT_EQ(model.selected, (std::vector<IndexPath> { IndexPath { 0, 3 } }));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 3 }));
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 0, 3 })->isSelected());
    // A drag is not a tap.
    drag({ 100, 300 }, { 100, 200 }, {});
    EXPECT_EQ(model.selected.size(), 1u);
    // Nothing is selected while editing unless allowed.
    table->setEditing(true);
    tap({ 100, 300 });
    EXPECT_EQ(model.selected.size(), 1u);
    table->setAllowsSelectionDuringEditing(true);
    tap({ 100, 300 });
    EXPECT_EQ(model.selected.size(), 2u);
}

TEST_F(TableViewTest, EditingControlsCommitDeleteAfterConfirmationAndInsertAtOnce)
{
    model.rows = { 4 };
    model.editingStyle
        = [](const IndexPath& p) { return p.row == 3 ? TableViewCellEditingStyle::Insert : TableViewCellEditingStyle::Delete; };
    attach();
    table->setEditing(true);
    table->setAllowsSelectionDuringEditing(true);
    auto* cell1 = table->cellForRowAtIndexPath({ 0, 1 });
    EXPECT_EQ(cell1->editingStyle(), TableViewCellEditingStyle::Delete);
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 3 })->editingStyle(), TableViewCellEditingStyle::Insert);
    // The content view gives room to the control.
    EXPECT_EQ(cell1->contentView()->frame().x(), TableViewCell::kEditingControlWidth);

    // The red minus shows the Delete button; only that button commits.
    Point minus = cell1->convertPointTo(cell1->editingControlFrame().center(), nullptr);
    tap(minus);
    EXPECT_TRUE(cell1->isShowingDeleteConfirmation());
    EXPECT_TRUE(model.commits.empty());
    Point confirm = cell1->convertPointTo(cell1->deleteConfirmationFrame().center(), nullptr);
    tap(confirm);
    ASSERT_EQ(model.commits.size(), 1u);
    EXPECT_EQ(model.commits[0].first, TableViewCellEditingStyle::Delete);
    EXPECT_EQ(model.commits[0].second, (IndexPath { 0, 1 }));
    EXPECT_FALSE(cell1->isShowingDeleteConfirmation());

    // A tap elsewhere puts a shown Delete button away without selecting.
    tap(minus);
    tap({ 200, 44 * 2 + 20 });
    EXPECT_FALSE(cell1->isShowingDeleteConfirmation());
    EXPECT_TRUE(model.selected.empty());

    // The green plus commits an insertion at once.
    auto* cell3 = table->cellForRowAtIndexPath({ 0, 3 });
    tap(cell3->convertPointTo(cell3->editingControlFrame().center(), nullptr));
    ASSERT_EQ(model.commits.size(), 2u);
    EXPECT_EQ(model.commits[1].first, TableViewCellEditingStyle::Insert);
    EXPECT_EQ(model.commits[1].second, (IndexPath { 0, 3 }));
    // And the row itself still selects.
    tap({ 200, 44 * 3 + 20 });
    EXPECT_EQ(model.selected, (std::vector<IndexPath> { IndexPath { 0, 3 } }));

    // Leaving editing hides the controls.
    table->setEditing(false);
    EXPECT_FALSE(cell1->isEditing());
    EXPECT_EQ(cell1->contentView()->frame().x(), 0);
}

TEST_F(TableViewTest, ContentViewIsTheWidthLessAccessoryAndEditingControl)
{
    model.rows = { 2 };
    table->setFrame({ 0, 0, 300, 480 });
    attach();
    EXPECT_EQ(model.contentWidthAtDisplay, 300);
    auto* cell = table->cellForRowAtIndexPath({ 0, 0 });
    auto accessory = View::create<View>();
    accessory->setFrame({ 0, 0, 174, 43 });
    cell->setAccessoryView(accessory);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView()->frame().width(), 300 - 174 - TableViewCell::kAccessoryMargin);
    EXPECT_EQ(accessory->frame().size, (Size { 174, 43 }));
    // Editing shows the editing accessory instead.
    cell->setEditingAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
    cell->setEditingStyle(TableViewCellEditingStyle::Delete);
    cell->setEditing(true);
    cell->layoutIfNeeded();
    EXPECT_TRUE(accessory->isHidden());
    EXPECT_EQ(cell->contentView()->frame().width(),
        300 - TableViewCell::kEditingControlWidth - TableViewCell::kIndicatorWidth - TableViewCell::kAccessoryMargin);
    // A reused cell keeps its accessory, and willDisplayCell sees the content frame it leaves.
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(model.contentWidthAtDisplay, 300 - 174 - TableViewCell::kAccessoryMargin);
}

// Scrolling to rows

TEST_F(TableViewTest, ScrollToRowTopMiddleAndClampedEnds)
{
    model.rows = { 100 };
    attach();
    table->scrollToRowAtIndexPath({ 0, 50 }, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 50 * 44);
    table->scrollToRowAtIndexPath({ 0, 50 }, TableViewScrollPosition::Middle, false);
    EXPECT_EQ(table->contentOffset().y, 50 * 44 + 22 - 240);
    EXPECT_EQ(visible().front().row, 45);
    // The first row cannot be centred, the last cannot reach the top.
    table->scrollToRowAtIndexPath({ 0, 0 }, TableViewScrollPosition::Middle, false);
    EXPECT_EQ(table->contentOffset().y, 0);
    table->scrollToRowAtIndexPath({ 0, 99 }, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 100 * 44 - 480);
    // Insets count: top is below the top inset, the end includes the bottom inset.
    table->setContentInset({ 40, 0, 50, 0 });
    table->scrollToRowAtIndexPath({ 0, 10 }, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 10 * 44 - 40);
    table->scrollToRowAtIndexPath({ 0, 0 }, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, -40);
    table->scrollToRowAtIndexPath({ 0, 99 }, TableViewScrollPosition::Middle, false);
    EXPECT_EQ(table->contentOffset().y, 100 * 44 + 50 - 480);
    // A row that does not exist is refused, logged, and nothing moves.
    table->scrollToRowAtIndexPath({ 0, 100 }, TableViewScrollPosition::Top, false);
    EXPECT_EQ(table->contentOffset().y, 100 * 44 + 50 - 480);
    EXPECT_EQ(s_logged.size(), 1u);
}

TEST_F(TableViewTest, AnimatedScrollToRowReportsTheAnimationEnd)
{
    struct Both : Model, kit::test::ScrollEventRecorder {
    } both;
    both.rows = { 100 };
    table->setDataSource(&both);
    table->setDelegate(&both);
    table->scrollToRowAtIndexPath({ 0, 30 }, TableViewScrollPosition::Middle, true);
    advance(1);
    EXPECT_EQ(table->contentOffset().y, 30 * 44 + 22 - 240);
    EXPECT_EQ(both.events, (std::vector<std::string> { "didScroll", "didEndScrollingAnimation" }));
    table->setDataSource(nullptr);
    table->setDelegate(nullptr);
}

TEST_F(TableViewTest, TurnedTableMapsTapsToColumns)
{
    // A strip of 107-point columns, turned a quarter turn anticlockwise about its centre.
    model.rows = { 14 };
    table->setRowHeight(107);
    table->setFrame({ 0, 0, 36, 535 });
    table->setCenter({ 160, 38 });
    table->setTransform(AffineTransform::rotation(-M_PI / 2));
    attach();
    // On screen the strip spans x from 160 - 267.5 to 160 + 267.5; row 0 is at the left.
    Rect onScreen = table->frame();
    EXPECT_NEAR(onScreen.width(), 535, 1e-9);
    EXPECT_NEAR(onScreen.height(), 36, 1e-9);
    double left = onScreen.x();
    tap({ left + 107 * 2 + 50, 38 });
    ASSERT_EQ(model.selected.size(), 1u);
    EXPECT_EQ(model.selected[0].row, 2);
    // Scrolled by two columns, the same spot shows column 4.
    table->setContentOffset({ 0, 214 });
    tap({ left + 107 * 2 + 50, 38 });
    ASSERT_EQ(model.selected.size(), 2u);
    EXPECT_EQ(model.selected[1].row, 4);
    // A finger moving left scrolls the strip forward.
    drag({ 300, 38 }, { 200, 38 }, {});
    EXPECT_NEAR(table->contentOffset().y, 314, 1e-9);
    // Row lookup in the strip's own coordinates: the column under the strip's middle.
    Rect b = table->bounds();
    auto middle = table->indexPathForRowAtPoint({ b.width() / 2, b.y() + b.height() / 2 });
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->row, int((314 + 267.5) / 107));
}

TEST_F(TableViewTest, NullCellIsLoggedAndReplaced)
{
    struct NoCells : Model {
        std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) override { return nullptr; }
    } broken;
    broken.rows = { 2 };
    table->setDataSource(&broken);
    table->layoutIfNeeded();
    EXPECT_EQ(table->visibleCells().size(), 2u);
    EXPECT_EQ(s_logged.size(), 2u);
    table->setDataSource(nullptr);
}

TEST_F(TableViewTest, OffsetForScrollingToARowIsWhereTheScrollGoes)
{
    model.rows = { 100 };
    attach();
    table->setContentInset({ 40, 0, 50, 0 });
    for (auto position : { TableViewScrollPosition::Top, TableViewScrollPosition::Middle, TableViewScrollPosition::Bottom }) {
        for (int row : { 0, 1, 50, 98, 99 }) {
            Point predicted = table->contentOffsetForScrollingToRow({ 0, row }, position);
            table->scrollToRowAtIndexPath({ 0, row }, position, false);
            EXPECT_EQ(predicted, table->contentOffset()) << "row " << row;
        }
    }
    // A row that does not exist leaves the content where it is.
    table->setContentOffset({ 0, 123 });
    EXPECT_EQ(table->contentOffsetForScrollingToRow({ 0, 100 }, TableViewScrollPosition::Top), (Point { 0, 123 }));
    EXPECT_EQ(table->contentOffsetForScrollingToRow({ 3, 0 }, TableViewScrollPosition::Top), (Point { 0, 123 }));
    EXPECT_TRUE(s_logged.empty()) << "asking is not an error";
}

// SPDX-License-Identifier: MIT
#include "kit/ui/TableView.h"

#include "kit/base/Log.h"

#include <algorithm>
#include <cmath>

namespace kit {

double TableViewDelegate::heightForRowAtIndexPath(TableView& table, const IndexPath&) { return table.rowHeight(); }

double TableViewDelegate::heightForHeaderInSection(TableView& table, int) { return table.sectionHeaderHeight(); }

double TableViewDelegate::heightForFooterInSection(TableView& table, int) { return table.sectionFooterHeight(); }

std::shared_ptr<TableView> TableView::create(const Rect& frame, TableViewStyle style)
{
    return View::create<TableView>(frame, style);
}

TableView::TableView(const Rect& frame, TableViewStyle style)
    : m_style(style)
{
    setFrame(frame);
    if (style == TableViewStyle::Grouped) {
        m_sectionHeaderHeight = 35;
        m_sectionFooterHeight = 17;
        setBackgroundColor(Color::rgba(0.94, 0.94, 0.96, 1));
    } else {
        setBackgroundColor(Color::white());
    }
}

TableView::~TableView()
{
    m_dataSource = nullptr;
    m_tableDelegate = nullptr;
    ScrollView::setDelegate(nullptr);
}

void TableView::setDataSource(TableViewDataSource* dataSource)
{
    if (dataSource == m_dataSource)
        return;
    m_dataSource = dataSource;
    reloadData();
}

void TableView::setDelegate(TableViewDelegate* delegate)
{
    if (delegate == m_tableDelegate)
        return;
    m_tableDelegate = delegate;
    ScrollView::setDelegate(delegate);
    reloadData();
}

void TableView::setRowHeight(double height)
{
    if (!std::isfinite(height) || height < 0 || height == m_rowHeight)
        return;
    m_rowHeight = height;
    reloadData();
}

void TableView::setSectionHeaderHeight(double height)
{
    if (!std::isfinite(height) || height < 0 || height == m_sectionHeaderHeight)
        return;
    m_sectionHeaderHeight = height;
    reloadData();
}

void TableView::setSectionFooterHeight(double height)
{
    if (!std::isfinite(height) || height < 0 || height == m_sectionFooterHeight)
        return;
    m_sectionFooterHeight = height;
    reloadData();
}

void TableView::setSeparatorStyle(TableViewCellSeparatorStyle style)
{
    if (style == m_separatorStyle)
        return;
    m_separatorStyle = style;
    for (auto& [path, cell] : m_visibleCells)
        configureCell(*cell, path);
}

void TableView::setSeparatorColor(const Color& color)
{
    if (color == m_separatorColor)
        return;
    m_separatorColor = color;
    for (auto& [path, cell] : m_visibleCells)
        configureCell(*cell, path);
}

void TableView::setBackgroundView(std::shared_ptr<View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (m_backgroundView) {
        insertSubview(m_backgroundView, 0);
        layoutFixedViews();
    }
}

void TableView::setTableHeaderView(std::shared_ptr<View> view)
{
    if (view == m_tableHeaderView)
        return;
    if (m_tableHeaderView)
        m_tableHeaderView->removeFromSuperview();
    m_tableHeaderView = std::move(view);
    if (m_tableHeaderView)
        addSubview(m_tableHeaderView);
    reloadData();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    if (view == m_tableFooterView)
        return;
    if (m_tableFooterView)
        m_tableFooterView->removeFromSuperview();
    m_tableFooterView = std::move(view);
    if (m_tableFooterView)
        addSubview(m_tableFooterView);
    reloadData();
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& identifier)
{
    auto it = m_reusePool.find(identifier);
    if (it == m_reusePool.end() || it->second.empty())
        return nullptr;
    auto cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::enqueue(std::shared_ptr<TableViewCell> cell, const IndexPath& path)
{
    if (m_tableDelegate)
        m_tableDelegate->didEndDisplayingCell(*this, *cell, path);
    cell->removeFromSuperview();
    cell->setHighlighted(false);
    if (cell->reuseIdentifier().empty())
        return;
    m_reusePool[cell->reuseIdentifier()].push_back(std::move(cell));
}

int TableView::liveCellCount() const
{
    int count = static_cast<int>(m_visibleCells.size()) + reusableCellCount();
    for (auto& view : m_leavingViews)
        if (dynamic_cast<TableViewCell*>(view.get()))
            ++count;
    return count;
}

int TableView::reusableCellCount() const
{
    int count = 0;
    for (auto& [id, cells] : m_reusePool)
        count += static_cast<int>(cells.size());
    return count;
}

void TableView::reloadData()
{
    m_needsReload = true;
    setNeedsLayout();
}

void TableView::ensureLoaded()
{
    if (!m_needsReload || m_reloading)
        return;
    m_reloading = true;
    m_needsReload = false;
    for (auto& [path, cell] : m_visibleCells)
        enqueue(cell, path);
    m_visibleCells.clear();
    for (auto* visible : { &m_visibleHeaders, &m_visibleFooters }) {
        for (auto& [section, view] : *visible)
            view->removeFromSuperview();
        visible->clear();
    }
    m_selectedRow.reset();
    m_highlightedRow.reset();
    m_deleteConfirmationRow.reset();
    rebuildLayout();
    tile();
    m_reloading = false;
}

std::vector<int> TableView::currentRowCounts()
{
    std::vector<int> counts;
    if (!m_dataSource)
        return counts;
    int sections = std::max(0, m_dataSource->numberOfSectionsInTableView(*this));
    counts.reserve(sections);
    for (int s = 0; s < sections; ++s)
        counts.push_back(std::max(0, m_dataSource->numberOfRowsInSection(*this, s)));
    return counts;
}

void TableView::rebuildLayout()
{
    std::vector<int> counts = currentRowCounts();
    std::vector<TableViewLayout::Section> sections(counts.size());
    for (size_t s = 0; s < counts.size(); ++s) {
        int section = static_cast<int>(s);
        auto& out = sections[s];
        out.headerHeight = m_tableDelegate ? m_tableDelegate->heightForHeaderInSection(*this, section) : m_sectionHeaderHeight;
        out.footerHeight = m_tableDelegate ? m_tableDelegate->heightForFooterInSection(*this, section) : m_sectionFooterHeight;
        out.rowHeights.resize(counts[s], m_rowHeight);
        if (m_tableDelegate)
            for (int r = 0; r < counts[s]; ++r)
                out.rowHeights[r] = m_tableDelegate->heightForRowAtIndexPath(*this, { section, r });
    }
    m_layout.setTableHeaderHeight(m_tableHeaderView ? m_tableHeaderView->frame().height() : 0);
    m_layout.setTableFooterHeight(m_tableFooterView ? m_tableFooterView->frame().height() : 0);
    m_layout.setSections(std::move(sections));
    setContentSize({ bounds().width(), m_layout.contentHeight() });
}

int TableView::numberOfSections()
{
    ensureLoaded();
    return m_layout.numberOfSections();
}

int TableView::numberOfRowsInSection(int section)
{
    ensureLoaded();
    return m_layout.numberOfRows(section);
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& path)
{
    ensureLoaded();
    if (!m_layout.isValid(path))
        return {};
    return { 0, m_layout.rowOriginY(path), bounds().width(), m_layout.rowHeight(path) };
}

Rect TableView::rectForHeaderInSection(int section)
{
    ensureLoaded();
    if (section < 0 || section >= m_layout.numberOfSections())
        return {};
    return { 0, m_layout.headerOriginY(section), bounds().width(), m_layout.headerHeight(section) };
}

Rect TableView::rectForFooterInSection(int section)
{
    ensureLoaded();
    if (section < 0 || section >= m_layout.numberOfSections())
        return {};
    return { 0, m_layout.footerOriginY(section), bounds().width(), m_layout.footerHeight(section) };
}

Rect TableView::rectForSection(int section)
{
    ensureLoaded();
    if (section < 0 || section >= m_layout.numberOfSections())
        return {};
    double y = m_layout.sectionOriginY(section);
    return { 0, y, bounds().width(), m_layout.sectionEndY(section) - y };
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point point)
{
    ensureLoaded();
    if (!(point.x >= 0 && point.x < bounds().width()))
        return std::nullopt;
    return m_layout.indexPathForRowAtY(point.y);
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const
{
    for (auto& [path, visible] : m_visibleCells)
        if (visible.get() == &cell)
            return path;
    return std::nullopt;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows()
{
    ensureLoaded();
    std::vector<IndexPath> out;
    out.reserve(m_visibleCells.size());
    for (auto& [path, cell] : m_visibleCells)
        out.push_back(path);
    return out;
}

std::vector<TableViewCell*> TableView::visibleCells()
{
    ensureLoaded();
    std::vector<TableViewCell*> out;
    out.reserve(m_visibleCells.size());
    for (auto& [path, cell] : m_visibleCells)
        out.push_back(cell.get());
    return out;
}

TableViewCell* TableView::cellForRowAtIndexPath(const IndexPath& path)
{
    ensureLoaded();
    auto it = m_visibleCells.find(path);
    return it == m_visibleCells.end() ? nullptr : it->second.get();
}

View* TableView::headerViewForSection(int section)
{
    ensureLoaded();
    auto it = m_visibleHeaders.find(section);
    return it == m_visibleHeaders.end() ? nullptr : it->second.get();
}

double TableView::visibleTop() const { return contentOffset().y; }

double TableView::visibleBottom() const { return contentOffset().y + bounds().height(); }

std::shared_ptr<TableViewCell> TableView::makeCell(const IndexPath& path)
{
    std::shared_ptr<TableViewCell> cell;
    if (m_dataSource)
        cell = m_dataSource->cellForRowAtIndexPath(*this, path);
    if (!cell) {
        Log::write("TableView: the data source gave no cell for section " + std::to_string(path.section) + ", row "
            + std::to_string(path.row));
        cell = TableViewCell::create(TableViewCellStyle::Default, {});
    }
    return cell;
}

void TableView::configureCell(TableViewCell& cell, const IndexPath& path)
{
    std::weak_ptr<View> weak = weak_from_this();
    cell.onEditingControlTapped = [weak](TableViewCell& c, TableViewCellEditingStyle style) {
        if (auto self = weak.lock())
            static_cast<TableView&>(*self).editingControlTapped(c, style);
    };
    cell.onDeleteConfirmed = [weak](TableViewCell& c) {
        if (auto self = weak.lock())
            static_cast<TableView&>(*self).deleteConfirmed(c);
    };
    TableViewCellEditingStyle style = TableViewCellEditingStyle::None;
    if (m_editing)
        style = m_tableDelegate ? m_tableDelegate->editingStyleForRowAtIndexPath(*this, path) : TableViewCellEditingStyle::Delete;
    cell.setEditingStyle(style);
    cell.setEditing(m_editing);
    cell.setShowingDeleteConfirmation(m_deleteConfirmationRow == path);
    cell.setSelected(m_selectedRow == path);
    if (m_separatorStyle == TableViewCellSeparatorStyle::None)
        cell.setSeparatorColor(std::nullopt);
    else
        cell.setSeparatorColor(m_separatorColor);
}

void TableView::tile()
{
    if (m_reloading && m_needsReload)
        return;
    double top = visibleTop();
    double bottom = visibleBottom();
    tileRows(top, bottom);
    tileSectionViews(top, bottom);
    layoutFixedViews();
}

void TableView::tileRows(double top, double bottom)
{
    double width = bounds().width();
    std::vector<IndexPath> rows = m_layout.indexPathsForRowsBetween(top, bottom);
    std::set<IndexPath> wanted(rows.begin(), rows.end());

    // Rows that left the visible area give their cells back first, so the new rows can reuse
    // them.
    for (auto it = m_visibleCells.begin(); it != m_visibleCells.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto cell = std::move(it->second);
        IndexPath path = it->first;
        it = m_visibleCells.erase(it);
        enqueue(std::move(cell), path);
    }

    size_t cellIndex = m_backgroundView ? 1 : 0;
    for (const IndexPath& path : rows) {
        Rect frame { 0, m_layout.rowOriginY(path), width, m_layout.rowHeight(path) };
        auto it = m_visibleCells.find(path);
        if (it != m_visibleCells.end()) {
            if (it->second->frame() != frame) {
                if (m_animateMoves)
                    View::animate(kRowAnimationDuration, [&] { it->second->setFrame(frame); });
                else
                    it->second->setFrame(frame);
            }
            continue;
        }
        auto cell = makeCell(path);
        m_visibleCells[path] = cell;
        View::performWithoutAnimation([&] {
            cell->setFrame(frame);
            cell->setAlpha(1);
        });
        configureCell(*cell, path);
        insertSubview(cell, cellIndex);
        cell->layoutIfNeeded();
        if (m_tableDelegate)
            m_tableDelegate->willDisplayCell(*this, *cell, path);
        if (m_freshAnimation != TableViewRowAnimation::None && m_freshRows.count(path)) {
            View::performWithoutAnimation([&] {
                cell->setAlpha(0);
                if (m_freshAnimation == TableViewRowAnimation::Top)
                    cell->setFrame(frame.offsetBy(0, -frame.height()));
            });
            View::animate(kRowAnimationDuration, [&] {
                cell->setAlpha(1);
                cell->setFrame(frame);
            });
        }
    }
}

std::shared_ptr<View> TableView::sectionView(std::map<int, std::shared_ptr<View>>& visible, int section, bool header)
{
    if (auto it = visible.find(section); it != visible.end())
        return it->second;
    if (!m_tableDelegate)
        return nullptr;
    auto view = header ? m_tableDelegate->viewForHeaderInSection(*this, section)
                       : m_tableDelegate->viewForFooterInSection(*this, section);
    if (view) {
        addSubview(view);
        visible.emplace(section, view);
    }
    return view;
}

void TableView::tileSectionViews(double top, double bottom)
{
    // In the plain style a header stays at the top of the visible area while rows of its
    // section pass under it.
    double width = bounds().width();
    std::set<int> sections;
    for (int s : m_layout.sectionsBetween(top, bottom))
        sections.insert(s);
    for (auto* map : { &m_visibleHeaders, &m_visibleFooters }) {
        for (auto it = map->begin(); it != map->end();) {
            if (sections.count(it->first)) {
                ++it;
                continue;
            }
            it->second->removeFromSuperview();
            it = map->erase(it);
        }
    }
    double pinTop = top + contentInset().top;
    for (int s : sections) {
        if (double height = m_layout.headerHeight(s); height > 0) {
            if (auto view = sectionView(m_visibleHeaders, s, true)) {
                double y = m_layout.headerOriginY(s);
                if (m_style == TableViewStyle::Plain)
                    y = std::max(y, std::min(pinTop, m_layout.sectionEndY(s) - height));
                view->setFrame({ 0, y, width, height });
            }
        }
        if (double height = m_layout.footerHeight(s); height > 0) {
            if (auto view = sectionView(m_visibleFooters, s, false))
                view->setFrame({ 0, m_layout.footerOriginY(s), width, height });
        }
    }
}

void TableView::layoutFixedViews()
{
    Rect b = bounds();
    if (m_backgroundView)
        m_backgroundView->setFrame(b);
    if (m_tableHeaderView) {
        Rect f = m_tableHeaderView->frame();
        m_tableHeaderView->setFrame({ 0, 0, b.width(), f.height() });
    }
    if (m_tableFooterView) {
        Rect f = m_tableFooterView->frame();
        m_tableFooterView->setFrame({ 0, m_layout.tableFooterOriginY(), b.width(), f.height() });
    }
}

void TableView::layoutSubviews()
{
    ensureLoaded();
    if (m_needsRelayout) {
        m_needsRelayout = false;
        rebuildLayout();
        for (auto& [path, cell] : m_visibleCells)
            cell->setFrame({ 0, m_layout.rowOriginY(path), bounds().width(), m_layout.rowHeight(path) });
    }
    tile();
    ScrollView::layoutSubviews();
}

void TableView::boundsSizeDidChange(Size)
{
    // Heights may follow the width (measured text), so they are asked for again.
    m_needsRelayout = true;
    setNeedsLayout();
}

void TableView::contentOffsetDidChange()
{
    if (m_needsReload || m_reloading)
        return;
    tile();
}

// Batches

void TableView::beginUpdates()
{
    if (m_updateDepth++ == 0)
        ensureLoaded();
}

void TableView::endUpdates()
{
    if (m_updateDepth <= 0) {
        Log::write("TableView: endUpdates without beginUpdates");
        m_updateDepth = 0;
        return;
    }
    if (--m_updateDepth > 0)
        return;
    TableViewUpdates updates = std::move(m_pendingUpdates);
    m_pendingUpdates.clear();
    applyUpdates(std::move(updates));
}

void TableView::insertSections(const std::vector<int>& sections, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.insertSections(sections, animation);
    endUpdates();
}

void TableView::deleteSections(const std::vector<int>& sections, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.deleteSections(sections, animation);
    endUpdates();
}

void TableView::reloadSections(const std::vector<int>& sections, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.reloadSections(sections, animation);
    endUpdates();
}

void TableView::insertRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.insertRows(rows, animation);
    endUpdates();
}

void TableView::deleteRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.deleteRows(rows, animation);
    endUpdates();
}

void TableView::reloadRows(const std::vector<IndexPath>& rows, TableViewRowAnimation animation)
{
    beginUpdates();
    m_pendingUpdates.reloadRows(rows, animation);
    endUpdates();
}

void TableView::applyUpdates(TableViewUpdates updates)
{
    if (updates.isEmpty())
        return;
    std::vector<int> oldCounts;
    for (int s = 0; s < m_layout.numberOfSections(); ++s)
        oldCounts.push_back(m_layout.numberOfRows(s));
    std::vector<int> newCounts = currentRowCounts();
    auto resolved = updates.resolve(oldCounts, newCounts);
    if (!resolved.ok()) {
        Log::write("TableView: invalid batch update (" + resolved.error() + "); reloading the table");
        reloadData();
        ensureLoaded();
        return;
    }
    const auto& plan = resolved.value();

    std::map<IndexPath, std::shared_ptr<TableViewCell>> kept;
    for (auto& [path, cell] : m_visibleCells) {
        int ns = plan.sectionOldToNew[path.section];
        int nr = ns >= 0 && path.row < static_cast<int>(plan.rowOldToNew[path.section].size())
            ? plan.rowOldToNew[path.section][path.row]
            : -1;
        if (nr >= 0) {
            kept[{ ns, nr }] = cell;
            continue;
        }
        if (m_tableDelegate)
            m_tableDelegate->didEndDisplayingCell(*this, *cell, path);
        animateOut(cell, plan.deleteAnimation);
    }
    m_visibleCells = std::move(kept);

    // Headers of surviving sections move with them; those of fresh or deleted sections go.
    for (auto* map : { &m_visibleHeaders, &m_visibleFooters }) {
        std::map<int, std::shared_ptr<View>> moved;
        for (auto& [s, view] : *map) {
            int ns = s < static_cast<int>(plan.sectionOldToNew.size()) ? plan.sectionOldToNew[s] : -1;
            if (ns >= 0)
                moved[ns] = view;
            else
                animateOut(view, plan.deleteAnimation);
        }
        *map = std::move(moved);
    }

    auto mapPath = [&](const std::optional<IndexPath>& p) -> std::optional<IndexPath> {
        if (!p || p->section >= static_cast<int>(plan.sectionOldToNew.size()))
            return std::nullopt;
        int ns = plan.sectionOldToNew[p->section];
        const auto& rows = plan.rowOldToNew[p->section];
        if (ns < 0 || p->row >= static_cast<int>(rows.size()) || rows[p->row] < 0)
            return std::nullopt;
        return IndexPath { ns, rows[p->row] };
    };
    m_selectedRow = mapPath(m_selectedRow);
    m_highlightedRow.reset();
    m_deleteConfirmationRow.reset();

    rebuildLayout();
    // A shorter table may leave the offset past its new end.
    Point offset = contentOffset();
    Point clamped = clampedContentOffset(offset);
    m_freshRows = plan.freshRows;
    m_freshAnimation
        = plan.insertAnimation == TableViewRowAnimation::Automatic ? TableViewRowAnimation::Fade : plan.insertAnimation;
    m_animateMoves = true;
    if (clamped.y < offset.y)
        setContentOffset({ offset.x, clamped.y });
    tile();
    for (auto& [path, cell] : m_visibleCells)
        configureCell(*cell, path);
    m_animateMoves = false;
    m_freshRows.clear();
    m_freshAnimation = TableViewRowAnimation::None;
}

void TableView::animateOut(std::shared_ptr<View> view, TableViewRowAnimation animation)
{
    auto cell = std::dynamic_pointer_cast<TableViewCell>(view);
    if (animation == TableViewRowAnimation::None) {
        view->removeFromSuperview();
        if (cell && !cell->reuseIdentifier().empty())
            m_reusePool[cell->reuseIdentifier()].push_back(cell);
        return;
    }
    m_leavingViews.push_back(view);
    std::weak_ptr<View> weakSelf = weak_from_this();
    Rect frame = view->frame();
    View::animate(
        kRowAnimationDuration,
        [&] {
            view->setAlpha(0);
            if (animation == TableViewRowAnimation::Top)
                view->setFrame(frame.offsetBy(0, -frame.height()));
            else if (animation == TableViewRowAnimation::Bottom)
                view->setFrame(frame.offsetBy(0, frame.height()));
        },
        [weakSelf, view, cell](bool) {
            view->removeFromSuperview();
            View::performWithoutAnimation([&] { view->setAlpha(1); });
            auto self = std::static_pointer_cast<TableView>(weakSelf.lock());
            if (!self)
                return;
            auto& leaving = self->m_leavingViews;
            leaving.erase(std::remove(leaving.begin(), leaving.end(), view), leaving.end());
            if (cell && !cell->reuseIdentifier().empty())
                self->m_reusePool[cell->reuseIdentifier()].push_back(cell);
        });
}

// Scrolling to rows

void TableView::scrollToRowAtIndexPath(const IndexPath& path, TableViewScrollPosition position, bool animated)
{
    ensureLoaded();
    if (!m_layout.isValid(path)) {
        Log::write("TableView: scrollToRowAtIndexPath to a row that does not exist (section " + std::to_string(path.section)
            + ", row " + std::to_string(path.row) + ")");
        return;
    }
    setContentOffset(contentOffsetForScrollingToRow(path, position), animated);
}

Point TableView::contentOffsetForScrollingToRow(const IndexPath& path, TableViewScrollPosition position)
{
    ensureLoaded();
    if (!m_layout.isValid(path))
        return contentOffset();
    Rect row = rectForRowAtIndexPath(path);
    EdgeInsets inset = contentInset();
    double height = bounds().height();
    double visible = height - inset.top - inset.bottom;
    Point offset = contentOffset();
    double y = offset.y;
    switch (position) {
    case TableViewScrollPosition::Top:
        y = row.minY() - inset.top;
        break;
    case TableViewScrollPosition::Middle:
        y = row.midY() - inset.top - visible / 2;
        break;
    case TableViewScrollPosition::Bottom:
        y = row.maxY() - height + inset.bottom;
        break;
    case TableViewScrollPosition::None:
        if (row.minY() < offset.y + inset.top)
            y = row.minY() - inset.top;
        else if (row.maxY() > offset.y + height - inset.bottom)
            y = row.maxY() - height + inset.bottom;
        break;
    }
    Point target = clampedContentOffset({ offset.x, y });
    target.x = offset.x;
    return target;
}

// Selection and touches

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position)
{
    ensureLoaded();
    if (m_selectedRow)
        if (auto* cell = cellForRowAtIndexPath(*m_selectedRow))
            cell->setSelected(false, animated);
    m_selectedRow.reset();
    if (!path || !m_layout.isValid(*path))
        return;
    m_selectedRow = path;
    if (auto* cell = cellForRowAtIndexPath(*path))
        cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None)
        scrollToRowAtIndexPath(*path, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& path, bool animated)
{
    if (m_selectedRow != path)
        return;
    m_selectedRow.reset();
    if (auto* cell = cellForRowAtIndexPath(path))
        cell->setSelected(false, animated);
}

std::optional<IndexPath> TableView::rowAtTouch(const Touch& touch) { return indexPathForRowAtPoint(touch.locationInView(this)); }

void TableView::contentTouchBegan(const Touch& touch)
{
    bool allowed = m_editing ? m_allowsSelectionDuringEditing : m_allowsSelection;
    if (!allowed || m_deleteConfirmationRow)
        return;
    m_highlightedRow = rowAtTouch(touch);
    if (m_highlightedRow)
        if (auto* cell = cellForRowAtIndexPath(*m_highlightedRow))
            cell->setHighlighted(true);
}

void TableView::contentTouchCancelled()
{
    if (m_highlightedRow)
        if (auto* cell = cellForRowAtIndexPath(*m_highlightedRow))
            cell->setHighlighted(false);
    m_highlightedRow.reset();
}

void TableView::didTapContent(const Touch& touch)
{
    contentTouchCancelled();
    if (m_deleteConfirmationRow) {
        // A tap anywhere else puts the Delete button away.
        hideDeleteConfirmation();
        return;
    }
    if (!isSelectionAllowedNow())
        return;
    if (auto path = rowAtTouch(touch))
        selectRowAsUser(*path);
}

void TableView::selectRowAsUser(const IndexPath& path)
{
    if (!isSelectionAllowedNow() || path.section < 0 || path.section >= numberOfSections() || path.row < 0
        || path.row >= numberOfRowsInSection(path.section))
        return;
    if (m_selectedRow && *m_selectedRow != path) {
        IndexPath previous = *m_selectedRow;
        deselectRowAtIndexPath(previous, false);
        if (m_tableDelegate)
            m_tableDelegate->didDeselectRowAtIndexPath(*this, previous);
    }
    m_selectedRow = path;
    if (auto* cell = cellForRowAtIndexPath(path))
        cell->setSelected(true);
    if (m_tableDelegate)
        m_tableDelegate->didSelectRowAtIndexPath(*this, path);
}

bool TableView::focusRowAdjacentTo(const IndexPath& path, bool upwards)
{
    // Rows whose cells refuse the focus (headers' neighbours that do not act) are passed over.
    IndexPath at = path;
    int sections = numberOfSections();
    while (true) {
        if (upwards) {
            --at.row;
            while (at.row < 0) {
                if (--at.section < 0)
                    return false;
                at.row = numberOfRowsInSection(at.section) - 1;
            }
        } else {
            ++at.row;
            while (at.section < sections && at.row >= numberOfRowsInSection(at.section)) {
                ++at.section;
                at.row = 0;
            }
            if (at.section >= sections)
                return false;
        }
        scrollToRowAtIndexPath(at, TableViewScrollPosition::None, false);
        layoutIfNeeded();
        if (auto* cell = cellForRowAtIndexPath(at); cell && cell->becomeFirstResponder())
            return true;
    }
}

// Editing

void TableView::setEditing(bool editing, bool animated)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    m_deleteConfirmationRow.reset();
    ensureLoaded();
    for (auto& [path, cell] : m_visibleCells) {
        configureCell(*cell, path);
        cell->setEditing(editing, animated);
        cell->layoutIfNeeded();
    }
}

void TableView::hideDeleteConfirmation()
{
    if (!m_deleteConfirmationRow)
        return;
    if (auto* cell = cellForRowAtIndexPath(*m_deleteConfirmationRow))
        cell->setShowingDeleteConfirmation(false);
    m_deleteConfirmationRow.reset();
}

void TableView::editingControlTapped(TableViewCell& cell, TableViewCellEditingStyle style)
{
    auto path = indexPathForCell(cell);
    if (!path || !m_editing)
        return;
    if (style == TableViewCellEditingStyle::Insert) {
        hideDeleteConfirmation();
        if (m_dataSource)
            m_dataSource->commitEditingStyle(*this, TableViewCellEditingStyle::Insert, *path);
        return;
    }
    if (style != TableViewCellEditingStyle::Delete)
        return;
    bool wasShowing = m_deleteConfirmationRow == path;
    hideDeleteConfirmation();
    if (wasShowing)
        return;
    m_deleteConfirmationRow = path;
    cell.setShowingDeleteConfirmation(true);
}

void TableView::deleteConfirmed(TableViewCell& cell)
{
    auto path = indexPathForCell(cell);
    if (!path || m_deleteConfirmationRow != path)
        return;
    hideDeleteConfirmation();
    if (m_dataSource)
        m_dataSource->commitEditingStyle(*this, TableViewCellEditingStyle::Delete, *path);
}

} // namespace kit

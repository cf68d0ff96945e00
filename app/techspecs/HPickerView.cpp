// SPDX-License-Identifier: MIT
#include "app/techspecs/HPickerView.h"

#include "kit/ui/ImageView.h"
#include "kit/ui/TableViewCell.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr const char* kCellIdentifier = "cellIdentifier";
// The strip's turn: its rows run left to right on screen.
constexpr double kStripAngle = -std::numbers::pi / 2;
// Offsets that differ by less than this are the same position (decelerations end on
// fractions of a point).
constexpr double kSamePosition = 1e-6;

} // namespace

std::shared_ptr<HPickerView> HPickerView::create(const kit::Rect& frame, double colWidth)
{
    return kit::View::create<HPickerView>(frame, colWidth);
}

HPickerView::HPickerView(const kit::Rect& frame, double colWidth)
{
    setFrame(frame);
    double width = bounds().width();
    // A column width that is no width at all becomes one column across the view.
    m_columnWidth = (std::isfinite(colWidth) && colWidth > 0) ? colWidth : std::max(1.0, width);
    // Enough empty columns beside the middle one to fill half the view on each side. The
    // small allowance keeps a width that is an exact multiple (375 / 125) from gaining one.
    double beside = std::ceil(width / m_columnWidth - 1 - 1e-9);
    m_serviceColsCount = beside > 0 ? static_cast<unsigned>(beside) : 0;
}

void HPickerView::didCreate()
{
    setClipsToBounds(true);
    m_arrowView = kit::View::create<kit::ImageView>();
    m_arrowView->setHidden(!m_bannerViewHidden);
    addSubview(m_arrowView);
    m_columnHeight = std::max(0.0, bounds().height() - m_arrowView->frame().height() - m_bottomMargin);

    m_pvTableView = kit::TableView::create(bounds(), kit::TableViewStyle::Plain);
    m_pvTableView->setDecelerationRate(kit::kScrollViewDecelerationRateFast);
    m_pvTableView->setShowsVerticalScrollIndicator(false);
    m_pvTableView->setShowsHorizontalScrollIndicator(false);
    m_pvTableView->setRowHeight(m_columnWidth);
    m_pvTableView->setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    m_pvTableView->setBackgroundColor(kit::Color::clear());
    m_pvTableView->setDataSource(this);
    m_pvTableView->setDelegate(this);
    addSubview(m_pvTableView);
    // Laid out at once, so the current column is known before the first layout pass.
    layoutStrip();
}

HPickerView::~HPickerView()
{
    m_delegate = nullptr;
    m_dataSource = nullptr;
    if (m_pvTableView) {
        m_pvTableView->setDataSource(nullptr);
        m_pvTableView->setDelegate(nullptr);
    }
}

void HPickerView::setDataSource(HPickerViewDataSource* dataSource)
{
    if (dataSource == m_dataSource)
        return;
    m_dataSource = dataSource;
    m_pvTableView->reloadData();
}

void HPickerView::layoutSubviews() { layoutStrip(); }

void HPickerView::layoutStrip()
{
    double length = m_columnWidth * (2 * m_serviceColsCount + 1);
    kit::Rect b = bounds();
    m_visirX = b.width() * 0.5;
    double arrowHeight = m_arrowView->frame().height();
    // The unturned strip is columnHeight wide and `length` tall, centred on the centre line
    // and between the marker and the bottom margin; turned, it lies across the view.
    double top = (b.height() + arrowHeight - m_bottomMargin - length) * 0.5;
    kit::View::performWithoutAnimation([&] {
        m_pvTableView->setTransform(kit::AffineTransform::rotation(kStripAngle));
        m_pvTableView->setCenter({ m_visirX, top + length * 0.5 });
        kit::Rect stripBounds = m_pvTableView->bounds();
        m_pvTableView->setBounds({ stripBounds.origin, { m_columnHeight, length } });
        kit::Size arrow = m_arrowView->frame().size;
        m_arrowView->setFrame({ m_visirX - arrow.width / 2, 0, arrow.width, arrow.height });
    });
}

int HPickerView::columnCount() const { return m_pvTableView->numberOfRowsInSection(0); }

bool HPickerView::isServiceColumn(int column) const
{
    int count = columnCount();
    int service = static_cast<int>(m_serviceColsCount);
    return column < service || column >= count - service;
}

std::optional<kit::IndexPath> HPickerView::currentIndexPath() const
{
    kit::Rect b = m_pvTableView->bounds();
    // Bounds' origin is the content offset: the middle of the visible part of the strip.
    return m_pvTableView->indexPathForRowAtPoint({ b.x() + b.width() * 0.5, b.y() + b.height() * 0.5 });
}

std::optional<kit::IndexPath> HPickerView::targetIndexPath() const
{
    if (m_targetColumn && m_pvTableView->isScrollAnimating())
        return kit::IndexPath { 0, *m_targetColumn };
    return currentIndexPath();
}

void HPickerView::selectColAtIndexPath(const kit::IndexPath& path, bool animated)
{
    if (animated && m_delegate)
        m_delegate->pickerViewWillChangeRow(*this);
    if (currentIndexPath() == path) {
        m_pvTableView->stopScrolling();
        m_targetColumn.reset();
        if (m_delegate)
            m_delegate->didSelectRowAtIndexPath(*this, path);
        return;
    }
    centreColumn(path.row, animated);
}

void HPickerView::centreColumn(int column, bool animated)
{
    int count = columnCount();
    if (count <= 0)
        return;
    column = std::clamp(column, 0, count - 1);
    kit::Point target = m_pvTableView->contentOffsetForScrollingToRow({ 0, column }, kit::TableViewScrollPosition::Middle);
    kit::Point offset = m_pvTableView->contentOffset();
    if (std::abs(target.y - offset.y) < kSamePosition && std::abs(target.x - offset.x) < kSamePosition) {
        // Nowhere to go (the column is as central as the strip's ends allow): an animated move
        // would end without an animation, and so without its report.
        m_pvTableView->stopScrolling();
        m_targetColumn.reset();
        if (animated)
            reportSelection();
        return;
    }
    m_targetColumn = animated ? std::optional<int>(column) : std::nullopt;
    m_pvTableView->setContentOffset(target, animated);
}

void HPickerView::tapColAtIndexPath(const kit::IndexPath& path)
{
    int count = columnCount();
    if (path.section != 0 || path.row < 0 || path.row >= count)
        return;
    if (isServiceColumn(path.row)) {
        // The owner decides what a tap beside the models means.
        if (m_delegate)
            m_delegate->didSelectRowAtIndexPath(*this, path);
        return;
    }
    if (currentIndexPath() == path && !m_pvTableView->isScrollAnimating())
        return;
    selectColAtIndexPath(path, true);
}

void HPickerView::reportSelection()
{
    m_targetColumn.reset();
    auto current = currentIndexPath();
    if (m_delegate && current)
        m_delegate->didSelectRowAtIndexPath(*this, *current);
}

void HPickerView::reloadDataAnimated(bool animated)
{
    if (animated && m_pvTableView->numberOfSections() == 1)
        m_pvTableView->reloadSections({ 0 }, kit::TableViewRowAnimation::Fade);
    else
        m_pvTableView->reloadData();
}

void HPickerView::setBackgroundView(std::shared_ptr<kit::View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (m_backgroundView)
        insertSubview(m_backgroundView, 0);
}

void HPickerView::setBannerView(std::shared_ptr<kit::View> view)
{
    if (view == m_bannerView)
        return;
    if (m_bannerView)
        m_bannerView->removeFromSuperview();
    m_bannerView = std::move(view);
    if (m_bannerView) {
        m_bannerView->setHidden(m_bannerViewHidden);
        addSubview(m_bannerView);
    }
}

void HPickerView::setBannerViewHidden(bool hidden)
{
    m_bannerViewHidden = hidden;
    if (m_bannerView)
        m_bannerView->setHidden(hidden);
    m_arrowView->setHidden(!hidden);
}

// The strip

int HPickerView::numberOfRowsInSection(kit::TableView&, int section)
{
    return m_dataSource ? std::max(0, m_dataSource->numberOfRowsInSection(*this, section)) : 0;
}

std::shared_ptr<kit::TableViewCell> HPickerView::cellForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath& path)
{
    auto cell = tableView.dequeueReusableCell(kCellIdentifier);
    if (!cell) {
        cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, kCellIdentifier);
        cell->setSelectionStyle(kit::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(kit::Color::clear());
    }
    kit::View* content = cell->contentView();
    if (auto* old = content->viewWithTag(kColumnViewTag); old && old != content)
        old->removeFromSuperview();
    auto column = m_dataSource ? m_dataSource->viewForRowAtIndexPath(*this, path) : nullptr;
    if (column) {
        column->setTag(kColumnViewTag);
        // Centred in the cell, which is columnHeight wide and columnWidth tall before the
        // strip's turn, and turned back upright.
        column->setCenter({ m_columnHeight * 0.5, m_columnWidth * 0.5 });
        column->setTransform(kit::AffineTransform::rotation(-kStripAngle));
        content->addSubview(column);
    }
    return cell;
}

void HPickerView::didSelectRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath& path)
{
    tableView.deselectRowAtIndexPath(path, false);
    tapColAtIndexPath(path);
}

void HPickerView::scrollViewWillBeginDragging(kit::ScrollView&)
{
    m_targetColumn.reset();
    if (m_delegate)
        m_delegate->pickerViewWillChangeRow(*this);
}

void HPickerView::scrollViewDidEndDragging(kit::ScrollView& scrollView, bool willDecelerate)
{
    if (willDecelerate)
        return;
    m_startDeceleratingPos = scrollView.contentOffset();
    fixateScroll();
}

void HPickerView::scrollViewWillBeginDecelerating(kit::ScrollView& scrollView)
{
    m_startDeceleratingPos = scrollView.contentOffset();
}

void HPickerView::scrollViewDidEndDecelerating(kit::ScrollView&) { fixateScroll(); }

void HPickerView::scrollViewDidEndScrollingAnimation(kit::ScrollView&) { reportSelection(); }

void HPickerView::scrollViewWillBeginWheelScrolling(kit::ScrollView& scrollView)
{
    // The whole run of wheel steps counts as the motion a snap leans along.
    m_targetColumn.reset();
    m_startDeceleratingPos = scrollView.contentOffset();
    if (m_delegate)
        m_delegate->pickerViewWillChangeRow(*this);
}

void HPickerView::scrollViewDidEndWheelScrolling(kit::ScrollView&) { fixateScroll(); }

void HPickerView::fixateScroll()
{
    auto current = currentIndexPath();
    if (!current)
        return;
    int column = current->row;
    // Along the strip's own axis: how far the middle of the column lies past the centre line.
    double offset = m_pvTableView->contentOffset().y;
    double visible = m_pvTableView->bounds().height();
    double distance = m_pvTableView->rectForRowAtIndexPath(*current).midY() - visible * 0.5 - offset;
    if (std::abs(distance) < kSamePosition) {
        reportSelection();
        return;
    }
    double moved = offset - m_startDeceleratingPos.y;
    // Moving forward, the line has passed the middle when the middle lies behind it.
    if (moved != 0 && (distance > 0) != (moved > 0) && std::abs(distance) > m_columnWidth * kLeanFraction)
        column -= distance > 0 ? 1 : -1;
    centreColumn(column, true);
}

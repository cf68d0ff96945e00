// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Geometry.h"
#include "kit/ui/IndexPath.h"
#include "kit/ui/TableView.h"
#include "kit/ui/View.h"

#include <memory>
#include <optional>

namespace kit {
class ImageView;
} // namespace kit

class HPickerView;

// Supplies a picker's columns. Index paths are (section 0, row = column index).
class HPickerViewDataSource {
public:
    virtual ~HPickerViewDataSource() = default;

    // All columns, the empty service columns at both ends included.
    virtual int numberOfRowsInSection(HPickerView&, int section) = 0;
    // The view for a column (columnWidth × columnHeight, upright), or none for a service column.
    virtual std::shared_ptr<kit::View> viewForRowAtIndexPath(HPickerView&, const kit::IndexPath&) = 0;
};

// Told when the picker's selection may change and when it has come to rest on a column.
class HPickerViewDelegate {
public:
    virtual ~HPickerViewDelegate() = default;

    virtual void pickerViewWillChangeRow(HPickerView&) { }
    // The strip came to rest with this column on the centre line, or a service column was tapped.
    virtual void didSelectRowAtIndexPath(HPickerView&, const kit::IndexPath&) { }
};

// A horizontal strip of equal columns with a centre line: the column at rest under the line is
// the selected one. The strip is a table turned a quarter turn (each row a column) that
// decelerates fast and, when it stops, snaps a column onto the line, one column further when
// a fling carried the line more than a quarter column past the middle of the column it stopped
// in. Empty service columns at both ends let the first and last columns reach the line.
class HPickerView : public kit::View, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    static std::shared_ptr<HPickerView> create(const kit::Rect& frame, double colWidth);
    ~HPickerView() override;

    double columnWidth() const { return m_columnWidth; }
    double columnHeight() const { return m_columnHeight; }
    unsigned serviceColsCount() const { return m_serviceColsCount; }
    double visirX() const { return m_visirX; }
    kit::Point startDeceleratingPos() const { return m_startDeceleratingPos; }
    kit::TableView* pvTableView() const { return m_pvTableView.get(); }
    kit::ImageView* arrowView() const { return m_arrowView.get(); }

    // The column under the centre line; nothing when the strip has no column there.
    std::optional<kit::IndexPath> currentIndexPath() const;
    // Moves a column to the centre line. Animated, the delegate hears pickerViewWillChangeRow
    // first and the selection once the move is over (at once when nothing has to move); not
    // animated, a move is not reported. A column already on the line is reported at once.
    // Columns beyond the ends stop at the nearest end.
    void selectColAtIndexPath(const kit::IndexPath& path, bool animated);
    // What a tap on the column does: a real column other than the current one is selected,
    // animated; a service column goes to the delegate as it is.
    void tapColAtIndexPath(const kit::IndexPath& path);
    // The column an animated move is heading for, else the current column.
    std::optional<kit::IndexPath> targetIndexPath() const;
    bool isServiceColumn(int column) const;

    void reloadDataAnimated(bool animated);

    kit::View* backgroundView() const { return m_backgroundView.get(); }
    // Beneath everything, replacing the previous one.
    void setBackgroundView(std::shared_ptr<kit::View> view);
    kit::View* bannerView() const { return m_bannerView.get(); }
    // On top of everything, replacing the previous one; hidden as bannerViewHidden says.
    void setBannerView(std::shared_ptr<kit::View> view);
    bool bannerViewHidden() const { return m_bannerViewHidden; }
    // The centre-line marker takes the opposite state.
    void setBannerViewHidden(bool hidden);

    // Not owned; the owner clears them before it goes.
    HPickerViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(HPickerViewDelegate* delegate) { m_delegate = delegate; }
    HPickerViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(HPickerViewDataSource* dataSource);

    // Object
    std::string className() const override { return "HPickerView"; }

    // View
    void layoutSubviews() override;
    // The picker takes the keyboard focus as one piece; Left and Right pass on to the screen,
    // which moves the strip a column.
    bool canBecomeFirstResponder() const override { return !isHidden() && columnCount() > 0; }
    bool showsFocusRing() const override { return true; }

    // TableViewDataSource
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    void didSelectRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // ScrollViewDelegate
    void scrollViewWillBeginDragging(kit::ScrollView&) override;
    void scrollViewDidEndDragging(kit::ScrollView&, bool willDecelerate) override;
    void scrollViewWillBeginDecelerating(kit::ScrollView&) override;
    void scrollViewDidEndDecelerating(kit::ScrollView&) override;
    void scrollViewDidEndScrollingAnimation(kit::ScrollView&) override;
    void scrollViewWillBeginWheelScrolling(kit::ScrollView&) override;
    void scrollViewDidEndWheelScrolling(kit::ScrollView&) override;

    // Tags the view of a column inside its cell.
    static constexpr int kColumnViewTag = 100;
    // The fraction of a column past the middle at which a fling leans on to the next one.
    static constexpr double kLeanFraction = 0.25;

protected:
    HPickerView(const kit::Rect& frame, double colWidth);
    friend class kit::View;
    void didCreate() override;

private:
    void layoutStrip();
    // Snaps the column nearest the centre line onto it, leaning in the direction of the last
    // motion when the line ran far enough past that column's middle.
    void fixateScroll();
    // Scrolls a column (clamped to the strip) to the middle; an animated move that has nowhere
    // to go reports at once.
    void centreColumn(int column, bool animated);
    void reportSelection();
    int columnCount() const;

    std::shared_ptr<kit::TableView> m_pvTableView;
    kit::Point m_startDeceleratingPos;
    double m_columnWidth = 0;
    double m_columnHeight = 0;
    double m_visirX = 0;
    double m_bottomMargin = 0;
    unsigned m_serviceColsCount = 0;
    std::shared_ptr<kit::View> m_backgroundView;
    std::shared_ptr<kit::View> m_bannerView;
    std::shared_ptr<kit::ImageView> m_arrowView;
    bool m_bannerViewHidden = true;
    HPickerViewDelegate* m_delegate = nullptr; // not owned
    HPickerViewDataSource* m_dataSource = nullptr; // not owned
    std::optional<int> m_targetColumn; // where an animated move is heading
};

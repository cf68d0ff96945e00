// SPDX-License-Identifier: MIT
#pragma once

#include "app/compare/ComparisonBuilder.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/Value.h"
#include "kit/ui/Font.h"
#include "kit/ui/PopoverPresentationController.h"
#include "kit/ui/TableView.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <string_view>
#include <vector>

namespace kit {
class Button;
class Label;
class NavigationController;
} // namespace kit

// The Compare tab: the chosen models side by side, a section per comparison key path, models
// with equal values sharing a row, a blue bar behind each value as long as its figure is against
// the section's largest. On a phone the Edit item opens the selection list on the navigation
// stack; on a tablet a button above the table opens it in a popover.
class CompareController : public kit::ViewController,
                          public kit::TableViewDataSource,
                          public kit::TableViewDelegate,
                          public kit::PopoverPresentationControllerDelegate {
public:
    static constexpr std::string_view kCellIdentifier = "cellIdentifier";
    // Subviews of a comparison cell's content.
    static constexpr int kModelsLabelTag = 1;
    static constexpr int kValueLabelTag = 2;
    static constexpr int kValueBarTag = 3;
    // Text is measured to at most this many lines of the name font.
    static constexpr int kMeasuredLineLimit = 30;

    ~CompareController() override;

    // Object
    std::string className() const override { return "CompareController"; }

    // ViewController
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillTransitionToSize(kit::Size size, kit::TransitionCoordinator& coordinator) override;

    // Tablet only: places the table and the list button for the screen's present shape, animated
    // over `duration` seconds. Nothing on a phone.
    void updateOrientationAndAnimateDuration(double duration);
    void didEnterBackground();
    // Rebuilds only when the application comes back from the background.
    void didBecomeActive();
    // Shows the navigation bar on a phone (hides it on a tablet) and rebuilds the comparison.
    void updateUI();
    // Opens the selection list: pushed on a phone, in a popover on a tablet.
    void prepareSelectedModels();
    // Rebuilds the comparison from the stored selection and the present data set, and reloads
    // the table. Stores this device's model as the selection when nothing is stored yet.
    void updateCompareData();

    // A spec value as a two-part value text.
    static kit::AttributedString numericValueAttrString(const kit::Value& value, const kit::TextAttributes& firstPart,
        const kit::TextAttributes& secondPart, std::string_view divider)
    {
        return ComparisonBuilder::numericValueAttrString(value, firstPart, secondPart, divider);
    }

    // Measures the two texts of a row into firstSize() and secondSize() for an available width.
    void calcSizesForString(const kit::AttributedString& first, const kit::AttributedString& second, double width);
    // Measures the labels' texts and places them side by side.
    void setFramesForLabel(kit::Label& first, kit::Label& second, double width);
    // The width of a value bar: `room` × n ÷ m rounded up, where m is the section's first number
    // (1 when that is 0). Never negative nor wider than `room`, whatever the figures.
    static double valueBarWidth(double room, double number, double firstNumber);

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    void willDisplayCell(kit::TableView&, kit::TableViewCell&, const kit::IndexPath&) override;
    double heightForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    double heightForHeaderInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::View> viewForHeaderInSection(kit::TableView&, int section) override;
    // PopoverPresentationControllerDelegate
    void popoverPresentationControllerDidDismissPopover(kit::PopoverPresentationController&) override;
    void willRepositionPopoverToRect(kit::PopoverPresentationController&, kit::Rect& rect, kit::View*& view) override;

    const kit::Array& dataModel() const { return m_dataModel; }
    kit::TableView* comparisonTableView() const { return m_comparisonTableView.get(); }
    kit::Button* compareListButton() const { return m_compareListButton.get(); }
    kit::PopoverPresentationController* compareListPopoverController() const { return m_compareListPopoverController; }
    bool wasInactive() const { return m_wasInactive; }
    double textBorder() const { return m_textBorder; }
    kit::Size firstSize() const { return m_firstSize; }
    kit::Size secondSize() const { return m_secondSize; }
    const ComparisonBuilder::TextStyles& textStyles() const { return m_styles; }

protected:
    CompareController();
    friend class kit::ViewController;

private:
    void buildCompareListButton();
    void buildComparisonTable();
    // The width the row texts may take in the table.
    double availableWidth(kit::TableView& tableView, const kit::Value& row) const;
    const kit::Value& rowAt(const kit::IndexPath& indexPath) const;
    // The screen's size now, or during a size transition the size it is turning to.
    kit::Size screenSize() const;

    kit::FontPtr m_bodyFont;
    kit::PopoverPresentationController* m_compareListPopoverController = nullptr; // owned by the presented list
    bool m_wasInactive = false;
    std::shared_ptr<kit::TableView> m_comparisonTableView;
    std::shared_ptr<kit::Button> m_compareListButton;
    double m_textBorder = 8;
    kit::Size m_firstSize;
    kit::Size m_secondSize;
    ComparisonBuilder::TextStyles m_styles;
    kit::Array m_dataModel;

    std::weak_ptr<kit::ViewController> m_presentedList;
    std::optional<kit::Size> m_transitionSize;
    std::vector<std::unique_ptr<kit::NotificationCenter::Observation>> m_observations;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "app/techspecs/HPickerView.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/Value.h"
#include "kit/ui/Font.h"
#include "kit/ui/TableView.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {
class Label;
class NavigationBar;
} // namespace kit

// The Tech Specs tab: a picker of every model of the data set across the top, and under it
// the chosen model's tech specs, label beside value. When the chosen model is this device
// the table starts with the device itself (name, system, storage); otherwise a bar offers the
// way back to this device. The choice is kept across launches.
class SpecsController : public kit::ViewController,
                        public kit::TableViewDataSource,
                        public kit::TableViewDelegate,
                        public HPickerViewDataSource,
                        public HPickerViewDelegate {
public:
    static constexpr std::string_view kSelectedModelDefaultsKey = "kSelectedModelDefaultsKey";
    static constexpr std::string_view kRowsKey = "kRowsKey";
    static constexpr std::string_view kRowFirstItemKey = "kRowFirstItemKey";
    static constexpr std::string_view kRowSecondItemKey = "kRowSecondItemKey";
    static constexpr std::string_view kAccessoryKey = "kAccessoryKey";
    static constexpr std::string_view kCellIdentifier = "cellIdentifier";
    // Cell subviews.
    static constexpr int kNameLabelTag = 1;
    static constexpr int kValueLabelTag = 2;
    static constexpr int kDividerTag = 3;
    // Picker column subviews.
    static constexpr int kColumnNameTag = 1;
    static constexpr int kColumnDetailTag = 2;
    // How far a long model name may shrink before it is truncated.
    static constexpr double kColumnNameMinimumScale = 0.7;
    // No row grows past this many lines of its larger font.
    static constexpr double kMaximumRowLines = 50;
    static constexpr double kJumpBarHeight = 40;
    static constexpr double kJumpBarFadeDuration = 0.2;
    static constexpr double kTableBottomInset = 50;

    ~SpecsController() override;

    // A spec value as plain text: a date in the medium date style; a string localised; a
    // dictionary's non-empty parts "Value" (localised), "NumericValue" (as it is) and "Details"
    // (localised), one per line; anything else (a number, an array, nothing) "n/a".
    static std::string textValueString(const kit::Value& value);

    // The pieces of the screen that need no views (also what `quarrin --print` shows).
    // The stored choice when it is one of `models`, else this device's model key.
    static std::string chosenModelKey(const std::vector<std::string>& models);
    // The table's sections for a model: the device section first when it is this device's.
    static kit::Array makeDataModel(std::string_view modelKey);
    // The device section's three rows: name, system, storage capacity.
    static kit::Array deviceRows();
    // The model's tech specs rows, in the data set's row order.
    static kit::Array specRows(std::string_view modelKey);
    // "Debian GNU/Linux 12 (bookworm), Linux 6.1"; "Linux 6.1" without a distribution name.
    static std::string osVersionText(const std::optional<std::string>& distribution, std::string_view kernelVersion);

    // Object
    std::string className() const override { return "SpecsController"; }

    // ViewController
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    // Left and Right choose the neighbouring model, as a tap on its column would.
    bool pressKey(kit::Key key) override;

    // Reloads the model list and the selection (at load and for every new data set).
    void setSpecsData();
    // Rebuilds the table for the selected model.
    void updateInfo();
    void jumpToSelectedModelAnimated(bool animated);
    void jumpToThisDeviceModel();

    // Text measuring for a row of label text `first` and value text `second` in `width` (the
    // table's width less an accessory and one margin).
    void calcSizesForString(const std::string& first, const std::string& second, double width);
    double rowHeightForString(const std::string& first, const std::string& second, double width);
    void setFramesForLabel(kit::Label& label, kit::Label& secondLabel, double width);

    // HPickerViewDataSource
    int numberOfRowsInSection(HPickerView&, int section) override;
    std::shared_ptr<kit::View> viewForRowAtIndexPath(HPickerView&, const kit::IndexPath&) override;
    // HPickerViewDelegate
    void pickerViewWillChangeRow(HPickerView&) override { }
    void didSelectRowAtIndexPath(HPickerView&, const kit::IndexPath&) override;
    using kit::TableViewDelegate::didSelectRowAtIndexPath;

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    double heightForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    void willDisplayCell(kit::TableView&, kit::TableViewCell&, const kit::IndexPath&) override;

    const kit::Array& dataModel() const { return m_dataModel; }
    const std::string& selectedModelKey() const { return m_selectedModelKey; }
    const std::vector<std::string>& allModelsSortedKeys() const { return m_allModelsSortedKeys; }
    kit::TableView* specsTableView() const { return m_specsTableView.get(); }
    kit::NavigationBar* jumpBar() const { return m_jumpBar.get(); }
    HPickerView* devicesListView() const { return m_devicesListView.get(); }
    double textBorder() const { return m_textBorder; }
    kit::Size firstSize() const { return m_firstSize; }
    kit::Size secondSize() const { return m_secondSize; }
    const kit::FontPtr& nameLabelFont() const { return m_nameLabelFont; }
    const kit::FontPtr& valueLabelFont() const { return m_valueLabelFont; }
    double labelColumnWidth() const;

protected:
    SpecsController();
    friend class kit::ViewController;

private:
    void buildPicker();
    void buildSpecsTable();
    void buildJumpBar();
    void showJumpBar(bool shown);
    // The model of a picker column, if the column holds one.
    std::optional<std::size_t> modelIndexForColumn(int column) const;
    int columnForModelKey(std::string_view key) const;
    bool isThisDeviceSelected() const;

    kit::Array m_dataModel;
    std::string m_selectedModelKey;
    std::vector<std::string> m_allModelsSortedKeys;
    std::shared_ptr<kit::TableView> m_specsTableView;
    std::shared_ptr<kit::NavigationBar> m_jumpBar;
    std::shared_ptr<HPickerView> m_devicesListView;
    double m_textBorder = 8;
    kit::Size m_firstSize;
    kit::Size m_secondSize;
    kit::FontPtr m_nameLabelFont;
    kit::FontPtr m_valueLabelFont;

    std::unique_ptr<kit::NotificationCenter::Observation> m_newDataObservation;
};

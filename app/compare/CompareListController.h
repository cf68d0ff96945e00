// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/AttributedString.h"
#include "kit/ui/TableView.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {
class Label;
} // namespace kit

// The list of models chosen for the comparison, stored under "kSelectedModelsKey". The table
// is always editing: a model row can be deleted or tapped to replace its model; below the
// selection limit an add row follows the models and opens the model picker to add one.
class CompareListController : public kit::ViewController, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    static constexpr std::string_view kSelectedModelsKey = "kSelectedModelsKey";
    static constexpr std::string_view kRowFirstItemKey = "kRowFirstItemKey";
    static constexpr std::string_view kCellIdentifier = "cellIdentifier";
    static constexpr int kPhoneSelectionLimit = 7;
    static constexpr int kTabletSelectionLimit = 12;

    ~CompareListController() override;

    // Object
    std::string className() const override { return "CompareListController"; }

    // ViewController
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Rebuilds the rows from the stored selection, then the footer, then reloads the table.
    void updateData();
    void addModel();
    // A row's index opens the picker to replace that model; a negative index opens it to add.
    void editModelAtIndex(long index);
    void updateFooterText();

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    void commitEditingStyle(kit::TableView&, kit::TableViewCellEditingStyle, const kit::IndexPath&) override;
    // TableViewDelegate
    kit::TableViewCellEditingStyle editingStyleForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    void didSelectRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;

    // One row per stored key, in stored order: { "kRowFirstItemKey": the model's label }.
    const kit::Array& dataModel() const { return m_dataModel; }
    kit::TableView* tableView() const;
    kit::Label* footerLabel() const { return m_footerLabel.get(); }
    const kit::TextAttributes& nameStringAttributes() const { return m_nameStringAttributes; }
    const kit::TextAttributes& nameDetailStringAttributes() const { return m_nameDetailStringAttributes; }

    // ---- The stored selection, shared with the model picker ------------------------------------
    // Nothing when no list is stored. Entries that are not strings cannot name a model and are
    // left out, so the indexes match the rows shown.
    static std::optional<std::vector<std::string>> storedSelection();
    static void storeSelection(const std::vector<std::string>& keys);
    // 12 models on a tablet, 7 on a phone. Only the add row enforces it.
    static int selectionLimit();
    // A model's label: its "Name" (the key when it has none) and, after a space, its
    // "DetailName". A key the data set does not hold shows dimmed, followed by the localised
    // "ComparisonModelMissing".
    static kit::AttributedString modelLabel(std::string_view modelKey, const kit::TextAttributes& nameAttributes,
        const kit::TextAttributes& detailAttributes);
    // The colour of rows that cannot be chosen or no longer exist.
    static constexpr kit::Color kDimmedTextColor = kit::Color::white(0.65);
    static constexpr kit::Color kTextColor = kit::Color::rgba(0.86, 0.90, 0.94, 1.0);
    static constexpr kit::Color kTabletBackgroundColor = kit::Color::rgba(0.17, 0.20, 0.25, 1.0);

    // The footer: the localised format given the limit first and the count second. Only
    // integer conversions ("%d", "%ld", "%i", "%u", "%@", positional "%1$d") take the numbers;
    // "%%" is a percent sign and anything else stays as written, so a faulty translation
    // shows wrongly instead of reading past the two numbers.
    static std::string restrictionText(std::string_view format, long limit, long count);

protected:
    // The comparison tab asks for the grouped style.
    explicit CompareListController(kit::TableViewStyle style = kit::TableViewStyle::Grouped);
    friend class kit::ViewController;

private:
    void buildTableLook();
    std::shared_ptr<kit::TableViewCell> makeCell();
    void deleteModelAtIndex(int index);

    kit::TableViewStyle m_style;
    kit::Array m_dataModel;
    kit::TextAttributes m_nameStringAttributes;
    kit::TextAttributes m_nameDetailStringAttributes;
    std::shared_ptr<kit::Label> m_footerLabel;
};

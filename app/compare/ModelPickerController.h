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
class SegmentedControl;
} // namespace kit

// Every model of the data set, to add one to the comparison selection or to put one in the
// place of a chosen model. Chosen models are dimmed and cannot be chosen again. Choosing
// stores the selection and pops the picker; leaving with the back button stores nothing.
class ModelPickerController : public kit::ViewController, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    static constexpr std::string_view kCellIdentifier = "cellIdentifier";
    // The family control's segments, not localised: they are the beginnings of model names.
    static constexpr std::string_view kFamilyTitles[] = { "iPad", "iPhone", "iPod touch" };

    ~ModelPickerController() override;

    // Object
    std::string className() const override { return "ModelPickerController"; }

    // ViewController
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Scrolls the first model whose label begins with the tapped segment's title to the top.
    void jumpScroll(kit::SegmentedControl& control);

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    void didSelectRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;

    // The key being replaced; nothing while adding (and the chosen key once one is chosen).
    const std::optional<std::string>& currentModelKey() const { return m_currentModelKey; }
    // The selection as read when the picker was made, with the choice once made.
    const std::vector<std::string>& selectedModelsKeys() const { return m_selectedModelsKeys; }
    // One label per model, in the data set's model order.
    const std::vector<kit::AttributedString>& dataModel() const { return m_dataModel; }
    kit::TableView* tableView() const;
    kit::SegmentedControl* familyControl() const { return m_familyControl.get(); }

    // The row that a label list scrolls to for a family title: the first label that begins
    // with it (case-sensitive), else nothing.
    static std::optional<std::size_t> firstRowWithPrefix(const std::vector<kit::AttributedString>& labels,
        std::string_view prefix);

protected:
    // A model key to replace it; nothing to add a model.
    explicit ModelPickerController(std::optional<std::string> modelKey = std::nullopt);
    friend class kit::ViewController;

private:
    void buildTableLook();
    std::shared_ptr<kit::TableViewCell> makeCell();
    bool isChosen(std::string_view modelKey) const;
    void scrollToInitialRow();

    std::optional<std::string> m_currentModelKey;
    std::vector<std::string> m_selectedModelsKeys;
    std::vector<kit::AttributedString> m_dataModel;
    kit::TextAttributes m_nameStringAttributes;
    kit::TextAttributes m_nameDetailStringAttributes;
    std::shared_ptr<kit::SegmentedControl> m_familyControl;
};

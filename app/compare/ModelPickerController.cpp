// SPDX-License-Identifier: MIT
#include "app/compare/ModelPickerController.h"

#include "app/compare/CompareListController.h"
#include "app/specs/DataKeeper.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/device/Device.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/SegmentedControl.h"

#include <algorithm>

namespace {

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

constexpr kit::Color kDetailTextColor = kit::Color::white(0.55);

} // namespace

ModelPickerController::ModelPickerController(std::optional<std::string> modelKey)
    : m_currentModelKey(std::move(modelKey))
    , m_selectedModelsKeys(CompareListController::storedSelection().value_or(std::vector<std::string> {}))
{
    setTitle(localized("ComparisonModelChooseTitle"));
    m_nameStringAttributes.font = SharedTools::fontWithName("HelveticaNeue-Medium", 16);
    m_nameDetailStringAttributes.font = SharedTools::fontWithName("HelveticaNeue-Light", 14);

    std::vector<std::string> titles(std::begin(kFamilyTitles), std::end(kFamilyTitles));
    m_familyControl = kit::View::create<kit::SegmentedControl>(std::move(titles));
    // No segment stays selected, so a second tap on the same family jumps again.
    m_familyControl->setMomentary(true);
    m_familyControl->sizeToFit();
    m_familyControl->addAction(kit::ControlEvent::ValueChanged,
        [this](kit::Control& control) { jumpScroll(static_cast<kit::SegmentedControl&>(control)); });
    navigationItem().titleView = m_familyControl;
}

ModelPickerController::~ModelPickerController()
{
    if (m_familyControl)
        m_familyControl->removeActions(kit::ControlEvent::ValueChanged);
    if (auto* table = isViewLoaded() ? tableView() : nullptr) {
        table->setDataSource(nullptr);
        table->setDelegate(nullptr);
    }
}

kit::TableView* ModelPickerController::tableView() const
{
    // The root view is the table (see loadView).
    return static_cast<kit::TableView*>(const_cast<ModelPickerController*>(this)->view());
}

void ModelPickerController::loadView()
{
    auto screen = kit::DeviceProfile::current().screenSize;
    auto table = kit::TableView::create({ 0, 0, screen.width, screen.height }, kit::TableViewStyle::Plain);
    table->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    setView(std::move(table));
}

void ModelPickerController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    buildTableLook();
}

void ModelPickerController::buildTableLook()
{
    kit::TableView& table = *tableView();
    if (kit::Device::idiom() == kit::Idiom::Pad) {
        table.setBackgroundColor(CompareListController::kTabletBackgroundColor);
    } else {
        auto background = kit::View::create<kit::ImageView>(SharedTools::launchImage());
        background->setContentMode(kit::ContentMode::ScaleToFill);
        table.setBackgroundView(std::move(background));
    }
    table.setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    table.setDataSource(this);
    table.setDelegate(this);
}

void ModelPickerController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    // Labels are made afresh each time: the data set may have been replaced meanwhile.
    m_dataModel.clear();
    for (const auto& key : DataKeeper::sortedModelsKeys())
        m_dataModel.push_back(CompareListController::modelLabel(key, m_nameStringAttributes, m_nameDetailStringAttributes));
    tableView()->reloadData();
    scrollToInitialRow();
}

void ModelPickerController::scrollToInitialRow()
{
    std::optional<std::string> target = m_currentModelKey;
    if (!target && !m_selectedModelsKeys.empty())
        target = m_selectedModelsKeys.back();
    if (!target)
        return;
    const auto& keys = DataKeeper::sortedModelsKeys();
    auto found = std::find(keys.begin(), keys.end(), *target);
    if (found == keys.end())
        return;
    kit::TableView& table = *tableView();
    // A navigation controller sizes a pushed screen only after telling it that it appears;
    // the rows near the end need the final height to stand where they should.
    if (auto* navigation = navigationController()) {
        kit::Rect content = navigation->contentFrame();
        table.setFrame({ table.frame().minX(), table.frame().minY(), content.width(), content.height() });
    }
    table.scrollToRowAtIndexPath(kit::IndexPath::forRow(static_cast<int>(found - keys.begin()), 0),
        kit::TableViewScrollPosition::Top, false);
}

std::optional<std::size_t> ModelPickerController::firstRowWithPrefix(const std::vector<kit::AttributedString>& labels,
    std::string_view prefix)
{
    for (std::size_t row = 0; row < labels.size(); ++row)
        if (labels[row].string().starts_with(prefix))
            return row;
    return std::nullopt;
}

void ModelPickerController::jumpScroll(kit::SegmentedControl& control)
{
    std::string title = control.titleForSegmentAtIndex(control.selectedSegmentIndex());
    if (title.empty() || !isViewLoaded())
        return;
    if (auto row = firstRowWithPrefix(m_dataModel, title))
        tableView()->scrollToRowAtIndexPath(kit::IndexPath::forRow(static_cast<int>(*row), 0), kit::TableViewScrollPosition::Top,
            true);
}

bool ModelPickerController::isChosen(std::string_view modelKey) const
{
    return std::find(m_selectedModelsKeys.begin(), m_selectedModelsKeys.end(), modelKey) != m_selectedModelsKeys.end();
}

int ModelPickerController::numberOfSectionsInTableView(kit::TableView&) { return 1; }

int ModelPickerController::numberOfRowsInSection(kit::TableView&, int) { return static_cast<int>(m_dataModel.size()); }

std::shared_ptr<kit::TableViewCell> ModelPickerController::makeCell()
{
    auto cell = kit::TableViewCell::create(kit::TableViewCellStyle::Subtitle, std::string(kCellIdentifier));
    cell->setBackgroundColor(kit::Color::clear());
    cell->setBackgroundView(kit::View::create<kit::ImageView>(kit::Image::named("specsCellDivider")));
    cell->textLabel()->setShadowColor(kit::Color::black().withAlpha(0.6));
    cell->textLabel()->setShadowOffset({ 0, 1 });
    cell->detailTextLabel()->setTextColor(kDetailTextColor);
    return cell;
}

std::shared_ptr<kit::TableViewCell> ModelPickerController::cellForRowAtIndexPath(kit::TableView& table,
    const kit::IndexPath& path)
{
    auto cell = table.dequeueReusableCell(std::string(kCellIdentifier));
    if (!cell)
        cell = makeCell();
    const auto& keys = DataKeeper::sortedModelsKeys();
    auto row = static_cast<std::size_t>(path.row);
    bool chosen = row < keys.size() && isChosen(keys[row]);
    if (row < m_dataModel.size())
        cell->textLabel()->setAttributedText(std::make_shared<kit::AttributedString>(m_dataModel[row]));
    cell->textLabel()->setTextColor(chosen ? CompareListController::kDimmedTextColor : CompareListController::kTextColor);
    cell->detailTextLabel()->setText(chosen ? localized("ComparisonModelChoosen") : std::string());
    cell->setSelectionStyle(chosen ? kit::TableViewCellSelectionStyle::None : kit::TableViewCellSelectionStyle::Default);
    return cell;
}

void ModelPickerController::didSelectRowAtIndexPath(kit::TableView& table, const kit::IndexPath& path)
{
    const auto& keys = DataKeeper::sortedModelsKeys();
    auto row = static_cast<std::size_t>(path.row);
    if (row >= keys.size())
        return;
    const std::string& key = keys[row];
    // A chosen model, the one being replaced included, is refused and the picker stays.
    if (isChosen(key)) {
        table.deselectRowAtIndexPath(path, false);
        return;
    }
    auto replaced = m_currentModelKey ? std::find(m_selectedModelsKeys.begin(), m_selectedModelsKeys.end(), *m_currentModelKey)
                                      : m_selectedModelsKeys.end();
    // The new model takes the replaced one's place; with nothing to replace (adding, or the
    // key has gone from the list meanwhile) it is added at the end.
    if (replaced != m_selectedModelsKeys.end())
        *replaced = key;
    else
        m_selectedModelsKeys.push_back(key);
    m_currentModelKey = key;
    CompareListController::storeSelection(m_selectedModelsKeys);
    if (auto* navigation = navigationController())
        navigation->popViewController(true);
}

// SPDX-License-Identifier: MIT
#include "app/compare/CompareListController.h"

#include "app/compare/ModelPickerController.h"
#include "app/specs/DataKeeper.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"

#include <charconv>

namespace {

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }

} // namespace

CompareListController::CompareListController(kit::TableViewStyle style)
    : m_style(style)
{
    setTitle(localized("ComparisonModelsTitle"));
    m_nameStringAttributes.font = SharedTools::fontWithName("HelveticaNeue-Medium", 16);
    m_nameDetailStringAttributes.font = SharedTools::fontWithName("HelveticaNeue-Light", 14);
}

CompareListController::~CompareListController()
{
    if (auto* table = isViewLoaded() ? tableView() : nullptr) {
        table->setDataSource(nullptr);
        table->setDelegate(nullptr);
    }
}

kit::TableView* CompareListController::tableView() const
{
    // The root view is the table (see loadView).
    return static_cast<kit::TableView*>(const_cast<CompareListController*>(this)->view());
}

void CompareListController::loadView()
{
    auto screen = kit::DeviceProfile::current().screenSize;
    auto table = kit::TableView::create({ 0, 0, screen.width, screen.height }, m_style);
    table->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    setView(std::move(table));
}

void CompareListController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    buildTableLook();
}

void CompareListController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    // Also the return from the picker, which has stored its change.
    updateData();
}

void CompareListController::buildTableLook()
{
    kit::TableView& table = *tableView();
    if (isPad()) {
        table.setBackgroundColor(kTabletBackgroundColor);
    } else {
        auto background = kit::View::create<kit::ImageView>(SharedTools::launchImage());
        background->setContentMode(kit::ContentMode::ScaleToFill);
        table.setBackgroundView(std::move(background));
    }
    table.setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    table.setSectionHeaderHeight(0);
    table.setSectionFooterHeight(0);

    m_footerLabel = kit::View::create<kit::Label>();
    m_footerLabel->setFrame({ 0, 0, table.bounds().width(), 40 });
    m_footerLabel->setAutoresizingMask(kit::FlexibleWidth);
    m_footerLabel->setFont(kit::Font::systemFont(13));
    m_footerLabel->setNumberOfLines(0);
    m_footerLabel->setTextAlignment(kit::TextAlignment::Center);
    m_footerLabel->setTextColor(kDimmedTextColor);
    table.setTableFooterView(m_footerLabel);

    // Always editing, and a tap on a row still selects it: it opens the picker.
    table.setAllowsSelectionDuringEditing(true);
    table.setEditing(true);
    table.setDataSource(this);
    table.setDelegate(this);
}

// ---- The stored selection ----------------------------------------------------------------------

std::optional<std::vector<std::string>> CompareListController::storedSelection()
{
    auto stored = kit::UserDefaults::standardUserDefaults().arrayForKey(kSelectedModelsKey);
    if (!stored)
        return std::nullopt;
    std::vector<std::string> keys;
    for (const auto& entry : *stored)
        if (const auto* key = entry.asString())
            keys.push_back(*key);
    return keys;
}

void CompareListController::storeSelection(const std::vector<std::string>& keys)
{
    kit::UserDefaults::standardUserDefaults().setStringArray(keys, kSelectedModelsKey);
}

int CompareListController::selectionLimit() { return isPad() ? kTabletSelectionLimit : kPhoneSelectionLimit; }

kit::AttributedString CompareListController::modelLabel(std::string_view modelKey, const kit::TextAttributes& nameAttributes,
    const kit::TextAttributes& detailAttributes)
{
    kit::Value entry = DataKeeper::specsForModel(modelKey);
    if (!entry.isDict()) {
        // A model dropped by a data update stays chosen until the user deletes or replaces it.
        kit::TextAttributes dimmedName = nameAttributes;
        kit::TextAttributes dimmedDetail = detailAttributes;
        dimmedName.foregroundColor = kDimmedTextColor;
        dimmedDetail.foregroundColor = kDimmedTextColor;
        return DataKeeper::composeMultiString(modelKey, localized("ComparisonModelMissing"), " ", dimmedName, dimmedDetail);
    }
    std::string name = entry["Name"].string();
    if (name.empty())
        name = std::string(modelKey);
    return DataKeeper::composeMultiString(name, entry["DetailName"].string(), " ", nameAttributes, detailAttributes);
}

std::string CompareListController::restrictionText(std::string_view format, long limit, long count)
{
    const long arguments[] = { limit, count };
    std::size_t nextArgument = 0;
    std::string result;
    std::size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%') {
            result += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            result += '%';
            i += 2;
            continue;
        }
        // %[n$][h|l|ll|q|z|t|j](d|i|u|@)
        std::size_t j = i + 1;
        std::optional<std::size_t> position;
        std::size_t digitsEnd = j;
        while (digitsEnd < format.size() && format[digitsEnd] >= '0' && format[digitsEnd] <= '9')
            ++digitsEnd;
        if (digitsEnd > j && digitsEnd < format.size() && format[digitsEnd] == '$') {
            std::size_t n = 0;
            auto parsed = std::from_chars(format.data() + j, format.data() + digitsEnd, n);
            // "%0$d" names no argument: it stays as written.
            if (parsed.ec != std::errc() || n < 1) {
                result += c;
                ++i;
                continue;
            }
            position = n - 1;
            j = digitsEnd + 1;
        }
        while (j < format.size() && std::string_view("hlqztj").find(format[j]) != std::string_view::npos)
            ++j;
        bool isConversion = j < format.size() && std::string_view("diu@").find(format[j]) != std::string_view::npos;
        std::size_t argument = position.value_or(nextArgument);
        if (!isConversion || argument >= std::size(arguments)) {
            result += c;
            ++i;
            continue;
        }
        result += std::to_string(arguments[argument]);
        if (!position)
            ++nextArgument;
        i = j + 1;
    }
    return result;
}

// ---- Rows ----------------------------------------------------------------------------------------

void CompareListController::updateData()
{
    kit::Array rows;
    for (const auto& key : storedSelection().value_or(std::vector<std::string> {})) {
        auto label
            = std::make_shared<kit::AttributedString>(modelLabel(key, m_nameStringAttributes, m_nameDetailStringAttributes));
        rows.push_back(kit::Dict { { std::string(kRowFirstItemKey), kit::Value(std::move(label)) } });
    }
    m_dataModel = std::move(rows);
    updateFooterText();
    if (isViewLoaded())
        tableView()->reloadData();
}

void CompareListController::updateFooterText()
{
    if (!m_footerLabel)
        return;
    m_footerLabel->setText(
        restrictionText(localized("CompareListNumberRestrictionTitle"), selectionLimit(), static_cast<long>(m_dataModel.size())));
}

void CompareListController::addModel() { editModelAtIndex(-1); }

void CompareListController::editModelAtIndex(long index)
{
    std::optional<std::string> key;
    if (index >= 0) {
        auto stored = storedSelection().value_or(std::vector<std::string> {});
        // A row with no stored key behind it any more opens nothing rather than the wrong mode.
        if (static_cast<std::size_t>(index) >= stored.size())
            return;
        key = stored[static_cast<std::size_t>(index)];
    }
    auto* navigation = navigationController();
    if (!navigation)
        return;
    navigation->pushViewController(kit::ViewController::create<ModelPickerController>(key), true);
}

int CompareListController::numberOfSectionsInTableView(kit::TableView&) { return 1; }

int CompareListController::numberOfRowsInSection(kit::TableView&, int)
{
    int models = static_cast<int>(m_dataModel.size());
    return models < selectionLimit() ? models + 1 : models;
}

std::shared_ptr<kit::TableViewCell> CompareListController::makeCell()
{
    auto cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, std::string(kCellIdentifier));
    cell->setBackgroundColor(kit::Color::clear());
    cell->setBackgroundView(kit::View::create<kit::ImageView>(kit::Image::named("specsCellDivider")));
    cell->setEditingAccessoryType(kit::TableViewCellAccessoryType::DisclosureIndicator);
    kit::Label& text = *cell->textLabel();
    text.setTextColor(kTextColor);
    text.setShadowColor(kit::Color::black().withAlpha(0.6));
    text.setShadowOffset({ 0, 1 });
    return cell;
}

std::shared_ptr<kit::TableViewCell> CompareListController::cellForRowAtIndexPath(kit::TableView& table,
    const kit::IndexPath& path)
{
    auto cell = table.dequeueReusableCell(std::string(kCellIdentifier));
    if (!cell)
        cell = makeCell();
    kit::Label& text = *cell->textLabel();
    if (path.row < static_cast<int>(m_dataModel.size())) {
        text.setAttributedText(
            m_dataModel[static_cast<std::size_t>(path.row)][kRowFirstItemKey].objectAs<kit::AttributedString>());
    } else {
        // Plain text in the cell's own font.
        text.setText(localized("Add model..."));
    }
    return cell;
}

kit::TableViewCellEditingStyle CompareListController::editingStyleForRowAtIndexPath(kit::TableView&, const kit::IndexPath& path)
{
    return path.row < static_cast<int>(m_dataModel.size()) ? kit::TableViewCellEditingStyle::Delete
                                                           : kit::TableViewCellEditingStyle::Insert;
}

void CompareListController::commitEditingStyle(kit::TableView&, kit::TableViewCellEditingStyle style, const kit::IndexPath& path)
{
    if (style == kit::TableViewCellEditingStyle::Delete)
        deleteModelAtIndex(path.row);
    else
        addModel();
}

void CompareListController::didSelectRowAtIndexPath(kit::TableView& table, const kit::IndexPath& path)
{
    table.deselectRowAtIndexPath(path, true);
    if (path.row < static_cast<int>(m_dataModel.size()))
        editModelAtIndex(path.row);
    else
        addModel();
}

void CompareListController::deleteModelAtIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(m_dataModel.size()))
        return;
    int limit = selectionLimit();
    kit::TableView& table = *tableView();
    table.beginUpdates();
    // At the limit the add row was hidden; it comes back where it stands once this row is gone.
    if (static_cast<int>(m_dataModel.size()) == limit)
        table.insertRows({ kit::IndexPath::forRow(limit - 1, 0) }, kit::TableViewRowAnimation::Automatic);
    table.deleteRows({ kit::IndexPath::forRow(index, 0) }, kit::TableViewRowAnimation::Automatic);
    m_dataModel.erase(m_dataModel.begin() + index);
    table.endUpdates();
    updateFooterText();

    auto stored = storedSelection().value_or(std::vector<std::string> {});
    if (static_cast<std::size_t>(index) < stored.size())
        stored.erase(stored.begin() + index);
    storeSelection(stored);
}

// SPDX-License-Identifier: MIT
#include "app/techspecs/SpecsController.h"

#include "app/specs/DataKeeper.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/FileManager.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationBar.h"
#include "kit/ui/TableViewCell.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

std::string localized(const std::string& key) { return key.empty() ? key : kit::Bundle::mainBundle().localizedString(key); }

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }
double pick(double pad, double phone) { return isPad() ? pad : phone; }

const kit::Color kLabelColor { 0.66, 0.7, 0.74, 1.0 };
const kit::Color kValueColor { 0.86, 0.9, 0.94, 1.0 };
const kit::Color kThisDeviceValueColor { 0.75, 0.87, 1.0, 1.0 };
const kit::Color kThisDeviceNameColor { 0.72, 0.85, 1.0, 1.0 };
const kit::Size kTextShadowOffset { 0, 1 };
kit::Color textShadowColor() { return kit::Color::black().withAlpha(0.6); }

std::shared_ptr<kit::Label> makeLabel(kit::FontPtr font, const kit::Color& color)
{
    auto label = kit::View::create<kit::Label>();
    label->setFont(std::move(font));
    label->setTextColor(color);
    label->setShadowColor(textShadowColor());
    label->setShadowOffset(kTextShadowOffset);
    label->setBackgroundColor(kit::Color::clear());
    return label;
}

kit::Value row(std::string first, std::string second)
{
    return kit::Dict { { std::string(SpecsController::kRowFirstItemKey), std::move(first) },
        { std::string(SpecsController::kRowSecondItemKey), std::move(second) } };
}

kit::Value section(kit::Array rows) { return kit::Dict { { std::string(SpecsController::kRowsKey), std::move(rows) } }; }

// The last "."-separated part of a key path: "BatteryLife.Audio Playback" → "Audio Playback".
std::string lastComponent(std::string_view keyPath)
{
    std::size_t dot = keyPath.rfind('.');
    return std::string(dot == std::string_view::npos ? keyPath : keyPath.substr(dot + 1));
}

// A part of a dictionary value; parts that are not strings count as missing.
const std::string& part(const kit::Value& value, std::string_view key) { return value[key].string(); }

} // namespace

std::string SpecsController::textValueString(const kit::Value& value)
{
    if (const auto* date = value.asDate())
        return kit::DateFormatter::mediumDate(*date);
    if (const auto* text = value.asString())
        return localized(*text);
    if (value.isDict()) {
        // Every part present gets its own line. "NumericValue" is a figure with its unit and is
        // never translated.
        std::string result;
        for (const auto& line :
            { localized(part(value, "Value")), part(value, "NumericValue"), localized(part(value, "Details")) }) {
            if (line.empty())
                continue;
            if (!result.empty())
                result += '\n';
            result += line;
        }
        return result;
    }
    return "n/a";
}

// The screen's pieces without views

std::string SpecsController::chosenModelKey(const std::vector<std::string>& models)
{
    auto stored = kit::UserDefaults::standardUserDefaults().stringForKey(kSelectedModelDefaultsKey);
    if (stored && std::find(models.begin(), models.end(), *stored) != models.end())
        return *stored;
    return DataKeeper::thisModelKey();
}

std::string SpecsController::osVersionText(const std::optional<std::string>& distribution, std::string_view kernelVersion)
{
    std::string system = kernelVersion.empty() ? std::string("Linux") : "Linux " + std::string(kernelVersion);
    if (!distribution || distribution->empty())
        return system;
    return *distribution + ", " + system;
}

kit::Array SpecsController::deviceRows()
{
    std::string capacity = "n/a";
    // A file system that cannot be asked has no size to show, rather than a size of nothing.
    if (auto attributes = kit::FileManager::attributesOfFileSystemForPath(kit::FileManager::documentsDirectory());
        attributes.ok() && attributes->size > 0)
        capacity = SharedTools::bytesRepresentation(static_cast<std::uint64_t>(attributes->size));
    return {
        row(localized("Device name"), kit::Device::name()),
        row(localized("OS version"), osVersionText(kit::Device::distributionName(), kit::Device::systemVersion())),
        row(localized("Capacity"), capacity),
    };
}

kit::Array SpecsController::specRows(std::string_view modelKey)
{
    kit::Array rows;
    kit::Value specs = DataKeeper::specsForModel(modelKey);
    if (!specs.isDict())
        return rows;
    for (const std::string& keyPath : DataKeeper::allSpecsKeys()) {
        const kit::Value& value = specs.valueForKeyPath(keyPath);
        if (value.isNull())
            continue;
        std::string text = textValueString(value);
        // Battery figures are durations: "10" becomes "10 hours".
        if (keyPath.find("BatteryLife") != std::string::npos)
            text += localized("Duration");
        rows.push_back(row(localized(lastComponent(keyPath)), std::move(text)));
    }
    return rows;
}

kit::Array SpecsController::makeDataModel(std::string_view modelKey)
{
    kit::Array model;
    if (modelKey == DataKeeper::thisModelKey())
        model.push_back(section(deviceRows()));
    model.push_back(section(specRows(modelKey)));
    return model;
}

// The screen

SpecsController::SpecsController()
{
    setTitle(localized("Tech Specs"));
    m_textBorder = pick(12, 8);
    m_nameLabelFont = SharedTools::fontWithName("HelveticaNeue-Light", pick(19, 13));
    m_valueLabelFont = SharedTools::fontWithName("HelveticaNeue", pick(21, 15));
}

SpecsController::~SpecsController()
{
    kit::RunLoop::main().cancelPerformRequests(this);
    m_newDataObservation.reset();
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_specsTableView) {
        m_specsTableView->setDataSource(nullptr);
        m_specsTableView->setDelegate(nullptr);
    }
    if (m_devicesListView) {
        m_devicesListView->setDataSource(nullptr);
        m_devicesListView->setDelegate(nullptr);
    }
}

double SpecsController::labelColumnWidth() const { return pick(180, 100); }

void SpecsController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    buildSpecsTable();
    buildJumpBar();
    buildPicker();

    m_newDataObservation = kit::NotificationCenter::defaultCenter().addObserver(DKNewDataIsAvailableNotification, nullptr, this,
        [this](const kit::Notification&) { setSpecsData(); });
    setSpecsData();
}

void SpecsController::buildPicker()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    double height = pick(44, 36);
    double columnWidth = std::round(width / pick(5, 3));
    m_devicesListView = HPickerView::create({ 0, 20, width, height }, columnWidth);
    m_devicesListView->setAutoresizingMask(kit::FlexibleWidth);

    auto pickerImage = [&](const char* name) {
        auto image = kit::View::create<kit::ImageView>(kit::Image::named(name));
        image->setFrame(m_devicesListView->bounds());
        image->setContentMode(kit::ContentMode::ScaleToFill);
        image->setAutoresizingMask(kit::FlexibleWidth);
        image->setUserInteractionEnabled(false);
        return image;
    };
    m_devicesListView->setBackgroundView(pickerImage("specsDevSelectorBg"));
    m_devicesListView->setBannerView(pickerImage("specsDevSelectorShadow"));
    m_devicesListView->setBannerViewHidden(false);
    m_devicesListView->setDataSource(this);
    m_devicesListView->setDelegate(this);
    root.addSubview(m_devicesListView);
}

void SpecsController::buildSpecsTable()
{
    kit::View& root = *view();
    double pickerHeight = pick(44, 36);
    double top = pickerHeight + 20;
    double width = isPad() ? std::min(768.0, root.bounds().width()) : root.bounds().width();
    // The view ends at the tab bar, so the table ends there too; the bottom inset still
    // leaves room after the last row.
    double height = std::max(0.0, root.bounds().height() - top);
    m_specsTableView = kit::TableView::create({ root.bounds().midX() - width / 2, top, width, height });
    m_specsTableView->setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    m_specsTableView->setBackgroundColor(kit::Color::clear());
    m_specsTableView->setShowsVerticalScrollIndicator(!isPad());
    m_specsTableView->setContentInset({ 0, 0, kTableBottomInset, 0 });
    m_specsTableView->setAutoresizingMask(isPad() ? (kit::FlexibleLeftMargin | kit::FlexibleRightMargin | kit::FlexibleHeight)
                                                  : (kit::FlexibleWidth | kit::FlexibleHeight));
    m_specsTableView->setDataSource(this);
    m_specsTableView->setDelegate(this);
    root.addSubview(m_specsTableView);
}

void SpecsController::buildJumpBar()
{
    kit::View& root = *view();
    m_jumpBar = kit::View::create<kit::NavigationBar>();
    m_jumpBar->setFrame({ 0, pick(44, 36) + 20, root.bounds().width(), kJumpBarHeight });
    m_jumpBar->setBarStyle(kit::BarStyle::Black);
    m_jumpBar->setAutoresizingMask(kit::FlexibleWidth);
    auto button = kit::Button::system(localized("ShowThisDeviceModelButtonTitle"));
    button->sizeToFit();
    button->addAction(kit::ControlEvent::TouchUpInside, [this](kit::Control&) { jumpToThisDeviceModel(); });
    kit::NavigationItem item;
    item.titleView = button;
    m_jumpBar->setItems(item, {}, std::nullopt);
    // Shown by the first updateInfo when another model is chosen.
    m_jumpBar->setAlpha(0);
    m_jumpBar->setHidden(true);
    root.addSubview(m_jumpBar);
}

void SpecsController::viewDidAppear(bool animated)
{
    kit::ViewController::viewDidAppear(animated);
    jumpToSelectedModelAnimated(animated);
}

bool SpecsController::pressKey(kit::Key key)
{
    if (key != kit::Key::Left && key != kit::Key::Right)
        return false;
    if (!m_devicesListView)
        return false;
    // From where a move under way is heading, so quick presses walk on instead of repeating.
    auto from = m_devicesListView->targetIndexPath();
    if (!from)
        return true;
    int step = key == kit::Key::Left ? -1 : 1;
    m_devicesListView->tapColAtIndexPath({ 0, from->row + step });
    return true;
}

void SpecsController::setSpecsData()
{
    m_allModelsSortedKeys = DataKeeper::sortedModelsKeys();
    m_selectedModelKey = chosenModelKey(m_allModelsSortedKeys);
    if (!m_devicesListView)
        return;
    m_devicesListView->reloadDataAnimated(false);
    updateInfo();
    // The list may have changed under the picker: keep the shown model on the centre line.
    jumpToSelectedModelAnimated(false);
}

bool SpecsController::isThisDeviceSelected() const { return m_selectedModelKey == DataKeeper::thisModelKey(); }

void SpecsController::updateInfo()
{
    if (!m_specsTableView)
        return;
    std::size_t oldSections = m_dataModel.size();
    bool thisDevice = isThisDeviceSelected();
    m_dataModel = makeDataModel(m_selectedModelKey);
    std::size_t newSections = m_dataModel.size();

    kit::TableView& table = *m_specsTableView;
    if (oldSections == 0) {
        table.reloadData();
    } else {
        table.beginUpdates();
        if (oldSections < newSections) {
            // The device section came in above the tech specs rows.
            table.insertSections({ 0 }, kit::TableViewRowAnimation::Top);
            table.reloadSections({ 0 }, kit::TableViewRowAnimation::Fade);
        } else if (oldSections > newSections) {
            table.deleteSections({ 0 }, kit::TableViewRowAnimation::Top);
            table.reloadSections({ 1 }, kit::TableViewRowAnimation::Fade);
        } else {
            std::vector<int> all;
            for (std::size_t s = 0; s < oldSections; ++s)
                all.push_back(static_cast<int>(s));
            table.reloadSections(all, kit::TableViewRowAnimation::Fade);
        }
        table.endUpdates();
    }

    showJumpBar(!thisDevice);
    table.setContentInset({ thisDevice ? 0.0 : m_jumpBar->frame().height(), 0, kTableBottomInset, 0 });
    if (m_dataModel.back()[kRowsKey].count() > 0)
        table.scrollToRowAtIndexPath({ 0, 0 }, kit::TableViewScrollPosition::Top, true);
}

void SpecsController::showJumpBar(bool shown)
{
    if (shown)
        m_jumpBar->setHidden(false);
    std::weak_ptr<kit::View> weak = m_jumpBar;
    kit::View::animate(
        kJumpBarFadeDuration, [&] { m_jumpBar->setAlpha(shown ? 1 : 0); },
        [weak](bool) {
            // Hidden only if no later fade brought it back meanwhile.
            if (auto bar = weak.lock(); bar && bar->alpha() == 0)
                bar->setHidden(true);
        });
}

int SpecsController::columnForModelKey(std::string_view key) const
{
    auto it = std::find(m_allModelsSortedKeys.begin(), m_allModelsSortedKeys.end(), key);
    if (it == m_allModelsSortedKeys.end())
        return -1;
    return static_cast<int>(it - m_allModelsSortedKeys.begin()) + static_cast<int>(m_devicesListView->serviceColsCount());
}

std::optional<std::size_t> SpecsController::modelIndexForColumn(int column) const
{
    int index = column - static_cast<int>(m_devicesListView->serviceColsCount());
    if (index < 0 || index >= static_cast<int>(m_allModelsSortedKeys.size()))
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

void SpecsController::jumpToSelectedModelAnimated(bool animated)
{
    if (!m_devicesListView)
        return;
    int column = columnForModelKey(m_selectedModelKey);
    if (column < 0)
        return;
    auto current = m_devicesListView->currentIndexPath();
    if (current && current->row == column)
        return;
    m_devicesListView->selectColAtIndexPath({ 0, column }, animated);
}

void SpecsController::jumpToThisDeviceModel()
{
    m_selectedModelKey = DataKeeper::thisModelKey();
    if (columnForModelKey(m_selectedModelKey) < 0) {
        // Not in the picker, so no report will come: show the device at once.
        updateInfo();
        return;
    }
    jumpToSelectedModelAnimated(true);
}

// The picker

int SpecsController::numberOfRowsInSection(HPickerView& picker, int)
{
    return static_cast<int>(m_allModelsSortedKeys.size()) + 2 * static_cast<int>(picker.serviceColsCount());
}

std::shared_ptr<kit::View> SpecsController::viewForRowAtIndexPath(HPickerView& picker, const kit::IndexPath& path)
{
    auto index = modelIndexForColumn(path.row);
    if (!index)
        return nullptr;
    const std::string& key = m_allModelsSortedKeys[*index];
    kit::Value specs = DataKeeper::specsForModel(key);
    bool thisDevice = key == DataKeeper::thisModelKey();
    const std::string& detail = specs["DetailName"].string();

    double width = picker.columnWidth();
    double height = picker.columnHeight();
    double detailHeight = detail.empty() ? 0 : pick(12, 10);
    auto column = kit::View::create();
    column->setFrame({ 0, 0, width, height });
    column->setUserInteractionEnabled(false);

    double nameSize = pick(16, 13) + (thisDevice ? 2 : 0);
    auto name = makeLabel(SharedTools::fontWithName("HelveticaNeue-Bold", nameSize),
        thisDevice ? kThisDeviceNameColor : kit::Color::white());
    name->setFrame({ 2, 2, width - 4, std::max(0.0, height - detailHeight - 4) });
    // Above a detail line there is room for one line only. A name too long for its lines is
    // drawn smaller, then cut short, rather than spilling over the detail or out of the strip.
    name->setNumberOfLines(detail.empty() ? 2 : 1);
    name->setAdjustsFontSizeToFitWidth(true);
    name->setMinimumScaleFactor(kColumnNameMinimumScale);
    name->setTextAlignment(kit::TextAlignment::Center);
    name->setText(specs["Name"].string());
    name->setTag(kColumnNameTag);
    column->addSubview(name);

    if (!detail.empty()) {
        auto detailLabel
            = makeLabel(SharedTools::fontWithName("HelveticaNeue", pick(12, 10)), kit::Color::white().withAlpha(0.8));
        detailLabel->setFrame({ 2, name->frame().maxY() - 4, width - 4, detailHeight + 2 });
        detailLabel->setTextAlignment(kit::TextAlignment::Center);
        detailLabel->setText(detail);
        detailLabel->setTag(kColumnDetailTag);
        column->addSubview(detailLabel);
    }
    return column;
}

void SpecsController::didSelectRowAtIndexPath(HPickerView& picker, const kit::IndexPath& path)
{
    if (auto index = modelIndexForColumn(path.row)) {
        m_selectedModelKey = m_allModelsSortedKeys[*index];
        kit::UserDefaults::standardUserDefaults().setString(m_selectedModelKey, kSelectedModelDefaultsKey);
        updateInfo();
        return;
    }
    // A service column: the picker goes to the nearest end and reports that model, unless
    // that model is already shown.
    if (m_allModelsSortedKeys.empty())
        return;
    int service = static_cast<int>(picker.serviceColsCount());
    int end = path.row < service ? service : service + static_cast<int>(m_allModelsSortedKeys.size()) - 1;
    auto current = picker.currentIndexPath();
    if (current && current->row == end)
        return;
    picker.selectColAtIndexPath(path, true);
}

// The table

int SpecsController::numberOfSectionsInTableView(kit::TableView&) { return static_cast<int>(m_dataModel.size()); }

int SpecsController::numberOfRowsInSection(kit::TableView&, int section)
{
    return static_cast<int>(m_dataModel.at(static_cast<std::size_t>(section))[kRowsKey].count());
}

std::shared_ptr<kit::TableViewCell> SpecsController::cellForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath&)
{
    if (auto cell = tableView.dequeueReusableCell(std::string(kCellIdentifier)))
        return cell;
    auto cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, std::string(kCellIdentifier));
    cell->setSelectionStyle(kit::TableViewCellSelectionStyle::None);
    cell->setBackgroundColor(kit::Color::clear());
    for (int tag : { kNameLabelTag, kValueLabelTag }) {
        auto label = makeLabel(tag == kNameLabelTag ? m_nameLabelFont : m_valueLabelFont,
            tag == kNameLabelTag ? kLabelColor : kValueColor);
        label->setNumberOfLines(0);
        label->setLineBreakMode(kit::LineBreakMode::WordWrap);
        if (tag == kNameLabelTag)
            label->setTextAlignment(kit::TextAlignment::Right);
        label->setTag(tag);
        cell->contentView()->addSubview(label);
    }
    auto divider = kit::View::create<kit::ImageView>(kit::Image::named("specsCellDivider"));
    divider->setFrame({ 0, 0, divider->frame().width(), divider->frame().height() });
    divider->setTag(kDividerTag);
    cell->contentView()->addSubview(divider);
    return cell;
}

double SpecsController::heightForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath& path)
{
    const kit::Value& row
        = m_dataModel.at(static_cast<std::size_t>(path.section))[kRowsKey].at(static_cast<std::size_t>(path.row));
    double width = tableView.bounds().width() - m_textBorder;
    return rowHeightForString(row[kRowFirstItemKey].string(), row[kRowSecondItemKey].string(), width);
}

void SpecsController::willDisplayCell(kit::TableView& tableView, kit::TableViewCell& cell, const kit::IndexPath& path)
{
    const kit::Value& row
        = m_dataModel.at(static_cast<std::size_t>(path.section))[kRowsKey].at(static_cast<std::size_t>(path.row));
    auto* label = dynamic_cast<kit::Label*>(cell.contentView()->viewWithTag(kNameLabelTag));
    auto* value = dynamic_cast<kit::Label*>(cell.contentView()->viewWithTag(kValueLabelTag));
    if (!label || !value)
        return;
    bool deviceSection = isThisDeviceSelected() && m_dataModel.size() > 1 && path.section == 0;
    label->setText(row[kRowFirstItemKey].string());
    label->setFont(m_nameLabelFont);
    label->setTextColor(kLabelColor);
    value->setText(row[kRowSecondItemKey].string());
    value->setFont(m_valueLabelFont);
    value->setTextColor(deviceSection ? kThisDeviceValueColor : kValueColor);
    setFramesForLabel(*label, *value, tableView.bounds().width() - m_textBorder);
}

// Text measuring

void SpecsController::calcSizesForString(const std::string& first, const std::string& second, double width)
{
    double limit = kMaximumRowLines * std::max(m_nameLabelFont->lineHeight(), m_valueLabelFont->lineHeight());
    double labelWidth = labelColumnWidth();
    double valueWidth = std::max(0.0, width - 3 * m_textBorder - labelWidth);
    double labelHeight
        = first.empty() ? 0 : kit::boundingRectForString(first, m_nameLabelFont, kit::Size { labelWidth, limit }).height();
    double valueHeight
        = second.empty() ? 0 : kit::boundingRectForString(second, m_valueLabelFont, kit::Size { valueWidth, limit }).height();
    m_firstSize = { labelWidth, std::min(labelHeight, limit) };
    m_secondSize = { valueWidth, std::min(valueHeight, limit) };
}

double SpecsController::rowHeightForString(const std::string& first, const std::string& second, double width)
{
    calcSizesForString(first, second, width);
    return 2 * m_textBorder + std::max(m_firstSize.height, m_secondSize.height);
}

void SpecsController::setFramesForLabel(kit::Label& label, kit::Label& secondLabel, double width)
{
    calcSizesForString(label.text(), secondLabel.text(), width);
    label.setFrame({ m_textBorder, m_textBorder, m_firstSize.width, m_firstSize.height });
    secondLabel.setFrame({ label.frame().maxX() + m_textBorder, m_textBorder, m_secondSize.width, m_secondSize.height });
}

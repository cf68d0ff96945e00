// SPDX-License-Identifier: MIT
#include "app/usage/UsageController.h"

#include "common/metrics/RefreshTick.h"
#include "common/metrics/ScreenViews.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/Log.h"
#include "kit/base/RunLoop.h"
#include "kit/device/Device.h"
#include "kit/ui/Application.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/TableViewCell.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

namespace {

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }
double pick(double pad, double phone) { return isPad() ? pad : phone; }
// Single precision, halves away from zero, as the panel metrics round.
double roundf32(double value) { return std::round(static_cast<float>(value)); }

kit::Value* recordForName(kit::Array& ifaces, std::string_view name)
{
    // The last record of the name, if there are several.
    for (auto it = ifaces.rbegin(); it != ifaces.rend(); ++it) {
        if ((*it)["Name"].string() == name)
            return &*it;
    }
    // Built in place: GCC 12 misreads a moved temporary Value as uninitialised.
    return &ifaces.emplace_back(kit::Dict { { "Name", std::string(name) } });
}

std::string macText(const kit::InterfaceEntry& entry)
{
    char text[18];
    const auto& a = entry.address;
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

using ScreenViews::imageView;
using ScreenViews::makeLabel;

void moveCenterX(kit::View& view, double x)
{
    auto center = view.center();
    view.setCenter({ x, center.y });
}

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

constexpr kit::Color kPanelTextColor { 0.44, 0.44, 0.48, 1.0 };
constexpr kit::Color kPanelTextShadowColor = kit::Color::white(1, 0.7);
constexpr kit::Color kBootTimeTextColor { 0.52, 0.58, 0.68, 1.0 };
constexpr kit::Color kBootTimeShadowColor = kit::Color::black().withAlpha(0.75);

// The engraved text of the panels: grey with a light shadow below.
std::shared_ptr<kit::Label> panelLabel(const kit::Rect& frame, kit::FontPtr font)
{
    return makeLabel(frame, std::move(font), kPanelTextColor, kPanelTextShadowColor, { 0, 1 });
}

std::shared_ptr<kit::Label> titleLabel(const PanelMetrics& metrics)
{
    // Tablets have the room for the regular weight.
    auto font = SharedTools::fontWithName(isPad() ? "HelveticaNeue" : "HelveticaNeue-Bold", metrics.titleFontSize);
    return panelLabel(metrics.titleFrame, font);
}

std::shared_ptr<kit::ImageView> plateView(const PanelMetrics& metrics, kit::Point center)
{
    auto plate = imageView("usagePlate" + metrics.imageSuffix);
    plate->setCenter(center);
    return plate;
}

// The glass over the bars.
std::shared_ptr<kit::ImageView> plateGlass(const PanelMetrics& metrics)
{
    auto glass = imageView("usagePlateTop" + metrics.imageSuffix);
    glass->setCenter(metrics.overlayCenter);
    return glass;
}

// Clips the bars, which slide left out of it as their shares shrink.
std::shared_ptr<kit::View> barBox(const PanelMetrics& metrics, std::initializer_list<std::shared_ptr<kit::ImageView>> bars)
{
    auto box = kit::View::create();
    box->setFrame(metrics.barBox);
    box->setClipsToBounds(true);
    for (auto& bar : bars)
        box->addSubview(bar);
    return box;
}

} // namespace

UsageController::UsageController()
    : configurationProvider([] { return kit::InterfaceConfigurationSource(kit::Device::root()).read(); })
    , countersProvider([] { return kit::InterfaceCounterSource().read(); })
    , kindProvider([](std::string_view name) { return kit::InterfaceConfigurationSource(kit::Device::root()).kindOf(name); })
    , usageProvider([] { return SharedTools::usageDict(); })
{
    setTitle(localized("Usage"));
}

UsageController::~UsageController()
{
    kit::RunLoop::main().cancelPerformRequests(this);
    m_observations.clear();
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_networkTableView) {
        m_networkTableView->setDataSource(nullptr);
        m_networkTableView->setDelegate(nullptr);
    }
}

bool UsageController::isListedInterfaceName(std::string_view name)
{
    for (std::string_view prefix : { "en", "eth", "wl", "ww", "bnep", "pdp_ip0" }) {
        if (name.starts_with(prefix))
            return true;
    }
    return false;
}

void UsageController::fillAddresses(kit::Array& ifaces, const std::vector<kit::InterfaceEntry>& entries)
{
    for (auto& entry : entries) {
        if (!isListedInterfaceName(entry.name))
            continue;
        // Every entry makes a record, so an interface with only other addresses is still listed.
        kit::Dict& record = *recordForName(ifaces, entry.name)->asDict();
        if (entry.family == kit::InterfaceEntry::kFamilyIPv4)
            record.insert_or_assign("ipAddr", entry.addressText());
        else if (entry.family == kit::InterfaceEntry::kFamilyLink && entry.addressLength == 6)
            record.insert_or_assign("macAddr", macText(entry));
    }
}

void UsageController::fillCounters(kit::Array& ifaces, const std::vector<kit::InterfaceCounters>& records)
{
    for (auto& counters : records) {
        if (!isListedInterfaceName(counters.name))
            continue;
        kit::Dict& record = *recordForName(ifaces, counters.name)->asDict();
        if (counters.family != kit::InterfaceEntry::kFamilyLink)
            continue;
        // The first record of a name wins.
        if (record.count("inBytes") && record.count("outBytes"))
            continue;
        record.insert_or_assign("inBytes", counters.receivedBytes);
        record.insert_or_assign("outBytes", counters.sentBytes);
    }
}

void UsageController::updateAddresses()
{
    m_ifaces.clear();
    auto entries
        = configurationProvider ? configurationProvider() : kit::Result<std::vector<kit::InterfaceEntry>>(kit::Error { "none" });
    if (!entries.ok()) {
        int error = errno ? errno : EIO;
        char line[32];
        std::snprintf(line, sizeof line, "ioctl error %d", error);
        kit::Log::write(line);
        return;
    }
    fillAddresses(m_ifaces, *entries);
}

void UsageController::netStats()
{
    if (!countersProvider)
        return;
    auto records = countersProvider();
    if (!records.ok())
        return;
    fillCounters(m_ifaces, *records);
}

kit::Array UsageController::makeNetworkModel(const kit::Array& ifaces, double systemVersion,
    const std::function<kit::InterfaceKind(std::string_view)>& kindOf)
{
    kit::Array model;
    for (auto& record : ifaces) {
        const std::string& name = record["Name"].string();
        auto kind = kindOf ? kindOf(name) : kit::InterfaceKind::Wired;
        bool hasAddress = record["ipAddr"].isString();
        std::string icon;
        if (kind == kit::InterfaceKind::Wireless)
            icon = "networkIconWi-Fi";
        else if (name == "pdp_ip0" || kind == kit::InterfaceKind::Cellular)
            icon = "networkIconCellular";
        else if (!hasAddress)
            continue;
        else if (kind == kit::InterfaceKind::Bluetooth)
            icon = "networkIconBluetooth";
        else
            icon = "networkIconEthernet";

        kit::Dict section { { std::string(kHeaderKey), icon } };
        std::int64_t in = record["inBytes"].longLongValue();
        std::int64_t out = record["outBytes"].longLongValue();
        if (in > 0 || out >= 1) {
            section.emplace(kValueDownloadKey, SharedTools::bytesRepresentation(static_cast<std::uint64_t>(in)));
            section.emplace(kValueUploadKey, SharedTools::bytesRepresentation(static_cast<std::uint64_t>(out)));
        }
        kit::Array rows;
        if (hasAddress)
            rows.emplace_back(kit::Dict { { std::string(kRowFirstItemKey), "IP address" },
                { std::string(kRowSecondItemKey), record["ipAddr"] } });
        if (systemVersion < 7.0 && !name.starts_with("pdp") && record["macAddr"].isString())
            rows.emplace_back(kit::Dict { { std::string(kRowFirstItemKey), "MAC address" },
                { std::string(kRowSecondItemKey), record["macAddr"] } });
        section.emplace(kRowsKey, std::move(rows));
        model.emplace_back(std::move(section));
    }
    return model;
}

void UsageController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    buildPanels();
    buildNetworkTable();

    auto& center = kit::NotificationCenter::defaultCenter();
    auto refresh = [this](const kit::Notification&) { updateInfo(); };
    m_observations.push_back(center.addObserver(kRefreshNotification, nullptr, this, refresh));
    m_observations.push_back(center.addObserver(kit::kApplicationDidBecomeActiveNotification, nullptr, this, refresh));
}

void UsageController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    updateInfo();
}

void UsageController::buildPanels()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    auto bar = kit::Image::named("barOrange" + panelImageSuffix(width));
    auto mark = kit::Image::named("pointOrange");
    PanelMetrics metrics = panelMetrics(width, isPad(), bar ? bar->size() : kit::Size {}, mark ? mark->size().width : 0);

    buildDiskPanel(metrics, root.bounds().midX());
    buildMemoryPanel(metrics, root.bounds().midX());

    auto container = kit::View::create();
    container->setFrame({ 0, 0, width, m_memChartPanel->frame().maxY() });
    container->setAutoresizingMask(kit::FlexibleLeftMargin | kit::FlexibleRightMargin | kit::FlexibleBottomMargin);
    container->addSubview(m_diskChartPanel);
    container->addSubview(m_memChartPanel);
    root.addSubview(container);
}

void UsageController::buildDiskPanel(const PanelMetrics& metrics, double centerX)
{
    const std::string& suffix = metrics.imageSuffix;
    m_diskChartPanel = plateView(metrics, { centerX, metrics.diskPanelCenterY });
    m_diskChartBarShadowImageView = imageView("barShadow" + suffix);
    m_diskChartBarBlueImageView = imageView("barBlue" + suffix);
    m_diskChartPanel->addSubview(barBox(metrics, { m_diskChartBarShadowImageView, m_diskChartBarBlueImageView }));
    m_diskChartPanel->addSubview(plateGlass(metrics));

    m_usedDiskLabel = buildLegendColumn(*m_diskChartPanel, metrics, 0, "Used", "pointBlue");
    m_freeDiskLabel = buildLegendColumn(*m_diskChartPanel, metrics, 1, "Free", "pointGray");

    auto bootTimeFont = SharedTools::fontWithName("HelveticaNeue", metrics.bootTimeFontSize);
    m_bootTimeLabel = makeLabel(metrics.bootTimeFrame, bootTimeFont, kBootTimeTextColor, kBootTimeShadowColor, { 0, -1 });
    m_bootTimeLabel->setTextAlignment(kit::TextAlignment::Right);
    m_diskChartPanel->addSubview(m_bootTimeLabel);
    m_diskPanelTitleLabel = titleLabel(metrics);
    m_diskChartPanel->addSubview(m_diskPanelTitleLabel);
}

void UsageController::buildMemoryPanel(const PanelMetrics& metrics, double centerX)
{
    const std::string& suffix = metrics.imageSuffix;
    m_memChartPanel = plateView(metrics, { centerX, metrics.memoryPanelCenterY });
    m_memChartBarShadowImageView = imageView("barShadow" + suffix);
    m_memChartBarGreenImageView = imageView("barGreen" + suffix);
    m_memChartBarBlueImageView = imageView("barBlue" + suffix);
    m_memChartBarOrangeImageView = imageView("barOrange" + suffix);
    // Later bars lie over earlier ones: orange, then blue, then green, each ending where its share does.
    m_memChartPanel->addSubview(barBox(metrics,
        { m_memChartBarShadowImageView, m_memChartBarGreenImageView, m_memChartBarBlueImageView, m_memChartBarOrangeImageView }));
    m_memChartPanel->addSubview(plateGlass(metrics));

    m_wiredRamLabel = buildLegendColumn(*m_memChartPanel, metrics, 0, "Wired", "pointOrange");
    m_activeRamLabel = buildLegendColumn(*m_memChartPanel, metrics, 1, "Active", "pointBlue");
    m_inactiveRamLabel = buildLegendColumn(*m_memChartPanel, metrics, 2, "Inactive", "pointGreen");
    m_freeRamLabel = buildLegendColumn(*m_memChartPanel, metrics, 3, "Free", "pointGray");

    m_memPanelTitleLabel = titleLabel(metrics);
    m_memChartPanel->addSubview(m_memPanelTitleLabel);
}

std::shared_ptr<kit::Label> UsageController::buildLegendColumn(kit::View& panel, const PanelMetrics& metrics, int column,
    const char* textKey, const char* markImage)
{
    auto mark = imageView(markImage);
    mark->setCenter(metrics.markCenter(column));
    panel.addSubview(mark);

    auto value = panelLabel(metrics.valueFrame(column), SharedTools::fontWithName("HelveticaNeue-Bold", metrics.valueFontSize));
    panel.addSubview(value);
    auto name
        = panelLabel(metrics.nameFrame(column), SharedTools::fontWithName("HelveticaNeue-CondensedBold", metrics.nameFontSize));
    name->setText(localized(textKey));
    panel.addSubview(name);
    return value;
}

void UsageController::buildNetworkTable()
{
    kit::View& root = *view();
    bool pad = isPad();
    double width = pad ? 618 : root.bounds().width();
    double top = m_memChartPanel->frame().maxY();
    double height = root.bounds().height() - top - pick(80, 0);
    m_networkTableView = kit::TableView::create({ root.bounds().midX() - width / 2, top, width, std::max(0.0, height) });
    m_networkTableView->setContentInset({ 0, 0, 43, 0 });
    m_networkTableView->setRowHeight(pick(43, 36));
    m_networkTableView->setBackgroundColor(kit::Color::black().withAlpha(0.3));
    m_networkTableView->setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    m_networkTableView->setCornerRadius(pick(4, 0));
    m_networkTableView->setAutoresizingMask(
        pad ? (kit::FlexibleLeftMargin | kit::FlexibleRightMargin | kit::FlexibleHeight) : kit::FlexibleHeight);
    m_networkTableView->setDataSource(this);
    m_networkTableView->setDelegate(this);
    root.addSubview(m_networkTableView);
}

void UsageController::fillPanels(const kit::Value& usage)
{
    if (!m_memChartBarOrangeImageView)
        return;
    // A bar is centred at share × width − width/2, so its right edge stands at its share of the
    // box; the shadow follows the last bar's edge.
    float barWidth = static_cast<float>(m_memChartBarOrangeImageView->frame().width());
    auto share = [&](std::string_view key) { return barWidth * static_cast<float>(usage[key].doubleValue()); };
    auto text = [&](std::string_view key) { return usage[key].string(); };

    moveCenterX(*m_diskChartBarBlueImageView, std::round(share(SharedTools::kUsedPercentDiskKey) - barWidth / 2));
    moveCenterX(*m_diskChartBarShadowImageView,
        roundf32(m_diskChartBarBlueImageView->frame().maxX() + m_diskChartBarShadowImageView->frame().width() / 2));
    m_usedDiskLabel->setText(text(SharedTools::kUsedDiskStrKey));
    m_freeDiskLabel->setText(text(SharedTools::kFreeDiskStrKey));
    m_diskPanelTitleLabel->setText(localized("Capacity") + " " + text(SharedTools::kAllDiskStrKey));

    float orange = std::round(share(SharedTools::kWiredPercentRamKey) - barWidth / 2);
    moveCenterX(*m_memChartBarOrangeImageView, orange);
    float blue = std::round(share(SharedTools::kActivePercentRamKey) + orange);
    moveCenterX(*m_memChartBarBlueImageView, blue);
    float green = std::round(share(SharedTools::kInactivePercentRamKey) + blue);
    moveCenterX(*m_memChartBarGreenImageView, green);
    moveCenterX(*m_memChartBarShadowImageView,
        roundf32(m_memChartBarGreenImageView->frame().maxX() + m_memChartBarShadowImageView->frame().width() / 2));
    m_wiredRamLabel->setText(text(SharedTools::kWiredRamStrKey));
    m_activeRamLabel->setText(text(SharedTools::kActiveRamStrKey));
    m_inactiveRamLabel->setText(text(SharedTools::kInactiveRamStrKey));
    m_freeRamLabel->setText(text(SharedTools::kFreeRamStrKey));
    m_memPanelTitleLabel->setText(localized("Memory") + " " + text(SharedTools::kAllRamStrKey));
}

void UsageController::updateInfo()
{
    if (!isViewLoaded())
        return;
    m_bootTimeLabel->setText(SharedTools::bootTimeString());
    fillPanels(kit::Value(usageProvider ? usageProvider() : kit::Dict {}));

    updateAddresses();
    netStats();

    // The table is rebuilt only when what it shows changed: a quiet network leaves its cells,
    // and their pixels, alone.
    kit::Array model = makeNetworkModel(m_ifaces, kit::parseDouble(kit::Device::systemVersion()), kindProvider);
    if (model != m_networkDataModel) {
        m_networkDataModel = std::move(model);
        m_networkTableView->reloadData();
    }
}

int UsageController::numberOfSectionsInTableView(kit::TableView&) { return static_cast<int>(m_networkDataModel.size()); }

int UsageController::numberOfRowsInSection(kit::TableView&, int section)
{
    return static_cast<int>(m_networkDataModel.at(section)[kRowsKey].count());
}

std::shared_ptr<kit::TableViewCell> UsageController::cellForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath&)
{
    if (auto cell = tableView.dequeueReusableCell(std::string(kCellIdentifier)))
        return cell;
    auto cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, std::string(kCellIdentifier));
    cell->setSelectionStyle(kit::TableViewCellSelectionStyle::None);
    cell->setBackgroundColor(kit::Color::clear());
    cell->setBackgroundView(kit::View::create<kit::ImageView>(kit::Image::named(isPad() ? "generalCellBg" : "networkCellBg")));
    auto font = SharedTools::fontWithName("HelveticaNeue", pick(20, 14));
    for (int tag : { 1, 2 }) {
        auto label = makeLabel({}, font, m_tableTextColor, kit::Color::black().withAlpha(0.6), { 0, 1 });
        label->setTag(tag);
        cell->contentView()->addSubview(label);
    }
    return cell;
}

void UsageController::willDisplayCell(kit::TableView&, kit::TableViewCell& cell, const kit::IndexPath& indexPath)
{
    const kit::Value& row = m_networkDataModel.at(indexPath.section)[kRowsKey].at(indexPath.row);
    kit::Rect content = cell.contentView()->bounds();
    auto* first = dynamic_cast<kit::Label*>(cell.contentView()->viewWithTag(1));
    auto* second = dynamic_cast<kit::Label*>(cell.contentView()->viewWithTag(2));
    if (!first || !second)
        return;
    first->setFrame({ 8, 0, pick(170, 134), content.height() });
    first->setText(kit::Bundle::mainBundle().localizedString(row[kRowFirstItemKey].string()));
    double left = first->frame().maxX() + 8;
    second->setFrame({ left, 0, content.width() - first->frame().maxX() - 8, content.height() });
    second->setText(row[kRowSecondItemKey].string());
}

double UsageController::heightForHeaderInSection(kit::TableView&, int)
{
    auto image = kit::Image::named("generalTableHeader");
    return image ? image->size().height : 0;
}

std::shared_ptr<kit::View> UsageController::viewForHeaderInSection(kit::TableView&, int section)
{
    const kit::Value& model = m_networkDataModel.at(static_cast<std::size_t>(section));
    auto header = imageView("generalTableHeader");
    header->addSubview(imageView(model[kHeaderKey].string()));
    if (model[kValueDownloadKey].isString() || model[kValueUploadKey].isString()) {
        auto arrows = imageView("updown");
        arrows->setCenter({ pick(450, 202), pick(23, 16) });
        header->addSubview(arrows);
        auto font = SharedTools::fontWithName("HelveticaNeue-Bold", pick(17, 13));
        auto shadow = kit::Color::black().withAlpha(0.6);
        auto download = makeLabel({ pick(400, 166), pick(6, 3), pick(120, 70), pick(38, 29) }, font, { 0.62, 0.99, 0.42, 1.0 },
            shadow, { 0, 1 });
        download->setText(model[kValueDownloadKey].string());
        header->addSubview(download);
        auto upload = makeLabel({ pick(524, 253), pick(6, 3), pick(120, 70), pick(38, 29) }, font, { 0.35, 0.78, 0.91, 1.0 },
            shadow, { 0, 1 });
        upload->setText(model[kValueUploadKey].string());
        header->addSubview(upload);
    }
    return header;
}

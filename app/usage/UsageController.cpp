// SPDX-License-Identifier: MIT
#include "app/usage/UsageController.h"

#include "common/metrics/AccessibilityText.h"
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

// The shadow begins exactly where the bar ends. The artwork for 320 and 375 points and tablets is
// sized so that this end plus half the shadow is a whole point, as the rounded centres always
// were; on scaled artwork (other phone widths) rounding would open a seam or an overlap.
void placeShadowAfter(kit::View& shadow, const kit::View& bar)
{
    moveCenterX(shadow, bar.frame().maxX() + shadow.frame().width() / 2);
}

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

// Dark enough for 4.5 : 1 against the plate's darkest foot (0.44 grey gave 2.7 : 1).
constexpr kit::Color kPanelTextColor { 0.24, 0.26, 0.30, 1.0 };
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

// A panel image at its natural size times the metrics' image scale (the images are vectors, so a
// scaled plate is as sharp as one drawn for the width).
std::shared_ptr<kit::ImageView> panelImageView(const PanelMetrics& metrics, std::string_view name)
{
    auto view = imageView(name);
    if (metrics.imageScale != 1) {
        kit::Size size = view->frame().size;
        view->setFrame({ 0, 0, size.width * metrics.imageScale, size.height * metrics.imageScale });
    }
    return view;
}

std::shared_ptr<kit::ImageView> plateView(const PanelMetrics& metrics, kit::Point center)
{
    auto plate = panelImageView(metrics, "usagePlate" + metrics.imageSuffix);
    plate->setCenter(center);
    return plate;
}

// The glass over the bars.
std::shared_ptr<kit::ImageView> plateGlass(const PanelMetrics& metrics)
{
    auto glass = panelImageView(metrics, "usagePlateTop" + metrics.imageSuffix);
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
    : configurationProvider([] { return kit::Device::interfaceConfiguration(); })
    , countersProvider([] { return kit::Device::interfaceCounters(); })
    , kindProvider([](std::string_view name) { return kit::Device::interfaceKind(name); })
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
    // Physical links and VPN tunnels; bridges, veth pairs and other virtual links are the
    // machine's own plumbing.
    for (std::string_view prefix : { "en", "eth", "wl", "ww", "bnep", "pdp_ip0", "wg", "tun", "tap", "ppp" }) {
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
        else if (entry.family == kit::InterfaceEntry::kFamilyIPv6)
            record.emplace("ipv6Addr", entry.addressText()); // the first one stays
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
        bool hasAddress = record["ipAddr"].isString() || record["ipv6Addr"].isString();
        std::string icon;
        if (kind == kit::InterfaceKind::Wireless)
            icon = "networkIconWi-Fi";
        else if (name == "pdp_ip0" || kind == kit::InterfaceKind::Cellular)
            icon = "networkIconCellular";
        else if (!hasAddress)
            continue;
        else if (kind == kit::InterfaceKind::Bluetooth)
            icon = "networkIconBluetooth";
        else if (kind == kit::InterfaceKind::Vpn)
            icon = "networkIconVPN";
        else
            icon = "networkIconEthernet";

        kit::Dict section { { std::string(kHeaderKey), icon }, { std::string(kInterfaceNameKey), name } };
        std::int64_t in = record["inBytes"].longLongValue();
        std::int64_t out = record["outBytes"].longLongValue();
        if (in > 0 || out >= 1) {
            section.emplace(kValueDownloadKey, SharedTools::bytesRepresentation(static_cast<std::uint64_t>(in)));
            section.emplace(kValueUploadKey, SharedTools::bytesRepresentation(static_cast<std::uint64_t>(out)));
        }
        kit::Array rows;
        auto addRow = [&rows](std::string_view label, kit::Value value) {
            rows.emplace_back(kit::Dict { { std::string(kRowFirstItemKey), std::string(label) },
                { std::string(kRowSecondItemKey), std::move(value) } });
        };
        if (record["ipAddr"].isString())
            addRow("IP address", record["ipAddr"]);
        if (record["ipv6Addr"].isString())
            addRow("IPv6 address", record["ipv6Addr"]);
        if (systemVersion < 7.0 && !name.starts_with("pdp") && record["macAddr"].isString())
            addRow("MAC address", record["macAddr"]);
        if (record["inRate"].isNumber() && record["outRate"].isNumber())
            addRow("Now", InterfaceRates::rateText(record["inRate"].doubleValue(), record["outRate"].doubleValue()));
        section.emplace(kRowsKey, std::move(rows));
        model.emplace_back(std::move(section));
    }
    return model;
}

std::string_view UsageController::interfaceKindName(kit::InterfaceKind kind)
{
    switch (kind) {
    case kit::InterfaceKind::Wired:
        return "wired";
    case kit::InterfaceKind::Wireless:
        return "wireless";
    case kit::InterfaceKind::Cellular:
        return "cellular";
    case kit::InterfaceKind::Bluetooth:
        return "bluetooth";
    case kit::InterfaceKind::Loopback:
        return "loopback";
    case kit::InterfaceKind::Virtual:
        return "virtual";
    case kit::InterfaceKind::Vpn:
        return "vpn";
    }
    return "wired";
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
    m_diskChartBarShadowImageView = panelImageView(metrics, "barShadow" + suffix);
    m_diskChartBarBlueImageView = panelImageView(metrics, "barBlue" + suffix);
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
    m_memChartBarShadowImageView = panelImageView(metrics, "barShadow" + suffix);
    m_memChartBarGreenImageView = panelImageView(metrics, "barGreen" + suffix);
    m_memChartBarBlueImageView = panelImageView(metrics, "barBlue" + suffix);
    m_memChartBarOrangeImageView = panelImageView(metrics, "barOrange" + suffix);
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
    auto mark = panelImageView(metrics, markImage);
    mark->setCenter(metrics.markCenter(column));
    panel.addSubview(mark);

    auto value = panelLabel(metrics.valueFrame(column), SharedTools::fontWithName("HelveticaNeue-Bold", metrics.valueFontSize));
    panel.addSubview(value);
    auto name
        = panelLabel(metrics.nameFrame(column), SharedTools::fontWithName("HelveticaNeue-CondensedBold", metrics.nameFontSize));
    name->setText(localized(textKey));
    name->setIsAccessibilityElement(false); // read with the value (describePanels)
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
    placeShadowAfter(*m_diskChartBarShadowImageView, *m_diskChartBarBlueImageView);
    m_usedDiskLabel->setText(text(SharedTools::kUsedDiskStrKey));
    m_freeDiskLabel->setText(text(SharedTools::kFreeDiskStrKey));
    m_diskPanelTitleLabel->setText(localized("Capacity") + " " + text(SharedTools::kAllDiskStrKey));

    float orange = std::round(share(SharedTools::kWiredPercentRamKey) - barWidth / 2);
    moveCenterX(*m_memChartBarOrangeImageView, orange);
    float blue = std::round(share(SharedTools::kActivePercentRamKey) + orange);
    moveCenterX(*m_memChartBarBlueImageView, blue);
    float green = std::round(share(SharedTools::kInactivePercentRamKey) + blue);
    moveCenterX(*m_memChartBarGreenImageView, green);
    placeShadowAfter(*m_memChartBarShadowImageView, *m_memChartBarGreenImageView);
    m_wiredRamLabel->setText(text(SharedTools::kWiredRamStrKey));
    m_activeRamLabel->setText(text(SharedTools::kActiveRamStrKey));
    m_inactiveRamLabel->setText(text(SharedTools::kInactiveRamStrKey));
    m_freeRamLabel->setText(text(SharedTools::kFreeRamStrKey));
    m_memPanelTitleLabel->setText(localized("Memory") + " " + text(SharedTools::kAllRamStrKey));
    describePanels(usage);
}

void UsageController::updateInfo()
{
    if (!isViewLoaded())
        return;
    m_bootTimeLabel->setText(SharedTools::bootTimeString());
    fillPanels(kit::Value(usageProvider ? usageProvider() : kit::Dict {}));

    updateAddresses();
    netStats();
    m_rates.update(m_ifaces, kit::RunLoop::main().now());

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
    header->setAccessibilityLabel(AccessibilityText::networkHeader(model[kInterfaceNameKey].string(),
        model[kValueDownloadKey].string(), model[kValueUploadKey].string()));
    header->setAccessibilityTraits(kit::AccessibilityTraitHeader);
    auto icon = imageView(model[kHeaderKey].string());
    header->addSubview(icon);
    // Between the icon and where the totals begin, so a long name is cut short, never drawn over them.
    double nameLeft = icon->frame().maxX() + 4;
    auto name = makeLabel({ nameLeft, pick(6, 3), std::max(0.0, pick(400, 166) - 4 - nameLeft), pick(38, 29) },
        SharedTools::fontWithName("HelveticaNeue-Bold", pick(17, 13)), m_tableTextColor, kit::Color::black().withAlpha(0.6),
        { 0, 1 });
    name->setText(model[kInterfaceNameKey].string());
    header->addSubview(name);
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

// The bars are drawn, and each legend's name stands apart from its value: both are said here.
void UsageController::describePanels(const kit::Value& usage)
{
    for (auto [bar, label] : { std::pair { m_diskChartBarBlueImageView->superview(), AccessibilityText::diskBar(usage) },
             std::pair { m_memChartBarOrangeImageView->superview(), AccessibilityText::memoryBar(usage) } }) {
        bar->setAccessibilityLabel(label);
        bar->setIsAccessibilityElement(true);
        bar->setAccessibilityTraits(kit::AccessibilityTraitImage);
    }
    for (auto [label, nameKey] : { std::pair { m_usedDiskLabel.get(), "Used" }, std::pair { m_freeDiskLabel.get(), "Free" },
             std::pair { m_wiredRamLabel.get(), "Wired" }, std::pair { m_activeRamLabel.get(), "Active" },
             std::pair { m_inactiveRamLabel.get(), "Inactive" }, std::pair { m_freeRamLabel.get(), "Free" } })
        label->setAccessibilityLabel(AccessibilityText::legend(nameKey, label->text()));
}

// SPDX-License-Identifier: MIT
#include "app/battery/BatteryController.h"

#include "app/shell/QNAppDelegate.h"
#include "app/specs/DataKeeper.h"
#include "common/metrics/AccessibilityText.h"
#include "common/metrics/ScreenViews.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/RunLoop.h"
#include "kit/device/Device.h"
#include "kit/ui/Application.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// Ratings beyond any battery's life still make a defined, finite row.
constexpr double kMaxMinutes = 1e12;

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }
double pick(double pad, double phone) { return isPad() ? pad : phone; }

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

const kit::Color kPlateTextColor { 0.43, 0.46, 0.51, 1.0 };
const kit::Color kTableTextColor { 0.86, 0.90, 0.94, 1.0 };

using ScreenViews::imageView;
using ScreenViews::makeLabel;

kit::Size naturalSize(const kit::View* view)
{
    auto* image = dynamic_cast<const kit::ImageView*>(view);
    if (!image || !image->image())
        return {};
    return image->image()->size();
}

} // namespace

BatteryController::BatteryController()
{
    setSpecsData();
    m_dataModel.clear();
    setTitle(localized("Battery"));
}

BatteryController::~BatteryController()
{
    kit::RunLoop::main().cancelPerformRequests(this);
    m_observations.clear();
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_tableView) {
        m_tableView->setDataSource(nullptr);
        m_tableView->setDelegate(nullptr);
    }
}

// ---- Reading the battery -------------------------------------------------------------------

kit::View* BatteryController::findViewForClass(std::string_view className, kit::View* view)
{
    if (!view)
        return nullptr;
    if (view->className() == className)
        return view;
    for (auto& subview : view->subviews()) {
        if (auto* found = findViewForClass(className, subview.get()))
            return found;
    }
    return nullptr;
}

kit::View* BatteryController::findViewInStatusBarForClass(std::string_view className)
{
    for (kit::Window* window : kit::Window::allWindows()) {
        // Only the first status-bar window counts, whatever it holds.
        if (window && window->className() == kStatusBarWindowClassName)
            return findViewForClass(className, window);
    }
    return nullptr;
}

std::int64_t BatteryController::batteryLevel()
{
    kit::View* item = findViewInStatusBarForClass(kBatteryItemClassName);
    if (!item)
        return -1;
    return item->valueForKey(kCapacityKey).longLongValue();
}

std::string BatteryController::getBatteryStatus(int state)
{
    switch (state) {
    case 0:
        return localized("Unknown");
    case 1:
        return localized("Unplugged");
    case 2:
        return localized("Charging");
    case 3:
        return localized("Full");
    default:
        return localized("Error");
    }
}

BatteryController::Charge BatteryController::readCharge()
{
    kit::Device::setBatteryMonitoringEnabled(true);
    Charge charge;
    std::int64_t percent = batteryLevel();
    float deviceLevel = -1.0f;
    if (percent >= 0) {
        charge.level = static_cast<double>(percent) / 100.0;
    } else {
        deviceLevel = kit::Device::batteryLevel();
        charge.level = static_cast<double>(std::max(deviceLevel, 0.0f));
    }
    charge.level = std::clamp(charge.level, 0.0, 1.0);
    charge.state = kit::Device::batteryState();
    charge.hasBattery = percent >= 0 || deviceLevel >= 0.0f;
    // A desktop has no battery at all; "Unknown" would suggest a reading went wrong.
    charge.stateText = charge.hasBattery ? getBatteryStatus(charge.state) : localized("NoBattery");
    kit::Device::setBatteryMonitoringEnabled(false);
    return charge;
}

// ---- The arithmetic of a refresh -------------------------------------------------------------

std::int64_t BatteryController::timeScaleForBatteryLife(const kit::Value& batteryLife)
{
    std::int64_t largest = 0;
    if (auto* ratings = batteryLife.asDict(); ratings && !ratings->empty()) {
        largest = std::numeric_limits<std::int32_t>::min();
        for (auto& [name, hours] : *ratings)
            largest = std::max<std::int64_t>(largest, hours.intValue());
    }
    return largest > 0 ? largest : kDefaultTimeScale;
}

double BatteryController::estimateFraction(double level) { return level > kFullEstimateThreshold ? level : level * 0.9; }

std::int64_t BatteryController::remainingMinutes(const kit::Value& hours, double estimate)
{
    float rated = hours.floatValue();
    if (!std::isfinite(rated) || rated < 0)
        rated = 0;
    // The rated minutes in single precision, then widened: the figures the screen has always shown.
    float ratedMinutes = rated * 60.0f;
    double minutes = estimate * static_cast<double>(ratedMinutes);
    if (!(minutes > 0))
        return 0;
    return static_cast<std::int64_t>(std::min(minutes, kMaxMinutes));
}

kit::Array BatteryController::makeRows(const kit::Value& batteryLife, double estimate)
{
    kit::Array rows;
    if (auto* ratings = batteryLife.asDict()) {
        for (auto& [name, hours] : *ratings) {
            rows.push_back(kit::Dict { { std::string(kRowFirstItemKey), name },
                { std::string(kRowSecondItemKey), remainingMinutes(hours, estimate) } });
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const kit::Value& a, const kit::Value& b) {
        return a[kRowSecondItemKey].longLongValue() > b[kRowSecondItemKey].longLongValue();
    });
    return rows;
}

std::string BatteryController::timeText(std::int64_t minutes)
{
    minutes = std::max<std::int64_t>(minutes, 0);
    long hours = static_cast<long>(minutes / 60);
    long rest = static_cast<long>(minutes - 60 * hours);
    char text[48];
    std::snprintf(text, sizeof text, "%s%ld:%s%ld", minutes < 600 ? "0" : "", hours, rest < 10 ? "0" : "", rest);
    return text;
}

kit::Color BatteryController::levelColor(double level)
{
    double l = std::clamp(level, 0.0, 1.0);
    return { 1 - l * l, 2 * l - l * l, 0, 1 };
}

std::string BatteryController::levelText(double level, bool hasBattery)
{
    if (!hasBattery)
        return "\u2013";
    char text[16];
    std::snprintf(text, sizeof text, "%.0f%%", std::clamp(level, 0.0, 1.0) * 100);
    return text;
}

double BatteryController::timeBarWidth(std::int64_t minutes, double trackWidth, double capWidth, std::int64_t timeScale)
{
    double usable = trackWidth - 2 * capWidth - 3;
    if (!(usable > 0))
        return 0;
    if (timeScale <= 0)
        timeScale = kDefaultTimeScale;
    double width = static_cast<double>(minutes) * usable / static_cast<double>(timeScale * 60);
    // A rating with a fraction above the scale (10.5 hours on a scale of 10) would run past the track.
    return std::clamp(width, 0.0, usable);
}

double BatteryController::layoutScale(double viewWidth, bool pad) { return pad ? 1.0 : viewWidth / 320.0; }

std::string BatteryController::imageSuffix(double viewWidth) { return viewWidth == 375 ? "-667h" : ""; }

// ---- Data and refresh ------------------------------------------------------------------------

void BatteryController::setSpecsData()
{
    kit::Value model = DataKeeper::specsForModel(DataKeeper::thisModelKey());
    const kit::Value& entry = model[kBatteryLifeKey];
    m_batteryLife = entry.isDict() ? entry : kit::Value();
    m_maxHoursTimeScale = timeScaleForBatteryLife(m_batteryLife);
}

void BatteryController::updateInfo()
{
    Charge charge = readCharge();
    applyCharge(charge);

    // Without a battery the table shows what a full charge is rated for.
    double estimate = charge.hasBattery ? estimateFraction(charge.level) : 1.0;
    kit::Value section = kit::Dict { { std::string(kRowsKey), makeRows(m_batteryLife, estimate) } };
    if (m_dataModel.empty())
        m_dataModel.push_back(std::move(section));
    else
        m_dataModel[0] = std::move(section);

    m_hasBattery = charge.hasBattery;
    updateLegends();
    if (m_tableView)
        m_tableView->reloadData();
}

void BatteryController::applyCharge(const Charge& charge)
{
    if (!m_levelView)
        return;
    double level = charge.hasBattery ? charge.level : 0.0;
    m_levelView->setBackgroundColor(levelColor(level));
    kit::Rect frame = m_levelRect;
    frame.size.width = m_levelRect.width() * level;
    m_levelView->setFrame(frame);
    m_levelLabel->setText(levelText(level, charge.hasBattery));
    m_levelLabel->setAccessibilityLabel(
        AccessibilityText::fillIn(localized("AccessibilityBatteryLevel"), { m_levelLabel->text() }));
    m_statusLabel->setText(charge.stateText);
}

void BatteryController::updateLegends()
{
    if (m_legendLabel)
        m_legendLabel->setText(localized(m_hasBattery ? "BatteryTableHeaderLegend" : "BatteryTableHeaderLegendRated"));
    if (m_timeScaleLabel) {
        // The scale the bars are drawn on: a new data set's scale shows with its first rows.
        char number[24];
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(m_maxHoursTimeScale));
        m_timeScaleLabel->setText(localized("TimeScaleLegend") + ": " + number);
    }
}

// ---- Screen ----------------------------------------------------------------------------------

void BatteryController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();

    auto& center = kit::NotificationCenter::defaultCenter();
    auto refresh = [this](const kit::Notification&) { updateInfo(); };
    m_observations.push_back(center.addObserver(kit::kApplicationDidBecomeActiveNotification, nullptr, this, refresh));
    m_observations.push_back(center.addObserver(QNAppDelegate::kRefreshNotification, nullptr, this, refresh));
    m_observations.push_back(center.addObserver(DKNewDataIsAvailableNotification, nullptr, this,
        [this](const kit::Notification&) { setSpecsData(); }));

    buildTable();
    buildTableHeader();
    buildTimeScaleStrip();
    buildPlate();
}

void BatteryController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    updateInfo();
}

namespace {

struct TableGeometry {
    double top;
    double width;
};

TableGeometry tableGeometry(double viewWidth)
{
    double scale = BatteryController::layoutScale(viewWidth, isPad());
    return { pick(392, 172 * scale), pick(668, viewWidth) };
}

} // namespace

void BatteryController::buildTable()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    double height = root.bounds().height();
    auto [top, tableWidth] = tableGeometry(width);
    bool pad = isPad();

    m_tableView
        = kit::TableView::create({ (width - tableWidth) / 2, top, tableWidth, std::max(0.0, height - top - pick(94, 48)) });
    m_tableView->setRowHeight(pick(90, 46));
    m_tableView->setBackgroundColor(kit::Color::clear());
    m_tableView->setSeparatorStyle(kit::TableViewCellSeparatorStyle::None);
    m_tableView->setContentInset({ 6, 0, pick(32, 62), 0 });
    m_tableView->setShowsVerticalScrollIndicator(!pad);
    m_tableView->setAutoresizingMask(kit::FlexibleLeftMargin | kit::FlexibleRightMargin | kit::FlexibleHeight);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    root.addSubview(m_tableView);
}

void BatteryController::buildTableHeader()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    double scale = layoutScale(width, isPad());
    double top = tableGeometry(width).top;

    auto header = imageView("batteryTableHeader");
    header->setFrame({ 0, top - pick(56, 28 * scale), width, naturalSize(header.get()).height });
    header->setAutoresizingMask(kit::FlexibleWidth);

    m_legendLabel
        = makeLabel({ 0, pick(34, 12), width, pick(30, 20) }, SharedTools::fontWithName("HelveticaNeue-Bold", pick(16, 12)),
            kit::Color::white(1, 0.65), kit::Color::black().withAlpha(0.6), { 0, -1 });
    m_legendLabel->setTextAlignment(kit::TextAlignment::Center);
    m_legendLabel->setAutoresizingMask(kit::FlexibleWidth);
    m_legendLabel->setText(localized("BatteryTableHeaderLegend"));
    header->addSubview(m_legendLabel);
    root.addSubview(header);
}

void BatteryController::buildTimeScaleStrip()
{
    kit::View& root = *view();
    double width = root.bounds().width();

    auto strip = imageView("batteryTimescaleBg");
    double stripHeight = naturalSize(strip.get()).height;
    strip->setFrame({ 0, root.bounds().height() - stripHeight - pick(50, 44), width, stripHeight });
    strip->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleTopMargin);

    double labelHeight = pick(24, 14);
    m_timeScaleLabel = makeLabel({ 0, stripHeight - labelHeight - 12, width, labelHeight },
        SharedTools::fontWithName("HelveticaNeue", pick(16, 13)), kit::Color::white(0.9, 1.0), kit::Color::black().withAlpha(0.7),
        { 0, -1 });
    m_timeScaleLabel->setTextAlignment(kit::TextAlignment::Center);
    m_timeScaleLabel->setAutoresizingMask(kit::FlexibleWidth);
    strip->addSubview(m_timeScaleLabel);
    root.addSubview(strip);
    updateLegends();
}

void BatteryController::buildPlate()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    bool pad = isPad();
    double scale = layoutScale(width, pad);
    std::string suffix = imageSuffix(width);

    m_plateView = imageView("batteryPlate" + suffix);
    kit::Size plateSize = naturalSize(m_plateView.get());
    // The phone artwork is drawn for 320 and 375 points; other phone widths stretch it.
    bool stretched = !pad && suffix.empty() && scale != 1.0;
    if (stretched)
        plateSize = { plateSize.width * scale, plateSize.height * scale };
    m_plateView->setFrame({ 0, 0, plateSize.width, plateSize.height });
    m_plateView->setCenter({ root.bounds().midX(), plateSize.height / 2 + pick(52, 32 * scale) });
    m_plateView->setAutoresizingMask(kit::FlexibleLeftMargin | kit::FlexibleRightMargin);

    m_levelRect = { pick(144, 32 * scale), pick(65, 17 * scale), pick(310, 150 * scale), pick(152, 80 * scale) };
    m_levelView = kit::View::create();
    m_levelView->setFrame(m_levelRect);
    m_levelView->setCornerRadius(pick(10, 4));
    m_plateView->addSubview(m_levelView);

    auto plateTop = imageView("batteryPlateTop" + suffix);
    if (stretched) {
        kit::Size topSize = naturalSize(plateTop.get());
        plateTop->setFrame({ 0, 0, topSize.width * scale, topSize.height * scale });
    }
    m_plateView->addSubview(plateTop);

    auto plateLabel = [&](const kit::Rect& frame, double fontSize) {
        auto label = makeLabel(frame, SharedTools::fontWithName("HelveticaNeue", fontSize), kPlateTextColor, kit::Color::white(),
            { 0, 1 });
        label->setTextAlignment(kit::TextAlignment::Center);
        m_plateView->addSubview(label);
        return label;
    };
    double labelX = pick(474, 194 * scale);
    double labelWidth = pick(220, 116 * scale);
    m_levelLabel = plateLabel({ labelX, pick(50, 20 * scale), labelWidth, pick(130, 44) }, pick(82, 42));
    m_statusLabel = plateLabel({ labelX, m_levelLabel->frame().maxY(), labelWidth, pick(36, 20) }, pick(26, 15));

    root.addSubview(m_plateView);
}

// ---- Table -----------------------------------------------------------------------------------

int BatteryController::numberOfSectionsInTableView(kit::TableView&) { return static_cast<int>(m_dataModel.size()); }

int BatteryController::numberOfRowsInSection(kit::TableView&, int section)
{
    if (section < 0 || static_cast<std::size_t>(section) >= m_dataModel.size())
        return 0;
    return static_cast<int>(m_dataModel[static_cast<std::size_t>(section)][kRowsKey].count());
}

std::shared_ptr<kit::TableViewCell> BatteryController::cellForRowAtIndexPath(kit::TableView& tableView, const kit::IndexPath&)
{
    if (auto cell = tableView.dequeueReusableCell(std::string(kCellIdentifier)))
        return cell;
    bool pad = isPad();
    auto cell = kit::TableViewCell::create(kit::TableViewCellStyle::Default, std::string(kCellIdentifier));
    cell->setSelectionStyle(kit::TableViewCellSelectionStyle::None);
    cell->setBackgroundColor(kit::Color::clear());
    if (pad)
        cell->contentView()->addSubview(imageView("specsCellDivider"));
    else
        cell->setBackgroundView(kit::View::create<kit::ImageView>(kit::Image::named("generalCellBg")));

    if (auto* time = cell->textLabel()) {
        time->setFont(SharedTools::fontWithName("HelveticaNeue", pick(48, 24)));
        time->setTextColor(kTableTextColor);
        time->setShadowColor(kit::Color::black().withAlpha(0.6));
        time->setShadowOffset({ 0, 1 });
    }

    auto accessory = kit::View::create();
    accessory->setFrame({ 0, 0, pick(450, 174), pick(52, 43) });
    accessory->setBackgroundColor(kit::Color::clear());
    auto name = makeLabel({ 6, 8, pick(450, 166), pick(23, 17) }, SharedTools::fontWithName("HelveticaNeue", pick(18, 14)),
        kTableTextColor, kit::Color::black().withAlpha(0.6), { 0, -1 });
    name->setTag(kNameLabelTag);
    accessory->addSubview(name);

    auto track = imageView("batteryTimebar");
    kit::Size trackSize = naturalSize(track.get());
    track->setFrame({ 6, pick(30, 24), trackSize.width, trackSize.height });
    auto left = imageView("batteryTimeProgressL");
    left->setFrame({ 1, 1, left->frame().width(), left->frame().height() });
    track->addSubview(left);
    auto middle = imageView("batteryTimeProgress");
    middle->setTag(kTimeProgressTag);
    track->addSubview(middle);
    auto right = imageView("batteryTimeProgressR");
    right->setTag(kTimeProgressRightTag);
    track->addSubview(right);
    accessory->addSubview(track);
    cell->setAccessoryView(accessory);
    return cell;
}

void BatteryController::willDisplayCell(kit::TableView&, kit::TableViewCell& cell, const kit::IndexPath& indexPath)
{
    if (indexPath.section < 0 || static_cast<std::size_t>(indexPath.section) >= m_dataModel.size())
        return;
    const kit::Value& rows = m_dataModel[static_cast<std::size_t>(indexPath.section)][kRowsKey];
    if (indexPath.row < 0 || static_cast<std::size_t>(indexPath.row) >= rows.count())
        return;
    const kit::Value& row = rows.at(static_cast<std::size_t>(indexPath.row));
    const std::string& activity = row[kRowFirstItemKey].string();
    std::int64_t minutes = row[kRowSecondItemKey].longLongValue();

    if (auto* time = cell.textLabel())
        time->setText(timeText(minutes));
    // The activity first, as the eye takes the row in, then its time.
    cell.setAccessibilityLabel(localized(activity) + ", " + timeText(minutes));
    if (auto* image = cell.imageView())
        image->setImage(kit::Image::named(activity));

    kit::View* accessory = cell.accessoryView();
    if (!accessory)
        return;
    if (auto* name = dynamic_cast<kit::Label*>(accessory->viewWithTag(kNameLabelTag)))
        name->setText(localized(activity));
    auto* middle = accessory->viewWithTag(kTimeProgressTag);
    auto* right = accessory->viewWithTag(kTimeProgressRightTag);
    if (!middle || !right || !middle->superview())
        return;
    double capWidth = naturalSize(right).width;
    double trackWidth = middle->superview()->frame().width();
    double width = timeBarWidth(minutes, trackWidth, capWidth, m_maxHoursTimeScale);
    middle->setFrame({ capWidth + 1, 1, width, naturalSize(middle).height });
    kit::Rect bar = middle->frame();
    right->setCenter({ bar.maxX() + capWidth / 2, bar.midY() });
}

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/NotificationCenter.h"
#include "kit/base/Value.h"
#include "kit/ui/Color.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/TableView.h"
#include "kit/ui/ViewController.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kit {
class ImageView;
class Label;
class View;
} // namespace kit

// The Battery tab: a battery plate with the charge as a coloured level bar, its percentage and
// the charging state, and a table of the time the present charge is expected to last for each
// activity that this model's tech specs rate.
class BatteryController : public kit::ViewController, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    static constexpr std::string_view kRowsKey = "kRowsKey";
    static constexpr std::string_view kRowFirstItemKey = "kRowFirstItemKey";
    static constexpr std::string_view kRowSecondItemKey = "kRowSecondItemKey";
    static constexpr std::string_view kBatteryLifeKey = "BatteryLife";
    static constexpr std::string_view kCellIdentifier = "cell";
    static constexpr std::string_view kStatusBarWindowClassName = "UIStatusBarWindow";
    static constexpr std::string_view kBatteryItemClassName = "UIStatusBarBatteryItemView";
    static constexpr std::string_view kCapacityKey = "_capacity";
    // Hours the time bars stand for when the model rates nothing.
    static constexpr std::int64_t kDefaultTimeScale = 24;
    // The device's level arrives in single precision: 0.9 from there must not count as above 0.9.
    static constexpr double kFullEstimateThreshold = static_cast<double>(0.9f);
    // Tags inside a row's accessory view.
    static constexpr int kNameLabelTag = 100;
    static constexpr int kTimeProgressTag = 101;
    static constexpr int kTimeProgressRightTag = 102;

    // One charge reading: the fraction 0…1, the platform state (0 unknown, 1 unplugged,
    // 2 charging, 3 full), its localised text, and whether this machine has a battery at all.
    struct Charge {
        double level = 0;
        int state = 0;
        std::string stateText;
        bool hasBattery = false;
    };

    ~BatteryController() override;

    // The first view of `view`'s subtree (itself included), depth first and in pre-order, whose
    // class name is `className`; null when none is.
    static kit::View* findViewForClass(std::string_view className, kit::View* view);
    // The first match inside the first status-bar window among all windows (internal and
    // invisible ones included, in creation order). Later status-bar windows are not searched.
    static kit::View* findViewInStatusBarForClass(std::string_view className);
    // The status bar's whole battery percentage, or −1 when it shows no battery.
    static std::int64_t batteryLevel();
    // The localised text of a platform battery state; any value outside 0…3 reads "Error".
    static std::string getBatteryStatus(int state);
    // Switches battery monitoring on, takes the status bar's percentage (else the device's own
    // level, unknown reading 0) and the state, and switches monitoring off again. Without any
    // battery the state text says so instead of "Unknown".
    static Charge readCharge();

    // The pieces of a refresh that need no views.
    //
    // Largest whole rating (fractions dropped) of a "BatteryLife" entry; 24 for nothing, an
    // empty entry or no positive rating.
    static std::int64_t timeScaleForBatteryLife(const kit::Value& batteryLife);
    // The share of the rated times that the charge is expected to give: the charge itself above
    // 0.9, nine tenths of it below (a battery's last tenth does not last as long).
    static double estimateFraction(double level);
    // Whole minutes for a rating in hours; hours that are not a number, negative or not finite
    // read as 0.
    static std::int64_t remainingMinutes(const kit::Value& hours, double estimate);
    // One row per rated activity, longest time first.
    static kit::Array makeRows(const kit::Value& batteryLife, double estimate);
    // "05:25", "10:00", "100:05".
    static std::string timeText(std::int64_t minutes);
    // Red at empty, yellow at half, green at full.
    static kit::Color levelColor(double level);
    // "37%"; a dash without a battery.
    static std::string levelText(double level, bool hasBattery);
    // The stretched middle piece of a time bar in a track of `trackWidth` with caps `capWidth`
    // wide, never longer than the track leaves room for.
    static double timeBarWidth(std::int64_t minutes, double trackWidth, double capWidth, std::int64_t timeScale);
    // 1 on a tablet, the view's width ÷ 320 on a phone.
    static double layoutScale(double viewWidth, bool pad);
    // "-667h" for a view exactly 375 points wide.
    static std::string imageSuffix(double viewWidth);

    // Reloads the ratings and the time scale from the data set; shown at the next refresh.
    void setSpecsData();
    // One refresh: the charge, the level bar and labels, and the table.
    void updateInfo();

    // Object
    std::string className() const override { return "BatteryController"; }

    // ViewController
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    void willDisplayCell(kit::TableView&, kit::TableViewCell&, const kit::IndexPath&) override;

    const kit::Array& dataModel() const { return m_dataModel; }
    const kit::Value& batteryLife() const { return m_batteryLife; }
    std::int64_t maxHoursTimeScale() const { return m_maxHoursTimeScale; }
    kit::Rect levelRect() const { return m_levelRect; }
    bool hasBattery() const { return m_hasBattery; }
    kit::TableView* tableView() const { return m_tableView.get(); }
    kit::Label* levelLabel() const { return m_levelLabel.get(); }
    kit::Label* statusLabel() const { return m_statusLabel.get(); }
    kit::View* levelView() const { return m_levelView.get(); }
    kit::Label* timeScaleLabel() const { return m_timeScaleLabel.get(); }
    kit::Label* legendLabel() const { return m_legendLabel.get(); }
    kit::ImageView* plateView() const { return m_plateView.get(); }

protected:
    BatteryController();
    friend class kit::ViewController;

private:
    void buildTable();
    void buildTableHeader();
    void buildTimeScaleStrip();
    void buildPlate();
    void applyCharge(const Charge& charge);
    void updateLegends();

    kit::Array m_dataModel;
    kit::Value m_batteryLife;
    std::int64_t m_maxHoursTimeScale = kDefaultTimeScale;
    kit::Rect m_levelRect;
    bool m_hasBattery = true;

    std::shared_ptr<kit::TableView> m_tableView;
    std::shared_ptr<kit::Label> m_levelLabel;
    std::shared_ptr<kit::Label> m_statusLabel;
    std::shared_ptr<kit::View> m_levelView;
    std::shared_ptr<kit::Label> m_timeScaleLabel;
    std::shared_ptr<kit::Label> m_legendLabel;
    std::shared_ptr<kit::ImageView> m_plateView;

    std::vector<std::unique_ptr<kit::NotificationCenter::Observation>> m_observations;
};

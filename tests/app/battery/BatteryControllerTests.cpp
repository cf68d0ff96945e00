// SPDX-License-Identifier: MIT
#include "app/battery/BatteryController.h"

#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"
#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/PropertyList.h"
#include "kit/device/Device.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Application.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/Window.h"
#include "tests/kit/base/TempFolder.h"
#include "tests/kit/device/CannedTree.h"
#include "tests/support/ScreenTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

// A view whose class name the test chooses.
class NamedView : public kit::View {
public:
    explicit NamedView(std::string name)
        : m_name(std::move(name))
    {
    }
    std::string className() const override { return m_name; }

private:
    std::string m_name;
};

std::shared_ptr<kit::View> named(const char* name) { return kit::View::create<NamedView>(name); }

} // namespace

// ---- Finding the status bar's battery ---------------------------------------------------------

TEST(BatteryViewSearch, DepthFirstPreOrderFindsTheFirstOfTwoMatches)
{
    auto root = named("Root");
    auto branch = named("Branch");
    auto deep = named("Middle");
    auto first = named("Wanted");
    auto second = named("Wanted");
    deep->addSubview(first);
    branch->addSubview(deep);
    root->addSubview(branch);
    root->addSubview(second);

    EXPECT_EQ(BatteryController::findViewForClass("Wanted", root.get()), first.get());
    EXPECT_EQ(BatteryController::findViewForClass("Root", root.get()), root.get());
    EXPECT_EQ(BatteryController::findViewForClass("Middle", root.get()), deep.get());
    EXPECT_EQ(BatteryController::findViewForClass("Missing", root.get()), nullptr);
    EXPECT_EQ(BatteryController::findViewForClass("Wanted", nullptr), nullptr);
}

TEST(BatteryViewSearch, OnlyTheFirstStatusBarWindowIsSearched)
{
    ASSERT_EQ(BatteryController::findViewInStatusBarForClass(BatteryController::kBatteryItemClassName), nullptr);
    EXPECT_EQ(BatteryController::batteryLevel(), -1);

    auto plain = kit::View::create<kit::Window>();
    auto empty = kit::View::create<kit::StatusBarWindow>();
    empty->setBattery(std::nullopt);
    auto full = kit::View::create<kit::StatusBarWindow>();
    full->setBattery(37, true);
    // A battery item nested inside an ordinary window is not the status bar's.
    auto decoy = kit::View::create<kit::StatusBarBatteryItemView>();
    decoy->setCapacity(80);
    plain->addSubview(decoy);

    // The first status-bar window has no battery: the walk ends there.
    EXPECT_EQ(BatteryController::findViewInStatusBarForClass(BatteryController::kBatteryItemClassName), nullptr);
    EXPECT_EQ(BatteryController::batteryLevel(), -1);

    empty.reset();
    EXPECT_EQ(BatteryController::findViewInStatusBarForClass(BatteryController::kBatteryItemClassName), full->batteryItem());
    EXPECT_EQ(BatteryController::batteryLevel(), 37);
}

TEST(BatteryStatus, StatesOutsideTheTableReadError)
{
    EXPECT_EQ(BatteryController::getBatteryStatus(0), localized("Unknown"));
    EXPECT_EQ(BatteryController::getBatteryStatus(1), localized("Unplugged"));
    EXPECT_EQ(BatteryController::getBatteryStatus(2), localized("Charging"));
    EXPECT_EQ(BatteryController::getBatteryStatus(3), localized("Full"));
    EXPECT_EQ(BatteryController::getBatteryStatus(7), localized("Error"));
    EXPECT_EQ(BatteryController::getBatteryStatus(-1), localized("Error"));
    EXPECT_NE(localized("Full"), localized("Error"));
    EXPECT_NE(localized("NoBattery"), "NoBattery");
}

// ---- Arithmetic ---------------------------------------------------------------------------------

TEST(BatteryArithmetic, TimeTextPadsHoursBelowTenAndMinutesBelowTen)
{
    EXPECT_EQ(BatteryController::timeText(325), "05:25");
    EXPECT_EQ(BatteryController::timeText(600), "10:00");
    EXPECT_EQ(BatteryController::timeText(6005), "100:05");
    EXPECT_EQ(BatteryController::timeText(599), "09:59");
    EXPECT_EQ(BatteryController::timeText(9), "00:09");
    EXPECT_EQ(BatteryController::timeText(0), "00:00");
    EXPECT_EQ(BatteryController::timeText(-5), "00:00");
}

TEST(BatteryArithmetic, RatingsAreReadOnceAsFloatAndOnceAsWholeHours)
{
    kit::Value ratings = kit::Dict { { "A", 10.5 }, { "B", "10" }, { "C", kit::Dict {} }, { "D", -3 } };
    EXPECT_EQ(BatteryController::timeScaleForBatteryLife(ratings), 10);
    EXPECT_EQ(BatteryController::timeScaleForBatteryLife(kit::Value()), 24);
    EXPECT_EQ(BatteryController::timeScaleForBatteryLife(kit::Dict {}), 24);
    EXPECT_EQ(BatteryController::timeScaleForBatteryLife(kit::Dict { { "A", 0.5 }, { "B", -2 } }), 24);

    EXPECT_EQ(BatteryController::remainingMinutes(10.5, 1.0), 630);
    EXPECT_EQ(BatteryController::remainingMinutes("7.5 hours", 1.0), 450);
    EXPECT_EQ(BatteryController::remainingMinutes(kit::Dict {}, 1.0), 0);
    EXPECT_EQ(BatteryController::remainingMinutes(-3, 1.0), 0);
    EXPECT_EQ(BatteryController::remainingMinutes(1e30, 1.0), 1000000000000);
    EXPECT_EQ(BatteryController::remainingMinutes(std::numeric_limits<double>::quiet_NaN(), 1.0), 0);
}

// ---- The screen ----------------------------------------------------------------------------------

namespace {

constexpr const char* kModel = "Test1,1";

// A small data set for one model, this machine's power supplies under a canned root, and a
// headless host whose status bar reads them.
class BatteryScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("HOME", data.path().c_str(), 1);
        setenv("XDG_DATA_HOME", (data / "xdg-data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (data / "xdg-config").c_str(), 1);
        DataKeeper::setBundleSpecsPathForTesting(data / "bundle/specs.plist");
        DataKeeper::setApplicationSupportDirectoryForTesting(data / "support");
        DataKeeper::setModelIdentifierForTesting(std::string(kModel));
        useRatings(kit::Dict { { "Audio Playback", 40 }, { "Talk over 3G", 8 } });
        kit::Device::setRoot(tree.root());
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-5s"));
    }

    void TearDown() override
    {
        screen.reset();
        host.reset();
        DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
        DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
        DataKeeper::setModelIdentifierForTesting(std::nullopt);
        DataKeeper::resetForTesting();
        kit::Device::setRoot("/");
        kit::Device::setBatteryMonitoringEnabled(false);
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }

    static void writePlist(const std::string& path, const kit::Value& value)
    {
        auto bytes = kit::PropertyList::write(value);
        ASSERT_TRUE(bytes.ok());
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(path, *bytes, std::nullopt).ok());
    }

    // The model's whole entry; a null entry leaves "BatteryLife" out.
    void useRatings(const kit::Value& batteryLife)
    {
        kit::Dict entry { { "Name", "Test Phone" } };
        if (!batteryLife.isNull())
            entry.emplace("BatteryLife", batteryLife);
        kit::Value dataSet = kit::Dict { { kModel, std::move(entry) } };
        writePlist(data / "bundle/specs.plist", dataSet);
        writePlist(data / "support/specs.plist", dataSet);
        DataKeeper::resetForTesting();
    }

    // One battery, BAT0, as the kernel describes it.
    void battery(int percent, const char* status = "Discharging")
    {
        tree.write("/sys/class/power_supply/BAT0/type", "Battery\n");
        tree.write("/sys/class/power_supply/BAT0/status", std::string(status) + "\n");
        tree.write("/sys/class/power_supply/BAT0/capacity", std::to_string(percent) + "\n");
        tree.write("/sys/class/power_supply/BAT0/energy_full", "50000000\n");
        tree.write("/sys/class/power_supply/BAT0/energy_now", std::to_string(percent * 500000) + "\n");
        if (host)
            host->core().refreshStatusBar();
    }

    void startHost(bool statusBar = true)
    {
        kit::HostOptions options;
        options.deviceRoot = tree.root();
        options.statusBar = statusBar;
        host = std::make_unique<kit::HeadlessHost>(options);
    }

    // The screen at the profile's size below the status bar, shown in the host.
    BatteryController& showScreen()
    {
        if (!host)
            startHost();
        screen = kit::ViewController::create<BatteryController>();
        kit::ScreenSize size = kit::Device::screenSize();
        kit::test::loadScreen(*screen, { size.width, size.height - kit::kStatusBarHeight });
        sectionsBeforeAppearing = screen->dataModel().size();
        host->show(screen->viewPtr());
        return *screen;
    }

    struct Row {
        std::string name;
        std::int64_t minutes = 0;
    };
    std::vector<Row> rows() const
    {
        std::vector<Row> result;
        if (screen->dataModel().empty())
            return result;
        const kit::Value& list = screen->dataModel()[0][BatteryController::kRowsKey];
        for (std::size_t i = 0; i < list.count(); ++i) {
            const kit::Value& row = list.at(i);
            result.push_back(
                { row[BatteryController::kRowFirstItemKey].string(), row[BatteryController::kRowSecondItemKey].longLongValue() });
        }
        return result;
    }

    // What a displayed row shows: its time text, its name, and its time bar in its track.
    struct Shown {
        std::string time;
        std::string name;
        double bar = 0;
        double usable = 0;
        double rightCapMinX = 0;
        double rightCapMaxX = 0;
        double track = 0;
        bool hasIcon = false;
    };
    Shown shown(int row)
    {
        screen->view()->layoutIfNeeded();
        screen->tableView()->layoutIfNeeded();
        Shown result;
        auto* cell = screen->tableView()->cellForRowAtIndexPath(kit::IndexPath::forRow(row, 0));
        if (!cell)
            return result;
        result.time = cell->textLabel()->text();
        result.hasIcon = cell->imageView()->image() != nullptr;
        kit::View* accessory = cell->accessoryView();
        if (auto* name = dynamic_cast<kit::Label*>(accessory->viewWithTag(BatteryController::kNameLabelTag)))
            result.name = name->text();
        kit::View* middle = accessory->viewWithTag(BatteryController::kTimeProgressTag);
        kit::View* right = accessory->viewWithTag(BatteryController::kTimeProgressRightTag);
        result.bar = middle->frame().width();
        result.track = middle->superview()->frame().width();
        result.usable = result.track - 2 * right->frame().width() - 3;
        result.rightCapMinX = right->frame().minX();
        result.rightCapMaxX = right->frame().maxX();
        EXPECT_DOUBLE_EQ(middle->frame().minX(), right->frame().width() + 1);
        return result;
    }

    kit::testing::TempFolder data;
    kit::test::CannedTree tree;
    std::unique_ptr<kit::HeadlessHost> host;
    std::shared_ptr<BatteryController> screen;
    std::size_t sectionsBeforeAppearing = 0;
};

} // namespace

TEST_F(BatteryScreenTest, FullChargeListsLongestFirstOnTheLongestRating)
{
    battery(100, "Full");
    auto& battery = showScreen();
    // Built without sections; appearing refreshes.
    EXPECT_EQ(sectionsBeforeAppearing, 0u);
    EXPECT_EQ(battery.numberOfSectionsInTableView(*battery.tableView()), 1);

    auto list = rows();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "Audio Playback");
    EXPECT_EQ(list[0].minutes, 2400);
    EXPECT_EQ(list[1].name, "Talk over 3G");
    EXPECT_EQ(list[1].minutes, 480);
    EXPECT_EQ(battery.maxHoursTimeScale(), 40);
    EXPECT_EQ(battery.timeScaleLabel()->text(), localized("TimeScaleLegend") + ": 40");
    EXPECT_EQ(battery.statusLabel()->text(), localized("Full"));
    EXPECT_EQ(battery.legendLabel()->text(), localized("BatteryTableHeaderLegend"));

    Shown audio = shown(0);
    Shown talk = shown(1);
    EXPECT_EQ(audio.time, "40:00");
    EXPECT_EQ(talk.time, "08:00");
    EXPECT_EQ(talk.name, localized("Talk over 3G"));
    EXPECT_TRUE(audio.hasIcon);
    ASSERT_GT(talk.usable, 0);
    EXPECT_DOUBLE_EQ(audio.bar, audio.usable);
    EXPECT_NEAR(talk.bar, talk.usable / 5, 1e-9);
    // The right cap closes the bar.
    EXPECT_DOUBLE_EQ(talk.rightCapMinX, talk.usable / 5 + (talk.track - talk.usable - 3) / 2 + 1);
}

TEST_F(BatteryScreenTest, BelowNinetyPercentNineTenthsOfTheChargeCount)
{
    battery(50);
    auto& battery = showScreen();
    EXPECT_EQ(shown(0).time, "18:00");
    EXPECT_EQ(shown(1).time, "03:36");
    EXPECT_EQ(battery.statusLabel()->text(), localized("Unplugged"));

    for (auto [percent, minutes] : { std::pair { 90, 2160 }, std::pair { 89, 1922 } }) {
        this->battery(percent);
        battery.updateInfo();
        // 0.90 × 2400, and 0.801 × 2400 = 1922.4.
        EXPECT_EQ(rows()[0].minutes, minutes) << percent;
    }
}

TEST_F(BatteryScreenTest, DeviceLevelOfPointNineStaysBelowTheThreshold)
{
    // Without a status bar the device's own single-precision level is read.
    battery(90);
    startHost(false);
    auto& battery = showScreen();
    auto charge = BatteryController::readCharge();
    EXPECT_EQ(charge.level, 0.8999999761581421);
    EXPECT_FALSE(kit::Device::isBatteryMonitoringEnabled());
    battery.updateInfo();
    // 0.8999999761581421 × 0.9 × 2400 = 1943.99995: not the 1944 of a status-bar reading.
    EXPECT_EQ(rows()[0].minutes, 1943);
    EXPECT_EQ(battery.levelLabel()->text(), "90%");
}

TEST_F(BatteryScreenTest, MissingOrEmptyRatingsGiveNoRowsAndTheDayScale)
{
    battery(60);
    useRatings(kit::Value());
    auto& battery = showScreen();
    battery.updateInfo();
    EXPECT_EQ(battery.numberOfSectionsInTableView(*battery.tableView()), 1);
    EXPECT_EQ(battery.numberOfRowsInSection(*battery.tableView(), 0), 0);
    EXPECT_EQ(battery.maxHoursTimeScale(), 24);
    EXPECT_EQ(battery.timeScaleLabel()->text(), localized("TimeScaleLegend") + ": 24");

    useRatings(kit::Dict {});
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, nullptr);
    battery.updateInfo();
    EXPECT_EQ(battery.numberOfRowsInSection(*battery.tableView(), 0), 0);
    EXPECT_EQ(battery.maxHoursTimeScale(), 24);
}

TEST_F(BatteryScreenTest, LevelBarTakesItsColourAndWidthFromTheCharge)
{
    auto& battery = showScreen();
    kit::Rect full = battery.levelRect();
    EXPECT_EQ(full, (kit::Rect { 32, 17, 150, 80 }));
    for (auto [percent, colour, text] : { std::tuple { 0, kit::Color { 1, 0, 0, 1 }, "0%" },
             std::tuple { 50, kit::Color { 0.75, 0.75, 0, 1 }, "50%" }, std::tuple { 100, kit::Color { 0, 1, 0, 1 }, "100%" } }) {
        this->battery(percent);
        battery.updateInfo();
        EXPECT_EQ(battery.levelView()->backgroundColor(), colour) << percent;
        EXPECT_EQ(battery.levelLabel()->text(), text);
        EXPECT_DOUBLE_EQ(battery.levelView()->frame().width(), full.width() * percent / 100);
        EXPECT_DOUBLE_EQ(battery.levelView()->frame().height(), full.height());
        EXPECT_DOUBLE_EQ(battery.levelView()->frame().minX(), full.x());
    }
}

TEST_F(BatteryScreenTest, RefreshesReplaceTheOneSection)
{
    battery(100);
    auto& battery = showScreen();
    auto& center = kit::NotificationCenter::defaultCenter();
    center.post(QNAppDelegate::kRefreshNotification, nullptr);
    EXPECT_EQ(battery.dataModel().size(), 1u);
    this->battery(50);
    center.post(kit::kApplicationDidBecomeActiveNotification, nullptr);
    center.post(QNAppDelegate::kRefreshNotification, nullptr);
    ASSERT_EQ(battery.dataModel().size(), 1u);
    EXPECT_EQ(battery.numberOfSectionsInTableView(*battery.tableView()), 1);
    // The tick did refresh: the rows follow the new charge.
    EXPECT_EQ(rows()[0].minutes, 1080);
}

TEST_F(BatteryScreenTest, NewDataSetShowsAtTheNextRefreshNotBefore)
{
    battery(100);
    auto& battery = showScreen();
    battery.updateInfo();
    ASSERT_EQ(rows().size(), 2u);

    // A refresh from the server stores a new working copy and tells the screens.
    kit::Value dataSet = kit::Dict { { kModel, kit::Dict { { "BatteryLife", kit::Dict { { "Video Playback", 12 } } } } } };
    writePlist(data / "support/specs.plist", dataSet);
    DataKeeper::sharedKeeper().dropCachedData();
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, &DataKeeper::sharedKeeper());

    EXPECT_EQ(battery.maxHoursTimeScale(), 12);
    ASSERT_EQ(rows().size(), 2u);
    EXPECT_EQ(rows()[0].name, "Audio Playback");
    EXPECT_EQ(shown(0).time, "40:00");

    kit::NotificationCenter::defaultCenter().post(QNAppDelegate::kRefreshNotification, nullptr);
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0].name, "Video Playback");
    EXPECT_EQ(shown(0).time, "12:00");
    EXPECT_EQ(battery.timeScaleLabel()->text(), localized("TimeScaleLegend") + ": 12");
}

TEST_F(BatteryScreenTest, FractionalRatingAboveTheScaleStaysInsideItsTrack)
{
    battery(100);
    useRatings(kit::Dict { { "Video Playback", 10.5 }, { "Audio Playback", 10 } });
    auto& battery = showScreen();
    battery.updateInfo();
    EXPECT_EQ(battery.maxHoursTimeScale(), 10);
    Shown video = shown(0);
    EXPECT_EQ(video.time, "10:30");
    EXPECT_DOUBLE_EQ(video.bar, video.usable);
    EXPECT_LE(video.rightCapMaxX, video.track);
    EXPECT_DOUBLE_EQ(shown(1).bar, video.usable);
}

TEST_F(BatteryScreenTest, MachineWithoutBatteryShowsTheRatedTimesAtFullCharge)
{
    auto& battery = showScreen();
    battery.updateInfo();
    EXPECT_EQ(battery.statusLabel()->text(), localized("NoBattery"));
    EXPECT_EQ(battery.levelLabel()->text(), "\u2013");
    EXPECT_DOUBLE_EQ(battery.levelView()->frame().width(), 0);
    EXPECT_EQ(battery.legendLabel()->text(), localized("BatteryTableHeaderLegendRated"));
    EXPECT_EQ(shown(0).time, "40:00");
    EXPECT_EQ(shown(1).time, "08:00");

    // A battery that appears is read at the next refresh, with the present-charge legend.
    this->battery(50);
    battery.updateInfo();
    EXPECT_EQ(battery.legendLabel()->text(), localized("BatteryTableHeaderLegend"));
    EXPECT_EQ(shown(0).time, "18:00");
}

TEST_F(BatteryScreenTest, NonNumericRatingReadsZero)
{
    battery(100);
    useRatings(kit::Dict { { "Talk over 2G", "n/a" }, { "Audio Playback", "12" } });
    auto& battery = showScreen();
    battery.updateInfo();
    EXPECT_EQ(battery.maxHoursTimeScale(), 12);
    EXPECT_EQ(shown(0).time, "12:00");
    Shown talk = shown(1);
    EXPECT_EQ(talk.time, "00:00");
    EXPECT_DOUBLE_EQ(talk.bar, 0);
}

TEST_F(BatteryScreenTest, ObserversGoWithTheScreen)
{
    auto& center = kit::NotificationCenter::defaultCenter();
    std::size_t before = center.observerCount();
    showScreen();
    EXPECT_EQ(center.observerCount(), before + 3);
    screen.reset();
    EXPECT_EQ(center.observerCount(), before);
    center.post(QNAppDelegate::kRefreshNotification, nullptr);
    center.post(DKNewDataIsAvailableNotification, nullptr);
}

TEST_F(BatteryScreenTest, PhoneLayoutScalesWithWidthAndTabletLayoutIsFixed)
{
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-6"));
    auto& phone = showScreen();
    double s = 375.0 / 320;
    EXPECT_DOUBLE_EQ(phone.tableView()->frame().minY(), 172 * s);
    EXPECT_DOUBLE_EQ(phone.tableView()->frame().height(), 647 - 172 * s - 48);
    EXPECT_DOUBLE_EQ(phone.tableView()->rowHeight(), 46);
    EXPECT_EQ(phone.levelRect(), (kit::Rect { 32 * s, 17 * s, 150 * s, 80 * s }));
    EXPECT_DOUBLE_EQ(phone.plateView()->frame().minY(), 32 * s);
    EXPECT_DOUBLE_EQ(phone.plateView()->center().x, 187.5);
    // The 375-point phone has its own plate.
    EXPECT_EQ(phone.plateView()->image()->size(), kit::Image::named("batteryPlate-667h")->size());
    EXPECT_DOUBLE_EQ(phone.levelLabel()->frame().minX(), 194 * s);
    EXPECT_DOUBLE_EQ(phone.statusLabel()->frame().minY(), phone.levelLabel()->frame().maxY());

    screen.reset();
    host.reset();
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("ipad-2"));
    auto& pad = showScreen();
    EXPECT_EQ(pad.tableView()->frame(), (kit::Rect { 50, 392, 668, 1004 - 392 - 94 }));
    EXPECT_DOUBLE_EQ(pad.tableView()->rowHeight(), 90);
    EXPECT_EQ(pad.levelRect(), (kit::Rect { 144, 65, 310, 152 }));
    EXPECT_DOUBLE_EQ(pad.plateView()->frame().minY(), 52);
    EXPECT_EQ(pad.statusLabel()->frame(), (kit::Rect { 474, 180, 220, 36 }));
}

TEST_F(BatteryScreenTest, WidePhoneDrawsThePlateScaledWithItsPositions)
{
    // 414 points has no plate of its own: the 320-point plate is drawn at 414 / 320, so the level
    // bar and the labels, placed at 414 / 320 of their 320-point figures, stay on it.
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-6-plus"));
    auto& phone = showScreen();
    double s = 414.0 / 320;
    kit::Size natural = kit::Image::named("batteryPlate")->size();
    EXPECT_NEAR(phone.plateView()->frame().width(), natural.width * s, 1e-9);
    EXPECT_NEAR(phone.plateView()->frame().height(), natural.height * s, 1e-9);
    kit::Rect plate = phone.plateView()->bounds();
    EXPECT_TRUE(plate.contains(phone.levelRect()));
    EXPECT_TRUE(plate.contains(phone.levelLabel()->frame()));
    EXPECT_TRUE(plate.contains(phone.statusLabel()->frame()));
    for (auto& subview : phone.plateView()->subviews()) {
        if (auto* top = dynamic_cast<kit::ImageView*>(subview.get())) {
            EXPECT_EQ(top->frame(), plate) << "the plate's top covers the scaled plate";
        }
    }
}

// ---- In the application's tab bar ---------------------------------------------------------------

namespace {

// The application's window and tab bar over the dark background, without the delegate's
// preferences, data refresh and timers.
class TabsDelegate : public kit::ApplicationDelegate {
public:
    bool didFinishLaunching(kit::Application&, const std::string&) override
    {
        auto size = kit::Device::screenSize();
        window = kit::View::create<kit::Window>();
        window->setFrame({ 0, 0, size.width, size.height });
        main = kit::ViewController::create<MainController>();
        window->setRootViewController(main);
        window->makeKeyAndVisible();
        for (kit::Window* each : kit::Window::allWindows()) {
            if (auto* statusBar = dynamic_cast<kit::StatusBarWindow*>(each))
                statusBar->setLightContent(true);
        }
        return true;
    }

    std::shared_ptr<kit::Window> window;
    std::shared_ptr<MainController> main;
};

} // namespace

TEST_F(BatteryScreenTest, SecondTabShowsACannedBatteryChargingAt37Percent)
{
    auto tabs = MainController::tabs();
    ASSERT_GE(tabs.size(), 2u);
    EXPECT_STREQ(tabs[1].snapshotName, "battery");
    EXPECT_STREQ(tabs[1].imageName, "batteryTabBarIcon");

    battery(37, "Charging");
    // Pictures for looking at: QUARRIN_BATTERY_PNG_DIR keeps them.
    const char* keep = std::getenv("QUARRIN_BATTERY_PNG_DIR");
    std::string folder = keep ? keep : data / "png";
    std::filesystem::create_directories(folder);
    for (const char* device : { "iphone-6", "ipad-2" }) {
        SCOPED_TRACE(device);
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named(device));
        kit::HostOptions options;
        options.deviceRoot = tree.root();
        options.scale = 2;
        kit::HeadlessHost tabHost(options);
        TabsDelegate delegate;
        tabHost.launch(&delegate);
        auto& main = *delegate.main;
        main.setSelectedIndex(1);
        tabHost.advance(0.5);
        auto* battery = dynamic_cast<BatteryController*>(main.selectedViewController());
        ASSERT_NE(battery, nullptr);
        EXPECT_EQ(battery->levelLabel()->text(), "37%");
        EXPECT_EQ(battery->statusLabel()->text(), localized("Charging"));

        std::string path = folder + "/battery-37-charging-" + device + ".png";
        ASSERT_TRUE(tabHost.writePNG(path).ok());
        EXPECT_TRUE(std::filesystem::exists(path));
        // Inside the filled part the bar is orange-yellow; past 37 % the empty battery shows.
        kit::Rect bar = battery->plateView()->convertRectTo(battery->levelRect(), nullptr);
        auto filled = tabHost.pixelAt({ bar.minX() + bar.width() * 0.18, bar.minY() + bar.height() * 0.75 });
        auto empty = tabHost.pixelAt({ bar.minX() + bar.width() * 0.7, bar.minY() + bar.height() * 0.75 });
        ASSERT_TRUE(filled && empty);
        EXPECT_GT(filled->red, 0.6);
        EXPECT_GT(filled->red, filled->green);
        EXPECT_LT(filled->blue, 0.2);
        EXPECT_LT(empty->red, 0.4);
        EXPECT_GE(empty->blue, empty->red);
    }
}

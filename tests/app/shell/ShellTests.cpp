// SPDX-License-Identifier: MIT
#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"

#include "app/compare/CompareController.h"
#include "app/compare/CompareListController.h"
#include "app/specs/DataKeeper.h"
#include "app/techspecs/SpecsController.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/PropertyList.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/NavigationController.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/kit/base/TempFolder.h"
#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { shelltest::isolateShell(home, environment); }
    void TearDown() override
    {
        shelltest::restoreShell();
        kit::Bundle::setMainBundlePath({});
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }

    // A bundle whose version is `version` (the shell reads nothing else from it here).
    void useBundleVersion(const std::string& version)
    {
        std::string folder = home.path() + "/bundle-" + version;
        ASSERT_TRUE(kit::FileManager::createDirectory(folder).ok());
        kit::Value info = kit::Dict { { "CFBundleIdentifier", "com.velmora.quarrin" }, { "CFBundleVersion", version } };
        auto bytes = kit::PropertyList::write(info);
        ASSERT_TRUE(bytes.ok());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(folder + "/Info.plist", *bytes).ok());
        kit::Bundle::setMainBundlePath(folder);
    }

    kit::UserDefaults& defaults() { return kit::UserDefaults::standardUserDefaults(); }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
};

} // namespace

TEST_F(ShellTest, FirstLaunchEverSeedsArmsAndForcesTheRefresh)
{
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    std::string version = kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(defaults().stringForKey("ProgramVersion"), version);
    auto shareDate = defaults().dateForKey("ShareDate");
    ASSERT_TRUE(shareDate);
    EXPECT_NEAR(shareDate->timeIntervalSince(kit::Date::now()), 604800, 60);
    EXPECT_FALSE(defaults().boolForKey("DND"));
    auto workingCopy = DataKeeper::specsInWorkingDirectoryPath();
    ASSERT_TRUE(workingCopy);
    EXPECT_TRUE(kit::FileManager::fileExists(*workingCopy));

    // The first activation counts the launch and refreshes whatever the schedule says.
    EXPECT_EQ(defaults().integerForKey("LC"), 1);
    EXPECT_TRUE(delegate.isNewVersion());
    auto nextUpdate = defaults().dateForKey("kNextUpdateDate");
    ASSERT_TRUE(nextUpdate);
    EXPECT_NEAR(nextUpdate->timeIntervalSince(kit::Date::now()), 604800, 60);
    ASSERT_NE(delegate.refreshTimer(), nullptr);
    EXPECT_DOUBLE_EQ(delegate.refreshTimer()->interval(), 3.0);
    host.terminate();
}

TEST_F(ShellTest, TwoPartUpdateResetsTheShareScheduleThreePartUpdateKeepsIt)
{
    kit::Date old = kit::Date::now().byAdding(-1000);
    for (auto [version, resets] : { std::pair { "2.0", true }, std::pair { "2.0.1", false } }) {
        defaults().setString("1.0", "ProgramVersion");
        defaults().setDate(old, "ShareDate");
        defaults().setBool(true, "DND");
        useBundleVersion(version);
        {
            kit::HeadlessHost host;
            QNAppDelegate delegate;
            host.launch(&delegate);
            EXPECT_TRUE(delegate.isNewVersion()) << version;
            EXPECT_EQ(defaults().stringForKey("ProgramVersion"), version);
            if (resets) {
                EXPECT_GT(defaults().dateForKey("ShareDate")->timeIntervalSince(old), 600000) << version;
                EXPECT_FALSE(defaults().boolForKey("DND")) << version;
            } else {
                EXPECT_EQ(defaults().dateForKey("ShareDate"), old) << version;
                EXPECT_TRUE(defaults().boolForKey("DND")) << version;
            }
            host.terminate();
        }
    }
}

TEST_F(ShellTest, UnchangedVersionIsNotNew)
{
    useBundleVersion("3.1");
    defaults().setString("3.1", "ProgramVersion");
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    EXPECT_FALSE(delegate.isNewVersion());
    EXPECT_FALSE(defaults().dateForKey("ShareDate"));
    // Not forced and never scheduled: no refresh.
    EXPECT_FALSE(defaults().dateForKey("kNextUpdateDate"));
    host.terminate();
}

TEST_F(ShellTest, LeavingAndReenteringRestartsTheRhythmWithoutForcing)
{
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    auto* firstTimer = delegate.refreshTimer();
    ASSERT_NE(firstTimer, nullptr);

    host.resignActive();
    EXPECT_EQ(delegate.refreshTimer(), nullptr);
    EXPECT_FALSE(delegate.isNewVersion());
    // The preferences are on disk now.
    auto stored = kit::PropertyList::readFile(kit::UserDefaults::standardFilePath());
    ASSERT_TRUE(stored.ok()) << stored.error();
    EXPECT_EQ((*stored)["LC"].longLongValue(), 1);

    defaults().removeObjectForKey("kNextUpdateDate");
    host.becomeActive();
    EXPECT_EQ(defaults().integerForKey("LC"), 2);
    ASSERT_NE(delegate.refreshTimer(), nullptr);
    EXPECT_TRUE(delegate.refreshTimer()->isValid());
    EXPECT_FALSE(defaults().dateForKey("kNextUpdateDate"));
    host.terminate();
}

TEST_F(ShellTest, TenActiveSecondsPostThreeTicks)
{
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    int ticks = 0;
    auto observation = kit::NotificationCenter::defaultCenter().addObserver(QNAppDelegate::kRefreshNotification, nullptr, this,
        [&](auto&&...) { ++ticks; });
    host.launch(&delegate);
    host.advance(10);
    EXPECT_EQ(ticks, 3);
    host.enterBackground();
    host.advance(10);
    EXPECT_EQ(ticks, 3);
    host.terminate();
}

TEST_F(ShellTest, PhonesStayPortraitTabletsTurnAndTakeANewBackground)
{
    {
        kit::HeadlessHost host;
        QNAppDelegate delegate;
        host.launch(&delegate);
        ASSERT_NE(delegate.mainController(), nullptr);
        EXPECT_EQ(delegate.mainController()->supportedInterfaceOrientations(),
            unsigned(kit::OrientationPortrait | kit::OrientationPortraitUpsideDown));
        EXPECT_FALSE(host.rotate());
        host.terminate();
    }
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("ipad-2"));
    kit::HostOptions options;
    options.profile = kit::DeviceProfile::current();
    kit::HeadlessHost host(options);
    QNAppDelegate delegate;
    host.launch(&delegate);
    auto* main = delegate.mainController();
    EXPECT_EQ(main->supportedInterfaceOrientations(), unsigned(kit::OrientationAll));
    auto portrait = main->bgImageView()->image();
    ASSERT_NE(portrait, nullptr);
    EXPECT_EQ(portrait->size(), kit::Size(768, 1024));
    ASSERT_TRUE(host.rotate());
    host.advance(1);
    auto landscape = main->bgImageView()->image();
    ASSERT_NE(landscape, nullptr);
    EXPECT_EQ(landscape->size(), kit::Size(1024, 768));
    EXPECT_EQ(main->bgImageView()->frame().size, kit::Size(1024, 768));
    host.terminate();
}

TEST_F(ShellTest, ShadowSitsOnTheTabBarAndThePromptLayerCoversEverything)
{
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    auto* main = delegate.mainController();
    auto* shadow = main->tabBarShadowView();
    ASSERT_NE(shadow->image(), nullptr);
    double h = shadow->image()->size().height;
    EXPECT_EQ(shadow->frame(), kit::Rect(0, -h, main->view()->bounds().width(), h));
    EXPECT_EQ(shadow->superview(), main->tabBar());
    EXPECT_EQ(main->view()->subviews().front().get(), main->bgImageView());
    EXPECT_EQ(main->view()->subviews().back().get(), main->socModView());
    EXPECT_EQ(main->socModView()->frame(), main->view()->bounds());
    host.terminate();
}

TEST_F(ShellTest, ArrowKeysChooseModelsOnTheTechSpecsTabOnly)
{
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-6"));
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    auto* main = delegate.mainController();
    const auto& screens = main->viewControllers();
    auto specs
        = std::find_if(screens.begin(), screens.end(), [](auto& screen) { return screen->className() == "SpecsController"; });
    ASSERT_NE(specs, screens.end());
    EXPECT_EQ(std::string((*specs)->title()), "Tech Specs");

    main->setSelectedIndex(0);
    host.advance(0.5);
    EXPECT_FALSE(host.pressKey(kit::Key::Left)) << "the Usage tab has no use for it";

    main->setSelectedIndex(static_cast<int>(specs - screens.begin()));
    host.advance(0.5);
    EXPECT_TRUE(host.pressKey(kit::Key::Left));
    host.advance(1);
    const auto& models = DataKeeper::sortedModelsKeys();
    auto own = std::find(models.begin(), models.end(), "iPhone7,2");
    ASSERT_NE(own, models.end());
    ASSERT_NE(own, models.begin());
    EXPECT_EQ(defaults().stringForKey("kSelectedModelDefaultsKey"), *(own - 1));
    host.terminate();
}

namespace {

// Where the pictures go: $QUARRIN_SNAPSHOT_DIR, else the build tree.
std::string machineSnapshotPath(const std::string& name)
{
    const char* folder = std::getenv("QUARRIN_SNAPSHOT_DIR");
    std::string directory = folder && *folder ? folder : QUARRIN_BINARY_DIR "/snapshots/machines";
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return directory + "/" + name + ".png";
}

} // namespace

TEST_F(ShellTest, AComputersFirmwareLeadsTechSpecsAndCompareToItsEntry)
{
    using namespace std::string_literals;
    struct Machine {
        const char* picture;
        std::vector<std::pair<const char*, std::string>> files;
        const char* key;
    };
    const std::vector<Machine> machines {
        { "raspberry-pi-4", { { "/proc/device-tree/model", "Raspberry Pi 4 Model B Rev 1.4\0"s } }, "Raspberry Pi 4 Model B" },
        { "framework-13-amd",
            { { "/sys/class/dmi/id/sys_vendor", "Framework\n" },
                { "/sys/class/dmi/id/product_name", "Laptop 13 (AMD Ryzen 7040Series)\n" } },
            "Framework Laptop 13 (AMD Ryzen 7040" },
    };
    for (const auto& machine : machines) {
        SCOPED_TRACE(machine.picture);
        // A first launch on that machine, with the default (profile-less) window.
        kit::test::CannedTree firmware;
        for (const auto& [path, text] : machine.files)
            firmware.write(path, text);
        kit::Device::setRoot(firmware.root());
        std::error_code ignored;
        std::filesystem::remove_all(home.path() + "/config", ignored);
        kit::UserDefaults::resetStandardUserDefaults();
        DataKeeper::setModelIdentifierForTesting(std::nullopt);
        DataKeeper::resetForTesting();

        kit::HostOptions options;
        options.scale = 2;
        kit::HeadlessHost host(options);
        QNAppDelegate delegate;
        host.launch(&delegate);
        host.advance(3.5);
        EXPECT_EQ(DataKeeper::thisModelKey(), machine.key);
        EXPECT_EQ(SpecsController::chosenModelKey(DataKeeper::sortedModelsKeys()), machine.key);

        auto* main = delegate.mainController();
        auto tabs = MainController::tabs();
        for (const char* tab : { "techspecs", "compare" }) {
            auto found
                = std::find_if(tabs.begin(), tabs.end(), [&](auto& each) { return std::string(each.snapshotName) == tab; });
            ASSERT_NE(found, tabs.end()) << tab;
            main->setSelectedIndex(static_cast<int>(found - tabs.begin()));
            host.advance(0.5);
            ASSERT_TRUE(host.writePNG(machineSnapshotPath(std::string(machine.picture) + "-" + tab)).ok());
        }
        // Compare starts from this machine.
        const kit::Value stored = defaults().objectForKey(std::string(CompareListController::kSelectedModelsKey));
        ASSERT_GE(stored.count(), 1u);
        EXPECT_EQ(stored.at(0).string(), machine.key);
        host.terminate();
    }
    kit::Device::setRoot("/");
}

namespace {

// What the frames drawn over `frames` steps of 1/60 s painted: how many were drawn, the largest
// and the median share of the window (the damaged rectangles' area), and the union of their
// damage.
struct DamageRun {
    int drawn = 0;
    double largest = 0;
    double median = 0;
    kit::Rect reach;
};

DamageRun stepFrames(kit::HeadlessHost& host, int frames)
{
    kit::Size window = host.screenSize();
    std::vector<double> shares;
    DamageRun run;
    for (int i = 0; i < frames; ++i) {
        host.advance(1.0 / 60);
        if (!host.render())
            continue;
        kit::Rect damage = host.lastDamage();
        double painted = 0;
        for (const kit::Rect& rect : host.core().damageRects())
            painted += rect.width() * rect.height();
        shares.push_back(painted / (window.width * window.height));
        run.reach = run.reach.united(damage);
    }
    run.drawn = int(shares.size());
    if (!shares.empty()) {
        std::sort(shares.begin(), shares.end());
        run.largest = shares.back();
        run.median = shares[shares.size() / 2];
    }
    return run;
}

void report(const char* what, const DamageRun& run)
{
    std::printf("damage: %-34s %3d frames, median %5.1f %%, largest %5.1f %% of the window, within y %.0f–%.0f\n", what,
        run.drawn, run.median * 100, run.largest * 100, run.reach.minY(), run.reach.maxY());
}

} // namespace

// The screens' own animations: each frame paints the part that moves or fades, not the window.
TEST_F(ShellTest, AnimationsRepaintOnlyWhatMoves)
{
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-6"));
    kit::HeadlessHost host;
    QNAppDelegate delegate;
    host.launch(&delegate);
    host.advance(1);
    host.render();
    auto* main = delegate.mainController();
    const auto& screens = main->viewControllers();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        main->setSelectedIndex(int(i));
        report(("tab switch to " + std::string(screens[i]->title())).c_str(), stepFrames(host, 60));
    }
    auto specs
        = std::find_if(screens.begin(), screens.end(), [](auto& screen) { return screen->className() == "SpecsController"; });
    ASSERT_NE(specs, screens.end());
    main->setSelectedIndex(int(specs - screens.begin()));
    stepFrames(host, 60);
    ASSERT_TRUE(host.pressKey(kit::Key::Left));
    // The model picker scrolls first, then the table's rows fade to the new model's.
    DamageRun picker = stepFrames(host, 15);
    report("Tech Specs: the picker scrolls", picker);
    EXPECT_GE(picker.drawn, 10);
    EXPECT_LT(picker.largest, 0.1);
    report("Tech Specs: the rows fade", stepFrames(host, 75));
    ASSERT_TRUE(host.pressKey(kit::Key::Right));
    report("Tech Specs: back to this one", stepFrames(host, 90));

    auto tab = std::find_if(screens.begin(), screens.end(), [](auto& screen) { return screen->title() == "Compare"; });
    ASSERT_NE(tab, screens.end());
    main->setSelectedIndex(int(tab - screens.begin()));
    stepFrames(host, 30);
    auto* navigation = dynamic_cast<kit::NavigationController*>(tab->get());
    ASSERT_NE(navigation, nullptr);
    auto* compare = dynamic_cast<CompareController*>(navigation->topViewController());
    ASSERT_NE(compare, nullptr);
    compare->prepareSelectedModels();
    report("Compare: the list slides in", stepFrames(host, 40));
    auto* list = dynamic_cast<CompareListController*>(navigation->topViewController());
    ASSERT_NE(list, nullptr);
    list->commitEditingStyle(*list->tableView(), kit::TableViewCellEditingStyle::Delete, kit::IndexPath::forRow(0, 0));
    DamageRun deleted = stepFrames(host, 40);
    report("Compare: a model deleted", deleted);
    // The rows below the deleted one move up; the bars and the rest of the screen stay.
    EXPECT_GE(deleted.drawn, 10);
    EXPECT_LT(deleted.largest, 0.25);
    EXPECT_LT(deleted.reach.maxY(), host.screenSize().height / 2);
    navigation->popViewController(true);
    report("Compare: back from the list", stepFrames(host, 40));
    host.terminate();
}

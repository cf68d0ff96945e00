// SPDX-License-Identifier: MIT
#include "app/techspecs/SpecsController.h"

#include "kit/base/NotificationCenter.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/device/DeviceProfile.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationBar.h"
#include "kit/ui/Window.h"
#include "tests/app/specs/SpecsTestSupport.h"
#include "tests/kit/device/CannedTree.h"
#include "tests/support/ScreenTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using kit::IndexPath;

namespace {

// Five models sorted "iPad2,1", "iPhone4,1", "iPhone6,1", "iPhone7,1", "iPhone7,2"; this
// device is "iPhone7,2", the last. On a 320-point phone there are two service columns, so
// model i is column i + 2.
class SpecsScreenTest : public specs_test::SpecsFixture {
protected:
    static constexpr const char* kThisModel = "iPhone7,2";

    void SetUp() override
    {
        SpecsFixture::SetUp();
        setenv("LANGUAGE", "en", 1);
        setenv("LC_ALL", "en_US.UTF-8", 1);
        kit::UserDefaults::resetStandardUserDefaults();
        kit::RunLoop::main().setVirtualClock(true);
        savedProfile = kit::DeviceProfile::current();
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-4s"));
        osRelease.write("/etc/os-release", "NAME=Debian\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
        kit::Device::setRoot(osRelease.root());
        writePlist(bundlePath(), dataSet("iPhone 6"), kit::Date::now().byAdding(-3600));
        DataKeeper::copyDataFromBundleIfNeeded();
    }
    void TearDown() override
    {
        kit::Animator::shared().cancelAll();
        screen.reset();
        window.reset();
        kit::RunLoop::main().advance(1);
        kit::Device::setRoot("/");
        kit::DeviceProfile::setCurrent(savedProfile);
        kit::UserDefaults::resetStandardUserDefaults();
        SpecsFixture::TearDown();
    }

    static kit::Value dataSet(const std::string& thisModelName)
    {
        kit::Dict processor { { "Value", "Apple A8" }, { "NumericValue", "1.4 GHz" }, { "Details", "Dual-core" } };
        return kit::Dict {
            { "orderedSpecsKeys", kit::Array { "Processor", "Display", "BatteryLife.Audio Playback", "Weight" } },
            { "iPad2,1", kit::Dict { { "Name", "iPad 2" }, { "DetailName", "Wi-Fi" }, { "Processor", "Apple A5" } } },
            { "iPhone4,1", kit::Dict { { "Name", "iPhone 4S" }, { "Weight", 140 } } },
            { "iPhone6,1", kit::Dict { { "Name", "iPhone 5s" }, { "BatteryLife", kit::Dict { { "Audio Playback", "40" } } } } },
            { "iPhone7,1", kit::Dict { { "Name", "iPhone 6 Plus" }, { "DetailName", "5.5-inch" } } },
            { kThisModel,
                kit::Dict { { "Name", thisModelName }, { "Processor", processor }, { "Display", "1334 × 750, 326 ppi" },
                    { "BatteryLife", kit::Dict { { "Audio Playback", "50" } } } } },
        };
    }

    // The screen at a phone's tab size, in a window, appeared.
    void load()
    {
        screen = kit::ViewController::create<SpecsController>();
        kit::test::loadScreen(*screen, { 320, 431 });
        window = kit::View::create<kit::Window>();
        window->setFrame({ 0, 0, 320, 480 });
        window->addSubview(screen->viewPtr());
        window->layoutIfNeeded();
        screen->beginAppearanceTransition(true, false);
        screen->endAppearanceTransition();
        advance(1);
    }
    void advance(double seconds)
    {
        kit::RunLoop::main().advance(seconds);
        if (window)
            window->layoutIfNeeded();
    }

    HPickerView& picker() { return *screen->devicesListView(); }
    int currentColumn() { return picker().currentIndexPath().value_or(IndexPath { 0, -1 }).row; }
    static int columnOf(const char* key)
    {
        static const std::vector<std::string> sorted { "iPad2,1", "iPhone4,1", "iPhone6,1", "iPhone7,1", "iPhone7,2" };
        return static_cast<int>(std::find(sorted.begin(), sorted.end(), key) - sorted.begin()) + 2;
    }
    std::optional<std::string> stored() const
    {
        return kit::UserDefaults::standardUserDefaults().stringForKey(SpecsController::kSelectedModelDefaultsKey);
    }
    std::vector<std::pair<std::string, std::string>> rows(std::size_t section) const
    {
        std::vector<std::pair<std::string, std::string>> result;
        for (auto& row : *screen->dataModel().at(section)[SpecsController::kRowsKey].asArray())
            result.emplace_back(row[SpecsController::kRowFirstItemKey].string(),
                row[SpecsController::kRowSecondItemKey].string());
        return result;
    }
    kit::Label* columnLabel(int column, int tag)
    {
        auto view = picker().dataSource()->viewForRowAtIndexPath(picker(), { 0, column });
        keptColumns.push_back(view);
        return view ? dynamic_cast<kit::Label*>(view->viewWithTag(tag)) : nullptr;
    }
    void chooseColumn(int column)
    {
        picker().tapColAtIndexPath({ 0, column });
        advance(1);
    }

    kit::test::CannedTree osRelease;
    kit::DeviceProfile savedProfile;
    std::shared_ptr<SpecsController> screen;
    std::shared_ptr<kit::Window> window;
    std::vector<std::shared_ptr<kit::View>> keptColumns;
};

} // namespace

TEST_F(SpecsScreenTest, FirstStartShowsThisDeviceWithItsOwnSection)
{
    load();
    EXPECT_EQ(screen->title(), "Tech Specs");
    EXPECT_EQ(screen->selectedModelKey(), kThisModel);
    EXPECT_EQ(stored(), std::nullopt) << "the fallback is not a choice";
    ASSERT_EQ(screen->dataModel().size(), 2u);
    auto device = rows(0);
    ASSERT_EQ(device.size(), 3u);
    EXPECT_EQ(device[0], (std::pair<std::string, std::string>("Device name", kit::Device::name())));
    EXPECT_EQ(device[1].first, "OS version");
    EXPECT_EQ(device[1].second, "Debian GNU/Linux 12 (bookworm), Linux " + kit::Device::systemVersion());
    EXPECT_EQ(device[2].first, "Capacity");
    EXPECT_NE(device[2].second.find(" GB"), std::string::npos) << device[2].second;

    EXPECT_EQ(currentColumn(), columnOf(kThisModel));
    EXPECT_TRUE(screen->jumpBar()->isHidden());
    EXPECT_EQ(screen->specsTableView()->contentInset(), (kit::EdgeInsets { 0, 0, 50, 0 }));
    EXPECT_EQ(screen->specsTableView()->numberOfSections(), 2);

    // This device in light blue, two points larger; the others white.
    kit::Label* own = columnLabel(columnOf(kThisModel), SpecsController::kColumnNameTag);
    kit::Label* other = columnLabel(columnOf("iPhone4,1"), SpecsController::kColumnNameTag);
    ASSERT_TRUE(own && other);
    EXPECT_EQ(own->text(), "iPhone 6");
    EXPECT_EQ(own->font()->pointSize(), 15);
    EXPECT_EQ(own->textColor(), (kit::Color { 0.72, 0.85, 1.0, 1.0 }));
    EXPECT_EQ(other->font()->pointSize(), 13);
    EXPECT_EQ(other->textColor(), kit::Color::white());
    EXPECT_EQ(own->numberOfLines(), 2);

    // The device rows' values in the light colour, the tech specs rows' in the plain one.
    auto* table = screen->specsTableView();
    auto value = [&](IndexPath path) {
        auto* cell = table->cellForRowAtIndexPath(path);
        return cell ? dynamic_cast<kit::Label*>(cell->contentView()->viewWithTag(SpecsController::kValueLabelTag)) : nullptr;
    };
    ASSERT_TRUE(value({ 0, 0 }) && value({ 1, 0 }));
    EXPECT_EQ(value({ 0, 0 })->textColor(), (kit::Color { 0.75, 0.87, 1.0, 1.0 }));
    EXPECT_EQ(value({ 1, 0 })->textColor(), (kit::Color { 0.86, 0.9, 0.94, 1.0 }));
}

TEST_F(SpecsScreenTest, OsVersionWithoutADistributionNameIsTheKernelAlone)
{
    osRelease.remove("/etc/os-release");
    EXPECT_EQ(SpecsController::osVersionText(kit::Device::distributionName(), "6.18"), "Linux 6.18");
    EXPECT_EQ(SpecsController::osVersionText(std::string("Debian GNU/Linux 12 (bookworm)"), "6.18"),
        "Debian GNU/Linux 12 (bookworm), Linux 6.18");
    EXPECT_EQ(SpecsController::osVersionText(std::string(), ""), "Linux");
}

TEST_F(SpecsScreenTest, ChoosingAnotherModelStoresItAndShowsTheJumpBar)
{
    load();
    chooseColumn(columnOf("iPhone7,1"));
    EXPECT_EQ(screen->selectedModelKey(), "iPhone7,1");
    EXPECT_EQ(stored(), "iPhone7,1");
    ASSERT_EQ(screen->dataModel().size(), 1u);
    EXPECT_EQ(screen->specsTableView()->numberOfSections(), 1);
    EXPECT_TRUE(rows(0).empty()) << "a model without tech specs still has its (empty) section";
    EXPECT_FALSE(screen->jumpBar()->isHidden());
    EXPECT_EQ(screen->jumpBar()->alpha(), 1);
    EXPECT_EQ(screen->specsTableView()->contentInset(), (kit::EdgeInsets { 40, 0, 50, 0 }));
    EXPECT_EQ(screen->jumpBar()->frame(), (kit::Rect { 0, 56, 320, 40 }));

    // The bar fades in over 0.2 seconds.
    chooseColumn(columnOf(kThisModel));
    ASSERT_TRUE(screen->jumpBar()->isHidden());
    picker().tapColAtIndexPath({ 0, columnOf("iPhone6,1") });
    advance(kit::ScrollView::kScrollAnimationDuration + 0.1);
    EXPECT_FALSE(screen->jumpBar()->isHidden());
    EXPECT_GT(screen->jumpBar()->presentation().alpha, 0);
    EXPECT_LT(screen->jumpBar()->presentation().alpha, 1);
    advance(SpecsController::kJumpBarFadeDuration);
    EXPECT_EQ(screen->jumpBar()->presentation().alpha, 1);
    EXPECT_EQ(rows(0), (std::vector<std::pair<std::string, std::string>> { { "Audio Playback", "40 hours" } }));
}

TEST_F(SpecsScreenTest, JumpButtonReturnsToThisDeviceAndHidesTheBar)
{
    kit::UserDefaults::standardUserDefaults().setString("iPad2,1", SpecsController::kSelectedModelDefaultsKey);
    load();
    EXPECT_EQ(screen->selectedModelKey(), "iPad2,1");
    EXPECT_EQ(currentColumn(), columnOf("iPad2,1"));
    EXPECT_FALSE(screen->jumpBar()->isHidden());
    auto* button = dynamic_cast<kit::Button*>(screen->jumpBar()->titleView());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->title(), "Show This Device");
    button->sendActions(kit::ControlEvent::TouchUpInside);
    advance(1);
    EXPECT_EQ(currentColumn(), columnOf(kThisModel));
    EXPECT_EQ(screen->selectedModelKey(), kThisModel);
    EXPECT_EQ(stored(), kThisModel);
    EXPECT_EQ(screen->dataModel().size(), 2u);
    EXPECT_TRUE(screen->jumpBar()->isHidden());
    EXPECT_EQ(screen->specsTableView()->contentInset().top, 0);
}

TEST_F(SpecsScreenTest, StoredKeyNoLongerInTheListFallsBackToThisDevice)
{
    kit::UserDefaults::standardUserDefaults().setString("iPhone99,9", SpecsController::kSelectedModelDefaultsKey);
    load();
    EXPECT_EQ(screen->selectedModelKey(), kThisModel);
    EXPECT_EQ(stored(), "iPhone99,9") << "left as it was until the user chooses";
    EXPECT_EQ(currentColumn(), columnOf(kThisModel));
    EXPECT_TRUE(screen->jumpBar()->isHidden());
}

TEST_F(SpecsScreenTest, ColumnsWithAndWithoutADetailName)
{
    load();
    // 107 × 36 columns; a detail line of 10 points takes the bottom.
    kit::Label* name = columnLabel(columnOf("iPhone7,1"), SpecsController::kColumnNameTag);
    kit::Label* detail = columnLabel(columnOf("iPhone7,1"), SpecsController::kColumnDetailTag);
    ASSERT_TRUE(name && detail);
    EXPECT_EQ(name->frame(), (kit::Rect { 2, 2, 103, 22 }));
    EXPECT_EQ(detail->frame(), (kit::Rect { 2, 20, 103, 12 }));
    EXPECT_EQ(detail->text(), "5.5-inch");
    EXPECT_EQ(detail->font()->pointSize(), 10);
    EXPECT_EQ(detail->numberOfLines(), 1);
    // Without one, the name has the whole column less four points, and no detail line.
    kit::Label* alone = columnLabel(columnOf("iPhone4,1"), SpecsController::kColumnNameTag);
    ASSERT_NE(alone, nullptr);
    EXPECT_EQ(alone->frame(), (kit::Rect { 2, 2, 103, 32 }));
    EXPECT_EQ(alone->textAlignment(), kit::TextAlignment::Center);
    EXPECT_EQ(columnLabel(columnOf("iPhone4,1"), SpecsController::kColumnDetailTag), nullptr);
    // Service columns have no view.
    EXPECT_EQ(picker().dataSource()->viewForRowAtIndexPath(picker(), { 0, 1 }), nullptr);
    EXPECT_EQ(picker().dataSource()->numberOfRowsInSection(picker(), 0), 9);
}

TEST_F(SpecsScreenTest, RowsFollowTheRowOrderWithDurationsAndPlaceholders)
{
    load();
    EXPECT_EQ(rows(1),
        (std::vector<std::pair<std::string, std::string>> {
            { "Processor", "Apple A8\n1.4 GHz\nDual-core" },
            { "Display", "1334 × 750, 326 ppi" },
            { "Audio Playback", "50 hours" },
        }));
    // A number where text belongs shows as "n/a"; a missing value leaves no row.
    chooseColumn(columnOf("iPhone4,1"));
    EXPECT_EQ(rows(0), (std::vector<std::pair<std::string, std::string>> { { "Weight", "n/a" } }));
}

TEST_F(SpecsScreenTest, RowHeightsFollowTheValueUpToFiftyLines)
{
    load();
    double border = screen->textBorder();
    EXPECT_EQ(border, 8);
    double line = screen->valueLabelFont()->lineHeight();
    ASSERT_GT(line, screen->nameLabelFont()->lineHeight());
    double width = 320 - border;
    EXPECT_NEAR(screen->rowHeightForString("Processor", "one\ntwo\nthree\nfour\nfive", width), 2 * border + 5 * line, 0.01);
    EXPECT_EQ(screen->secondSize().width, width - 3 * border - 100);
    EXPECT_EQ(screen->firstSize().width, 100);

    std::string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += "line\n";
    EXPECT_NEAR(screen->rowHeightForString("Processor", sixty, width), 2 * border + 50 * line, 0.01);
    // A label that wraps in its 100 points makes the row taller than a one-line value.
    EXPECT_GT(screen->rowHeightForString("A label long enough to wrap over several lines", "x", width), 2 * border + line + 1);

    // The frames: label beside value, both below the row's top margin.
    auto label = kit::View::create<kit::Label>();
    auto value = kit::View::create<kit::Label>();
    label->setText("Processor");
    value->setText("one\ntwo");
    screen->setFramesForLabel(*label, *value, width);
    EXPECT_EQ(label->frame().origin, (kit::Point { 8, 8 }));
    EXPECT_EQ(value->frame().origin, (kit::Point { 116, 8 }));
    EXPECT_NEAR(value->frame().height(), 2 * line, 0.01);
}

TEST_F(SpecsScreenTest, NewDataSetReloadsThePickerAndTheTable)
{
    load();
    writePlist(workingPath(), dataSet("iPhone 6 (2014)"), kit::Date::now());
    DataKeeper::sharedKeeper().dropCachedData();
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, &DataKeeper::sharedKeeper());
    advance(1);
    kit::Label* own = columnLabel(columnOf(kThisModel), SpecsController::kColumnNameTag);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->text(), "iPhone 6 (2014)");
    auto* cell = picker().pvTableView()->cellForRowAtIndexPath({ 0, columnOf(kThisModel) });
    ASSERT_NE(cell, nullptr);
    auto* shown
        = dynamic_cast<kit::Label*>(cell->viewWithTag(HPickerView::kColumnViewTag)->viewWithTag(SpecsController::kColumnNameTag));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), "iPhone 6 (2014)") << "the strip shows the new data, not old cells";
    EXPECT_EQ(currentColumn(), columnOf(kThisModel));
    EXPECT_EQ(screen->dataModel().size(), 2u);
}

TEST_F(SpecsScreenTest, ArrowKeysChooseTheNeighbouringModel)
{
    load();
    EXPECT_TRUE(screen->pressKey(kit::Key::Right));
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), kThisModel) << "already the last model";
    EXPECT_EQ(stored(), std::nullopt);

    EXPECT_TRUE(screen->pressKey(kit::Key::Left));
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), "iPhone7,1");
    EXPECT_EQ(stored(), "iPhone7,1");

    // Quick presses walk on from where the strip is heading; one report at the end.
    screen->pressKey(kit::Key::Left);
    advance(0.05);
    screen->pressKey(kit::Key::Left);
    advance(0.05);
    EXPECT_EQ(stored(), "iPhone7,1") << "nothing stored on the way";
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), "iPhone4,1");
    EXPECT_EQ(currentColumn(), columnOf("iPhone4,1"));

    EXPECT_FALSE(screen->pressKey(kit::Key::Up));
    screen->pressKey(kit::Key::Left);
    screen->pressKey(kit::Key::Left);
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), "iPad2,1") << "stops at the first model";
    EXPECT_EQ(currentColumn(), columnOf("iPad2,1"));
}

TEST_F(SpecsScreenTest, ServiceColumnTapsGoToTheNearestEndUnlessItIsShown)
{
    kit::UserDefaults::standardUserDefaults().setString("iPhone4,1", SpecsController::kSelectedModelDefaultsKey);
    load();
    // Left of "iPhone4,1" is "iPad2,1", the first model: a tap on a service column there
    // brings the first model.
    screen->didSelectRowAtIndexPath(picker(), { 0, 0 });
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), "iPad2,1");
    // Already at that end: nothing happens.
    screen->didSelectRowAtIndexPath(picker(), { 0, 1 });
    EXPECT_FALSE(picker().pvTableView()->isScrollAnimating());
    screen->didSelectRowAtIndexPath(picker(), { 0, 8 });
    advance(1);
    EXPECT_EQ(screen->selectedModelKey(), kThisModel);
}

TEST_F(SpecsScreenTest, LongNamesShrinkOrTruncateInsideTheirColumnsAboveTheirDetailLines)
{
    load();
    // Handheld names fit: their fonts are as before.
    for (const char* key : { kThisModel, "iPhone7,1", "iPhone4,1" }) {
        kit::Label* name = columnLabel(columnOf(key), SpecsController::kColumnNameTag);
        ASSERT_NE(name, nullptr) << key;
        EXPECT_EQ(name->fontScale(), 1) << key;
    }

    // Computers' names, as long as they come, with and without detail lines; this device's name
    // is drawn two points larger.
    kit::Value names = dataSet("Raspberry Pi 4");
    kit::Dict& models = *names.asDict();
    (*models[kThisModel].asDict())["DetailName"] = "Model B";
    models["iPhone4,1"] = kit::Dict { { "Name", "ThinkPad X1 Carbon Gen 11" }, { "DetailName", "21HM" } };
    models["iPhone7,1"] = kit::Dict { { "Name", "Framework Laptop 13" }, { "DetailName", "AMD Ryzen 7040 Series" } };
    models["iPad2,1"] = kit::Dict { { "Name", "Raspberry Pi Compute Module 4" } };
    models["iPhone6,1"] = kit::Dict { { "Name", "Raspberry Pi 400" } };
    writePlist(workingPath(), names, kit::Date::now());
    DataKeeper::sharedKeeper().dropCachedData();
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, &DataKeeper::sharedKeeper());
    advance(1);

    const kit::Rect column { 0, 0, picker().columnWidth(), picker().columnHeight() };
    for (const char* key : { kThisModel, "iPhone4,1", "iPhone7,1", "iPad2,1", "iPhone6,1" }) {
        SCOPED_TRACE(key);
        auto view = picker().dataSource()->viewForRowAtIndexPath(picker(), { 0, columnOf(key) });
        ASSERT_NE(view, nullptr);
        auto* name = dynamic_cast<kit::Label*>(view->viewWithTag(SpecsController::kColumnNameTag));
        auto* detail = dynamic_cast<kit::Label*>(view->viewWithTag(SpecsController::kColumnDetailTag));
        ASSERT_NE(name, nullptr);
        kit::Rect text = name->textRect().offsetBy(name->frame().minX(), name->frame().minY());
        EXPECT_TRUE(column.contains(text)) << text.minY() << " to " << text.maxY();
        EXPECT_GE(name->fontScale(), SpecsController::kColumnNameMinimumScale);
        if (!detail) {
            EXPECT_EQ(name->numberOfLines(), 2);
            continue;
        }
        EXPECT_EQ(name->numberOfLines(), 1);
        // The name's baseline stays above the detail line.
        kit::Rect under = detail->textRect().offsetBy(detail->frame().minX(), detail->frame().minY());
        double scaledDescender = name->font()->descender() * name->fontScale();
        EXPECT_LE(text.maxY() - scaledDescender, under.minY());
        EXPECT_TRUE(column.contains(under));
    }

    // "Raspberry Pi 4" shrinks to fit whole; "ThinkPad X1 Carbon Gen 11" stops shrinking and is
    // truncated.
    auto shown = [&](const char* key) {
        keptColumns.push_back(picker().dataSource()->viewForRowAtIndexPath(picker(), { 0, columnOf(key) }));
        return dynamic_cast<kit::Label*>(keptColumns.back()->viewWithTag(SpecsController::kColumnNameTag));
    };
    kit::Label* own = shown(kThisModel);
    double whole = kit::boundingRectForString(own->text(), own->font(), 0).width();
    EXPECT_LT(own->fontScale(), 1);
    EXPECT_GT(own->fontScale(), SpecsController::kColumnNameMinimumScale);
    EXPECT_LE(whole * own->fontScale(), own->bounds().width() + 0.01);
    EXPECT_EQ(shown("iPhone4,1")->fontScale(), SpecsController::kColumnNameMinimumScale);
}

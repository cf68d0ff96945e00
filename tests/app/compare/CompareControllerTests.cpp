// SPDX-License-Identifier: MIT
#include "app/compare/CompareController.h"

#include "app/compare/CompareListController.h"
#include "app/shell/MainController.h"
#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/PropertyList.h"
#include "kit/base/UserDefaults.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Animator.h"
#include "kit/ui/BarButtonItem.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "tests/kit/base/TempFolder.h"
#include "tests/kit/ui/ControllerTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

using Keys = std::vector<std::string>;

namespace {

kit::Value figure(std::string numeric) { return kit::Dict { { "NumericValue", std::move(numeric) } }; }

void expectFrame(const kit::Rect& actual, const kit::Rect& expected, const char* what)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9) << what;
}

// Where the screen's pictures go: $QUARRIN_SNAPSHOT_DIR, else the build tree.
std::string snapshotPath(const std::string& name)
{
    const char* folder = std::getenv("QUARRIN_SNAPSHOT_DIR");
    std::string directory = folder && *folder ? folder : QUARRIN_BINARY_DIR "/snapshots/compare";
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return directory + "/" + name + ".png";
}

kit::Value model(std::string name, kit::Dict specs)
{
    specs.emplace("Name", std::move(name));
    return kit::Value(std::move(specs));
}

// A data set written by the test, a private preferences file, and the comparison shown at the
// root of a navigation controller in the headless host, as the tab bar shows it.
class CompareScreenTest : public kit::test::HostedControllerTest {
protected:
    void SetUp() override
    {
        HostedControllerTest::SetUp();
        environment.set("HOME", home.path());
        environment.set("XDG_CONFIG_HOME", home / "config");
        environment.set("XDG_DATA_HOME", home / "data");
        environment.set("LANGUAGE", "en");
        environment.set("LC_ALL", "en_US.UTF-8");
        kit::Bundle::mainBundle().reloadLocalizations();
        kit::UserDefaults::resetStandardUserDefaults();

        kit::Dict data {
            { "iPhone7,2",
                model("iPhone 6",
                    { { "Processor", figure("1.4 GHz") }, { "GPU", "PowerVR GX6450" }, { "Onboard RAM", figure("1024 MB") },
                        { "Weight", figure("129 g") } }) },
            { "iPhone8,1",
                model("iPhone 6s",
                    { { "Processor", figure("1.85 GHz") }, { "GPU", "PowerVR GT7600" }, { "Onboard RAM", figure("2048 MB") },
                        { "Weight", figure("143 g") } }) },
            { "iPad4,1",
                model("iPad Air",
                    { { "Processor", figure("0 GHz") }, { "GPU", "PowerVR G6430" }, { "Weight", figure("469 g") } }) },
            // Only the laptop has a display and dimensions, long enough to wrap on a phone.
            { "Framework Laptop 13",
                model("Framework Laptop 13",
                    { { "Weight", figure("1300 g") },
                        { "Display",
                            kit::Dict { { "NumericValue", "2880 × 1920 pixels at 256 ppi, 120 Hz" },
                                { "Value", "13.5-inch, 3:2" } } },
                        { "Dimensions", figure("296.63 × 228.98 × 15.85 mm") } }) },
            { "orderedComparisonSpecsKeys", kit::Array { "Processor", "GPU", "Onboard RAM", "Weight", "Display", "Dimensions" } },
        };
        std::string bundlePath = home / "bundle/specs.plist";
        ASSERT_TRUE(kit::FileManager::createDirectory(home / "bundle").ok());
        auto bytes = kit::PropertyList::write(kit::Value(std::move(data)));
        ASSERT_TRUE(bytes.ok());
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(bundlePath, *bytes).ok());
        DataKeeper::setBundleSpecsPathForTesting(bundlePath);
        DataKeeper::setApplicationSupportDirectoryForTesting(home / "support");
        DataKeeper::setModelIdentifierForTesting(std::string("iPhone7,2"));
        DataKeeper::resetForTesting();
        DataKeeper::copyDataFromBundleIfNeeded();
    }
    void TearDown() override
    {
        compare.reset();
        navigation.reset();
        HostedControllerTest::TearDown();
        DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
        DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
        DataKeeper::setModelIdentifierForTesting(std::nullopt);
        DataKeeper::resetForTesting();
        kit::UserDefaults::resetStandardUserDefaults();
        kit::Bundle::mainBundle().reloadLocalizations();
    }

    void open(std::string_view device = "iphone-6")
    {
        // The screen takes its dimensions from the device when it is made.
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named(device));
        compare = kit::ViewController::create<CompareController>();
        navigation = kit::NavigationController::create(compare);
        navigation->navigationBar()->setBarStyle(kit::BarStyle::Black);
        launch(navigation, device);
        advance(0.5);
    }
    kit::UserDefaults& defaults() { return kit::UserDefaults::standardUserDefaults(); }
    void choose(const Keys& keys) { defaults().setStringArray(keys, ComparisonBuilder::kSelectedModelsKey); }
    kit::TableView& table() { return *compare->comparisonTableView(); }

    struct RowViews {
        kit::TableViewCell* cell = nullptr;
        kit::Label* models = nullptr;
        kit::Label* value = nullptr;
        kit::View* bar = nullptr;
    };
    // The row's cell, scrolled into view and laid out.
    RowViews row(int section, int item)
    {
        table().scrollToRowAtIndexPath({ section, item }, kit::TableViewScrollPosition::Middle, false);
        table().layoutIfNeeded();
        RowViews views;
        views.cell = table().cellForRowAtIndexPath({ section, item });
        if (!views.cell)
            return views;
        kit::View* content = views.cell->contentView();
        views.models = dynamic_cast<kit::Label*>(content->viewWithTag(CompareController::kModelsLabelTag));
        views.value = dynamic_cast<kit::Label*>(content->viewWithTag(CompareController::kValueLabelTag));
        views.bar = content->viewWithTag(CompareController::kValueBarTag);
        return views;
    }
    std::size_t rowsInFirstSection() const { return compare->dataModel().at(0)[ComparisonBuilder::kRowsKey].count(); }
    // The list deletes its first model, as a tap on its delete control and the confirmation do.
    static void deleteFirstModel(CompareListController& list)
    {
        list.commitEditingStyle(*list.tableView(), kit::TableViewCellEditingStyle::Delete, { 0, 0 });
    }
    std::vector<std::string> headers()
    {
        std::vector<std::string> result;
        for (auto& section : compare->dataModel())
            result.push_back(section[ComparisonBuilder::kHeaderKey].string());
        return result;
    }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
    std::shared_ptr<CompareController> compare;
    std::shared_ptr<kit::NavigationController> navigation;
};

} // namespace

TEST_F(CompareScreenTest, FirstShowStoresThisDeviceAndOneModelFillsEveryBar)
{
    open();
    EXPECT_EQ(defaults().stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), (Keys { "iPhone7,2" }));
    ASSERT_EQ(headers(), (std::vector<std::string> { "Processor", "GPU", "Onboard RAM", "Weight" }));
    EXPECT_FALSE(navigation->isNavigationBarHidden());

    // Phone: models column 8 + 124, value column from 140; the bar starts 4 points before the
    // value and ends textBorder short of the content's right edge.
    for (int section : { 0, 2, 3 }) {
        auto views = row(section, 0);
        ASSERT_TRUE(views.bar) << section;
        double content = views.cell->contentView()->bounds().width();
        EXPECT_DOUBLE_EQ(views.models->frame().minX(), 8);
        EXPECT_DOUBLE_EQ(views.models->frame().width(), 124);
        EXPECT_DOUBLE_EQ(views.value->frame().minX(), 140);
        EXPECT_DOUBLE_EQ(views.value->frame().width(), 375 - 8 - 3 * 8 - 124);
        EXPECT_DOUBLE_EQ(views.bar->frame().minX(), 136);
        EXPECT_DOUBLE_EQ(views.bar->frame().maxX(), content - 8) << section;
        EXPECT_DOUBLE_EQ(views.bar->frame().height(), compare->textStyles().value.font->lineHeight() + 2);
    }
    // A text value counts 0: no bar.
    EXPECT_DOUBLE_EQ(row(1, 0).bar->frame().width(), 0);
}

TEST_F(CompareScreenTest, BarsAreProportionalAndAZeroFirstRowShowsNone)
{
    choose({ "iPhone7,2", "iPad4,1", "iPhone8,1" });
    open();
    // Processor: 1.85, 1.4, 0 GHz.
    auto fastest = row(0, 0);
    auto slower = row(0, 1);
    auto zero = row(0, 2);
    ASSERT_TRUE(fastest.bar && slower.bar && zero.bar);
    double room = fastest.cell->contentView()->bounds().width() - 136 - 8;
    EXPECT_DOUBLE_EQ(fastest.bar->frame().width(), room);
    EXPECT_DOUBLE_EQ(slower.bar->frame().width(), std::ceil(room * 1.4 / 1.85));
    EXPECT_DOUBLE_EQ(zero.bar->frame().width(), 0);
    // GPU: three texts, all 0.
    for (int item = 0; item < 3; ++item)
        EXPECT_DOUBLE_EQ(row(1, item).bar->frame().width(), 0) << item;
    // A model that lacks a key path joins as "n/a".
    EXPECT_EQ(row(2, 2).value->text(), "n/a");
}

TEST_F(CompareScreenTest, AFigureThatWrapsStaysOnItsBar)
{
    for (const char* device : { "iphone-4s", "iphone-6", "ipad-2" }) {
        SCOPED_TRACE(device);
        const bool pad = std::string_view(device) == "ipad-2";
        choose({ "Framework Laptop 13", "iPhone7,2" });
        open(device);
        ASSERT_EQ(headers(), (std::vector<std::string> { "Processor", "GPU", "Onboard RAM", "Weight", "Display", "Dimensions" }));
        const double line = compare->textStyles().value.font->lineHeight();
        auto textFrame
            = [](const kit::Label& label) { return label.textRect().offsetBy(label.frame().minX(), label.frame().minY()); };
        // A one-line figure keeps its one-line bar.
        auto weight = row(3, 0);
        ASSERT_TRUE(weight.bar && weight.value);
        EXPECT_EQ(weight.value->text(), "1300 g");
        EXPECT_DOUBLE_EQ(weight.bar->frame().height(), line + 2);

        // The laptop's dimensions wrap on phones; every line lies on the bar, inside the row.
        auto dimensions = row(5, 0);
        ASSERT_TRUE(dimensions.bar && dimensions.value);
        kit::Rect text = textFrame(*dimensions.value);
        int lines = static_cast<int>(std::lround(text.height() / line));
        EXPECT_EQ(lines, pad ? 1 : 2);
        EXPECT_TRUE(dimensions.bar->frame().contains(text))
            << "text " << text.minY() << " to " << text.maxY() << ", bar " << dimensions.bar->frame().minY() << " to "
            << dimensions.bar->frame().maxY();
        EXPECT_DOUBLE_EQ(dimensions.bar->frame().height(), lines * line + 2);
        EXPECT_LE(dimensions.bar->frame().maxY(), dimensions.cell->contentView()->bounds().height());
        ASSERT_TRUE(host->writePNG(snapshotPath(std::string("long-figure-") + device)).ok());

        // A second part keeps to its own lines under the bar.
        auto display = row(4, 0);
        ASSERT_TRUE(display.bar && display.value);
        text = textFrame(*display.value);
        double figureLines = std::round((display.bar->frame().height() - 2) / line);
        EXPECT_EQ(figureLines, pad ? 1 : 2);
        double detailLine = compare->textStyles().valueDetail.font->lineHeight();
        EXPECT_GE(text.maxY() - detailLine, display.bar->frame().maxY() - 2);

        kit::Animator::shared().cancelAll();
        compare.reset();
        navigation.reset();
        host.reset();
        delegate.window.reset();
        delegate.root.reset();
    }
}

TEST(CompareValueBar, WidthStaysWithinItsRoomWhateverTheFigures)
{
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, 5, 5), 231);
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, 1, 2), 116) << "115.5 rounded up";
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, 0, 0), 0);
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, -3, 0), 0) << "m = 1 for a zero first row";
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, -5, -1), 0) << "negative figures draw no bar past the cell";
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, HUGE_VAL, HUGE_VAL), 0);
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(231, 7, HUGE_VAL), 0);
    EXPECT_DOUBLE_EQ(CompareController::valueBarWidth(-20, 1, 1), 0);
}

TEST_F(CompareScreenTest, EmptyStoredListShowsAnEmptyTableAndIsNotRestored)
{
    choose({});
    open();
    EXPECT_EQ(compare->numberOfSectionsInTableView(table()), 0);
    EXPECT_EQ(table().numberOfSections(), 0);
    EXPECT_EQ(defaults().stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), Keys {});
    // A model dropped by a data update stays stored and shows nothing.
    choose({ "iPhone4,1" });
    compare->updateCompareData();
    EXPECT_EQ(table().numberOfSections(), 0);
    EXPECT_EQ(defaults().stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), (Keys { "iPhone4,1" }));
}

TEST_F(CompareScreenTest, RowsAreAsTallAsTheirTextUpToThirtyLines)
{
    choose({ "iPhone7,2", "iPhone8,1" });
    open();
    kit::IndexPath first { 0, 0 };
    double height = compare->heightForRowAtIndexPath(table(), first);
    EXPECT_DOUBLE_EQ(height, 2 * 8 + std::max(compare->firstSize().height, compare->secondSize().height));
    EXPECT_DOUBLE_EQ(compare->firstSize().width, 124);
    EXPECT_DOUBLE_EQ(compare->secondSize().width, 375 - 8 - 3 * 8 - 124);
    double line = compare->textStyles().name.font->lineHeight();
    EXPECT_GE(compare->firstSize().height, line);
    EXPECT_LT(compare->firstSize().height, 2 * line + 2) << "one name is one line";

    // A hundred lines are measured as thirty.
    kit::AttributedString tall;
    for (int i = 0; i < 100; ++i)
        tall.append("line\n", compare->textStyles().name);
    compare->calcSizesForString(tall, kit::AttributedString("1"), 367);
    EXPECT_LE(compare->firstSize().height, std::ceil(30 * line) + 1);
    EXPECT_GE(compare->firstSize().height, std::ceil(29 * line));
}

TEST_F(CompareScreenTest, HeadersShowTheKeyPathNameOnTheHeaderImage)
{
    choose({ "iPhone7,2" });
    open();
    EXPECT_DOUBLE_EQ(compare->heightForHeaderInSection(table(), 0), 30);
    auto header = compare->viewForHeaderInSection(table(), 3);
    EXPECT_EQ(header->frame(), (kit::Rect { 0, 0, table().bounds().width(), 30 }));
    ASSERT_EQ(header->subviews().size(), 1u);
    auto* label = dynamic_cast<kit::Label*>(header->subviews()[0].get());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Weight");
    EXPECT_EQ(label->frame(), (kit::Rect { 8, 0, table().bounds().width() - 16, 30 }));
}

TEST_F(CompareScreenTest, TabletRotationMovesTheMarginsAndKeepsTheListButtonOnTheCorner)
{
    choose({ "iPhone7,2", "iPad4,1" });
    open("ipad-2");
    EXPECT_TRUE(navigation->isNavigationBarHidden());
    kit::Button* button = compare->compareListButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->title(), kit::Bundle::mainBundle().localizedString("ComparisonModelsListEdit"));
    expectFrame(table().frame(), { 76.8, 51.2, 614.4, 921.6 }, "portrait: 10 % margins");
    EXPECT_DOUBLE_EQ(button->frame().maxX(), table().frame().maxX());
    EXPECT_DOUBLE_EQ(button->frame().maxY(), table().frame().minY());
    EXPECT_DOUBLE_EQ(table().cornerRadius(), 4);

    ASSERT_TRUE(host->rotate());
    // The new frame is set at once and drawn moving there over the rotation.
    expectFrame(table().frame(), { 204.8, 38.4, 614.4, 691.2 }, "landscape: 20 % margins");
    advance(kit::HostCore::kRotationDuration / 2);
    double midway = table().presentation().center.x - table().presentation().bounds.width() / 2;
    EXPECT_GT(midway, 76.8);
    EXPECT_LT(midway, 204.8);
    advance(kit::HostCore::kRotationDuration);
    EXPECT_DOUBLE_EQ(button->frame().maxX(), table().frame().maxX());
    EXPECT_DOUBLE_EQ(button->frame().maxY(), table().frame().minY());

    // A popover pointing at the list button follows it to its new place.
    auto other = kit::ViewController::create<kit::ViewController>();
    kit::Rect rect;
    kit::View* anchor = nullptr;
    compare->willRepositionPopoverToRect(*kit::PopoverPresentationController::forController(*other), rect, anchor);
    EXPECT_EQ(anchor, compare->view());
    EXPECT_EQ(rect, button->frame());

    // Back to portrait: 10 % again.
    ASSERT_TRUE(host->rotate());
    advance(kit::HostCore::kRotationDuration + 0.1);
    expectFrame(table().frame(), { 76.8, 51.2, 614.4, 921.6 }, "portrait again");
    // The tablet's wider columns.
    auto views = row(0, 0);
    ASSERT_TRUE(views.models);
    EXPECT_DOUBLE_EQ(views.models->frame().minX(), 12);
    EXPECT_DOUBLE_EQ(views.models->frame().width(), 200);
    EXPECT_DOUBLE_EQ(views.value->frame().minX(), 224);
}

TEST_F(CompareScreenTest, PhoneIgnoresTheTabletLayout)
{
    open();
    kit::Rect before = table().frame();
    EXPECT_FALSE(host->rotate());
    compare->updateOrientationAndAnimateDuration(0.3);
    EXPECT_EQ(table().frame(), before);
    EXPECT_EQ(compare->compareListButton(), nullptr);
    auto* edit = dynamic_cast<kit::BarButtonItem*>(compare->navigationItem().rightView.get());
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->systemItemKind(), kit::BarButtonItem::SystemItem::Edit);
}

TEST_F(CompareScreenTest, OnlyAReturnFromTheBackgroundRebuilds)
{
    choose({ "iPhone7,2" });
    open();
    ASSERT_EQ(compare->dataModel().at(0)[ComparisonBuilder::kRowsKey].count(), 1u);

    // An interruption that leaves the application in the foreground.
    host->resignActive();
    choose({ "iPhone7,2", "iPhone8,1" });
    host->becomeActive();
    EXPECT_FALSE(compare->wasInactive());
    EXPECT_EQ(compare->dataModel().at(0)[ComparisonBuilder::kRowsKey].count(), 1u);

    host->enterBackground();
    EXPECT_TRUE(compare->wasInactive());
    host->becomeActive();
    EXPECT_FALSE(compare->wasInactive());
    EXPECT_EQ(compare->dataModel().at(0)[ComparisonBuilder::kRowsKey].count(), 2u);
    EXPECT_EQ(table().numberOfRowsInSection(0), 2);

    // A new data set alone does not rebuild: it shows at the next occasion.
    choose({ "iPad4,1" });
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, &DataKeeper::sharedKeeper());
    EXPECT_EQ(compare->dataModel().at(0)[ComparisonBuilder::kRowsKey].count(), 2u);
}

TEST_F(CompareScreenTest, PhoneEditPushesTheListAndComingBackRebuilds)
{
    choose({ "iPhone7,2", "iPhone8,1" });
    open();
    auto* edit = compare->navigationItem().rightView.get();
    ASSERT_TRUE(edit);
    tap(*edit);
    advance(kit::NavigationController::kTransitionDuration + 0.1);
    auto* list = dynamic_cast<CompareListController*>(navigation->topViewController());
    ASSERT_TRUE(list) << "the list is pushed on the Compare tab's stack";
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(list->tableView()->style(), kit::TableViewStyle::Grouped);

    deleteFirstModel(*list);
    EXPECT_EQ(defaults().stringArrayForKey(ComparisonBuilder::kSelectedModelsKey), (Keys { "iPhone8,1" }));
    EXPECT_EQ(rowsInFirstSection(), 2u) << "nothing is rebuilt while the list is up";

    auto* back = navigation->navigationBar()->backButton();
    ASSERT_TRUE(back);
    tap(*back);
    advance(kit::NavigationController::kTransitionDuration + 0.1);
    EXPECT_EQ(navigation->topViewController(), compare.get());
    EXPECT_EQ(rowsInFirstSection(), 1u);
    EXPECT_EQ(table().numberOfRowsInSection(0), 1);
    EXPECT_EQ(row(0, 0).models->text(), "iPhone 6s");
}

TEST_F(CompareScreenTest, TabletListOpensInAPopoverAndATapOutsideRebuilds)
{
    choose({ "iPhone7,2", "iPhone8,1" });
    open("ipad-2");
    kit::Button* button = compare->compareListButton();
    ASSERT_TRUE(button);
    tap(*button);
    advance(0.4);
    kit::PopoverPresentationController* popover = compare->compareListPopoverController();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isPresented());
    EXPECT_EQ(popover->sourceView(), compare->view());
    EXPECT_EQ(popover->sourceRect(), button->frame());
    EXPECT_EQ(popover->permittedArrowDirections(), unsigned(kit::PopoverArrowDirectionAny));
    auto* listNavigation = dynamic_cast<kit::NavigationController*>(compare->presentedViewController());
    ASSERT_TRUE(listNavigation);
    EXPECT_EQ(listNavigation->navigationBar()->barStyle(), navigation->navigationBar()->barStyle());
    auto* list = dynamic_cast<CompareListController*>(listNavigation->topViewController());
    ASSERT_TRUE(list);

    // Asked again while it is up, the screen opens no second list over the first.
    compare->prepareSelectedModels();
    EXPECT_EQ(compare->compareListPopoverController(), popover);
    EXPECT_EQ(compare->presentedViewController(), listNavigation);

    deleteFirstModel(*list);
    EXPECT_EQ(rowsInFirstSection(), 2u);
    host->tap({ 100, 900 });
    advance(0.4);
    EXPECT_EQ(compare->compareListPopoverController(), nullptr);
    EXPECT_EQ(compare->presentedViewController(), nullptr);
    EXPECT_EQ(rowsInFirstSection(), 1u) << "the dismissal rebuilds the comparison";
    EXPECT_EQ(table().numberOfRowsInSection(0), 1);

    // Opened again, it works as the first time.
    tap(*button);
    advance(0.4);
    ASSERT_TRUE(compare->compareListPopoverController());
    EXPECT_TRUE(compare->compareListPopoverController()->isPresented());
}

TEST(CompareTab, ComesLastInABlackNavigationBar)
{
    auto tabs = MainController::tabs();
    ASSERT_FALSE(tabs.empty());
    const auto& tab = tabs.back();
    EXPECT_STREQ(tab.snapshotName, "compare");
    EXPECT_STREQ(tab.imageName, "compareTabBarIcon");
    auto screen = tab.make();
    auto* navigation = screen->asNavigationController();
    ASSERT_TRUE(navigation);
    EXPECT_EQ(navigation->navigationBar()->barStyle(), kit::BarStyle::Black);
    ASSERT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_TRUE(dynamic_cast<CompareController*>(navigation->topViewController()));
    EXPECT_EQ(screen->title(), navigation->topViewController()->title());
}

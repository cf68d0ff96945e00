// SPDX-License-Identifier: MIT
#include "CompareTestSupport.h"

#include "kit/ui/SegmentedControl.h"

using compare_test::CompareScreenTest;

namespace {

// Rows of the standard data set.
constexpr int kFirstIPhoneRow = 10;
int rowOf(std::string_view key)
{
    auto models = compare_test::standardModels();
    for (std::size_t i = 0; i < models.size(); ++i)
        if (models[i].key == key)
            return static_cast<int>(i);
    return -1;
}

class ModelPickerTest : public CompareScreenTest {
protected:
    // Opens the picker from the list: from a model row (replace) or from the add row.
    ModelPickerController& openPicker(int listRow)
    {
        tapRow(listTable(), listRow);
        // Looked at before the push has slid in: the first scroll is not animated.
        auto* opened = picker();
        EXPECT_NE(opened, nullptr);
        if (opened) {
            offsetOnAppearing = opened->tableView()->contentOffset().y;
            scrollAnimatingOnAppearing = opened->tableView()->isScrollAnimating();
        }
        settle();
        return *opened;
    }
    kit::TableView& table() { return *picker()->tableView(); }
    double offset() { return table().contentOffset().y; }
    double rowTop(int row) { return table().rectForRowAtIndexPath(kit::IndexPath::forRow(row, 0)).minY(); }
    void tapSegment(std::string_view title)
    {
        auto& control = *picker()->familyControl();
        for (int i = 0; i < control.numberOfSegments(); ++i)
            if (control.titleForSegmentAtIndex(i) == title)
                host->tap(control.convertPointTo(control.segmentFrame(i).center(), nullptr));
    }

    double offsetOnAppearing = -1;
    bool scrollAnimatingOnAppearing = true;
};

} // namespace

TEST(ModelPickerJump, FindsTheFirstLabelBeginningWithTheTitleCaseSensitively)
{
    std::vector<kit::AttributedString> labels { kit::AttributedString("Mac mini"), kit::AttributedString("iPadding"),
        kit::AttributedString("iPad Air"), kit::AttributedString("iPhone 6") };
    EXPECT_EQ(ModelPickerController::firstRowWithPrefix(labels, "iPad"), std::optional<std::size_t>(1));
    EXPECT_EQ(ModelPickerController::firstRowWithPrefix(labels, "iPhone"), std::optional<std::size_t>(3));
    EXPECT_EQ(ModelPickerController::firstRowWithPrefix(labels, "ipad"), std::nullopt);
    EXPECT_EQ(ModelPickerController::firstRowWithPrefix(labels, "iPod touch"), std::nullopt);
    EXPECT_EQ(ModelPickerController::firstRowWithPrefix({}, "iPad"), std::nullopt);
}

TEST_F(ModelPickerTest, ReplacingScrollsTheReplacedModelToTheTopWithoutAnimation)
{
    storeSelection({ "iPad2,1", "iPhone1,1", "iPad7,1", "iPad5,1" });
    showList();
    auto& opened = openPicker(2);
    EXPECT_EQ(opened.currentModelKey(), std::optional<std::string>("iPad7,1"));
    EXPECT_EQ(opened.title(), "Choose a model");
    ASSERT_GT(rowTop(rowOf("iPad7,1")), 0);
    EXPECT_DOUBLE_EQ(offset(), rowTop(rowOf("iPad7,1")));
    EXPECT_DOUBLE_EQ(offsetOnAppearing, rowTop(rowOf("iPad7,1")));
    EXPECT_FALSE(scrollAnimatingOnAppearing);
    EXPECT_EQ(table().numberOfRowsInSection(0), 26);
    navigation->popViewController(false);
    settle();

    // A model near the end: the list ends at the bottom of the screen below the bar, as far as
    // the rows allow.
    storeSelection({ "iPhone9,1" });
    list->viewWillAppear(false);
    openPicker(0);
    double end = table().contentSize().height - table().bounds().height();
    ASSERT_LT(end, rowTop(rowOf("iPhone9,1")));
    EXPECT_DOUBLE_EQ(offsetOnAppearing, end);
    EXPECT_DOUBLE_EQ(offset(), end);
}

TEST_F(ModelPickerTest, AddingScrollsToTheSelectionsLastModelAndAnEmptySelectionStartsAtTheTop)
{
    storeSelection({ "iPhone3,2", "iPad6,1" });
    showList();
    openPicker(2);
    EXPECT_DOUBLE_EQ(offset(), rowTop(rowOf("iPad6,1")));
    EXPECT_DOUBLE_EQ(offsetOnAppearing, rowTop(rowOf("iPad6,1")));
    navigation->popViewController(false);
    settle();

    // The last key of the selection is no model of the data set: no scroll.
    storeSelection({ "iPhone3,2", "iPhone99,9" });
    list->viewWillAppear(false);
    openPicker(2);
    EXPECT_DOUBLE_EQ(offset(), 0);
    navigation->popViewController(false);
    settle();

    storeSelection({});
    list->viewWillAppear(false);
    openPicker(0);
    EXPECT_DOUBLE_EQ(offset(), 0);
}

TEST_F(ModelPickerTest, AChosenModelIsDimmedAndRefusedAndThePickerStaysOpen)
{
    auto keys = std::vector<std::string> { "iPad1,1", "iPad2,1", "iPad3,1" };
    storeSelection(keys);
    showList();
    auto& opened = openPicker(0);
    auto* chosen = cell(table(), 1);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->detailTextLabel()->text(), "Already chosen");
    EXPECT_EQ(chosen->textLabel()->textColor(), CompareListController::kDimmedTextColor);
    EXPECT_EQ(chosen->selectionStyle(), kit::TableViewCellSelectionStyle::None);
    auto* free = cell(table(), 4);
    EXPECT_EQ(free->detailTextLabel()->text(), "");
    EXPECT_EQ(free->textLabel()->textColor(), CompareListController::kTextColor);

    tapRow(table(), 1);
    settle();
    // The model being replaced is refused too.
    tapRow(table(), 0);
    settle();
    EXPECT_EQ(picker(), &opened);
    EXPECT_EQ(stored(), keys);
    EXPECT_EQ(opened.selectedModelsKeys(), keys);
}

TEST_F(ModelPickerTest, AReplacementKeepsTheLengthAndTheIndexAndTheListShowsIt)
{
    storeSelection({ "iPad1,1", "iPad2,1", "iPad3,1" });
    showList();
    openPicker(1);
    tapRow(table(), rowOf("iPhone5,2"));
    settle();
    EXPECT_EQ(stored(), (std::vector<std::string> { "iPad1,1", "iPhone5,2", "iPad3,1" }));
    ASSERT_EQ(navigation->topViewController(), list.get());
    EXPECT_EQ(rowText(listTable(), 1), "iPhone 5 CDMA");
    EXPECT_EQ(listTable().numberOfRowsInSection(0), 4);
}

TEST_F(ModelPickerTest, AddingAppendsAndTheAddRowGoesAtTheLimit)
{
    auto six = firstKeys(6);
    storeSelection(six);
    showList();
    openPicker(6);
    tapRow(table(), rowOf("iPhone1,1"));
    settle();
    six.push_back("iPhone1,1");
    EXPECT_EQ(stored(), six);
    EXPECT_EQ(listTable().numberOfRowsInSection(0), 7);
    EXPECT_EQ(rowText(listTable(), 6), "iPhone");
}

TEST_F(ModelPickerTest, AFamilyWithoutAMatchLeavesTheTableWhereItIs)
{
    storeSelection({ "iPad4,1" });
    showList();
    openPicker(1);
    double before = offset();
    ASSERT_GT(before, 0);
    tapSegment("iPod touch");
    settle();
    EXPECT_DOUBLE_EQ(offset(), before);
    EXPECT_EQ(picker()->familyControl()->selectedSegmentIndex(), kit::SegmentedControl::kNoSegment);
}

TEST_F(ModelPickerTest, EveryTapOnAFamilyJumpsTheSameSegmentAgainIncluded)
{
    showList();
    openPicker(0);
    ASSERT_DOUBLE_EQ(offset(), 0);
    tapSegment("iPhone");
    // Animated: still on the way right after the tap.
    EXPECT_TRUE(table().isScrollAnimating());
    settle();
    EXPECT_DOUBLE_EQ(offset(), rowTop(kFirstIPhoneRow));

    table().setContentOffset({ 0, 0 }, false);
    tapSegment("iPhone");
    settle();
    EXPECT_DOUBLE_EQ(offset(), rowTop(kFirstIPhoneRow));

    tapSegment("iPad");
    settle();
    EXPECT_DOUBLE_EQ(offset(), 0);
}

TEST_F(ModelPickerTest, AModelWithoutADetailNameShowsItsNameAlone)
{
    showList();
    auto& opened = openPicker(0);
    ASSERT_GT(opened.dataModel().size(), std::size_t(rowOf("iPhone1,1")));
    EXPECT_EQ(opened.dataModel()[rowOf("iPhone1,1")].string(), "iPhone");
    EXPECT_EQ(opened.dataModel()[rowOf("iPhone2,1")].string(), "iPhone 2 GSM");
}

TEST_F(ModelPickerTest, TheWorkingCopyIsReadOnceAndTheLabelsAtEachAppearance)
{
    storeSelection({ "iPad1,1" });
    showList();
    auto& opened = openPicker(1);
    // Changed behind the picker's back: the picker keeps its copy.
    storeSelection({ "iPad2,1" });
    opened.viewWillAppear(false);
    EXPECT_EQ(opened.selectedModelsKeys(), std::vector<std::string> { "iPad1,1" });

    // A data update renames a model: the next appearance shows the new name.
    auto models = compare_test::standardModels();
    models[static_cast<std::size_t>(rowOf("iPad3,1"))].name = "iPad Three";
    kit::Dict data;
    for (const auto& model : models)
        data[model.key] = kit::Dict { { "Name", model.name }, { "DetailName", "Wi-Fi" } };
    auto bytes = kit::PropertyList::write(kit::Value(std::move(data)));
    ASSERT_TRUE(bytes.ok());
    ASSERT_TRUE(kit::FileManager::writeFileAtomically(*DataKeeper::specsInWorkingDirectoryPath(), *bytes).ok());
    DataKeeper::sharedKeeper().dropCachedData();
    opened.viewWillAppear(false);
    EXPECT_EQ(opened.dataModel()[static_cast<std::size_t>(rowOf("iPad3,1"))].string(), "iPad Three Wi-Fi");

    tapRow(table(), rowOf("iPad3,1"));
    settle();
    EXPECT_EQ(stored(), (std::vector<std::string> { "iPad1,1", "iPad3,1" }));
}

TEST_F(ModelPickerTest, Snapshots)
{
    useDataSetAt(QUARRIN_SOURCE_DIR "/resources/specs.plist");
    for (const char* device : { "iphone-6", "ipad-2" }) {
        storeSelection({ "iPhone7,2", "iPad4,1", "iPhone9,1" });
        showList(device, 2);
        // As the Compare tab shows it.
        navigation->navigationBar()->setBarStyle(kit::BarStyle::Black);
        // From the second row: replacing "iPad4,1", the picker opens on it.
        openPicker(1);
        std::string path = compare_test::snapshotPath(std::string("picker-") + device);
        ASSERT_TRUE(host->writePNG(path).ok()) << path;
        const auto& keys = DataKeeper::sortedModelsKeys();
        int replaced = static_cast<int>(std::find(keys.begin(), keys.end(), "iPad4,1") - keys.begin());
        auto* top = cell(table(), replaced);
        ASSERT_NE(top, nullptr) << device;
        EXPECT_EQ(top->detailTextLabel()->text(), "Already chosen") << device;
        // The replaced model stands at the top of the visible rows.
        EXPECT_NEAR(top->convertPointTo({ 0, 0 }, nullptr).y, table().convertPointTo({ 0, offset() }, nullptr).y, 0.5) << device;
        closeHost();
    }
}

TEST_F(ModelPickerTest, AKeyMissingFromTheDataCanBeReplacedInItsPlace)
{
    storeSelection({ "iPhone99,9", "iPad1,1" });
    showList();
    auto& opened = openPicker(0);
    EXPECT_EQ(opened.currentModelKey(), std::optional<std::string>("iPhone99,9"));
    // Not among the rows: the list starts at the top.
    EXPECT_DOUBLE_EQ(offset(), 0);
    tapRow(table(), rowOf("iPad2,1"));
    settle();
    EXPECT_EQ(stored(), (std::vector<std::string> { "iPad2,1", "iPad1,1" }));
    EXPECT_EQ(rowText(listTable(), 0), "iPad 2 Wi-Fi");
}

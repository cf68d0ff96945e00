// SPDX-License-Identifier: MIT
#include "CompareTestSupport.h"

#include "kit/base/Log.h"

using compare_test::CompareScreenTest;

namespace {

constexpr const char* kAddRowText = "Add model…";

std::vector<std::string> without(std::vector<std::string> keys, std::size_t index)
{
    keys.erase(keys.begin() + static_cast<long>(index));
    return keys;
}

class CompareListTest : public CompareScreenTest {
protected:
    void SetUp() override
    {
        CompareScreenTest::SetUp();
        logged().clear();
        kit::Log::setCaptureHook([](std::string_view line) { logged().emplace_back(line); });
    }
    void TearDown() override
    {
        kit::Log::setCaptureHook(nullptr);
        CompareScreenTest::TearDown();
    }

    int rows() { return listTable().numberOfRowsInSection(0); }
    kit::TableViewCellEditingStyle style(int row)
    {
        return list->editingStyleForRowAtIndexPath(listTable(), kit::IndexPath::forRow(row, 0));
    }
    std::string footer() { return list->footerLabel()->text(); }

    static std::vector<std::string>& logged()
    {
        static std::vector<std::string> lines;
        return lines;
    }
};

} // namespace

TEST(CompareListFooter, TakesTheLimitFirstAndTheCountSecond)
{
    using C = CompareListController;
    EXPECT_EQ(C::restrictionText("Up to %ld models, %ld chosen", 7, 6), "Up to 7 models, 6 chosen");
    EXPECT_EQ(C::restrictionText("%d/%i", 12, 0), "12/0");
    // Positional conversions let a translation name the count first.
    EXPECT_EQ(C::restrictionText("%2$ld of %1$ld", 7, 9), "9 of 7");
    EXPECT_EQ(C::restrictionText("%@ and %lu, 100%%", 7, 3), "7 and 3, 100%");
    // Conversions that cannot take a number, and a third number, stay as written.
    EXPECT_EQ(C::restrictionText("%s %d %d %d", 7, 1), "%s 7 1 %d");
    EXPECT_EQ(C::restrictionText("%3$d %0$d %", 7, 1), "%3$d %0$d %");
    EXPECT_EQ(C::restrictionText("", 7, 1), "");
}

TEST_F(CompareListTest, SixModelsOnAPhoneEndWithTheAddRowAndSevenHideIt)
{
    storeSelection(firstKeys(6));
    showList();
    ASSERT_EQ(rows(), 7);
    EXPECT_EQ(rowText(listTable(), 0), "iPad 1 Wi-Fi");
    EXPECT_EQ(rowText(listTable(), 6), kAddRowText);
    EXPECT_EQ(style(5), kit::TableViewCellEditingStyle::Delete);
    EXPECT_EQ(style(6), kit::TableViewCellEditingStyle::Insert);
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 6 chosen.");
    EXPECT_TRUE(listTable().isEditing());
    EXPECT_EQ(list->title(), "Models");

    // The list is read afresh each time the screen appears.
    storeSelection(firstKeys(7));
    list->viewWillAppear(false);
    settle();
    EXPECT_EQ(rows(), 7);
    EXPECT_EQ(rowText(listTable(), 6), "iPad 7 Wi-Fi");
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 7 chosen.");
}

TEST_F(CompareListTest, DeletingOneOfSevenBringsTheAddRowBackInTheSameBatch)
{
    auto seven = firstKeys(7);
    storeSelection(seven);
    showList();
    ASSERT_EQ(rows(), 7);

    deleteRow(2);
    // The table checks the batch's counts against the data source: a mismatch is logged and
    // turned into a reload.
    EXPECT_TRUE(logged().empty()) << logged().front();
    EXPECT_EQ(rows(), 7);
    EXPECT_EQ(list->dataModel().size(), 6u);
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 6 chosen.");
    EXPECT_EQ(stored(), without(seven, 2));
    settle();
    EXPECT_EQ(rowText(listTable(), 2), "iPad 4 Wi-Fi");
    EXPECT_EQ(rowText(listTable(), 6), kAddRowText);
    EXPECT_EQ(style(6), kit::TableViewCellEditingStyle::Insert);

    // Down to nothing: an empty list is stored, not forgotten.
    for (int left = 6; left > 0; --left) {
        deleteRow(0);
        settle();
    }
    EXPECT_TRUE(logged().empty()) << logged().front();
    EXPECT_EQ(stored(), std::vector<std::string> {});
    EXPECT_EQ(rows(), 1);
}

TEST_F(CompareListTest, GermanTextsComeFromTheGermanTable)
{
    useLanguage("de");
    storeSelection({ "iPhone99,9" });
    showList();
    EXPECT_EQ(list->title(), "Modelle");
    EXPECT_EQ(rowText(listTable(), 0), "iPhone99,9 Nicht in den aktuellen Daten");
    EXPECT_EQ(rowText(listTable(), 1), "Modell hinzufügen…");
    EXPECT_EQ(footer(), "Bis zu 7 Modelle lassen sich vergleichen. 1 gewählt.");
}

TEST_F(CompareListTest, ATabletKeepsTheAddRowUntilTwelve)
{
    storeSelection(firstKeys(11));
    showList("ipad-2");
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(rowText(listTable(), 11), kAddRowText);
    EXPECT_EQ(footer(), "Up to 12 models can be compared. 11 chosen.");

    storeSelection(firstKeys(12));
    list->viewWillAppear(false);
    settle();
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(style(11), kit::TableViewCellEditingStyle::Delete);

    deleteRow(11);
    EXPECT_TRUE(logged().empty()) << logged().front();
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(stored(), firstKeys(11));
}

TEST_F(CompareListTest, AnEmptyListStaysEmptyAndNothingStoredWritesNothing)
{
    showList();
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(rowText(listTable(), 0), kAddRowText);
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 0 chosen.");
    EXPECT_FALSE(defaults().hasKey("kSelectedModelsKey"));

    storeSelection({});
    list->viewWillAppear(false);
    settle();
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(stored(), std::vector<std::string> {});
}

TEST_F(CompareListTest, NineStoredOnAPhoneAreShownWholeAndDeletingOneAddsNoRow)
{
    auto nine = firstKeys(9);
    storeSelection(nine);
    showList();
    EXPECT_EQ(rows(), 9);
    EXPECT_EQ(style(8), kit::TableViewCellEditingStyle::Delete);
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 9 chosen.");

    listTable().scrollToRowAtIndexPath(kit::IndexPath::forRow(8, 0), kit::TableViewScrollPosition::None, false);
    deleteRow(8);
    EXPECT_TRUE(logged().empty()) << logged().front();
    EXPECT_EQ(rows(), 8);
    EXPECT_EQ(stored(), without(nine, 8));
    EXPECT_EQ(footer(), "Up to 7 models can be compared. 8 chosen.");
}

TEST_F(CompareListTest, TheInsertControlAndTheAddRowBothOpenThePickerToAdd)
{
    storeSelection(firstKeys(2));
    showList();
    auto* addCell = cell(listTable(), 2);
    ASSERT_NE(addCell, nullptr);
    tapInCell(*addCell, addCell->editingControlFrame());
    settle();
    ASSERT_NE(picker(), nullptr);
    EXPECT_FALSE(picker()->currentModelKey());
    EXPECT_EQ(picker()->selectedModelsKeys(), firstKeys(2));

    navigation->popViewController(false);
    settle();
    ASSERT_EQ(navigation->topViewController(), list.get());
    tapRow(listTable(), 2);
    settle();
    ASSERT_NE(picker(), nullptr);
    EXPECT_FALSE(picker()->currentModelKey());
}

TEST_F(CompareListTest, AModelRowOpensThePickerToReplaceThatRowsModel)
{
    auto keys = std::vector<std::string> { "iPhone5,1", "iPad3,1", "iPhone2,2" };
    storeSelection(keys);
    showList();
    tapRow(listTable(), 1);
    settle();
    ASSERT_NE(picker(), nullptr);
    EXPECT_EQ(picker()->currentModelKey(), std::optional<std::string>("iPad3,1"));
    // Leaving with the back button stores nothing and the list comes back as it was.
    navigation->popViewController(true);
    settle();
    EXPECT_EQ(stored(), keys);
    EXPECT_EQ(rowText(listTable(), 1), "iPad 3 Wi-Fi");
    EXPECT_EQ(listTable().indexPathForSelectedRow(), std::nullopt);
}

TEST_F(CompareListTest, AKeyMissingFromTheDataIsShownDimmedAndCanBeDeleted)
{
    storeSelection({ "iPhone1,1", "iPhone99,9", "iPad2,1" });
    showList();
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(rowText(listTable(), 0), "iPhone");
    EXPECT_EQ(rowText(listTable(), 1), "iPhone99,9 Not in the current data");
    auto label = list->dataModel()[1][CompareListController::kRowFirstItemKey].objectAs<kit::AttributedString>();
    ASSERT_TRUE(label);
    for (const auto& run : label->runs())
        EXPECT_EQ(run.attributes.foregroundColor, CompareListController::kDimmedTextColor) << run.text;
    // A present model keeps the cell's own colour.
    auto present = list->dataModel()[2][CompareListController::kRowFirstItemKey].objectAs<kit::AttributedString>();
    EXPECT_FALSE(present->runs().front().attributes.foregroundColor);

    deleteRow(1);
    EXPECT_EQ(stored(), (std::vector<std::string> { "iPhone1,1", "iPad2,1" }));
}

TEST_F(CompareListTest, EntriesThatAreNotKeysAreLeftOutAndIndexesStayAligned)
{
    defaults().setObject(kit::Array { "iPad1,1", 42, "iPad2,1", kit::Dict {}, "iPad3,1" }, "kSelectedModelsKey");
    showList();
    ASSERT_EQ(list->dataModel().size(), 3u);
    deleteRow(1);
    EXPECT_EQ(stored(), (std::vector<std::string> { "iPad1,1", "iPad3,1" }));

    // A stored value that is not a list counts as nothing stored.
    defaults().setObject(kit::Value("iPad1,1"), "kSelectedModelsKey");
    list->viewWillAppear(false);
    settle();
    EXPECT_EQ(rows(), 1);
}

TEST_F(CompareListTest, Snapshots)
{
    useDataSetAt(QUARRIN_SOURCE_DIR "/resources/specs.plist");
    const std::vector<std::string> seven { "iPhone7,2", "iPhone9,1", "iPhone8,4", "iPad4,1", "iPad6,7", "iPod7,1", "iPhone99,9" };
    for (const char* device : { "iphone-6", "ipad-2" }) {
        for (std::size_t count : { 3u, 7u }) {
            storeSelection(std::vector<std::string>(seven.begin(), seven.begin() + static_cast<long>(count)));
            showList(device, 2);
            // As the Compare tab shows it.
            navigation->navigationBar()->setBarStyle(kit::BarStyle::Black);
            std::string path = compare_test::snapshotPath("list-" + std::to_string(count) + "-" + device);
            ASSERT_TRUE(host->writePNG(path).ok()) << path;
            bool pad = std::string_view(device) == "ipad-2";
            EXPECT_EQ(rows(), pad || count < 7 ? int(count) + 1 : 7) << device;
            if (pad) {
                // Below the footer the table's own colour shows, not the launch picture.
                kit::Rect below = listTable().convertRectTo(listTable().bounds(), nullptr);
                EXPECT_TRUE(
                    kit::test::near(pixelAt({ below.midX(), below.maxY() - 10 }), CompareListController::kTabletBackgroundColor))
                    << kit::test::describe(pixelAt({ below.midX(), below.maxY() - 10 }));
            }
            closeHost();
        }
    }
}

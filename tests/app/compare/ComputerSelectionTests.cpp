// SPDX-License-Identifier: MIT
// Computers in the Compare selection and picker, with the bundled data set: their names as the
// rows show them, and pictures to look at.

#include "CompareTestSupport.h"

using compare_test::CompareScreenTest;

namespace {

class ComputerSelectionTest : public CompareScreenTest {
protected:
    const std::vector<std::string> computers { "Raspberry Pi 4 Model B", "Framework Laptop 13 (AMD Ryzen 7040", "LENOVO 20XW",
        "Valve Galileo" };
};

TEST_F(ComputerSelectionTest, RowsNameEachComputerAndThePickerOpensOnTheReplacedOne)
{
    useDataSetAt(QUARRIN_SOURCE_DIR "/resources/specs.plist");
    DataKeeper::setModelIdentifierForTesting(std::string("Raspberry Pi 4 Model B Rev 1.4"));
    DataKeeper::resetForTesting();
    for (const char* device : { "iphone-4s", "iphone-6", "ipad-2" }) {
        SCOPED_TRACE(device);
        storeSelection(computers);
        showList(device, 2);
        navigation->navigationBar()->setBarStyle(kit::BarStyle::Black);
        ASSERT_TRUE(host->writePNG(compare_test::snapshotPath(std::string("list-computers-") + device)).ok());
        EXPECT_EQ(rowText(listTable(), 0).rfind("Raspberry Pi 4", 0), 0u) << rowText(listTable(), 0);
        EXPECT_EQ(rowText(listTable(), 1).rfind("Framework Laptop 13", 0), 0u) << rowText(listTable(), 1);
        EXPECT_EQ(rowText(listTable(), 2).rfind("ThinkPad X1 Carbon", 0), 0u) << rowText(listTable(), 2);
        EXPECT_EQ(rowText(listTable(), 3).rfind("Steam Deck", 0), 0u) << rowText(listTable(), 3);

        // Replacing the ThinkPad: the picker opens with it at the top of the visible rows.
        tapRow(listTable(), 2);
        settle();
        auto* opened = picker();
        ASSERT_NE(opened, nullptr);
        ASSERT_TRUE(host->writePNG(compare_test::snapshotPath(std::string("picker-computers-") + device)).ok());
        const auto& keys = DataKeeper::sortedModelsKeys();
        auto row = static_cast<int>(std::find(keys.begin(), keys.end(), "LENOVO 20XW") - keys.begin());
        ASSERT_LT(row, static_cast<int>(keys.size()));
        EXPECT_EQ(opened->dataModel()[static_cast<std::size_t>(row)].string(), "ThinkPad X1 Carbon Gen 9, 20XW");
        closeHost();
    }
}

} // namespace

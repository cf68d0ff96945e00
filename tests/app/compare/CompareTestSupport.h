// SPDX-License-Identifier: MIT
#pragma once

// Shared by the selection list and picker tests: a headless window on the virtual clock, a
// private home (preferences) and a small data set written by the test.

#include "tests/kit/ui/ControllerTestSupport.h"

#include "app/compare/CompareListController.h"
#include "app/compare/ModelPickerController.h"
#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/PropertyList.h"
#include "kit/base/UserDefaults.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationController.h"
#include "kit/ui/TableView.h"
#include "tests/kit/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace compare_test {

struct Model {
    std::string key;
    std::string name;
    std::string detail; // empty: the entry has no "DetailName"
};

// Ten iPads, then sixteen iPhones in key order, and no iPod: enough rows to scroll on every
// screen. "iPhone1,1" has no detail name.
inline std::vector<Model> standardModels()
{
    std::vector<Model> models;
    for (int i = 1; i <= 9; ++i)
        models.push_back({ "iPad" + std::to_string(i) + ",1", "iPad " + std::to_string(i), "Wi-Fi" });
    models.push_back({ "iPad9,2", "iPad 9", "Cellular" });
    models.push_back({ "iPhone1,1", "iPhone", "" });
    for (int i = 2; i <= 9; ++i) {
        models.push_back({ "iPhone" + std::to_string(i) + ",1", "iPhone " + std::to_string(i), "GSM" });
        models.push_back({ "iPhone" + std::to_string(i) + ",2", "iPhone " + std::to_string(i), "CDMA" });
    }
    models.pop_back();
    return models;
}

// Where the screens' pictures are written: $QUARRIN_SNAPSHOT_DIR, else the build tree.
inline std::string snapshotPath(const std::string& name)
{
    const char* folder = std::getenv("QUARRIN_SNAPSHOT_DIR");
    std::string directory = folder && *folder ? folder : QUARRIN_BINARY_DIR "/snapshots/compare";
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return directory + "/" + name + ".png";
}

class CompareScreenTest : public kit::test::HostedControllerTest {
protected:
    void SetUp() override
    {
        kit::test::HostedControllerTest::SetUp();
        environment.set("HOME", home.path());
        environment.set("XDG_CONFIG_HOME", home.path() + "/config");
        environment.set("XDG_DATA_HOME", home.path() + "/data");
        useLanguage("en");
        kit::UserDefaults::resetStandardUserDefaults();
        DataKeeper::setApplicationSupportDirectoryForTesting(home.path() + "/support");
        DataKeeper::setModelIdentifierForTesting(std::string("iPhone7,2"));
        writeDataSet(standardModels());
    }
    void TearDown() override
    {
        kit::test::HostedControllerTest::TearDown();
        DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
        DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
        DataKeeper::setModelIdentifierForTesting(std::nullopt);
        DataKeeper::resetForTesting();
        kit::UserDefaults::resetStandardUserDefaults();
        // Read again once the environment is restored.
        kit::Bundle::mainBundle().reloadLocalizations();
    }

    void useLanguage(const std::string& language)
    {
        environment.set("LANGUAGE", language);
        kit::Bundle::mainBundle().reloadLocalizations();
    }

    // The bundle copy of the data set; the working copy is seeded from it on first use.
    void writeDataSet(const std::vector<Model>& models)
    {
        kit::Dict data;
        for (const auto& model : models) {
            kit::Dict entry { { "Name", model.name } };
            if (!model.detail.empty())
                entry["DetailName"] = model.detail;
            data[model.key] = std::move(entry);
        }
        auto bytes = kit::PropertyList::write(kit::Value(std::move(data)));
        ASSERT_TRUE(bytes.ok());
        std::string path = home.path() + "/bundle/specs.plist";
        std::filesystem::create_directories(home.path() + "/bundle");
        ASSERT_TRUE(kit::FileManager::writeFileAtomically(path, *bytes).ok());
        useDataSetAt(path);
    }
    void useDataSetAt(const std::string& path)
    {
        // The working copy of an earlier data set would win over an older bundle copy.
        std::error_code ignored;
        std::filesystem::remove(home.path() + "/support/specs.plist", ignored);
        DataKeeper::setBundleSpecsPathForTesting(path);
        DataKeeper::resetForTesting();
        DataKeeper::copyDataFromBundleIfNeeded();
    }

    kit::UserDefaults& defaults() { return kit::UserDefaults::standardUserDefaults(); }
    void storeSelection(const std::vector<std::string>& keys) { defaults().setStringArray(keys, "kSelectedModelsKey"); }
    std::optional<std::vector<std::string>> stored() { return defaults().stringArrayForKey("kSelectedModelsKey"); }

    // The first n model keys of the standard data set.
    static std::vector<std::string> firstKeys(std::size_t n)
    {
        std::vector<std::string> keys;
        for (const auto& model : standardModels())
            if (keys.size() < n)
                keys.push_back(model.key);
        return keys;
    }

    // The selection list at the root of a navigation controller, shown in the window.
    void showList(std::string_view device = "iphone-6", double scale = 1)
    {
        list = kit::ViewController::create<CompareListController>();
        navigation = kit::NavigationController::create(list);
        launch(navigation, device, scale);
        settle();
    }
    void settle() { advance(1.0); }

    void closeHost()
    {
        kit::Animator::shared().cancelAll();
        host.reset();
        delegate.window.reset();
        delegate.root.reset();
        list.reset();
        navigation.reset();
    }

    kit::TableView& listTable() { return *list->tableView(); }
    ModelPickerController* picker() { return dynamic_cast<ModelPickerController*>(navigation->topViewController()); }
    kit::TableViewCell* cell(kit::TableView& table, int row)
    {
        return table.cellForRowAtIndexPath(kit::IndexPath::forRow(row, 0));
    }
    std::string rowText(kit::TableView& table, int row)
    {
        auto* c = cell(table, row);
        return c ? c->textLabel()->text() : std::string("<no cell>");
    }
    // A tap on the row's text, clear of the editing control and the accessory.
    void tapRow(kit::TableView& table, int row)
    {
        table.scrollToRowAtIndexPath(kit::IndexPath::forRow(row, 0), kit::TableViewScrollPosition::None, false);
        auto* c = cell(table, row);
        ASSERT_NE(c, nullptr) << row;
        host->render();
        host->tap(centerInWindow(*c->textLabel()));
    }
    void tapInCell(kit::TableViewCell& c, const kit::Rect& rect)
    {
        host->render();
        host->tap(c.convertPointTo(rect.center(), nullptr));
    }
    // The delete control, then the Delete button it shows.
    void deleteRow(int row)
    {
        auto* c = cell(listTable(), row);
        ASSERT_NE(c, nullptr) << row;
        tapInCell(*c, c->editingControlFrame());
        advance(0.5);
        // A frame is drawn before the next tap, as on screen: the Delete button is laid out.
        host->render();
        ASSERT_TRUE(c->isShowingDeleteConfirmation());
        tapInCell(*c, c->deleteConfirmationFrame());
    }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
    std::shared_ptr<CompareListController> list;
    std::shared_ptr<kit::NavigationController> navigation;
};

} // namespace compare_test

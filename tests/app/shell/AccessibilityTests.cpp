// SPDX-License-Identifier: MIT
// What a screen reader finds in the whole application, on the headless host and its virtual
// clock: the tabs, the Usage figures, and their changes from one refresh to the next.

#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"
#include "app/specs/DataKeeper.h"
#include "app/usage/UsageController.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/Accessibility.h"
#include "kit/ui/Window.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/kit/base/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class AppAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override { shelltest::isolateShell(home, environment); }
    void TearDown() override
    {
        shelltest::restoreShell();
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }

    // Launches the app and gives its Usage screen one wired interface, eth0 at 10.0.0.2, with
    // these byte totals; null when the screen is not where the tab bar should hold it.
    UsageController* launchUsageWithEth0(std::uint64_t received, std::uint64_t sent)
    {
        host.launch(&delegate);
        auto* main = dynamic_cast<MainController*>(host.keyWindow()->rootViewController());
        auto* usage = main ? dynamic_cast<UsageController*>(main->viewControllers().at(0).get()) : nullptr;
        if (!usage)
            return nullptr;
        usage->configurationProvider = [] {
            kit::InterfaceEntry entry;
            entry.name = "eth0";
            entry.family = kit::InterfaceEntry::kFamilyIPv4;
            entry.address = { 10, 0, 0, 2 };
            entry.addressLength = 4;
            return kit::Result<std::vector<kit::InterfaceEntry>>(std::vector { entry });
        };
        usage->countersProvider = [received, sent] {
            return kit::Result<std::vector<kit::InterfaceCounters>>(
                std::vector<kit::InterfaceCounters> { { "eth0", 18, received, sent } });
        };
        usage->kindProvider = [](std::string_view) { return kit::InterfaceKind::Wired; };
        return usage;
    }

    std::vector<kit::AccessibilityElement> elements()
    {
        host.render();
        return kit::accessibilityElements(*host.keyWindow());
    }

    std::vector<kit::AccessibilityElement> tabs()
    {
        auto all = elements();
        std::vector<kit::AccessibilityElement> out;
        std::copy_if(all.begin(), all.end(), std::back_inserter(out),
            [](auto& e) { return e.role == kit::AccessibilityRole::Tab; });
        return out;
    }

    const kit::AccessibilityElement* labelled(const std::vector<kit::AccessibilityElement>& all, const std::string& text)
    {
        for (auto& element : all) {
            if (element.label == text)
                return &element;
        }
        return nullptr;
    }

    kit::testing::TempFolder home;
    kit::testing::ScopedEnvironment environment;
    kit::HeadlessHost host;
    QNAppDelegate delegate;
};

kit::Dict figures(const char* usedDisk, const char* freeRam)
{
    return { { std::string(SharedTools::kUsedPercentDiskKey), 0.5 }, { std::string(SharedTools::kUsedDiskStrKey), usedDisk },
        { std::string(SharedTools::kFreeDiskStrKey), "78.7 GB" }, { std::string(SharedTools::kAllDiskStrKey), "252.0 GB" },
        { std::string(SharedTools::kWiredRamStrKey), "1.2 GB" }, { std::string(SharedTools::kActiveRamStrKey), "3.4 GB" },
        { std::string(SharedTools::kInactiveRamStrKey), "2.0 GB" }, { std::string(SharedTools::kFreeRamStrKey), freeRam },
        { std::string(SharedTools::kAllRamStrKey), "16.0 GB" } };
}

} // namespace

TEST_F(AppAccessibilityTest, TabsReadInOrderWithTheShownOneSelectedAndActivationSwitches)
{
    host.launch(&delegate);
    auto found = tabs();
    std::vector<std::string> names;
    for (auto& tab : found)
        names.push_back(tab.label);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "Usage");
    EXPECT_EQ(names[1], "Battery");
    EXPECT_TRUE(found[0].selected);
    EXPECT_FALSE(found[1].selected);
    // All tabs share their bar and stand on one line at the foot of the window.
    for (auto& tab : found) {
        EXPECT_EQ(tab.container, found[0].container);
        EXPECT_EQ(tab.frame.maxY(), host.keyWindow()->bounds().maxY());
    }

    ASSERT_TRUE(kit::activateAccessibilityElement(*host.keyWindow(), found[1].identity));
    host.advance(1);
    found = tabs();
    EXPECT_FALSE(found[0].selected);
    EXPECT_TRUE(found[1].selected);
    auto* main = dynamic_cast<MainController*>(host.keyWindow()->rootViewController());
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->selectedIndex(), 1);
    host.terminate();
}

TEST_F(AppAccessibilityTest, UsageFiguresAreReadAndFollowTheRefresh)
{
    auto* usage = launchUsageWithEth0(47900000, 85000);
    ASSERT_NE(usage, nullptr);
    kit::Dict shown = figures("173.3 GB", "5.6 GB");
    usage->usageProvider = [&] { return shown; };
    host.advance(3);

    auto all = elements();
    for (const char* text : { "Used 173.3 GB of 252.0 GB", "Used 173.3 GB", "Free 78.7 GB", "Free 5.6 GB of 16.0 GB",
             "Wired 1.2 GB", "Active 3.4 GB", "Inactive 2.0 GB", "Free 5.6 GB", "IP address, 10.0.0.2" })
        EXPECT_NE(labelled(all, text), nullptr) << text;
    // The legend names are read with their values, not on their own.
    EXPECT_EQ(labelled(all, "Used"), nullptr);
    auto header = std::find_if(all.begin(), all.end(), [](auto& e) { return e.role == kit::AccessibilityRole::Header; });
    ASSERT_NE(header, all.end());
    EXPECT_EQ(header->label.rfind("eth0, received ", 0), 0u) << header->label;
    EXPECT_NE(header->label.find(", sent "), std::string::npos) << header->label;
    // Top to bottom: the disk bar before the memory bar before the network, the tabs last.
    auto index = [&](const std::string& text) { return labelled(all, text) - all.data(); };
    EXPECT_LT(index("Used 173.3 GB of 252.0 GB"), index("Free 5.6 GB of 16.0 GB"));
    EXPECT_LT(index("Free 5.6 GB of 16.0 GB"), header - all.begin());
    EXPECT_LT(index("IP address, 10.0.0.2"), index("Usage"));

    // The next tick says the new figures through the same elements.
    auto diskBar = labelled(all, "Used 173.3 GB of 252.0 GB")->identity;
    shown = figures("180.0 GB", "4.1 GB");
    host.advance(3);
    all = elements();
    ASSERT_NE(labelled(all, "Used 180.0 GB of 252.0 GB"), nullptr);
    EXPECT_EQ(labelled(all, "Used 180.0 GB of 252.0 GB")->identity, diskBar);
    EXPECT_NE(labelled(all, "Free 4.1 GB of 16.0 GB"), nullptr);
    EXPECT_EQ(labelled(all, "Used 173.3 GB of 252.0 GB"), nullptr);
    host.terminate();
}

TEST_F(AppAccessibilityTest, ARefreshWithTheSameFiguresLeavesEveryElementAsItWas)
{
    // The bridge tells GTK only what changed: the table's reload must not give its rows new
    // identities, nor move anything.
    auto* usage = launchUsageWithEth0(1000, 2000);
    ASSERT_NE(usage, nullptr);
    kit::Dict shown = figures("173.3 GB", "5.6 GB");
    usage->usageProvider = [&] { return shown; };
    // Two readings first: the second adds the "Now" row of rates, which then stays.
    host.advance(3);
    host.advance(3);
    auto before = elements();
    host.advance(3);
    auto after = elements();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        // The screen makes its section headers anew on each reload (the bridge then gives the
        // new header the old one's proxy); everything else keeps its identity too.
        if (before[i].role == kit::AccessibilityRole::Header)
            after[i].identity = before[i].identity;
        EXPECT_EQ(after[i], before[i]) << before[i].label << " became " << after[i].label;
    }
    host.terminate();
}

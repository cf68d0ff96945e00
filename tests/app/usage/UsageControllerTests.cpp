// SPDX-License-Identifier: MIT
#include "app/usage/UsageController.h"

#include "common/metrics/RefreshTick.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/Log.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/RunLoop.h"
#include "kit/device/DeviceProfile.h"
#include "kit/ui/Application.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "tests/kit/base/TempFolder.h"
#include "tests/support/ScreenTestSupport.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using kit::InterfaceCounters;
using kit::InterfaceEntry;
using kit::InterfaceKind;

namespace {

InterfaceEntry ipv4(const char* name, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    InterfaceEntry entry;
    entry.name = name;
    entry.family = InterfaceEntry::kFamilyIPv4;
    entry.address = { a, b, c, d };
    entry.addressLength = 4;
    return entry;
}

InterfaceEntry link(const char* name, std::array<std::uint8_t, 6> mac, std::uint8_t length = 6)
{
    InterfaceEntry entry;
    entry.name = name;
    entry.family = InterfaceEntry::kFamilyLink;
    std::copy(mac.begin(), mac.end(), entry.address.begin());
    entry.addressLength = length;
    return entry;
}

InterfaceEntry ipv6(const char* name, std::initializer_list<std::uint8_t> bytes)
{
    InterfaceEntry entry;
    entry.name = name;
    entry.family = InterfaceEntry::kFamilyIPv6;
    std::copy(bytes.begin(), bytes.end(), entry.address.begin());
    entry.addressLength = 16;
    return entry;
}

InterfaceCounters counters(const char* name, std::uint64_t in, std::uint64_t out) { return { name, 18, in, out }; }

std::vector<std::string> names(const kit::Array& ifaces)
{
    std::vector<std::string> result;
    for (auto& record : ifaces)
        result.push_back(record["Name"].string());
    return result;
}

InterfaceKind kindByName(std::string_view name)
{
    if (name.starts_with("wl"))
        return InterfaceKind::Wireless;
    if (name.starts_with("ww"))
        return InterfaceKind::Cellular;
    if (name.starts_with("bnep"))
        return InterfaceKind::Bluetooth;
    if (name.starts_with("wg") || name.starts_with("tun"))
        return InterfaceKind::Vpn;
    return InterfaceKind::Wired;
}

} // namespace

TEST(UsageInterfaces, RecordsFollowConfigurationOrderWithLastAddressAndFirstCounters)
{
    kit::Array ifaces;
    UsageController::fillAddresses(ifaces,
        { ipv4("eth0", 10, 0, 0, 1), link("lo", { 0, 0, 0, 0, 0, 0 }), ipv4("lo", 127, 0, 0, 1),
            link("en0", { 0x00, 0x1b, 0x63, 0x0a, 0x0b, 0x0c }), ipv4("en0", 192, 168, 1, 2), ipv4("en0", 192, 168, 1, 3),
            link("docker0", { 2, 0, 0, 0, 0, 1 }), link("tun0", { 0, 0, 0, 0, 0, 0 }, 0), link("wlp2s0", { 1, 2, 3, 4, 5, 6 }),
            link("pdp_ip0", { 0, 0, 0, 0, 0, 0 }, 0) });
    UsageController::fillCounters(ifaces,
        { counters("en0", 100, 200), counters("en0", 999, 999), counters("lo", 5, 5), counters("wwan0", 7, 8),
            counters("eth0", 0, 0) });

    EXPECT_EQ(names(ifaces), (std::vector<std::string> { "eth0", "en0", "tun0", "wlp2s0", "pdp_ip0", "wwan0" }));
    const kit::Value& en0 = ifaces[1];
    EXPECT_EQ(en0["ipAddr"], kit::Value("192.168.1.3"));
    EXPECT_EQ(en0["macAddr"], kit::Value("00:1B:63:0A:0B:0C"));
    EXPECT_EQ(en0["inBytes"].longLongValue(), 100);
    EXPECT_EQ(en0["outBytes"].longLongValue(), 200);
    // No six-byte hardware address: no "macAddr".
    EXPECT_TRUE(ifaces[2]["macAddr"].isNull());
    EXPECT_TRUE(ifaces[4]["macAddr"].isNull());
    EXPECT_EQ(ifaces[5]["inBytes"].longLongValue(), 7);
}

TEST(UsageInterfaces, NameRuleKeepsPhysicalInterfacesAndTunnels)
{
    for (const char* listed :
        { "en0", "en2", "enp3s0", "eth0", "wlp2s0", "wlan0", "wwan0", "bnep0", "pdp_ip0", "wg0", "tun0", "tap1", "ppp0" })
        EXPECT_TRUE(UsageController::isListedInterfaceName(listed)) << listed;
    for (const char* left : { "lo", "lo0", "docker0", "virbr0", "veth12ab", "utun0", "awdl0", "br-1", "pdp_ip1", "EN0", "WG0" })
        EXPECT_FALSE(UsageController::isListedInterfaceName(left)) << left;
}

TEST(UsageNetworkModel, IconsRowsAndTotalsFollowTheRecords)
{
    kit::Array ifaces {
        kit::Dict { { "Name", "en0" }, { "ipAddr", "10.0.0.2" }, { "macAddr", "00:11:22:33:44:55" }, { "inBytes", 2048 },
            { "outBytes", 1024 } },
        kit::Dict { { "Name", "pdp_ip0" }, { "macAddr", "00:11:22:33:44:66" } },
        kit::Dict { { "Name", "en3" } },
        kit::Dict { { "Name", "enp3s0" }, { "ipAddr", "10.0.0.3" }, { "inBytes", 0 }, { "outBytes", 5 } },
        kit::Dict { { "Name", "wlp2s0" } },
        kit::Dict { { "Name", "bnep0" }, { "ipAddr", "10.0.0.4" } },
        kit::Dict { { "Name", "wwan0" }, { "inBytes", 0 }, { "outBytes", 0 } },
    };
    auto model = UsageController::makeNetworkModel(ifaces, 6.1, kindByName);
    ASSERT_EQ(model.size(), 6u);
    std::vector<std::string> icons;
    for (auto& section : model)
        icons.push_back(section[UsageController::kHeaderKey].string());
    // "en0" once got the Wi-Fi icon by its name alone; here it is wired, and its icon says so.
    EXPECT_EQ(icons,
        (std::vector<std::string> { "networkIconEthernet", "networkIconCellular", "networkIconEthernet", "networkIconWi-Fi",
            "networkIconBluetooth", "networkIconCellular" }));

    // Version 6.1: both rows; the cellular interface never shows its MAC address.
    EXPECT_EQ(model[0][UsageController::kRowsKey].count(), 2u);
    EXPECT_EQ(model[0][UsageController::kRowsKey].at(1)[UsageController::kRowFirstItemKey], kit::Value("MAC address"));
    EXPECT_EQ(model[1][UsageController::kRowsKey].count(), 0u);
    EXPECT_EQ(model[0][UsageController::kValueDownloadKey], kit::Value("2.0 KB"));
    // 0 and 5 bytes: both totals show.
    EXPECT_EQ(model[2][UsageController::kValueDownloadKey], kit::Value("0.0 KB"));
    EXPECT_EQ(model[2][UsageController::kValueUploadKey], kit::Value("0.0 KB"));
    // 0 and 0: no totals.
    EXPECT_TRUE(model[5][UsageController::kValueDownloadKey].isNull());
    EXPECT_TRUE(model[1][UsageController::kValueUploadKey].isNull());

    auto seven = UsageController::makeNetworkModel(ifaces, 7.0, kindByName);
    EXPECT_EQ(seven[0][UsageController::kRowsKey].count(), 1u);
    EXPECT_EQ(seven[0][UsageController::kRowsKey].at(0)[UsageController::kRowSecondItemKey], kit::Value("10.0.0.2"));
}

namespace {

// Artwork of chosen sizes, so the panel arithmetic is checked on round figures.
class UsageScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto svg = [&](const std::string& name, int w, int h) {
            std::ofstream(images.path() + "/" + name + ".svg")
                << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << w << "\" height=\"" << h << "\"/>";
        };
        for (std::string suffix : { "", "-667h" }) {
            for (const char* bar : { "barOrange", "barBlue", "barGreen" })
                svg(bar + suffix, 200, 10);
            svg("barShadow" + suffix, 6, 10);
            svg("usagePlate" + suffix, 300, 90);
            svg("usagePlateTop" + suffix, 280, 20);
        }
        for (const char* point : { "pointOrange", "pointBlue", "pointGreen", "pointGray" })
            svg(point, 8, 8);
        svg("generalTableHeader", 320, 32);
        kit::Image::setSearchPath(images.path());
        kit::Image::clearCache();
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    }
    void TearDown() override
    {
        kit::Image::setSearchPath({});
        kit::Image::clearCache();
    }

    std::shared_ptr<UsageController> makeScreen(double width, kit::Dict usage)
    {
        auto screen = kit::ViewController::create<UsageController>();
        figures = std::move(usage);
        screen->usageProvider = [this] { return figures; };
        screen->configurationProvider = [this] { return kit::Result<std::vector<InterfaceEntry>>(entries); };
        screen->countersProvider = [this] { return kit::Result<std::vector<InterfaceCounters>>(records); };
        screen->kindProvider = kindByName;
        kit::test::loadScreen(*screen, { width, 600 });
        return screen;
    }

    kit::testing::TempFolder images;
    kit::Dict figures;
    std::vector<InterfaceEntry> entries;
    std::vector<InterfaceCounters> records;
};

kit::Dict usage(double disk, double wired, double active, double inactive)
{
    return { { std::string(SharedTools::kUsedPercentDiskKey), disk }, { std::string(SharedTools::kWiredPercentRamKey), wired },
        { std::string(SharedTools::kActivePercentRamKey), active },
        { std::string(SharedTools::kInactivePercentRamKey), inactive }, { std::string(SharedTools::kUsedDiskStrKey), "1.0 GB" },
        { std::string(SharedTools::kFreeRamStrKey), "4.0 GB" }, { std::string(SharedTools::kAllDiskStrKey), "9.0 GB" } };
}

} // namespace

TEST_F(UsageScreenTest, BarsEndAtTheirSharesOfTheBox)
{
    auto screen = makeScreen(320, usage(0.25, 0.1, 0.2, 0.3));
    screen->updateInfo();
    EXPECT_DOUBLE_EQ(screen->diskChartBarBlueImageView()->center().x, -50);
    EXPECT_DOUBLE_EQ(screen->diskChartBarBlueImageView()->frame().maxX(), 50);
    EXPECT_DOUBLE_EQ(screen->diskChartBarShadowImageView()->frame().minX(), 50);
    EXPECT_DOUBLE_EQ(screen->memChartBarOrangeImageView()->frame().maxX(), 20);
    EXPECT_DOUBLE_EQ(screen->memChartBarBlueImageView()->frame().maxX(), 60);
    EXPECT_DOUBLE_EQ(screen->memChartBarGreenImageView()->frame().maxX(), 120);
    EXPECT_DOUBLE_EQ(screen->memChartBarShadowImageView()->frame().minX(), 120);

    // The next refresh moves them again.
    figures = usage(1.0, 0, 0, 0);
    screen->updateInfo();
    EXPECT_DOUBLE_EQ(screen->diskChartBarBlueImageView()->frame().minX(), 0);
    EXPECT_DOUBLE_EQ(screen->memChartBarGreenImageView()->frame().maxX(), 0);
}

TEST_F(UsageScreenTest, LegendColumnsStandAQuarterBarApartAndTakeTheirValues)
{
    auto screen = makeScreen(320, usage(0.25, 0.1, 0.2, 0.3));
    screen->updateInfo();
    std::vector<double> marks;
    for (auto& subview : screen->diskChartPanel()->subviews())
        if (auto* mark = dynamic_cast<kit::ImageView*>(subview.get()); mark && mark->frame().width() == 8)
            marks.push_back(mark->center().x);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_DOUBLE_EQ(marks[1] - marks[0], 50);
    EXPECT_DOUBLE_EQ(marks[0], 26); // X 22 + P/2
    EXPECT_EQ(screen->diskValueLabels()[0]->text(), "1.0 GB");
    EXPECT_EQ(screen->memValueLabels()[3]->text(), "4.0 GB");
    // Each value stands in its own column, under its name.
    EXPECT_DOUBLE_EQ(screen->memValueLabels()[3]->frame().minX() - screen->memValueLabels()[0]->frame().minX(), 150);
    EXPECT_EQ(screen->diskPanelTitleLabel()->text().substr(screen->diskPanelTitleLabel()->text().size() - 7), " 9.0 GB");
    EXPECT_EQ(screen->bootTimeLabel()->text().rfind("Boot time: ", 0), 0u);
}

TEST_F(UsageScreenTest, PanelsScaleWithThePhoneWidth)
{
    auto narrow = makeScreen(320, usage(0, 0, 0, 0));
    EXPECT_DOUBLE_EQ(narrow->diskChartPanel()->center().y, 94);
    EXPECT_DOUBLE_EQ(narrow->memChartPanel()->center().y, 190);
    auto wide = makeScreen(414, usage(0, 0, 0, 0));
    EXPECT_DOUBLE_EQ(wide->memChartPanel()->center().y, 190 * 414.0 / 320);
    EXPECT_DOUBLE_EQ(wide->diskChartPanel()->center().x, 207);
    // The table starts at the memory panel's foot and spans the view.
    EXPECT_DOUBLE_EQ(wide->networkTableView()->frame().minY(), wide->memChartPanel()->frame().maxY());
    EXPECT_DOUBLE_EQ(wide->networkTableView()->frame().width(), 414);
}

TEST_F(UsageScreenTest, RefreshNotificationRebuildsTheTableAndDropsVanishedInterfaces)
{
    entries = { ipv4("en0", 10, 0, 0, 2), ipv4("eth1", 10, 0, 0, 3) };
    records = { counters("en0", 1, 2) };
    auto screen = makeScreen(320, usage(0, 0, 0, 0));
    kit::NotificationCenter::defaultCenter().post(kRefreshNotification, nullptr);
    ASSERT_EQ(screen->networkDataModel().size(), 2u);
    EXPECT_EQ(screen->numberOfSectionsInTableView(*screen->networkTableView()), 2);

    entries = { ipv4("en0", 10, 0, 0, 2) };
    kit::NotificationCenter::defaultCenter().post(kit::kApplicationDidBecomeActiveNotification, nullptr);
    ASSERT_EQ(screen->networkDataModel().size(), 1u);
    EXPECT_EQ(screen->ifaces().size(), 1u);
    // The header carries the icon, the name and, with traffic, the totals and arrows.
    auto header = screen->viewForHeaderInSection(*screen->networkTableView(), 0);
    EXPECT_EQ(header->subviews().size(), 5u);
}

TEST_F(UsageScreenTest, LoadedScreenRefreshesOncePerTick)
{
    // A screen built twice registers its observers twice and reads the figures twice per tick.
    auto screen = makeScreen(320, usage(0, 0, 0, 0));
    int readings = 0;
    screen->usageProvider = [&] {
        ++readings;
        return figures;
    };
    kit::NotificationCenter::defaultCenter().post(kRefreshNotification, nullptr);
    EXPECT_EQ(readings, 1);
    EXPECT_EQ(screen->view()->frame().width(), 320);
}

TEST_F(UsageScreenTest, UnreadableConfigurationLogsAndLeavesOnlyCounterRecords)
{
    static std::vector<std::string> logged;
    logged.clear();
    kit::Log::setCaptureHook([](std::string_view line) { logged.emplace_back(line); });
    kit::Log::setEchoToStderr(false);
    auto screen = makeScreen(320, usage(0, 0, 0, 0));
    screen->configurationProvider = [] { return kit::Result<std::vector<InterfaceEntry>>(kit::Error { "getifaddrs failed" }); };
    records = { counters("en0", 10, 20) };
    screen->updateInfo();
    kit::Log::setCaptureHook(nullptr);
    kit::Log::setEchoToStderr(true);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("ioctl error ", 0), 0u);
    ASSERT_EQ(screen->ifaces().size(), 1u);
    EXPECT_EQ(screen->ifaces()[0]["inBytes"].longLongValue(), 10);
}

namespace {

std::vector<std::string> rowLabels(const kit::Value& section)
{
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < section[UsageController::kRowsKey].count(); ++i)
        labels.push_back(section[UsageController::kRowsKey].at(i)[UsageController::kRowFirstItemKey].string());
    return labels;
}

const kit::Value& rowValue(const kit::Value& section, std::string_view label)
{
    for (std::size_t i = 0; i < section[UsageController::kRowsKey].count(); ++i)
        if (section[UsageController::kRowsKey].at(i)[UsageController::kRowFirstItemKey].string() == label)
            return section[UsageController::kRowsKey].at(i)[UsageController::kRowSecondItemKey];
    return kit::Value::null();
}

// The header's labels, left to right.
std::vector<kit::Label*> headerLabels(kit::View& header)
{
    std::vector<kit::Label*> labels;
    for (auto& subview : header.subviews())
        if (auto* label = dynamic_cast<kit::Label*>(subview.get()))
            labels.push_back(label);
    std::sort(labels.begin(), labels.end(), [](auto* a, auto* b) { return a->frame().minX() < b->frame().minX(); });
    return labels;
}

} // namespace

TEST_F(UsageScreenTest, TwoInterfacesOfOneKindShowTheirNamesBesideTheIconClearOfTheTotals)
{
    entries = { ipv4("enp3s0", 10, 0, 0, 2), ipv4("enp4s0", 10, 0, 1, 2), ipv4("enx00e04c680123", 10, 0, 2, 2) };
    records = { counters("enp3s0", 50'200'000, 87'040), counters("enp4s0", 0, 0) };
    auto screen = makeScreen(320, usage(0, 0, 0, 0));
    screen->updateInfo();
    const auto& model = screen->networkDataModel();
    ASSERT_EQ(model.size(), 3u);
    EXPECT_EQ(model[0][UsageController::kHeaderKey], model[1][UsageController::kHeaderKey]);

    std::vector<std::string> shown;
    for (int section = 0; section < 3; ++section) {
        auto header = screen->viewForHeaderInSection(*screen->networkTableView(), section);
        auto labels = headerLabels(*header);
        ASSERT_FALSE(labels.empty());
        shown.push_back(labels[0]->text());
        // The name starts right of the icon and ends before the totals, whatever its length.
        auto* icon = dynamic_cast<kit::ImageView*>(header->subviews()[0].get());
        ASSERT_NE(icon, nullptr);
        EXPECT_GE(labels[0]->frame().minX(), icon->frame().maxX());
        EXPECT_LE(labels[0]->frame().maxX(), 166);
        EXPECT_LE(labels[0]->frame().maxX(), header->bounds().width());
        for (std::size_t i = 1; i < labels.size(); ++i)
            EXPECT_LE(labels[0]->frame().maxX(), labels[i]->frame().minX());
    }
    EXPECT_EQ(shown, (std::vector<std::string> { "enp3s0", "enp4s0", "enx00e04c680123" }));
    // Totals only where there was traffic.
    EXPECT_EQ(headerLabels(*screen->viewForHeaderInSection(*screen->networkTableView(), 0)).size(), 3u);
    EXPECT_EQ(headerLabels(*screen->viewForHeaderInSection(*screen->networkTableView(), 1)).size(), 1u);
}

TEST(UsageNetworkModel, VpnTunnelsAreListedWithTheirOwnIconAndBridgesAreNot)
{
    kit::Array ifaces;
    UsageController::fillAddresses(ifaces,
        { ipv4("wg0", 10, 8, 0, 2), ipv4("docker0", 172, 17, 0, 1), ipv4("veth3f2a", 169, 254, 1, 1), ipv4("tun0", 10, 9, 0, 6),
            ipv6("ppp0", { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7 }), ipv4("br-5e1", 172, 18, 0, 1) });
    ASSERT_EQ(names(ifaces), (std::vector<std::string> { "wg0", "tun0", "ppp0" }));
    auto kindOf = [](std::string_view) { return InterfaceKind::Vpn; };
    auto model = UsageController::makeNetworkModel(ifaces, 17, kindOf);
    ASSERT_EQ(model.size(), 3u);
    for (auto& section : model)
        EXPECT_EQ(section[UsageController::kHeaderKey], kit::Value("networkIconVPN"));
    EXPECT_EQ(model[0][UsageController::kInterfaceNameKey], kit::Value("wg0"));
    // An IPv6 address alone is an address: the section shows.
    EXPECT_EQ(rowLabels(model[2]), (std::vector<std::string> { "IPv6 address" }));
    EXPECT_EQ(UsageController::interfaceKindName(InterfaceKind::Vpn), "vpn");
    EXPECT_EQ(UsageController::interfaceKindName(InterfaceKind::Wireless), "wireless");
}

TEST(UsageNetworkModel, IPv6RowFollowsTheIPv4RowWithTheFirstGlobalAddressOnly)
{
    std::initializer_list<std::uint8_t> first = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x20 };
    std::initializer_list<std::uint8_t> second = { 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x21 };
    kit::Array ifaces;
    UsageController::fillAddresses(ifaces,
        { link("eth0", { 1, 2, 3, 4, 5, 6 }), ipv6("eth0", first), ipv4("eth0", 192, 168, 1, 20), ipv6("eth0", second),
            ipv4("wlp2s0", 192, 168, 1, 21) });
    auto model = UsageController::makeNetworkModel(ifaces, 6.1, kindByName);
    ASSERT_EQ(model.size(), 2u);
    EXPECT_EQ(rowLabels(model[0]), (std::vector<std::string> { "IP address", "IPv6 address", "MAC address" }));
    EXPECT_EQ(rowValue(model[0], "IPv6 address"), kit::Value("2001:db8:0:1::20"));
    // Without a global IPv6 address there is no row for it.
    EXPECT_EQ(rowLabels(model[1]), (std::vector<std::string> { "IP address" }));
}

TEST_F(UsageScreenTest, RatesOfTheLastTickAppearFromTheSecondReadingOn)
{
    auto& loop = kit::RunLoop::main();
    loop.setVirtualClock(true);
    entries = { ipv4("eth0", 10, 0, 0, 2), ipv4("wlp2s0", 10, 0, 0, 3) };
    records = { counters("eth0", 1'000'000, 500'000), counters("wlp2s0", 9'000'000, 9'000'000) };
    auto screen = makeScreen(320, usage(0, 0, 0, 0));
    screen->updateInfo();
    EXPECT_TRUE(rowValue(screen->networkDataModel()[0], "Now").isNull()) << "one reading is no rate";
    EXPECT_TRUE(screen->ifaces()[0]["inRate"].isNull());

    // Three seconds on: 3,774,874 bytes in (1.2 MB/s), 107,520 out (35.0 KB/s). The second
    // interface was reset meanwhile: its counters went down, and it shows no rate at all.
    loop.advance(3);
    records = { counters("eth0", 1'000'000 + 3'774'874, 500'000 + 107'520), counters("wlp2s0", 4'000, 0) };
    screen->updateInfo();
    const auto& model = screen->networkDataModel();
    EXPECT_EQ(rowLabels(model[0]), (std::vector<std::string> { "IP address", "Now" }));
    EXPECT_EQ(rowValue(model[0], "Now"), kit::Value("1.2 MB/s ↓  35.0 KB/s ↑"));
    EXPECT_NEAR(screen->ifaces()[0]["outRate"].doubleValue(), 35'840, 0.01);
    EXPECT_TRUE(rowValue(model[1], "Now").isNull());

    // Another refresh at the same instant (the tab appearing) keeps the tick's rates; the next
    // tick measures the reset interface from its new counters.
    screen->updateInfo();
    EXPECT_EQ(rowValue(screen->networkDataModel()[0], "Now"), kit::Value("1.2 MB/s ↓  35.0 KB/s ↑"));
    loop.advance(2);
    records = { counters("eth0", 4'774'874, 607'520), counters("wlp2s0", 4'000 + 2'048, 1'024) };
    screen->updateInfo();
    EXPECT_EQ(rowValue(screen->networkDataModel()[0], "Now"), kit::Value("0.0 KB/s ↓  0.0 KB/s ↑"));
    EXPECT_EQ(rowValue(screen->networkDataModel()[1], "Now"), kit::Value("1.0 KB/s ↓  0.5 KB/s ↑"));

    // A refresh without counters (the dump failed) shows no rate, and the next one starts over.
    auto saved = screen->countersProvider;
    screen->countersProvider = [] { return kit::Result<std::vector<InterfaceCounters>>(kit::Error { "netlink" }); };
    loop.advance(3);
    screen->updateInfo();
    EXPECT_TRUE(rowValue(screen->networkDataModel()[0], "Now").isNull());
    screen->countersProvider = saved;
    loop.advance(3);
    screen->updateInfo();
    EXPECT_TRUE(rowValue(screen->networkDataModel()[0], "Now").isNull());
    loop.setVirtualClock(false);
}

namespace {

// The shipped artwork, laid out at the widths the profiles have: where its frames land.
struct ArtworkCase {
    const char* profile;
    double width;
    double height;
};

void PrintTo(const ArtworkCase& row, std::ostream* out) { *out << row.profile << " at " << row.width << " x " << row.height; }

class UsageArtworkLayout : public ::testing::TestWithParam<ArtworkCase> {
protected:
    void SetUp() override
    {
        // The other fixture leaves an empty override behind; this one draws the bundle's own images.
        kit::Image::setSearchPath(kit::Bundle::mainBundle().resourcePath() + "/images");
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named(GetParam().profile));
    }
    void TearDown() override
    {
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
        kit::Image::clearCache();
    }

    std::shared_ptr<UsageController> makeScreen(kit::Dict figures)
    {
        auto screen = kit::ViewController::create<UsageController>();
        screen->usageProvider = [figures] { return figures; };
        screen->configurationProvider = [] { return kit::Result<std::vector<InterfaceEntry>>(std::vector<InterfaceEntry> {}); };
        screen->countersProvider = [] { return kit::Result<std::vector<InterfaceCounters>>(std::vector<InterfaceCounters> {}); };
        kit::test::loadScreen(*screen, { GetParam().width, GetParam().height });
        screen->updateInfo();
        return screen;
    }
};

bool contains(const kit::Rect& outer, const kit::Rect& inner)
{
    constexpr double e = 1e-9;
    return inner.minX() >= outer.minX() - e && inner.minY() >= outer.minY() - e && inner.maxX() <= outer.maxX() + e
        && inner.maxY() <= outer.maxY() + e;
}

void expectNear(const kit::Rect& actual, const kit::Rect& expected, const char* what)
{
    EXPECT_NEAR(actual.minX(), expected.minX(), 1e-9) << what;
    EXPECT_NEAR(actual.minY(), expected.minY(), 1e-9) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9) << what;
}

} // namespace

TEST_P(UsageArtworkLayout, TrackGlassBarsAndLegendsStayInTheirFrames)
{
    bool pad = GetParam().width >= 768;
    double k = pad ? 1 : GetParam().width / 320;
    auto screen = makeScreen(usage(0.6, 0.1, 0.2, 0.3));
    for (auto* panel : { screen->diskChartPanel(), screen->memChartPanel() }) {
        // The plate is as wide as twice the glass's centre: the glass is centred on the plate.
        EXPECT_NEAR(panel->frame().width(), pad ? 762 : 316 * k, 1e-9);
        EXPECT_NEAR(panel->frame().midX(), GetParam().width / 2, 1e-9);
        kit::View* box = screen->memChartBarOrangeImageView()->superview();
        if (panel == screen->diskChartPanel())
            box = screen->diskChartBarBlueImageView()->superview();
        ASSERT_NE(box, nullptr);
        kit::Rect expectedBox = pad ? kit::Rect { 92, 41, 578, 50 } : kit::Rect { 22 * k, 23 * k, 272 * k, 30 * k };
        expectNear(box->frame(), expectedBox, "bar box");
        // The glass covers the box exactly, and the plate's track under it is the box too.
        bool foundGlass = false;
        for (auto& subview : panel->subviews()) {
            auto* image = dynamic_cast<kit::ImageView*>(subview.get());
            if (image && image->image() && image->frame().width() > 100) {
                expectNear(image->frame(), box->frame(), "glass");
                foundGlass = true;
            }
        }
        EXPECT_TRUE(foundGlass);
        for (auto& bar : box->subviews())
            EXPECT_NEAR(bar->frame().height(), box->bounds().height(), 1e-9) << "bars fill the track's height";
    }
    // Shadows start exactly where the bars end, whatever the width.
    EXPECT_DOUBLE_EQ(screen->diskChartBarShadowImageView()->frame().minX(), screen->diskChartBarBlueImageView()->frame().maxX());
    EXPECT_DOUBLE_EQ(screen->memChartBarShadowImageView()->frame().minX(), screen->memChartBarGreenImageView()->frame().maxX());
    double barWidth = screen->memChartBarOrangeImageView()->frame().width();
    EXPECT_NEAR(screen->diskChartBarBlueImageView()->frame().maxX(), std::round(barWidth * 0.6f - barWidth / 2) + barWidth / 2,
        1e-4);

    // Every legend text lies inside its plate, under the track.
    std::vector<kit::Label*> labels = screen->memValueLabels();
    for (auto* label : screen->diskValueLabels())
        labels.push_back(label);
    for (auto* label : labels) {
        EXPECT_TRUE(contains(label->superview()->bounds(), label->frame())) << GetParam().profile;
        EXPECT_GE(label->frame().minY(), screen->memChartBarOrangeImageView()->superview()->frame().maxY());
    }
    // The table starts under the memory plate, so no value sits under it.
    EXPECT_NEAR(screen->networkTableView()->frame().minY(), screen->memChartPanel()->frame().maxY(), 1e-9);
}

class UsageTabletLayout : public UsageArtworkLayout { };

TEST_P(UsageTabletLayout, TableIsCentredAndLeavesEightyPointsBelow)
{
    auto screen = makeScreen(usage(0.5, 0.1, 0.1, 0.1));
    kit::Rect table = screen->networkTableView()->frame();
    EXPECT_DOUBLE_EQ(table.width(), 618);
    EXPECT_DOUBLE_EQ(table.midX(), GetParam().width / 2);
    EXPECT_DOUBLE_EQ(table.maxY(), GetParam().height - 80);
    EXPECT_DOUBLE_EQ(screen->diskChartPanel()->center().y, 180);
    EXPECT_DOUBLE_EQ(screen->memChartPanel()->center().y, 360);
    // Legend columns a quarter of the 578-point bar apart, from X 92.
    kit::Rect first = screen->memValueLabels()[0]->frame();
    kit::Rect last = screen->memValueLabels()[3]->frame();
    EXPECT_DOUBLE_EQ(last.minX() - first.minX(), 3 * 145);
    EXPECT_DOUBLE_EQ(first.minX(), 92 + 12 + 4);
}

INSTANTIATE_TEST_SUITE_P(Profiles, UsageArtworkLayout,
    ::testing::Values(ArtworkCase { "iphone-4s", 320, 411 }, ArtworkCase { "iphone-6", 375, 598 },
        ArtworkCase { "iphone-6-plus", 414, 667 }, ArtworkCase { "ipad-2", 768, 955 }, ArtworkCase { "ipad-2", 1024, 699 }),
    [](const ::testing::TestParamInfo<ArtworkCase>& info) {
        return std::string(std::string_view(info.param.profile).starts_with("ipad") ? "tablet" : "phone")
            + std::to_string(int(info.param.width));
    });

INSTANTIATE_TEST_SUITE_P(Profiles, UsageTabletLayout,
    ::testing::Values(ArtworkCase { "ipad-2", 768, 955 }, ArtworkCase { "ipad-2", 1024, 699 }),
    [](const ::testing::TestParamInfo<ArtworkCase>& info) {
        return std::string(std::string_view(info.param.profile).starts_with("ipad") ? "tablet" : "phone")
            + std::to_string(int(info.param.width));
    });

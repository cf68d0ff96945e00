// SPDX-License-Identifier: MIT
// The Usage screen drawn only where a refresh changed it matches a full redraw of it, and a
// refresh that changes nothing draws nothing.
#include "app/usage/UsageController.h"

#include "common/metrics/SharedTools.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>

using kit::InterfaceCounters;
using kit::InterfaceEntry;

namespace {

const bool kFontsPinned = [] {
    setenv("FONTCONFIG_FILE", QUARRIN_TEST_DATA_DIR "/fonts.conf", 0);
    return true;
}();

kit::Dict figures(double wired, double active, double inactive, const char* free)
{
    return { { std::string(SharedTools::kUsedPercentDiskKey), 0.4 }, { std::string(SharedTools::kWiredPercentRamKey), wired },
        { std::string(SharedTools::kActivePercentRamKey), active },
        { std::string(SharedTools::kInactivePercentRamKey), inactive }, { std::string(SharedTools::kUsedDiskStrKey), "40.0 GB" },
        { std::string(SharedTools::kFreeDiskStrKey), "60.0 GB" }, { std::string(SharedTools::kAllDiskStrKey), "100.0 GB" },
        { std::string(SharedTools::kWiredRamStrKey), "1.0 GB" }, { std::string(SharedTools::kActiveRamStrKey), "2.0 GB" },
        { std::string(SharedTools::kInactiveRamStrKey), "3.0 GB" }, { std::string(SharedTools::kFreeRamStrKey), free },
        { std::string(SharedTools::kAllRamStrKey), "8.0 GB" } };
}

// Whether the host's frame is byte for byte a full redraw of the screen as it is now.
bool matchesFullRedraw(kit::HeadlessHost& host)
{
    cairo_surface_t* drawn = host.surface();
    int width = cairo_image_surface_get_width(drawn), height = cairo_image_surface_get_height(drawn);
    cairo_surface_t* full = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(full);
    cairo_scale(cr, host.scale(), host.scale());
    host.core().drawFrame(cr, host.scale());
    cairo_destroy(cr);
    cairo_surface_flush(full);
    bool same = cairo_image_surface_get_stride(full) == cairo_image_surface_get_stride(drawn)
        && std::memcmp(cairo_image_surface_get_data(full), cairo_image_surface_get_data(drawn),
               std::size_t(cairo_image_surface_get_stride(full)) * std::size_t(height))
            == 0;
    cairo_surface_destroy(full);
    return same;
}

} // namespace

TEST(UsageDrawing, ARefreshRepaintsItsFiguresOnlyAndAsAFullRedrawWould)
{
    kit::HostOptions options;
    options.scale = 2;
    kit::HeadlessHost host(options);
    auto screen = kit::ViewController::create<UsageController>();
    kit::Dict shown = figures(0.1, 0.2, 0.3, "2.0 GB");
    std::vector<InterfaceEntry> entries(1);
    entries[0].name = "eth0";
    entries[0].family = InterfaceEntry::kFamilyIPv4;
    entries[0].address = { 10, 0, 0, 2 };
    entries[0].addressLength = 4;
    std::vector<InterfaceCounters> counters { { "eth0", 18, 1000, 2000 } };
    screen->usageProvider = [&] { return shown; };
    screen->configurationProvider = [&] { return kit::Result<std::vector<InterfaceEntry>>(entries); };
    screen->countersProvider = [&] { return kit::Result<std::vector<InterfaceCounters>>(counters); };
    screen->kindProvider = [](std::string_view) { return kit::InterfaceKind::Wired; };
    host.show(screen->viewPtr());
    screen->updateInfo();
    host.render();

    // The same figures again: nothing to draw.
    screen->updateInfo();
    EXPECT_FALSE(host.render());

    // New memory figures: their labels and bars, a small part of the screen, and the same
    // pixels as a full redraw.
    shown = figures(0.15, 0.25, 0.2, "2.4 GB");
    screen->updateInfo();
    ASSERT_TRUE(host.render());
    double area = 0;
    for (auto& rect : host.core().damageRects())
        area += rect.width() * rect.height();
    kit::Size size = host.screenSize();
    EXPECT_LT(area, size.width * size.height / 10);
    EXPECT_TRUE(matchesFullRedraw(host));

    // Traffic: the table is redrawn too, still as a full redraw would.
    counters[0].receivedBytes += 5000000;
    screen->updateInfo();
    ASSERT_TRUE(host.render());
    EXPECT_TRUE(matchesFullRedraw(host));
}

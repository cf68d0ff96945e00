// SPDX-License-Identifier: MIT
// One tick of the Usage screen at scale 2 after a refresh that changed the memory figures: drawn
// whole, as every frame was once, and drawn only where it changed.
#include "app/usage/UsageController.h"

#include "common/metrics/SharedTools.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Window.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

namespace {

// This machine's figures, and the same with the memory split and its texts moved on, as from
// one tick to the next. The interfaces stay as they were read once.
struct Ticks {
    kit::Dict figures[2];

    Ticks()
    {
        figures[0] = SharedTools::usageDict();
        figures[1] = figures[0];
        auto shift = [&](std::string_view key, double by) {
            figures[1][std::string(key)] = figures[0][std::string(key)].doubleValue() + by;
        };
        shift(SharedTools::kWiredPercentRamKey, 0.02);
        shift(SharedTools::kActivePercentRamKey, -0.03);
        shift(SharedTools::kInactivePercentRamKey, 0.01);
        figures[1][std::string(SharedTools::kWiredRamStrKey)] = "1.23 GB";
        figures[1][std::string(SharedTools::kActiveRamStrKey)] = "2.34 GB";
        figures[1][std::string(SharedTools::kFreeRamStrKey)] = "3.45 GB";
    }
};

struct Screen {
    kit::HeadlessHost host { [] {
        kit::HostOptions options;
        options.scale = 2;
        return options;
    }() };
    std::shared_ptr<UsageController> controller = kit::ViewController::create<UsageController>();
    Ticks ticks;
    int next = 0;

    Screen()
    {
        auto entries = controller->configurationProvider();
        auto counters = controller->countersProvider();
        controller->configurationProvider = [entries] { return entries; };
        controller->countersProvider = [counters] { return counters; };
        controller->usageProvider = [this] { return ticks.figures[next]; };
        host.show(controller->viewPtr());
        host.render();
    }
    void refresh()
    {
        next = 1 - next;
        controller->updateInfo();
    }
};

void tickDrawnWhole(benchmark::State& state)
{
    Screen screen;
    cairo_surface_t* frame = cairo_surface_reference(screen.host.surface());
    for (auto _ : state) {
        screen.refresh();
        cairo_t* cr = cairo_create(frame);
        cairo_scale(cr, 2, 2);
        screen.host.core().drawFrame(cr, 2);
        cairo_destroy(cr);
        cairo_surface_flush(frame);
    }
    cairo_surface_destroy(frame);
}
BENCHMARK(tickDrawnWhole)->Unit(benchmark::kMicrosecond);

void tickDrawnWhereChanged(benchmark::State& state)
{
    Screen screen;
    double area = 0;
    for (auto _ : state) {
        screen.refresh();
        benchmark::DoNotOptimize(screen.host.render());
        for (auto& rect : screen.host.core().damageRects())
            area += rect.width() * rect.height();
    }
    kit::Size size = screen.host.screenSize();
    state.counters["damagedShare"] = area / double(state.iterations()) / (size.width * size.height);
}
BENCHMARK(tickDrawnWhereChanged)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

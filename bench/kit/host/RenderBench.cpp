// SPDX-License-Identifier: MIT
// Frame times of the gallery's busiest screen (60 labels, 20 images) at 375 × 667 points, 2x,
// through the headless host: a full frame, and a frame with nothing changed, which must cost
// next to nothing because nothing is redrawn. Run with --benchmark_repetitions=9 for medians.

#include "kit/host/HeadlessHost.h"
#include "kit/host/gallery/GalleryScreens.h"
#include "kit/ui/Window.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// kB from /proc/self/status ("VmRSS", "VmHWM").
double statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0 && line.size() > std::strlen(field) && line[std::strlen(field)] == ':')
            return std::atof(line.c_str() + std::strlen(field) + 1);
    }
    return 0;
}

kit::HostOptions busyOptions()
{
    kit::HostOptions options;
    options.profile = *kit::DeviceProfile::named("iphone-6");
    options.scale = 2;
    options.deviceRoot = "/nonexistent"; // no battery reads inside the measurement
    return options;
}

void BM_BusyScreenFullFrame(benchmark::State& state)
{
    kit::HeadlessHost host(busyOptions());
    host.show(kit::makeBusyScreen(375, 647));
    host.render();
    kit::Window* window = host.keyWindow();
    for (auto _ : state) {
        window->setNeedsRedraw(window->bounds());
        benchmark::DoNotOptimize(host.render());
    }
    state.counters["VmRSS_kB"] = statusKilobytes("VmRSS");
    state.counters["VmHWM_kB"] = statusKilobytes("VmHWM");
}
BENCHMARK(BM_BusyScreenFullFrame)->Unit(benchmark::kMillisecond);

void BM_BusyScreenUnchanged(benchmark::State& state)
{
    kit::HeadlessHost host(busyOptions());
    host.show(kit::makeBusyScreen(375, 647));
    host.render();
    int drawn = 0;
    for (auto _ : state)
        drawn += host.render();
    if (drawn)
        state.SkipWithError("an unchanged tree was redrawn");
}
BENCHMARK(BM_BusyScreenUnchanged)->Unit(benchmark::kMicrosecond);

// Building the screen (views, text layouts, image loading) apart from drawing it.
void BM_BusyScreenBuildAndFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        kit::HeadlessHost host(busyOptions());
        host.show(kit::makeBusyScreen(375, 647));
        benchmark::DoNotOptimize(host.render());
    }
}
BENCHMARK(BM_BusyScreenBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

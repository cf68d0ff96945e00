// SPDX-License-Identifier: MIT
// One Usage refresh on this machine: the snapshot, the interfaces and counters, the table model
// and the layout; then the same with the frame drawn.
#include "app/usage/UsageController.h"

#include "kit/host/HeadlessHost.h"
#include "kit/ui/Window.h"

#include <benchmark/benchmark.h>

namespace {

void refreshWithoutDrawing(benchmark::State& state)
{
    kit::HeadlessHost host;
    auto screen = kit::ViewController::create<UsageController>();
    host.show(screen->viewPtr());
    screen->viewDidLoad();
    for (auto _ : state) {
        screen->updateInfo();
        screen->view()->layoutIfNeeded();
        screen->networkTableView()->layoutIfNeeded();
    }
}
BENCHMARK(refreshWithoutDrawing)->Unit(benchmark::kMicrosecond);

void refreshAndDraw(benchmark::State& state)
{
    kit::HostOptions options;
    options.scale = 2;
    kit::HeadlessHost host(options);
    auto screen = kit::ViewController::create<UsageController>();
    host.show(screen->viewPtr());
    screen->viewDidLoad();
    for (auto _ : state) {
        screen->updateInfo();
        benchmark::DoNotOptimize(host.render());
    }
}
BENCHMARK(refreshAndDraw)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

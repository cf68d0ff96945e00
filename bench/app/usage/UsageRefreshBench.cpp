// SPDX-License-Identifier: MIT
// One Usage refresh on this machine: the snapshot, the interfaces and counters, the table model
// and the layout; then the same with the frame drawn.
#include "app/usage/UsageController.h"

#include "kit/host/HeadlessHost.h"
#include "kit/ui/Accessibility.h"
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

// The tick as the desktop host runs it with a screen reader's bridge: after the frame, the
// window's elements are walked and compared with the last walk (what AccessibilityBridge does
// before it tells GTK anything).
void refreshDrawAndDescribe(benchmark::State& state)
{
    kit::HostOptions options;
    options.scale = 2;
    kit::HeadlessHost host(options);
    auto screen = kit::ViewController::create<UsageController>();
    host.show(screen->viewPtr());
    screen->viewDidLoad();
    std::vector<kit::AccessibilityElement> last;
    std::size_t changes = 0;
    for (auto _ : state) {
        screen->updateInfo();
        benchmark::DoNotOptimize(host.render());
        auto elements = kit::accessibilityElements(*host.keyWindow());
        changes += elements != last;
        last = std::move(elements);
    }
    state.counters["elements"] = double(last.size());
    state.counters["changed"] = double(changes);
}
BENCHMARK(refreshDrawAndDescribe)->Unit(benchmark::kMicrosecond);

// The walk and the comparison alone.
void describeOnly(benchmark::State& state)
{
    kit::HeadlessHost host;
    auto screen = kit::ViewController::create<UsageController>();
    host.show(screen->viewPtr());
    screen->viewDidLoad();
    screen->updateInfo();
    host.render();
    std::vector<kit::AccessibilityElement> last;
    for (auto _ : state) {
        auto elements = kit::accessibilityElements(*host.keyWindow());
        benchmark::DoNotOptimize(elements == last);
        last = std::move(elements);
    }
    state.counters["elements"] = double(last.size());
}
BENCHMARK(describeOnly)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

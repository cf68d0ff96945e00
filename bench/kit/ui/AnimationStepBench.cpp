// SPDX-License-Identifier: MIT
// One animation step of a small view (a 24-point dot sliding across a panel) on a screen of 60
// labels and a few bars, in the headless host at 375 × 667 points, 2x. Each iteration advances
// the clock by one frame and draws it: damage-limited (only where the dot was and is), and with
// the whole window marked each step as animations used to. Reported: the median and 90th
// percentile of a step in ms, and the median share of the window a step painted.

#include "kit/host/HeadlessHost.h"
#include "kit/host/HostCore.h"
#include "kit/ui/Animator.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    auto at = values.begin() + std::ptrdiff_t(std::round(p * double(values.size() - 1)));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

void BM_AnimationStep(benchmark::State& state, bool wholeWindow)
{
    kit::HostOptions options;
    options.profile = *kit::DeviceProfile::named("iphone-6");
    options.scale = 2;
    options.deviceRoot = "/nonexistent"; // no battery reads inside the measurement
    kit::HeadlessHost host(options);
    auto content = kit::View::create<kit::View>();
    content->setFrame({ 0, 0, 375, 647 });
    content->setBackgroundColor(kit::Color::white());
    for (int i = 0; i < 60; ++i) {
        auto label = kit::View::create<kit::Label>("Figure " + std::to_string(i * 37) + " MB");
        label->setFrame({ 16.0 + (i % 2) * 180, 80.0 + (i / 2) * 18, 160, 16 });
        content->addSubview(label);
    }
    for (int i = 0; i < 3; ++i) {
        auto bar = kit::View::create<kit::View>();
        bar->setFrame({ 16, 20.0 + i * 16, 343.0 * (i + 1) / 4, 10 });
        bar->setBackgroundColor(kit::Color(0.2, 0.5, 0.9));
        bar->setCornerRadius(5);
        content->addSubview(bar);
    }
    auto dot = kit::View::create<kit::View>();
    dot->setFrame({ 16, 630, 24, 24 });
    dot->setBackgroundColor(kit::Color::systemBlue());
    dot->setCornerRadius(12);
    content->addSubview(dot);
    host.show(content);
    host.render();

    std::vector<double> steps, shares;
    bool right = true;
    for (auto _ : state) {
        if (!kit::Animator::shared().hasAnimations()) {
            kit::View::animate(0.5, [&] { dot->setCenter({ right ? 347.0 : 28.0, 642 }); });
            right = !right;
        }
        auto start = std::chrono::steady_clock::now();
        host.advance(1.0 / 60);
        if (wholeWindow)
            content->window()->setNeedsRedraw(content->window()->bounds());
        bool drawn = host.render();
        auto stop = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(stop - start).count();
        state.SetIterationTime(seconds);
        steps.push_back(seconds * 1000);
        double painted = 0;
        for (const kit::Rect& rect : host.core().damageRects())
            painted += rect.width() * rect.height();
        kit::Size screen = host.screenSize();
        shares.push_back(painted / (screen.width * screen.height));
        if (!drawn) {
            state.SkipWithError("an animation step was not drawn");
            break;
        }
    }
    kit::Animator::shared().cancelAll();
    state.counters["median_ms"] = percentile(steps, 0.5);
    state.counters["p90_ms"] = percentile(steps, 0.9);
    state.counters["window_share"] = percentile(shares, 0.5);
}

BENCHMARK_CAPTURE(BM_AnimationStep, damage_limited, false)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AnimationStep, whole_window, true)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

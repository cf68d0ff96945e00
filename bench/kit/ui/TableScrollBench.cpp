// SPDX-License-Identifier: MIT
// Scrolling a 10,000-row table of subtitle cells through its whole length in the headless host
// at 375 × 667 points, 2x. Each iteration is one frame: the offset moves one step, then the
// frame is laid out (cells dequeued and filled) and drawn. Reported: the median, 90th
// percentile and worst frame, and the cells alive (in view and in the reuse pool), which must
// stay near one screenful however far the table scrolls.

#include "kit/host/HeadlessHost.h"
#include "kit/ui/Label.h"
#include "kit/ui/TableView.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr double kRowHeight = 44;
constexpr double kTableHeight = 667 - 20;

class Rows : public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    int numberOfRowsInSection(kit::TableView&, int) override { return kRows; }
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView& table, const kit::IndexPath& path) override
    {
        auto cell = table.dequeueReusableCell("row");
        if (!cell)
            cell = kit::TableViewCell::create(kit::TableViewCellStyle::Subtitle, "row");
        cell->textLabel()->setText("Interface " + std::to_string(path.row));
        cell->detailTextLabel()->setText("Received " + std::to_string(path.row * 1024) + " bytes");
        return cell;
    }
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    auto at = values.begin() + std::ptrdiff_t(std::round(p * double(values.size() - 1)));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// Frames needed to go from the top to the bottom in steps of `step` points.
constexpr long framesFor(double step)
{
    double end = kRows * kRowHeight - kTableHeight;
    return long(end / step) + 1;
}

void BM_TableScroll(benchmark::State& state, double step)
{
    kit::HostOptions options;
    options.profile = *kit::DeviceProfile::named("iphone-6");
    options.scale = 2;
    options.deviceRoot = "/nonexistent"; // no battery reads inside the measurement
    kit::HeadlessHost host(options);
    auto content = kit::View::create<kit::View>();
    content->setFrame({ 0, 0, 375, kTableHeight });
    auto table = kit::TableView::create({ 0, 0, 375, kTableHeight });
    table->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    Rows rows;
    table->setDataSource(&rows);
    table->setDelegate(&rows);
    content->addSubview(table);
    host.show(content);
    host.render();

    const double end = std::max(0.0, table->contentSize().height - table->bounds().height());
    std::vector<double> frames;
    frames.reserve(std::size_t(state.max_iterations));
    int maxLive = 0;
    double y = 0;
    for (auto _ : state) {
        y = std::min(y + step, end);
        auto start = std::chrono::steady_clock::now();
        table->setContentOffset({ 0, y });
        bool drawn = host.render();
        auto stop = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(stop - start).count();
        state.SetIterationTime(seconds);
        frames.push_back(seconds * 1000);
        maxLive = std::max(maxLive, table->liveCellCount());
        if (!drawn && y < end) {
            state.SkipWithError("a scrolled frame was not drawn");
            break;
        }
    }

    // The frames must have shown the rows they claim to: the last one ends on the last row.
    auto* last = table->cellForRowAtIndexPath({ 0, kRows - 1 });
    if (y >= end && (!last || last->textLabel()->text() != "Interface " + std::to_string(kRows - 1)))
        state.SkipWithError("the last row is not on screen at the end");
    if (table->bounds().height() != kTableHeight)
        state.SkipWithError("the table is not one screen high");
    table->setDataSource(nullptr);
    table->setDelegate(nullptr);

    state.counters["median_ms"] = percentile(frames, 0.5);
    state.counters["p90_ms"] = percentile(frames, 0.9);
    state.counters["max_ms"] = frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end());
    state.counters["live_cells"] = maxLive;
    state.counters["frames"] = double(frames.size());
}

// One row per frame (a slow drag) and 600 points per frame (a fast fling).
BENCHMARK_CAPTURE(BM_TableScroll, row_per_frame, kRowHeight)
    ->Iterations(framesFor(kRowHeight))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TableScroll, fling, 600.0)->Iterations(framesFor(600))->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

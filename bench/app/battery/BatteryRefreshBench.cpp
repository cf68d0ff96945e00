// SPDX-License-Identifier: MIT
// One Battery refresh as a tick makes it: the charge reading (the status bar's item, else this
// machine's power supplies), the level bar and labels, the rows and the table's layout, without
// drawing. The iPhone 6 profile gives the six rated activities of the bundled data set.
#include "app/battery/BatteryController.h"

#include "app/specs/DataKeeper.h"
#include "kit/device/Device.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/HostOptions.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

void refresh(benchmark::State& state, const std::string& root)
{
    // The working copy of the data set goes to a folder of our own, seeded from the bundle.
    char data[] = "/tmp/quarrin-bench-data-XXXXXX";
    if (!::mkdtemp(data)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    DataKeeper::setApplicationSupportDirectoryForTesting(std::string(data));
    DataKeeper::resetForTesting();
    DataKeeper::copyDataFromBundleIfNeeded();
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("iphone-6"));
    kit::Device::setRoot(root);
    kit::HostOptions options;
    options.deviceRoot = root;
    kit::HeadlessHost host(options);
    auto screen = kit::ViewController::create<BatteryController>();
    host.show(screen->viewPtr());
    for (auto _ : state) {
        screen->updateInfo();
        screen->tableView()->layoutIfNeeded();
    }
    state.counters["rows"] = double(screen->numberOfRowsInSection(*screen->tableView(), 0));
    kit::Device::setRoot("/");
    DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
    DataKeeper::resetForTesting();
    std::filesystem::remove_all(data);
}

// This machine as it is.
void refreshWithoutDrawing(benchmark::State& state) { refresh(state, "/"); }
BENCHMARK(refreshWithoutDrawing)->Unit(benchmark::kMicrosecond);

// A laptop's battery at 37 %, charging: the status bar shows it and the walk finds it.
void refreshWithBatteryWithoutDrawing(benchmark::State& state)
{
    char pattern[] = "/tmp/quarrin-bench-battery-XXXXXX";
    if (!::mkdtemp(pattern)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::filesystem::path battery = std::filesystem::path(pattern) / "sys/class/power_supply/BAT0";
    std::filesystem::create_directories(battery);
    for (auto [file, text] : { std::pair { "type", "Battery" }, { "status", "Charging" }, { "capacity", "37" },
             { "energy_now", "18500000" }, { "energy_full", "50000000" } })
        std::ofstream(battery / file) << text << "\n";
    refresh(state, pattern);
    std::filesystem::remove_all(pattern);
}
BENCHMARK(refreshWithBatteryWithoutDrawing)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// One rebuild of the comparison as the Compare tab does it whenever it appears: twelve models
// of the bundled data set (a tablet's whole selection) over the default comparison key paths.
// "updateCompareData" is the screen's rebuild (stored selection, builder, table reload);
// "build" is the builder alone.
#include "app/compare/CompareController.h"
#include "app/compare/ComparisonBuilder.h"
#include "app/specs/DataKeeper.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/DeviceProfile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

const std::vector<std::string> kTwelveModels { "iPhone7,2", "iPhone7,1", "iPhone8,1", "iPhone8,2", "iPhone8,4", "iPhone9,1",
    "iPhone9,3", "iPad4,1", "iPad4,2", "iPad5,3", "iPad6,7", "iPod7,1" };

// A private home with the bundled data set as the working copy, and the twelve models stored.
struct Fixture {
    std::filesystem::path home;
    std::string error;

    Fixture()
    {
        char pattern[] = "/tmp/quarrin-bench-compare-XXXXXX";
        if (!mkdtemp(pattern)) {
            error = "cannot make a temporary folder";
            return;
        }
        home = pattern;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("ipad-2"));
        DataKeeper::setBundleSpecsPathForTesting(std::string(QUARRIN_SOURCE_DIR "/resources/specs.plist"));
        DataKeeper::setApplicationSupportDirectoryForTesting((home / "support").string());
        DataKeeper::resetForTesting();
        DataKeeper::copyDataFromBundleIfNeeded();
        for (auto& key : kTwelveModels) {
            if (!DataKeeper::specsForModel(key)["Name"].isString())
                error = "the bundled data set has no " + key;
        }
        if (DataKeeper::comparisonSpecsKeys().size() != 15)
            error = "expected the 15 default comparison key paths";
        kit::UserDefaults::standardUserDefaults().setStringArray(kTwelveModels, ComparisonBuilder::kSelectedModelsKey);
    }
    ~Fixture()
    {
        std::error_code ignored;
        if (!home.empty())
            std::filesystem::remove_all(home, ignored);
    }
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void updateCompareData(benchmark::State& state)
{
    if (!fixture().error.empty()) {
        state.SkipWithError(fixture().error.c_str());
        return;
    }
    auto screen = kit::ViewController::create<CompareController>();
    for (auto _ : state) {
        screen->updateCompareData();
        benchmark::DoNotOptimize(screen->dataModel().data());
    }
    state.counters["sections"] = static_cast<double>(screen->dataModel().size());
}
BENCHMARK(updateCompareData)->Unit(benchmark::kMicrosecond);

void build(benchmark::State& state)
{
    if (!fixture().error.empty()) {
        state.SkipWithError(fixture().error.c_str());
        return;
    }
    auto styles = ComparisonBuilder::textStyles(true);
    ComparisonBuilder::ModelLookup lookup = [](std::string_view key) { return DataKeeper::specsForModel(key); };
    for (auto _ : state) {
        auto sections = ComparisonBuilder::build(kTwelveModels, DataKeeper::comparisonSpecsKeys(), lookup, styles);
        benchmark::DoNotOptimize(sections.data());
    }
}
BENCHMARK(build)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// Reading and writing a property list of about 1 MiB, the size of a large device data set.
#include "kit/base/PropertyList.h"
#include "kit/base/Strings.h"

#include <benchmark/benchmark.h>

namespace {

kit::Value makeDocument(std::size_t targetXMLBytes)
{
    kit::Dict models;
    for (int i = 0; models.size() < 100000; ++i) {
        kit::Dict model {
            { "Name", kit::format("Phone %d,%d", i / 4, i % 4) },
            { "Released", kit::Date(400000000.0 + i * 86400.0) },
            { "BatteryLife",
                kit::Dict {
                    { "Audio Playback", kit::Dict { { "Value", "40 hours" }, { "NumericValue", 40 } } },
                    { "Talk", kit::Dict { { "Value", "14 hours" }, { "NumericValue", 14.5 } } },
                } },
            { "Cameras", kit::Array { "12 MP wide", "12 MP ultra wide", kit::Dict { { "Details", "f/1.6" } } } },
            { "Weight", -i },
        };
        models.emplace(kit::format("Model%05d", i), std::move(model));
        if (i % 64 == 0) {
            auto bytes = kit::PropertyList::write(kit::Value(models));
            if (bytes.ok() && bytes->size() >= targetXMLBytes)
                break;
        }
    }
    return kit::Value(std::move(models));
}

const kit::Value& document()
{
    static const kit::Value value = makeDocument(1024 * 1024);
    return value;
}

void readPlist(benchmark::State& state, kit::PropertyList::Format format)
{
    kit::Data bytes = kit::PropertyList::write(document(), format).valueOr({});
    for (auto _ : state) {
        auto value = kit::PropertyList::read(std::span<const std::uint8_t>(bytes));
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
    state.counters["bytes"] = double(bytes.size());
}

void writePlist(benchmark::State& state, kit::PropertyList::Format format)
{
    std::size_t size = 0;
    for (auto _ : state) {
        auto bytes = kit::PropertyList::write(document(), format);
        size = bytes.ok() ? bytes->size() : 0;
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size));
}

void BM_ReadXML(benchmark::State& state) { readPlist(state, kit::PropertyList::Format::XML); }
void BM_ReadBinary(benchmark::State& state) { readPlist(state, kit::PropertyList::Format::Binary); }
void BM_WriteXML(benchmark::State& state) { writePlist(state, kit::PropertyList::Format::XML); }
void BM_WriteBinary(benchmark::State& state) { writePlist(state, kit::PropertyList::Format::Binary); }

} // namespace

BENCHMARK(BM_ReadXML)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXML)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBinary)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

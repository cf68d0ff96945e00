// SPDX-License-Identifier: MIT
#include "kit/device/Device.h"

#include "kit/device/BootTimeSource.h"
#include "kit/device/DeviceIdentity.h"
#include "kit/device/InterfaceKindCache.h"
#include "kit/device/OsReleaseSource.h"

#include <chrono>
#include <optional>

namespace kit {

namespace {

struct State {
    std::string root = "/";
    bool batteryMonitoring = false;
    // The machine does not change model while we run; read it once per root.
    std::optional<std::string> detectedModel;
    // The per-tick sources; made on first use for the current root.
    std::optional<MemorySource> memory;
    std::optional<std::int64_t> bootTime;
    InterfaceCounterSource counters;
    std::optional<InterfaceKindCache> kinds;
    // The counters of the last configuration reading, until interfaceCounters takes them.
    std::optional<std::vector<InterfaceCounters>> fromConfiguration;
    std::chrono::steady_clock::time_point configurationTime;
};

// How long the counters of a configuration reading stand for a fresh link dump.
constexpr std::chrono::milliseconds kSameRefresh { 100 };

State& state()
{
    static State s;
    return s;
}

} // namespace

std::string Device::modelIdentifier()
{
    const auto& profile = DeviceProfile::current();
    if (!profile.modelIdentifier.empty())
        return profile.modelIdentifier;
    auto& s = state();
    if (!s.detectedModel)
        s.detectedModel = DeviceIdentity(s.root).modelIdentifier();
    return *s.detectedModel;
}

std::string Device::name() { return DeviceIdentity::hostName(); }

std::string Device::systemVersion() { return DeviceIdentity::leadingVersion(DeviceIdentity::kernelRelease()); }

std::optional<std::string> Device::distributionName() { return OsReleaseSource(state().root).prettyName(); }

Idiom Device::idiom() { return DeviceProfile::current().idiom; }

ScreenSize Device::screenSize() { return DeviceProfile::current().screenSize; }

BatteryReading Device::battery() { return BatterySource(state().root).read(); }

void Device::setBatteryMonitoringEnabled(bool enabled) { state().batteryMonitoring = enabled; }

bool Device::isBatteryMonitoringEnabled() { return state().batteryMonitoring; }

float Device::batteryLevel()
{
    if (!state().batteryMonitoring)
        return -1.0f;
    return battery().level;
}

int Device::batteryState()
{
    if (!state().batteryMonitoring)
        return BatteryReading::Unknown;
    return battery().state;
}

void Device::setRoot(std::string root)
{
    auto& s = state();
    s.root = root.empty() ? std::string("/") : std::move(root);
    s.detectedModel.reset();
    s.memory.reset();
    s.bootTime.reset();
    s.kinds.reset();
    s.fromConfiguration.reset();
}

Result<MemoryInfo> Device::memory()
{
    auto& s = state();
    if (!s.memory)
        s.memory.emplace(s.root);
    return s.memory->read();
}

Result<std::int64_t> Device::bootTime()
{
    auto& s = state();
    if (s.bootTime)
        return *s.bootTime;
    // A failure is not kept: the next reading tries again.
    auto reading = BootTimeSource(s.root).read();
    if (reading.ok())
        s.bootTime = *reading;
    return reading;
}

Result<std::vector<InterfaceEntry>> Device::interfaceConfiguration()
{
    auto& s = state();
    auto reading = s.counters.readWithConfiguration();
    if (!reading.ok()) {
        s.fromConfiguration.reset();
        return InterfaceConfigurationSource(s.root).read();
    }
    s.fromConfiguration = std::move(reading->counters);
    s.configurationTime = std::chrono::steady_clock::now();
    return std::move(reading->entries);
}

Result<std::vector<InterfaceCounters>> Device::interfaceCounters()
{
    auto& s = state();
    Result<std::vector<InterfaceCounters>> records = Error { "" };
    if (s.fromConfiguration && std::chrono::steady_clock::now() - s.configurationTime < kSameRefresh)
        records = std::move(*s.fromConfiguration);
    else
        records = s.counters.read();
    s.fromConfiguration.reset();
    if (!s.kinds)
        s.kinds.emplace(s.root);
    if (records.ok())
        s.kinds->noteLinks(*records);
    else
        s.kinds->forget();
    return records;
}

InterfaceKind Device::interfaceKind(std::string_view name)
{
    auto& s = state();
    if (!s.kinds)
        s.kinds.emplace(s.root);
    return s.kinds->kindOf(name);
}

const std::string& Device::root() { return state().root; }

} // namespace kit

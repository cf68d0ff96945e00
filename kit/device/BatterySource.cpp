// SPDX-License-Identifier: MIT
#include "kit/device/BatterySource.h"

#include "kit/device/SystemFile.h"

#include <algorithm>
#include <cmath>
#include <dirent.h>
#include <vector>

namespace kit {

namespace {

struct Battery {
    std::optional<std::int64_t> capacity;
    std::optional<std::int64_t> energyNow;
    std::optional<std::int64_t> energyFull;
    std::optional<std::int64_t> chargeNow;
    std::optional<std::int64_t> chargeFull;
    std::string status;

    bool hasEnergy() const { return energyNow && energyFull && *energyNow >= 0 && *energyFull > 0; }
    bool hasCharge() const { return chargeNow && chargeFull && *chargeNow >= 0 && *chargeFull > 0; }

    // energy, else charge, else capacity; nothing when none of them is usable.
    std::optional<double> fraction() const
    {
        if (hasEnergy())
            return double(*energyNow) / double(*energyFull);
        if (hasCharge())
            return double(*chargeNow) / double(*chargeFull);
        if (capacity)
            return double(std::clamp<std::int64_t>(*capacity, 0, 100)) / 100.0;
        return std::nullopt;
    }
};

int stateOf(const std::string& status, bool onMains)
{
    if (status == "Charging")
        return BatteryReading::Charging;
    if (status == "Full")
        return BatteryReading::Full;
    if (status == "Discharging")
        return BatteryReading::Unplugged;
    // Held back by a charge threshold while plugged in: as full as it is allowed to get.
    if (status == "Not charging")
        return onMains ? BatteryReading::Full : BatteryReading::Unplugged;
    return BatteryReading::Unknown;
}

std::vector<std::string> entriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    // readdir's order is the file system's; sort so that readings are repeatable.
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

BatterySource::BatterySource(std::string root)
    : m_root(std::move(root))
{
}

BatteryReading BatterySource::read() const
{
    std::string folder = detail::underRoot(m_root, "/sys/class/power_supply");
    std::vector<Battery> batteries;
    bool onMains = false;
    for (const auto& name : entriesOf(folder)) {
        std::string base = folder + "/" + name + "/";
        auto attribute = [&](const char* file) { return detail::readAttribute(base + file); };
        auto number = [&](const char* file) -> std::optional<std::int64_t> {
            auto text = attribute(file);
            return text ? detail::parseInteger(*text) : std::nullopt;
        };
        auto type = attribute("type");
        if (!type || attribute("scope") == "Device")
            continue;
        if (*type != "Battery") {
            if (number("online").value_or(0) > 0)
                onMains = true;
            continue;
        }
        Battery battery;
        battery.capacity = number("capacity");
        battery.energyNow = number("energy_now");
        battery.energyFull = number("energy_full");
        battery.chargeNow = number("charge_now");
        battery.chargeFull = number("charge_full");
        battery.status = attribute("status").value_or("");
        batteries.push_back(std::move(battery));
    }

    BatteryReading reading;
    if (batteries.empty())
        return reading;

    std::optional<double> fraction;
    auto all = [&](bool (Battery::*has)() const) {
        return std::all_of(batteries.begin(), batteries.end(), [&](const Battery& b) { return (b.*has)(); });
    };
    if (batteries.size() == 1) {
        fraction = batteries.front().fraction();
    } else if (all(&Battery::hasEnergy) || all(&Battery::hasCharge)) {
        bool energy = all(&Battery::hasEnergy);
        double now = 0;
        double full = 0;
        for (const auto& b : batteries) {
            now += double(energy ? *b.energyNow : *b.chargeNow);
            full += double(energy ? *b.energyFull : *b.chargeFull);
        }
        fraction = now / full;
    } else {
        // Batteries that report in different units: weigh them alike.
        double sum = 0;
        int counted = 0;
        for (const auto& b : batteries) {
            if (auto f = b.fraction()) {
                sum += *f;
                ++counted;
            }
        }
        if (counted)
            fraction = sum / counted;
    }
    if (fraction) {
        // A worn battery can report more than its last full charge.
        reading.level = static_cast<float>(std::clamp(*fraction, 0.0, 1.0));
    }

    if (batteries.size() == 1 && batteries.front().capacity)
        reading.percentage = std::clamp<long>(*batteries.front().capacity, 0, 100);
    else if (fraction)
        reading.percentage = std::lround(std::clamp(*fraction, 0.0, 1.0) * 100.0);

    bool anyCharging = false;
    bool anyUnplugged = false;
    bool anyFull = false;
    for (const auto& b : batteries) {
        int state = stateOf(b.status, onMains);
        anyCharging |= state == BatteryReading::Charging;
        anyUnplugged |= state == BatteryReading::Unplugged;
        anyFull |= state == BatteryReading::Full;
    }
    reading.state = anyCharging ? BatteryReading::Charging
        : anyUnplugged          ? BatteryReading::Unplugged
        : anyFull               ? BatteryReading::Full
                                : BatteryReading::Unknown;
    return reading;
}

} // namespace kit

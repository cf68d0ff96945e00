// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace kit {

struct BatteryReading {
    enum State { Unknown = 0, Unplugged = 1, Charging = 2, Full = 3 };

    // Whole percentage 0…100, the status bar's figure; nothing without a battery.
    std::optional<long> percentage;
    // Charge fraction 0…1; −1 without a battery.
    float level = -1.0f;
    int state = Unknown;

    bool hasBattery() const { return level >= 0.0f; }
};

// The batteries under <root>/sys/class/power_supply: entries of type Battery, except those of
// scope Device (a mouse's or keyboard's). Several batteries count as one: their energies add.
class BatterySource {
public:
    explicit BatterySource(std::string root = "/");

    BatteryReading read() const;

private:
    std::string m_root;
};

} // namespace kit

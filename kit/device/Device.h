// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/BatterySource.h"
#include "kit/device/DeviceProfile.h"

#include <optional>
#include <string>

namespace kit {

// This device, as the screens see it: the current profile's idiom and screen, the profile's
// model identifier or this machine's own, and this machine's name, system and battery.
class Device {
public:
    static std::string modelIdentifier();
    static std::string name();
    static std::string systemName() { return "Linux"; }
    static std::string systemVersion();
    // The distribution's PRETTY_NAME from os-release; nothing when it says none.
    static std::optional<std::string> distributionName();
    static Idiom idiom();
    static ScreenSize screenSize();
    // The whole reading, whatever the monitoring switch says (the status bar, --print).
    static BatteryReading battery();

    // Battery monitoring, switched by the screen that reads the charge. While it is off, as on
    // the handheld platform, batteryLevel() answers −1.0 and batteryState() 0 (unknown); while
    // it is on, each call reads the battery afresh. Off at start.
    static void setBatteryMonitoringEnabled(bool enabled);
    static bool isBatteryMonitoringEnabled();
    // The charge fraction 0…1 in single precision; −1.0 when monitoring is off or there is no
    // battery.
    static float batteryLevel();
    // BatteryReading::State; 0 (unknown) when monitoring is off or there is no battery.
    static int batteryState();

    // The folder the machine's files are read under ("/" unless a test says otherwise).
    static void setRoot(std::string root);
    static const std::string& root();
};

} // namespace kit

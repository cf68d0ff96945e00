// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/device/BatterySource.h"
#include "kit/device/DeviceProfile.h"
#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"
#include "kit/device/MemorySource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    // The figures read on every tick, from sources kept for the current root: /proc/meminfo's
    // descriptor and the netlink socket stay open between readings, and the boot time is read
    // once (it does not move while the machine runs).
    static Result<MemoryInfo> memory();
    static Result<std::int64_t> bootTime();
    // The interface configuration, from a link and an address dump on the kept socket (from
    // getifaddrs when they fail). The counters of that link dump are kept for the next
    // interfaceCounters call if it comes within a tenth of a second, as it does in a refresh,
    // so a refresh makes one link dump, not two.
    static Result<std::vector<InterfaceEntry>> interfaceConfiguration();
    // One link dump (or the one interfaceConfiguration has just made); the interface list it
    // gives also tells interfaceKind when to look again.
    static Result<std::vector<InterfaceCounters>> interfaceCounters();
    // An interface's kind, looked up under /sys once per interface while the list of interfaces
    // stays the same (afresh every time until interfaceCounters has given one).
    static InterfaceKind interfaceKind(std::string_view name);

    // The folder the machine's files are read under ("/" unless a test says otherwise).
    static void setRoot(std::string root);
    static const std::string& root();
};

} // namespace kit

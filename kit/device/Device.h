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
    static BatteryReading battery();

    // The folder the machine's files are read under ("/" unless a test says otherwise).
    static void setRoot(std::string root);
    static const std::string& root();
};

} // namespace kit

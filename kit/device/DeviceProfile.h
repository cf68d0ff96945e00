// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kit {

enum class Idiom { Phone, Pad };

// A screen size in points, portrait (width < height).
struct ScreenSize {
    double width = 0;
    double height = 0;

    bool operator==(const ScreenSize&) const = default;
};

// The phone- or tablet-sized screen the windows are laid out for, and the model the
// screens should take this machine for. Everything measured (memory, disk, network,
// battery) stays this machine's own whatever the profile.
struct DeviceProfile {
    std::string name;
    Idiom idiom = Idiom::Phone;
    ScreenSize screenSize;
    // Replaces the detected model identifier when not empty.
    std::string modelIdentifier;

    bool isPad() const { return idiom == Idiom::Pad; }

    // Phone, 375 × 667 points, this machine's own model identifier. Named "default".
    static const DeviceProfile& defaultProfile();
    // The built-in table, smallest phone first, tablets last. The default is not in it.
    static std::span<const DeviceProfile> builtInProfiles();
    // "default" or a built-in name, compared case-insensitively; nothing for other names.
    static std::optional<DeviceProfile> named(std::string_view name);

    // The process-wide profile, set once at start (the host's --device). Default until then.
    static const DeviceProfile& current();
    static void setCurrent(DeviceProfile profile);
};

} // namespace kit

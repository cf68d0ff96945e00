// SPDX-License-Identifier: MIT
#include "kit/device/DeviceProfile.h"

#include "kit/base/Strings.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kit {

namespace {

const std::array<DeviceProfile, 6> kBuiltIn { {
    { "iphone-4s", Idiom::Phone, { 320, 480 }, "iPhone4,1" },
    { "iphone-5s", Idiom::Phone, { 320, 568 }, "iPhone6,1" },
    { "iphone-6", Idiom::Phone, { 375, 667 }, "iPhone7,2" },
    { "iphone-6-plus", Idiom::Phone, { 414, 736 }, "iPhone7,1" },
    { "ipad-2", Idiom::Pad, { 768, 1024 }, "iPad2,1" },
    { "ipad-pro-12.9", Idiom::Pad, { 1024, 1366 }, "iPad6,7" },
} };

DeviceProfile& currentStorage()
{
    static DeviceProfile profile = DeviceProfile::defaultProfile();
    return profile;
}

} // namespace

const DeviceProfile& DeviceProfile::defaultProfile()
{
    static const DeviceProfile profile { "default", Idiom::Phone, { 375, 667 }, {} };
    return profile;
}

std::span<const DeviceProfile> DeviceProfile::builtInProfiles() { return kBuiltIn; }

std::optional<DeviceProfile> DeviceProfile::named(std::string_view name)
{
    if (equalsIgnoringCase(name, defaultProfile().name))
        return defaultProfile();
    for (const auto& profile : kBuiltIn) {
        if (equalsIgnoringCase(name, profile.name))
            return profile;
    }
    return std::nullopt;
}

const DeviceProfile& DeviceProfile::current() { return currentStorage(); }

void DeviceProfile::setCurrent(DeviceProfile profile) { currentStorage() = std::move(profile); }

} // namespace kit

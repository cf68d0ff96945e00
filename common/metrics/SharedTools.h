// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Font.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Image.h"

#include <cstdint>
#include <string>
#include <string_view>

// Device metrics that both programs show: the usage snapshot of memory and disk, byte texts,
// the boot time, the background picture for the screen and named fonts with a fallback.
// Stateless: every call reads the system afresh.
class SharedTools {
public:
    static constexpr std::string_view kFreePercentRamKey = "kFreePercentRamKey";
    static constexpr std::string_view kInactivePercentRamKey = "kInactivePercentRamKey";
    static constexpr std::string_view kActivePercentRamKey = "kActivePercentRamKey";
    static constexpr std::string_view kWiredPercentRamKey = "kWiredPercentRamKey";
    static constexpr std::string_view kFreeRamStrKey = "kFreeRamStrKey";
    static constexpr std::string_view kInactiveRamStrKey = "kInactiveRamStrKey";
    static constexpr std::string_view kActiveRamStrKey = "kActiveRamStrKey";
    static constexpr std::string_view kWiredRamStrKey = "kWiredRamStrKey";
    static constexpr std::string_view kAllRamStrKey = "kAllRamStrKey";
    static constexpr std::string_view kUsedPercentDiskKey = "kUsedPercentDiskKey";
    static constexpr std::string_view kFreeDiskStrKey = "kFreeDiskStrKey";
    static constexpr std::string_view kUsedDiskStrKey = "kUsedDiskStrKey";
    static constexpr std::string_view kAllDiskStrKey = "kAllDiskStrKey";

    // The 13-key usage dictionary of this machine's memory and of the documents folder's disk.
    static kit::Dict usageDict();
    // "14.9 GB": one decimal and a 1024-step unit from KB to TB.
    static std::string bytesRepresentation(std::uint64_t bytes);
    // "Boot time:" (localised), a space and the boot moment in the user's locale; "n/a" (localised)
    // in its place when unknown.
    static std::string bootTimeString();

    // The launch image for the current screen size and orientation; null when none exists.
    static kit::ImagePtr launchImage();
    // The named font, else the (bold, for names ending in "Bold") system font; never null.
    static kit::FontPtr fontWithName(std::string_view name, double size);

    // What a snapshot is computed from, so the arithmetic can be checked on chosen figures.
    struct MemoryFigures {
        std::uint64_t physicalMemory = 0;
        std::uint32_t freePages = 0;
        std::uint32_t activePages = 0;
        std::uint32_t inactivePages = 0;
        std::uint32_t wiredPages = 0;
    };
    static kit::Dict usageDict(const MemoryFigures& memory, std::int64_t diskTotal, std::int64_t diskFree);
    // The launch image name for a screen of `screen` points (its orientation read from it)
    // from "UILaunchImages"-style entries.
    static std::string launchImageName(kit::Size screen, bool isPad, const kit::Value& launchImages);
    // The screen's current size in points: the key window's, else the device profile's.
    static kit::Size screenSize();
};

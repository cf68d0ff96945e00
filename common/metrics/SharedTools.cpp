// SPDX-License-Identifier: MIT
#include "common/metrics/SharedTools.h"

#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/FileManager.h"
#include "kit/device/BootTimeSource.h"
#include "kit/device/Device.h"
#include "kit/device/MemorySource.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <charconv>

namespace {

double fraction(double part, double whole) { return whole == 0 ? 0.0 : part / whole; }

// "{320, 568}" → 320 × 568; nothing for anything else.
std::optional<kit::Size> sizeFromString(std::string_view text)
{
    auto open = text.find('{');
    auto comma = text.find(',');
    auto close = text.find('}');
    if (open == std::string_view::npos || comma == std::string_view::npos || close == std::string_view::npos
        || !(open < comma && comma < close))
        return std::nullopt;
    double width = kit::parseDouble(text.substr(open + 1, comma - open - 1));
    double height = kit::parseDouble(text.substr(comma + 1, close - comma - 1));
    return kit::Size { width, height };
}

} // namespace

std::string SharedTools::bytesRepresentation(std::uint64_t bytes)
{
    // Single precision on purpose: the steps compare floats, so counts within float rounding
    // of a boundary fall on its lower side, as the byte texts always have.
    float value = static_cast<float>(bytes);
    std::string_view unit = "KB";
    float divisor = 1024.0f;
    if (bytes > 1048576) {
        unit = "MB";
        divisor = 1048576.0f;
    }
    if (value > divisor * 1024.0f) {
        unit = "GB";
        divisor *= 1024.0f;
    }
    if (value > divisor * 1024.0f) {
        unit = "TB";
        divisor *= 1024.0f;
    }
    double quotient = static_cast<double>(value / divisor);
    // to_chars, not printf: the decimal point must not follow the process locale.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, quotient, std::chars_format::fixed, 1);
    std::string text(buffer, result.ptr);
    text += ' ';
    text += unit;
    return text;
}

kit::Dict SharedTools::usageDict(const MemoryFigures& memory, std::int64_t diskTotal, std::int64_t diskFree)
{
    // The page counts add up in 32 bits, wrapping, and the page size is the truncated quotient:
    // the four categories then cover physical memory less the division's remainder.
    std::uint32_t pageSum = memory.freePages + memory.activePages + memory.inactivePages + memory.wiredPages;
    std::uint64_t pageSize = pageSum == 0 ? 0 : memory.physicalMemory / pageSum;
    std::uint64_t freeBytes = pageSize * memory.freePages;
    std::uint64_t activeBytes = pageSize * memory.activePages;
    std::uint64_t inactiveBytes = pageSize * memory.inactivePages;
    std::uint64_t wiredBytes = pageSize * memory.wiredPages;
    double physical = static_cast<double>(memory.physicalMemory);

    std::int64_t diskUsed = diskTotal - diskFree;

    kit::Dict usage;
    usage.emplace(kFreePercentRamKey, fraction(static_cast<double>(freeBytes), physical));
    usage.emplace(kInactivePercentRamKey, fraction(static_cast<double>(inactiveBytes), physical));
    usage.emplace(kActivePercentRamKey, fraction(static_cast<double>(activeBytes), physical));
    usage.emplace(kWiredPercentRamKey, fraction(static_cast<double>(wiredBytes), physical));
    usage.emplace(kFreeRamStrKey, bytesRepresentation(freeBytes));
    usage.emplace(kInactiveRamStrKey, bytesRepresentation(inactiveBytes));
    usage.emplace(kActiveRamStrKey, bytesRepresentation(activeBytes));
    usage.emplace(kWiredRamStrKey, bytesRepresentation(wiredBytes));
    usage.emplace(kAllRamStrKey, bytesRepresentation(memory.physicalMemory));
    usage.emplace(kUsedPercentDiskKey, fraction(static_cast<double>(diskUsed), static_cast<double>(diskTotal)));
    usage.emplace(kFreeDiskStrKey, bytesRepresentation(static_cast<std::uint64_t>(diskFree)));
    usage.emplace(kUsedDiskStrKey, bytesRepresentation(static_cast<std::uint64_t>(diskUsed)));
    usage.emplace(kAllDiskStrKey, bytesRepresentation(static_cast<std::uint64_t>(diskTotal)));
    return usage;
}

kit::Dict SharedTools::usageDict()
{
    MemoryFigures memory;
    if (auto reading = kit::Device::memory(); reading.ok()) {
        memory.physicalMemory = reading->physicalMemory;
        memory.freePages = reading->freePages;
        memory.activePages = reading->activePages;
        memory.inactivePages = reading->inactivePages;
        memory.wiredPages = reading->wiredPages;
    }
    std::int64_t total = 0;
    std::int64_t free = 0;
    if (auto attributes = kit::FileManager::attributesOfFileSystemForPath(kit::FileManager::documentsDirectory());
        attributes.ok()) {
        total = attributes->size;
        free = attributes->freeSize;
    }
    return usageDict(memory, total, free);
}

std::string SharedTools::bootTimeString()
{
    auto bootTime = kit::Device::bootTime();
    if (!bootTime.ok())
        return kit::Bundle::mainBundle().localizedString("Boot time:") + " " + kit::Bundle::mainBundle().localizedString("n/a");
    return kit::Bundle::mainBundle().localizedString("Boot time:") + " "
        + kit::DateFormatter::mediumDateShortTime(kit::Date::fromUnix(static_cast<double>(*bootTime)));
}

kit::Size SharedTools::screenSize()
{
    if (auto* window = kit::Window::keyWindow())
        return window->bounds().size;
    auto screen = kit::Device::screenSize();
    return { screen.width, screen.height };
}

std::string SharedTools::launchImageName(kit::Size screen, bool isPad, const kit::Value& launchImages)
{
    double w = screen.width;
    double h = screen.height;
    std::string_view orientation = h < w ? "Landscape" : "Portrait";
    double shortSide = std::min(w, h);
    double longSide = std::max(w, h);

    if (isPad && (h >= 1366 || w >= 1366))
        return orientation == "Portrait" ? "Default-Portrait-ipad-pro.png" : "Default-Landscape-ipad-pro.png";

    if (auto* entries = launchImages.asArray()) {
        for (auto& entry : *entries) {
            auto size = sizeFromString(entry["UILaunchImageSize"].string());
            if (!size || size->width != shortSide || size->height != longSide)
                continue;
            if (entry["UILaunchImageOrientation"].string() != orientation)
                continue;
            return entry["UILaunchImageName"].string();
        }
    }
    return "LaunchImage";
}

kit::ImagePtr SharedTools::launchImage()
{
    auto name = launchImageName(screenSize(), kit::Device::idiom() == kit::Idiom::Pad,
        kit::Bundle::mainBundle().objectForInfoDictionaryKey("UILaunchImages"));
    // Assets are SVG files: a ".png" in the name only says which picture is meant.
    if (name.ends_with(".png"))
        name.resize(name.size() - 4);
    return kit::Image::named(name);
}

kit::FontPtr SharedTools::fontWithName(std::string_view name, double size)
{
    if (auto font = kit::Font::named(name, size))
        return font;
    if (name.ends_with("Bold"))
        return kit::Font::boldSystemFont(size);
    return kit::Font::systemFont(size);
}

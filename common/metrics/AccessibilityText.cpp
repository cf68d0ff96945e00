// SPDX-License-Identifier: MIT
#include "common/metrics/AccessibilityText.h"

#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"

namespace AccessibilityText {

namespace {

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

std::string_view text(const kit::Value& usage, std::string_view key) { return usage[key].string(); }

} // namespace

std::string fillIn(std::string_view format, std::initializer_list<std::string_view> values)
{
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@') {
            if (next != values.end())
                out += *next++;
            ++i;
            continue;
        }
        out += format[i];
    }
    return out;
}

std::string diskBar(const kit::Value& usage)
{
    return fillIn(localized("AccessibilityDiskBar"),
        { text(usage, SharedTools::kUsedDiskStrKey), text(usage, SharedTools::kAllDiskStrKey) });
}

std::string memoryBar(const kit::Value& usage)
{
    return fillIn(localized("AccessibilityMemoryBar"),
        { text(usage, SharedTools::kFreeRamStrKey), text(usage, SharedTools::kAllRamStrKey) });
}

std::string diskPanel(const kit::Value& usage)
{
    return fillIn(localized("AccessibilityDiskPanel"),
        { text(usage, SharedTools::kUsedDiskStrKey), text(usage, SharedTools::kFreeDiskStrKey),
            text(usage, SharedTools::kAllDiskStrKey) });
}

std::string memoryPanel(const kit::Value& usage)
{
    return fillIn(localized("AccessibilityMemoryPanel"),
        { text(usage, SharedTools::kWiredRamStrKey), text(usage, SharedTools::kActiveRamStrKey),
            text(usage, SharedTools::kInactiveRamStrKey), text(usage, SharedTools::kFreeRamStrKey),
            text(usage, SharedTools::kAllRamStrKey) });
}

std::string networkHeader(std::string_view name, std::string_view received, std::string_view sent)
{
    if (received.empty() && sent.empty())
        return std::string(name);
    return fillIn(localized("AccessibilityNetworkHeader"), { name, received, sent });
}

std::string legend(std::string_view nameKey, std::string_view value) { return localized(nameKey) + " " + std::string(value); }

} // namespace AccessibilityText

// SPDX-License-Identifier: MIT
#include "kit/device/DeviceIdentity.h"

#include "kit/base/Strings.h"

#include "kit/device/SystemFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <sys/utsname.h>
#include <unistd.h>

namespace kit {

namespace {

// Keeps printable text on one line: firmware strings may hold anything.
std::string cleaned(std::string_view text)
{
    std::string result;
    for (char c : detail::trimmed(text.substr(0, 256))) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '\0')
            break;
        result += (byte < 0x20 || byte == 0x7f) ? ' ' : c;
    }
    return std::string(detail::trimmed(result));
}

} // namespace

DeviceIdentity::DeviceIdentity(std::string root)
    : m_root(std::move(root))
{
}

bool DeviceIdentity::isPlaceholder(std::string_view text)
{
    static constexpr std::array<std::string_view, 18> placeholders { "To Be Filled By O.E.M.", "To Be Filled By O.E.M",
        "Default string", "Not Specified", "Not Applicable", "System manufacturer", "System Product Name", "System Version",
        "OEM", "O.E.M.", "None", "Unknown", "Undefined", "N/A", "Default", "Type1ProductConfigId", "Chassis Manufacturer",
        "x.x" };
    text = detail::trimmed(text);
    if (text.empty())
        return true;
    return std::any_of(placeholders.begin(), placeholders.end(),
        [&](std::string_view placeholder) { return equalsIgnoringCase(text, placeholder); });
}

std::string DeviceIdentity::modelIdentifier(std::string_view unameMachine) const
{
    for (const char* path : { "/proc/device-tree/model", "/sys/firmware/devicetree/base/model" }) {
        if (auto model = detail::readAttribute(detail::underRoot(m_root, path))) {
            std::string text = cleaned(*model);
            if (!text.empty())
                return text;
        }
    }

    std::string dmi;
    for (const char* path : { "/sys/class/dmi/id/sys_vendor", "/sys/class/dmi/id/product_name" }) {
        auto value = detail::readAttribute(detail::underRoot(m_root, path));
        if (!value)
            continue;
        std::string text = cleaned(*value);
        if (isPlaceholder(text))
            continue;
        if (!dmi.empty())
            dmi += ' ';
        dmi += text;
    }
    if (!dmi.empty())
        return dmi;

    if (!unameMachine.empty())
        return std::string(unameMachine);
    utsname names;
    if (::uname(&names) == 0)
        return cleaned(names.machine);
    return "unknown";
}

std::string DeviceIdentity::hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

std::string DeviceIdentity::kernelRelease()
{
    utsname names;
    if (::uname(&names) != 0)
        return {};
    return names.release;
}

std::string DeviceIdentity::leadingVersion(std::string_view release)
{
    // Up to two dot-separated groups of digits.
    std::size_t end = 0;
    int groups = 0;
    while (groups < 2) {
        std::size_t start = end + (groups ? 1 : 0);
        std::size_t digits = start;
        while (digits < release.size() && std::isdigit(static_cast<unsigned char>(release[digits])))
            ++digits;
        if (digits == start)
            break;
        end = digits;
        ++groups;
        if (end >= release.size() || release[end] != '.')
            break;
    }
    return std::string(release.substr(0, end));
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceConfigurationSource.h"

#include "kit/device/SystemFile.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kit {

std::string InterfaceEntry::addressText() const
{
    char text[32];
    if (family == kFamilyIPv4) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
        return text;
    }
    if (family == kFamilyIPv6) {
        char v6[INET6_ADDRSTRLEN];
        return ::inet_ntop(AF_INET6, address.data(), v6, sizeof v6) ? std::string(v6) : std::string();
    }
    if (family == kFamilyLink) {
        std::string result;
        for (std::size_t i = 0; i < addressLength && i < address.size(); ++i) {
            std::snprintf(text, sizeof text, i ? ":%02X" : "%02X", address[i]);
            result += text;
        }
        return result;
    }
    return {};
}

bool isGlobalIPv6(const std::array<std::uint8_t, 16>& a)
{
    if (a[0] == 0xff)
        return (a[1] & 0x0f) == 0x0e; // a multicast group's own scope field
    if (a[0] == 0xfe && (a[1] & 0xc0) == 0x80)
        return false; // link-local
    if (a[0] == 0xfe && (a[1] & 0xc0) == 0xc0)
        return false; // site-local, long deprecated
    bool zeroPrefix = std::all_of(a.begin(), a.begin() + 15, [](std::uint8_t byte) { return byte == 0; });
    return !(zeroPrefix && a[15] <= 1); // neither :: nor ::1
}

std::vector<InterfaceEntry> entriesFromInterfaceAddresses(const ifaddrs* list)
{
    std::vector<InterfaceEntry> entries;
    for (const ifaddrs* item = list; item; item = item->ifa_next) {
        if (!item->ifa_name || !item->ifa_addr)
            continue;
        InterfaceEntry entry;
        // Kernel names end within IFNAMSIZ; a longer text is not one of them.
        std::size_t nameLength = ::strnlen(item->ifa_name, IFNAMSIZ);
        if (nameLength == 0 || nameLength == IFNAMSIZ)
            continue;
        entry.name.assign(item->ifa_name, nameLength);
        if (item->ifa_addr->sa_family == AF_INET) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
            entry.family = InterfaceEntry::kFamilyIPv4;
            std::memcpy(entry.address.data(), &address->sin_addr.s_addr, 4);
            entry.addressLength = 4;
        } else if (item->ifa_addr->sa_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(item->ifa_addr);
            std::memcpy(entry.address.data(), &address->sin6_addr, 16);
            if (!isGlobalIPv6(entry.address))
                continue;
            entry.family = InterfaceEntry::kFamilyIPv6;
            entry.addressLength = 16;
        } else if (item->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(item->ifa_addr);
            entry.family = InterfaceEntry::kFamilyLink;
            entry.addressLength = static_cast<std::uint8_t>(std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr));
            std::memcpy(entry.address.data(), link->sll_addr, entry.addressLength);
        } else {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

InterfaceConfigurationSource::InterfaceConfigurationSource(std::string root)
    : m_root(std::move(root))
{
}

Result<std::vector<InterfaceEntry>> InterfaceConfigurationSource::read() const
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return Error { std::string("getifaddrs: ") + std::strerror(errno) };
    auto entries = entriesFromInterfaceAddresses(list);
    ::freeifaddrs(list);
    return entries;
}

bool InterfaceConfigurationSource::exists(const std::string& relative) const
{
    return detail::pathExists(detail::underRoot(m_root, relative));
}

InterfaceKind InterfaceConfigurationSource::kindOf(std::string_view name) const
{
    // A name that could climb out of /sys/class/net is never looked up there.
    bool safe = !name.empty() && name.size() < IFNAMSIZ && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
    std::string folder = "/sys/class/net/" + std::string(name);

    std::optional<std::string> devType;
    std::optional<std::string> linkType; // ARPHRD_*: 772 loopback, 512 PPP, 65534 none (TUN)
    if (safe) {
        linkType = detail::readAttribute(detail::underRoot(m_root, folder + "/type"));
        if (name == "lo" || linkType == "772")
            return InterfaceKind::Loopback;
        if (exists(folder + "/wireless") || exists(folder + "/phy80211"))
            return InterfaceKind::Wireless;
        if (auto uevent = detail::readAttribute(detail::underRoot(m_root, folder + "/uevent"))) {
            std::string_view text = *uevent;
            while (!text.empty()) {
                std::size_t newline = text.find('\n');
                std::string_view line = text.substr(0, newline);
                text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
                if (line.starts_with("DEVTYPE="))
                    devType = std::string(detail::trimmed(line.substr(8)));
            }
        }
    }
    // Tunnels before the virtual rule below, which would take them all: by name, or as links
    // that carry bare IP packets (WireGuard, TUN devices, PPP). A TAP device is Ethernet to the
    // kernel and usually a virtual machine's, so only its name makes it a tunnel.
    if (name.starts_with("wg") || name.starts_with("tun") || name.starts_with("tap") || name.starts_with("ppp")
        || devType == "wireguard" || linkType == "65534" || linkType == "512")
        return InterfaceKind::Vpn;
    if (name.starts_with("wwan") || devType == "wwan")
        return InterfaceKind::Cellular;
    if (name.starts_with("bnep") || devType == "bluetooth")
        return InterfaceKind::Bluetooth;
    if (safe && exists("/sys/devices/virtual/net/" + std::string(name)))
        return InterfaceKind::Virtual;
    return InterfaceKind::Wired;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ifaddrs;

namespace kit {

enum class InterfaceKind { Wired, Wireless, Cellular, Bluetooth, Loopback, Virtual, Vpn };

// One address of an interface, as the configuration lists it.
struct InterfaceEntry {
    static constexpr int kFamilyIPv4 = 2;
    static constexpr int kFamilyLink = 18;
    // The numbering of the other two (BSD's), whatever the host's AF_INET6 is.
    static constexpr int kFamilyIPv6 = 30;

    std::string name; // the kernel's own, e.g. "enp3s0"
    int family = 0; // kFamilyIPv4, kFamilyIPv6 or kFamilyLink
    // IPv4: the four address bytes. IPv6: the sixteen. Link: the hardware address
    // (addressLength bytes; 0 for interfaces without one, such as tunnels).
    std::array<std::uint8_t, 16> address {};
    std::uint8_t addressLength = 0;

    // "192.168.1.20" for IPv4; "2001:db8::20" for IPv6 (the compressed form); "00:1B:63:0A:0B:0C"
    // for link level; empty otherwise.
    std::string addressText() const;
};

// Converts a getifaddrs list: AF_INET entries become kFamilyIPv4, AF_INET6 entries of global
// scope kFamilyIPv6, AF_PACKET entries kFamilyLink, in list order; other families, IPv6 addresses
// of narrower scope and entries without a name or address are left out.
std::vector<InterfaceEntry> entriesFromInterfaceAddresses(const ifaddrs* list);

// Whether the kernel gives an IPv6 address global scope: not the unspecified address, loopback,
// link-local (fe80::/10), the old site-local (fec0::/10) or a multicast group of narrower than
// global scope. Unique local addresses (fc00::/7) are global to the kernel, and so here.
bool isGlobalIPv6(const std::array<std::uint8_t, 16>& address);

// The interface configuration of this machine, and the kind of each interface as told by
// <root>/sys.
class InterfaceConfigurationSource {
public:
    explicit InterfaceConfigurationSource(std::string root = "/");

    // Unavailable only when getifaddrs fails; no interfaces is an empty list.
    Result<std::vector<InterfaceEntry>> read() const;

    // Tunnels ("wg", "tun", "tap", "ppp" names; WireGuard, TUN and PPP links) are Vpn.
    InterfaceKind kindOf(std::string_view name) const;

private:
    bool exists(const std::string& relative) const;

    std::string m_root;
};

} // namespace kit

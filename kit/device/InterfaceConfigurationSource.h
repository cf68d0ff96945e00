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

enum class InterfaceKind { Wired, Wireless, Cellular, Bluetooth, Loopback, Virtual };

// One address of an interface, as the configuration lists it.
struct InterfaceEntry {
    static constexpr int kFamilyIPv4 = 2;
    static constexpr int kFamilyLink = 18;

    std::string name; // the kernel's own, e.g. "enp3s0"
    int family = 0; // kFamilyIPv4 or kFamilyLink
    // IPv4: the four address bytes. Link: the hardware address (addressLength bytes; 0 for
    // interfaces without one, such as tunnels).
    std::array<std::uint8_t, 8> address {};
    std::uint8_t addressLength = 0;

    // "192.168.1.20" for IPv4; "00:1B:63:0A:0B:0C" for link level; empty otherwise.
    std::string addressText() const;
};

// Converts a getifaddrs list: AF_INET entries become kFamilyIPv4, AF_PACKET entries
// kFamilyLink, in list order; other families and entries without a name or address are left out.
std::vector<InterfaceEntry> entriesFromInterfaceAddresses(const ifaddrs* list);

// The interface configuration of this machine, and the kind of each interface as told by
// <root>/sys.
class InterfaceConfigurationSource {
public:
    explicit InterfaceConfigurationSource(std::string root = "/");

    // Unavailable only when getifaddrs fails; no interfaces is an empty list.
    Result<std::vector<InterfaceEntry>> read() const;

    InterfaceKind kindOf(std::string_view name) const;

private:
    bool exists(const std::string& relative) const;

    std::string m_root;
};

} // namespace kit

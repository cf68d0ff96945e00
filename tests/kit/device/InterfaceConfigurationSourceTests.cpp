// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceConfigurationSource.h"

#include "tests/kit/device/CannedTree.h"

#include <arpa/inet.h>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <netinet/in.h>

using kit::entriesFromInterfaceAddresses;
using kit::InterfaceConfigurationSource;
using kit::InterfaceEntry;
using kit::InterfaceKind;

namespace {

// A getifaddrs-shaped list built by hand, owning its storage.
class AddressList {
public:
    AddressList& ipv4(const char* name, const char* dotted)
    {
        auto& address = m_inet.emplace_back();
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, dotted, &address.sin_addr);
        return add(name, reinterpret_cast<sockaddr*>(&address));
    }
    AddressList& link(const char* name, std::initializer_list<std::uint8_t> hardware)
    {
        auto& address = m_packet.emplace_back();
        address.sll_family = AF_PACKET;
        address.sll_halen = static_cast<unsigned char>(hardware.size());
        std::copy(hardware.begin(), hardware.end(), address.sll_addr);
        return add(name, reinterpret_cast<sockaddr*>(&address));
    }
    AddressList& ipv6(const char* name, const char* text = "::")
    {
        auto& address = m_inet6.emplace_back();
        address.sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, text, &address.sin6_addr);
        return add(name, reinterpret_cast<sockaddr*>(&address));
    }
    AddressList& add(const char* name, sockaddr* address)
    {
        auto& item = m_items.emplace_back();
        m_names.emplace_back(name ? name : "");
        item.ifa_name = name ? m_names.back().data() : nullptr;
        item.ifa_addr = address;
        if (m_items.size() > 1)
            m_items[m_items.size() - 2].ifa_next = &item;
        return *this;
    }
    const ifaddrs* head() const { return m_items.empty() ? nullptr : &m_items.front(); }

private:
    // deques keep addresses stable as they grow.
    std::deque<ifaddrs> m_items;
    std::deque<std::string> m_names;
    std::deque<sockaddr_in> m_inet;
    std::deque<sockaddr_in6> m_inet6;
    std::deque<sockaddr_ll> m_packet;
};

} // namespace

TEST(InterfaceConfiguration, KeepsListOrderAndConvertsBothFamilies)
{
    AddressList list;
    list.link("lo", { 0, 0, 0, 0, 0, 0 })
        .link("enp3s0", { 0x00, 0x1b, 0x63, 0x0a, 0x0b, 0x0c })
        .ipv6("enp3s0")
        .ipv4("lo", "127.0.0.1")
        .ipv4("enp3s0", "192.168.1.20")
        .ipv4("enp3s0", "10.0.0.7");
    auto entries = entriesFromInterfaceAddresses(list.head());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].name, "lo");
    EXPECT_EQ(entries[1].name, "enp3s0");
    EXPECT_EQ(entries[1].family, InterfaceEntry::kFamilyLink);
    EXPECT_EQ(entries[1].addressLength, 6);
    EXPECT_EQ(entries[1].addressText(), "00:1B:63:0A:0B:0C");
    EXPECT_EQ(entries[2].family, InterfaceEntry::kFamilyIPv4);
    EXPECT_EQ(entries[2].addressText(), "127.0.0.1");
    EXPECT_EQ(entries[3].addressText(), "192.168.1.20");
    EXPECT_EQ(entries[4].addressText(), "10.0.0.7");
    EXPECT_EQ(entries[4].address[0], 10);
    EXPECT_EQ(entries[4].address[3], 7);
}

TEST(InterfaceConfiguration, OnlyGlobalScopeIPv6AddressesAreKeptInListOrder)
{
    AddressList list;
    list.ipv6("wlp2s0", "fe80::1c2b:3aff:fe4d:5e6f")
        .ipv6("lo", "::1")
        .ipv6("wlp2s0", "2001:db8:0:1::20")
        .ipv6("wlp2s0", "fd12:3456:789a::1") // unique local: global scope to the kernel
        .ipv6("eth0", "fec0::5") // site-local
        .ipv6("eth0", "ff02::1") // link-scope multicast
        .ipv6("eth0", "::")
        .ipv6("eth0", "::ffff:192.0.2.1");
    auto entries = entriesFromInterfaceAddresses(list.head());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "wlp2s0");
    EXPECT_EQ(entries[0].family, InterfaceEntry::kFamilyIPv6);
    EXPECT_EQ(entries[0].addressLength, 16);
    EXPECT_EQ(entries[0].addressText(), "2001:db8:0:1::20");
    EXPECT_EQ(entries[1].addressText(), "fd12:3456:789a::1");
    EXPECT_EQ(entries[2].name, "eth0");
    EXPECT_EQ(entries[2].addressText(), "::ffff:192.0.2.1");

    std::array<std::uint8_t, 16> groups {};
    groups[0] = 0xff;
    groups[1] = 0x0e;
    EXPECT_TRUE(kit::isGlobalIPv6(groups));
    groups[1] = 0x05;
    EXPECT_FALSE(kit::isGlobalIPv6(groups));
}

TEST(InterfaceConfiguration, NoInterfacesAtAllIsAnEmptyList) { EXPECT_TRUE(entriesFromInterfaceAddresses(nullptr).empty()); }

TEST(InterfaceConfiguration, EntriesWithoutNameOrAddressAreLeftOut)
{
    AddressList list;
    list.add("tun0", nullptr).add(nullptr, nullptr).ipv4("", "1.2.3.4").ipv4("wlp2s0", "172.16.0.9");
    auto entries = entriesFromInterfaceAddresses(list.head());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "wlp2s0");
}

TEST(InterfaceConfiguration, FifteenCharacterNamesAreKeptWholeAndLongerOnesDropped)
{
    AddressList list;
    list.ipv4("enx00e04c680123", "10.1.1.1").ipv4("enx00e04c6801234", "10.1.1.2");
    auto entries = entriesFromInterfaceAddresses(list.head());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "enx00e04c680123");
    EXPECT_EQ(entries[0].name.size(), 15u);
}

TEST(InterfaceConfiguration, HardwareAddressesOfOtherLengths)
{
    AddressList list;
    // A tunnel has none; an InfiniBand address (20 bytes) is cut to what the socket address holds.
    list.link("tun0", {}).link("ib0", { 1, 2, 3, 4, 5, 6, 7, 8 });
    auto entries = entriesFromInterfaceAddresses(list.head());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].addressLength, 0);
    EXPECT_EQ(entries[0].addressText(), "");
    EXPECT_EQ(entries[1].addressLength, 8);
    EXPECT_EQ(entries[1].addressText(), "01:02:03:04:05:06:07:08");
}

TEST(InterfaceConfiguration, KindsFollowSysfs)
{
    kit::test::CannedTree tree;
    tree.write("/sys/class/net/lo/type", "772\n");
    tree.makeFolder("/sys/devices/virtual/net/lo");
    tree.write("/sys/class/net/enp3s0/type", "1\n");
    tree.write("/sys/class/net/enp3s0/uevent", "INTERFACE=enp3s0\nIFINDEX=2\n");
    tree.makeFolder("/sys/class/net/wlp2s0/wireless");
    tree.makeFolder("/sys/class/net/wlan1/phy80211");
    tree.write("/sys/class/net/mbim0/uevent", "DEVTYPE=wwan\nINTERFACE=mbim0\n");
    tree.makeFolder("/sys/class/net/wwan0");
    tree.write("/sys/class/net/pan1/uevent", "DEVTYPE=bluetooth\n");
    tree.makeFolder("/sys/class/net/docker0");
    tree.write("/sys/class/net/docker0/uevent", "DEVTYPE=bridge\n");
    tree.makeFolder("/sys/devices/virtual/net/docker0");
    tree.makeFolder("/sys/devices/virtual/net/veth1a2b3c");
    tree.write("/sys/class/net/loop7/type", "772\n");
    // Tunnels live among the virtual links too, but are told apart from them.
    tree.write("/sys/class/net/office/uevent", "DEVTYPE=wireguard\nINTERFACE=office\n");
    tree.makeFolder("/sys/devices/virtual/net/office");
    tree.write("/sys/class/net/vpn7/type", "65534\n");
    tree.write("/sys/class/net/vpn7/tun_flags", "0x1001\n");
    tree.makeFolder("/sys/devices/virtual/net/vpn7");
    // A virtual machine's TAP device is an Ethernet link.
    tree.write("/sys/class/net/vnet0/type", "1\n");
    tree.write("/sys/class/net/vnet0/tun_flags", "0x1002\n");
    tree.makeFolder("/sys/devices/virtual/net/vnet0");
    tree.write("/sys/class/net/dsl0/type", "512\n");
    tree.makeFolder("/sys/devices/virtual/net/wg0");

    InterfaceConfigurationSource source(tree.root());
    EXPECT_EQ(source.kindOf("lo"), InterfaceKind::Loopback);
    EXPECT_EQ(source.kindOf("loop7"), InterfaceKind::Loopback);
    EXPECT_EQ(source.kindOf("enp3s0"), InterfaceKind::Wired);
    EXPECT_EQ(source.kindOf("wlp2s0"), InterfaceKind::Wireless);
    EXPECT_EQ(source.kindOf("wlan1"), InterfaceKind::Wireless);
    EXPECT_EQ(source.kindOf("mbim0"), InterfaceKind::Cellular);
    EXPECT_EQ(source.kindOf("wwan0"), InterfaceKind::Cellular);
    EXPECT_EQ(source.kindOf("bnep0"), InterfaceKind::Bluetooth);
    EXPECT_EQ(source.kindOf("pan1"), InterfaceKind::Bluetooth);
    EXPECT_EQ(source.kindOf("docker0"), InterfaceKind::Virtual);
    EXPECT_EQ(source.kindOf("veth1a2b3c"), InterfaceKind::Virtual);
    EXPECT_EQ(source.kindOf("office"), InterfaceKind::Vpn);
    EXPECT_EQ(source.kindOf("vpn7"), InterfaceKind::Vpn);
    EXPECT_EQ(source.kindOf("dsl0"), InterfaceKind::Vpn);
    EXPECT_EQ(source.kindOf("wg0"), InterfaceKind::Vpn);
    EXPECT_EQ(source.kindOf("vnet0"), InterfaceKind::Virtual);
    for (const char* name : { "tun0", "tap3", "ppp0" })
        EXPECT_EQ(source.kindOf(name), InterfaceKind::Vpn) << name;
    // Unknown to sysfs (gone since the configuration was read): taken for wired.
    EXPECT_EQ(source.kindOf("eth9"), InterfaceKind::Wired);
}

TEST(InterfaceConfiguration, NamesThatCouldLeaveSysfsAreNotLookedUp)
{
    kit::test::CannedTree tree;
    // A wireless marker one level up must not be found through "..".
    tree.makeFolder("/sys/class/wireless");
    tree.makeFolder("/sys/devices/virtual/net");
    InterfaceConfigurationSource source(tree.root());
    EXPECT_EQ(source.kindOf(".."), InterfaceKind::Wired);
    EXPECT_EQ(source.kindOf("../../devices/virtual/net"), InterfaceKind::Wired);
    EXPECT_EQ(source.kindOf(""), InterfaceKind::Wired);
    EXPECT_EQ(source.kindOf("wwan/../x"), InterfaceKind::Cellular); // by name alone
}

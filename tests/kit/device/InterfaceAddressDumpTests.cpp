// SPDX-License-Identifier: MIT
// The interface configuration read from netlink link and address dumps.
#include "kit/device/Device.h"
#include "kit/device/InterfaceCounterSource.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

using kit::AddressRecord;
using kit::InterfaceCounters;
using kit::InterfaceEntry;
using kit::LinkDumpStatus;
using kit::LinkRecord;

namespace {

// Builds netlink replies byte by byte, as the kernel lays them out.
class Reply {
public:
    Reply& link(int index, std::uint32_t sequence = 1)
    {
        ifinfomsg info {};
        info.ifi_index = index;
        return message(RTM_NEWLINK, &info, sizeof info, sequence);
    }
    Reply& address(int family, unsigned index, std::uint32_t sequence = 1)
    {
        ifaddrmsg info {};
        info.ifa_family = static_cast<unsigned char>(family);
        info.ifa_index = index;
        return message(RTM_NEWADDR, &info, sizeof info, sequence);
    }
    Reply& done(std::uint32_t sequence = 1)
    {
        int error = 0;
        return message(NLMSG_DONE, &error, sizeof error, sequence);
    }
    Reply& attribute(unsigned short type, const void* data, std::size_t length)
    {
        rtattr header {};
        header.rta_type = type;
        header.rta_len = static_cast<unsigned short>(RTA_LENGTH(length));
        append(&header, sizeof header);
        append(data, length);
        pad();
        finish();
        return *this;
    }
    Reply& text(unsigned short type, const std::string& value) { return attribute(type, value.c_str(), value.size() + 1); }
    Reply& v4(unsigned short type, const char* dotted)
    {
        in_addr a {};
        ::inet_pton(AF_INET, dotted, &a);
        return attribute(type, &a, sizeof a);
    }
    Reply& v6(unsigned short type, const char* text)
    {
        in6_addr a {};
        ::inet_pton(AF_INET6, text, &a);
        return attribute(type, &a, sizeof a);
    }
    Reply& hardware(std::vector<std::uint8_t> bytes) { return attribute(IFLA_ADDRESS, bytes.data(), bytes.size()); }
    Reply& stats64(std::uint64_t received, std::uint64_t sent)
    {
        rtnl_link_stats64 stats {};
        stats.rx_bytes = received;
        stats.tx_bytes = sent;
        return attribute(IFLA_STATS64, &stats, sizeof stats);
    }

    std::span<const std::uint8_t> span(std::size_t cut = 0) const { return { m_bytes.data(), m_bytes.size() - cut }; }

private:
    Reply& message(std::uint16_t type, const void* fixed, std::size_t length, std::uint32_t sequence)
    {
        m_start = m_bytes.size();
        nlmsghdr header {};
        header.nlmsg_type = type;
        header.nlmsg_seq = sequence;
        append(&header, sizeof header);
        append(fixed, length);
        pad();
        finish();
        return *this;
    }
    void append(const void* data, std::size_t length)
    {
        auto p = static_cast<const std::uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + length);
    }
    void pad()
    {
        while (m_bytes.size() % 4)
            m_bytes.push_back(0);
    }
    void finish()
    {
        auto length = static_cast<std::uint32_t>(m_bytes.size() - m_start);
        std::memcpy(m_bytes.data() + m_start, &length, sizeof length);
    }

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_start = 0;
};

std::vector<std::string> described(const std::vector<InterfaceEntry>& entries)
{
    std::vector<std::string> lines;
    for (const auto& entry : entries)
        lines.push_back(entry.name + " " + std::to_string(entry.family) + " " + entry.addressText());
    return lines;
}

// A machine with a loopback, an Ethernet link with an alias, and a WireGuard tunnel.
Reply linkDump()
{
    Reply reply;
    reply.link(1).text(IFLA_IFNAME, "lo").hardware({ 0, 0, 0, 0, 0, 0 }).stats64(10, 10);
    reply.link(2).text(IFLA_IFNAME, "enp3s0").hardware({ 0x00, 0x1b, 0x63, 0x0a, 0x0b, 0x0c }).stats64(500, 600);
    reply.link(5).text(IFLA_IFNAME, "wg0").stats64(7, 8); // no hardware address
    reply.done();
    return reply;
}

Reply addressDump()
{
    Reply reply;
    reply.address(AF_INET, 1).v4(IFA_ADDRESS, "127.0.0.1").v4(IFA_LOCAL, "127.0.0.1").text(IFA_LABEL, "lo");
    reply.address(AF_INET, 2).v4(IFA_ADDRESS, "192.168.1.20").v4(IFA_LOCAL, "192.168.1.20").text(IFA_LABEL, "enp3s0");
    reply.address(AF_INET, 2).v4(IFA_ADDRESS, "192.168.1.21").v4(IFA_LOCAL, "192.168.1.21").text(IFA_LABEL, "enp3s0:1");
    // Point-to-point: IFA_ADDRESS is the peer, before or after the local address.
    reply.address(AF_INET, 5).v4(IFA_ADDRESS, "10.0.0.1").v4(IFA_LOCAL, "10.0.0.2");
    reply.address(AF_INET, 5).v4(IFA_LOCAL, "10.0.1.2").v4(IFA_ADDRESS, "10.0.1.1");
    reply.address(AF_INET6, 1).v6(IFA_ADDRESS, "::1");
    reply.address(AF_INET6, 2).v6(IFA_ADDRESS, "2001:db8::20");
    reply.address(AF_INET6, 2).v6(IFA_ADDRESS, "fd00::2");
    reply.address(AF_INET6, 2).v6(IFA_ADDRESS, "fe80::21b:63ff:fe0a:b0c");
    reply.address(AF_INET6, 5).v6(IFA_LOCAL, "2001:db8:1::2").v6(IFA_ADDRESS, "2001:db8:1::1");
    reply.done();
    return reply;
}

} // namespace

TEST(InterfaceDumps, LinksFirstThenAddressesInDumpOrderAsGetifaddrsListsThem)
{
    std::vector<InterfaceCounters> counters;
    std::vector<LinkRecord> links;
    ASSERT_EQ(kit::parseLinkDump(linkDump().span(), counters, links), LinkDumpStatus::Done);
    std::vector<AddressRecord> addresses;
    ASSERT_EQ(kit::parseAddressDump(addressDump().span(), addresses), LinkDumpStatus::Done);
    EXPECT_EQ(counters.size(), 3u);
    EXPECT_EQ(counters[1].receivedBytes, 500u);

    auto entries = kit::entriesFromDumps(links, addresses);
    ASSERT_TRUE(entries);
    EXPECT_EQ(described(*entries),
        (std::vector<std::string> {
            "lo 18 00:00:00:00:00:00",
            "enp3s0 18 00:1B:63:0A:0B:0C",
            "lo 2 127.0.0.1",
            "enp3s0 2 192.168.1.20",
            "enp3s0:1 2 192.168.1.21",
            "wg0 2 10.0.0.2",
            "wg0 2 10.0.1.2",
            "enp3s0 30 2001:db8::20",
            "enp3s0 30 fd00::2",
            "wg0 30 2001:db8:1::2",
        }));
    EXPECT_EQ((*entries)[2].addressLength, 4);
    EXPECT_EQ((*entries)[7].addressLength, 16);
}

TEST(InterfaceDumps, HardwareAddressesAndLinksWithoutCounters)
{
    Reply reply;
    // InfiniBand's twenty bytes: the first eight kept, as in a sockaddr_ll.
    std::vector<std::uint8_t> infiniband(20);
    for (std::size_t i = 0; i < infiniband.size(); ++i)
        infiniband[i] = static_cast<std::uint8_t>(i + 1);
    reply.link(3).text(IFLA_IFNAME, "ib0").hardware(infiniband);
    reply.link(4).text(IFLA_IFNAME, "odd0").hardware(std::vector<std::uint8_t>(40, 0xaa)); // longer than any
    reply.link(6).text(IFLA_IFNAME, "sixteen-chars-xx").hardware({ 1, 2, 3, 4, 5, 6 });
    reply.link(7).hardware({ 1, 2, 3, 4, 5, 6 }); // no name
    reply.done();
    std::vector<InterfaceCounters> counters;
    std::vector<LinkRecord> links;
    ASSERT_EQ(kit::parseLinkDump(reply.span(), counters, links), LinkDumpStatus::Done);
    EXPECT_TRUE(counters.empty());
    ASSERT_EQ(links.size(), 4u);
    auto entries = kit::entriesFromDumps(links, {});
    ASSERT_TRUE(entries);
    EXPECT_EQ(described(*entries), (std::vector<std::string> { "ib0 18 01:02:03:04:05:06:07:08" }));
}

TEST(InterfaceDumps, AddressesOfUnusableSizeOrFamilyAreLeftOut)
{
    Reply reply;
    std::uint8_t five[5] = { 1, 2, 3, 4, 5 };
    reply.address(AF_INET, 2).attribute(IFA_ADDRESS, five, sizeof five);
    reply.address(AF_INET6, 2).v4(IFA_ADDRESS, "10.0.0.1"); // four bytes for IPv6
    reply.address(AF_PACKET, 2).v4(IFA_ADDRESS, "10.0.0.1");
    reply.address(AF_INET, 2).text(IFA_LABEL, "enp3s0"); // no address at all
    reply.address(AF_INET, 2).v4(IFA_ADDRESS, "10.0.0.9");
    reply.done();
    std::vector<AddressRecord> addresses;
    ASSERT_EQ(kit::parseAddressDump(reply.span(), addresses), LinkDumpStatus::Done);
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].index, 2);
    EXPECT_FALSE(addresses[0].label);
}

TEST(InterfaceDumps, AnAddressOfAnUnlistedLinkMeansTheLinksChanged)
{
    std::vector<LinkRecord> links(1);
    links[0].index = 2;
    links[0].name = "enp3s0";
    AddressRecord labelled { 9, InterfaceEntry::kFamilyIPv4, { 10, 0, 0, 1 }, std::string("eth9") };
    auto entries = kit::entriesFromDumps(links, { labelled });
    ASSERT_TRUE(entries); // named by its label, the link list is not needed
    EXPECT_EQ(described(*entries), (std::vector<std::string> { "eth9 2 10.0.0.1" }));

    AddressRecord unlabelled { 9, InterfaceEntry::kFamilyIPv6, { 0x20, 0x01, 0x0d, 0xb8 }, std::nullopt };
    EXPECT_FALSE(kit::entriesFromDumps(links, { labelled, unlabelled }));
    // A label on an IPv6 address (the kernel sends none) does not stand in for its link.
    AddressRecord labelledIPv6 { 9, InterfaceEntry::kFamilyIPv6, { 0x20, 0x01, 0x0d, 0xb8 }, std::string("eth9") };
    EXPECT_FALSE(kit::entriesFromDumps(links, { labelledIPv6 }));
}

TEST(InterfaceDumps, CutMessagesFailAndForeignSequencesArePassedOver)
{
    // Cut anywhere inside the last message: the dump fails, what came before is kept.
    Reply full = addressDump();
    std::vector<AddressRecord> whole;
    ASSERT_EQ(kit::parseAddressDump(full.span(), whole), LinkDumpStatus::Done);
    Reply withoutDone;
    withoutDone.address(AF_INET, 2).v4(IFA_ADDRESS, "192.168.1.20");
    withoutDone.address(AF_INET6, 2).v6(IFA_ADDRESS, "2001:db8::20");
    for (std::size_t cut = 1; cut < 16 + 8 + 20; ++cut) {
        std::vector<AddressRecord> addresses;
        EXPECT_EQ(kit::parseAddressDump(withoutDone.span(cut), addresses), LinkDumpStatus::Failed) << cut;
        EXPECT_EQ(addresses.size(), 1u) << cut;
    }
    Reply links = linkDump();
    for (std::size_t cut : { 4u, 24u, 60u }) {
        std::vector<InterfaceCounters> counters;
        std::vector<LinkRecord> records;
        EXPECT_EQ(kit::parseLinkDump(links.span(cut), counters, records), LinkDumpStatus::Failed) << cut;
    }

    // Another request's messages, its end included, are not this dump's.
    Reply mixed;
    mixed.address(AF_INET, 2, 7).v4(IFA_ADDRESS, "10.9.9.9");
    mixed.done(7);
    mixed.address(AF_INET, 2, 8).v4(IFA_ADDRESS, "192.168.1.20");
    mixed.link(3, 8).text(IFLA_IFNAME, "not-an-address");
    mixed.done(8);
    std::vector<AddressRecord> addresses;
    EXPECT_EQ(kit::parseAddressDump(mixed.span(), addresses, 8u), LinkDumpStatus::Done);
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].address[0], 192);
}

// The same list as getifaddrs on this machine, entry for entry and in the same order.
TEST(InterfaceDumps, TheLiveMachineGivesWhatGetifaddrsGives)
{
    kit::InterfaceCounterSource source;
    auto reading = source.readWithConfiguration();
    ASSERT_TRUE(reading.ok()) << reading.error();
    ifaddrs* list = nullptr;
    ASSERT_EQ(::getifaddrs(&list), 0);
    auto expected = kit::entriesFromInterfaceAddresses(list);
    ::freeifaddrs(list);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(described(reading->entries), described(expected));
    ASSERT_EQ(reading->entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(reading->entries[i].addressLength, expected[i].addressLength) << i;
        EXPECT_EQ(reading->entries[i].address, expected[i].address) << i;
    }

    // The counters of that link dump are those of a dump of its own.
    auto counters = source.read();
    ASSERT_TRUE(counters.ok()) << counters.error();
    ASSERT_EQ(reading->counters.size(), counters->size());
    for (std::size_t i = 0; i < counters->size(); ++i)
        EXPECT_EQ(reading->counters[i].name, (*counters)[i].name);

    auto fromDevice = kit::Device::interfaceConfiguration();
    ASSERT_TRUE(fromDevice.ok()) << fromDevice.error();
    EXPECT_EQ(described(*fromDevice), described(expected));
    auto deviceCounters = kit::Device::interfaceCounters();
    ASSERT_TRUE(deviceCounters.ok()) << deviceCounters.error();
    EXPECT_EQ(deviceCounters->size(), counters->size());
}

TEST(InterfaceDumps, EveryCutOfAWholeDumpIsRefusedOrIncomplete)
{
    Reply addresses = addressDump();
    Reply links = linkDump();
    std::size_t whole = addresses.span().size();
    for (std::size_t cut = 1; cut < whole; ++cut) {
        std::vector<AddressRecord> records;
        EXPECT_NE(kit::parseAddressDump(addresses.span(cut), records), LinkDumpStatus::Done) << cut;
        EXPECT_LE(records.size(), 10u);
    }
    for (std::size_t cut = 1; cut < links.span().size(); ++cut) {
        std::vector<InterfaceCounters> counters;
        std::vector<LinkRecord> records;
        EXPECT_NE(kit::parseLinkDump(links.span(cut), counters, records), LinkDumpStatus::Done) << cut;
    }
}

TEST(InterfaceDumps, AnAttributeClaimingMoreThanItsMessageEndsThatMessage)
{
    Reply reply;
    reply.address(AF_INET, 2).v4(IFA_ADDRESS, "192.168.1.20");
    std::vector<std::uint8_t> bytes(reply.span().begin(), reply.span().end());
    // The address attribute says it runs 200 bytes; the message stops long before.
    std::size_t attribute = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifaddrmsg));
    std::uint16_t claimed = 200;
    std::memcpy(bytes.data() + attribute, &claimed, sizeof claimed);
    Reply done;
    done.done();
    bytes.insert(bytes.end(), done.span().begin(), done.span().end());
    std::vector<AddressRecord> records;
    EXPECT_EQ(kit::parseAddressDump(bytes, records), LinkDumpStatus::Done);
    EXPECT_TRUE(records.empty());
}

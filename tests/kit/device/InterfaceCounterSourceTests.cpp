// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceCounterSource.h"

#include <cstring>
#include <gtest/gtest.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

using kit::InterfaceCounters;
using kit::LinkDumpStatus;
using kit::parseLinkDump;

namespace {

// Builds netlink replies byte by byte, as the kernel lays them out.
class Reply {
public:
    // Starts an RTM_NEWLINK message; attributes follow.
    Reply& link(std::uint32_t sequence = 1)
    {
        m_start = m_bytes.size();
        nlmsghdr header {};
        header.nlmsg_type = RTM_NEWLINK;
        header.nlmsg_seq = sequence;
        append(&header, sizeof header);
        ifinfomsg info {};
        append(&info, sizeof info);
        finish();
        return *this;
    }
    Reply& attribute(unsigned short type, const void* data, std::size_t length, std::optional<unsigned short> claimed = {})
    {
        rtattr header {};
        header.rta_type = type;
        header.rta_len = claimed.value_or(static_cast<unsigned short>(RTA_LENGTH(length)));
        append(&header, sizeof header);
        append(data, length);
        pad();
        finish();
        return *this;
    }
    Reply& name(const std::string& text) { return attribute(IFLA_IFNAME, text.c_str(), text.size() + 1); }
    Reply& stats64(std::uint64_t received, std::uint64_t sent)
    {
        rtnl_link_stats64 stats {};
        stats.rx_bytes = received;
        stats.tx_bytes = sent;
        stats.rx_packets = 11;
        stats.tx_packets = 12;
        return attribute(IFLA_STATS64, &stats, sizeof stats);
    }
    Reply& stats32(std::uint32_t received, std::uint32_t sent)
    {
        rtnl_link_stats stats {};
        stats.rx_bytes = received;
        stats.tx_bytes = sent;
        return attribute(IFLA_STATS, &stats, sizeof stats);
    }
    Reply& control(std::uint16_t type, std::uint32_t sequence = 1)
    {
        m_start = m_bytes.size();
        nlmsghdr header {};
        header.nlmsg_type = type;
        header.nlmsg_seq = sequence;
        append(&header, sizeof header);
        int error = type == NLMSG_ERROR ? -1 : 0;
        append(&error, sizeof error);
        finish();
        return *this;
    }
    Reply& done(std::uint32_t sequence = 1) { return control(NLMSG_DONE, sequence); }

    std::vector<std::uint8_t>& bytes() { return m_bytes; }
    std::span<const std::uint8_t> span(std::size_t cut = 0) const { return { m_bytes.data(), m_bytes.size() - cut }; }
    std::size_t messageStart() const { return m_start; }

private:
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

} // namespace

TEST(LinkDump, RecordsInDumpOrderWithSixtyFourBitCounters)
{
    Reply reply;
    reply.link().name("lo").stats64(1000, 1000);
    reply.link().name("enp3s0").stats64(0x1'0000'0005ull, 42);
    reply.link().name("wlp2s0").stats64(7, 0xffff'ffff'ffff'ffffull);
    reply.done();
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records), LinkDumpStatus::Done);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].name, "lo");
    EXPECT_EQ(records[1].name, "enp3s0");
    EXPECT_EQ(records[1].family, 18);
    EXPECT_EQ(records[1].receivedBytes, 0x1'0000'0005ull);
    EXPECT_EQ(records[1].sentBytes, 42u);
    EXPECT_EQ(records[2].name, "wlp2s0");
    EXPECT_EQ(records[2].sentBytes, 0xffff'ffff'ffff'ffffull);
}

TEST(LinkDump, ThirtyTwoBitCountersOnlyWhereTheSixtyFourBitBlockIsMissing)
{
    Reply reply;
    reply.link().name("eth0").stats32(100, 200); // old kernel: only the short block
    reply.link().name("eth1").stats32(1, 2).stats64(0x2'0000'0000ull, 3); // both: the long one wins
    reply.link().name("eth2").stats64(0x3'0000'0000ull, 4).stats32(5, 6); // in either order
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records), LinkDumpStatus::More);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].receivedBytes, 100u);
    EXPECT_EQ(records[0].sentBytes, 200u);
    EXPECT_EQ(records[1].receivedBytes, 0x2'0000'0000ull);
    EXPECT_EQ(records[1].sentBytes, 3u);
    EXPECT_EQ(records[2].receivedBytes, 0x3'0000'0000ull);
    EXPECT_EQ(records[2].sentBytes, 4u);
}

TEST(LinkDump, DumpSpreadOverSeveralBuffers)
{
    Reply first;
    first.link().name("eth0").stats64(1, 2);
    Reply second;
    second.link().name("eth1").stats64(3, 4).done();
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(first.span(), records), LinkDumpStatus::More);
    EXPECT_EQ(parseLinkDump(second.span(), records), LinkDumpStatus::Done);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].name, "eth1");
}

TEST(LinkDump, FifteenCharacterNameAndUnterminatedName)
{
    Reply reply;
    reply.link().name("enx00e04c680123").stats64(1, 2);
    // Without its NUL the name ends with the attribute, never beyond it.
    reply.link().attribute(IFLA_IFNAME, "wwan0", 5).stats64(3, 4);
    std::vector<InterfaceCounters> records;
    parseLinkDump(reply.span(), records);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "enx00e04c680123");
    EXPECT_EQ(records[1].name, "wwan0");
}

TEST(LinkDump, MessagesWithoutNameOrCountersAreSkipped)
{
    Reply reply;
    reply.link().stats64(1, 2);
    reply.link().name("eth0");
    reply.link().name("").stats64(1, 2);
    std::uint8_t shortStats[8] {};
    reply.link().name("eth1").attribute(IFLA_STATS64, shortStats, sizeof shortStats); // block too short
    reply.link().name("eth2").stats64(5, 6);
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records), LinkDumpStatus::More);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "eth2");
}

TEST(LinkDump, ReplyCutShortFailsAndKeepsWhatCameBefore)
{
    Reply reply;
    reply.link().name("eth0").stats64(1, 2);
    reply.link().name("eth1").stats64(3, 4);
    std::size_t secondStart = reply.messageStart();
    for (std::size_t cut : { std::size_t(1), std::size_t(40), reply.bytes().size() - secondStart - 8 }) {
        std::vector<InterfaceCounters> records;
        EXPECT_EQ(parseLinkDump(reply.span(cut), records), LinkDumpStatus::Failed) << cut;
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].name, "eth0");
    }
    std::vector<InterfaceCounters> records;
    std::uint8_t half[6] {};
    EXPECT_EQ(parseLinkDump(half, records), LinkDumpStatus::Failed);
}

TEST(LinkDump, AttributeRunningPastItsMessageIsSkipped)
{
    Reply reply;
    // The name claims 4000 bytes inside a message of a few dozen: the walk stops there.
    const char name[8] = "eth0";
    reply.link().stats64(9, 9).attribute(IFLA_IFNAME, name, sizeof name, 4000);
    reply.link().name("eth1").stats64(3, 4);
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records), LinkDumpStatus::More);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "eth1");

    // An attribute length below its own header would loop for ever.
    Reply zero;
    zero.link().name("eth2").attribute(IFLA_STATS64, "", 0, 0);
    zero.link().name("eth3").stats64(1, 1);
    records.clear();
    EXPECT_EQ(parseLinkDump(zero.span(), records), LinkDumpStatus::More);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "eth3");
}

TEST(LinkDump, HostileMessageLengths)
{
    std::vector<InterfaceCounters> records;
    Reply tooLong;
    tooLong.link().name("eth0").stats64(1, 2);
    std::uint32_t huge = 0xfffffff0u;
    std::memcpy(tooLong.bytes().data(), &huge, sizeof huge);
    EXPECT_EQ(parseLinkDump(tooLong.span(), records), LinkDumpStatus::Failed);

    Reply tooShort;
    tooShort.link().name("eth0").stats64(1, 2);
    std::uint32_t three = 3;
    std::memcpy(tooShort.bytes().data(), &three, sizeof three);
    EXPECT_EQ(parseLinkDump(tooShort.span(), records), LinkDumpStatus::Failed);

    // A link message too short for its fixed header carries no attributes.
    Reply bare;
    bare.control(RTM_NEWLINK).done();
    EXPECT_EQ(parseLinkDump(bare.span(), records), LinkDumpStatus::Done);
    EXPECT_TRUE(records.empty());
}

TEST(LinkDump, ErrorMessageFailsTheDump)
{
    Reply reply;
    reply.link().name("eth0").stats64(1, 2).control(NLMSG_ERROR);
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records), LinkDumpStatus::Failed);
}

TEST(LinkDump, MessagesOfAnotherRequestAreIgnored)
{
    Reply reply;
    reply.link(6).name("old0").stats64(1, 2).done(6);
    reply.link(7).name("eth0").stats64(3, 4).done(7);
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump(reply.span(), records, 7u), LinkDumpStatus::Done);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "eth0");
}

TEST(LinkDump, EmptyBufferAsksForMore)
{
    std::vector<InterfaceCounters> records;
    EXPECT_EQ(parseLinkDump({}, records), LinkDumpStatus::More);
}

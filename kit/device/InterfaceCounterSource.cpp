// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceCounterSource.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kit {

namespace {

template<typename T>
T load(const std::uint8_t* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

constexpr std::size_t align4(std::size_t n) { return (n + 3) & ~std::size_t(3); }

// The attributes of one RTM_NEWLINK message; false when it has no name or no counters.
bool parseLink(const std::uint8_t* payload, std::size_t length, InterfaceCounters& record)
{
    if (length < sizeof(ifinfomsg))
        return false;
    record.index = load<ifinfomsg>(payload).ifi_index;
    std::size_t offset = align4(sizeof(ifinfomsg));
    bool hasName = false;
    bool has64 = false;
    bool has32 = false;
    while (offset + sizeof(rtattr) <= length) {
        auto attribute = load<rtattr>(payload + offset);
        // An attribute that claims more than the message holds ends the walk.
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > length - offset)
            break;
        const std::uint8_t* data = payload + offset + sizeof(rtattr);
        std::size_t dataLength = attribute.rta_len - sizeof(rtattr);
        switch (attribute.rta_type & NLA_TYPE_MASK) {
        case IFLA_IFNAME: {
            std::size_t nameLength = ::strnlen(reinterpret_cast<const char*>(data), dataLength);
            if (nameLength > 0) {
                record.name.assign(reinterpret_cast<const char*>(data), nameLength);
                hasName = true;
            }
            break;
        }
        case IFLA_STATS64:
            if (dataLength >= offsetof(rtnl_link_stats64, tx_bytes) + sizeof(__u64)) {
                record.receivedBytes = load<__u64>(data + offsetof(rtnl_link_stats64, rx_bytes));
                record.sentBytes = load<__u64>(data + offsetof(rtnl_link_stats64, tx_bytes));
                has64 = true;
            }
            break;
        case IFLA_STATS:
            if (!has64 && dataLength >= offsetof(rtnl_link_stats, tx_bytes) + sizeof(__u32)) {
                record.receivedBytes = load<__u32>(data + offsetof(rtnl_link_stats, rx_bytes));
                record.sentBytes = load<__u32>(data + offsetof(rtnl_link_stats, tx_bytes));
                has32 = true;
            }
            break;
        default:
            break;
        }
        offset += align4(attribute.rta_len);
    }
    return hasName && (has64 || has32);
}

} // namespace

LinkDumpStatus parseLinkDump(std::span<const std::uint8_t> buffer, std::vector<InterfaceCounters>& out,
    std::optional<std::uint32_t> expectedSequence)
{
    std::size_t offset = 0;
    while (offset < buffer.size()) {
        std::size_t remaining = buffer.size() - offset;
        if (remaining < sizeof(nlmsghdr))
            return LinkDumpStatus::Failed;
        auto header = load<nlmsghdr>(buffer.data() + offset);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > remaining)
            return LinkDumpStatus::Failed;
        if (!expectedSequence || header.nlmsg_seq == *expectedSequence) {
            if (header.nlmsg_type == NLMSG_DONE)
                return LinkDumpStatus::Done;
            if (header.nlmsg_type == NLMSG_ERROR)
                return LinkDumpStatus::Failed;
            if (header.nlmsg_type == RTM_NEWLINK) {
                InterfaceCounters record;
                if (parseLink(buffer.data() + offset + sizeof(nlmsghdr), header.nlmsg_len - sizeof(nlmsghdr), record))
                    out.push_back(std::move(record));
            }
        }
        offset += std::min(align4(header.nlmsg_len), remaining);
    }
    return LinkDumpStatus::More;
}

namespace {

Error errnoError(const char* what) { return Error { std::string(what) + ": " + std::strerror(errno) }; }

} // namespace

InterfaceCounterSource::~InterfaceCounterSource() { closeSocket(); }

InterfaceCounterSource::InterfaceCounterSource(const InterfaceCounterSource& other)
    : m_sequence(other.m_sequence)
{
}

InterfaceCounterSource& InterfaceCounterSource::operator=(const InterfaceCounterSource& other)
{
    if (this != &other) {
        closeSocket();
        m_sequence = other.m_sequence;
    }
    return *this;
}

void InterfaceCounterSource::closeSocket()
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

Result<std::vector<InterfaceCounters>> InterfaceCounterSource::read()
{
    if (m_socket < 0) {
        m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (m_socket < 0)
            return errnoError("netlink socket");
    }
    auto result = dump();
    if (!result.ok())
        closeSocket();
    return result;
}

Result<std::vector<InterfaceCounters>> InterfaceCounterSource::dump()
{
    struct {
        nlmsghdr header;
        ifinfomsg message;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = ++m_sequence;
    request.message.ifi_family = AF_UNSPEC;

    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(m_socket, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return errnoError("netlink request");

    // The kernel fills each part of a dump up to a page or so; 32 KiB holds the largest.
    if (m_buffer.size() < 32768)
        m_buffer.resize(32768);
    std::vector<InterfaceCounters> records;
    for (;;) {
        sockaddr_nl sender {};
        iovec vector { m_buffer.data(), m_buffer.size() };
        msghdr message {};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        ssize_t n = ::recvmsg(m_socket, &message, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errnoError("netlink reply");
        }
        if (n == 0 || (message.msg_flags & MSG_TRUNC))
            return Error { "netlink reply cut short" };
        if (sender.nl_pid != 0)
            continue; // not from the kernel
        switch (parseLinkDump({ m_buffer.data(), static_cast<std::size_t>(n) }, records, request.header.nlmsg_seq)) {
        case LinkDumpStatus::More:
            break;
        case LinkDumpStatus::Done:
            return records;
        case LinkDumpStatus::Failed:
            return Error { "netlink dump failed" };
        }
    }
}

} // namespace kit

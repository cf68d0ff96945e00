// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceCounterSource.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
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

// The kernel's longest hardware address (MAX_ADDR_LEN).
constexpr std::size_t kLongestHardwareAddress = 32;

// Calls visit(type, data, length) for each attribute after a message's fixed part. An attribute
// that claims more than the message holds ends the walk.
template<typename Visit>
void walkAttributes(const std::uint8_t* payload, std::size_t length, std::size_t fixedPart, Visit visit)
{
    std::size_t offset = align4(fixedPart);
    while (offset + sizeof(rtattr) <= length) {
        auto attribute = load<rtattr>(payload + offset);
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > length - offset)
            break;
        visit(attribute.rta_type & NLA_TYPE_MASK, payload + offset + sizeof(rtattr), attribute.rta_len - sizeof(rtattr));
        offset += align4(attribute.rta_len);
    }
}

// The attributes of one RTM_NEWLINK message: the counter record (true when it has a name and
// counters) and, when asked for, the link record.
bool parseLink(const std::uint8_t* payload, std::size_t length, InterfaceCounters& record, LinkRecord* link)
{
    if (length < sizeof(ifinfomsg))
        return false;
    record.index = load<ifinfomsg>(payload).ifi_index;
    if (link)
        link->index = record.index;
    bool hasName = false;
    bool has64 = false;
    bool has32 = false;
    walkAttributes(payload, length, sizeof(ifinfomsg), [&](unsigned type, const std::uint8_t* data, std::size_t dataLength) {
        switch (type) {
        case IFLA_IFNAME: {
            std::size_t nameLength = ::strnlen(reinterpret_cast<const char*>(data), dataLength);
            if (nameLength > 0) {
                record.name.assign(reinterpret_cast<const char*>(data), nameLength);
                hasName = true;
            }
            if (link)
                link->name.assign(reinterpret_cast<const char*>(data), nameLength);
            break;
        }
        case IFLA_ADDRESS:
            if (link && dataLength <= kLongestHardwareAddress) {
                link->hasHardwareAddress = true;
                link->hardwareAddressLength = static_cast<std::uint8_t>(std::min(dataLength, link->hardwareAddress.size()));
                std::memcpy(link->hardwareAddress.data(), data, link->hardwareAddressLength);
            }
            break;
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
    });
    return hasName && (has64 || has32);
}

// The attributes of one RTM_NEWADDR message; false when it is not an IPv4 or IPv6 address or
// has no address of that family's size.
bool parseAddress(const std::uint8_t* payload, std::size_t length, AddressRecord& record)
{
    if (length < sizeof(ifaddrmsg))
        return false;
    auto message = load<ifaddrmsg>(payload);
    std::size_t size;
    if (message.ifa_family == AF_INET) {
        record.family = InterfaceEntry::kFamilyIPv4;
        size = 4;
    } else if (message.ifa_family == AF_INET6) {
        record.family = InterfaceEntry::kFamilyIPv6;
        size = 16;
    } else {
        return false;
    }
    record.index = static_cast<int>(message.ifa_index);
    bool hasAddress = false;
    bool hasLocal = false;
    walkAttributes(payload, length, sizeof(ifaddrmsg), [&](unsigned type, const std::uint8_t* data, std::size_t dataLength) {
        switch (type) {
        case IFA_ADDRESS:
            // On a point-to-point link this one is the peer's; the local address wins.
            if (!hasLocal && dataLength == size) {
                std::memcpy(record.address.data(), data, size);
                hasAddress = true;
            }
            break;
        case IFA_LOCAL:
            if (dataLength == size) {
                std::memcpy(record.address.data(), data, size);
                hasAddress = hasLocal = true;
            }
            break;
        case IFA_LABEL:
            record.label.emplace(reinterpret_cast<const char*>(data), ::strnlen(reinterpret_cast<const char*>(data), dataLength));
            break;
        default:
            break;
        }
    });
    return hasAddress;
}

// Walks the messages of one dump buffer, handing those of the dump's own type to take.
template<typename Take>
LinkDumpStatus walkDump(std::span<const std::uint8_t> buffer, std::uint16_t type, std::optional<std::uint32_t> expectedSequence,
    Take take)
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
            if (header.nlmsg_type == type)
                take(buffer.data() + offset + sizeof(nlmsghdr), header.nlmsg_len - sizeof(nlmsghdr));
        }
        offset += std::min(align4(header.nlmsg_len), remaining);
    }
    return LinkDumpStatus::More;
}

Error errnoError(const char* what) { return Error { std::string(what) + ": " + std::strerror(errno) }; }

} // namespace

LinkDumpStatus parseLinkDump(std::span<const std::uint8_t> buffer, std::vector<InterfaceCounters>& out,
    std::optional<std::uint32_t> expectedSequence)
{
    return walkDump(buffer, RTM_NEWLINK, expectedSequence, [&](const std::uint8_t* payload, std::size_t length) {
        InterfaceCounters record;
        if (parseLink(payload, length, record, nullptr))
            out.push_back(std::move(record));
    });
}

LinkDumpStatus parseLinkDump(std::span<const std::uint8_t> buffer, std::vector<InterfaceCounters>& out,
    std::vector<LinkRecord>& links, std::optional<std::uint32_t> expectedSequence)
{
    return walkDump(buffer, RTM_NEWLINK, expectedSequence, [&](const std::uint8_t* payload, std::size_t length) {
        InterfaceCounters record;
        LinkRecord link;
        bool counted = parseLink(payload, length, record, &link);
        if (length >= sizeof(ifinfomsg))
            links.push_back(std::move(link));
        if (counted)
            out.push_back(std::move(record));
    });
}

LinkDumpStatus parseAddressDump(std::span<const std::uint8_t> buffer, std::vector<AddressRecord>& out,
    std::optional<std::uint32_t> expectedSequence)
{
    return walkDump(buffer, RTM_NEWADDR, expectedSequence, [&](const std::uint8_t* payload, std::size_t length) {
        AddressRecord record;
        if (parseAddress(payload, length, record))
            out.push_back(std::move(record));
    });
}

std::optional<std::vector<InterfaceEntry>> entriesFromDumps(const std::vector<LinkRecord>& links,
    const std::vector<AddressRecord>& addresses)
{
    // Kernel names end within IFNAMSIZ; a longer text is not one of them.
    auto usable = [](const std::string& name) { return !name.empty() && name.size() < IFNAMSIZ; };
    std::vector<InterfaceEntry> entries;
    entries.reserve(links.size() + addresses.size());
    for (const auto& link : links) {
        if (!link.hasHardwareAddress || !usable(link.name))
            continue;
        InterfaceEntry entry;
        entry.name = link.name;
        entry.family = InterfaceEntry::kFamilyLink;
        entry.addressLength = link.hardwareAddressLength;
        std::copy_n(link.hardwareAddress.begin(), link.hardwareAddressLength, entry.address.begin());
        entries.push_back(std::move(entry));
    }
    for (const auto& address : addresses) {
        // Only IPv4 addresses carry an alias label ("eth0:1"); an IPv6 one is its link's.
        bool labelled = address.label && address.family == InterfaceEntry::kFamilyIPv4;
        const std::string* name = labelled ? &*address.label : nullptr;
        if (!name) {
            auto link = std::find_if(links.begin(), links.end(), [&](const LinkRecord& l) { return l.index == address.index; });
            if (link == links.end())
                return std::nullopt;
            name = &link->name;
        }
        if (!usable(*name))
            continue;
        if (address.family == InterfaceEntry::kFamilyIPv6 && !isGlobalIPv6(address.address))
            continue;
        InterfaceEntry entry;
        entry.name = *name;
        entry.family = address.family;
        entry.addressLength = address.family == InterfaceEntry::kFamilyIPv4 ? 4 : 16;
        std::copy_n(address.address.begin(), entry.addressLength, entry.address.begin());
        entries.push_back(std::move(entry));
    }
    return entries;
}

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

bool InterfaceCounterSource::openSocket()
{
    if (m_socket < 0)
        m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    return m_socket >= 0;
}

Result<std::vector<InterfaceCounters>> InterfaceCounterSource::read()
{
    if (!openSocket())
        return errnoError("netlink socket");
    std::vector<InterfaceCounters> records;
    auto done = dump(RTM_GETLINK,
        [&](std::span<const std::uint8_t> buffer, std::uint32_t sequence) { return parseLinkDump(buffer, records, sequence); });
    if (!done.ok()) {
        closeSocket();
        return Error { done.error() };
    }
    return records;
}

Result<InterfaceReading> InterfaceCounterSource::readWithConfiguration()
{
    if (!openSocket())
        return errnoError("netlink socket");
    InterfaceReading reading;
    std::vector<LinkRecord> links;
    std::vector<AddressRecord> addresses;
    auto done = dump(RTM_GETLINK, [&](std::span<const std::uint8_t> buffer, std::uint32_t sequence) {
        return parseLinkDump(buffer, reading.counters, links, sequence);
    });
    if (done.ok()) {
        done = dump(RTM_GETADDR, [&](std::span<const std::uint8_t> buffer, std::uint32_t sequence) {
            return parseAddressDump(buffer, addresses, sequence);
        });
    }
    if (!done.ok()) {
        closeSocket();
        return Error { done.error() };
    }
    auto entries = entriesFromDumps(links, addresses);
    if (!entries)
        return Error { "the interfaces changed between the link and address dumps" };
    reading.entries = std::move(*entries);
    return reading;
}

Result<void> InterfaceCounterSource::dump(std::uint16_t type, const DumpParser& parse)
{
    // Both dumps take a family first (AF_UNSPEC: all of them); ifinfomsg is the longest header.
    struct {
        nlmsghdr header;
        ifinfomsg message;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
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
        switch (parse({ m_buffer.data(), static_cast<std::size_t>(n) }, request.header.nlmsg_seq)) {
        case LinkDumpStatus::More:
            break;
        case LinkDumpStatus::Done:
            return {};
        case LinkDumpStatus::Failed:
            return Error { "netlink dump failed" };
        }
    }
}

} // namespace kit

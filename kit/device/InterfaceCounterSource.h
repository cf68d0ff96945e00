// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/device/InterfaceConfigurationSource.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kit {

// The running byte totals of one interface.
struct InterfaceCounters {
    std::string name;
    int family = 18; // link level
    std::uint64_t receivedBytes = 0;
    std::uint64_t sentBytes = 0;
    int index = 0; // the kernel's interface index (last, so { name, family, in, out } still reads)
};

enum class LinkDumpStatus {
    More, // the buffer ended on a message boundary; the dump goes on in the next one
    Done, // NLMSG_DONE met
    Failed, // an error message, or a message cut short
};

// Parses one buffer of a netlink RTM_GETLINK dump, appending a record for each link message
// that has a name and a counter block (64-bit, else 32-bit), in order. Messages with another
// sequence number are passed over when expectedSequence is given. Never reads past the buffer:
// a message cut short fails the dump; an attribute that runs past its message ends that
// message's attributes.
LinkDumpStatus parseLinkDump(std::span<const std::uint8_t> buffer, std::vector<InterfaceCounters>& out,
    std::optional<std::uint32_t> expectedSequence = std::nullopt);

// A link as the link dump describes it, for the interface configuration.
struct LinkRecord {
    int index = 0;
    std::string name; // empty when the message had none
    // IFLA_ADDRESS, when the link has one (tunnels have none); at most eight bytes are kept, as
    // in a sockaddr_ll.
    bool hasHardwareAddress = false;
    std::array<std::uint8_t, 8> hardwareAddress {};
    std::uint8_t hardwareAddressLength = 0;
};

// One IPv4 or IPv6 address from an RTM_GETADDR dump.
struct AddressRecord {
    int index = 0; // the link's
    int family = 0; // InterfaceEntry::kFamilyIPv4 or kFamilyIPv6
    std::array<std::uint8_t, 16> address {}; // IFA_LOCAL when given (point-to-point), else IFA_ADDRESS
    std::optional<std::string> label; // IFA_LABEL (IPv4 only, e.g. "eth0:1" for an alias)
};

// As parseLinkDump, also appending a LinkRecord for every link message, with or without
// counters, so the configuration lists the same links as getifaddrs.
LinkDumpStatus parseLinkDump(std::span<const std::uint8_t> buffer, std::vector<InterfaceCounters>& out,
    std::vector<LinkRecord>& links, std::optional<std::uint32_t> expectedSequence = std::nullopt);

// Parses one buffer of an RTM_GETADDR dump, appending the IPv4 and IPv6 addresses in order;
// other families and messages without an address of the family's size are passed over. The
// same bounds and sequence rules as parseLinkDump.
LinkDumpStatus parseAddressDump(std::span<const std::uint8_t> buffer, std::vector<AddressRecord>& out,
    std::optional<std::uint32_t> expectedSequence = std::nullopt);

// The entries getifaddrs would give for these dumps, as entriesFromInterfaceAddresses makes
// them: a link-level entry per link with a hardware address, in dump order, then the addresses
// in dump order (IPv6 of global scope only), each named by its label or else by its link.
// Nothing when an address names a link the link dump did not list (the links changed between
// the two dumps; getifaddrs would start again).
std::optional<std::vector<InterfaceEntry>> entriesFromDumps(const std::vector<LinkRecord>& links,
    const std::vector<AddressRecord>& addresses);

// The counters and the interface configuration of one moment.
struct InterfaceReading {
    std::vector<InterfaceCounters> counters;
    std::vector<InterfaceEntry> entries;
};

// One netlink link dump of this machine per read, over a socket opened by the first read and
// kept for the next ones. A failed dump closes it, so whatever is left of that dump in the
// socket is never read as part of the next one. A copy opens its own socket.
class InterfaceCounterSource {
public:
    InterfaceCounterSource() = default;
    ~InterfaceCounterSource();
    InterfaceCounterSource(const InterfaceCounterSource&);
    InterfaceCounterSource& operator=(const InterfaceCounterSource&);

    Result<std::vector<InterfaceCounters>> read();
    // A link dump and an address dump on the same socket: the counters, and the configuration
    // getifaddrs would give (which makes its own socket and the same two dumps).
    Result<InterfaceReading> readWithConfiguration();

private:
    using DumpParser = std::function<LinkDumpStatus(std::span<const std::uint8_t>, std::uint32_t sequence)>;
    bool openSocket();
    Result<void> dump(std::uint16_t type, const DumpParser& parse);
    void closeSocket();

    int m_socket = -1;
    std::vector<std::uint8_t> m_buffer; // reused between reads
    std::uint32_t m_sequence = 0;
};

} // namespace kit

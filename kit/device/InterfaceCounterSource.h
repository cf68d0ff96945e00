// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <cstdint>
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

private:
    Result<std::vector<InterfaceCounters>> dump();
    void closeSocket();

    int m_socket = -1;
    std::vector<std::uint8_t> m_buffer; // reused between reads
    std::uint32_t m_sequence = 0;
};

} // namespace kit

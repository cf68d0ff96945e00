// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/InterfaceCounterSource.h"

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace fuzzcheck {

// Whatever the kernel's buffer holds: both dump parsers return without reading past it, and the
// entries made from what they gave name only links the link dump listed.
inline const char* checkNetlinkDump(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> buffer(data, size);
    std::vector<kit::InterfaceCounters> counters;
    std::vector<kit::LinkRecord> links;
    auto linkStatus = kit::parseLinkDump(buffer, counters, links);
    if (linkStatus != kit::LinkDumpStatus::More && linkStatus != kit::LinkDumpStatus::Done
        && linkStatus != kit::LinkDumpStatus::Failed)
        return "link dump status out of range";
    for (const auto& record : counters) {
        if (record.name.empty())
            return "a counter record without a name";
    }
    for (const auto& link : links) {
        if (link.hardwareAddressLength > link.hardwareAddress.size())
            return "a hardware address longer than its storage";
    }
    std::vector<kit::AddressRecord> addresses;
    auto addressStatus = kit::parseAddressDump(buffer, addresses);
    if (addressStatus != kit::LinkDumpStatus::More && addressStatus != kit::LinkDumpStatus::Done
        && addressStatus != kit::LinkDumpStatus::Failed)
        return "address dump status out of range";
    auto entries = kit::entriesFromDumps(links, addresses);
    if (!entries)
        return nullptr;
    std::set<std::string> names;
    for (const auto& link : links)
        names.insert(link.name);
    for (const auto& entry : *entries) {
        if (entry.addressLength > entry.address.size())
            return "an entry address longer than its storage";
        // An IPv4 alias is named by its label ("eth0:1"); every other entry by a listed link.
        if (!names.count(entry.name) && entry.family != kit::InterfaceEntry::kFamilyIPv4)
            return "an entry naming a link the dump did not list";
    }
    return nullptr;
}

} // namespace fuzzcheck

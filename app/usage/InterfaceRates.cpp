// SPDX-License-Identifier: MIT
#include "app/usage/InterfaceRates.h"

#include "common/metrics/SharedTools.h"

#include <cmath>
#include <set>

namespace {

std::uint64_t perSecond(double rate)
{
    if (!std::isfinite(rate) || rate <= 0)
        return 0;
    return rate >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(std::llround(rate));
}

} // namespace

void InterfaceRates::update(kit::Array& ifaces, double now)
{
    std::set<std::string, std::less<>> seen;
    for (kit::Value& value : ifaces) {
        kit::Dict* record = value.asDict();
        if (!record)
            continue;
        const std::string& name = value["Name"].string();
        if (!value["inBytes"].isNumber() || !value["outBytes"].isNumber()) {
            m_last.erase(name);
            continue;
        }
        seen.insert(name);
        Reading reading { static_cast<std::uint64_t>(value["inBytes"].longLongValue()),
            static_cast<std::uint64_t>(value["outBytes"].longLongValue()), now, {}, {} };
        auto last = m_last.find(name);
        if (last != m_last.end() && now <= last->second.time) {
            // The same instant again (a tick and an activation together): nothing new to measure.
            reading = last->second;
        } else if (last != m_last.end()) {
            double elapsed = now - last->second.time;
            // Unsigned counters that went down were reset: the difference would be near 2^64.
            if (reading.in >= last->second.in && reading.out >= last->second.out) {
                reading.inRate = static_cast<double>(reading.in - last->second.in) / elapsed;
                reading.outRate = static_cast<double>(reading.out - last->second.out) / elapsed;
            }
        }
        if (reading.inRate && reading.outRate) {
            record->insert_or_assign("inRate", *reading.inRate);
            record->insert_or_assign("outRate", *reading.outRate);
        }
        m_last.insert_or_assign(name, reading);
    }
    std::erase_if(m_last, [&](const auto& item) { return !seen.contains(item.first); });
}

std::string InterfaceRates::rateText(double inRate, double outRate)
{
    return SharedTools::bytesRepresentation(perSecond(inRate)) + "/s ↓  " + SharedTools::bytesRepresentation(perSecond(outRate))
        + "/s ↑";
}

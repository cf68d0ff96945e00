// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// The receive and send rates of each interface between its last two readings. The interface list
// is rebuilt on every refresh; this keeps the one reading per interface that a rate needs.
class InterfaceRates {
public:
    // Takes a reading of the records' "inBytes" and "outBytes" at `now` (seconds on the run
    // loop's clock) and sets "inRate" and "outRate" (bytes per second, numbers) on each record
    // that has a rate: one needs an earlier reading of the same interface. A counter that went
    // backwards (the interface was reset or recreated) gives no rate until the next reading; a
    // second reading at the same instant keeps the rates of the one before. Interfaces missing
    // from `ifaces` are forgotten.
    void update(kit::Array& ifaces, double now);

    // "1.2 MB/s ↓  35.0 KB/s ↑": the byte texts of the rates, per second.
    static std::string rateText(double inRate, double outRate);

private:
    struct Reading {
        std::uint64_t in = 0;
        std::uint64_t out = 0;
        double time = 0;
        std::optional<double> inRate;
        std::optional<double> outRate;
    };
    std::map<std::string, Reading, std::less<>> m_last;
};

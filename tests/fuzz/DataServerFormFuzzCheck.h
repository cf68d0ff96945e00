// SPDX-License-Identifier: MIT
#pragma once

#include "tools/dataserver/DataServer.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace fuzzcheck {

// The server's clock in the checks: a fixed moment, so a run can be replayed.
inline constexpr double kFuzzNow = 810000000.0;

// Whatever the request body: parsing and checking return. A parsed form has names that are
// non-empty and free of "=" and "&", and written back it parses to the same fields. The verdict
// is one of the three answers. Besides, a request made the way the client makes it, for a
// moment taken from the input within the clock window, is accepted, and the same request with one
// digit of its token changed is refused.
inline const char* checkDataServerForm(const std::uint8_t* data, std::size_t size)
{
    std::string_view body(reinterpret_cast<const char*>(data), size);
    if (auto fields = dataserver::parseForm(body)) {
        std::string written;
        for (const auto& [name, value] : *fields) {
            if (name.empty() || name.find_first_of("=&") != std::string::npos || value.find('&') != std::string::npos)
                return "a field with a malformed name or value";
            written += (written.empty() ? "" : "&") + name + "=" + value;
        }
        auto again = dataserver::parseForm(written);
        if (!again || *again != *fields)
            return "a form written back parses to other fields";
    }
    auto verdict = dataserver::checkRequest(body, dataserver::kDefaultBundleIdentifier, kFuzzNow);
    if (verdict != dataserver::Verdict::Ok && verdict != dataserver::Verdict::BadRequest
        && verdict != dataserver::Verdict::Unauthorized)
        return "a verdict outside the three answers";

    if (size < sizeof(double))
        return nullptr;
    double offset = 0;
    std::memcpy(&offset, data, sizeof offset);
    if (!std::isfinite(offset))
        return nullptr;
    double mn = kFuzzNow + std::fmod(offset, dataserver::kClockWindowSeconds);
    std::string number = dataserver::formatNumber(mn);
    std::string token = dataserver::requestToken(dataserver::kDefaultBundleIdentifier, mn);
    std::string request = "pass=" + token + "&name=" + std::string(dataserver::kServedFileName) + "&mn=" + number;
    if (dataserver::checkRequest(request, dataserver::kDefaultBundleIdentifier, kFuzzNow) != dataserver::Verdict::Ok)
        return "a request made as the client makes it is refused";
    std::size_t digit = size > sizeof(double) ? data[sizeof(double)] % token.size() : 0;
    std::string forged = token;
    forged[digit] = forged[digit] == '0' ? '1' : '0';
    std::string forgedRequest = "pass=" + forged + "&name=" + std::string(dataserver::kServedFileName) + "&mn=" + number;
    if (dataserver::checkRequest(forgedRequest, dataserver::kDefaultBundleIdentifier, kFuzzNow)
        != dataserver::Verdict::Unauthorized)
        return "a request with a changed token is not refused";
    return nullptr;
}

} // namespace fuzzcheck

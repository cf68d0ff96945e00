// SPDX-License-Identifier: MIT
#include "app/shell/ShareLinks.h"

namespace {

constexpr std::string_view kMakerHostKey = "QNMakerWebHost";
constexpr std::string_view kStoreHostKey = "QNStoreWebHost";
constexpr std::string_view kSharerHostKey = "QNSharerWebHost";
constexpr std::string_view kIntentHostKey = "QNIntentWebHost";

bool isAlphanumeric(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool isValidPort(std::string_view port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + unsigned(c - '0');
    }
    return value > 0 && value <= 65535;
}

std::string hostOr(const kit::Value& info, std::string_view key, std::string fallback)
{
    const kit::Value& value = info[key];
    if (!value.isString() || !ShareLinks::isValidHost(value.stringValue()))
        return fallback;
    return value.stringValue();
}

} // namespace

ShareLinks::Hosts ShareLinks::defaultHosts()
{
    return { "www.velmora.example", "apps.store.example", "www.facebook.example", "twitter.example" };
}

ShareLinks::Hosts ShareLinks::hostsFromInfoDictionary(const kit::Value& info)
{
    Hosts fallback = defaultHosts();
    return {
        hostOr(info, kMakerHostKey, fallback.maker),
        hostOr(info, kStoreHostKey, fallback.store),
        hostOr(info, kSharerHostKey, fallback.sharer),
        hostOr(info, kIntentHostKey, fallback.intent),
    };
}

bool ShareLinks::isValidHost(std::string_view host)
{
    std::string_view name = host;
    std::string_view port;
    if (name.starts_with('[')) {
        auto close = name.find(']');
        if (close == std::string_view::npos || close == 1)
            return false;
        for (char c : name.substr(1, close - 1)) {
            if (!isAlphanumeric(c) && c != ':' && c != '.')
                return false;
        }
        std::string_view rest = name.substr(close + 1);
        if (rest.empty())
            return true;
        return rest.front() == ':' && isValidPort(rest.substr(1));
    }
    if (auto colon = name.find(':'); colon != std::string_view::npos) {
        port = name.substr(colon + 1);
        name = name.substr(0, colon);
        if (!isValidPort(port))
            return false;
    }
    if (name.empty() || name.size() > 253 || name.front() == '.' || name.front() == '-')
        return false;
    for (char c : name) {
        if (!isAlphanumeric(c) && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::string ShareLinks::percentEncodeQueryValue(std::string_view text)
{
    static constexpr std::string_view kKept = "-._~!$'()*,:";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (char c : text) {
        if (isAlphanumeric(c) || kKept.find(c) != std::string_view::npos) {
            encoded += c;
            continue;
        }
        auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0xf];
    }
    return encoded;
}

std::string ShareLinks::appAddress(const std::string& storeHost, const std::optional<std::string>& countryCode,
    std::string_view appleID)
{
    std::string address = "https://" + storeHost + "/";
    if (countryCode && !countryCode->empty()) {
        for (char c : *countryCode)
            address += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        address += "/";
    }
    // The identifier is digits; anything else is escaped rather than allowed to reshape the path.
    return address + "app/id" + percentEncodeQueryValue(appleID) + "?mt=8";
}

std::string ShareLinks::storeStartAddress(const std::string& storeHost) { return "https://" + storeHost + "/"; }

std::string ShareLinks::sharerAddress(const std::string& sharerHost, std::string_view appAddress, std::string_view text)
{
    return "https://" + sharerHost + "/sharer.php?u=" + percentEncodeQueryValue(appAddress)
        + "&t=" + percentEncodeQueryValue(text);
}

std::string ShareLinks::tweetText(std::string_view text, std::string_view displayName)
{
    std::string hashtag;
    for (char c : displayName) {
        if (c != ' ')
            hashtag += c;
    }
    return std::string(text) + " #" + hashtag;
}

std::string ShareLinks::intentAddress(const std::string& intentHost, std::string_view tweetText, std::string_view appAddress)
{
    return "https://" + intentHost + "/intent/tweet?text=" + percentEncodeQueryValue(tweetText)
        + "&url=" + percentEncodeQueryValue(appAddress);
}

std::string ShareLinks::mailBody(std::string_view text, std::string_view appAddress, std::string_view bundleName)
{
    return std::string(text) + ": <a href=\"" + std::string(appAddress) + "\">" + std::string(bundleName) + "</a>";
}

std::string ShareLinks::mailAddress(std::string_view subject, std::string_view body)
{
    return "mailto:?subject=" + percentEncodeQueryValue(subject) + "&body=" + percentEncodeQueryValue(body);
}

std::string ShareLinks::appStreamAddress(std::string_view componentID) { return "appstream://" + std::string(componentID); }

std::string ShareLinks::landingPageAddress(const std::string& makerHost, std::string_view page)
{
    return "https://" + makerHost + "/quarrin/social/" + std::string(page) + ".html";
}

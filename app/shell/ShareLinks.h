// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <optional>
#include <string>
#include <string_view>

// The addresses the share and rate prompt opens and requests, built from plain values so that
// each can be checked character by character. Every web address is https: each of these hosts
// redirects plain http, and a first request in plain text would carry the shared text openly.
class ShareLinks {
public:
    // The hosts the addresses are built on, "name" or "name:port".
    struct Hosts {
        std::string maker; // serves the social landing pages
        std::string store; // the application store's web pages
        std::string sharer; // Facebook's web sharer
        std::string intent; // Twitter's web intent

        bool operator==(const Hosts&) const = default;
    };
    // Used for any host the information dictionary lacks or gives as no host name: names under
    // the reserved .example domain, which reach no one.
    static Hosts defaultHosts();
    // The hosts from "QNMakerWebHost", "QNStoreWebHost", "QNSharerWebHost", "QNIntentWebHost".
    static Hosts hostsFromInfoDictionary(const kit::Value& info);
    // A host name (letters, digits, "-", "."), an IPv4 address or a bracketed IPv6 address,
    // with an optional port.
    static bool isValidHost(std::string_view host);

    // Escapes every byte of UTF-8 text as %XX (upper-case hex) except letters, digits and
    // - . _ ~ ! $ ' ( ) * , : — the URL-host characters that carry no meaning inside a query
    // value. "&", "=", "+" and ";" are host characters too, but a query reader takes them as
    // separators or as a space, so they are escaped as well.
    static std::string percentEncodeQueryValue(std::string_view text);

    // The application's page in the store: "https://<store>/<country>/app/id<appleID>?mt=8",
    // the country lower-cased; without a country the "/<country>" part is left out.
    static std::string appAddress(const std::string& storeHost, const std::optional<std::string>& countryCode,
        std::string_view appleID);
    // The store's start page, for a bundle without a store identifier.
    static std::string storeStartAddress(const std::string& storeHost);
    // "https://<sharer>/sharer.php?u=<app address>&t=<text>".
    static std::string sharerAddress(const std::string& sharerHost, std::string_view appAddress, std::string_view text);
    // "<text> #<display name without spaces>".
    static std::string tweetText(std::string_view text, std::string_view displayName);
    // "https://<intent>/intent/tweet?text=<tweet text>&url=<app address>".
    static std::string intentAddress(const std::string& intentHost, std::string_view tweetText, std::string_view appAddress);
    // "<text>: <a href="<app address>"><bundle name></a>".
    static std::string mailBody(std::string_view text, std::string_view appAddress, std::string_view bundleName);
    // "mailto:?subject=<subject>&body=<body>".
    static std::string mailAddress(std::string_view subject, std::string_view body);
    // The software centre's page of an AppStream component: "appstream://<component id>".
    static std::string appStreamAddress(std::string_view componentID);
    // "https://<maker>/quarrin/social/<page>.html" (facebook, twitter, mail, appstore).
    static std::string landingPageAddress(const std::string& makerHost, std::string_view page);
};

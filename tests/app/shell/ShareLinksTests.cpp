// SPDX-License-Identifier: MIT
#include "app/shell/ShareLinks.h"

#include <gtest/gtest.h>

namespace {

const std::string kApp = "https://apps.store.example/ch/app/id1000000000?mt=8";
const std::string kAppEncoded = "https:%2F%2Fapps.store.example%2Fch%2Fapp%2Fid1000000000%3Fmt%3D8";

} // namespace

TEST(ShareLinks, QueryValuesEscapeEverythingThatCouldReshapeTheQuery)
{
    struct Case {
        const char* text;
        const char* encoded;
    } cases[] = {
        { "plain-text_1.0~", "plain-text_1.0~" },
        { "a b", "a%20b" },
        { "Tom & Jerry", "Tom%20%26%20Jerry" },
        { "#Quarrin", "%23Quarrin" },
        { "x=1+2;y", "x%3D1%2B2%3By" },
        { "grün — 100 %", "gr%C3%BCn%20%E2%80%94%20100%20%25" },
        { "<a href=\"/\">", "%3Ca%20href%3D%22%2F%22%3E" },
        { "?[]@", "%3F%5B%5D%40" },
        { "it's (fun)!*,:$", "it's%20(fun)!*,:$" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShareLinks::percentEncodeQueryValue(c.text), c.encoded) << c.text;
}

TEST(ShareLinks, AppAddressHasTheLowerCasedCountryOnlyWhenThereIsOne)
{
    EXPECT_EQ(ShareLinks::appAddress("apps.store.example", "CH", "1000000000"), kApp);
    EXPECT_EQ(ShareLinks::appAddress("apps.store.example", "419", "1000000000"),
        "https://apps.store.example/419/app/id1000000000?mt=8");
    EXPECT_EQ(ShareLinks::appAddress("apps.store.example", std::nullopt, "1000000000"),
        "https://apps.store.example/app/id1000000000?mt=8");
    EXPECT_EQ(ShareLinks::appAddress("apps.store.example", "", "1000000000"), "https://apps.store.example/app/id1000000000?mt=8");
    // An identifier that is no number cannot reach the path's structure.
    EXPECT_EQ(ShareLinks::appAddress("s.example", std::nullopt, "1/../x?y"), "https://s.example/app/id1%2F..%2Fx%3Fy?mt=8");
    EXPECT_EQ(ShareLinks::storeStartAddress("apps.store.example"), "https://apps.store.example/");
}

TEST(ShareLinks, EachSharedAddressExactly)
{
    std::string promo = "Memory & disk, #1 — grün";
    EXPECT_EQ(ShareLinks::sharerAddress("www.facebook.example", kApp, promo),
        "https://www.facebook.example/sharer.php?u=" + kAppEncoded + "&t=Memory%20%26%20disk,%20%231%20%E2%80%94%20gr%C3%BCn");

    std::string tweet = ShareLinks::tweetText(promo, "Quarrin Device Monitor");
    EXPECT_EQ(tweet, "Memory & disk, #1 — grün #QuarrinDeviceMonitor");
    EXPECT_EQ(ShareLinks::intentAddress("twitter.example", tweet, kApp),
        "https://twitter.example/intent/"
        "tweet?text=Memory%20%26%20disk,%20%231%20%E2%80%94%20gr%C3%BCn%20%23QuarrinDeviceMonitor"
        "&url="
            + kAppEncoded);

    std::string body = ShareLinks::mailBody(promo, kApp, "Quarrin");
    EXPECT_EQ(body, "Memory & disk, #1 — grün: <a href=\"" + kApp + "\">Quarrin</a>");
    EXPECT_EQ(ShareLinks::mailAddress("Quarrin Monitor", body),
        "mailto:?subject=Quarrin%20Monitor&body=Memory%20%26%20disk,%20%231%20%E2%80%94%20gr%C3%BCn:%20%3Ca%20href%3D%"
        "22" + kAppEncoded
            + "%22%3EQuarrin%3C%2Fa%3E");

    EXPECT_EQ(ShareLinks::appStreamAddress("com.velmora.quarrin"), "appstream://com.velmora.quarrin");
    EXPECT_EQ(ShareLinks::landingPageAddress("www.velmora.example", "appstore"),
        "https://www.velmora.example/quarrin/social/appstore.html");
}

TEST(ShareLinks, TweetHashtagRunsTheDisplayNameTogether)
{
    EXPECT_EQ(ShareLinks::tweetText("Try it", "Quarrin"), "Try it #Quarrin");
    EXPECT_EQ(ShareLinks::tweetText("Try it", " Quarrin  Pro "), "Try it #QuarrinPro");
    EXPECT_EQ(ShareLinks::tweetText("Try it", ""), "Try it #");
}

TEST(ShareLinks, HostsComeFromTheInformationDictionaryOrStayUnderTheReservedDomain)
{
    auto defaults = ShareLinks::defaultHosts();
    for (const std::string& host : { defaults.maker, defaults.store, defaults.sharer, defaults.intent })
        EXPECT_TRUE(host.ends_with(".example")) << host;
    EXPECT_EQ(ShareLinks::hostsFromInfoDictionary(kit::Dict {}), defaults);

    kit::Value info = kit::Dict {
        { "QNMakerWebHost", "127.0.0.1:8443" },
        { "QNStoreWebHost", "store.example.org" },
        { "QNSharerWebHost", "evil.example/phish?x=" },
        { "QNIntentWebHost", kit::Value(std::int64_t(7)) },
    };
    auto hosts = ShareLinks::hostsFromInfoDictionary(info);
    EXPECT_EQ(hosts.maker, "127.0.0.1:8443");
    EXPECT_EQ(hosts.store, "store.example.org");
    EXPECT_EQ(hosts.sharer, defaults.sharer) << "a host with a path is refused";
    EXPECT_EQ(hosts.intent, defaults.intent) << "a number is no host";

    for (const char* good : { "example.org", "a-b.example", "[::1]", "[::1]:443", "localhost:65535" })
        EXPECT_TRUE(ShareLinks::isValidHost(good)) << good;
    for (const char* bad : { "", ".example", "-x.org", "user@host", "host:0", "host:65536", "host:", "[::1", "[]", "[::1]x",
             "a b", "host/path", "host#frag" })
        EXPECT_FALSE(ShareLinks::isValidHost(bad)) << bad;
}

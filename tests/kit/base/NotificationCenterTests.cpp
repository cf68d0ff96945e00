// SPDX-License-Identifier: MIT
#include "kit/base/NotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kit::Notification;
using kit::NotificationCenter;

namespace {
constexpr std::string_view kTick = "ADRefreshTimerDidShotNotification";
constexpr std::string_view kData = "DKNewDataIsAvailableNotification";
} // namespace

TEST(NotificationCenter, DeliversByNameAndSenderInRegistrationOrder)
{
    NotificationCenter center;
    int delegate = 0, keeper = 0, owner = 0;
    std::vector<std::string> log;
    auto any = center.addObserver(kTick, nullptr, &owner,
        [&](const Notification& n) { log.push_back("any:" + std::string(n.sender == &delegate ? "delegate" : "other")); });
    auto onlyKeeper = center.addObserver(kTick, &keeper, &owner, [&](const Notification&) { log.push_back("keeper"); });
    auto everything = center.addObserver("", nullptr, nullptr, [&](const Notification& n) { log.push_back("all:" + n.name); });
    center.post(kTick, &delegate);
    center.post(kTick, &keeper);
    center.post(kData, &keeper, kit::Dict { { "count", 2 } });
    EXPECT_EQ(log,
        (std::vector<std::string> { "any:delegate", "all:" + std::string(kTick), "any:other", "keeper",
            "all:" + std::string(kTick), "all:" + std::string(kData) }));
}

TEST(NotificationCenter, UserInfoArrives)
{
    NotificationCenter center;
    kit::Value seen;
    auto token = center.addObserver(kData, nullptr, nullptr, [&](const Notification& n) { seen = n.userInfo; });
    center.post(kData, nullptr, kit::Dict { { "count", 2 } });
    EXPECT_EQ(seen.valueForKeyPath("count").intValue(), 2);
}

TEST(NotificationCenter, ObservationEndsWithItsTokenAndByOwner)
{
    NotificationCenter center;
    int screenA = 0, screenB = 0;
    int a = 0, b = 0, c = 0;
    auto tokenA1 = center.addObserver(kTick, nullptr, &screenA, [&](const Notification&) { ++a; });
    auto tokenA2 = center.addObserver(kData, nullptr, &screenA, [&](const Notification&) { ++a; });
    auto tokenB = center.addObserver(kTick, nullptr, &screenB, [&](const Notification&) { ++b; });
    auto tokenC = center.addObserver(kTick, nullptr, nullptr, [&](const Notification&) { ++c; });
    EXPECT_EQ(center.observerCount(), 4u);

    center.removeObserver(&screenA);
    EXPECT_FALSE(tokenA1->isActive());
    EXPECT_TRUE(tokenB->isActive());
    center.removeObserver(nullptr); // owner-less observations are not all removed by this
    tokenC.reset();
    center.post(kTick, nullptr);
    center.post(kData, nullptr);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(center.observerCount(), 1u);
    // Tokens of removed observations stay harmless.
    tokenA1.reset();
    tokenA2->remove();
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, RemovalDuringDeliveryIsSafeAndTakesEffectAtOnce)
{
    NotificationCenter center;
    int owner = 0;
    std::vector<std::string> log;
    std::unique_ptr<NotificationCenter::Observation> self, remover, later, owned, added;
    self = center.addObserver(kTick, nullptr, nullptr, [&](const Notification&) {
        log.push_back("self");
        self.reset(); // destroys the running observation's own token
    });
    remover = center.addObserver(kTick, nullptr, nullptr, [&](const Notification&) {
        log.push_back("remover");
        later.reset();
        center.removeObserver(&owner);
        added = center.addObserver(kTick, nullptr, nullptr, [&](const Notification&) { log.push_back("added"); });
    });
    later = center.addObserver(kTick, nullptr, nullptr, [&](const Notification&) { log.push_back("later"); });
    owned = center.addObserver(kTick, nullptr, &owner, [&](const Notification&) { log.push_back("owned"); });

    center.post(kTick, nullptr);
    EXPECT_EQ(log, (std::vector<std::string> { "self", "remover" }));
    log.clear();
    remover.reset();
    center.post(kTick, nullptr);
    EXPECT_EQ(log, (std::vector<std::string> { "added" }));
}

TEST(NotificationCenter, TokenMayOutliveItsCenter)
{
    std::unique_ptr<NotificationCenter::Observation> token;
    {
        NotificationCenter center;
        token = center.addObserver(kTick, nullptr, nullptr, [](const Notification&) {});
        EXPECT_TRUE(token->isActive());
    }
    EXPECT_FALSE(token->isActive());
    token.reset();
}

TEST(NotificationCenter, DefaultCenterIsOneInstance)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(kData, nullptr, nullptr, [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().post(kData, nullptr);
    token.reset();
    NotificationCenter::defaultCenter().post(kData, nullptr);
    EXPECT_EQ(calls, 1);
}

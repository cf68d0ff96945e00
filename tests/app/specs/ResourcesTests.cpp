// SPDX-License-Identifier: MIT
// The build tree's bundle: the Info.plist made from its template, and the resources beside it.

#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/PropertyList.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(BuildTreeBundle, InfoPlistCarriesTheBuildsSettings)
{
    auto info = kit::PropertyList::readFile(QUARRIN_BINARY_DIR "/resources/Info.plist");
    ASSERT_TRUE(info.ok()) << info.error();
    EXPECT_EQ((*info)["CFBundleIdentifier"].string(), "com.velmora.quarrin");
    EXPECT_EQ((*info)["CFBundleVersion"].string(), QUARRIN_TEST_PROJECT_VERSION);
    EXPECT_EQ((*info)["CFBundleName"].string(), "Quarrin");
    EXPECT_FALSE((*info)["CFBundleDisplayName"].string().empty());
    EXPECT_FALSE((*info)["AppleID"].string().empty());
    EXPECT_TRUE((*info)["UILaunchImages"].isArray());
    const auto& servers = (*info)["QNDataServerURLs"];
    ASSERT_EQ(servers.count(), 2u);
    // Tried from the end: the primary server first, then the secondary.
    EXPECT_EQ(servers.at(0).string(), QUARRIN_TEST_SECONDARY_SERVER);
    EXPECT_EQ(servers.at(1).string(), QUARRIN_TEST_PRIMARY_SERVER);
}

TEST(BuildTreeBundle, MainBundleFindsTheDataSetAndTheTables)
{
    kit::Bundle::setMainBundlePath({});
    auto& bundle = kit::Bundle::mainBundle();
    EXPECT_EQ(bundle.bundleIdentifier(), "com.velmora.quarrin");
    auto path = DataKeeper::specsInBundlePath();
    ASSERT_TRUE(path);
    EXPECT_TRUE(kit::PropertyList::readFile(*path).ok()) << *path;
    setenv("LANGUAGE", "de", 1);
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.localizedString("Processor"), "Prozessor");
    unsetenv("LANGUAGE");
    bundle.reloadLocalizations();
    EXPECT_EQ(bundle.localizedString("Processor"), "Processor");
}

} // namespace

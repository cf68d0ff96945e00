// SPDX-License-Identifier: MIT
#include "kit/device/Device.h"
#include "kit/device/DeviceIdentity.h"
#include "kit/device/DeviceProfile.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/utsname.h>

using kit::Device;
using kit::DeviceIdentity;
using kit::DeviceProfile;
using kit::Idiom;
using kit::test::CannedTree;

TEST(DeviceIdentity, DeviceTreeModelComesFirst)
{
    CannedTree tree;
    tree.write("/proc/device-tree/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
    tree.write("/sys/class/dmi/id/sys_vendor", "LENOVO\n");
    tree.write("/sys/class/dmi/id/product_name", "20L5CTO1WW\n");
    EXPECT_EQ(DeviceIdentity(tree.root()).modelIdentifier("aarch64"), "Raspberry Pi 4 Model B Rev 1.4");
}

TEST(DeviceIdentity, DmiVendorAndProductWithoutPlaceholders)
{
    CannedTree tree;
    tree.write("/sys/class/dmi/id/sys_vendor", "LENOVO\n");
    tree.write("/sys/class/dmi/id/product_name", "20L5CTO1WW\n");
    EXPECT_EQ(DeviceIdentity(tree.root()).modelIdentifier("x86_64"), "LENOVO 20L5CTO1WW");

    tree.write("/sys/class/dmi/id/product_name", "To Be Filled By O.E.M.\n");
    EXPECT_EQ(DeviceIdentity(tree.root()).modelIdentifier("x86_64"), "LENOVO");

    tree.write("/sys/class/dmi/id/sys_vendor", "  default STRING \n");
    tree.write("/sys/class/dmi/id/product_name", "System Product Name\n");
    EXPECT_EQ(DeviceIdentity(tree.root()).modelIdentifier("x86_64"), "x86_64");
}

TEST(DeviceIdentity, EmptyOrGarbageFirmwareTextsFallBack)
{
    CannedTree tree;
    tree.write("/proc/device-tree/model", std::string("\0\0", 2));
    tree.write("/sys/class/dmi/id/sys_vendor", "\n");
    tree.write("/sys/class/dmi/id/product_name", "Pro\x01\tBook\n");
    EXPECT_EQ(DeviceIdentity(tree.root()).modelIdentifier("x86_64"), "Pro  Book");

    CannedTree empty;
    EXPECT_EQ(DeviceIdentity(empty.root()).modelIdentifier("riscv64"), "riscv64");
    utsname names;
    ASSERT_EQ(::uname(&names), 0);
    EXPECT_EQ(DeviceIdentity(empty.root()).modelIdentifier(), names.machine);
}

TEST(DeviceIdentity, PlaceholdersAreRecognisedWhateverTheirCase)
{
    for (const char* text : { "To be filled by O.E.M.", "Default string", "NOT SPECIFIED", "", "  ", "System manufacturer" })
        EXPECT_TRUE(DeviceIdentity::isPlaceholder(text)) << text;
    for (const char* text : { "Dell Inc.", "Default strings", "ThinkPad X1", "O.E.M. Board 2" })
        EXPECT_FALSE(DeviceIdentity::isPlaceholder(text)) << text;
}

TEST(DeviceIdentity, LeadingVersionOfKernelReleases)
{
    EXPECT_EQ(DeviceIdentity::leadingVersion("6.1.0-18-amd64"), "6.1");
    EXPECT_EQ(DeviceIdentity::leadingVersion("6.18.44-fc-v1300"), "6.18");
    EXPECT_EQ(DeviceIdentity::leadingVersion("5.15-rc3"), "5.15");
    EXPECT_EQ(DeviceIdentity::leadingVersion("6"), "6");
    EXPECT_EQ(DeviceIdentity::leadingVersion("6."), "6");
    EXPECT_EQ(DeviceIdentity::leadingVersion("6.x"), "6");
    EXPECT_EQ(DeviceIdentity::leadingVersion("10.2.3.4"), "10.2");
    EXPECT_EQ(DeviceIdentity::leadingVersion("v6.1"), "");
    EXPECT_EQ(DeviceIdentity::leadingVersion(""), "");
}

TEST(DeviceProfile, BuiltInTable)
{
    auto profiles = DeviceProfile::builtInProfiles();
    ASSERT_EQ(profiles.size(), 6u);
    std::set<std::string> names;
    std::set<std::string> models;
    for (const auto& profile : profiles) {
        names.insert(profile.name);
        models.insert(profile.modelIdentifier);
        EXPECT_LT(profile.screenSize.width, profile.screenSize.height) << profile.name;
        EXPECT_EQ(profile.isPad(), profile.modelIdentifier.starts_with("iPad")) << profile.name;
        EXPECT_EQ(profile.isPad(), profile.screenSize.width >= 768) << profile.name;
    }
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(models.size(), 6u);
    EXPECT_EQ(names.count("default"), 0u);

    auto small = DeviceProfile::named("iphone-4s");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->screenSize, (kit::ScreenSize { 320, 480 }));
    EXPECT_EQ(small->modelIdentifier, "iPhone4,1");
    auto large = DeviceProfile::named("IPAD-PRO-12.9");
    ASSERT_TRUE(large);
    EXPECT_EQ(large->idiom, Idiom::Pad);
    EXPECT_EQ(large->screenSize, (kit::ScreenSize { 1024, 1366 }));
    EXPECT_FALSE(DeviceProfile::named("iphone-7"));
    EXPECT_FALSE(DeviceProfile::named(""));
    EXPECT_FALSE(DeviceProfile::named("iphone-4s "));
}

TEST(DeviceProfile, DefaultIsAPhoneWithThisMachinesModel)
{
    const auto& profile = DeviceProfile::defaultProfile();
    EXPECT_EQ(profile.idiom, Idiom::Phone);
    EXPECT_EQ(profile.screenSize, (kit::ScreenSize { 375, 667 }));
    EXPECT_TRUE(profile.modelIdentifier.empty());
    ASSERT_TRUE(DeviceProfile::named("default"));
    EXPECT_EQ(DeviceProfile::named("default")->screenSize, profile.screenSize);
}

TEST(Device, ProfileModelReplacesTheDetectedOneAndMeasurementsStay)
{
    CannedTree tree;
    tree.write("/sys/class/dmi/id/sys_vendor", "Framework\n");
    tree.write("/sys/class/dmi/id/product_name", "Laptop 13\n");
    tree.write("/sys/class/power_supply/BAT1/type", "Battery\n");
    tree.write("/sys/class/power_supply/BAT1/capacity", "42\n");
    Device::setRoot(tree.root());
    DeviceProfile::setCurrent(DeviceProfile::defaultProfile());

    EXPECT_EQ(Device::modelIdentifier(), "Framework Laptop 13");
    EXPECT_EQ(Device::idiom(), Idiom::Phone);
    EXPECT_EQ(Device::screenSize(), (kit::ScreenSize { 375, 667 }));

    DeviceProfile::setCurrent(*DeviceProfile::named("ipad-2"));
    EXPECT_EQ(Device::modelIdentifier(), "iPad2,1");
    EXPECT_EQ(Device::idiom(), Idiom::Pad);
    EXPECT_EQ(Device::screenSize(), (kit::ScreenSize { 768, 1024 }));
    EXPECT_EQ(Device::battery().percentage, 42);
    EXPECT_EQ(Device::systemName(), "Linux");
    EXPECT_EQ(Device::systemVersion(), DeviceIdentity::leadingVersion(DeviceIdentity::kernelRelease()));
    EXPECT_FALSE(Device::systemVersion().empty());
    EXPECT_FALSE(Device::name().empty());

    // A new root forgets the model detected under the old one.
    CannedTree other;
    other.write("/proc/device-tree/model", "Pine64 PinePhone\n");
    Device::setRoot(other.root());
    DeviceProfile::setCurrent(DeviceProfile::defaultProfile());
    EXPECT_EQ(Device::modelIdentifier(), "Pine64 PinePhone");
    EXPECT_FALSE(Device::battery().percentage);
    Device::setRoot("/");
}

// SPDX-License-Identifier: MIT
#include "kit/device/BatterySource.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using kit::BatteryReading;
using kit::BatterySource;
using kit::test::CannedTree;

namespace {

// Attribute files of one power supply; "type" is Battery unless given.
using Supply = std::map<std::string, std::string>;

void add(const CannedTree& tree, const std::string& name, Supply supply)
{
    std::string base = "/sys/class/power_supply/" + name + "/";
    tree.makeFolder(base);
    supply.emplace("type", "Battery");
    for (const auto& [file, value] : supply)
        tree.write(base + file, value + "\n");
}

} // namespace

TEST(BatterySource, LaptopTreeIgnoresTheMouseBattery)
{
    auto reading = BatterySource(QUARRIN_TEST_DATA_DIR "/device/laptop").read();
    ASSERT_TRUE(reading.percentage);
    EXPECT_EQ(*reading.percentage, 57);
    EXPECT_FLOAT_EQ(reading.level, 0.57f);
    // "Not charging" while on mains: held at a threshold, reported full.
    EXPECT_EQ(reading.state, BatteryReading::Full);
}

TEST(BatterySource, NoBattery)
{
    CannedTree tree;
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 1)
            tree.makeFolder("/sys/class/power_supply"); // folder without entries
        if (pass == 2)
            add(tree, "AC", { { "type", "Mains" }, { "online", "1" } });
        auto reading = BatterySource(tree.root()).read();
        EXPECT_FALSE(reading.percentage) << pass;
        EXPECT_EQ(reading.level, -1.0f) << pass;
        EXPECT_FALSE(reading.hasBattery());
        EXPECT_EQ(reading.state, BatteryReading::Unknown) << pass;
    }
}

TEST(BatterySource, OnlyADeviceScopeBatteryMeansNoBattery)
{
    CannedTree tree;
    add(tree, "hid-keyboard", { { "scope", "Device" }, { "status", "Discharging" }, { "capacity", "40" } });
    auto reading = BatterySource(tree.root()).read();
    EXPECT_FALSE(reading.percentage);
    EXPECT_EQ(reading.level, -1.0f);
    EXPECT_EQ(reading.state, BatteryReading::Unknown);
}

TEST(BatterySource, BatteryNamedOtherThanBat)
{
    CannedTree tree;
    add(tree, "CMB1",
        { { "status", "Discharging" }, { "capacity", "81" }, { "charge_now", "3000000" }, { "charge_full", "4000000" } });
    auto reading = BatterySource(tree.root()).read();
    EXPECT_EQ(reading.percentage, 81);
    EXPECT_FLOAT_EQ(reading.level, 0.75f);
    EXPECT_EQ(reading.state, BatteryReading::Unplugged);
}

TEST(BatterySource, LevelFallsBackWhenEnergyFullIsMissingOrZero)
{
    struct Case {
        Supply supply;
        float level;
    };
    const Case cases[] = {
        { { { "capacity", "50" }, { "energy_now", "1000" }, { "energy_full", "0" }, { "charge_now", "300" },
              { "charge_full", "1200" } },
            0.25f },
        { { { "capacity", "50" }, { "energy_now", "1000" }, { "charge_now", "300" }, { "charge_full", "1200" } }, 0.25f },
        { { { "capacity", "50" }, { "energy_now", "1000" }, { "energy_full", "0" }, { "charge_now", "300" },
              { "charge_full", "0" } },
            0.5f },
        { { { "capacity", "50" }, { "energy_now", "x" }, { "energy_full", "2000" } }, 0.5f },
        { { { "capacity", "50" }, { "energy_now", "-5" }, { "energy_full", "2000" } }, 0.5f },
        { { { "capacity", "90" } }, 0.9f },
        { { { "energy_now", "1800" }, { "energy_full", "2000" } }, 0.9f },
    };
    for (const auto& c : cases) {
        CannedTree tree;
        add(tree, "BAT0", c.supply);
        auto reading = BatterySource(tree.root()).read();
        EXPECT_FLOAT_EQ(reading.level, c.level) << "case " << (&c - cases);
    }
}

TEST(BatterySource, CapacityAndLevelAreClamped)
{
    CannedTree tree;
    // Worn cells report more than their last full charge.
    add(tree, "BAT0", { { "status", "Full" }, { "capacity", "104" }, { "energy_now", "52000" }, { "energy_full", "50000" } });
    auto reading = BatterySource(tree.root()).read();
    EXPECT_EQ(reading.percentage, 100);
    EXPECT_EQ(reading.level, 1.0f);
    EXPECT_EQ(reading.state, BatteryReading::Full);

    CannedTree negative;
    add(negative, "BAT0", { { "capacity", "-3" } });
    reading = BatterySource(negative.root()).read();
    EXPECT_EQ(reading.percentage, 0);
    EXPECT_EQ(reading.level, 0.0f);
}

TEST(BatterySource, SeveralBatteriesAddTheirEnergies)
{
    CannedTree tree;
    add(tree, "BAT0",
        { { "status", "Discharging" }, { "capacity", "100" }, { "energy_now", "20000000" }, { "energy_full", "20000000" } });
    add(tree, "BAT1",
        { { "status", "Discharging" }, { "capacity", "10" }, { "energy_now", "6000000" }, { "energy_full", "60000000" } });
    auto reading = BatterySource(tree.root()).read();
    // 26 of 80 Wh, not the mean of 100 % and 10 %.
    EXPECT_FLOAT_EQ(reading.level, 0.325f);
    EXPECT_EQ(reading.percentage, 33);
    EXPECT_EQ(reading.state, BatteryReading::Unplugged);
}

TEST(BatterySource, SeveralBatteriesInDifferentUnitsAreAveraged)
{
    CannedTree tree;
    add(tree, "BAT0", { { "status", "Charging" }, { "energy_now", "10" }, { "energy_full", "20" } });
    add(tree, "BAT1", { { "status", "Full" }, { "charge_now", "10" }, { "charge_full", "10" } });
    auto reading = BatterySource(tree.root()).read();
    EXPECT_FLOAT_EQ(reading.level, 0.75f);
    EXPECT_EQ(reading.percentage, 75);
    EXPECT_EQ(reading.state, BatteryReading::Charging);
}

TEST(BatterySource, StateTexts)
{
    struct Case {
        const char* status;
        bool onMains;
        int state;
    };
    const Case cases[] = {
        { "Charging", false, BatteryReading::Charging },
        { "Discharging", true, BatteryReading::Unplugged },
        { "Full", false, BatteryReading::Full },
        { "Not charging", false, BatteryReading::Unplugged },
        { "Not charging", true, BatteryReading::Full },
        { "Unknown", true, BatteryReading::Unknown },
        { "charging", false, BatteryReading::Unknown },
        { "", false, BatteryReading::Unknown },
    };
    for (const auto& c : cases) {
        CannedTree tree;
        add(tree, "BAT0", { { "status", c.status }, { "capacity", "50" } });
        add(tree, "ADP1", { { "type", "Mains" }, { "online", c.onMains ? "1" : "0" } });
        // A USB charger that is not plugged in says nothing about mains.
        add(tree, "ucsi-source-psy-1", { { "type", "USB" }, { "online", "0" } });
        EXPECT_EQ(BatterySource(tree.root()).read().state, c.state) << c.status << " " << c.onMains;
    }
}

TEST(BatterySource, UnreadableAndMissingFiles)
{
    CannedTree tree;
    add(tree, "BAT0", { { "status", "Discharging" }, { "capacity", "64" }, { "energy_now", "10" }, { "energy_full", "20" } });
    ::chmod(tree.path("/sys/class/power_supply/BAT0/energy_now").c_str(), 0);
    int matches = kit::test::runUnprivileged([&] {
        auto reading = BatterySource(tree.root()).read();
        return reading.level == 0.64f && reading.percentage == 64;
    });
    if (matches < 0)
        GTEST_SKIP() << "no unprivileged user to read as";
    EXPECT_EQ(matches, 1);

    // A battery folder holding nothing but its type: present, level unknown.
    CannedTree bare;
    add(bare, "BAT0", {});
    auto reading = BatterySource(bare.root()).read();
    EXPECT_FALSE(reading.percentage);
    EXPECT_EQ(reading.level, -1.0f);
    EXPECT_EQ(reading.state, BatteryReading::Unknown);
}

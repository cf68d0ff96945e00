// SPDX-License-Identifier: MIT
#include "kit/device/Device.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>

using kit::BatteryReading;
using kit::Device;
using kit::test::CannedTree;

// While monitoring is off the device answers as the handheld platform does: level −1, state
// unknown, however full the battery is.
TEST(BatteryMonitoring, OffAnswersUnknownOnAnswersTheBattery)
{
    CannedTree tree;
    tree.write("/sys/class/power_supply/BAT0/type", "Battery\n");
    tree.write("/sys/class/power_supply/BAT0/status", "Charging\n");
    tree.write("/sys/class/power_supply/BAT0/energy_now", "9\n");
    tree.write("/sys/class/power_supply/BAT0/energy_full", "10\n");
    Device::setRoot(tree.root());

    ASSERT_FALSE(Device::isBatteryMonitoringEnabled());
    EXPECT_EQ(Device::batteryLevel(), -1.0f);
    EXPECT_EQ(Device::batteryState(), BatteryReading::Unknown);
    // The status bar's reading does not depend on the switch.
    EXPECT_EQ(Device::battery().state, BatteryReading::Charging);

    Device::setBatteryMonitoringEnabled(true);
    EXPECT_EQ(Device::batteryLevel(), 0.9f);
    EXPECT_EQ(Device::batteryState(), BatteryReading::Charging);
    // Each call reads afresh.
    tree.write("/sys/class/power_supply/BAT0/status", "Discharging\n");
    EXPECT_EQ(Device::batteryState(), BatteryReading::Unplugged);

    Device::setBatteryMonitoringEnabled(false);
    EXPECT_EQ(Device::batteryLevel(), -1.0f);
    EXPECT_EQ(Device::batteryState(), BatteryReading::Unknown);

    // No battery at all: unknown even while monitoring.
    CannedTree desktop;
    Device::setRoot(desktop.root());
    Device::setBatteryMonitoringEnabled(true);
    EXPECT_EQ(Device::batteryLevel(), -1.0f);
    EXPECT_EQ(Device::batteryState(), BatteryReading::Unknown);
    Device::setBatteryMonitoringEnabled(false);
    Device::setRoot("/");
}

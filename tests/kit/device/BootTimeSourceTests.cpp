// SPDX-License-Identifier: MIT
#include "kit/device/BootTimeSource.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>

using kit::BootTimeSource;
using kit::parseBootTime;

TEST(BootTimeSource, ReadsBtimeOfLaptopTree)
{
    auto bootTime = BootTimeSource(QUARRIN_TEST_DATA_DIR "/device/laptop").read();
    ASSERT_TRUE(bootTime.ok()) << bootTime.error();
    EXPECT_EQ(*bootTime, 1062191376);
}

TEST(BootTimeSource, FindsBtimeOnlyAtTheStartOfALine)
{
    EXPECT_EQ(parseBootTime("ctxt 5\nbtime 42\n"), 42);
    EXPECT_EQ(parseBootTime("btime 42"), 42); // no final newline
    EXPECT_EQ(parseBootTime("btime\t7\n"), 7);
    EXPECT_EQ(parseBootTime("xbtime 1\nbtimes 2\nbtime 3\n"), 3);
}

TEST(BootTimeSource, LargeStatFileBeyondOnePage)
{
    // Many CPUs and interrupts push btime far down the file.
    std::string text = "cpu  1 2 3\n";
    for (int i = 0; i < 512; ++i)
        text += "cpu" + std::to_string(i) + " 1132 34 1441 11311718 3675 127 438 0 0 0\n";
    text += "intr";
    for (int i = 0; i < 4000; ++i)
        text += " 0";
    text += "\nbtime 1700000000\nprocesses 1\n";
    kit::test::CannedTree tree;
    tree.write("/proc/stat", text);
    auto bootTime = BootTimeSource(tree.root()).read();
    ASSERT_TRUE(bootTime.ok()) << bootTime.error();
    EXPECT_EQ(*bootTime, 1700000000);
}

class BadStat : public testing::TestWithParam<std::string> { };

TEST_P(BadStat, IsUnavailable)
{
    EXPECT_FALSE(parseBootTime(GetParam()));
    kit::test::CannedTree tree;
    tree.write("/proc/stat", GetParam());
    EXPECT_FALSE(BootTimeSource(tree.root()).read().ok());
}

INSTANTIATE_TEST_SUITE_P(BootTimeSource, BadStat,
    testing::Values(std::string(), "cpu 1 2 3\nctxt 4\nprocesses 5\n", "btime\n", "btime \n", "btime soon\n", "btime -3\n",
        "btime 12abc\n", "btime 99999999999999999999999\n", "btim", std::string("btime \0 1\n", 10)));

TEST(BootTimeSource, MissingFileIsUnavailable)
{
    kit::test::CannedTree tree;
    EXPECT_FALSE(BootTimeSource(tree.root()).read().ok());
}

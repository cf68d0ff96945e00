// SPDX-License-Identifier: MIT
#include "kit/device/MemorySource.h"

#include "tests/kit/device/CannedTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using kit::MemorySource;
using kit::parseMeminfo;

namespace {

const std::string kLaptop = QUARRIN_TEST_DATA_DIR "/device/laptop";

std::string meminfo(std::string_view total, std::string_view free, std::string_view active, std::string_view inactive)
{
    return "MemTotal: " + std::string(total) + " kB\nMemFree: " + std::string(free) + " kB\nActive: " + std::string(active)
        + " kB\nInactive: " + std::string(inactive) + " kB\n";
}

} // namespace

TEST(MemorySource, LaptopTreeSplitsPhysicalMemoryIntoFourCounts)
{
    auto info = MemorySource(kLaptop, 4096).read();
    ASSERT_TRUE(info.ok()) << info.error();
    EXPECT_EQ(info->physicalMemory, 16318412ull * 1024);
    EXPECT_EQ(info->pageSize, 4096u);
    EXPECT_EQ(info->freePages, 2030864u);
    EXPECT_EQ(info->activePages, 1050000u);
    EXPECT_EQ(info->inactivePages, 725000u);
    // Slab, page tables, unevictable and the rest: what the other three leave over.
    EXPECT_EQ(info->wiredPages, 273739u);
}

TEST(MemorySource, CountsCoverPhysicalMemorySoTheDerivedPageSizeIsTheRealOne)
{
    for (std::uint64_t pageSize : { 4096ull, 16384ull, 65536ull }) {
        auto info = parseMeminfo(meminfo("16318413", "8123457", "4200001", "2900003"), pageSize);
        ASSERT_TRUE(info);
        std::uint32_t sum = info->freePages + info->activePages + info->inactivePages + info->wiredPages;
        ASSERT_GT(sum, 0u);
        EXPECT_EQ(info->physicalMemory / sum, pageSize);
    }
}

TEST(MemorySource, WiredNeverGoesBelowZero)
{
    // Counters read at slightly different moments can add up to more than the total.
    auto info = parseMeminfo(meminfo("1000", "600", "300", "200"), 4096);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->wiredPages, 0u);
    EXPECT_EQ(info->freePages, 150u);
}

TEST(MemorySource, FieldOrderAndLookalikeKeysDoNotMatter)
{
    std::string text = "Active(anon): 99 kB\nInactive(file): 98 kB\nInactive: 400 kB\nActive: 800 kB\n"
                       "MemFree: 1200 kB\nMemTotal: 4000 kB\n";
    auto info = parseMeminfo(text, 4096);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->activePages, 200u);
    EXPECT_EQ(info->inactivePages, 100u);
    EXPECT_EQ(info->freePages, 300u);
    EXPECT_EQ(info->wiredPages, 400u);
}

TEST(MemorySource, HugeCountsSaturateInsteadOfWrapping)
{
    // 2^32 pages and more do not fit the 32-bit counts.
    auto info = parseMeminfo(meminfo("17592186044416", "17179869184", "0", "0"), 4096);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->freePages, 0xffffffffu);
    EXPECT_EQ(info->wiredPages, 0xffffffffu);
}

class MalformedMeminfo : public testing::TestWithParam<std::string> { };

TEST_P(MalformedMeminfo, IsUnavailable) { EXPECT_FALSE(parseMeminfo(GetParam(), 4096)); }

INSTANTIATE_TEST_SUITE_P(MemorySource, MalformedMeminfo,
    testing::Values(std::string(),
        "MemTotal: 16318412 kB\nMemFree: 8123456 kB\nActive: 4200000 kB\n", // Inactive missing
        "MemTotal: 16318412 kB\nMemFree: 81234", // cut off mid-file
        "MemTotal: 16318412 kB\nMemFree: lots kB\nActive: 1 kB\nInactive: 1 kB\n",
        "MemTotal: -5 kB\nMemFree: 1 kB\nActive: 1 kB\nInactive: 1 kB\n",
        "MemTotal: 12 MB\nMemFree: 1 kB\nActive: 1 kB\nInactive: 1 kB\n",
        "MemTotal: 99999999999999999999 kB\nMemFree: 1 kB\nActive: 1 kB\nInactive: 1 kB\n",
        "MemTotal: 18014398509481984 kB\nMemFree: 1 kB\nActive: 1 kB\nInactive: 1 kB\n", // × 1024 overflows
        "MemTotal:\nMemFree: 1 kB\nActive: 1 kB\nInactive: 1 kB\n", std::string("\0\xff\xfe garbage\n\n::::\n", 17)));

TEST(MemorySource, ZeroPageSizeIsUnavailable) { EXPECT_FALSE(parseMeminfo(meminfo("4000", "1000", "1000", "1000"), 0)); }

TEST(MemorySource, MissingOrUnreadableFileIsUnavailable)
{
    kit::test::CannedTree tree;
    EXPECT_FALSE(MemorySource(tree.root()).read().ok());

    // A folder where the file should be: opens, but cannot be read.
    tree.makeFolder("/proc/meminfo");
    EXPECT_FALSE(MemorySource(tree.root()).read().ok());
    tree.remove("/proc/meminfo");

    tree.write("/proc/meminfo", meminfo("4000", "1000", "1000", "1000"));
    ASSERT_TRUE(MemorySource(tree.root()).read().ok());
    ::chmod(tree.path("/proc/meminfo").c_str(), 0);
    int readable = kit::test::runUnprivileged([&] { return MemorySource(tree.root()).read().ok(); });
    if (readable < 0)
        GTEST_SKIP() << "no unprivileged user to read as";
    EXPECT_EQ(readable, 0);
}

TEST(MemorySource, RealPageSizeIsAPowerOfTwo)
{
    std::uint64_t size = MemorySource::systemPageSize();
    EXPECT_GE(size, 4096u);
    EXPECT_EQ(size & (size - 1), 0u);
}

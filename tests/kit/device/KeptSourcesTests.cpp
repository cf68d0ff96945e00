// SPDX-License-Identifier: MIT
// The sources kept between ticks: descriptors held open, the boot time read once, one netlink
// socket, and interface kinds kept until the interface list changes.
#include "CannedTree.h"

#include "kit/device/Device.h"
#include "kit/device/InterfaceKindCache.h"
#include "kit/device/MemorySource.h"
#include "kit/device/SystemFile.h"

#include <dirent.h>
#include <gtest/gtest.h>

using kit::Device;
using kit::InterfaceCounters;
using kit::InterfaceKind;
using kit::InterfaceKindCache;

namespace {

std::string meminfo(const char* total, const char* free)
{
    return std::string("MemTotal: ") + total + " kB\nMemFree: " + free + " kB\nActive: 1000 kB\nInactive: 1000 kB\n";
}

int openDescriptors()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

std::vector<InterfaceCounters> links(std::initializer_list<std::pair<int, const char*>> list)
{
    std::vector<InterfaceCounters> result;
    for (auto& [index, name] : list) {
        InterfaceCounters record;
        record.index = index;
        record.name = name;
        result.push_back(record);
    }
    return result;
}

// lo, a wired and a wireless interface, as sysfs shows them.
void writeNet(const kit::test::CannedTree& tree)
{
    tree.write("/sys/class/net/lo/type", "772\n");
    tree.write("/sys/class/net/enp3s0/type", "1\n");
    tree.makeFolder("/sys/class/net/wlp2s0/wireless");
}

} // namespace

TEST(KeptFile, EveryReadSeesTheFileAsItIsNowAndAFailureOpensAgain)
{
    kit::test::CannedTree tree;
    kit::detail::KeptFile file(tree.path("/proc/meminfo"));
    std::array<char, 256> buffer;
    EXPECT_FALSE(file.readInto(buffer).ok()); // not there yet
    EXPECT_FALSE(file.isOpen());

    tree.write("/proc/meminfo", "first, the longer text\n");
    auto size = file.readInto(buffer);
    ASSERT_TRUE(size.ok());
    EXPECT_EQ(std::string_view(buffer.data(), *size), "first, the longer text\n");
    EXPECT_TRUE(file.isOpen());

    // Rewritten in place, shorter: read from the start, nothing left over from before.
    tree.write("/proc/meminfo", "second\n");
    size = file.readInto(buffer);
    ASSERT_TRUE(size.ok());
    EXPECT_EQ(std::string_view(buffer.data(), *size), "second\n");

    // A text longer than the buffer fills it and stops there.
    tree.write("/proc/meminfo", std::string(300, 'x'));
    size = file.readInto(buffer);
    ASSERT_TRUE(size.ok());
    EXPECT_EQ(*size, buffer.size());

    // A copy reads the same path through a descriptor of its own.
    kit::detail::KeptFile copy(file);
    EXPECT_FALSE(copy.isOpen());
    EXPECT_TRUE(copy.readInto(buffer).ok());
}

TEST(KeptFile, ReadingMemoryOverAndOverHoldsOneDescriptor)
{
    kit::test::CannedTree tree;
    tree.write("/proc/meminfo", meminfo("4000", "1000"));
    kit::MemorySource memory(tree.root(), 4096);
    ASSERT_TRUE(memory.read().ok());
    int before = openDescriptors();
    for (int i = 0; i < 5; ++i) {
        tree.write("/proc/meminfo", meminfo("4000", std::to_string(100 * (i + 1)).c_str()));
        auto info = memory.read();
        ASSERT_TRUE(info.ok());
        EXPECT_EQ(info->freePages, static_cast<std::uint32_t>(100 * (i + 1) * 1024 / 4096));
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(KeptSources, DeviceReadsTheBootTimeOnceAndMemoryEveryTimePerRoot)
{
    kit::test::CannedTree tree;
    tree.write("/proc/stat", "cpu 1 2 3\nbtime 1700000000\n");
    tree.write("/proc/meminfo", meminfo("8000", "2000"));
    Device::setRoot(tree.root());

    auto bootTime = Device::bootTime();
    ASSERT_TRUE(bootTime.ok());
    EXPECT_EQ(*bootTime, 1700000000);
    tree.write("/proc/stat", "cpu 1 2 3\nbtime 1800000000\n");
    EXPECT_EQ(Device::bootTime().valueOr(0), 1700000000);

    auto memory = Device::memory();
    ASSERT_TRUE(memory.ok());
    EXPECT_EQ(memory->physicalMemory, 8000u * 1024);
    tree.write("/proc/meminfo", meminfo("8000", "4000"));
    memory = Device::memory();
    ASSERT_TRUE(memory.ok());
    EXPECT_EQ(memory->freePages * memory->pageSize, 4000u * 1024);

    // Another root is another machine: both are read from it.
    kit::test::CannedTree other;
    other.write("/proc/stat", "btime 1900000000\n");
    Device::setRoot(other.root());
    EXPECT_EQ(Device::bootTime().valueOr(0), 1900000000);
    EXPECT_FALSE(Device::memory().ok());

    // A boot time that could not be read is tried again.
    kit::test::CannedTree late;
    Device::setRoot(late.root());
    EXPECT_FALSE(Device::bootTime().ok());
    late.write("/proc/stat", "btime 1950000000\n");
    EXPECT_EQ(Device::bootTime().valueOr(0), 1950000000);
    Device::setRoot("/");
}

TEST(KeptSources, RepeatedLinkDumpsShareOneSocketAndNameEachInterfaceByIndex)
{
    kit::InterfaceCounterSource source;
    auto first = source.read();
    ASSERT_TRUE(first.ok()) << first.error();
    int before = openDescriptors();
    for (int i = 0; i < 5; ++i) {
        auto again = source.read();
        ASSERT_TRUE(again.ok()) << again.error();
        ASSERT_EQ(again->size(), first->size());
        for (std::size_t k = 0; k < again->size(); ++k) {
            EXPECT_EQ((*again)[k].name, (*first)[k].name);
            EXPECT_EQ((*again)[k].index, (*first)[k].index);
            EXPECT_GT((*again)[k].index, 0);
        }
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(InterfaceKindCache, KindsAreKeptWhileTheListStaysTheSame)
{
    kit::test::CannedTree tree;
    writeNet(tree);
    InterfaceKindCache kinds(tree.root());
    kinds.noteLinks(links({ { 1, "lo" }, { 2, "enp3s0" }, { 3, "wlp2s0" } }));
    EXPECT_EQ(kinds.kindOf("lo"), InterfaceKind::Loopback);
    EXPECT_EQ(kinds.kindOf("enp3s0"), InterfaceKind::Wired);
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);
    EXPECT_EQ(kinds.lookups(), 3);

    // The same interfaces in another order: nothing is looked up again, even where sysfs moved.
    tree.remove("/sys/class/net/wlp2s0/wireless");
    kinds.noteLinks(links({ { 3, "wlp2s0" }, { 1, "lo" }, { 2, "enp3s0" } }));
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);
    EXPECT_EQ(kinds.kindOf("enp3s0"), InterfaceKind::Wired);
    EXPECT_EQ(kinds.lookups(), 3);

    // A name the list does not hold is looked up every time.
    EXPECT_EQ(kinds.kindOf("wwan0"), InterfaceKind::Cellular);
    EXPECT_EQ(kinds.kindOf("wwan0"), InterfaceKind::Cellular);
    EXPECT_EQ(kinds.lookups(), 5);
}

TEST(InterfaceKindCache, AnInterfaceThatComesGoesOrIsRenamedMakesEveryKindLookedUpAgain)
{
    kit::test::CannedTree tree;
    writeNet(tree);
    InterfaceKindCache kinds(tree.root());
    kinds.noteLinks(links({ { 1, "lo" }, { 3, "wlp2s0" } }));
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);

    // Comes: a new interface; the old kinds are read afresh too.
    tree.remove("/sys/class/net/wlp2s0/wireless");
    tree.makeFolder("/sys/class/net/wwan0");
    kinds.noteLinks(links({ { 1, "lo" }, { 3, "wlp2s0" }, { 4, "wwan0" } }));
    int lookups = kinds.lookups();
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wired);
    EXPECT_EQ(kinds.kindOf("wwan0"), InterfaceKind::Cellular);
    EXPECT_EQ(kinds.lookups(), lookups + 2);

    // Goes.
    tree.makeFolder("/sys/class/net/wlp2s0/wireless");
    kinds.noteLinks(links({ { 1, "lo" }, { 3, "wlp2s0" } }));
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);

    // Renamed: same index, another name; the new name's kind is its own.
    tree.makeFolder("/sys/class/net/wlan0/wireless");
    kinds.noteLinks(links({ { 1, "lo" }, { 3, "wlan0" } }));
    lookups = kinds.lookups();
    EXPECT_EQ(kinds.kindOf("wlan0"), InterfaceKind::Wireless);
    EXPECT_EQ(kinds.lookups(), lookups + 1);

    // The name comes back on another index: another interface, looked up again.
    tree.remove("/sys/class/net/wlan0/wireless");
    kinds.noteLinks(links({ { 1, "lo" }, { 7, "wlan0" } }));
    EXPECT_EQ(kinds.kindOf("wlan0"), InterfaceKind::Wired);
}

TEST(InterfaceKindCache, NothingIsKeptWithoutAList)
{
    kit::test::CannedTree tree;
    writeNet(tree);
    InterfaceKindCache kinds(tree.root());
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);
    EXPECT_EQ(kinds.lookups(), 2);

    kinds.noteLinks(links({ { 3, "wlp2s0" } }));
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wireless);
    // The list could not be read this time: the kind is looked up, and sysfs's answer taken.
    kinds.forget();
    tree.remove("/sys/class/net/wlp2s0/wireless");
    EXPECT_EQ(kinds.kindOf("wlp2s0"), InterfaceKind::Wired);
    EXPECT_EQ(kinds.lookups(), 4);
}

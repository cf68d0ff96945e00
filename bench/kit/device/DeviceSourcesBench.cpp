// SPDX-License-Identifier: MIT
// One full reading of this machine's figures, beside the bare system calls it is made of.

#include "kit/device/BatterySource.h"
#include "kit/device/BootTimeSource.h"
#include "kit/device/FileSystemSource.h"
#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"
#include "kit/device/MemorySource.h"

#include <array>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

void readFile(const char* path, char* buffer, std::size_t size)
{
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ssize_t n = ::read(fd, buffer, size);
    benchmark::DoNotOptimize(n);
    ::close(fd);
}

void netlinkDump(std::vector<std::uint8_t>& buffer)
{
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return;
    struct {
        nlmsghdr header;
        ifinfomsg message;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    ::sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
    for (bool done = false; !done;) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        // Only the message types, enough to know where the dump ends.
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, n); header = NLMSG_NEXT(header, n))
            done |= header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR;
    }
    ::close(fd);
}

const char* measuredPath()
{
    const char* home = ::getenv("HOME");
    return home ? home : "/";
}

// The four calls the reading cannot do without.
void BM_BareCalls(benchmark::State& state)
{
    std::array<char, 8192> text;
    std::vector<std::uint8_t> dump(32768);
    for (auto _ : state) {
        readFile("/proc/meminfo", text.data(), text.size());
        struct statvfs info;
        benchmark::DoNotOptimize(::statvfs(measuredPath(), &info));
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) == 0)
            ::freeifaddrs(list);
        netlinkDump(dump);
    }
}
BENCHMARK(BM_BareCalls);

// The same, with the boot time's /proc/stat and the battery folder's listing.
void BM_BareCallsWithStatAndBattery(benchmark::State& state)
{
    std::array<char, 8192> text;
    std::vector<std::uint8_t> dump(32768);
    for (auto _ : state) {
        readFile("/proc/meminfo", text.data(), text.size());
        struct statvfs info;
        benchmark::DoNotOptimize(::statvfs(measuredPath(), &info));
        readFile("/proc/stat", text.data(), text.size());
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) == 0)
            ::freeifaddrs(list);
        netlinkDump(dump);
        if (DIR* dir = ::opendir("/sys/class/power_supply")) {
            while (::readdir(dir)) { }
            ::closedir(dir);
        }
    }
}
BENCHMARK(BM_BareCallsWithStatAndBattery);

// Memory, file system, boot time, interface configuration, counters and battery.
void BM_FullReading(benchmark::State& state)
{
    kit::MemorySource memory;
    kit::BootTimeSource bootTime;
    kit::InterfaceConfigurationSource configuration;
    kit::InterfaceCounterSource counters;
    kit::BatterySource battery;
    for (auto _ : state) {
        auto m = memory.read();
        auto f = kit::FileSystemSource::sizesOf(measuredPath());
        auto b = bootTime.read();
        auto c = configuration.read();
        auto n = counters.read();
        auto p = battery.read();
        benchmark::DoNotOptimize(m);
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(b);
        benchmark::DoNotOptimize(c);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_FullReading);

void BM_MemorySource(benchmark::State& state)
{
    kit::MemorySource memory;
    for (auto _ : state) {
        auto m = memory.read();
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_MemorySource);

void BM_CounterSource(benchmark::State& state)
{
    kit::InterfaceCounterSource counters;
    for (auto _ : state) {
        auto n = counters.read();
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_CounterSource);

// The kinds are looked up per listed interface, apart from the reading.
void BM_InterfaceKinds(benchmark::State& state)
{
    kit::InterfaceConfigurationSource configuration;
    auto entries = configuration.read();
    for (auto _ : state) {
        if (!entries.ok())
            break;
        for (const auto& entry : *entries)
            benchmark::DoNotOptimize(configuration.kindOf(entry.name));
    }
}
BENCHMARK(BM_InterfaceKinds);

} // namespace

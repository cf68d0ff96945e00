// SPDX-License-Identifier: MIT
// One full reading of this machine's figures, beside the bare system calls it is made of.

#include "kit/base/FileManager.h"
#include "kit/device/BatterySource.h"
#include "kit/device/BootTimeSource.h"
#include "kit/device/Device.h"
#include "kit/device/FileSystemSource.h"
#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"
#include "kit/device/MemorySource.h"

#include <algorithm>

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

// One dump request on a kept socket, read to its end.
void dumpOn(int fd, std::uint16_t type, std::uint8_t family, std::uint32_t sequence, std::vector<std::uint8_t>& buffer)
{
    struct {
        nlmsghdr header;
        ifinfomsg message; // as large as ifaddrmsg, and its family comes first too
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.message.ifi_family = family;
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    ::sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
    for (bool done = false; !done;) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, n); header = NLMSG_NEXT(header, n))
            done |= header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR;
    }
}

// The cheapest complete set of calls for the same figures: memory by pread on a kept
// descriptor, the file system's sizes, on one kept netlink socket the link dump (names, indices,
// hardware addresses, counters) and the IPv4 address dump, and the battery folder's listing. The
// boot time and the interface kinds are read once, so they cost nothing per reading.
void BM_Floor(benchmark::State& state)
{
    std::array<char, 8192> text;
    std::vector<std::uint8_t> dump(32768);
    int meminfo = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    int netlink = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    std::uint32_t sequence = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::pread(meminfo, text.data(), text.size(), 0));
        struct statvfs info;
        benchmark::DoNotOptimize(::statvfs(measuredPath(), &info));
        dumpOn(netlink, RTM_GETLINK, AF_UNSPEC, ++sequence, dump);
        dumpOn(netlink, RTM_GETADDR, AF_INET, ++sequence, dump);
        if (DIR* dir = ::opendir("/sys/class/power_supply")) {
            while (::readdir(dir)) { }
            ::closedir(dir);
        }
    }
    ::close(meminfo);
    ::close(netlink);
}
BENCHMARK(BM_Floor);

// One Usage tick's reading as the screens make it, plus the battery's: memory, the documents
// folder's file system, boot time, interface configuration, counters, the kind of each
// interface listed, and the battery.
void BM_FullReading(benchmark::State& state)
{
    kit::BatterySource battery;
    kit::Device::setRoot("/");
    for (auto _ : state) {
        auto b = kit::Device::bootTime();
        auto m = kit::Device::memory();
        auto f = kit::FileManager::attributesOfFileSystemForPath(kit::FileManager::documentsDirectory());
        auto c = kit::Device::interfaceConfiguration();
        auto n = kit::Device::interfaceCounters();
        if (c.ok()) {
            for (const auto& entry : *c)
                benchmark::DoNotOptimize(kit::Device::interfaceKind(entry.name));
        }
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

// The same figures with every source made afresh and every kind looked up, as each reading
// did before the sources were kept.
void BM_FullReadingAfresh(benchmark::State& state)
{
    for (auto _ : state) {
        auto b = kit::BootTimeSource().read();
        auto m = kit::MemorySource().read();
        auto f = kit::FileManager::attributesOfFileSystemForPath(kit::FileManager::documentsDirectory());
        kit::InterfaceConfigurationSource configuration;
        auto c = configuration.read();
        auto n = kit::InterfaceCounterSource().read();
        if (c.ok()) {
            for (const auto& entry : *c)
                benchmark::DoNotOptimize(configuration.kindOf(entry.name));
        }
        auto p = kit::BatterySource().read();
        benchmark::DoNotOptimize(m);
        benchmark::DoNotOptimize(f);
        benchmark::DoNotOptimize(b);
        benchmark::DoNotOptimize(c);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_FullReadingAfresh);

void BM_DocumentsFileSystem(benchmark::State& state)
{
    for (auto _ : state) {
        auto f = kit::FileManager::attributesOfFileSystemForPath(kit::FileManager::documentsDirectory());
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_DocumentsFileSystem);

void BM_InterfaceConfiguration(benchmark::State& state)
{
    kit::InterfaceConfigurationSource configuration;
    for (auto _ : state) {
        auto c = configuration.read();
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_InterfaceConfiguration);

// A refresh's interface figures: the configuration and the counters of one link dump.
void BM_InterfaceConfigurationAndCounters(benchmark::State& state)
{
    for (auto _ : state) {
        auto c = kit::Device::interfaceConfiguration();
        auto n = kit::Device::interfaceCounters();
        benchmark::DoNotOptimize(c);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_InterfaceConfigurationAndCounters);

void BM_Battery(benchmark::State& state)
{
    kit::BatterySource battery;
    for (auto _ : state) {
        auto p = battery.read();
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_Battery);

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

// SPDX-License-Identifier: MIT
// The sources against independent readings of this machine's own kernel.

#include "kit/device/BootTimeSource.h"
#include "kit/device/FileSystemSource.h"
#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"
#include "kit/device/MemorySource.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>

namespace {

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::uint64_t> fileNumber(const std::string& path)
{
    std::ifstream in(path);
    std::uint64_t value = 0;
    if (!(in >> value))
        return std::nullopt;
    return value;
}

std::string commandOutput(const char* command)
{
    std::string output;
    FILE* pipe = ::popen(command, "r");
    if (!pipe)
        return output;
    std::array<char, 4096> chunk;
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        output.append(chunk.data(), n);
    ::pclose(pipe);
    return output;
}

// The string value after "key":" at or after from, or nothing.
std::optional<std::string> jsonString(const std::string& text, const std::string& key, std::size_t from, std::size_t to)
{
    std::string pattern = "\"" + key + "\":\"";
    std::size_t at = text.find(pattern, from);
    if (at == std::string::npos || at >= to)
        return std::nullopt;
    at += pattern.size();
    std::size_t end = text.find('"', at);
    if (end == std::string::npos)
        return std::nullopt;
    return text.substr(at, end - at);
}

struct IpInterface {
    std::string name;
    std::string linkAddress;
    std::set<std::pair<std::string, std::string>> ipv4; // (label, address)
};

// Just enough of `ip -j addr` for the names, link addresses and IPv4 addresses.
std::vector<IpInterface> ipAddresses()
{
    std::string json = commandOutput("ip -j addr 2>/dev/null");
    std::vector<IpInterface> interfaces;
    std::vector<std::size_t> starts;
    for (std::size_t at = json.find("{\"ifindex\":"); at != std::string::npos; at = json.find("{\"ifindex\":", at + 1))
        starts.push_back(at);
    starts.push_back(json.size());
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        std::size_t from = starts[i];
        std::size_t to = starts[i + 1];
        IpInterface item;
        item.name = jsonString(json, "ifname", from, to).value_or("");
        std::size_t addrInfo = json.find("\"addr_info\":", from);
        if (addrInfo > to)
            addrInfo = to;
        item.linkAddress = jsonString(json, "address", from, addrInfo).value_or("");
        for (std::size_t at = json.find("\"family\":\"inet\"", addrInfo); at < to;
             at = json.find("\"family\":\"inet\"", at + 1)) {
            std::size_t end = std::min(json.find('}', at), to);
            auto local = jsonString(json, "local", at, end);
            auto label = jsonString(json, "label", at, end);
            if (local)
                item.ipv4.insert({ label.value_or(item.name), *local });
        }
        interfaces.push_back(std::move(item));
    }
    return interfaces;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

TEST(RealMachine, PhysicalMemoryMatchesSysinfo)
{
    auto memory = kit::MemorySource().read();
    ASSERT_TRUE(memory.ok()) << memory.error();
    struct sysinfo info;
    ASSERT_EQ(::sysinfo(&info), 0);
    EXPECT_EQ(memory->physicalMemory, std::uint64_t(info.totalram) * info.mem_unit);
    EXPECT_EQ(memory->pageSize, std::uint64_t(::sysconf(_SC_PAGESIZE)));
    std::uint64_t pages = std::uint64_t(memory->freePages) + memory->activePages + memory->inactivePages + memory->wiredPages;
    EXPECT_EQ(pages, memory->physicalMemory / memory->pageSize);
    // Free memory moves, but not by a quarter of the machine between two calls.
    double free = double(memory->freePages) * double(memory->pageSize);
    EXPECT_NEAR(free, double(info.freeram) * info.mem_unit, double(memory->physicalMemory) / 4);
}

TEST(RealMachine, FileSystemSizesMatchStatvfs)
{
    for (std::string path :
        { std::string("/"), std::filesystem::temp_directory_path().string(), std::string(QUARRIN_SOURCE_DIR) }) {
        auto sizes = kit::FileSystemSource::sizesOf(path);
        ASSERT_TRUE(sizes.ok()) << sizes.error();
        struct statvfs info;
        ASSERT_EQ(::statvfs(path.c_str(), &info), 0);
        EXPECT_EQ(sizes->totalBytes, std::int64_t(info.f_blocks * info.f_frsize)) << path;
        EXPECT_NEAR(double(sizes->freeBytes), double(info.f_bavail * info.f_frsize), 256.0 * 1024 * 1024) << path;
        EXPECT_LE(sizes->freeBytes, sizes->totalBytes);
    }
    EXPECT_FALSE(kit::FileSystemSource::sizesOf("/no/such/folder/anywhere").ok());
    EXPECT_FALSE(kit::FileSystemSource::sizesOf("").ok());
}

TEST(RealMachine, BootTimeMatchesUptime)
{
    auto bootTime = kit::BootTimeSource().read();
    ASSERT_TRUE(bootTime.ok()) << bootTime.error();
    double uptime = 0;
    std::istringstream(fileText("/proc/uptime")) >> uptime;
    ASSERT_GT(uptime, 0);
    double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(double(*bootTime), now - uptime, 2.0);
}

TEST(RealMachine, CountersMatchSysfsWithinTheTrafficOfTheMoment)
{
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> before;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net")) {
        std::string name = entry.path().filename();
        auto rx = fileNumber(entry.path() / "statistics/rx_bytes");
        auto tx = fileNumber(entry.path() / "statistics/tx_bytes");
        if (rx && tx)
            before[name] = { *rx, *tx };
    }
    kit::InterfaceCounterSource source;
    auto counters = source.read();
    ASSERT_TRUE(counters.ok()) << counters.error();
    ASSERT_FALSE(counters->empty());

    std::set<std::string> seen;
    for (const auto& record : *counters) {
        EXPECT_TRUE(seen.insert(record.name).second) << record.name << " listed twice";
        EXPECT_EQ(record.family, 18);
        auto rx = fileNumber("/sys/class/net/" + record.name + "/statistics/rx_bytes");
        auto tx = fileNumber("/sys/class/net/" + record.name + "/statistics/tx_bytes");
        ASSERT_TRUE(rx && tx) << record.name;
        ASSERT_TRUE(before.count(record.name)) << record.name;
        EXPECT_GE(record.receivedBytes, before[record.name].first) << record.name;
        EXPECT_LE(record.receivedBytes, *rx) << record.name;
        EXPECT_GE(record.sentBytes, before[record.name].second) << record.name;
        EXPECT_LE(record.sentBytes, *tx) << record.name;
    }
    for (const auto& [name, bytes] : before)
        EXPECT_TRUE(seen.count(name)) << name << " missing from the dump";

    // The source reuses its buffer and sequence; a second dump is as good as the first.
    auto again = source.read();
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(again->size(), counters->size());
}

TEST(RealMachine, AddressesMatchIp)
{
    auto interfaces = ipAddresses();
    if (interfaces.empty())
        GTEST_SKIP() << "ip -j addr gave nothing to compare with";
    auto entries = kit::InterfaceConfigurationSource().read();
    ASSERT_TRUE(entries.ok()) << entries.error();

    std::map<std::string, std::string> links;
    std::set<std::pair<std::string, std::string>> ipv4;
    for (const auto& entry : *entries) {
        if (entry.family == kit::InterfaceEntry::kFamilyLink)
            links[entry.name] = entry.addressText();
        else if (entry.family == kit::InterfaceEntry::kFamilyIPv4)
            ipv4.insert({ entry.name, entry.addressText() });
    }
    std::set<std::pair<std::string, std::string>> expectedIPv4;
    for (const auto& item : interfaces) {
        ASSERT_TRUE(links.count(item.name)) << item.name;
        if (!item.linkAddress.empty()) {
            EXPECT_EQ(links[item.name], upper(item.linkAddress)) << item.name;
        }
        expectedIPv4.insert(item.ipv4.begin(), item.ipv4.end());
    }
    EXPECT_EQ(ipv4, expectedIPv4);
    EXPECT_EQ(links.size(), interfaces.size());

    kit::InterfaceConfigurationSource source;
    EXPECT_EQ(source.kindOf("lo"), kit::InterfaceKind::Loopback);
}

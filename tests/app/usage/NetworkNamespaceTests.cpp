// SPDX-License-Identifier: MIT
// The network table's listing on real kernel links: a network namespace made by the test holds a
// wired and a "wireless" link, a tunnel, a bridge and a veth pair, and the table must list the
// first three. The namespace lives in a child process and goes with it; its only traffic is its own.

#include "app/usage/UsageController.h"

#include "tests/kit/device/CannedTree.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs a command quietly; true when it succeeded.
bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A link of the given name: the first kind the kernel can make.
bool addLink(const std::string& name, std::initializer_list<const char*> kinds)
{
    for (std::string kind : kinds) {
        std::string command = kind == "tun" || kind == "tap" ? "ip tuntap add dev " + name + " mode " + kind
                                                             : "ip link add " + name + " type " + kind;
        if (run(command))
            return true;
    }
    return false;
}

// In the child, inside the new namespace: builds the links, reads them the way the Usage tab
// does, and reports one "name icon" line per section (or "SKIP reason", or "FAIL reason").
std::string listInNewNamespace()
{
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0)
        return std::string("SKIP no network namespace: ") + std::strerror(errno);
    // A sysfs of our own, so /sys/class/net shows this namespace's links; private, so the
    // mount never reaches the machine's own tree.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 || ::mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0)
        return std::string("SKIP cannot mount sysfs in the namespace: ") + std::strerror(errno);
    if (!run("ip link set lo up"))
        return "SKIP the ip command (iproute2) is missing";

    // Without the dummy or wireguard modules, TAP and TUN devices stand in: what matters is the name.
    if (!addLink("enp3s0", { "dummy", "tap" }) || !addLink("wlp2s0", { "dummy", "tap" })
        || !addLink("wg0", { "wireguard", "tun" }))
        return "SKIP neither dummy/wireguard links nor TUN/TAP devices can be made";
    if (!addLink("docker0", { "bridge" }) || !run("ip link add veth0 type veth peer name veth1"))
        return "SKIP bridges or veth pairs cannot be made";
    int subnet = 1;
    for (const char* name : { "enp3s0", "wlp2s0", "wg0", "docker0", "veth0", "veth1" }) {
        if (!run(std::string("ip addr add 10.77.") + std::to_string(subnet++) + ".1/24 dev " + name)
            || !run(std::string("ip link set ") + name + " up"))
            return std::string("FAIL cannot configure ") + name;
    }

    // The kind rules read sysfs; no software link is wireless there, so a canned root gives
    // wlp2s0 the wireless folder and passes every other link through to the real sysfs.
    kit::test::CannedTree root;
    std::filesystem::create_directories(root.path("/sys/class/net"));
    std::filesystem::create_directories(root.path("/sys/devices/virtual"));
    std::filesystem::create_directory_symlink("/sys/devices/virtual/net", root.path("/sys/devices/virtual/net"));
    for (auto& link : std::filesystem::directory_iterator("/sys/class/net")) {
        std::string name = link.path().filename();
        if (name != "wlp2s0")
            std::filesystem::create_directory_symlink(link.path(), root.path("/sys/class/net/" + name));
    }
    std::filesystem::create_directories(root.path("/sys/class/net/wlp2s0/wireless"));

    kit::InterfaceConfigurationSource configuration(root.root());
    auto entries = configuration.read();
    auto counters = kit::InterfaceCounterSource().read();
    if (!entries.ok() || !counters.ok())
        return "FAIL the interfaces cannot be read";
    kit::Array ifaces;
    UsageController::fillAddresses(ifaces, *entries);
    UsageController::fillCounters(ifaces, *counters);
    std::ostringstream out;
    auto model = UsageController::makeNetworkModel(ifaces, 17, [&](std::string_view name) { return configuration.kindOf(name); });
    for (auto& section : model)
        out << section[UsageController::kInterfaceNameKey].string() << ' ' << section[UsageController::kHeaderKey].string()
            << '\n';
    return out.str();
}

} // namespace

TEST(NetworkNamespace, ListsWiredWirelessAndTunnelLinksButNotBridgesOrVethPairs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a network namespace needs root";
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe[0]);
        std::string report = listInNewNamespace();
        ssize_t ignored = ::write(pipe[1], report.data(), report.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string report;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(got));
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
    if (report.starts_with("SKIP "))
        GTEST_SKIP() << report.substr(5);
    ASSERT_FALSE(report.starts_with("FAIL ")) << report;
    EXPECT_EQ(report, "enp3s0 networkIconEthernet\nwlp2s0 networkIconWi-Fi\nwg0 networkIconVPN\n");
}

// SPDX-License-Identifier: MIT
// `quarrin --print` as scripts read it: whatever the system names things, the output is JSON a
// parser accepts. Runs the real program in a network namespace of its own, made by the test.
#include "kit/base/Strings.h"

#include "tests/kit/base/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kQuarrin = QUARRIN_BINARY_DIR "/app/shell/quarrin";

struct CommandResult {
    int status = -1;
    std::string out;
};

CommandResult runCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char chunk[4096];
    std::size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.out.append(chunk, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

TEST(PrintOutput, AnInterfaceNamedWithInvalidUTF8StillGivesValidJSON)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a network namespace needs root";
    CommandResult probe = runCommand("unshare --net --mount true 2>&1");
    if (probe.status != 0)
        GTEST_SKIP() << "network namespaces are unavailable here: " << probe.out;

    kit::testing::TempFolder home;
    // A namespace of its own, with /sys mounted for it, holding one interface whose name has the
    // byte 0xFF: a tap device where tun/tap exists, else the namespace's loopback renamed.
    std::string script = home.write("print.sh",
        "mount -t sysfs sysfs /sys || exit 90\n"
        "name=$(printf 'eth\\377q')\n"
        "ip tuntap add dev \"$name\" mode tap 2>/dev/null || ip link set lo name \"$name\" || exit 91\n"
        "ip link set dev \"$name\" up || exit 92\n"
        "export HOME=\"$1\" XDG_CONFIG_HOME=\"$1/config\" XDG_DATA_HOME=\"$1/data\"\n"
        "exec \"$2\" --print\n");
    CommandResult printed = runCommand("timeout 60 unshare --net --mount sh " + script + " " + home.path() + " " + kQuarrin);
    ASSERT_EQ(printed.status, 0) << printed.out;
    EXPECT_EQ(kit::validUTF8(printed.out), printed.out) << "the output is not valid UTF-8";
    EXPECT_NE(printed.out.find("\"Name\": \"eth\xEF\xBF\xBDq\""), std::string::npos) << printed.out;
    EXPECT_EQ(printed.out.find("\xff"), std::string::npos);
}

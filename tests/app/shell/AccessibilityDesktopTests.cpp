// SPDX-License-Identifier: MIT
// The real programs on a real X server with a real accessibility bus, read the way a screen
// reader reads them: through AT-SPI, by tools/a11y-dump.py (pyatspi).

#include "tests/kit/host/TestServers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kQuarrin = QUARRIN_BINARY_DIR "/app/shell/quarrin";
const char* const kVistrel = QUARRIN_BINARY_DIR "/widget/vistrel";
const char* const kDump = QUARRIN_SOURCE_DIR "/tools/a11y-dump.py";

// A program run for the test, in the foreground of nothing; TERM, then KILL, when done.
class Program {
public:
    explicit Program(std::vector<std::string> arguments)
    {
        m_pid = fork();
        if (m_pid == 0) {
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Program()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 150 && waitpid(m_pid, nullptr, WNOHANG) != m_pid; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, WNOHANG);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

// What the dump script prints for the program, one node a line; `extra` adds options.
std::string dump(pid_t pid, const std::string& extra = {})
{
    std::string command
        = "timeout 60 /usr/bin/python3 " + std::string(kDump) + " --pid " + std::to_string(pid) + " --wait 30 " + extra + " 2>&1";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char chunk[1024];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, n);
    pclose(pipe);
    return out;
}

bool has(const std::string& text, const std::string& pattern) { return std::regex_search(text, std::regex(pattern)); }

// The first capture of `pattern` in the text, or "".
std::string first(const std::string& text, const std::string& pattern)
{
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : std::string();
}

class AccessibilityDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (system("/usr/bin/python3 -c 'import pyatspi' >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "python3-pyatspi is not installed (scripts/setup installs it)";
        ASSERT_TRUE(std::filesystem::exists(kQuarrin)) << kQuarrin;
        char pattern[] = "/tmp/quarrin-a11y-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        std::filesystem::create_directories(home + "/runtime");
        chmod((home + "/runtime").c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
        setenv("GDK_BACKEND", "x11", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        unsetenv("GTK_A11Y");
        unsetenv("NO_AT_BRIDGE");
        ASSERT_TRUE(xvfb.start()) << "Xvfb did not start";
        ASSERT_TRUE(bus.start()) << "no session bus";
        ASSERT_TRUE(accessibility.start()) << "no accessibility bus: " << accessibility.error();
    }
    void TearDown() override
    {
        accessibility.stop();
        bus.stop();
        xvfb.stop();
        std::error_code error;
        if (!home.empty())
            std::filesystem::remove_all(home, error);
    }

    kit::test::XvfbServer xvfb;
    kit::test::SessionBus bus;
    kit::test::AccessibilityBus accessibility;
    std::string home;
};

} // namespace

TEST_F(AccessibilityDesktopTest, UsageFiguresAndTabsAreReadAndATabPressedThroughAtSpiSwitches)
{
    Program quarrin({ kQuarrin });
    std::string tree = dump(quarrin.pid());
    // The panels' figures, with the bars said in words.
    EXPECT_TRUE(has(tree, R"(image: Used [0-9.,]+ [KMGT]?B of [0-9.,]+ [KMGT]?B\n)")) << tree;
    EXPECT_TRUE(has(tree, R"(image: Free [0-9.,]+ [KMGT]?B of [0-9.,]+ [KMGT]?B\n)")) << tree;
    EXPECT_TRUE(has(tree, R"(label: Wired [0-9.,]+ [KMGT]?B\n)")) << tree;
    EXPECT_TRUE(has(tree, R"(label: Capacity [0-9.,]+ [KMGT]?B\n)")) << tree;
    // The tabs, in a tab list, the shown one selected.
    EXPECT_TRUE(has(tree, R"(page tab list\b)")) << tree;
    EXPECT_TRUE(has(tree, R"(page tab: Usage \[selected\])")) << tree;
    EXPECT_TRUE(has(tree, R"(page tab: Battery\n)")) << tree;

    // Pressing the Battery tab through AT-SPI's action interface shows the Battery screen.
    std::string after = dump(quarrin.pid(), "--press Battery --settle 2");
    EXPECT_TRUE(has(after, R"(page tab: Battery \[selected\])")) << after;
    EXPECT_TRUE(has(after, R"(page tab: Usage\n)")) << after;
    EXPECT_FALSE(has(after, R"(image: Used [0-9.,]+ [KMGT]?B of )")) << after;
}

TEST_F(AccessibilityDesktopTest, UsageValuesChangeAfterARefreshOnTheSameNodes)
{
    Program quarrin({ kQuarrin });
    const std::string memoryBar = R"(image: (Free [0-9.,]+ [KMGT]?B of [0-9.,]+ [KMGT]?B) @(\S+)\n)";
    std::string before = dump(quarrin.pid(), "--paths");
    std::string freeBefore = first(before, memoryBar);
    std::string node = first(before, R"(image: Free [^@]* @(\S+)\n)");
    ASSERT_FALSE(freeBefore.empty()) << before;
    // Take a good share of the free memory for a few refreshes, so the figure must move.
    const std::size_t size = 768u << 20;
    std::vector<char> hog(size);
    for (std::size_t i = 0; i < size; i += 4096)
        hog[i] = char(i);
    std::string after;
    std::string freeAfter;
    for (int attempt = 0; attempt < 8 && (freeAfter.empty() || freeAfter == freeBefore); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        after = dump(quarrin.pid(), "--paths");
        freeAfter = first(after, memoryBar);
    }
    EXPECT_NE(freeAfter, freeBefore) << "the memory bar still says " << freeBefore;
    EXPECT_FALSE(freeAfter.empty()) << after;
    // The same accessible objects say the new figures: the proxies were updated, not made anew,
    // also the network header that the screen builds again on each refresh.
    EXPECT_EQ(first(after, R"(image: Free [^@]* @(\S+)\n)"), node) << before << after;
    EXPECT_EQ(first(after, R"(heading: [^@]* @(\S+)\n)"), first(before, R"(heading: [^@]* @(\S+)\n)")) << before << after;
    // Read back, so that the pages cannot be optimised away while they matter.
    volatile char sum = 0;
    for (std::size_t i = 0; i < size; i += 4096)
        sum = char(sum + hog[i]);
}

TEST_F(AccessibilityDesktopTest, WidgetPanelsReadAsSentences)
{
    ASSERT_TRUE(std::filesystem::exists(kVistrel)) << kVistrel;
    Program vistrel({ kVistrel });
    std::string tree = dump(vistrel.pid());
    EXPECT_TRUE(has(tree, R"(label: Disk: used [0-9.,]+ [KMGT]?B, free [0-9.,]+ [KMGT]?B, capacity [0-9.,]+ [KMGT]?B\n)"))
        << tree;
    EXPECT_TRUE(has(tree, R"(label: Memory: wired [0-9.,]+ [KMGT]?B, active .*, total [0-9.,]+ [KMGT]?B\n)")) << tree;
    EXPECT_TRUE(has(tree, R"(push button: Open Quarrin\n)")) << tree;
    // Disk, then memory, then the button that covers both.
    EXPECT_LT(tree.find("Disk:"), tree.find("Memory:"));
    EXPECT_LT(tree.find("Memory:"), tree.find("Open Quarrin"));
}

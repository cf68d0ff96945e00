// SPDX-License-Identifier: MIT
// The real quarrin program on a real X server: one running instance per session, and a plain
// instance when no session bus can be reached. Windows are read back with xwininfo/xprop, the
// way a desktop would see them.

#include "tests/kit/host/TestServers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kQuarrin = QUARRIN_BINARY_DIR "/app/shell/quarrin";
const char* const kVistrel = QUARRIN_BINARY_DIR "/widget/vistrel";

// The output of a short command; `timeout` keeps a wedged X client from hanging the test.
std::string capture(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(("timeout 5 " + command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return out;
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        out.append(chunk, n);
    pclose(pipe);
    return out;
}

struct QuarrinWindow {
    std::string id;
    long pid = 0;
    bool viewable = false;
};

// The application windows on the display: titled "Quarrin" with the class "quarrin". GDK's
// hidden 1x1 leader window carries the class too but not the title, so it is not counted.
std::vector<QuarrinWindow> quarrinWindows()
{
    static const std::regex line(R"(^\s*(0x[0-9a-fA-F]+) "Quarrin": \("quarrin" )");
    static const std::regex pidLine(R"(_NET_WM_PID\(CARDINAL\) = (\d+))");
    std::vector<QuarrinWindow> windows;
    std::istringstream tree(capture("xwininfo -root -tree"));
    std::string text;
    while (std::getline(tree, text)) {
        std::smatch match;
        if (!std::regex_search(text, match, line))
            continue;
        QuarrinWindow window;
        window.id = match[1];
        window.viewable = capture("xwininfo -id " + window.id).find("Map State: IsViewable") != std::string::npos;
        std::string property = capture("xprop -id " + window.id + " _NET_WM_PID");
        std::smatch pidMatch;
        if (std::regex_search(property, pidMatch, pidLine))
            window.pid = std::atol(pidMatch[1].str().c_str());
        windows.push_back(window);
    }
    return windows;
}

int viewableCount(const std::vector<QuarrinWindow>& windows)
{
    int count = 0;
    for (auto& window : windows)
        count += window.viewable ? 1 : 0;
    return count;
}

// Polls until `count` Quarrin windows are on screen, or the time is up; the last listing.
std::vector<QuarrinWindow> waitForWindows(int count, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<QuarrinWindow> windows = quarrinWindows();
    while (viewableCount(windows) < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        windows = quarrinWindows();
    }
    return windows;
}

// One run of the program, its output kept in a log file for failure messages; killed (TERM,
// then KILL) when the test is done with it.
class Launch {
public:
    Launch(std::vector<std::string> arguments, const std::string& logPath, const char* executable = kQuarrin)
        : m_log(logPath)
    {
        m_pid = fork();
        if (m_pid == 0) {
            int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
            }
            int devnull = open("/dev/null", O_RDONLY);
            if (devnull >= 0)
                dup2(devnull, 0);
            std::vector<char*> argv;
            std::string program = executable;
            argv.push_back(program.data());
            for (auto& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(executable, argv.data());
            _exit(127);
        }
    }
    ~Launch() { stop(); }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    pid_t pid() const { return m_pid; }
    bool started() const { return m_pid > 0; }

    // The exit status once the program ended within `seconds`; -1 while it still runs, 128 +
    // the signal when one killed it.
    int waitExit(double seconds)
    {
        if (m_pid <= 0)
            return m_status;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        return -1;
    }

    bool running() { return waitExit(0) == -1; }

    void stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        if (waitExit(3) == -1) {
            kill(m_pid, SIGKILL);
            waitExit(3);
        }
    }

    std::string log() const
    {
        std::ifstream in(m_log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_log;
};

std::string describe(const std::vector<QuarrinWindow>& windows)
{
    std::string text = std::to_string(windows.size()) + " window(s):";
    for (auto& window : windows)
        text += " " + window.id + " pid " + std::to_string(window.pid) + (window.viewable ? " viewable" : " unmapped");
    return text;
}

class DesktopTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        xvfb = new kit::test::XvfbServer;
        started = xvfb->start();
    }
    static void TearDownTestSuite()
    {
        delete xvfb;
        xvfb = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(started) << "Xvfb did not start";
        ASSERT_TRUE(std::filesystem::exists(kQuarrin)) << kQuarrin;
        char pattern[] = "/tmp/quarrin-desktop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home = pattern;
        std::filesystem::create_directories(home + "/runtime");
        chmod((home + "/runtime").c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
        // An empty runtime folder: no "bus" socket in it unless a test starts a bus.
        setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
        setenv("GDK_BACKEND", "x11", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("WAYLAND_DISPLAY");
        ASSERT_TRUE(quarrinWindows().empty()) << "a window left over from an earlier test";
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove_all(home, error);
    }

    std::string logPath(const std::string& name) const { return home + "/" + name + ".log"; }

    static inline kit::test::XvfbServer* xvfb = nullptr;
    static inline bool started = false;
    std::string home;
};

} // namespace

TEST_F(DesktopTest, SecondLaunchHandsOverToTheRunningInstance)
{
    kit::test::SessionBus bus;
    ASSERT_TRUE(bus.start());

    Launch first({}, logPath("first"));
    ASSERT_TRUE(first.started());
    auto windows = waitForWindows(1, 20);
    ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << first.log();
    EXPECT_EQ(windows[0].pid, first.pid());

    // Opening the address: the second program finds the first on the bus, hands over, exits.
    auto begin = std::chrono::steady_clock::now();
    Launch second({ "velmora-quarrin://" }, logPath("second"));
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitExit(10), 0) << second.log();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(seconds, 10);
    EXPECT_TRUE(first.running()) << first.log();

    windows = quarrinWindows();
    ASSERT_EQ(windows.size(), 1u) << describe(windows);
    EXPECT_TRUE(windows[0].viewable) << describe(windows);
    EXPECT_EQ(windows[0].pid, first.pid()) << "the window is still the first program's";

    // A plain second launch (from a menu, no address) is handed over the same way.
    Launch third({}, logPath("third"));
    EXPECT_EQ(third.waitExit(10), 0) << third.log();
    EXPECT_TRUE(first.running());
    windows = quarrinWindows();
    ASSERT_EQ(windows.size(), 1u) << describe(windows);
    EXPECT_EQ(windows[0].pid, first.pid());
    EXPECT_TRUE(windows[0].viewable);
}

TEST_F(DesktopTest, AfterTheRunningInstanceEndsTheNextLaunchOpensItsOwnWindow)
{
    kit::test::SessionBus bus;
    ASSERT_TRUE(bus.start());

    {
        Launch first({}, logPath("first"));
        auto windows = waitForWindows(1, 20);
        ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << first.log();
        first.stop();
        EXPECT_NE(first.waitExit(0), -1);
    }

    // Its name on the bus went with it: the address now starts a new instance.
    Launch next({ "velmora-quarrin://" }, logPath("next"));
    auto windows = waitForWindows(1, 20);
    ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << next.log();
    EXPECT_EQ(windows[0].pid, next.pid());
    EXPECT_TRUE(next.running()) << "it is the instance now, not a hand-over";
}

TEST_F(DesktopTest, WithoutASessionBusALaunchRunsAsAPlainInstance)
{
    Launch first({}, logPath("first"));
    auto windows = waitForWindows(1, 20);
    ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << first.log();
    EXPECT_EQ(windows[0].pid, first.pid());
    EXPECT_TRUE(first.running());

    // With no bus there is nobody to hand over to: the second launch keeps its own window.
    Launch second({ "velmora-quarrin://" }, logPath("second"));
    windows = waitForWindows(2, 20);
    ASSERT_EQ(viewableCount(windows), 2) << describe(windows) << "\n" << second.log();
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(second.running());
    EXPECT_NE(windows[0].pid, windows[1].pid);
    for (auto& window : windows)
        EXPECT_TRUE(window.pid == first.pid() || window.pid == second.pid()) << describe(windows);
}

TEST_F(DesktopTest, AnUnreachableSessionBusStillOpensTheWindow)
{
    // An address that names a socket nobody listens on, as after the session's bus died.
    std::string address = "unix:path=" + home + "/runtime/gone";
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    Launch only({}, logPath("only"));
    auto windows = waitForWindows(1, 20);
    ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << only.log();
    EXPECT_EQ(windows[0].pid, only.pid());
    EXPECT_TRUE(only.running()) << only.log();
}

namespace {

// The first window of the class that is mapped, as xdotool finds it; empty when there is none
// within the time.
std::string waitForClass(const std::string& windowClass, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        std::istringstream ids(capture("xdotool search --onlyvisible --class '^" + windowClass + "$'"));
        std::string id;
        if (std::getline(ids, id) && !id.empty())
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

std::pair<int, int> windowSize(const std::string& id)
{
    std::string info = capture("xwininfo -id " + id);
    std::smatch width, height;
    static const std::regex widthLine(R"(Width: (\d+))"), heightLine(R"(Height: (\d+))");
    if (!std::regex_search(info, width, widthLine) || !std::regex_search(info, height, heightLine))
        return { 0, 0 };
    return { std::atoi(width[1].str().c_str()), std::atoi(height[1].str().c_str()) };
}

// Polls a condition on the display for up to `seconds`.
template<typename Condition>
bool eventually(Condition condition, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return condition();
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Real keys through the XTEST extension, to the window that has the focus, as a keyboard would.
void pressKeys(const std::string& id, const std::string& keys)
{
    capture("xdotool windowfocus --sync " + id);
    capture("xdotool key " + keys);
}

// Runs a command and returns its exit status with its standard error.
std::pair<int, std::string> run(const std::string& command)
{
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return { -1, out };
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        out.append(chunk, n);
    int status = pclose(pipe);
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, out };
}

} // namespace

TEST_F(DesktopTest, WindowResizesWithinThePhoneWidthsAndCtrlQQuitsWritingThePreferences)
{
    Launch quarrin({}, logPath("resize"));
    std::string id = waitForClass("quarrin", 20);
    ASSERT_FALSE(id.empty()) << quarrin.log();
    EXPECT_EQ(windowSize(id), std::make_pair(375, 667));

    // The window manager's resize: taller and wider than any phone. The window takes it; the
    // screens take the height and the widest phone width.
    capture("xdotool windowsize " + id + " 1000 900");
    EXPECT_TRUE(eventually([&] { return windowSize(id) == std::make_pair(1000, 900); }, 5)) << quarrin.log();
    // The server has the new size at once; give the program a moment to lay its screens out.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    pressKeys(id, "ctrl+q");
    EXPECT_EQ(quarrin.waitExit(10), 0) << quarrin.log();
    std::string preferences = readFile(home + "/.config/com.velmora.quarrin/preferences.plist");
    EXPECT_NE(preferences.find("<key>LC</key>"), std::string::npos) << "the departure wrote the preferences";
    static const std::regex storedSize(
        R"(<key>KitHostWindowSizes</key>\s*<dict>\s*<key>default</key>\s*<dict>\s*<key>height</key>\s*<real>900</real>\s*<key>width</key>\s*<real>414</real>)");
    EXPECT_TRUE(std::regex_search(preferences, storedSize)) << preferences;

    // The next start opens at the size left.
    Launch again({}, logPath("again"));
    id = waitForClass("quarrin", 20);
    ASSERT_FALSE(id.empty()) << again.log();
    EXPECT_EQ(windowSize(id), std::make_pair(414, 900));
    pressKeys(id, "ctrl+w");
    EXPECT_EQ(again.waitExit(10), 0) << "Ctrl+W closes the one window, which ends the program";
}

TEST_F(DesktopTest, TabAndReturnOnTheRealWindowSwitchTabsAndTheArrowsChooseAModel)
{
    Launch quarrin({}, logPath("keys"));
    std::string id = waitForClass("quarrin", 20);
    ASSERT_FALSE(id.empty()) << quarrin.log();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    // Usage offers only the tabs: the third Tab reaches Tech Specs, Return shows it, and Right
    // moves its picker to the next model, which is stored as the one chosen.
    pressKeys(id, "Tab Tab Tab Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    pressKeys(id, "Right");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    pressKeys(id, "ctrl+q");
    EXPECT_EQ(quarrin.waitExit(10), 0) << quarrin.log();
    std::string preferences = readFile(home + "/.config/com.velmora.quarrin/preferences.plist");
    EXPECT_NE(preferences.find("<key>kSelectedModelDefaultsKey</key>"), std::string::npos)
        << "Tab, Return and Right reached the Tech Specs picker\n"
        << preferences;
}

TEST_F(DesktopTest, F11TogglesFullScreenUnderAWindowManager)
{
    if (run("command -v openbox").first != 0)
        GTEST_SKIP() << "openbox is not installed (scripts/setup installs it)";
    pid_t manager = fork();
    if (manager == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(manager, 0);
    // The window manager announces itself on the root window when it is ready.
    EXPECT_TRUE(
        eventually([] { return capture("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; }, 10));

    {
        Launch quarrin({}, logPath("fullscreen"));
        std::string id = waitForClass("quarrin", 20);
        ASSERT_FALSE(id.empty()) << quarrin.log();
        auto fullscreen
            = [&] { return capture("xprop -id " + id + " _NET_WM_STATE").find("_NET_WM_STATE_FULLSCREEN") != std::string::npos; };
        EXPECT_FALSE(fullscreen());
        pressKeys(id, "F11");
        EXPECT_TRUE(eventually(fullscreen, 5)) << quarrin.log();
        EXPECT_TRUE(eventually([&] { return windowSize(id) == std::make_pair(1400, 1440); }, 5));
        pressKeys(id, "F11");
        EXPECT_TRUE(eventually([&] { return !fullscreen(); }, 5));
        quarrin.stop();
    }
    kill(manager, SIGTERM);
    waitpid(manager, nullptr, 0);
}

TEST_F(DesktopTest, WidgetHasItsOwnClassAndStaysOutOfTheTaskBar)
{
    Launch vistrel({}, logPath("widget"), kVistrel);
    std::string id = waitForClass("vistrel", 20);
    ASSERT_FALSE(id.empty()) << vistrel.log();
    EXPECT_NE(capture("xprop -id " + id + " WM_CLASS").find("\"vistrel\", \"vistrel\""), std::string::npos);
    EXPECT_NE(capture("xprop -id " + id + " _NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_UTILITY"), std::string::npos);
    std::string state = capture("xprop -id " + id + " _NET_WM_STATE");
    EXPECT_NE(state.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << state;
    EXPECT_NE(state.find("_NET_WM_STATE_SKIP_PAGER"), std::string::npos) << state;
    EXPECT_TRUE(quarrinWindows().empty()) << "the widget is not grouped as Quarrin";
}

TEST_F(DesktopTest, ProgramsWithoutTheirBundleSayWhereTheyLookedAndFail)
{
    std::string alone = home + "/alone";
    std::filesystem::create_directories(alone);
    for (const char* program : { kQuarrin, kVistrel }) {
        std::string copy = alone + "/" + std::filesystem::path(program).filename().string();
        std::filesystem::copy_file(program, copy);
        auto [status, output] = run(copy + " --version");
        EXPECT_EQ(status, 1) << output;
        EXPECT_NE(output.find("cannot find its resources"), std::string::npos) << output;
        EXPECT_NE(output.find(alone), std::string::npos) << "the message names where it looked: " << output;
        // Help needs no bundle.
        EXPECT_EQ(run(copy + " --help").first, 0);
    }
}

TEST_F(DesktopTest, VersionAndHelpAreEachProgramsOwn)
{
    auto [quarrinStatus, quarrinVersion] = run(std::string(kQuarrin) + " --version");
    EXPECT_EQ(quarrinStatus, 0);
    EXPECT_TRUE(std::regex_search(quarrinVersion, std::regex(R"(^quarrin \d+\.\d+\.\d+\n$)"))) << quarrinVersion;
    auto [vistrelStatus, vistrelVersion] = run(std::string(kVistrel) + " --version");
    EXPECT_EQ(vistrelStatus, 0);
    EXPECT_TRUE(std::regex_search(vistrelVersion, std::regex(R"(^vistrel \d+\.\d+\.\d+\n$)"))) << vistrelVersion;

    std::string widgetHelp = run(std::string(kVistrel) + " --help").second;
    EXPECT_NE(widgetHelp.find("--interval SECONDS"), std::string::npos) << widgetHelp;
    EXPECT_EQ(widgetHelp.find("--list-devices"), std::string::npos) << widgetHelp;
    std::string appHelp = run(std::string(kQuarrin) + " --help").second;
    EXPECT_NE(appHelp.find("--list-devices"), std::string::npos) << appHelp;
    EXPECT_EQ(appHelp.find("--interval"), std::string::npos) << appHelp;
    EXPECT_NE(appHelp.find("print the figures as JSON"), std::string::npos) << appHelp;
}

// Log-out, `systemctl --user stop` and Ctrl-C once ended the program without its departure
// tasks, losing what changed since the last save. Each signal now ends it as closing the window
// does: the preferences are on disk and the exit is a normal one.
TEST_F(DesktopTest, TerminationSignalsSaveThePreferencesAsClosingTheWindowDoes)
{
    for (int signal : { SIGTERM, SIGINT, SIGHUP }) {
        SCOPED_TRACE(strsignal(signal));
        std::string preferences = home + "/.config/com.velmora.quarrin/preferences.plist";
        std::filesystem::remove(preferences);
        Launch launch({}, logPath("signal"));
        auto windows = waitForWindows(1, 20);
        ASSERT_EQ(viewableCount(windows), 1) << describe(windows) << "\n" << launch.log();
        kill(launch.pid(), signal);
        // A normal exit, not death by the signal (128 + its number).
        EXPECT_EQ(launch.waitExit(10), 0) << launch.log();
        std::ifstream in(preferences);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find("<key>ProgramVersion</key>"), std::string::npos) << text.str() << launch.log();
        EXPECT_TRUE(quarrinWindows().empty());
    }
}

// The help says "a folder or a .png file"; a .png argument once became a folder of that name.
TEST_F(DesktopTest, SnapshotToAPngFileWritesThatFile)
{
    std::string target = home + "/shot.png";
    Launch launch({ "--snapshot", target }, logPath("snapshot"));
    EXPECT_EQ(launch.waitExit(60), 0) << launch.log();
    ASSERT_TRUE(std::filesystem::is_regular_file(target)) << launch.log();
    std::ifstream in(target, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

namespace {

std::vector<std::string> filesBelow(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A snapshot or a print-out once ran the whole launch: it counted a launch towards the share
// prompt, recorded the version, seeded and refreshed the data set and wrote the preferences.
TEST_F(DesktopTest, SnapshotAndPrintLeaveThePreferencesAsTheyWere)
{
    std::string config = home + "/.config/com.velmora.quarrin";
    std::filesystem::create_directories(config);
    std::string preferences = config + "/preferences.plist";
    {
        // An older version, a launch count and date that would show the share prompt, a chosen model.
        std::ofstream out(preferences);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
               "\t<key>DND</key>\n\t<false/>\n\t<key>LC</key>\n\t<integer>5</integer>\n"
               "\t<key>ProgramVersion</key>\n\t<string>0.9</string>\n"
               "\t<key>ShareDate</key>\n\t<date>2020-01-01T00:00:00Z</date>\n"
               "\t<key>kSelectedModelDefaultsKey</key>\n\t<string>iPhone7,2</string>\n</dict>\n</plist>\n";
    }
    std::string before = readFile(preferences);
    auto filesBefore = filesBelow(home + "/.config");
    std::string shots = home + "/shots";
    for (int run = 0; run < 2; ++run) {
        auto [snapshotStatus, snapshotOutput] = ::run(std::string(kQuarrin) + " --snapshot " + shots);
        EXPECT_EQ(snapshotStatus, 0) << snapshotOutput;
        auto [printStatus, printOutput] = ::run(std::string(kQuarrin) + " --print");
        EXPECT_EQ(printStatus, 0) << printOutput;
        // The stored choice is what the Tech Specs tab shows.
        EXPECT_NE(printOutput.find("\"modelKey\": \"iPhone7,2\""), std::string::npos) << printOutput;
    }
    EXPECT_TRUE(std::filesystem::exists(shots + "/techspecs.png"));
    EXPECT_EQ(readFile(preferences), before) << "byte for byte";
    EXPECT_EQ(filesBelow(home + "/.config"), filesBefore) << "nothing set aside or left behind";
    EXPECT_FALSE(std::filesystem::exists(home + "/.local/share/com.velmora.quarrin/specs.plist")) << "no data set seeded";

    // The widget looks the same way.
    std::string widgetPreferences = home + "/.config/com.velmora.vistrel/preferences.plist";
    std::filesystem::create_directories(home + "/.config/com.velmora.vistrel");
    {
        std::ofstream(widgetPreferences) << "not a property list";
    }
    auto [widgetStatus, widgetOutput] = ::run(std::string(kVistrel) + " --snapshot " + home + "/widget.png");
    EXPECT_EQ(widgetStatus, 0) << widgetOutput;
    EXPECT_EQ(readFile(widgetPreferences), "not a property list") << "an unreadable file is left where it is";
    EXPECT_FALSE(std::filesystem::exists(widgetPreferences + ".corrupt"));
}

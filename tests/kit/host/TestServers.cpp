// SPDX-License-Identifier: MIT
#include "TestServers.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kit::test {

namespace {

bool socketAccepts(const std::string& path)
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

// Reads what a child writes to a pipe until a newline, EOF or the deadline.
std::string readLine(int fd, double timeoutSeconds)
{
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p { fd, POLLIN, 0 };
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (poll(&p, 1, std::max<int>(1, int(left.count()))) <= 0)
            continue;
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n <= 0)
            break;
        if (c == '\n')
            break;
        line += c;
    }
    return line;
}

void killAndReap(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

} // namespace

XvfbServer::~XvfbServer() { stop(); }

bool XvfbServer::start(double timeoutSeconds)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    m_pid = fork();
    if (m_pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (m_pid == 0) {
        close(pipeFds[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(pipeFds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1400x1440x24", "-nolisten", "tcp", "-noreset",
            static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number = readLine(pipeFds[0], timeoutSeconds);
    close(pipeFds[0]);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        killAndReap(m_pid);
        return false;
    }
    std::string socketPath = "/tmp/.X11-unix/X" + number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (!socketAccepts(socketPath)) {
        if (std::chrono::steady_clock::now() > deadline || waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            killAndReap(m_pid);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_display = ":" + number;
    if (const char* previous = getenv("DISPLAY")) {
        m_hadDisplay = true;
        m_previousDisplay = previous;
    }
    setenv("DISPLAY", m_display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return true;
}

void XvfbServer::stop()
{
    if (m_pid <= 0)
        return;
    killAndReap(m_pid);
    if (m_hadDisplay)
        setenv("DISPLAY", m_previousDisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

SessionBus::~SessionBus() { stop(); }

bool SessionBus::start()
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 1);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 2);
        execlp("dbus-daemon", "dbus-daemon", "--session", "--print-address=1", "--print-pid=1", "--fork", "--nopidfile",
            static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    m_address = readLine(pipeFds[0], 10);
    std::string pid = readLine(pipeFds[0], 10);
    close(pipeFds[0]);
    waitpid(child, nullptr, 0); // the launcher exits once the daemon has forked
    if (m_address.empty() || pid.empty())
        return false;
    m_pid = static_cast<pid_t>(std::atoi(pid.c_str()));
    setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    return m_pid > 0;
}

void SessionBus::stop()
{
    if (m_pid <= 0)
        return;
    // The daemon forked away from us, so it is not our child: no waitpid.
    kill(m_pid, SIGTERM);
    m_pid = -1;
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

AccessibilityBus::~AccessibilityBus() { stop(); }

bool AccessibilityBus::start(double timeoutSeconds)
{
    if (access(kLauncher, X_OK) != 0) {
        m_error = std::string(kLauncher) + " is missing (at-spi2-core)";
        return false;
    }
    m_pid = fork();
    if (m_pid < 0) {
        m_error = "fork failed";
        return false;
    }
    if (m_pid == 0) {
        // A group of its own: the bus daemon and the registry it starts leave with it.
        setpgid(0, 0);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execl(kLauncher, kLauncher, "--launch-immediately", static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(m_pid, m_pid);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = std::system("gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus "
                                 "--method org.a11y.Bus.GetAddress >/dev/null 2>&1");
        if (status == 0)
            return true;
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "at-spi-bus-launcher exited";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_error = "org.a11y.Bus did not answer on the session bus";
    stop();
    return false;
}

void AccessibilityBus::stop()
{
    if (m_pid <= 0)
        return;
    pid_t group = m_pid;
    kill(-group, SIGTERM);
    killAndReap(m_pid);
    // The daemon and the registry, if they outlived the launcher.
    kill(-group, SIGKILL);
}

} // namespace kit::test

// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <sys/types.h>

namespace kit::test {

// An Xvfb server on a display number nobody uses, started for the test and killed after it.
// Xvfb picks the number itself (-displayfd), so parallel test programs never collide.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts Xvfb (1400x1440x24, no TCP) and waits until its socket accepts; sets DISPLAY.
    bool start(double timeoutSeconds = 10);
    void stop();
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
    std::string m_previousDisplay;
    bool m_hadDisplay = false;
};

// A private session bus (dbus-daemon --session --fork), so tests of the single-instance logic
// never reach the developer's own session.
class SessionBus {
public:
    SessionBus() = default;
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Starts the daemon and sets DBUS_SESSION_BUS_ADDRESS.
    bool start();
    void stop();
    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
};

// The accessibility bus on the session bus started before it (SessionBus): at-spi-bus-launcher
// with its own bus daemon, the registry started on demand. Applications started afterwards
// publish their accessible trees there. Everything it started goes with it.
class AccessibilityBus {
public:
    AccessibilityBus() = default;
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // False when at-spi2-core is not installed or the bus does not answer within the time;
    // error() then says which.
    bool start(double timeoutSeconds = 10);
    void stop();
    const std::string& error() const { return m_error; }

    static constexpr const char* kLauncher = "/usr/libexec/at-spi-bus-launcher";

private:
    pid_t m_pid = -1;
    std::string m_error;
};

} // namespace kit::test

// SPDX-License-Identifier: MIT
#pragma once

#include "common/metrics/RefreshTick.h"
#include "kit/ui/Application.h"

#include <memory>
#include <string_view>

namespace kit {
class Timer;
class Window;
} // namespace kit
class MainController;

// Quarrin's application delegate: tracks the program version, seeds the data set, builds the
// window, and keeps the three-second refresh rhythm while the application is active.
class QNAppDelegate : public kit::ApplicationDelegate {
public:
    // Kept for callers that still name the tick through the delegate.
    static constexpr std::string_view kRefreshNotification = ::kRefreshNotification;
    static constexpr std::string_view kProgramVersionKey = "ProgramVersion";
    static constexpr std::string_view kLaunchCountKey = "LC";
    static constexpr std::string_view kShareDateKey = "ShareDate";
    static constexpr std::string_view kDoNotDisturbKey = "DND";
    static constexpr double kRefreshInterval = ::kRefreshInterval;
    static constexpr double kShareDelay = 604800; // a week

    QNAppDelegate();
    ~QNAppDelegate() override;

    // ApplicationDelegate
    bool didFinishLaunching(kit::Application&, const std::string& url) override;
    void didBecomeActive(kit::Application&) override;
    void willResignActive(kit::Application&) override;
    void didEnterBackground(kit::Application&) override;
    void willTerminate(kit::Application&) override;

    void doFinalTasks();
    void refreshTimerDidShot();

    // An observing run (--snapshot, --print) shows the screens as the stored state has them and
    // changes nothing: no launch is counted, no version recorded, no data set seeded or requested,
    // no share prompt shown. Set before the launch.
    static void setObserving(bool observing);
    static bool isObserving();

    bool isNewVersion() const { return m_isNewVersion; }
    kit::Timer* refreshTimer() const { return m_refreshTimer.get(); }
    kit::Window* window() const { return m_window.get(); }
    MainController* mainController() const { return m_mainController.get(); }

private:
    bool m_isNewVersion = false;
    std::shared_ptr<kit::Timer> m_refreshTimer;
    std::shared_ptr<kit::Window> m_window;
    std::shared_ptr<MainController> m_mainController;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/DeviceProfile.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class Application;
class Window;

inline constexpr std::string_view kApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline constexpr std::string_view kApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr std::string_view kApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr std::string_view kApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr std::string_view kApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr std::string_view kApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";

// The application's life-cycle callbacks, called before the matching notification is posted.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Build and show the window here. `url` is the address the application was launched
    // with, empty for a plain launch.
    virtual bool didFinishLaunching(Application&, const std::string& /*url*/) { return true; }
    virtual void didBecomeActive(Application&) { }
    virtual void willResignActive(Application&) { }
    virtual void didEnterBackground(Application&) { }
    virtual void willEnterForeground(Application&) { }
    virtual void willTerminate(Application&) { }
    // An address of the application's own scheme arrived while it runs (a second launch).
    virtual bool handleOpenURL(Application&, const std::string& /*url*/) { return false; }
};

// The running application. Hosts report the desktop's events through the life-cycle calls;
// each is ignored when it would not change the state, and the state moves only through legal
// steps (entering the background from active first resigns active; terminating passes through
// resigning), so observers see a consistent sequence whatever order the desktop reports in.
class Application {
public:
    enum class State { NotRunning, Inactive, Active, Background, Terminated };

    static Application& shared();

    ApplicationDelegate* delegate() const { return m_delegate; }
    // Not owned.
    void setDelegate(ApplicationDelegate* delegate) { m_delegate = delegate; }
    State state() const { return m_state; }
    bool isActive() const { return m_state == State::Active; }

    // Life cycle, called by the hosts.
    void finishLaunching(const std::string& url = {});
    void becomeActive();
    void resignActive();
    void enterBackground();
    void terminate();
    void receiveURL(const std::string& url);

    // Asks the desktop to open the address (the host's opener); false when the address has no
    // scheme, there is no opener, or the opener refused. It does not wait for canOpenURL: a
    // sandboxed desktop may open what it cannot name a handler for.
    bool openURL(const std::string& url);
    // Whether the address has a scheme, there is an opener, and the desktop has a handler for
    // that scheme (when the host can tell; otherwise every scheme is taken to have one).
    bool canOpenURL(const std::string& url) const;
    using URLOpener = std::function<bool(const std::string&)>;
    void setURLOpener(URLOpener opener) { m_opener = std::move(opener); }
    // Given the lower-case scheme ("appstream"), whether the desktop has a handler for it.
    using URLSchemeQuery = std::function<bool(const std::string& scheme)>;
    void setURLSchemeQuery(URLSchemeQuery query) { m_schemeQuery = std::move(query); }

    // The device the screens are laid out for.
    const DeviceProfile& deviceProfile() const { return DeviceProfile::current(); }
    bool isPad() const { return DeviceProfile::current().isPad(); }

    Window* keyWindow() const;
    std::vector<Window*> windows() const;

    // Back to not running, with no delegate, opener or scheme query (tests).
    void reset();

private:
    Application() = default;
    void post(std::string_view name);
    // The lower-case scheme of an address: a letter, then letters, digits, "+", "-" or ".",
    // then ":". None when the address has no such beginning.
    static std::optional<std::string> schemeOf(const std::string& url);

    ApplicationDelegate* m_delegate = nullptr; // not owned
    State m_state = State::NotRunning;
    URLOpener m_opener;
    URLSchemeQuery m_schemeQuery;
};

} // namespace kit

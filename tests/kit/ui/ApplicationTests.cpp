// SPDX-License-Identifier: MIT
#include "kit/base/NotificationCenter.h"
#include "kit/ui/Application.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kit;

namespace {

struct RecordingDelegate : ApplicationDelegate {
    std::vector<std::string>* log;
    explicit RecordingDelegate(std::vector<std::string>* l)
        : log(l)
    {
    }
    bool didFinishLaunching(Application&, const std::string& url) override
    {
        log->push_back("launch:" + url);
        return true;
    }
    void didBecomeActive(Application&) override { log->push_back("active"); }
    void willResignActive(Application&) override { log->push_back("resign"); }
    void didEnterBackground(Application&) override { log->push_back("background"); }
    void willEnterForeground(Application&) override { log->push_back("foreground"); }
    void willTerminate(Application&) override { log->push_back("terminate"); }
    bool handleOpenURL(Application&, const std::string& url) override
    {
        log->push_back("url:" + url);
        return true;
    }
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application::shared().reset();
        Application::shared().setDelegate(&delegate);
        for (auto name : { kApplicationDidBecomeActiveNotification, kApplicationWillResignActiveNotification,
                 kApplicationDidEnterBackgroundNotification, kApplicationWillTerminateNotification }) {
            observations.push_back(NotificationCenter::defaultCenter().addObserver(name, nullptr, this,
                [this](const Notification& n) { notes.push_back(n.name); }));
        }
    }
    void TearDown() override { Application::shared().reset(); }

    std::vector<std::string> log;
    std::vector<std::string> notes;
    RecordingDelegate delegate { &log };
    std::vector<std::unique_ptr<NotificationCenter::Observation>> observations;
};

} // namespace

TEST_F(ApplicationTest, DelegateIsCalledBeforeEachNotificationInLifeCycleOrder)
{
    auto& app = Application::shared();
    app.finishLaunching();
    app.becomeActive();
    app.resignActive();
    app.enterBackground();
    app.becomeActive();
    app.terminate();
    EXPECT_EQ(log,
        (std::vector<std::string> { "launch:", "active", "resign", "background", "foreground", "active", "resign",
            "terminate" }));
    EXPECT_EQ(notes,
        (std::vector<std::string> { "UIApplicationDidBecomeActiveNotification", "UIApplicationWillResignActiveNotification",
            "UIApplicationDidEnterBackgroundNotification", "UIApplicationDidBecomeActiveNotification",
            "UIApplicationWillResignActiveNotification", "UIApplicationWillTerminateNotification" }));
    EXPECT_EQ(app.state(), Application::State::Terminated);
}

TEST_F(ApplicationTest, RepeatedAndOutOfOrderEventsKeepTheSequenceConsistent)
{
    auto& app = Application::shared();
    // Activation before launch launches first; focus reported twice activates once.
    app.becomeActive();
    app.becomeActive();
    EXPECT_EQ(log, (std::vector<std::string> { "launch:", "active" }));
    // Minimised while focused: resigning comes first.
    app.enterBackground();
    app.enterBackground();
    app.resignActive();
    EXPECT_EQ(log, (std::vector<std::string> { "launch:", "active", "resign", "background" }));
    app.terminate();
    app.terminate();
    app.becomeActive();
    app.receiveURL("velmora-quarrin://late");
    EXPECT_EQ(log, (std::vector<std::string> { "launch:", "active", "resign", "background", "terminate" }));
}

TEST_F(ApplicationTest, LaunchURLAndLaterURLsReachTheDelegate)
{
    auto& app = Application::shared();
    app.finishLaunching("velmora-quarrin://open");
    app.finishLaunching("velmora-quarrin://twice");
    app.receiveURL("velmora-quarrin://again");
    app.receiveURL("");
    EXPECT_EQ(log, (std::vector<std::string> { "launch:velmora-quarrin://open", "url:velmora-quarrin://again" }));
}

TEST_F(ApplicationTest, OpenURLGoesToTheHostsOpenerAndRefusesNonsense)
{
    auto& app = Application::shared();
    EXPECT_FALSE(app.openURL("https://example.org/"));
    std::vector<std::string> opened;
    app.setURLOpener([&](const std::string& url) {
        opened.push_back(url);
        return url.rfind("mailto:", 0) != 0;
    });
    EXPECT_TRUE(app.openURL("https://example.org/a"));
    EXPECT_FALSE(app.openURL("mailto:someone@example.org"));
    EXPECT_FALSE(app.openURL(""));
    EXPECT_FALSE(app.openURL("no scheme here"));
    EXPECT_FALSE(app.openURL(":nothing"));
    EXPECT_FALSE(app.openURL("1http://x"));
    EXPECT_EQ(opened, (std::vector<std::string> { "https://example.org/a", "mailto:someone@example.org" }));
}

TEST_F(ApplicationTest, CanOpenURLAsksTheDesktopForTheSchemesHandler)
{
    auto& app = Application::shared();
    std::vector<std::string> opened;
    app.setURLOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    // Without a way to ask, every scheme is taken to have a handler.
    EXPECT_TRUE(app.canOpenURL("appstream://com.velmora.quarrin"));
    std::vector<std::string> asked;
    app.setURLSchemeQuery([&](const std::string& scheme) {
        asked.push_back(scheme);
        return scheme == "https";
    });
    EXPECT_TRUE(app.canOpenURL("HTTPS://example.org/"));
    EXPECT_FALSE(app.canOpenURL("appstream://com.velmora.quarrin"));
    EXPECT_FALSE(app.canOpenURL("not an address"));
    // Opening still tries: the desktop may manage what it cannot name a handler for.
    EXPECT_TRUE(app.openURL("appstream://com.velmora.quarrin"));
    EXPECT_EQ(asked, (std::vector<std::string> { "https", "appstream" }));
    EXPECT_EQ(opened, (std::vector<std::string> { "appstream://com.velmora.quarrin" }));
    app.reset();
    EXPECT_FALSE(app.canOpenURL("https://example.org/")) << "no opener after a reset";
}

// SPDX-License-Identifier: MIT
#include "app/shell/QNAppDelegate.h"

#include "app/shell/MainController.h"
#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/ui/AlertAction.h"
#include "kit/ui/AlertController.h"
#include "kit/ui/StatusBar.h"
#include "kit/ui/Window.h"

namespace {

constexpr kit::Color kTintColor { 0.0, 0.68, 0.96, 1.0 };

std::size_t versionParts(const std::string& version)
{
    std::size_t parts = 1;
    for (char c : version)
        parts += c == '.';
    return parts;
}

bool gObserving = false;

} // namespace

void QNAppDelegate::setObserving(bool observing) { gObserving = observing; }
bool QNAppDelegate::isObserving() { return gObserving; }

QNAppDelegate::QNAppDelegate() = default;

QNAppDelegate::~QNAppDelegate()
{
    if (m_refreshTimer)
        m_refreshTimer->invalidate();
    DataKeeper::sharedKeeper().presentNewDataAlert = nullptr;
}

bool QNAppDelegate::didFinishLaunching(kit::Application&, const std::string&)
{
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    auto stored = defaults.stringForKey(kProgramVersionKey);
    std::string current = kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue();

    m_isNewVersion = !stored || *stored != current;
    if (m_isNewVersion && !gObserving) {
        defaults.setString(current, kProgramVersionKey);
        // A patch release (three or more parts) keeps the share prompt's schedule.
        if (versionParts(current) < 3 || !stored) {
            defaults.setDate(kit::Date::now().byAdding(kShareDelay), kShareDateKey);
            defaults.setBool(false, kDoNotDisturbKey);
        }
        DataKeeper::copyDataFromBundleIfNeeded();
    }

    DataKeeper::sharedKeeper().presentNewDataAlert = [](const DataKeeper::NewDataAlert& text) {
        auto alert = kit::AlertController::create(text.title, text.message);
        alert->addAction(kit::AlertAction::create(text.actionTitle, kit::AlertActionStyle::Default));
        kit::AlertController::show(alert);
    };

    auto screen = kit::Device::screenSize();
    m_window = kit::View::create<kit::Window>();
    m_window->setFrame({ 0, 0, screen.width, screen.height });
    m_mainController = kit::ViewController::create<MainController>();
    m_window->setRootViewController(m_mainController);
    m_window->setTintColor(kTintColor);
    m_window->makeKeyAndVisible();
    // The screens are dark: the clock and battery are drawn light over them.
    for (kit::Window* window : kit::Window::allWindows()) {
        if (auto* statusBar = dynamic_cast<kit::StatusBarWindow*>(window))
            statusBar->setLightContent(true);
    }
    return true;
}

void QNAppDelegate::didBecomeActive(kit::Application&)
{
    if (m_refreshTimer)
        m_refreshTimer->invalidate();
    m_refreshTimer = kit::Timer::scheduled(kRefreshInterval, true, [this](kit::Timer&) { refreshTimerDidShot(); });

    if (gObserving)
        return;
    kit::UserDefaults::standardUserDefaults().incrementIntegerForKey(kLaunchCountKey);

    DataKeeper::updateData(m_isNewVersion);
}

void QNAppDelegate::willResignActive(kit::Application&) { doFinalTasks(); }
void QNAppDelegate::didEnterBackground(kit::Application&) { doFinalTasks(); }
void QNAppDelegate::willTerminate(kit::Application&) { doFinalTasks(); }

void QNAppDelegate::doFinalTasks()
{
    m_isNewVersion = false;
    if (m_refreshTimer) {
        m_refreshTimer->invalidate();
        m_refreshTimer = nullptr;
    }
    kit::UserDefaults::standardUserDefaults().synchronize();
}

void QNAppDelegate::refreshTimerDidShot() { kit::NotificationCenter::defaultCenter().post(kRefreshNotification, this); }

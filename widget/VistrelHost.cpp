// SPDX-License-Identifier: MIT
#include "widget/VistrelHost.h"

#include "kit/ui/Window.h"
#include "widget/VistrelController.h"

VistrelHost::VistrelHost(kit::Size size, double interval)
    : m_size(size)
    , m_interval(interval > 0 ? interval : 3)
{
}

VistrelHost::~VistrelHost() { stopTimer(); }

bool VistrelHost::didFinishLaunching(kit::Application&, const std::string&)
{
    m_window = kit::View::create<kit::Window>();
    m_window->setFrame({ 0, 0, m_size.width, m_size.height });
    m_window->setBackgroundColor(kit::Color::rgba(0.17, 0.20, 0.25, 1));
    m_controller = kit::ViewController::create<VistrelController>();
    m_window->setRootViewController(m_controller);
    // Showing the window loads the controller's view and makes it appear: the panels are
    // built and filled then.
    m_window->makeKeyAndVisible();
    requestUpdate();
    startTimer();
    return true;
}

void VistrelHost::didBecomeActive(kit::Application&) { startTimer(); }

void VistrelHost::willEnterForeground(kit::Application&)
{
    requestUpdate();
    startTimer();
}

// Hidden (minimised): no point refreshing what nobody sees.
void VistrelHost::didEnterBackground(kit::Application&) { stopTimer(); }

void VistrelHost::willTerminate(kit::Application&) { stopTimer(); }

void VistrelHost::requestUpdate()
{
    if (!m_controller)
        return;
    ++m_updates;
    m_controller->widgetPerformUpdateWithCompletionHandler({});
}

void VistrelHost::startTimer()
{
    if (m_timer && m_timer->isValid())
        return;
    m_timer = kit::Timer::scheduled(m_interval, true, [this](kit::Timer&) { requestUpdate(); });
}

void VistrelHost::stopTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer = nullptr;
}

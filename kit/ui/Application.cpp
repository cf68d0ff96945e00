// SPDX-License-Identifier: MIT
#include "kit/ui/Application.h"

#include "kit/base/NotificationCenter.h"
#include "kit/ui/Window.h"

namespace kit {

Application& Application::shared()
{
    static Application* application = new Application;
    return *application;
}

void Application::post(std::string_view name) { NotificationCenter::defaultCenter().post(name, this); }

void Application::finishLaunching(const std::string& url)
{
    if (m_state != State::NotRunning)
        return;
    m_state = State::Inactive;
    if (m_delegate)
        m_delegate->didFinishLaunching(*this, url);
    post(kApplicationDidFinishLaunchingNotification);
}

void Application::becomeActive()
{
    if (m_state == State::NotRunning)
        finishLaunching();
    if (m_state == State::Active || m_state == State::Terminated)
        return;
    if (m_state == State::Background) {
        m_state = State::Inactive;
        if (m_delegate)
            m_delegate->willEnterForeground(*this);
        post(kApplicationWillEnterForegroundNotification);
        // A delegate may have terminated the application in between.
        if (m_state != State::Inactive)
            return;
    }
    m_state = State::Active;
    if (m_delegate)
        m_delegate->didBecomeActive(*this);
    post(kApplicationDidBecomeActiveNotification);
}

void Application::resignActive()
{
    if (m_state != State::Active)
        return;
    m_state = State::Inactive;
    if (m_delegate)
        m_delegate->willResignActive(*this);
    post(kApplicationWillResignActiveNotification);
}

void Application::enterBackground()
{
    if (m_state == State::Active)
        resignActive();
    if (m_state != State::Inactive)
        return;
    m_state = State::Background;
    if (m_delegate)
        m_delegate->didEnterBackground(*this);
    post(kApplicationDidEnterBackgroundNotification);
}

void Application::terminate()
{
    if (m_state == State::Terminated || m_state == State::NotRunning) {
        m_state = State::Terminated;
        return;
    }
    if (m_state == State::Active)
        resignActive();
    m_state = State::Terminated;
    if (m_delegate)
        m_delegate->willTerminate(*this);
    post(kApplicationWillTerminateNotification);
}

void Application::receiveURL(const std::string& url)
{
    if (url.empty() || m_state == State::Terminated)
        return;
    if (m_delegate)
        m_delegate->handleOpenURL(*this, url);
}

std::optional<std::string> Application::schemeOf(const std::string& url)
{
    // A scheme of letters, digits, "+", "-" or "." followed by ":" is the least an address has.
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    std::string scheme;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = url[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return std::nullopt;
        scheme += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return scheme;
}

bool Application::canOpenURL(const std::string& url) const
{
    auto scheme = schemeOf(url);
    if (!scheme || !m_opener)
        return false;
    return !m_schemeQuery || m_schemeQuery(*scheme);
}

bool Application::openURL(const std::string& url)
{
    if (!schemeOf(url) || !m_opener)
        return false;
    // Copy: the opener may replace itself.
    auto opener = m_opener;
    return opener(url);
}

Window* Application::keyWindow() const { return Window::keyWindow(); }

std::vector<Window*> Application::windows() const { return Window::allWindows(); }

void Application::reset()
{
    m_delegate = nullptr;
    m_state = State::NotRunning;
    m_opener = nullptr;
    m_schemeQuery = nullptr;
}

} // namespace kit

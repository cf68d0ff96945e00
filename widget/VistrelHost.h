// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/RunLoop.h"
#include "kit/ui/Application.h"
#include "kit/ui/Geometry.h"

#include <memory>

class VistrelController;
namespace kit {
class Window;
}

// The widget's host: one window with the widget's controller, shown at launch, asked for fresh
// content when shown and then every `interval` seconds until it is hidden.
class VistrelHost : public kit::ApplicationDelegate {
public:
    VistrelHost(kit::Size size, double interval);
    ~VistrelHost() override;

    VistrelController* controller() const { return m_controller.get(); }
    kit::Window* window() const { return m_window.get(); }
    int updatesRequested() const { return m_updates; }

    // ApplicationDelegate
    bool didFinishLaunching(kit::Application&, const std::string& url) override;
    void didBecomeActive(kit::Application&) override;
    void didEnterBackground(kit::Application&) override;
    void willEnterForeground(kit::Application&) override;
    void willTerminate(kit::Application&) override;

private:
    void requestUpdate();
    void startTimer();
    void stopTimer();

    kit::Size m_size;
    double m_interval = 3;
    std::shared_ptr<kit::Window> m_window;
    std::shared_ptr<VistrelController> m_controller;
    std::shared_ptr<kit::Timer> m_timer;
    int m_updates = 0;
};

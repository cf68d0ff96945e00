// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/AlertAction.h"
#include "kit/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

namespace kit {

class Button;
class Label;
class Window;

enum class AlertControllerStyle {
    ActionSheet,
    Alert,
};

// A centred box with a title, a message and its action buttons over a dimmed screen. Any
// action dismisses it. An alert shown without actions gets one "OK" (localised) so it can
// always be dismissed.
class AlertController : public ViewController {
public:
    static std::shared_ptr<AlertController> create(std::string title, std::string message,
        AlertControllerStyle style = AlertControllerStyle::Alert);

    const std::string& message() const { return m_message; }
    AlertControllerStyle preferredStyle() const { return m_style; }
    void addAction(std::shared_ptr<AlertAction> action);
    const std::vector<std::shared_ptr<AlertAction>>& actions() const { return m_actions; }

    // Presents the alert over the controller on top of the window (the key window when none is
    // given): the root controller, or what it presents, and so on. While another alert is up
    // there, the alert waits its turn and comes up when the earlier ones are dismissed. Shown
    // while there is nothing to show it over, it waits until the next alert is shown.
    static void show(std::shared_ptr<AlertController> alert, bool animated = true, Window* window = nullptr);
    // Alerts waiting behind the one on screen.
    static std::size_t queuedAlertCount();
    // The controller new presentations go over: root, then down the presented chain.
    static ViewController* topmostController(Window* window);

    // The button of action i while the alert is loaded; null otherwise.
    Button* buttonForAction(std::size_t index) const;
    Label* titleLabel() const { return m_titleLabel.get(); }
    Label* messageLabel() const { return m_messageLabel.get(); }
    View* boxView() const { return m_box.get(); }

    static constexpr double kBoxWidth = 270;

    // Object
    std::string className() const override { return "UIAlertController"; }

    // ViewController
    void loadView() override;
    void viewDidDisappear(bool animated) override;
    // Escape acts as the cancel action's button (its handler runs); unused without one.
    bool pressKey(Key key) override;

protected:
    AlertController(std::string title, std::string message, AlertControllerStyle style);
    friend class ViewController;

private:
    void actionTapped(std::size_t index);
    void layoutBox();

    std::string m_message;
    AlertControllerStyle m_style;
    std::vector<std::shared_ptr<AlertAction>> m_actions;
    std::shared_ptr<View> m_box;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<Label> m_messageLabel;
    std::vector<std::shared_ptr<Button>> m_buttons;
    bool m_dismissing = false;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kit {

enum class AlertActionStyle {
    Default,
    Cancel,
    Destructive,
};

// A button of an alert; its handler runs after the alert is dismissed.
class AlertAction {
public:
    using Handler = std::function<void(AlertAction&)>;

    static std::shared_ptr<AlertAction> create(std::string title, AlertActionStyle style, Handler handler = {});

    const std::string& title() const { return m_title; }
    AlertActionStyle style() const { return m_style; }
    const Handler& handler() const { return m_handler; }

    AlertAction(std::string title, AlertActionStyle style, Handler handler);

private:
    std::string m_title;
    AlertActionStyle m_style;
    Handler m_handler;
};

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/AlertAction.h"

namespace kit {

AlertAction::AlertAction(std::string title, AlertActionStyle style, Handler handler)
    : m_title(std::move(title))
    , m_style(style)
    , m_handler(std::move(handler))
{
}

std::shared_ptr<AlertAction> AlertAction::create(std::string title, AlertActionStyle style, Handler handler)
{
    return std::make_shared<AlertAction>(std::move(title), style, std::move(handler));
}

} // namespace kit

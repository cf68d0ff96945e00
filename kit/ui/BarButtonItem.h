// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/Button.h"

#include <functional>
#include <memory>
#include <string>

namespace kit {

// The look of navigation and tab bars.
enum class BarStyle {
    Default, // light, dark text
    Black, // dark, light text
};

// A button for a navigation bar: a system item (Edit, Done, ...) with its localised title, or
// one with a title of its own. Goes into NavigationItem::leftView / rightView.
class BarButtonItem : public Button {
public:
    enum class SystemItem { Done, Cancel, Edit, Save, Add };
    using Action = std::function<void()>;

    static std::shared_ptr<BarButtonItem> systemItem(SystemItem item, Action action);
    static std::shared_ptr<BarButtonItem> withTitle(std::string title, Action action);

    std::optional<SystemItem> systemItemKind() const { return m_systemItem; }
    // The item's title as the bundle's string table gives it ("Edit" → localised).
    static std::string titleForSystemItem(SystemItem item);

    // Object
    std::string className() const override { return "UIBarButtonItem"; }

protected:
    BarButtonItem();
    friend class View;

private:
    std::optional<SystemItem> m_systemItem;
};

} // namespace kit

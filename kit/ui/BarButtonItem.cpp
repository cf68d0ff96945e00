// SPDX-License-Identifier: MIT
#include "kit/ui/BarButtonItem.h"

#include "kit/base/Bundle.h"

namespace kit {

BarButtonItem::BarButtonItem()
    : Button(Button::Type::System)
{
}

std::string BarButtonItem::titleForSystemItem(SystemItem item)
{
    const char* key = "Edit";
    switch (item) {
    case SystemItem::Done:
        key = "Done";
        break;
    case SystemItem::Cancel:
        key = "Cancel";
        break;
    case SystemItem::Edit:
        key = "Edit";
        break;
    case SystemItem::Save:
        key = "Save";
        break;
    case SystemItem::Add:
        return "+";
    }
    std::string text = Bundle::mainBundle().localizedString(key);
    return text.empty() ? key : text;
}

std::shared_ptr<BarButtonItem> BarButtonItem::systemItem(SystemItem item, Action action)
{
    auto button = withTitle(titleForSystemItem(item), std::move(action));
    button->m_systemItem = item;
    if (item == SystemItem::Done)
        button->setFont(Font::boldSystemFont(17));
    button->sizeToFit();
    return button;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withTitle(std::string title, Action action)
{
    auto button = View::create<BarButtonItem>();
    button->setTitle(std::move(title));
    button->setFont(Font::systemFont(17));
    button->setContentEdgeInsets({ 0, 8, 0, 8 });
    if (action)
        button->addAction(ControlEvent::TouchUpInside, [action](Control&) { action(); });
    button->sizeToFit();
    return button;
}

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/BarButtonItem.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"

#include <functional>
#include <memory>
#include <string>

namespace kit {

class Label;

// The bar at the top of a navigation controller: the top controller's title (or title view),
// a back button titled after the controller beneath it, and the item's side views.
class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;

    BarStyle barStyle() const { return m_barStyle; }
    void setBarStyle(BarStyle style);

    // What the bar shows: the top item and the title of the one beneath it (for the back
    // button; empty hides the button).
    void setItems(const NavigationItem& top, const std::string& topTitle, std::optional<std::string> backTitle);
    std::string titleText() const;
    // Null when the item has a title view or no back button.
    Label* titleLabel() const;
    Button* backButton() const;
    View* titleView() const { return m_titleView.get(); }
    View* rightView() const { return m_rightView.get(); }
    View* leftView() const { return m_leftView.get(); }

    std::function<void()> onBack;

    // Object
    std::string className() const override { return "UINavigationBar"; }

    // View
    void layoutSubviews() override;

protected:
    NavigationBar();
    friend class View;
    void didCreate() override;

private:
    void applyStyle();

    BarStyle m_barStyle = BarStyle::Default;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<Button> m_backButton;
    std::shared_ptr<View> m_titleView;
    std::shared_ptr<View> m_leftView;
    std::shared_ptr<View> m_rightView;
    std::shared_ptr<View> m_hairline;
};

} // namespace kit

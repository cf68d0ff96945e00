// SPDX-License-Identifier: MIT
#pragma once

#include "app/shell/SocModView.h"
#include "kit/ui/TabBarController.h"

#include <functional>
#include <memory>
#include <vector>

namespace kit {
class ImageView;
class View;
} // namespace kit

// The tab bar of Quarrin's screens, over the launch picture and under the share prompt.
class MainController : public kit::TabBarController {
public:
    // One tab: the screen and its tab image.
    struct Tab {
        std::function<std::shared_ptr<kit::ViewController>()> make;
        const char* imageName;
        // The file name of its picture in a snapshot ("usage" → usage.png).
        const char* snapshotName;
    };
    // The screens in tab order.
    static std::vector<Tab> tabs();

    ~MainController() override;

    kit::ImageView* bgImageView() const { return m_bgImageView.get(); }
    kit::ImageView* tabBarShadowView() const { return m_shadowView.get(); }
    // The share prompt above everything; transparent and untouchable until it shows.
    SocModView* socModView() const { return m_socModView.get(); }

    // Object
    std::string className() const override { return "MainController"; }

    // ViewController
    void viewDidLoad() override;
    unsigned supportedInterfaceOrientations() const override;
    void viewWillTransitionToSize(kit::Size size, kit::TransitionCoordinator& coordinator) override;

protected:
    MainController();
    friend class kit::ViewController;

private:
    std::shared_ptr<kit::ImageView> m_bgImageView;
    std::shared_ptr<kit::ImageView> m_shadowView;
    std::shared_ptr<SocModView> m_socModView;
};

// SPDX-License-Identifier: MIT
#pragma once

#include "app/shell/ShareLinks.h"
#include "kit/base/NotificationCenter.h"
#include "kit/ui/View.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kit {
class Button;
class ImageView;
class Label;
} // namespace kit

// The share and rate prompt: a dimmed layer over the whole tab bar controller with a plate in
// the middle holding an appeal, four picture buttons (Facebook, Twitter, mail, rating) and a
// close button. It stays invisible and lets every touch through until an activation finds the
// user has used the application for a while; then it shows at every activation until the user
// closes it. Only closing ends it for good. While shown it is modal: it takes the touches and the
// keyboard (Escape closes, Tab walks the buttons, Return or Space presses the focused one).
class SocModView : public kit::View {
public:
    static constexpr std::string_view kAppealKey = "AppealToShare";
    static constexpr std::string_view kPromoTextKey = "PromoTextToShare";
    static constexpr std::string_view kAppleIDInfoKey = "AppleID";
    static constexpr double kFadeDuration = 0.4;
    // The activation at which the prompt first shows, once "ShareDate" has passed.
    static constexpr std::int64_t kMinimumLaunchCount = 6;
    // Landing-page requests are fire-and-forget: bounded in time and in what they take in.
    static constexpr double kLandingPageTimeout = 15;
    static constexpr std::size_t kLandingPageBodyLimit = 64 * 1024;
    // Opened in the desktop's software centre when the application's component has no handler
    // of its own name (a bundle without an identifier).
    static constexpr std::string_view kDefaultComponentID = "com.velmora.quarrin";

    ~SocModView() override;

    // Decides, at an activation already counted in "LC", whether to show the prompt.
    void doAwakeningTasks();

    // The buttons' actions. The four share and rate actions leave the prompt shown and change
    // no preference; closing hides it and stores "DND" at once.
    void smFbAction();
    void smTweetAction();
    void smMailAction();
    void smRateAction();
    void smCloseAction();

    // The application's page in the store's web site, in the user's country where one is known.
    static std::string localizedAppUrlString();

    // Whether the prompt is shown (or fading in).
    bool isShown() const { return alpha() > 0; }

    kit::ImageView* plateView() const { return m_plateView.get(); }
    kit::Label* appealLabel() const { return m_appealLabel.get(); }
    // Facebook, Twitter, mail, rating, close: the keyboard's order.
    const std::vector<std::shared_ptr<kit::Button>>& buttons() const { return m_buttons; }
    kit::Button* closeButton() const { return m_buttons.empty() ? nullptr : m_buttons.back().get(); }

    // The web hosts the addresses are built on; from the bundle's information dictionary.
    const ShareLinks::Hosts& hosts() const { return m_hosts; }
    void setHosts(ShareLinks::Hosts hosts) { m_hosts = std::move(hosts); }

    // Object
    std::string className() const override { return "SocModView"; }
    // View
    bool keyDown(const kit::KeyEvent& event) override;
    bool canBecomeFirstResponder() const override { return isShown(); }
    // The prompt takes the keyboard when it shows; Tab stops at its buttons, not at it.
    bool canBecomeFocused() const override { return false; }
    void layoutSubviews() override;

protected:
    explicit SocModView(const kit::Rect& frame);
    void didCreate() override;
    friend class kit::View;

private:
    void buildPlate();
    void centrePlate();
    void buildAppealLabel();
    void buildShareButtons();
    void buildCloseButton();
    std::shared_ptr<kit::Button> makePictureButton(std::string_view imageName, void (SocModView::*action)());

    // The store address on the view's own store host.
    std::string appAddress() const;
    void sendLandingPageRequest(std::string_view page);
    void moveFocus(bool backwards);
    bool hasFocusInside() const;

    ShareLinks::Hosts m_hosts;
    std::shared_ptr<kit::ImageView> m_plateView;
    std::shared_ptr<kit::Label> m_appealLabel;
    std::vector<std::shared_ptr<kit::Button>> m_buttons;
    std::unique_ptr<kit::NotificationCenter::Observation> m_activation;
};

// SPDX-License-Identifier: MIT
#include "app/shell/SocModView.h"

#include "app/shell/QNAppDelegate.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/Locale.h"
#include "kit/base/URLSession.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/ui/Application.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr kit::Color kLayerColor = kit::Color::white(0.34, 0.8);
constexpr kit::Color kAppealColor = kit::Color::white(0.45);
constexpr double kAppealFontSize = 16.0;
constexpr double kAppealLeft = 18.0;
constexpr double kAppealTop = 10.0;
constexpr int kAppealLines = 3;
constexpr double kButtonSize = 57.0;
constexpr double kButtonsBelowAppeal = 14.0;
constexpr double kFirstButtonIndent = 8.0;
constexpr double kButtonSpacing = 13.0;
constexpr double kButtonCornerRadius = 12.0;
constexpr double kCloseWidth = 23.0;
constexpr double kCloseHeight = 25.0;
constexpr double kCloseGap = 2.0;
constexpr double kCloseTop = -10.0;

std::string infoString(std::string_view key)
{
    const kit::Value& value = kit::Bundle::mainBundle().objectForInfoDictionaryKey(key);
    // A store identifier may be written as a number.
    if (value.isString() || value.isInteger())
        return value.stringValue();
    return {};
}

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

// The user's region, else the machine's.
std::optional<std::string> countryCode()
{
    if (auto code = kit::Locale::currentCountryCode())
        return code;
    return kit::Locale::systemCountryCode(kit::Device::root());
}

} // namespace

SocModView::SocModView(const kit::Rect& frame) { setFrame(frame); }

SocModView::~SocModView() = default;

void SocModView::didCreate()
{
    m_hosts = ShareLinks::hostsFromInfoDictionary(kit::Bundle::mainBundle().infoDictionary());
    setBackgroundColor(kLayerColor);
    setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    // Invisible, and so untouchable, until an activation shows it.
    setAlpha(0);

    buildPlate();
    buildAppealLabel();
    buildShareButtons();
    buildCloseButton();

    m_activation = kit::NotificationCenter::defaultCenter().addObserver(kit::kApplicationDidBecomeActiveNotification, nullptr,
        this, [this](const kit::Notification&) { doAwakeningTasks(); });
}

void SocModView::buildPlate()
{
    auto image = kit::Image::named("smPlate");
    kit::Size size = image ? image->size() : kit::Size {};
    m_plateView = kit::View::create<kit::ImageView>(image);
    m_plateView->setFrame({ 0, 0, size.width, size.height });
    m_plateView->setAutoresizingMask(
        kit::FlexibleLeftMargin | kit::FlexibleRightMargin | kit::FlexibleTopMargin | kit::FlexibleBottomMargin);
    centrePlate();
    // The plate holds the buttons; the close button reaches above its edge.
    m_plateView->setUserInteractionEnabled(true);
    m_plateView->setClipsToBounds(false);
    addSubview(m_plateView);
}

void SocModView::centrePlate()
{
    // On whole points, so that the artwork stays sharp whatever the layer's size.
    kit::Rect b = bounds();
    kit::Size size = m_plateView->bounds().size;
    m_plateView->setFrame(
        { std::round((b.width() - size.width) / 2), std::round((b.height() - size.height) / 2), size.width, size.height });
}

void SocModView::layoutSubviews()
{
    kit::View::layoutSubviews();
    if (m_plateView)
        centrePlate();
}

void SocModView::buildAppealLabel()
{
    auto font = SharedTools::fontWithName("HelveticaNeue", kAppealFontSize);
    double width = m_plateView->bounds().width() - 2 * kAppealLeft;
    m_appealLabel = kit::View::create<kit::Label>(localized(kAppealKey));
    m_appealLabel->setFrame({ kAppealLeft, kAppealTop, std::max(0.0, width), kAppealLines * font->lineHeight() });
    m_appealLabel->setFont(font);
    m_appealLabel->setNumberOfLines(kAppealLines);
    m_appealLabel->setTextAlignment(kit::TextAlignment::Center);
    m_appealLabel->setTextColor(kAppealColor);
    m_appealLabel->setShadowColor(kit::Color::white(1.0));
    m_appealLabel->setShadowOffset({ 0, 1 });
    m_appealLabel->setBackgroundColor(kit::Color::clear());
    m_plateView->addSubview(m_appealLabel);
}

std::shared_ptr<kit::Button> SocModView::makePictureButton(std::string_view imageName, void (SocModView::*action)())
{
    auto button = kit::Button::custom(kit::Image::named(imageName));
    std::weak_ptr<kit::View> weak = weak_from_this();
    button->addAction(kit::ControlEvent::TouchUpInside, [weak, action](kit::Control&) {
        if (auto self = weak.lock())
            (static_cast<SocModView*>(self.get())->*action)();
    });
    m_plateView->addSubview(button);
    m_buttons.push_back(button);
    return button;
}

void SocModView::buildShareButtons()
{
    struct Share {
        const char* imageName;
        void (SocModView::*action)();
    };
    static constexpr Share kShares[] = {
        { "smFacebook", &SocModView::smFbAction },
        { "smTweet", &SocModView::smTweetAction },
        { "smMail", &SocModView::smMailAction },
        { "smRate", &SocModView::smRateAction },
    };
    kit::Rect appeal = m_appealLabel->frame();
    double x = appeal.minX() + kFirstButtonIndent;
    double y = appeal.maxY() + kButtonsBelowAppeal;
    for (const Share& share : kShares) {
        auto button = makePictureButton(share.imageName, share.action);
        button->setFrame({ x, y, kButtonSize, kButtonSize });
        button->setShadowOpacity(0.8);
        button->setShadowOffset({ 0, 1.0 });
        button->setShadowRadius(1.0);
        // The artwork's rounding, which the focus ring follows.
        button->setCornerRadius(kButtonCornerRadius);
        x = button->frame().maxX() + kButtonSpacing;
    }
}

void SocModView::buildCloseButton()
{
    double rateRight = m_buttons.back()->frame().maxX();
    auto button = makePictureButton("smClose", &SocModView::smCloseAction);
    button->setFrame({ rateRight + kCloseGap, kCloseTop, kCloseWidth, kCloseHeight });
    button->setCornerRadius(kCloseWidth / 2);
}

void SocModView::doAwakeningTasks()
{
    if (QNAppDelegate::isObserving())
        return;
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    if (defaults.boolForKey(QNAppDelegate::kDoNotDisturbKey))
        return;
    if (defaults.integerForKey(QNAppDelegate::kLaunchCountKey) < kMinimumLaunchCount)
        return;
    auto shareDate = defaults.dateForKey(QNAppDelegate::kShareDateKey);
    if (!shareDate || !(*shareDate < kit::Date::now()))
        return;
    kit::View::animate(kFadeDuration, [this] { setAlpha(1.0); });
    // The keyboard comes to the prompt; a button is focused only when the user tabs to one, so
    // that no key press shares or closes by accident. A button focused before leaving keeps it.
    if (!hasFocusInside())
        becomeFirstResponder();
}

bool SocModView::hasFocusInside() const
{
    kit::Window* w = window();
    kit::View* focused = w ? w->firstResponder() : nullptr;
    return focused && focused->isDescendantOf(this);
}

void SocModView::smCloseAction()
{
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    defaults.setBool(true, QNAppDelegate::kDoNotDisturbKey);
    // The user's "no" must survive a crash or a kill before the next departure.
    defaults.synchronize();
    if (hasFocusInside())
        window()->setFirstResponder(nullptr);
    kit::View::animate(kFadeDuration, [this] { setAlpha(0); });
}

std::string SocModView::localizedAppUrlString()
{
    auto hosts = ShareLinks::hostsFromInfoDictionary(kit::Bundle::mainBundle().infoDictionary());
    return ShareLinks::appAddress(hosts.store, countryCode(), infoString(kAppleIDInfoKey));
}

std::string SocModView::appAddress() const
{
    return ShareLinks::appAddress(m_hosts.store, countryCode(), infoString(kAppleIDInfoKey));
}

void SocModView::smFbAction()
{
    // No composer on this desktop: the web sharer in the user's browser.
    kit::Application::shared().openURL(ShareLinks::sharerAddress(m_hosts.sharer, appAddress(), localized(kPromoTextKey)));
    sendLandingPageRequest("facebook");
}

void SocModView::smTweetAction()
{
    std::string text = ShareLinks::tweetText(localized(kPromoTextKey), infoString("CFBundleDisplayName"));
    kit::Application::shared().openURL(ShareLinks::intentAddress(m_hosts.intent, text, appAddress()));
    sendLandingPageRequest("twitter");
}

void SocModView::smMailAction()
{
    std::string subject = infoString("CFBundleName");
    std::string body = ShareLinks::mailBody(localized(kPromoTextKey), appAddress(), subject);
    kit::Application::shared().openURL(ShareLinks::mailAddress(subject, body));
    sendLandingPageRequest("mail");
}

void SocModView::smRateAction()
{
    // The desktop's software centre where one handles AppStream addresses, else the web store.
    std::string component = kit::Bundle::mainBundle().bundleIdentifier();
    if (component.empty())
        component = kDefaultComponentID;
    auto& application = kit::Application::shared();
    std::string centre = ShareLinks::appStreamAddress(component);
    if (!application.canOpenURL(centre) || !application.openURL(centre)) {
        bool identified = !infoString(kAppleIDInfoKey).empty();
        application.openURL(identified ? appAddress() : ShareLinks::storeStartAddress(m_hosts.store));
    }
    sendLandingPageRequest("appstore");
}

void SocModView::sendLandingPageRequest(std::string_view page)
{
    kit::URLRequest request;
    request.url = ShareLinks::landingPageAddress(m_hosts.maker, page);
    request.timeoutInterval = kLandingPageTimeout;
    // A session of its own, which lives as long as its one task; the reply and any failure are
    // of no use here.
    auto session = kit::URLSession::create();
    session->setMaximumBodyBytes(kLandingPageBodyLimit);
    session->dataTaskWithRequest(request, [](const kit::Data&, const auto&, const auto&) {})->resume();
}

bool SocModView::keyDown(const kit::KeyEvent& event)
{
    if (!isShown())
        return kit::View::keyDown(event);
    switch (event.key) {
    case kit::Key::Escape:
        smCloseAction();
        break;
    case kit::Key::Tab:
        moveFocus(event.hasShift());
        break;
    default:
        break;
    }
    // Modal: nothing beneath the prompt hears the keyboard while it is shown.
    return true;
}

void SocModView::moveFocus(bool backwards)
{
    if (m_buttons.empty())
        return;
    kit::Window* w = window();
    kit::View* focused = w ? w->firstResponder() : nullptr;
    auto at = std::find_if(m_buttons.begin(), m_buttons.end(), [&](auto& button) { return button.get() == focused; });
    int count = static_cast<int>(m_buttons.size());
    int index = at == m_buttons.end() ? -1 : static_cast<int>(at - m_buttons.begin());
    int next = 0;
    if (backwards)
        next = index <= 0 ? count - 1 : index - 1;
    else
        next = (index + 1) % count;
    m_buttons[static_cast<std::size_t>(next)]->becomeFirstResponder();
}

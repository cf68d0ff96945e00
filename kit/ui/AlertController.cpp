// SPDX-License-Identifier: MIT
#include "kit/ui/AlertController.h"

#include "kit/base/Bundle.h"
#include "kit/base/RunLoop.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <deque>

namespace kit {

namespace {

constexpr double kPadding = 16;
constexpr double kButtonHeight = 44;
constexpr double kFadeDuration = 0.2;

struct Waiting {
    std::shared_ptr<AlertController> alert;
    bool animated = true;
    std::weak_ptr<View> window;
};

std::deque<Waiting>& queue()
{
    static std::deque<Waiting> waiting;
    return waiting;
}

bool alertIsUp(Window* window)
{
    if (!window)
        return false;
    for (auto& presented : window->presentedControllers())
        if (dynamic_cast<AlertController*>(presented.get()))
            return true;
    return false;
}

// Alerts fade in over the screen rather than sliding up; other controllers shown over the
// full screen keep the standard presentation.
void installPresentation()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    ViewController::PresentationHandler handler;
    handler.present = [](ViewController& presenting, ViewController& presented, bool animated) {
        if (!dynamic_cast<AlertController*>(&presented))
            return false;
        Window* window = presenting.window();
        if (!window)
            return false;
        auto view = presented.viewPtr();
        view->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        View::performWithoutAnimation([&] {
            view->setFrame(window->bounds());
            view->setAlpha(animated ? 0 : 1);
        });
        window->addSubview(view);
        if (animated)
            View::animate(kFadeDuration, [&] { view->setAlpha(1); });
        return true;
    };
    handler.dismiss = [](ViewController&, ViewController& presented, bool animated) {
        if (!presented.isViewLoaded())
            return;
        auto view = presented.viewPtr();
        if (!animated) {
            view->removeFromSuperview();
            return;
        }
        View::animate(
            kFadeDuration, [&] { view->setAlpha(0); },
            [view](bool) {
                view->removeFromSuperview();
                View::performWithoutAnimation([&] { view->setAlpha(1); });
            });
    };
    ViewController::setPresentationHandler(ModalPresentationStyle::OverFullScreen, std::move(handler));
}

void presentNextWaiting()
{
    if (queue().empty())
        return;
    auto window = std::static_pointer_cast<Window>(queue().front().window.lock());
    Window* target = window ? window.get() : Window::keyWindow();
    // One was shown in the meantime; this one waits for it.
    if (alertIsUp(target))
        return;
    ViewController* top = AlertController::topmostController(target);
    // Nothing to show it over yet: it waits for the next alert to be shown.
    if (!top)
        return;
    Waiting next = std::move(queue().front());
    queue().pop_front();
    top->presentViewController(std::move(next.alert), next.animated);
}

} // namespace

std::shared_ptr<AlertController> AlertController::create(std::string title, std::string message, AlertControllerStyle style)
{
    return ViewController::create<AlertController>(std::move(title), std::move(message), style);
}

AlertController::AlertController(std::string title, std::string message, AlertControllerStyle style)
    : m_message(std::move(message))
    , m_style(style)
{
    setTitle(std::move(title));
    setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
    installPresentation();
}

void AlertController::addAction(std::shared_ptr<AlertAction> action)
{
    if (!action)
        return;
    m_actions.push_back(std::move(action));
    if (isViewLoaded()) {
        setView(nullptr);
        m_buttons.clear();
    }
}

Button* AlertController::buttonForAction(std::size_t index) const
{
    return index < m_buttons.size() ? m_buttons[index].get() : nullptr;
}

ViewController* AlertController::topmostController(Window* window)
{
    if (!window)
        window = Window::keyWindow();
    if (!window)
        return nullptr;
    ViewController* top = window->rootViewController();
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    return top;
}

void AlertController::show(std::shared_ptr<AlertController> alert, bool animated, Window* window)
{
    if (!alert)
        return;
    if (!window)
        window = Window::keyWindow();
    std::weak_ptr<View> weakWindow = window ? std::weak_ptr<View>(window->weak_from_this()) : std::weak_ptr<View>();
    // Alerts come up in the order they were shown: those still waiting go first.
    queue().push_back({ std::move(alert), animated, weakWindow });
    presentNextWaiting();
}

std::size_t AlertController::queuedAlertCount() { return queue().size(); }

void AlertController::loadView()
{
    ViewController::loadView();
    View* root = view();
    root->setBackgroundColor(Color::black().withAlpha(0.4));
    if (m_actions.empty()) {
        std::string ok = Bundle::mainBundle().localizedString("OK");
        m_actions.push_back(AlertAction::create(ok.empty() ? "OK" : ok, AlertActionStyle::Default));
    }

    m_box = View::create<View>();
    m_box->setBackgroundColor(Color::rgba(0.97, 0.97, 0.97, 0.98));
    m_box->setCornerRadius(13);
    m_box->setClipsToBounds(true);
    m_box->setAutoresizingMask(FlexibleLeftMargin | FlexibleRightMargin | FlexibleTopMargin | FlexibleBottomMargin);
    root->addSubview(m_box);

    m_titleLabel = View::create<Label>(title());
    m_titleLabel->setFont(Font::boldSystemFont(17));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    m_titleLabel->setNumberOfLines(0);
    m_box->addSubview(m_titleLabel);
    m_messageLabel = View::create<Label>(m_message);
    m_messageLabel->setFont(Font::systemFont(13));
    m_messageLabel->setTextAlignment(TextAlignment::Center);
    m_messageLabel->setNumberOfLines(0);
    m_box->addSubview(m_messageLabel);

    m_buttons.clear();
    std::weak_ptr<ViewController> weak = weak_from_this();
    for (std::size_t i = 0; i < m_actions.size(); ++i) {
        auto button = Button::system(m_actions[i]->title());
        button->setFont(m_actions[i]->style() == AlertActionStyle::Cancel ? Font::boldSystemFont(17) : Font::systemFont(17));
        if (m_actions[i]->style() == AlertActionStyle::Destructive)
            button->setTitleColor(Color::systemRed());
        button->setTag(static_cast<int>(i) + 1);
        button->addAction(ControlEvent::TouchUpInside, [weak, i](Control&) {
            if (auto self = std::static_pointer_cast<AlertController>(weak.lock()))
                self->actionTapped(i);
        });
        m_box->addSubview(button);
        m_buttons.push_back(button);
    }
    layoutBox();
}

void AlertController::layoutBox()
{
    Rect b = view()->bounds();
    double inner = kBoxWidth - 2 * kPadding;
    double y = kPadding + 4;
    for (Label* label : { m_titleLabel.get(), m_messageLabel.get() }) {
        if (label->text().empty()) {
            label->setFrame({ kPadding, y, inner, 0 });
            continue;
        }
        Size s = label->sizeThatFits({ inner, 10000 });
        label->setFrame({ kPadding, y, inner, s.height });
        y += s.height + 4;
    }
    y += kPadding - 4;
    bool sideBySide = m_buttons.size() == 2;
    double buttonsHeight = sideBySide ? kButtonHeight : kButtonHeight * m_buttons.size();
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        Rect frame = sideBySide ? Rect { kBoxWidth / 2 * i, y, kBoxWidth / 2, kButtonHeight }
                                : Rect { 0, y + kButtonHeight * i, kBoxWidth, kButtonHeight };
        m_buttons[i]->setFrame(frame);
        m_buttons[i]->setBorderWidth(0.5);
        m_buttons[i]->setBorderColor(Color::white(0.8));
    }
    double height = y + buttonsHeight;
    m_box->setFrame({ (b.width() - kBoxWidth) / 2, (b.height() - height) / 2, kBoxWidth, height });
}

void AlertController::actionTapped(std::size_t index)
{
    if (m_dismissing || index >= m_actions.size() || !presentingViewController())
        return;
    m_dismissing = true;
    auto action = m_actions[index];
    auto self = shared_from_this();
    dismissViewController(true, [self, action] {
        if (action->handler())
            action->handler()(*action);
    });
}

bool AlertController::pressKey(Key key)
{
    if (key != Key::Escape)
        return false;
    for (std::size_t i = 0; i < m_actions.size(); ++i) {
        if (m_actions[i]->style() == AlertActionStyle::Cancel) {
            actionTapped(i);
            return true;
        }
    }
    return false;
}

void AlertController::viewDidDisappear(bool)
{
    m_dismissing = false;
    // The next waiting alert comes up once the dismissal that took this one away is over: when
    // the controller beneath goes too (a sheet dismissed with its alert), the next one must
    // not be put on it.
    if (!queue().empty())
        RunLoop::main().performAfterDelay(&queue(), 0, presentNextWaiting);
}

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/ui/PopoverPresentationController.h"

#include "kit/ui/GraphicsContext.h"
#include "kit/ui/View.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

#include <algorithm>
#include <map>

namespace kit {

namespace {

constexpr double kFadeDuration = 0.2;

struct Entry {
    std::weak_ptr<ViewController> owner;
    std::unique_ptr<PopoverPresentationController> popover;
};

std::map<const ViewController*, Entry>& registry()
{
    static std::map<const ViewController*, Entry> map;
    return map;
}

void purgeExpired()
{
    auto& map = registry();
    for (auto it = map.begin(); it != map.end();) {
        if (it->second.owner.expired() && !it->second.popover->isPresented())
            it = map.erase(it);
        else
            ++it;
    }
}

// Shades the window while a popover is up: a tap on it (outside the bubble) dismisses the
// popover, and a change of its size (the screen turned) repositions it.
class PopoverDimmingView : public View {
public:
    PopoverPresentationController* popover = nullptr;

    std::string className() const override { return "UIDimmingView"; }
    void touchesBegan(const Touch&) override { }
    void touchesMoved(const Touch&) override { }
    void touchesCancelled(const Touch&) override { }
    void touchesEnded(const Touch& touch) override
    {
        if (popover && hitTest(touch.locationInView(this)) == this)
            popover->tappedOutside();
    }

protected:
    void boundsSizeDidChange(Size) override
    {
        if (popover)
            popover->screenDidResize();
    }
};

// The bubble: a rounded rectangle with the arrow on one side.
class PopoverBubbleView : public View {
public:
    PopoverArrowDirection direction = PopoverArrowDirectionUnknown;
    double arrowOffset = 0; // along the arrow's side, from the bubble's origin

    std::string className() const override { return "UIPopoverView"; }
    void draw(GraphicsContext& g, const Rect&) override
    {
        using P = PopoverPresentationController;
        Rect body = bodyRect();
        // In the content's own colour, so the arrow and the content read as one piece.
        Color fill = Color::rgba(0.97, 0.97, 0.97, 1);
        if (!subviews().empty() && subviews().front()->backgroundColor().alpha >= 1)
            fill = subviews().front()->backgroundColor();
        g.setFillColor(fill);
        g.fillRoundedRect(body, P::kCornerRadius);
        double half = P::kArrowBase / 2;
        double a = arrowOffset;
        switch (direction) {
        case PopoverArrowDirectionUp:
            g.fillPolygon({ { a - half, body.minY() }, { a, 0 }, { a + half, body.minY() } });
            break;
        case PopoverArrowDirectionDown:
            g.fillPolygon({ { a - half, body.maxY() }, { a, bounds().height() }, { a + half, body.maxY() } });
            break;
        case PopoverArrowDirectionLeft:
            g.fillPolygon({ { body.minX(), a - half }, { 0, a }, { body.minX(), a + half } });
            break;
        case PopoverArrowDirectionRight:
            g.fillPolygon({ { body.maxX(), a - half }, { bounds().width(), a }, { body.maxX(), a + half } });
            break;
        default:
            break;
        }
    }
    void touchesBegan(const Touch&) override { }
    void touchesEnded(const Touch&) override { }

    Rect bodyRect() const
    {
        using P = PopoverPresentationController;
        Rect b = bounds();
        switch (direction) {
        case PopoverArrowDirectionUp:
            return { 0, P::kArrowHeight, b.width(), b.height() - P::kArrowHeight };
        case PopoverArrowDirectionDown:
            return { 0, 0, b.width(), b.height() - P::kArrowHeight };
        case PopoverArrowDirectionLeft:
            return { P::kArrowHeight, 0, b.width() - P::kArrowHeight, b.height() };
        case PopoverArrowDirectionRight:
            return { 0, 0, b.width() - P::kArrowHeight, b.height() };
        default:
            return b;
        }
    }
};

void installPresentation()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    ViewController::PresentationHandler handler;
    handler.present = [](ViewController& presenting, ViewController& presented, bool animated) {
        Window* window = presenting.window();
        if (!window)
            return false;
        auto* popover = PopoverPresentationController::forController(presented);
        auto dimming = View::create<PopoverDimmingView>();
        dimming->popover = popover;
        dimming->setFrame(window->bounds());
        // A light shade over the screen sets the bubble apart from a page of the same colour.
        dimming->setBackgroundColor(Color::black().withAlpha(PopoverPresentationController::kDimmingAlpha));
        dimming->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
        auto bubble = View::create<PopoverBubbleView>();
        dimming->addSubview(bubble);
        auto content = presented.viewPtr();
        content->setAutoresizingMask(AutoresizingNone);
        content->setCornerRadius(PopoverPresentationController::kCornerRadius / 2);
        content->setClipsToBounds(true);
        bubble->addSubview(content);
        popover->attach(dimming, bubble);
        popover->layout();
        View::performWithoutAnimation([&] { dimming->setAlpha(animated ? 0 : 1); });
        window->addSubview(dimming);
        if (animated)
            View::animate(kFadeDuration, [&] { dimming->setAlpha(1); });
        return true;
    };
    handler.dismiss = [](ViewController&, ViewController& presented, bool animated) {
        auto* popover = PopoverPresentationController::forController(presented);
        View* dimmingRaw = popover->dimmingView();
        if (!dimmingRaw) {
            popover->detach();
            return;
        }
        auto dimming = dimmingRaw->shared_from_this();
        auto content = presented.isViewLoaded() ? presented.viewPtr() : nullptr;
        popover->detach();
        auto finish = [dimming, content](bool) {
            if (content && content->superview() && content->superview()->superview() == dimming.get())
                content->removeFromSuperview();
            dimming->removeFromSuperview();
        };
        if (!animated) {
            finish(true);
            return;
        }
        View::animate(
            kFadeDuration, [&] { dimming->setAlpha(0); }, finish);
    };
    ViewController::setPresentationHandler(ModalPresentationStyle::Popover, std::move(handler));
}

} // namespace

PopoverPresentationController* PopoverPresentationController::forController(ViewController& controller)
{
    installPresentation();
    purgeExpired();
    auto& map = registry();
    auto it = map.find(&controller);
    if (it != map.end()) {
        // A new controller at the address of a gone one starts afresh.
        if (!it->second.owner.expired() || it->second.popover->isPresented())
            return it->second.popover.get();
        map.erase(it);
    }
    Entry entry;
    entry.owner = controller.weak_from_this();
    entry.popover = std::make_unique<PopoverPresentationController>(controller);
    auto* popover = entry.popover.get();
    map.emplace(&controller, std::move(entry));
    return popover;
}

PopoverPresentationController::PopoverPresentationController(ViewController& presented)
    : m_presented(&presented)
{
}

PopoverPresentationController::~PopoverPresentationController()
{
    m_delegate = nullptr;
    if (m_dimming)
        static_cast<PopoverDimmingView&>(*m_dimming).popover = nullptr;
}

View* PopoverPresentationController::sourceView() const { return m_sourceView.lock().get(); }

void PopoverPresentationController::setSourceView(View* view)
{
    m_sourceView = view ? view->weak_from_this() : std::weak_ptr<View>();
}

bool PopoverPresentationController::isPresented() const { return m_dimming != nullptr; }

Rect PopoverPresentationController::popoverFrame() const
{
    if (!m_bubble)
        return {};
    return m_bubble->convertRectTo(m_bubble->bounds(), nullptr);
}

Rect PopoverPresentationController::presentedViewFrame() const
{
    if (!m_bubble || !m_presented || !m_presented->isViewLoaded())
        return {};
    View* content = m_presented->view();
    return content->convertRectTo(content->bounds(), nullptr);
}

void PopoverPresentationController::attach(std::shared_ptr<View> dimmingView, std::shared_ptr<View> bubble)
{
    m_dimming = std::move(dimmingView);
    m_bubble = std::move(bubble);
    m_dismissing = false;
}

void PopoverPresentationController::detach()
{
    if (m_dimming)
        static_cast<PopoverDimmingView&>(*m_dimming).popover = nullptr;
    m_dimming.reset();
    m_bubble.reset();
}

void PopoverPresentationController::layout()
{
    if (!m_dimming || !m_bubble)
        return;
    Rect screen = m_dimming->bounds().insetBy(kScreenMargin, kScreenMargin);
    // The anchor in the dimming view's (the window's) coordinates; without a source view the
    // popover points at the middle of the screen.
    Rect anchor { screen.midX(), screen.midY(), 0, 0 };
    if (View* source = sourceView())
        anchor = m_dimming->convertRectFrom(source->convertRectTo(m_sourceRect, nullptr), nullptr);
    anchor = anchor.standardized();

    Size content = m_presented ? m_presented->preferredContentSize() : Size {};
    if (!(content.width > 0) || !(content.height > 0))
        content = kDefaultContentSize;

    struct Option {
        PopoverArrowDirection direction;
        double room; // along the axis that the arrow crosses
    };
    Option options[] = {
        { PopoverArrowDirectionUp, screen.maxY() - anchor.maxY() - kArrowHeight },
        { PopoverArrowDirectionDown, anchor.minY() - screen.minY() - kArrowHeight },
        { PopoverArrowDirectionLeft, screen.maxX() - anchor.maxX() - kArrowHeight },
        { PopoverArrowDirectionRight, anchor.minX() - screen.minX() - kArrowHeight },
    };
    const Option* chosen = nullptr;
    const Option* roomiest = nullptr;
    for (const Option& option : options) {
        if (!(m_permitted & option.direction))
            continue;
        bool vertical = option.direction == PopoverArrowDirectionUp || option.direction == PopoverArrowDirectionDown;
        double needed = vertical ? content.height : content.width;
        if (!chosen && option.room >= needed)
            chosen = &option;
        double share = needed > 0 ? option.room / needed : 0;
        double best = roomiest
            ? roomiest->room / (roomiest->direction <= PopoverArrowDirectionDown ? content.height : content.width)
            : -1;
        if (!roomiest || share > best)
            roomiest = &option;
    }
    if (!chosen)
        chosen = roomiest;
    if (!chosen)
        return;
    m_arrowDirection = chosen->direction;
    bool vertical = m_arrowDirection == PopoverArrowDirectionUp || m_arrowDirection == PopoverArrowDirectionDown;
    double w = std::min(content.width, screen.width() - (vertical ? 0 : kArrowHeight));
    double h = std::min(content.height, screen.height() - (vertical ? kArrowHeight : 0));
    if (vertical)
        h = std::max(0.0, std::min(h, chosen->room));
    else
        w = std::max(0.0, std::min(w, chosen->room));

    Rect bubble;
    double arrowAt = 0;
    if (vertical) {
        double x = std::clamp(anchor.midX() - w / 2, screen.minX(), std::max(screen.minX(), screen.maxX() - w));
        double y = m_arrowDirection == PopoverArrowDirectionUp ? anchor.maxY() : anchor.minY() - h - kArrowHeight;
        bubble = { x, y, w, h + kArrowHeight };
        arrowAt = std::clamp(anchor.midX() - x, kCornerRadius + kArrowBase / 2,
            std::max(kCornerRadius + kArrowBase / 2, w - kCornerRadius - kArrowBase / 2));
    } else {
        double y = std::clamp(anchor.midY() - h / 2, screen.minY(), std::max(screen.minY(), screen.maxY() - h));
        double x = m_arrowDirection == PopoverArrowDirectionLeft ? anchor.maxX() : anchor.minX() - w - kArrowHeight;
        bubble = { x, y, w + kArrowHeight, h };
        arrowAt = std::clamp(anchor.midY() - y, kCornerRadius + kArrowBase / 2,
            std::max(kCornerRadius + kArrowBase / 2, h - kCornerRadius - kArrowBase / 2));
    }
    auto& view = static_cast<PopoverBubbleView&>(*m_bubble);
    view.direction = m_arrowDirection;
    view.arrowOffset = arrowAt;
    m_bubble->setFrame(bubble);
    m_bubble->setNeedsDisplay();
    if (m_presented && m_presented->isViewLoaded())
        m_presented->view()->setFrame(view.bodyRect());
}

void PopoverPresentationController::screenDidResize()
{
    if (!m_dimming)
        return;
    if (m_delegate) {
        Rect rect = m_sourceRect;
        View* source = sourceView();
        m_delegate->willRepositionPopoverToRect(*this, rect, source);
        m_sourceRect = rect;
        setSourceView(source);
    }
    layout();
}

void PopoverPresentationController::tappedOutside()
{
    if (!m_presented || m_dismissing || !m_dimming)
        return;
    if (m_delegate && !m_delegate->popoverPresentationControllerShouldDismissPopover(*this))
        return;
    ViewController* presenting = m_presented->presentingViewController();
    if (!presenting)
        return;
    m_dismissing = true;
    auto keep = m_presented->shared_from_this();
    PopoverPresentationController* self = this;
    presenting->dismissViewController(true, [self, keep] {
        self->m_dismissing = false;
        if (self->m_delegate)
            self->m_delegate->popoverPresentationControllerDidDismissPopover(*self);
    });
}

} // namespace kit

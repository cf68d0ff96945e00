// SPDX-License-Identifier: MIT
#include "kit/ui/Accessibility.h"

#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"

#include <algorithm>

namespace kit {

namespace {

AffineTransform toWindow(const View& view)
{
    AffineTransform transform;
    for (const View* v = &view; v && v->superview(); v = v->superview())
        transform = transform.concatenated(v->transformToSuperview());
    return transform;
}

AccessibilityRole roleFor(unsigned traits, bool inTabBar)
{
    if (traits & AccessibilityTraitButton)
        return inTabBar ? AccessibilityRole::Tab : AccessibilityRole::Button;
    if (traits & AccessibilityTraitHeader)
        return AccessibilityRole::Header;
    if (traits & AccessibilityTraitAdjustable)
        return AccessibilityRole::Adjustable;
    if ((traits & AccessibilityTraitImage) && !(traits & AccessibilityTraitStaticText))
        return AccessibilityRole::Image;
    return AccessibilityRole::StaticText;
}

struct Walk {
    std::vector<AccessibilityElement> elements;
    const View* focus = nullptr;
    // Where the walk's views are, for the pieces that only look for labels.
    bool labelsOnly = false;
};

struct Group {
    std::uint64_t identity = 0;
    std::string label;
};

void add(Walk& walk, AccessibilityIdentity identity, std::string label, std::string value, unsigned traits, const Rect& frame,
    const Group& container, bool focused)
{
    AccessibilityElement element;
    element.identity = identity;
    element.role = roleFor(traits, container.identity != 0);
    element.label = std::move(label);
    element.value = std::move(value);
    element.traits = traits;
    element.frame = frame;
    element.selected = traits & AccessibilityTraitSelected;
    element.enabled = !(traits & AccessibilityTraitNotEnabled);
    element.focused = focused;
    element.container = container.identity;
    element.containerLabel = container.label;
    walk.elements.push_back(std::move(element));
}

void visit(const View& view, const AffineTransform& transform, Rect clip, const Group& container, Walk& walk)
{
    if (view.isHidden() || view.alpha() < 0.01)
        return;
    Rect frame = transform.apply(view.bounds());
    if (view.isAccessibilityElement()) {
        Rect visible = frame.intersection(clip);
        if (visible.isEmpty())
            return;
        if (walk.labelsOnly) {
            add(walk, {}, view.accessibilityLabel(), {}, 0, visible, {}, false);
            return;
        }
        add(walk, { view.accessibilityIdentity(), -1 }, view.accessibilityLabel(), view.accessibilityValue(),
            view.accessibilityTraits(), visible, container, &view == walk.focus);
        return;
    }
    unsigned traits = view.accessibilityTraits();
    Group inner
        = (traits & AccessibilityTraitTabBar) ? Group { view.accessibilityIdentity(), view.accessibilityLabel() } : container;
    auto parts = view.accessibilityParts();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Rect visible = transform.apply(parts[i].frame).intersection(clip);
        if (visible.isEmpty())
            continue;
        bool focused = &view == walk.focus && (parts[i].traits & AccessibilityTraitSelected);
        add(walk, { view.accessibilityIdentity(), int(i) }, std::move(parts[i].label), std::move(parts[i].value), parts[i].traits,
            visible, inner, focused);
    }
    if (view.clipsToBounds())
        clip = clip.intersection(frame);
    if (clip.isEmpty())
        return;
    for (const auto& subview : view.subviews())
        visit(*subview, subview->transformToSuperview().concatenated(transform), clip, inner, walk);
}

// Top to bottom; elements whose vertical middle falls within the first one of a line join that
// line, which then reads left to right. Of two starting at the same place the smaller comes
// first, so that a button spread over a whole screen is read after what it covers.
void sortInReadingOrder(std::vector<AccessibilityElement>& elements)
{
    std::stable_sort(elements.begin(), elements.end(), [](const auto& a, const auto& b) {
        if (a.frame.minY() != b.frame.minY())
            return a.frame.minY() < b.frame.minY();
        return a.frame.minX() < b.frame.minX();
    });
    auto area = [](const Rect& r) { return r.width() * r.height(); };
    auto lineStart = elements.begin();
    while (lineStart != elements.end()) {
        const Rect first = lineStart->frame;
        auto lineEnd = std::next(lineStart);
        while (lineEnd != elements.end() && lineEnd->frame.midY() >= first.minY() && lineEnd->frame.midY() < first.maxY())
            ++lineEnd;
        std::stable_sort(lineStart, lineEnd, [&](const auto& a, const auto& b) {
            if (a.frame.minX() != b.frame.minX())
                return a.frame.minX() < b.frame.minX();
            return area(a.frame) < area(b.frame);
        });
        lineStart = lineEnd;
    }
}

View* findView(View& root, std::uint64_t identity)
{
    if (root.accessibilityIdentity() == identity)
        return &root;
    for (const auto& subview : root.subviews()) {
        if (View* found = findView(*subview, identity))
            return found;
    }
    return nullptr;
}

} // namespace

std::vector<AccessibilityElement> accessibilityElements(const Window& window)
{
    Walk walk;
    walk.focus = window.firstResponder();
    const View* root = &window;
    // The controller presented on top holds the reader, as long as its view is in the window.
    const auto& presented = window.presentedControllers();
    for (auto it = presented.rbegin(); it != presented.rend(); ++it) {
        if ((*it)->isViewLoaded() && (*it)->view()->window() == &window) {
            root = (*it)->view();
            break;
        }
    }
    visit(*root, toWindow(*root), window.bounds(), {}, walk);
    sortInReadingOrder(walk.elements);
    return std::move(walk.elements);
}

std::string combinedAccessibilityLabel(const View& container)
{
    Walk walk;
    walk.labelsOnly = true;
    AffineTransform transform = toWindow(container);
    Rect clip = transform.apply(container.bounds());
    for (const auto& subview : container.subviews())
        visit(*subview, subview->transformToSuperview().concatenated(transform), clip, {}, walk);
    sortInReadingOrder(walk.elements);
    std::string text;
    for (const auto& element : walk.elements) {
        if (element.label.empty())
            continue;
        if (!text.empty())
            text += ", ";
        text += element.label;
    }
    return text;
}

bool activateAccessibilityElement(Window& window, const AccessibilityIdentity& identity)
{
    auto elements = accessibilityElements(window);
    auto element = std::find_if(elements.begin(), elements.end(), [&](const auto& e) { return e.identity == identity; });
    if (element == elements.end())
        return false;
    View* view = findView(window, identity.view);
    if (!view)
        return false;
    if (view->accessibilityActivate(identity.part))
        return true;
    Point center = element->frame.center();
    window.sendTouch(Touch::Phase::Began, center);
    window.sendTouch(Touch::Phase::Ended, center);
    return true;
}

const char* accessibilityRoleName(AccessibilityRole role)
{
    switch (role) {
    case AccessibilityRole::StaticText:
        return "text";
    case AccessibilityRole::Button:
        return "button";
    case AccessibilityRole::Tab:
        return "tab";
    case AccessibilityRole::Image:
        return "image";
    case AccessibilityRole::Header:
        return "header";
    case AccessibilityRole::Adjustable:
        return "adjustable";
    }
    return "text";
}

} // namespace kit

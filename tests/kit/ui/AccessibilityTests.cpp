// SPDX-License-Identifier: MIT
#include "kit/ui/Accessibility.h"

#include "kit/ui/Button.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/SegmentedControl.h"
#include "kit/ui/TabBar.h"
#include "kit/ui/TableViewCell.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"
#include "tests/kit/ui/UITestSupport.h"

#include <gtest/gtest.h>

using namespace kit;

namespace {

std::shared_ptr<Window> makeWindow(Size size = { 320, 480 })
{
    auto window = View::create<Window>();
    window->setFrame({ 0, 0, size.width, size.height });
    return window;
}

std::shared_ptr<Label> label(View& parent, const std::string& text, Rect frame)
{
    auto made = View::create<Label>();
    made->setText(text);
    made->setFrame(frame);
    parent.addSubview(made);
    return made;
}

std::vector<std::string> labels(const std::vector<AccessibilityElement>& elements)
{
    std::vector<std::string> out;
    for (auto& element : elements)
        out.push_back(element.label);
    return out;
}

const AccessibilityElement* find(const std::vector<AccessibilityElement>& elements, const std::string& text)
{
    for (auto& element : elements) {
        if (element.label == text)
            return &element;
    }
    return nullptr;
}

} // namespace

TEST(AccessibilityDefaults, EachClassSaysWhatItIsAndContainersStaySilent)
{
    auto window = makeWindow();
    auto panel = View::create();
    panel->setFrame({ 0, 0, 320, 100 });
    window->addSubview(panel);
    label(*panel, "Memory", { 10, 10, 100, 20 });
    label(*panel, "", { 10, 40, 100, 20 }); // nothing to say
    auto titled = Button::system("Show This Device");
    titled->setFrame({ 10, 70, 150, 20 });
    panel->addSubview(titled);
    auto drawn = Button::custom(Image::fromSVGData(R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"/>)"));
    drawn->setFrame({ 200, 70, 20, 20 });
    panel->addSubview(drawn);
    auto decoration = View::create<ImageView>();
    decoration->setFrame({ 0, 120, 320, 40 });
    window->addSubview(decoration);

    auto elements = accessibilityElements(*window);
    ASSERT_EQ(labels(elements), (std::vector<std::string> { "Memory", "Show This Device", "" }));
    EXPECT_EQ(elements[0].role, AccessibilityRole::StaticText);
    EXPECT_EQ(elements[1].role, AccessibilityRole::Button);
    EXPECT_EQ(elements[2].role, AccessibilityRole::Button);
    EXPECT_FALSE(panel->isAccessibilityElement());

    // An image view speaks once it is given a label; a set label wins over a button's title.
    decoration->setAccessibilityLabel("Used 173.3 GB of 252.0 GB");
    titled->setAccessibilityLabel("Show this computer");
    elements = accessibilityElements(*window);
    ASSERT_NE(find(elements, "Used 173.3 GB of 252.0 GB"), nullptr);
    EXPECT_EQ(find(elements, "Used 173.3 GB of 252.0 GB")->role, AccessibilityRole::Image);
    EXPECT_NE(find(elements, "Show this computer"), nullptr);
    // Resetting brings the default back.
    titled->setAccessibilityLabel(std::nullopt);
    EXPECT_EQ(titled->accessibilityLabel(), "Show This Device");

    // A container made an element speaks for its subviews, which are no longer listed.
    panel->setIsAccessibilityElement(true);
    panel->setAccessibilityLabel("Memory panel");
    elements = accessibilityElements(*window);
    EXPECT_EQ(labels(elements), (std::vector<std::string> { "Memory panel", "Used 173.3 GB of 252.0 GB" }));
}

TEST(AccessibilityDefaults, DisabledAndSelectedControlsSaySo)
{
    auto window = makeWindow();
    auto button = Button::system("Edit");
    button->setFrame({ 0, 0, 80, 30 });
    window->addSubview(button);
    int taps = 0;
    button->addAction(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
    button->setEnabled(false);
    auto elements = accessibilityElements(*window);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_FALSE(elements[0].enabled);
    // Activating a disabled button does nothing, as a tap would.
    EXPECT_TRUE(activateAccessibilityElement(*window, elements[0].identity));
    EXPECT_EQ(taps, 0);
    button->setEnabled(true);
    button->setSelected(true);
    elements = accessibilityElements(*window);
    EXPECT_TRUE(elements[0].enabled);
    EXPECT_TRUE(elements[0].selected);
    EXPECT_TRUE(activateAccessibilityElement(*window, elements[0].identity));
    EXPECT_EQ(taps, 1);
}

TEST(AccessibilityWalk, ReadsTopToBottomThenLeftToRightAndSkipsWhatIsNotSeen)
{
    auto window = makeWindow();
    // Added in an order unlike the reading order; the right-hand label sits 2 points lower.
    label(*window, "sent", { 200, 52, 80, 20 });
    label(*window, "received", { 10, 50, 80, 20 });
    label(*window, "eth0", { 10, 10, 80, 20 });
    label(*window, "hidden", { 10, 100, 80, 20 })->setHidden(true);
    label(*window, "transparent", { 10, 130, 80, 20 })->setAlpha(0);
    label(*window, "below the window", { 10, 500, 80, 20 });
    auto clip = View::create();
    clip->setFrame({ 0, 200, 320, 40 });
    clip->setClipsToBounds(true);
    window->addSubview(clip);
    label(*clip, "half shown", { 10, 30, 80, 20 });
    label(*clip, "scrolled away", { 10, 60, 80, 20 });

    auto elements = accessibilityElements(*window);
    EXPECT_EQ(labels(elements), (std::vector<std::string> { "eth0", "received", "sent", "half shown" }));
    // Frames are in window coordinates, cut to the visible part.
    const auto* half = find(elements, "half shown");
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->frame, (Rect { 10, 230, 80, 10 }));
    // Each element keeps its identity from one walk to the next.
    EXPECT_EQ(accessibilityElements(*window), elements);
}

TEST(AccessibilityWalk, AButtonOverAWholePanelIsReadAfterWhatItCovers)
{
    auto window = makeWindow({ 320, 110 });
    label(*window, "Disk: used 1 GB", { 0, 0, 320, 50 });
    auto open = Button::custom();
    open->setFrame({ 0, 0, 320, 110 });
    open->setAccessibilityLabel("Open Quarrin");
    window->addSubview(open);
    label(*window, "Memory: free 2 GB", { 0, 50, 320, 60 });
    EXPECT_EQ(labels(accessibilityElements(*window)),
        (std::vector<std::string> { "Disk: used 1 GB", "Memory: free 2 GB", "Open Quarrin" }));
}

TEST(AccessibilityWalk, ACellIsOneElementReadingItsLabelsInOrder)
{
    auto window = makeWindow();
    auto cell = TableViewCell::create(TableViewCellStyle::Default, "row");
    cell->setFrame({ 0, 100, 320, 36 });
    window->addSubview(cell);
    cell->layoutIfNeeded();
    // Added right to left: the cell still reads left to right.
    label(*cell->contentView(), "10.0.0.2", { 150, 0, 150, 36 });
    label(*cell->contentView(), "IP address", { 8, 0, 134, 36 });
    auto elements = accessibilityElements(*window);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].label, "IP address, 10.0.0.2");
    EXPECT_EQ(elements[0].role, AccessibilityRole::StaticText);
    EXPECT_EQ(elements[0].identity.view, cell->accessibilityIdentity());

    cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
    EXPECT_EQ(accessibilityElements(*window)[0].role, AccessibilityRole::Button);
}

TEST(AccessibilityParts, TabsAreSelectableAndActOnActivation)
{
    auto window = makeWindow();
    auto bar = View::create<TabBar>();
    bar->setFrame({ 0, 431, 320, TabBar::kHeight });
    bar->setItems(
        { { "Usage", nullptr, nullptr, 0 }, { "Battery", nullptr, nullptr, 1 }, { "Tech Specs", nullptr, nullptr, 2 } });
    bar->setSelectedIndex(0);
    std::vector<int> chosen;
    bar->onSelect = [&](int index) {
        chosen.push_back(index);
        bar->setSelectedIndex(index);
    };
    window->addSubview(bar);

    auto elements = accessibilityElements(*window);
    ASSERT_EQ(labels(elements), (std::vector<std::string> { "Usage", "Battery", "Tech Specs" }));
    for (auto& element : elements) {
        EXPECT_EQ(element.role, AccessibilityRole::Tab);
        EXPECT_EQ(element.container, bar->accessibilityIdentity());
        EXPECT_TRUE(bar->itemFrame(element.identity.part).contains(element.frame.center() - Point { 0, 431 }));
    }
    EXPECT_TRUE(elements[0].selected);
    EXPECT_FALSE(elements[1].selected);

    EXPECT_TRUE(activateAccessibilityElement(*window, elements[1].identity));
    EXPECT_EQ(chosen, (std::vector<int> { 1 }));
    elements = accessibilityElements(*window);
    EXPECT_FALSE(elements[0].selected);
    EXPECT_TRUE(elements[1].selected);
    // An identity no longer on screen is refused.
    bar->setHidden(true);
    EXPECT_FALSE(activateAccessibilityElement(*window, elements[2].identity));
    EXPECT_EQ(chosen.size(), 1u);
}

TEST(AccessibilityParts, SegmentsAreButtonsWithTheSelectedOneMarked)
{
    auto window = makeWindow();
    auto control = View::create<SegmentedControl>(std::vector<std::string> { "Day", "Week" });
    control->setFrame({ 10, 10, 200, 30 });
    control->setSelectedSegmentIndex(0);
    int changes = 0;
    control->addAction(ControlEvent::ValueChanged, [&](Control&) { ++changes; });
    window->addSubview(control);

    auto elements = accessibilityElements(*window);
    ASSERT_EQ(labels(elements), (std::vector<std::string> { "Day", "Week" }));
    EXPECT_EQ(elements[0].role, AccessibilityRole::Button);
    EXPECT_EQ(elements[0].container, 0u);
    EXPECT_TRUE(elements[0].selected);
    EXPECT_TRUE(activateAccessibilityElement(*window, elements[1].identity));
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_EQ(changes, 1);
    // The selected segment again: no change, as with a tap.
    EXPECT_TRUE(activateAccessibilityElement(*window, elements[1].identity));
    EXPECT_EQ(changes, 1);
}

namespace {

// Counts taps: a view with no action of its own is activated by a tap at its centre.
struct TapCounter : View {
    int taps = 0;
    Point where;
    void touchesEnded(const Touch& touch) override
    {
        ++taps;
        where = touch.locationInView(this);
    }

protected:
    bool defaultIsAccessibilityElement() const override { return true; }
    std::string defaultAccessibilityLabel() const override { return "row"; }
};

} // namespace

TEST(AccessibilityActivation, WithoutAnActionOfItsOwnTheElementIsTappedAtItsCentre)
{
    auto window = makeWindow();
    auto row = View::create<TapCounter>();
    row->setFrame({ 0, 40, 320, 40 });
    window->addSubview(row);
    auto elements = accessibilityElements(*window);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_TRUE(activateAccessibilityElement(*window, elements[0].identity));
    EXPECT_EQ(row->taps, 1);
    EXPECT_EQ(row->where, (Point { 160, 20 }));
}

namespace {

struct FocusableLabel : Label {
    bool canBecomeFirstResponder() const override { return true; }
};

} // namespace

TEST(AccessibilityWalk, TheFirstResponderIsFocusedAndAPresentedScreenHoldsTheReader)
{
    auto window = makeWindow();
    auto root = ViewController::create<ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    label(*root->view(), "Usage", { 10, 10, 100, 20 });
    auto focusable = View::create<FocusableLabel>();
    focusable->setText("Battery");
    focusable->setFrame({ 10, 40, 100, 20 });
    root->view()->addSubview(focusable);
    ASSERT_TRUE(focusable->becomeFirstResponder());
    auto elements = accessibilityElements(*window);
    ASSERT_EQ(labels(elements), (std::vector<std::string> { "Usage", "Battery" }));
    EXPECT_FALSE(elements[0].focused);
    EXPECT_TRUE(elements[1].focused);

    auto alert = ViewController::create<ViewController>();
    root->presentViewController(alert, false);
    label(*alert->view(), "Rate Quarrin?", { 20, 200, 200, 20 });
    EXPECT_EQ(labels(accessibilityElements(*window)), (std::vector<std::string> { "Rate Quarrin?" }));
}

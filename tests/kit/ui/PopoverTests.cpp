// SPDX-License-Identifier: MIT
#include "ControllerTestSupport.h"

#include "kit/host/HostCore.h"
#include "kit/ui/Button.h"
#include "kit/ui/PopoverPresentationController.h"

using namespace kit;
using namespace kit::test;

namespace {

using Calls = std::vector<std::string>;

class RecordingPopoverDelegate : public PopoverPresentationControllerDelegate {
public:
    int shouldDismissAsked = 0;
    int dismissed = 0;
    int repositioned = 0;
    bool allowDismiss = true;
    // Where the anchor moves on a reposition; empty leaves it.
    std::optional<Rect> moveTo;
    View* moveToView = nullptr;

    bool popoverPresentationControllerShouldDismissPopover(PopoverPresentationController&) override
    {
        ++shouldDismissAsked;
        return allowDismiss;
    }
    void popoverPresentationControllerDidDismissPopover(PopoverPresentationController&) override { ++dismissed; }
    void willRepositionPopoverToRect(PopoverPresentationController&, Rect& rect, View*& view) override
    {
        ++repositioned;
        if (moveTo)
            rect = *moveTo;
        if (moveToView)
            view = moveToView;
    }
};

// On a tablet: a root screen with a button near its top left that opens a list in a popover.
class PopoverTest : public HostedControllerTest {
protected:
    void SetUp() override
    {
        HostedControllerTest::SetUp();
        root = screen("root");
        launch(root, "ipad-2");
        button = Button::system("Lists");
        button->setFrame({ 40, 60, 80, 30 });
        root->view()->addSubview(button);
        button->addAction(ControlEvent::TouchUpInside, [this](Control&) { ++buttonTaps; });
        list = screen("list", Color::rgba(0, 0, 1));
        list->setModalPresentationStyle(ModalPresentationStyle::Popover);
        list->setPreferredContentSize({ 300, 400 });
        popover = PopoverPresentationController::forController(*list);
        popover->setSourceView(button.get());
        popover->setSourceRect(button->bounds());
        popover->setDelegate(&delegate);
    }
    void TearDown() override
    {
        if (popover)
            popover->setDelegate(nullptr);
        HostedControllerTest::TearDown();
    }
    void present()
    {
        root->presentViewController(list, true);
        advance(0.3);
        takeLog();
    }

    std::shared_ptr<RecordingController> root;
    std::shared_ptr<RecordingController> list;
    std::shared_ptr<Button> button;
    PopoverPresentationController* popover = nullptr;
    RecordingPopoverDelegate delegate;
    int buttonTaps = 0;
};

} // namespace

TEST_F(PopoverTest, BubbleHangsBelowItsAnchorWithTheContentAtItsSize)
{
    takeLog();
    root->presentViewController(list, true);
    EXPECT_EQ(log, (Calls { "list.load", "list.willAppear(animated)", "list.didAppear(animated)" }))
        << "the screen beneath stays on screen and hears nothing";
    advance(0.3);
    ASSERT_TRUE(popover->isPresented());
    EXPECT_EQ(root->presentedViewController(), list.get());
    EXPECT_EQ(popover->arrowDirection(), PopoverArrowDirectionUp);

    Rect anchor = frameInWindow(*button);
    Rect bubble = popover->popoverFrame();
    Rect content = popover->presentedViewFrame();
    EXPECT_EQ(content.size, (Size { 300, 400 }));
    EXPECT_TRUE(bubble.contains(content));
    EXPECT_DOUBLE_EQ(bubble.minY(), anchor.maxY()) << "the arrow's tip touches the anchor";
    EXPECT_DOUBLE_EQ(content.minY(), anchor.maxY() + PopoverPresentationController::kArrowHeight);
    // Centred on the anchor as far as the screen's margin allows.
    EXPECT_DOUBLE_EQ(bubble.minX(), PopoverPresentationController::kScreenMargin);
    EXPECT_TRUE(near(pixelAt(content.center()), Color::rgba(0, 0, 1))) << describe(pixelAt(content.center()));
    // The arrow is drawn over the anchor's middle, between the anchor and the content, in the
    // content's colour.
    EXPECT_TRUE(near(pixelAt({ anchor.midX(), anchor.maxY() + 10 }), Color::rgba(0, 0, 1), 0.01))
        << describe(pixelAt({ anchor.midX(), anchor.maxY() + 10 }));
    // Beside the arrow and everywhere else outside the bubble the screen is shaded.
    const Color shaded = Color::white(1 - PopoverPresentationController::kDimmingAlpha);
    EXPECT_TRUE(near(pixelAt({ anchor.midX() + 30, anchor.maxY() + 3 }), shaded, 0.01))
        << describe(pixelAt({ anchor.midX() + 30, anchor.maxY() + 3 }));
    EXPECT_TRUE(near(pixelAt({ 700, 900 }), shaded, 0.01)) << describe(pixelAt({ 700, 900 }));

    // Pointing at the bottom of the screen, it opens upwards.
    root->dismissViewController(false);
    popover->setSourceRect({ 0, 800, 80, 30 });
    root->presentViewController(list, false);
    EXPECT_EQ(popover->arrowDirection(), PopoverArrowDirectionDown);
    Rect above = popover->popoverFrame();
    EXPECT_DOUBLE_EQ(above.maxY(), button->convertPointTo({ 0, 800 }, nullptr).y);
    EXPECT_EQ(popover->presentedViewFrame().size, (Size { 300, 400 }));
}

TEST_F(PopoverTest, TapOutsideDismissesOnceAndTellsTheDelegateTapInsideDoesNot)
{
    present();
    host->tap(popover->presentedViewFrame().center());
    advance(0.3);
    EXPECT_TRUE(popover->isPresented()) << "a tap inside the popover keeps it";
    EXPECT_EQ(delegate.shouldDismissAsked, 0);
    EXPECT_EQ(buttonTaps, 0);

    // A tap outside, on the very button that opened the popover, only dismisses it; a quick
    // second tap does not dismiss again.
    tap(*button);
    host->tap({ 600, 900 });
    EXPECT_EQ(delegate.dismissed, 1);
    advance(0.3);
    EXPECT_EQ(delegate.dismissed, 1);
    EXPECT_EQ(delegate.shouldDismissAsked, 1);
    EXPECT_FALSE(popover->isPresented());
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(takeLog(), (Calls { "list.willDisappear(animated)", "list.didDisappear(animated)" }));
    EXPECT_TRUE(window()->presentedControllers().empty());
    EXPECT_EQ(window()->findViewOfClass("UIDimmingView"), nullptr) << "nothing is left over the screen";
    EXPECT_TRUE(near(pixelAt({ 700, 900 }), Color::white())) << describe(pixelAt({ 700, 900 }));
    EXPECT_EQ(buttonTaps, 0) << "the dismissing tap does not reach the screen";
    tap(*button);
    EXPECT_EQ(buttonTaps, 1);
    host->tap({ 600, 900 });
    EXPECT_EQ(delegate.dismissed, 1);
}

TEST_F(PopoverTest, DelegateCanKeepThePopoverAndDismissalInCodeIsNotTold)
{
    present();
    delegate.allowDismiss = false;
    host->tap({ 600, 900 });
    advance(0.3);
    EXPECT_EQ(delegate.shouldDismissAsked, 1);
    EXPECT_TRUE(popover->isPresented());
    EXPECT_EQ(delegate.dismissed, 0);

    root->dismissViewController(true);
    advance(0.3);
    EXPECT_FALSE(popover->isPresented());
    EXPECT_EQ(delegate.dismissed, 0);
    // Presented again, it works as the first time.
    delegate.allowDismiss = true;
    present();
    ASSERT_TRUE(popover->isPresented());
    host->tap({ 600, 900 });
    EXPECT_EQ(delegate.dismissed, 1);
}

TEST_F(PopoverTest, RotationAsksTheDelegateWhereToPointAndTheBubbleFollows)
{
    present();
    // In landscape the anchor moves to the right edge of the wider screen.
    auto target = View::create<View>();
    target->setFrame({ 900, 200, 40, 40 });
    root->view()->addSubview(target);
    target->setAutoresizingMask(AutoresizingNone);
    delegate.moveTo = target->bounds();
    delegate.moveToView = target.get();
    ASSERT_TRUE(host->rotate());
    advance(HostCore::kRotationDuration + 0.1);
    EXPECT_EQ(delegate.repositioned, 1);
    EXPECT_EQ(popover->sourceView(), target.get());
    EXPECT_TRUE(popover->isPresented());

    Rect anchor = frameInWindow(*target);
    Rect bubble = popover->popoverFrame();
    Rect screen { 0, 0, 1024, 768 };
    EXPECT_TRUE(screen.contains(bubble)) << bubble.x() << "," << bubble.y() << " " << bubble.width() << "x" << bubble.height();
    EXPECT_FALSE(bubble.intersects(anchor)) << "the bubble does not cover what it points at";
    // Its arrow side touches the new anchor.
    switch (popover->arrowDirection()) {
    case PopoverArrowDirectionUp:
        EXPECT_DOUBLE_EQ(bubble.minY(), anchor.maxY());
        break;
    case PopoverArrowDirectionDown:
        EXPECT_DOUBLE_EQ(bubble.maxY(), anchor.minY());
        break;
    case PopoverArrowDirectionLeft:
        EXPECT_DOUBLE_EQ(bubble.minX(), anchor.maxX());
        break;
    case PopoverArrowDirectionRight:
        EXPECT_DOUBLE_EQ(bubble.maxX(), anchor.minX());
        break;
    default:
        ADD_FAILURE() << "no arrow";
    }
    EXPECT_TRUE(near(pixelAt(popover->presentedViewFrame().center()), Color::rgba(0, 0, 1)));

    // Turning back asks again; without an answer the anchor stays where it was.
    delegate.moveTo.reset();
    delegate.moveToView = nullptr;
    ASSERT_TRUE(host->rotate());
    advance(HostCore::kRotationDuration + 0.1);
    EXPECT_EQ(delegate.repositioned, 2);
    EXPECT_EQ(popover->sourceView(), target.get());
    EXPECT_TRUE(Rect({ 0, 0, 768, 1024 }).contains(popover->popoverFrame()));
}

TEST_F(PopoverTest, AnchorThatWentAwayPointsAtTheScreenMiddle)
{
    present();
    // The anchor's view is gone by the next layout.
    button->removeFromSuperview();
    button.reset();
    EXPECT_EQ(popover->sourceView(), nullptr);
    ASSERT_TRUE(host->rotate());
    advance(HostCore::kRotationDuration + 0.1);
    EXPECT_EQ(delegate.repositioned, 1);
    Rect bubble = popover->popoverFrame();
    EXPECT_TRUE(Rect({ 0, 0, 1024, 768 }).contains(bubble));
    EXPECT_FALSE(bubble.isEmpty());
}

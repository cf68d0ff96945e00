// SPDX-License-Identifier: MIT
#include "ControllerTestSupport.h"

#include "kit/ui/AlertController.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"

using namespace kit;
using namespace kit::test;

namespace {

using Calls = std::vector<std::string>;

class AlertControllerTest : public HostedControllerTest {
protected:
    void TearDown() override
    {
        EXPECT_EQ(AlertController::queuedAlertCount(), 0u) << "an alert was left waiting";
        HostedControllerTest::TearDown();
    }

    // The alert on screen in the key window, if any.
    AlertController* shownAlert() const
    {
        AlertController* shown = nullptr;
        int count = 0;
        for (auto& presented : window()->presentedControllers()) {
            if (auto* alert = dynamic_cast<AlertController*>(presented.get())) {
                shown = alert;
                ++count;
            }
        }
        EXPECT_LE(count, 1) << "alerts are shown one at a time";
        return shown;
    }
    // Taps the alert's button titled `title`.
    void tapButton(AlertController& alert, const std::string& title)
    {
        for (std::size_t i = 0; i < alert.actions().size(); ++i) {
            Button* button = alert.buttonForAction(i);
            if (button && button->title() == title) {
                tap(*button);
                return;
            }
        }
        ADD_FAILURE() << "no button " << title << " on " << alert.title();
    }
};

} // namespace

TEST_F(AlertControllerTest, AlertsShownWhileOneIsUpComeOneAfterAnother)
{
    auto root = screen("root");
    launch(root);
    std::vector<std::string> handled;
    for (const char* title : { "First", "Second", "Third" }) {
        auto alert = AlertController::create(title, std::string("About ") + title);
        alert->addAction(AlertAction::create("OK", AlertActionStyle::Default,
            [&handled, title](AlertAction& action) { handled.push_back(std::string(title) + " " + action.title()); }));
        AlertController::show(alert);
    }
    advance(0.3);
    EXPECT_EQ(AlertController::queuedAlertCount(), 2u);

    for (const char* title : { "First", "Second", "Third" }) {
        SCOPED_TRACE(title);
        AlertController* alert = shownAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->title(), title);
        EXPECT_EQ(alert->titleLabel()->text(), title);
        EXPECT_EQ(alert->messageLabel()->text(), std::string("About ") + title);
        EXPECT_EQ(alert->presentingViewController(), root.get());
        // The box is in the middle of the dimmed screen.
        Rect box = frameInWindow(*alert->boxView());
        EXPECT_NEAR(box.midX(), 375 / 2.0, 0.5);
        EXPECT_NEAR(box.midY(), 667 / 2.0, 0.5);
        EXPECT_TRUE(near(pixelAt({ 10, 600 }), Color::white(0.6), 0.02)) << describe(pixelAt({ 10, 600 }));
        tapButton(*alert, "OK");
        advance(0.3);
    }
    EXPECT_EQ(handled, (std::vector<std::string> { "First OK", "Second OK", "Third OK" }));
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(near(pixelAt({ 10, 600 }), Color::white())) << "the screen is no longer dimmed";
    // Alerts do not cover the whole screen the way a sheet does: the screen beneath stays.
    EXPECT_EQ(takeLog(), (Calls { "root.load", "root.willAppear", "root.didAppear" }));
}

TEST_F(AlertControllerTest, AlertWithoutActionsGetsAnOKThatDismissesIt)
{
    auto root = screen("root");
    launch(root);
    auto alert = AlertController::create("No actions", "");
    AlertController::show(alert, false);
    ASSERT_EQ(shownAlert(), alert.get());
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title(), "OK");
    tapButton(*alert, "OK");
    advance(0.3);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(alert->view()->superview(), nullptr);
    // A second tap where the button was reaches nothing of the gone alert.
    host->tap({ 187, 333 });
    EXPECT_EQ(shownAlert(), nullptr);
}

TEST_F(AlertControllerTest, OnlyOneActionRunsEvenWhenTappedTwice)
{
    auto root = screen("root");
    launch(root);
    int cancels = 0, deletes = 0;
    auto alert = AlertController::create("Delete?", "It cannot be undone.");
    alert->addAction(AlertAction::create("Cancel", AlertActionStyle::Cancel, [&](AlertAction&) { ++cancels; }));
    alert->addAction(AlertAction::create("Delete", AlertActionStyle::Destructive, [&](AlertAction&) { ++deletes; }));
    AlertController::show(alert, false);
    window()->layoutIfNeeded();
    // Two actions sit side by side.
    Rect cancel = frameInWindow(*alert->buttonForAction(0));
    Rect destroy = frameInWindow(*alert->buttonForAction(1));
    EXPECT_DOUBLE_EQ(cancel.minY(), destroy.minY());
    EXPECT_DOUBLE_EQ(cancel.maxX(), destroy.minX());
    EXPECT_TRUE(near(alert->buttonForAction(1)->effectiveTitleColor(), Color::systemRed()));

    tap(*alert->buttonForAction(1));
    host->tap(destroy.center());
    host->tap(cancel.center());
    advance(0.3);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(cancels, 0);
}

TEST_F(AlertControllerTest, AlertGoesOverWhateverIsPresentedOnTop)
{
    auto root = screen("root");
    launch(root);
    auto sheet = screen("sheet", Color::rgba(0, 0, 1));
    root->presentViewController(sheet, false);
    EXPECT_EQ(AlertController::topmostController(window()), sheet.get());
    takeLog();

    auto alert = AlertController::create("Over the sheet", "");
    AlertController::show(alert);
    advance(0.3);
    ASSERT_EQ(shownAlert(), alert.get());
    EXPECT_EQ(alert->presentingViewController(), sheet.get());
    EXPECT_EQ(sheet->presentedViewController(), alert.get());
    EXPECT_EQ(window()->subviews().back().get(), alert->view()) << "above the sheet";
    // Dimmed blue: the sheet stays visible beneath the alert.
    auto dimmed = pixelAt({ 10, 600 });
    ASSERT_TRUE(dimmed);
    EXPECT_NEAR(dimmed->blue, 0.6, 0.02);
    EXPECT_NEAR(dimmed->red, 0, 0.02);

    // Another alert while this one is up waits, and comes over the sheet again.
    auto next = AlertController::create("Next", "");
    AlertController::show(next);
    EXPECT_EQ(AlertController::queuedAlertCount(), 1u);
    tapButton(*alert, "OK");
    advance(0.3);
    ASSERT_EQ(shownAlert(), next.get());
    EXPECT_EQ(next->presentingViewController(), sheet.get());
    tapButton(*next, "OK");
    advance(0.3);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(root->presentedViewController(), sheet.get()) << "the sheet is still up";
    EXPECT_TRUE(near(pixelAt({ 10, 600 }), Color::rgba(0, 0, 1)));
    EXPECT_TRUE(log.empty()) << "neither the sheet nor the root hears appearance calls: " << log.size();

    // Once the sheet has gone, alerts go over the root.
    root->dismissViewController(false);
    auto last = AlertController::create("Last", "");
    AlertController::show(last, false);
    EXPECT_EQ(last->presentingViewController(), root.get());
    tapButton(*last, "OK");
    advance(0.3);
}

TEST_F(AlertControllerTest, AlertOnATurnedTabletStaysCentred)
{
    auto root = screen("root");
    launch(root, "ipad-2");
    auto alert = AlertController::create("Turned", "The box follows the screen.");
    AlertController::show(alert, false);
    ASSERT_TRUE(host->rotate());
    advance(0.5);
    Rect box = frameInWindow(*alert->boxView());
    EXPECT_NEAR(box.midX(), 512, 0.5);
    EXPECT_NEAR(box.midY(), 384, 0.5);
    EXPECT_EQ(alert->view()->frame(), (Rect { 0, 0, 1024, 768 }));
    tapButton(*alert, "OK");
    advance(0.3);
}

TEST_F(AlertControllerTest, DismissingTheSheetUnderAnAlertBringsTheNextAlertOverWhatRemains)
{
    auto root = screen("root");
    launch(root);
    auto sheet = screen("sheet", Color::rgba(0, 0, 1));
    root->presentViewController(sheet, false);
    auto first = AlertController::create("On the sheet", "");
    auto second = AlertController::create("Waiting", "");
    AlertController::show(first, false);
    AlertController::show(second, false);
    ASSERT_EQ(first->presentingViewController(), sheet.get());

    // The sheet goes, and the alert on it with it.
    root->dismissViewController(false);
    sheet.reset();
    advance(0.3);
    EXPECT_EQ(root->presentedViewController(), second.get()) << "the waiting alert comes over the root";
    ASSERT_EQ(shownAlert(), second.get());
    EXPECT_EQ(second->presentingViewController(), root.get());
    tapButton(*second, "OK");
    advance(0.3);
    EXPECT_EQ(shownAlert(), nullptr);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_TRUE(near(pixelAt({ 10, 600 }), Color::white())) << describe(pixelAt({ 10, 600 }));
}

TEST_F(AlertControllerTest, AlertShownBeforeThereIsAWindowComesUpWithTheNextOne)
{
    auto early = AlertController::create("Early", "");
    AlertController::show(early, false);
    EXPECT_EQ(AlertController::queuedAlertCount(), 1u);

    auto root = screen("root");
    launch(root);
    auto later = AlertController::create("Later", "");
    AlertController::show(later, false);
    ASSERT_EQ(shownAlert(), early.get()) << "the one that waited longest goes first";
    EXPECT_EQ(AlertController::queuedAlertCount(), 1u);
    tapButton(*early, "OK");
    advance(0.3);
    ASSERT_EQ(shownAlert(), later.get());
    tapButton(*later, "OK");
    advance(0.3);
    EXPECT_EQ(shownAlert(), nullptr);
}

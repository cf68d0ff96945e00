// SPDX-License-Identifier: MIT
// Keyboard focus across the kit: the Tab order, the ring, and what Return, Space, Escape, the
// arrows and Ctrl+digits do to focused tabs, rows, segments, alerts and popovers.
#include "ControllerTestSupport.h"

#include "kit/ui/AlertController.h"
#include "kit/ui/Button.h"
#include "kit/ui/FocusTraversal.h"
#include "kit/ui/Label.h"
#include "kit/ui/PopoverPresentationController.h"
#include "kit/ui/SegmentedControl.h"
#include "kit/ui/TabBar.h"
#include "kit/ui/TabBarController.h"
#include "kit/ui/TableView.h"
#include "kit/ui/TableViewCell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kit;
using namespace kit::test;

namespace {

std::shared_ptr<Window> plainWindow(Size size = { 300, 300 })
{
    auto w = View::create<Window>();
    w->setFrame({ 0, 0, size.width, size.height });
    w->setBackgroundColor(Color::white());
    return w;
}

std::shared_ptr<Button> addButton(View& parent, const std::string& title, Rect frame)
{
    auto button = Button::system(title);
    button->setFrame(frame);
    parent.addSubview(button);
    return button;
}

std::vector<std::string> titles(const std::vector<View*>& order)
{
    std::vector<std::string> names;
    for (View* view : order) {
        auto* button = dynamic_cast<Button*>(view);
        names.push_back(button ? button->title() : view->className());
    }
    return names;
}

} // namespace

TEST(FocusOrder, ReadsTopToBottomThenLeftToRightAndWrapsAround)
{
    auto views = std::vector { View::create(), View::create(), View::create(), View::create(), View::create() };
    View &a = *views[0], &b = *views[1], &c = *views[2], &d = *views[3], &e = *views[4];
    // d's top is 3 points below c's: the same line, so left to right decides.
    std::vector<FocusCandidate> candidates {
        { &a, { 200, 100, 40, 40 } },
        { &b, { 10, 300, 40, 40 } },
        { &c, { 150, 10, 40, 40 } },
        { &d, { 20, 13, 40, 40 } },
        { &e, { 10, 100, 40, 40 } },
    };
    sortInReadingOrder(candidates);
    std::vector<View*> order;
    for (auto& candidate : candidates)
        order.push_back(candidate.view);
    EXPECT_EQ(order, (std::vector<View*> { &d, &c, &e, &a, &b }));

    EXPECT_EQ(nextInFocusOrder(order, &d, false), &c);
    EXPECT_EQ(nextInFocusOrder(order, &b, false), &d) << "wraps at the end";
    EXPECT_EQ(nextInFocusOrder(order, &d, true), &b) << "and at the start, backwards";
    EXPECT_EQ(nextInFocusOrder(order, nullptr, false), &d);
    EXPECT_EQ(nextInFocusOrder(order, nullptr, true), &b);
    auto stranger = View::create();
    EXPECT_EQ(nextInFocusOrder(order, stranger.get(), false), &d) << "a view not in the order starts it";
    EXPECT_EQ(nextInFocusOrder({}, &d, false), nullptr);
}

TEST(FocusOrder, OnlyViewsThatCanBeSeenAndUsedAreVisited)
{
    auto w = plainWindow();
    auto second = addButton(*w, "second", { 150, 20, 60, 30 });
    auto first = addButton(*w, "first", { 10, 20, 60, 30 });
    addButton(*w, "hidden", { 10, 60, 60, 30 })->setHidden(true);
    addButton(*w, "clear", { 10, 100, 60, 30 })->setAlpha(0);
    addButton(*w, "disabled", { 10, 140, 60, 30 })->setEnabled(false);
    auto plain = View::create<View>();
    plain->setFrame({ 100, 60, 50, 50 });
    w->addSubview(plain);
    // Inside a clipping box: only the button within its bounds shows.
    auto box = View::create<View>();
    box->setFrame({ 0, 200, 300, 50 });
    box->setClipsToBounds(true);
    w->addSubview(box);
    addButton(*box, "inside", { 10, 10, 60, 30 });
    addButton(*box, "clipped", { 10, 60, 60, 30 });
    // A container that takes no input takes its buttons out of the order too.
    auto inert = View::create<View>();
    inert->setFrame({ 0, 250, 300, 50 });
    inert->setUserInteractionEnabled(false);
    w->addSubview(inert);
    addButton(*inert, "inert", { 10, 10, 60, 30 });
    addButton(*w, "offscreen", { 10, 400, 60, 30 });

    EXPECT_EQ(titles(w->focusOrder()), (std::vector<std::string> { "first", "second", "inside" }));

    // Tab walks that order and wraps; Shift+Tab walks back.
    EXPECT_TRUE(w->sendKey({ Key::Tab }));
    EXPECT_EQ(w->firstResponder(), first.get());
    EXPECT_TRUE(w->sendKey({ Key::Tab }));
    EXPECT_TRUE(w->sendKey({ Key::Tab }));
    EXPECT_TRUE(w->sendKey({ Key::Tab }));
    EXPECT_EQ(w->firstResponder(), first.get()) << "wrapped around";
    EXPECT_TRUE(w->sendKey({ Key::Tab, KeyModifierShift }));
    EXPECT_EQ(titles({ w->firstResponder() }), (std::vector<std::string> { "inside" }));
    EXPECT_FALSE(w->sendKey({ Key::Tab, KeyModifierControl })) << "Ctrl+Tab is not ours";

    // Nothing to visit: Tab is not used, so the host may pass it on.
    auto empty = plainWindow();
    EXPECT_FALSE(empty->sendKey({ Key::Tab }));
}

TEST(FocusRing, FollowsTheFocusInTheTintColourAndStaysOnScreenAtTheWindowEdge)
{
    auto w = plainWindow({ 200, 200 });
    Color tint(0.0, 0.68, 0.96);
    w->setTintColor(tint);
    auto inner = Button::custom();
    inner->setFrame({ 50, 50, 60, 40 });
    inner->setBackgroundColor(Color(1, 0, 0));
    w->addSubview(inner);
    // As wide as the window: a ring outside it would not be seen.
    auto wide = Button::custom();
    wide->setFrame({ 0, 150, 200, 50 });
    wide->setBackgroundColor(Color(1, 0, 0));
    w->addSubview(wide);

    ASSERT_TRUE(w->sendKey({ Key::Tab }));
    ASSERT_EQ(w->firstResponder(), inner.get());
    {
        Snapshot shot(*w, { 200, 200 }, 2);
        EXPECT_TRUE(near(shot.at(47.5, 70), tint, 0.05)) << "outside the left edge";
        EXPECT_TRUE(near(shot.at(80, 92.5), tint, 0.05)) << "outside the bottom edge";
        EXPECT_TRUE(near(shot.at(100, 175), Color(1, 0, 0))) << "no ring on the other button";
    }
    ASSERT_TRUE(w->sendKey({ Key::Tab }));
    ASSERT_EQ(w->firstResponder(), wide.get());
    Snapshot shot(*w, { 200, 200 }, 2);
    EXPECT_TRUE(near(shot.at(47.5, 70), Color::white())) << "the ring left the first button";
    // Inside the edges: 1 to 3 points in, 2 points wide.
    EXPECT_TRUE(near(shot.at(2, 175), tint, 0.05));
    EXPECT_TRUE(near(shot.at(100, 152), tint, 0.05));
    EXPECT_TRUE(near(shot.at(198, 175), tint, 0.05));
    EXPECT_TRUE(near(shot.at(100, 198), tint, 0.05));
    EXPECT_TRUE(near(shot.at(100, 175), Color(1, 0, 0)));

    // As wide as a box that clips (an alert's button): inside too, though the window has room.
    auto box = View::create<View>();
    box->setFrame({ 40, 100, 120, 40 });
    box->setClipsToBounds(true);
    w->addSubview(box);
    auto boxed = Button::custom();
    boxed->setFrame({ 0, 0, 120, 40 });
    box->addSubview(boxed);
    ASSERT_TRUE(boxed->becomeFirstResponder());
    Snapshot boxShot(*w, { 200, 200 }, 2);
    EXPECT_TRUE(near(boxShot.at(42, 120), tint, 0.05));
    EXPECT_TRUE(near(boxShot.at(158, 120), tint, 0.05));
}

TEST(FocusedSegments, ArrowsPickASegmentAndReturnSelectsItAsATapDoes)
{
    auto w = plainWindow();
    Color tint(0.0, 0.68, 0.96);
    w->setTintColor(tint);
    auto control = View::create<SegmentedControl>(std::vector<std::string> { "A", "B", "C" });
    control->setFrame({ 30, 30, 240, 30 });
    w->addSubview(control);
    std::vector<int> changes;
    control->addAction(ControlEvent::ValueChanged,
        [&](Control& sender) { changes.push_back(static_cast<SegmentedControl&>(sender).selectedSegmentIndex()); });
    control->setSelectedSegmentIndex(1);

    ASSERT_TRUE(w->sendKey({ Key::Tab }));
    ASSERT_EQ(w->firstResponder(), control.get());
    EXPECT_EQ(control->focusedSegmentIndex(), 1) << "the keyboard starts on the selected segment";
    EXPECT_TRUE(w->sendKey({ Key::Right }));
    EXPECT_TRUE(w->sendKey({ Key::Right }));
    EXPECT_EQ(control->focusedSegmentIndex(), 2) << "stops at the last segment";
    EXPECT_TRUE(changes.empty()) << "moving does not select";
    {
        // The ring goes round the third segment only.
        Snapshot shot(*w, { 300, 300 }, 2);
        Rect third = control->convertRectTo(control->segmentFrame(2), nullptr);
        EXPECT_TRUE(near(shot.at(third.midX(), third.minY() - 2), tint, 0.05));
        Rect first = control->convertRectTo(control->segmentFrame(0), nullptr);
        EXPECT_TRUE(near(shot.at(first.midX(), first.minY() - 2), Color::white()));
    }
    EXPECT_TRUE(w->sendKey({ Key::Return }));
    EXPECT_EQ(control->selectedSegmentIndex(), 2);
    EXPECT_TRUE(w->sendKey({ Key::Left }));
    EXPECT_TRUE(w->sendKey({ Key::Space }));
    EXPECT_EQ(changes, (std::vector<int> { 2, 1 }));
    EXPECT_TRUE(w->sendKey({ Key::Space }));
    EXPECT_EQ(changes.size(), 2u) << "the selected segment again changes nothing";

    // A momentary control reports every press, then shows none selected.
    control->setMomentary(true);
    EXPECT_TRUE(w->sendKey({ Key::Space }));
    EXPECT_EQ(changes, (std::vector<int> { 2, 1, 1 }));
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
}

namespace {

// Ten rows; rows 2 and 3 do not act on a tap (no selection shown).
class RowSource : public TableViewDataSource, public TableViewDelegate {
public:
    int numberOfRowsInSection(TableView&, int) override { return 10; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& path) override
    {
        auto cell = table.dequeueReusableCell("row");
        if (!cell)
            cell = TableViewCell::create(TableViewCellStyle::Default, "row");
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        bool inert = path.row == 2 || path.row == 3;
        cell->setSelectionStyle(inert ? TableViewCellSelectionStyle::None : TableViewCellSelectionStyle::Default);
        return cell;
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& path) override { selected.push_back(path.row); }
    void didDeselectRowAtIndexPath(TableView&, const IndexPath& path) override { deselected.push_back(path.row); }

    std::vector<int> selected;
    std::vector<int> deselected;
};

int focusedRow(Window& w, TableView& table)
{
    auto* cell = dynamic_cast<TableViewCell*>(w.firstResponder());
    if (!cell)
        return -1;
    auto path = table.indexPathForCell(*cell);
    return path ? path->row : -1;
}

} // namespace

TEST(FocusedRows, ReturnSelectsThroughTheDelegateAndUpDownWalkTheActingRowsIntoView)
{
    auto w = plainWindow({ 300, 200 });
    auto table = TableView::create({ 0, 0, 300, 200 });
    RowSource rows;
    table->setDataSource(&rows);
    table->setDelegate(&rows);
    w->addSubview(table);
    w->layoutIfNeeded();

    // Rows 0 to 4 are in view (44 points each); 2 and 3 do not act.
    std::vector<int> order;
    for (View* view : w->focusOrder())
        if (auto* cell = dynamic_cast<TableViewCell*>(view))
            order.push_back(table->indexPathForCell(*cell)->row);
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 4 }));

    ASSERT_TRUE(w->sendKey({ Key::Tab }));
    ASSERT_EQ(focusedRow(*w, *table), 0);
    EXPECT_TRUE(w->sendKey({ Key::Down }));
    EXPECT_EQ(focusedRow(*w, *table), 1);
    EXPECT_TRUE(w->sendKey({ Key::Down }));
    EXPECT_EQ(focusedRow(*w, *table), 4) << "the rows that do not act are passed over";
    EXPECT_TRUE(w->sendKey({ Key::Return }));
    EXPECT_EQ(rows.selected, (std::vector<int> { 4 }));
    EXPECT_EQ(table->indexPathForSelectedRow(), IndexPath::forRow(4, 0));

    // Down past the visible rows scrolls just far enough to show the row.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(w->sendKey({ Key::Down }));
    EXPECT_EQ(focusedRow(*w, *table), 9);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 10 * 44 - 200);
    EXPECT_FALSE(w->sendKey({ Key::Down })) << "no row below the last: the key goes on";
    EXPECT_EQ(focusedRow(*w, *table), 9);
    EXPECT_TRUE(w->sendKey({ Key::Space }));
    EXPECT_EQ(rows.selected, (std::vector<int> { 4, 9 }));
    EXPECT_EQ(rows.deselected, (std::vector<int> { 4 }));

    // Back up to the top, scrolling the other way.
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(w->sendKey({ Key::Up }));
    EXPECT_EQ(focusedRow(*w, *table), 0);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0);
    EXPECT_FALSE(w->sendKey({ Key::Up }));

    // A table that does not select takes no focus on its rows, and Return does nothing.
    table->setAllowsSelection(false);
    EXPECT_TRUE(w->focusOrder().empty());
    EXPECT_FALSE(w->sendKey({ Key::Return }));
    EXPECT_EQ(rows.selected.size(), 2u);
    table->setDataSource(nullptr);
    table->setDelegate(nullptr);
}

namespace {

class TabsTest : public HostedControllerTest {
protected:
    void SetUp() override
    {
        HostedControllerTest::SetUp();
        tabs = TabBarController::create();
        std::vector<std::shared_ptr<ViewController>> screens;
        for (const char* name : { "one", "two", "three", "four" }) {
            auto s = screen(name);
            s->setTitle(name);
            screens.push_back(s);
        }
        tabs->setViewControllers(screens);
        tabs->onDidSelect = [this](TabBarController&, ViewController& selected) { told.push_back(selected.title()); };
        launch(tabs);
        button = addButton(*tabs->selectedViewController()->view(), "action", { 20, 100, 100, 40 });
        button->addAction(ControlEvent::TouchUpInside, [this](Control&) { ++buttonPresses; });
        takeLog();
    }

    std::shared_ptr<TabBarController> tabs;
    std::shared_ptr<Button> button;
    std::vector<std::string> told;
    int buttonPresses = 0;
};

} // namespace

TEST_F(TabsTest, TabVisitsTheScreenThenEachTabAndReturnSwitchesAsATapDoes)
{
    TabBar* bar = tabs->tabBar();
    std::vector<View*> expected { button.get() };
    for (int i = 0; i < 4; ++i)
        expected.push_back(bar->itemView(i));
    EXPECT_EQ(window()->focusOrder(), expected);
    EXPECT_EQ(bar->itemView(2)->frame(), bar->itemFrame(2));

    EXPECT_TRUE(host->pressKey(Key::Tab));
    EXPECT_TRUE(host->pressKey(Key::Return));
    EXPECT_EQ(buttonPresses, 1);
    EXPECT_TRUE(host->pressKey(Key::Tab));
    EXPECT_TRUE(host->pressKey(Key::Tab));
    EXPECT_TRUE(host->pressKey(Key::Tab));
    ASSERT_EQ(window()->firstResponder(), bar->itemView(2));
    EXPECT_TRUE(host->pressKey(Key::Space));
    EXPECT_EQ(tabs->selectedIndex(), 2);
    EXPECT_EQ(told, (std::vector<std::string> { "three" }));
    EXPECT_EQ(window()->firstResponder(), bar->itemView(2)) << "the tab keeps the focus";
}

TEST_F(TabsTest, CtrlDigitsChooseTabsWhereverTheFocusIs)
{
    ASSERT_TRUE(button->becomeFirstResponder());
    EXPECT_TRUE(host->pressKey(Key::Digit4, KeyModifierControl));
    EXPECT_EQ(tabs->selectedIndex(), 3);
    EXPECT_TRUE(host->pressKey(Key::Digit1, KeyModifierControl));
    EXPECT_EQ(tabs->selectedIndex(), 0);
    EXPECT_EQ(told, (std::vector<std::string> { "four", "one" }));
    EXPECT_TRUE(host->pressKey(Key::Digit1, KeyModifierControl)) << "the shown tab: used, nothing told";
    EXPECT_EQ(told.size(), 2u);

    EXPECT_FALSE(host->pressKey(Key::Digit5, KeyModifierControl)) << "no fifth tab";
    EXPECT_FALSE(host->pressKey(Key::Digit2)) << "a bare digit is no shortcut";
    EXPECT_FALSE(host->pressKey(Key::Digit2, KeyModifierControl | KeyModifierShift));
    EXPECT_EQ(tabs->selectedIndex(), 0);

    // An alert over the tabs holds the keyboard: the tabs stay.
    AlertController::show(AlertController::create("Title", "Message"), false);
    EXPECT_FALSE(host->pressKey(Key::Digit3, KeyModifierControl));
    EXPECT_EQ(tabs->selectedIndex(), 0);
}

TEST_F(TabsTest, FocusGoesIntoAnAlertAndBackAndEscapeRunsTheCancelAction)
{
    ASSERT_TRUE(button->becomeFirstResponder());
    std::vector<std::string> handled;
    auto alert = AlertController::create("Share?", "Tell a friend.");
    alert->addAction(AlertAction::create("Later", AlertActionStyle::Cancel, [&](AlertAction&) { handled.push_back("later"); }));
    alert->addAction(AlertAction::create("Share", AlertActionStyle::Default, [&](AlertAction&) { handled.push_back("share"); }));
    AlertController::show(alert, true);
    advance(0.5);
    ASSERT_EQ(window()->firstResponder(), alert->buttonForAction(0)) << "the first button has the focus";
    // Tab stays inside the alert.
    EXPECT_TRUE(host->pressKey(Key::Tab));
    EXPECT_EQ(window()->firstResponder(), alert->buttonForAction(1));
    EXPECT_TRUE(host->pressKey(Key::Tab));
    EXPECT_EQ(window()->firstResponder(), alert->buttonForAction(0));
    EXPECT_FALSE(host->pressKey(Key::Left)) << "keys the alert does not use reach no screen beneath";

    EXPECT_TRUE(host->pressKey(Key::Escape));
    advance(0.5);
    EXPECT_EQ(handled, (std::vector<std::string> { "later" }));
    EXPECT_TRUE(window()->presentedControllers().empty());
    EXPECT_EQ(window()->firstResponder(), button.get()) << "the focus is back where it was";
    EXPECT_EQ(buttonPresses, 0);

    // Without a cancel action Escape does nothing; Return presses the focused button.
    auto notice = AlertController::create("New data", "");
    notice->addAction(AlertAction::create("OK", AlertActionStyle::Default, [&](AlertAction&) { handled.push_back("ok"); }));
    AlertController::show(notice, false);
    advance(0.5);
    EXPECT_FALSE(host->pressKey(Key::Escape));
    advance(0.5);
    EXPECT_EQ(window()->presentedControllers().size(), 1u);
    EXPECT_TRUE(host->pressKey(Key::Return));
    advance(0.5);
    EXPECT_EQ(handled, (std::vector<std::string> { "later", "ok" }));
    EXPECT_EQ(window()->firstResponder(), button.get());
}

TEST_F(TabsTest, EscapeClosesAPopoverAndTheFocusReturnsToItsSource)
{
    ASSERT_TRUE(button->becomeFirstResponder());
    auto content = screen("content");
    content->setModalPresentationStyle(ModalPresentationStyle::Popover);
    content->setPreferredContentSize({ 200, 150 });
    auto* popover = PopoverPresentationController::forController(*content);
    popover->setSourceView(button.get());
    popover->setSourceRect(button->bounds());
    auto inside = addButton(*content->view(), "inside", { 20, 20, 100, 40 });
    tabs->presentViewController(content, true);
    advance(0.5);
    ASSERT_TRUE(popover->isPresented());
    EXPECT_EQ(window()->firstResponder(), inside.get());
    EXPECT_TRUE(host->pressKey(Key::Tab)) << "the only stop: Tab stays on it";
    EXPECT_EQ(window()->firstResponder(), inside.get());

    EXPECT_TRUE(host->pressKey(Key::Escape));
    advance(0.5);
    EXPECT_FALSE(popover->isPresented());
    EXPECT_EQ(window()->firstResponder(), button.get());
    EXPECT_FALSE(host->pressKey(Key::Escape)) << "nothing left to close";
}

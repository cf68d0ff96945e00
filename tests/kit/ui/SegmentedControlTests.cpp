// SPDX-License-Identifier: MIT
#include "ControllerTestSupport.h"

#include "kit/ui/SegmentedControl.h"

using namespace kit;
using namespace kit::test;

namespace {

// What a value-changed action saw: the index and title of the selected segment.
struct Change {
    int index;
    std::string title;
    bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Change& c) { return out << c.index << " '" << c.title << "'"; }

class SegmentedControlTest : public HostedControllerTest {
protected:
    void showControl(bool momentary)
    {
        auto content = View::create<View>();
        control = View::create<SegmentedControl>(std::vector<std::string> { "Twitter", "Facebook", "Mail" });
        control->setFrame({ 20, 100, 300, 29 });
        control->setMomentary(momentary);
        control->addAction(ControlEvent::ValueChanged, [this](Control& sender) {
            auto& segments = static_cast<SegmentedControl&>(sender);
            int index = segments.selectedSegmentIndex();
            changes.push_back({ index, segments.titleForSegmentAtIndex(index) });
        });
        content->addSubview(control);
        show(content);
    }
    Point segmentCenter(int index) { return control->convertPointTo(control->segmentFrame(index).center(), nullptr); }
    // Inside segment i, clear of its title and of the rounded border.
    Point segmentFill(int index)
    {
        Rect f = control->segmentFrame(index);
        return control->convertPointTo({ f.minX() + 8, f.minY() + 4 }, nullptr);
    }

    std::shared_ptr<SegmentedControl> control;
    std::vector<Change> changes;
};

} // namespace

TEST_F(SegmentedControlTest, MomentaryTapSendsTheTappedSegmentAndLeavesNoneSelected)
{
    showControl(true);
    host->tap(segmentCenter(2));
    EXPECT_EQ(changes, (std::vector<Change> { { 2, "Mail" } }));
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    EXPECT_TRUE(near(pixelAt(segmentFill(2)), Color::white())) << "not drawn selected: " << describe(pixelAt(segmentFill(2)));

    // Every tap counts, the same segment too.
    host->tap(segmentCenter(2));
    host->tap(segmentCenter(0));
    EXPECT_EQ(changes, (std::vector<Change> { { 2, "Mail" }, { 2, "Mail" }, { 0, "Twitter" } }));
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);

    // Switching to momentary clears a selection made before.
    control->setMomentary(false);
    control->setSelectedSegmentIndex(1);
    control->setMomentary(true);
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
}

TEST_F(SegmentedControlTest, SelectingModeKeepsTheSegmentAndSendsOnlyOnChange)
{
    showControl(false);
    host->tap(segmentCenter(1));
    EXPECT_EQ(changes, (std::vector<Change> { { 1, "Facebook" } }));
    EXPECT_EQ(control->selectedSegmentIndex(), 1);
    EXPECT_TRUE(near(pixelAt(segmentFill(1)), control->tintColor())) << describe(pixelAt(segmentFill(1)));
    EXPECT_TRUE(near(pixelAt(segmentFill(0)), Color::white()));

    host->tap(segmentCenter(1));
    EXPECT_EQ(changes.size(), 1u) << "the selected segment again changes nothing";
    host->tap(segmentCenter(0));
    EXPECT_EQ(changes.back(), (Change { 0, "Twitter" }));
    EXPECT_TRUE(near(pixelAt(segmentFill(0)), control->tintColor()));
    EXPECT_TRUE(near(pixelAt(segmentFill(1)), Color::white()));

    // Selecting in code sends nothing; out of range selects none.
    control->setSelectedSegmentIndex(2);
    control->setSelectedSegmentIndex(3);
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    EXPECT_EQ(changes.size(), 2u);
}

TEST_F(SegmentedControlTest, PressesThatEndElsewhereOrOnADisabledControlSendNothing)
{
    showControl(false);
    // Pressed on one segment, released on another.
    host->drag(segmentCenter(0), segmentCenter(2), 0.2);
    // Pressed on a segment, released far below it.
    host->drag(segmentCenter(1), { segmentCenter(1).x, 400 }, 0.2);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    EXPECT_TRUE(near(pixelAt(segmentFill(0)), Color::white())) << "the press highlight is gone";

    control->setEnabled(false);
    host->tap(segmentCenter(1));
    EXPECT_TRUE(changes.empty());
    control->setEnabled(true);
    host->tap(segmentCenter(1));
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(SegmentedControlTest, InsertingAndRemovingSegmentsKeepsTheSelectedTitle)
{
    showControl(false);
    control->setSelectedSegmentIndex(1);
    control->insertSegment("Web", 0);
    EXPECT_EQ(control->selectedSegmentIndex(), 2);
    EXPECT_EQ(control->titleForSegmentAtIndex(2), "Facebook");
    control->insertSegment("Last", 99);
    EXPECT_EQ(control->titleForSegmentAtIndex(4), "Last");
    control->removeSegment(0);
    EXPECT_EQ(control->titleForSegmentAtIndex(control->selectedSegmentIndex()), "Facebook");
    control->removeSegment(control->selectedSegmentIndex());
    EXPECT_EQ(control->selectedSegmentIndex(), SegmentedControl::kNoSegment);
    EXPECT_EQ(control->titleForSegmentAtIndex(-1), "");
    EXPECT_EQ(control->numberOfSegments(), 3);
    // The segments share the width, and a tap lands on the segment drawn there.
    host->tap(segmentCenter(2));
    EXPECT_EQ(changes.back(), (Change { 2, "Last" }));
}

TEST_F(SegmentedControlTest, SizeFitsTheWidestTitleInEverySegment)
{
    auto pair = View::create<SegmentedControl>(std::vector<std::string> { "A", "A much longer title" });
    auto single = View::create<SegmentedControl>(std::vector<std::string> { "A much longer title" });
    Size fitted = pair->sizeThatFits({});
    EXPECT_NEAR(fitted.width, 2 * single->sizeThatFits({}).width, 1);
    EXPECT_EQ(fitted.height, 29);
    EXPECT_EQ(pair->frame().size, fitted) << "made at its fitting size";
    auto empty = View::create<SegmentedControl>();
    EXPECT_GT(empty->sizeThatFits({}).width, 0);
    EXPECT_EQ(empty->segmentAtPoint({ 1, 1 }), SegmentedControl::kNoSegment);
}

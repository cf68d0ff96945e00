// SPDX-License-Identifier: MIT
#include "widget/VistrelController.h"
#include "widget/VistrelHost.h"

#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/RunLoop.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/Render.h"
#include "kit/ui/VisualEffectView.h"
#include "kit/ui/Window.h"
#include "tests/support/ScreenTestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

kit::Dict usage(double disk, double wired, double active, double inactive, const char* suffix = "")
{
    auto text = [&](const char* base) { return std::string(base) + suffix; };
    return {
        { std::string(SharedTools::kUsedPercentDiskKey), disk },
        { std::string(SharedTools::kWiredPercentRamKey), wired },
        { std::string(SharedTools::kActivePercentRamKey), active },
        { std::string(SharedTools::kInactivePercentRamKey), inactive },
        { std::string(SharedTools::kFreePercentRamKey), 1 - wired - active - inactive },
        { std::string(SharedTools::kUsedDiskStrKey), text("10.0 GB") },
        { std::string(SharedTools::kFreeDiskStrKey), text("30.0 GB") },
        { std::string(SharedTools::kAllDiskStrKey), text("40.0 GB") },
        { std::string(SharedTools::kWiredRamStrKey), text("1.0 GB") },
        { std::string(SharedTools::kActiveRamStrKey), text("2.0 GB") },
        { std::string(SharedTools::kInactiveRamStrKey), text("3.0 GB") },
        { std::string(SharedTools::kFreeRamStrKey), text("4.0 GB") },
        { std::string(SharedTools::kAllRamStrKey), text("10.0 GB") },
    };
}

class VistrelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LANGUAGE", "en", 1);
        kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources/vistrel");
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
        kit::setReduceTransparencyOverride(false);
    }
    void TearDown() override
    {
        kit::setReduceTransparencyOverride(std::nullopt);
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
        kit::Bundle::setMainBundlePath({});
    }

    std::shared_ptr<VistrelController> makeController(double width, kit::Dict figures)
    {
        auto controller = kit::ViewController::create<VistrelController>();
        controller->usageProvider = [this] { return current; };
        current = std::move(figures);
        kit::test::loadScreen(*controller, { width, 160 });
        return controller;
    }

    kit::Label* label(VistrelController&, kit::View* panel, int tag)
    {
        return dynamic_cast<kit::Label*>(panel->viewWithTag(tag));
    }

    kit::Dict current;
};

} // namespace

TEST_F(VistrelTest, BarsSpanTheWidgetByTheirFractions)
{
    auto controller = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    controller->viewWillAppear(false);
    EXPECT_EQ(controller->wiredMemoryValue(), 64);
    EXPECT_EQ(controller->activeMemoryValue(), 96);
    EXPECT_EQ(controller->inactiveMemoryValue(), 32);
    EXPECT_EQ(controller->usedDiscSpaceValue(), 80);
    EXPECT_EQ(controller->memChartBarOrangeImageView()->frame(),
        kit::Rect(0, 0, 64, controller->memChartBarOrangeImageView()->frame().height()));
    EXPECT_EQ(controller->memChartBarBlueImageView()->frame().minX(), 64);
    EXPECT_EQ(controller->memChartBarGreenImageView()->frame().minX(), 160);
    // The free remainder (128 points) shows the track.
    EXPECT_EQ(controller->memChartBarGreenImageView()->frame().maxX(), 192);
    EXPECT_EQ(controller->diskChartBarBlueImageView()->frame().width(), 80);
}

TEST_F(VistrelTest, HalfWidthsRoundAwayFromZero)
{
    auto controller = makeController(315, usage(0.5, 0.5, 0.0, 0.0));
    controller->viewWillAppear(false);
    EXPECT_EQ(controller->usedDiscSpaceValue(), 158);
    EXPECT_EQ(controller->wiredMemoryValue(), 158);
    EXPECT_EQ(controller->activeMemoryValue(), 0);
}

TEST_F(VistrelTest, LegendMarksStandAtTheirColumns)
{
    auto controller = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    controller->viewWillAppear(false);
    auto markXs = [](kit::View* panel, kit::View* content) {
        std::vector<double> xs;
        for (kit::View* parent : { panel, content })
            for (auto& subview : parent->subviews())
                if (auto* mark = dynamic_cast<kit::ImageView*>(subview.get()); mark && mark->frame().width() == 10)
                    xs.push_back(mark->frame().minX());
        std::sort(xs.begin(), xs.end());
        return xs;
    };
    EXPECT_EQ(markXs(controller->diskPanel(), controller->diskPanelEffectView()->contentView()),
        (std::vector<double> { 8, 128 }));
    EXPECT_EQ(markXs(controller->memPanel(), controller->memPanelEffectView()->contentView()),
        (std::vector<double> { 8, 80, 160, 240 }));
    // The "Free" marks and the labels sit in the vibrancy layer; the coloured marks do not.
    auto* free = label(*controller, controller->memPanelEffectView()->contentView(), 4);
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(free->text(), "4.0 GB");
}

TEST_F(VistrelTest, PhoneValuesStandUnderTheirNamesTabletValuesBeside)
{
    auto phone = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    phone->viewWillAppear(false);
    auto* value = label(*phone, phone->memPanel(), 2);
    ASSERT_NE(value, nullptr);
    // The name is the label drawn just before the value in the same layer.
    auto& siblings = value->superview()->subviews();
    auto it = std::find_if(siblings.begin(), siblings.end(), [&](auto& v) { return v.get() == value; });
    auto* name = dynamic_cast<kit::Label*>((it - 1)->get());
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "Active");
    EXPECT_NEAR(value->frame().midY() - name->frame().midY(), 13, 1e-9);
    EXPECT_DOUBLE_EQ(value->frame().minX(), name->frame().minX());

    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("ipad-2"));
    auto pad = makeController(768, usage(0.25, 0.2, 0.3, 0.1));
    pad->viewWillAppear(false);
    value = label(*pad, pad->memPanel(), 2);
    auto& padSiblings = value->superview()->subviews();
    it = std::find_if(padSiblings.begin(), padSiblings.end(), [&](auto& v) { return v.get() == value; });
    name = dynamic_cast<kit::Label*>((it - 1)->get());
    EXPECT_NEAR(value->frame().midY(), name->frame().midY(), 1e-9);
    EXPECT_GE(value->frame().minX(), name->frame().maxX() + 5 - 1e-9);
    EXPECT_DOUBLE_EQ(value->font()->pointSize(), 14);
    // A tablet that is not a large one gives the disk panel half the height.
    EXPECT_DOUBLE_EQ(pad->diskPanel()->frame().height(), 80);
}

TEST_F(VistrelTest, TitlesNameTheTotals)
{
    auto controller = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    controller->viewWillAppear(false);
    EXPECT_EQ(controller->diskTitleLabel()->text(), "Capacity 40.0 GB");
    EXPECT_EQ(controller->memTitleLabel()->text(), "Memory 10.0 GB");
    EXPECT_DOUBLE_EQ(controller->diskTitleLabel()->frame().minX(), 8);
    EXPECT_GT(controller->diskTitleLabel()->frame().width(), 0);
}

TEST_F(VistrelTest, SecondRefreshMovesTheBars)
{
    auto controller = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    controller->viewWillAppear(false);
    current = usage(0.5, 0.1, 0.1, 0.1);
    bool completed = false;
    controller->widgetPerformUpdateWithCompletionHandler(
        [&](VistrelController::UpdateResult result) { completed = result == VistrelController::UpdateResult::NewData; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(controller->diskChartBarBlueImageView()->frame().width(), 160);
    EXPECT_EQ(controller->memChartBarOrangeImageView()->frame().width(), 32);
    EXPECT_EQ(controller->memChartBarBlueImageView()->frame().minX(), 32);
    EXPECT_EQ(controller->memChartBarGreenImageView()->frame().minX(), 64);
}

TEST_F(VistrelTest, LabelsFollowRefreshesAfterTheTransparencySettingChanges)
{
    kit::setReduceTransparencyOverride(true);
    auto controller = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    controller->viewWillAppear(false);
    // Built with reduce transparency on: the labels live in the panel itself.
    auto* value = label(*controller, controller->diskPanel(), 5);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->superview(), controller->diskPanel());

    kit::setReduceTransparencyOverride(false);
    current = usage(0.25, 0.2, 0.3, 0.1, " (new)");
    controller->updateInfo();
    EXPECT_EQ(value->text(), "10.0 GB (new)");
    EXPECT_EQ(label(*controller, controller->memPanel(), 4)->text(), "4.0 GB (new)");
}

TEST_F(VistrelTest, MissingFiguresGiveEmptyBarsAndLabels)
{
    auto controller = makeController(320, {});
    controller->viewWillAppear(false);
    EXPECT_EQ(controller->wiredMemoryValue(), 0);
    EXPECT_EQ(label(*controller, controller->diskPanel(), 5)->text(), "");
    EXPECT_EQ(controller->memTitleLabel()->text(), "Memory ");
}

TEST_F(VistrelTest, HostUpdatesOnShowAndOnTheIntervalAndATapOpensQuarrin)
{
    kit::RunLoop::main().setVirtualClock(true);
    {
        kit::HostOptions options;
        options.windowSize = kit::Size { 320, 160 };
        options.statusBar = false;
        options.scale = 1;
        kit::HeadlessHost host(options);
        VistrelHost widget({ 320, 160 }, 3);
        host.launch(&widget);
        ASSERT_NE(widget.controller(), nullptr);
        EXPECT_FALSE(widget.controller()->needsReloadUI());
        int afterLaunch = widget.updatesRequested();
        EXPECT_GE(afterLaunch, 1);
        host.advance(10);
        EXPECT_EQ(widget.updatesRequested(), afterLaunch + 3);
        host.enterBackground();
        host.advance(10);
        EXPECT_EQ(widget.updatesRequested(), afterLaunch + 3);

        ASSERT_TRUE(host.render());
        host.tap({ 160, 80 });
        ASSERT_EQ(host.openedURLs().size(), 1u);
        EXPECT_EQ(host.openedURLs()[0], "velmora-quarrin://");
        host.terminate();
    }
    kit::RunLoop::main().setVirtualClock(false);
}

TEST_F(VistrelTest, WindowIsAsWideAsTheProfilesLayoutAndNarrowTabletsTakeThePhoneLayout)
{
    EXPECT_EQ(VistrelController::preferredSize(*kit::DeviceProfile::named("iphone-6-plus")), (kit::Size { 320, 160 }));
    EXPECT_EQ(VistrelController::preferredSize(*kit::DeviceProfile::named("ipad-2")), (kit::Size { 768, 160 }));
    EXPECT_EQ(VistrelController::preferredSize(*kit::DeviceProfile::named("ipad-pro-12.9")), (kit::Size { 768, 160 }));

    // A tablet's widget narrower than the tablet layout needs is laid out as a phone's: small
    // fonts, values under their names (on a 320-point tablet widget they once piled up).
    kit::DeviceProfile::setCurrent(*kit::DeviceProfile::named("ipad-2"));
    auto narrow = makeController(320, usage(0.25, 0.2, 0.3, 0.1));
    narrow->viewWillAppear(false);
    auto* value = label(*narrow, narrow->memPanel(), 2);
    ASSERT_NE(value, nullptr);
    EXPECT_DOUBLE_EQ(value->font()->pointSize(), 11);
    EXPECT_DOUBLE_EQ(narrow->memTitleLabel()->font()->pointSize(), 13);
    EXPECT_DOUBLE_EQ(narrow->diskPanel()->frame().height(), 160 * 0.45);
    auto& siblings = value->superview()->subviews();
    auto name = std::find_if(siblings.begin(), siblings.end(), [](auto& view) {
        auto* text = dynamic_cast<kit::Label*>(view.get());
        return text && text->text() == "Active";
    });
    ASSERT_NE(name, siblings.end());
    EXPECT_NEAR(value->frame().midY() - (*name)->frame().midY(), 13, 1e-9);

    auto wide = makeController(768, usage(0.25, 0.2, 0.3, 0.1));
    wide->viewWillAppear(false);
    EXPECT_DOUBLE_EQ(label(*wide, wide->memPanel(), 2)->font()->pointSize(), 14);
    EXPECT_DOUBLE_EQ(wide->memTitleLabel()->font()->pointSize(), 17);
}

TEST_F(VistrelTest, ReturnOpensQuarrinAndTabFocusesTheWholeWidget)
{
    kit::RunLoop::main().setVirtualClock(true);
    {
        kit::HostOptions options;
        options.windowSize = kit::Size { 320, 160 };
        options.statusBar = false;
        options.scale = 1;
        kit::HeadlessHost host(options);
        VistrelHost widget({ 320, 160 }, 3);
        host.launch(&widget);
        EXPECT_FALSE(host.pressKey(kit::Key::Escape));
        EXPECT_TRUE(host.openedURLs().empty());
        // Nothing focused yet: Return goes to the widget itself.
        EXPECT_TRUE(host.pressKey(kit::Key::Return));
        ASSERT_EQ(host.openedURLs().size(), 1u);
        EXPECT_EQ(host.openedURLs()[0], "velmora-quarrin://");

        // Tab focuses the one control, the whole widget; Space presses it.
        EXPECT_TRUE(host.pressKey(kit::Key::Tab));
        ASSERT_NE(host.keyWindow()->firstResponder(), nullptr);
        EXPECT_TRUE(host.pressKey(kit::Key::Space));
        EXPECT_EQ(host.openedURLs().size(), 2u);
        host.terminate();
    }
    kit::RunLoop::main().setVirtualClock(false);
}

// A refresh is drawn in proportion to what changed: the same figures again damage nothing (no
// frame is drawn), and one changed value damages its own label's neighbourhood, not the window.
TEST_F(VistrelTest, UnchangedRefreshDamagesNothingAndOneNewValueOnlyItsLabel)
{
    current = usage(0.25, 0.2, 0.3, 0.1);
    auto window = kit::View::create<kit::Window>();
    window->setFrame({ 0, 0, 320, 160 });
    auto controller = kit::ViewController::create<VistrelController>();
    controller->usageProvider = [this] { return current; };
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    window->clearNeedsRedraw();
    controller->widgetPerformUpdateWithCompletionHandler({});
    window->layoutIfNeeded();
    EXPECT_FALSE(window->needsRedraw());
    EXPECT_TRUE(window->dirtyRects().empty());

    current[std::string(SharedTools::kWiredRamStrKey)] = std::string("1.5 GB");
    controller->widgetPerformUpdateWithCompletionHandler({});
    window->layoutIfNeeded();
    EXPECT_TRUE(window->needsRedraw());
    kit::Label* wired = label(*controller, controller->memPanel(), 1);
    ASSERT_NE(wired, nullptr);
    kit::Rect labelArea = wired->convertRectTo(wired->bounds(), nullptr);
    kit::Rect dirty = window->dirtyRect();
    EXPECT_TRUE(dirty.intersects(labelArea));
    EXPECT_FALSE(dirty.intersects(controller->diskPanel()->frame())) << "the disk panel did not change";
    EXPECT_LT(dirty.width(), 320 / 2);
}

namespace {

// How many bytes differ between two renderings of the same size.
int differingBytes(cairo_surface_t* a, cairo_surface_t* b)
{
    int height = cairo_image_surface_get_height(a);
    int rowBytes = cairo_image_surface_get_width(a) * 4;
    int differing = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* rowA = cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a);
        const unsigned char* rowB = cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b);
        for (int x = 0; x < rowBytes; ++x)
            differing += rowA[x] != rowB[x];
    }
    return differing;
}

} // namespace

// The bars show their images over the bar area's width, cut at each bar's end: exactly the
// pixels of each image stretched to its own bar, at one and two pixels per point.
TEST_F(VistrelTest, BarsShowTheSamePixelsAsTheirImagesStretchedToEachBar)
{
    for (auto figures : { usage(0.37, 0.123, 0.377, 0.2), usage(0.999, 0.05, 0.61, 0.33), usage(0.004, 0.5, 0.5, 0.0) }) {
        auto controller = makeController(320, figures);
        controller->viewWillAppear(false);
        for (kit::ImageView* first : { controller->diskChartBarBlueImageView(), controller->memChartBarOrangeImageView() }) {
            kit::View* area = first->superview();
            ASSERT_NE(area, nullptr);
            // The same bars as plain stretched image views.
            auto plain = kit::View::create();
            plain->setFrame(area->bounds());
            plain->setClipsToBounds(true);
            for (auto& bar : area->subviews()) {
                auto* image = dynamic_cast<kit::ImageView*>(bar.get());
                ASSERT_NE(image, nullptr);
                auto copy = kit::View::create<kit::ImageView>(image->image());
                copy->setContentMode(kit::ContentMode::ScaleToFill);
                copy->setFrame(image->frame());
                plain->addSubview(copy);
            }
            for (double scale : { 1.0, 2.0 }) {
                cairo_surface_t* shown = kit::renderToSurface(*area, area->bounds().size, scale);
                cairo_surface_t* expected = kit::renderToSurface(*plain, area->bounds().size, scale);
                EXPECT_EQ(differingBytes(shown, expected), 0) << "scale " << scale << ", bar " << first->frame().width();
                cairo_surface_destroy(shown);
                cairo_surface_destroy(expected);
            }
        }
    }
}

// SPDX-License-Identifier: MIT
// The Usage screen and the widget on every device profile, drawn from canned figures and compared
// with checked-in pictures; and the contrast of their texts, measured on the drawn pixels.
//
// After an intended change of the look, rewrite the pictures with
//   QUARRIN_UPDATE_REFERENCES=1 build/tests/app/usage/app_usage_ReferenceImageTests
// and look at the changed files before committing them.
#include "app/usage/UsageController.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/device/Device.h"
#include "kit/device/DeviceProfile.h"
#include "kit/device/MemorySource.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/Png.h"
#include "kit/ui/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "tests/support/ScreenTestSupport.h"
#include "widget/VistrelController.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

// Everything that reaches the pixels is pinned before the first text is measured: the fonts (the
// ones scripts/setup installs, with fixed rendering settings rather than this machine's
// fontconfig), the time zone of the boot time, and the language.
struct PinnedEnvironment {
    PinnedEnvironment()
    {
        setenv("FONTCONFIG_FILE", QUARRIN_TEST_DATA_DIR "/references-fonts.conf", 1);
        setenv("TZ", "UTC", 1);
        setenv("LANG", "en_US.UTF-8", 1);
        for (const char* variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_TIME" })
            unsetenv(variable);
    }
};
const PinnedEnvironment pinned;

constexpr const char* kReferenceDir = QUARRIN_SOURCE_DIR "/tests/app/usage/references";
constexpr const char* kCannedRoot = QUARRIN_TEST_DATA_DIR "/device/laptop";
constexpr double kScale = 2;
// Heights of the status bar and the tab bar, between which the app shows a screen.
constexpr double kStatusBarHeight = 20;
constexpr double kTabBarHeight = 49;
// A pixel counts as different when a channel differs by more than this (of 255) ...
constexpr int kChannelTolerance = 8;
// ... and a picture as changed when more than this share of its pixels differ: small enough that
// one changed word (two interface names moved 0.15 % of a phone picture) fails.
constexpr double kChangedShareTolerance = 0.0005;

bool updating()
{
    const char* value = std::getenv("QUARRIN_UPDATE_REFERENCES");
    return value && *value && std::string(value) != "0";
}

// The figures: memory from the canned /proc, a fixed disk, two interfaces without link-level
// addresses (whether those show depends on the kernel's version).
kit::Dict cannedUsage()
{
    SharedTools::MemoryFigures figures;
    if (auto memory = kit::MemorySource(kCannedRoot, 4096).read(); memory.ok()) {
        figures.physicalMemory = memory->physicalMemory;
        figures.freePages = memory->freePages;
        figures.activePages = memory->activePages;
        figures.inactivePages = memory->inactivePages;
        figures.wiredPages = memory->wiredPages;
    }
    return SharedTools::usageDict(figures, 256LL << 30, 71LL << 30);
}

kit::InterfaceEntry ipv4(const char* name, std::uint8_t last)
{
    kit::InterfaceEntry entry;
    entry.name = name;
    entry.family = kit::InterfaceEntry::kFamilyIPv4;
    entry.address = { 192, 0, 2, last };
    entry.addressLength = 4;
    return entry;
}

void giveCannedFigures(UsageController& screen)
{
    screen.usageProvider = cannedUsage;
    screen.configurationProvider = [] {
        return kit::Result<std::vector<kit::InterfaceEntry>>(std::vector { ipv4("eth0", 10), ipv4("wlan0", 20) });
    };
    screen.countersProvider = [] {
        return kit::Result<std::vector<kit::InterfaceCounters>>(std::vector<kit::InterfaceCounters> {
            { "eth0", 18, 50'123'456, 1'234'567 }, { "wlan0", 18, 987'654'321, 76'543'210 } });
    };
    screen.kindProvider
        = [](std::string_view name) { return name.starts_with("wl") ? kit::InterfaceKind::Wireless : kit::InterfaceKind::Wired; };
}

struct Shot {
    std::string name;
    kit::DeviceProfile profile;
};

void PrintTo(const Shot& shot, std::ostream* out) { *out << shot.name; }

std::vector<Shot> usageShots()
{
    std::vector<Shot> shots;
    for (auto& profile : kit::DeviceProfile::builtInProfiles())
        shots.push_back({ "usage-" + profile.name, profile });
    kit::DeviceProfile turned = *kit::DeviceProfile::named("ipad-2");
    std::swap(turned.screenSize.width, turned.screenSize.height);
    shots.push_back({ "usage-ipad-2-landscape", turned });
    return shots;
}

std::vector<Shot> widgetShots()
{
    std::vector<Shot> shots;
    for (auto& profile : kit::DeviceProfile::builtInProfiles())
        shots.push_back({ "widget-" + profile.name, profile });
    return shots;
}

// One picture: a headless window of the profile (no status bar: its clock and battery are this
// machine's), drawn at twice the point size.
class Scene {
public:
    Scene(const kit::DeviceProfile& profile, kit::Size size)
    {
        kit::Device::setRoot(kCannedRoot);
        kit::DeviceProfile::setCurrent(profile);
        kit::Image::clearCache();
        kit::HostOptions options;
        options.profile = profile;
        options.windowSize = size;
        options.statusBar = false;
        options.scale = kScale;
        options.deviceRoot = kCannedRoot;
        m_host = std::make_unique<kit::HeadlessHost>(options);
    }
    ~Scene()
    {
        m_host.reset();
        kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
        kit::Device::setRoot("/");
        kit::Bundle::setMainBundlePath({});
        kit::Image::clearCache();
    }
    kit::HeadlessHost& host() { return *m_host; }

private:
    std::unique_ptr<kit::HeadlessHost> m_host;
};

// The Usage screen as the app shows it: over the launch picture, between the bars.
std::shared_ptr<UsageController> showUsage(Scene& scene, kit::Size size)
{
    auto root = kit::View::create();
    root->setFrame({ 0, 0, size.width, size.height });
    auto background = kit::View::create<kit::ImageView>(SharedTools::launchImage());
    background->setFrame(root->bounds());
    root->addSubview(background);
    auto screen = kit::ViewController::create<UsageController>();
    giveCannedFigures(*screen);
    kit::test::loadScreen(*screen, { size.width, size.height - kStatusBarHeight - kTabBarHeight });
    screen->view()->setFrame({ 0, kStatusBarHeight, size.width, size.height - kStatusBarHeight - kTabBarHeight });
    root->addSubview(screen->viewPtr());
    scene.host().show(root);
    screen->viewWillAppear(false);
    scene.host().advance(0.1);
    return screen;
}

// The widget on its window's colour, at the size its program gives it for the profile.
std::shared_ptr<VistrelController> showWidget(Scene& scene, kit::Size size)
{
    // The widget's own bundle: its strings and its stretchable bars.
    kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources/vistrel");
    kit::Image::clearCache();
    auto widget = kit::ViewController::create<VistrelController>();
    widget->usageProvider = cannedUsage;
    kit::test::loadScreen(*widget, size);
    widget->view()->setBackgroundColor(kit::Color::rgba(0.17, 0.20, 0.25, 1));
    scene.host().show(widget->viewPtr());
    widget->viewWillAppear(false);
    scene.host().advance(0.1);
    return widget;
}

// ---- Pictures ---------------------------------------------------------------------------------

struct Surface {
    explicit Surface(cairo_surface_t* s)
        : surface(s)
    {
    }
    ~Surface()
    {
        if (surface)
            cairo_surface_destroy(surface);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    bool ok() const { return surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    std::uint32_t pixel(int x, int y) const
    {
        auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(row)[x];
    }
    cairo_surface_t* surface;
};

int channelDifference(std::uint32_t a, std::uint32_t b)
{
    int most = 0;
    for (int shift : { 0, 8, 16, 24 })
        most = std::max(most, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
    return most;
}

std::filesystem::path outputDir()
{
    auto dir = std::filesystem::path(QUARRIN_BINARY_DIR) / "tests/app/usage/reference-output";
    std::filesystem::create_directories(dir);
    return dir;
}

// Compares the host's picture with the reference of that name; on a difference writes the
// actual picture and a difference picture (changed pixels red over a faded copy) and names them.
void expectMatchesReference(kit::HeadlessHost& host, const std::string& name)
{
    std::string reference = std::string(kReferenceDir) + "/" + name + ".png";
    if (updating()) {
        std::filesystem::create_directories(kReferenceDir);
        ASSERT_TRUE(host.writePNG(reference).ok());
        std::printf("updated %s\n", reference.c_str());
        return;
    }
    std::string actualPath = (outputDir() / (name + "-actual.png")).string();
    ASSERT_TRUE(host.writePNG(actualPath).ok());
    Surface expected(cairo_image_surface_create_from_png(reference.c_str()));
    Surface actual(cairo_image_surface_create_from_png(actualPath.c_str()));
    ASSERT_TRUE(actual.ok());
    ASSERT_TRUE(expected.ok()) << "no reference picture " << reference << "; the actual one is " << actualPath
                               << " (QUARRIN_UPDATE_REFERENCES=1 writes the references)";
    ASSERT_EQ(expected.width(), actual.width()) << name;
    ASSERT_EQ(expected.height(), actual.height()) << name;

    Surface difference(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, actual.width(), actual.height()));
    cairo_surface_flush(difference.surface);
    long changed = 0;
    int worst = 0;
    for (int y = 0; y < actual.height(); ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(
            cairo_image_surface_get_data(difference.surface) + y * cairo_image_surface_get_stride(difference.surface));
        for (int x = 0; x < actual.width(); ++x) {
            int delta = channelDifference(expected.pixel(x, y), actual.pixel(x, y));
            worst = std::max(worst, delta);
            std::uint32_t faded = (actual.pixel(x, y) >> 2) & 0x003f3f3f;
            if (delta > kChannelTolerance) {
                ++changed;
                out[x] = 0xffff0000;
            } else {
                out[x] = 0xff000000 | faded;
            }
        }
    }
    cairo_surface_mark_dirty(difference.surface);
    double share = double(changed) / (double(actual.width()) * actual.height());
    if (share > kChangedShareTolerance) {
        std::string differencePath = (outputDir() / (name + "-difference.png")).string();
        ASSERT_TRUE(kit::writePNG(difference.surface, differencePath).ok());
        ADD_FAILURE() << name << ": " << changed << " pixels (" << share * 100 << " %) differ by more than " << kChannelTolerance
                      << " (largest difference " << worst << ")\n  reference  " << reference << "\n  actual     " << actualPath
                      << "\n  difference " << differencePath;
    } else {
        std::filesystem::remove(actualPath);
    }
}

class UsageReference : public ::testing::TestWithParam<Shot> { };

TEST_P(UsageReference, MatchesTheReferencePicture)
{
    const Shot& shot = GetParam();
    kit::Size size { shot.profile.screenSize.width, shot.profile.screenSize.height };
    Scene scene(shot.profile, size);
    auto screen = showUsage(scene, size);
    ASSERT_EQ(screen->networkDataModel().size(), 2u);
    expectMatchesReference(scene.host(), shot.name);
}

class WidgetReference : public ::testing::TestWithParam<Shot> { };

TEST_P(WidgetReference, MatchesTheReferencePicture)
{
    const Shot& shot = GetParam();
    kit::Size size = VistrelController::preferredSize(shot.profile);
    Scene scene(shot.profile, size);
    auto widget = showWidget(scene, size);
    ASSERT_FALSE(widget->memTitleLabel()->text().empty());
    expectMatchesReference(scene.host(), shot.name);
}

std::string shotName(const ::testing::TestParamInfo<Shot>& info)
{
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Profiles, UsageReference, ::testing::ValuesIn(usageShots()), shotName);
INSTANTIATE_TEST_SUITE_P(Profiles, WidgetReference, ::testing::ValuesIn(widgetShots()), shotName);

// ---- Widget legend ---------------------------------------------------------------------------

// On every profile, at the size its program opens, with the longest figures and the fonts the
// program finds on a machine set up by scripts/setup: no legend text
// touches another text or a mark, none leaves its panel or reaches into the bars, and the titles
// stay on their bars.
TEST(WidgetLegend, TextsKeepClearOfTheirNeighboursOnEveryProfile)
{
    kit::Bundle::setMainBundlePath(QUARRIN_SOURCE_DIR "/resources/vistrel");
    kit::Dict longest = cannedUsage();
    for (std::string_view key : { SharedTools::kUsedDiskStrKey, SharedTools::kFreeDiskStrKey, SharedTools::kWiredRamStrKey,
             SharedTools::kActiveRamStrKey, SharedTools::kInactiveRamStrKey, SharedTools::kFreeRamStrKey })
        longest.insert_or_assign(std::string(key), "1023.9 MB");
    for (auto& profile : kit::DeviceProfile::builtInProfiles()) {
        kit::DeviceProfile::setCurrent(profile);
        kit::Size size = VistrelController::preferredSize(profile);
        auto controller = kit::ViewController::create<VistrelController>();
        controller->usageProvider = [&] { return longest; };
        kit::test::loadScreen(*controller, size);
        controller->viewWillAppear(false);
        for (kit::View* panel : { controller->diskPanel(), controller->memPanel() }) {
            std::vector<kit::Rect> texts;
            std::vector<kit::Rect> marks;
            kit::Rect bars;
            std::function<void(kit::View&)> collect = [&](kit::View& view) {
                for (auto& subview : view.subviews()) {
                    kit::Rect frame = subview->convertRectTo(subview->bounds(), panel);
                    if (auto* text = dynamic_cast<kit::Label*>(subview.get());
                        text && text != controller->diskTitleLabel() && text != controller->memTitleLabel())
                        texts.push_back(frame);
                    else if (dynamic_cast<kit::ImageView*>(subview.get()) && frame.width() == 10 && frame.height() == 10)
                        marks.push_back(frame);
                    else if (subview->clipsToBounds())
                        bars = frame;
                    collect(*subview);
                }
            };
            collect(*panel);
            ASSERT_EQ(texts.size(), panel == controller->diskPanel() ? 4u : 8u) << profile.name;
            for (std::size_t i = 0; i < texts.size(); ++i) {
                EXPECT_TRUE(panel->bounds().contains(texts[i])) << profile.name << " text " << i;
                EXPECT_GE(texts[i].minY(), bars.maxY()) << profile.name << " text " << i;
                for (std::size_t j = i + 1; j < texts.size(); ++j)
                    EXPECT_FALSE(texts[i].intersects(texts[j])) << profile.name << " texts " << i << " and " << j;
                for (auto& mark : marks)
                    EXPECT_FALSE(texts[i].intersects(mark)) << profile.name << " text " << i;
            }
        }
        for (auto* title : { controller->diskTitleLabel(), controller->memTitleLabel() }) {
            kit::Rect bars = title == controller->diskTitleLabel()
                ? controller->diskChartBarBlueImageView()->superview()->frame()
                : controller->memChartBarOrangeImageView()->superview()->frame();
            EXPECT_TRUE(bars.contains(title->frame())) << profile.name;
        }
    }
    kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
    kit::Bundle::setMainBundlePath({});
}

// ---- Contrast ---------------------------------------------------------------------------------

double luminance(const kit::Color& color)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

double contrast(const kit::Color& a, const kit::Color& b)
{
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ContrastFormula, FollowsTheWcagDefinition)
{
    EXPECT_NEAR(contrast(kit::Color::white(), kit::Color::black()), 21, 1e-9);
    EXPECT_NEAR(contrast(kit::Color::white(0.5), kit::Color::white(0.5)), 1, 1e-9);
    // #777 on white is the well-known 4.48 : 1.
    EXPECT_NEAR(contrast(kit::Color::rgba(0x77 / 255.0, 0x77 / 255.0, 0x77 / 255.0, 1), kit::Color::white()), 4.48, 0.01);
}

// The lowest contrast of a label's text against what it stands on, from the window's pixels:
// the window is drawn with the label and without it. Inside the label's frame, the pixel that
// changed most is the ink at full cover; it is measured against every pixel of the frame drawn
// without the label (the text's shadow is left out of that backdrop, so a shadow does not help).
double lowestContrast(kit::HeadlessHost& host, kit::Label& label)
{
    kit::Rect frame = label.convertRectTo(label.bounds(), nullptr);
    std::vector<std::pair<kit::Point, kit::Color>> with;
    auto sample = [&](const std::function<void(kit::Point, kit::Color)>& visit) {
        for (double y = frame.minY(); y < frame.maxY(); y += 1 / kScale)
            for (double x = frame.minX(); x < frame.maxX(); x += 1 / kScale)
                if (auto color = host.pixelAt({ x, y }))
                    visit({ x, y }, *color);
    };
    sample([&](kit::Point point, kit::Color color) { with.emplace_back(point, color); });
    label.setHidden(true);
    std::vector<kit::Color> without;
    sample([&](kit::Point, kit::Color color) { without.push_back(color); });
    label.setHidden(false);
    host.render();
    if (with.empty() || with.size() != without.size())
        return 0;
    auto distance = [](const kit::Color& a, const kit::Color& b) {
        return std::max({ std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue) });
    };
    std::size_t inkIndex = 0;
    for (std::size_t i = 0; i < with.size(); ++i)
        if (distance(with[i].second, without[i]) > distance(with[inkIndex].second, without[inkIndex]))
            inkIndex = i;
    kit::Color ink = with[inkIndex].second;
    double lowest = 21;
    for (auto& backdrop : without)
        lowest = std::min(lowest, contrast(ink, backdrop));
    return lowest;
}

class TextContrast : public ::testing::TestWithParam<Shot> { };

TEST_P(TextContrast, UsagePanelTextsReadAtFourAndAHalfToOne)
{
    const Shot& shot = GetParam();
    kit::Size size { shot.profile.screenSize.width, shot.profile.screenSize.height };
    Scene scene(shot.profile, size);
    auto screen = showUsage(scene, size);
    std::vector<kit::Label*> labels { screen->diskPanelTitleLabel(), screen->memPanelTitleLabel() };
    for (auto* label : screen->diskValueLabels())
        labels.push_back(label);
    for (auto* label : screen->memValueLabels())
        labels.push_back(label);
    for (auto* label : labels) {
        ASSERT_FALSE(label->text().empty());
        EXPECT_GE(lowestContrast(scene.host(), *label), 4.5) << shot.name << ": \"" << label->text() << "\"";
    }
}

TEST_P(TextContrast, WidgetTitlesAndLegendValuesReadAtFourAndAHalfToOne)
{
    const Shot& shot = GetParam();
    kit::Size size = VistrelController::preferredSize(shot.profile);
    Scene scene(shot.profile, size);
    auto widget = showWidget(scene, size);
    std::vector<kit::Label*> labels { widget->diskTitleLabel(), widget->memTitleLabel() };
    for (int tag : { 1, 2, 3, 4, 5, 6 })
        labels.push_back(dynamic_cast<kit::Label*>(widget->view()->viewWithTag(tag)));
    for (auto* label : labels) {
        ASSERT_NE(label, nullptr);
        ASSERT_FALSE(label->text().empty());
        EXPECT_GE(lowestContrast(scene.host(), *label), 4.5) << shot.name << ": \"" << label->text() << "\"";
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, TextContrast,
    ::testing::Values(Shot { "iphone_4s", *kit::DeviceProfile::named("iphone-4s") },
        Shot { "iphone_6", *kit::DeviceProfile::named("iphone-6") },
        Shot { "iphone_6_plus", *kit::DeviceProfile::named("iphone-6-plus") },
        Shot { "ipad_2", *kit::DeviceProfile::named("ipad-2") }),
    shotName);

} // namespace

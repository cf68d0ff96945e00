// SPDX-License-Identifier: MIT
#include "widget/VistrelController.h"

#include "common/metrics/AccessibilityText.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/device/Device.h"
#include "kit/ui/Application.h"
#include "kit/ui/Button.h"
#include "kit/ui/GraphicsContext.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/VisualEffectView.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr kit::Color kUsedColor { 0, 0.63, 0.88, 1 };
constexpr kit::Color kWiredColor { 1, 0.44, 0, 1 };
constexpr kit::Color kActiveColor { 0, 0.63, 0.88, 1 };
constexpr kit::Color kInactiveColor { 0.07, 0.76, 0, 1 };
constexpr kit::Color kTitleColor { 0.07, 0.08, 0.10, 1 };
constexpr double kMarkSize = 10;
// Marks are drawn once at twice the point size so they stay round on HiDPI screens.
constexpr double kMarkScale = 2;

kit::Value colorValue(const kit::Color& color) { return kit::Array { color.red, color.green, color.blue, color.alpha }; }

kit::Color colorFrom(const kit::Value& value)
{
    return { value.at(0).doubleValue(), value.at(1).doubleValue(), value.at(2).doubleValue(), value.at(3).doubleValue() };
}

kit::Dict legendItem(int tag, const char* textKey, const kit::Color& color)
{
    return { { std::string(VistrelController::kValueLabelTagKey), tag }, { std::string(VistrelController::kTextKey), textKey },
        { std::string(VistrelController::kMarkTypeKey), colorValue(color) } };
}

// The fraction of the widget's width, in double, narrowed to float and rounded half away from zero.
double barWidth(double width, const kit::Value& fraction)
{
    return std::round(static_cast<float>(width * fraction.doubleValue()));
}

bool isPad() { return kit::Device::idiom() == kit::Idiom::Pad; }

// What sizeToFit() would make the label's size, without setting it: the layout sets each frame
// once. Setting the size first and then the place moved the frame through a centre a rounding
// error away from the last one, and every refresh damaged the label though nothing changed.
kit::Size fittingSize(const kit::Label& label) { return label.sizeThatFits(label.bounds().size); }

bool isLargePad()
{
    if (!isPad())
        return false;
    auto screen = kit::Device::screenSize();
    return screen.height >= 1366 || screen.width >= 1366;
}

std::string localized(std::string_view key) { return kit::Bundle::mainBundle().localizedString(key); }

kit::ImagePtr markImage(const kit::Color& color)
{
    return kit::Image::fromDrawing({ kMarkSize, kMarkSize }, kMarkScale, false, [&](kit::GraphicsContext& context) {
        context.setFillColor(color);
        context.fillEllipse({ 0, 0, kMarkSize, kMarkSize });
    });
}

std::shared_ptr<kit::Label> legendLabel(bool tabletRules, const char* fontName, double padSize, double phoneSize)
{
    auto label = kit::View::create<kit::Label>();
    label->setFont(SharedTools::fontWithName(fontName, tabletRules ? padSize : phoneSize));
    label->setTextColor(kit::Color::white(0.9, 1.0));
    label->setBackgroundColor(kit::Color::clear());
    return label;
}

std::shared_ptr<kit::Label> titleLabel(bool tabletRules)
{
    auto label = kit::View::create<kit::Label>();
    label->setFont(SharedTools::fontWithName("HelveticaNeue-Medium", tabletRules ? 17 : 13));
    // The titles stand on the bars and the light track: dark ink reads on both (white at 80 %
    // gave 2 : 1 on the track).
    label->setTextColor(kTitleColor);
    label->setBackgroundColor(kit::Color::clear());
    return label;
}

std::shared_ptr<kit::View> trackView(const kit::Rect& frame)
{
    auto track = kit::View::create();
    track->setFrame(frame);
    track->setBackgroundColor(kit::Color::lightGray());
    return track;
}

// A bar: its image stretched over the whole bar area and shown only as far as the bar reaches.
// The bar images shade from top to bottom only, so this is what stretching the image to the
// bar's own width showed; but the image is rasterised once for the area's width instead of at
// every new bar width (and the disk bar and the memory panel's active bar share one image).
class BarView final : public kit::ImageView {
public:
    void draw(kit::GraphicsContext& context, const kit::Rect& dirty) override
    {
        kit::Rect own = bounds();
        const kit::View* area = superview();
        if (!image() || own.isEmpty() || !area) {
            ImageView::draw(context, dirty);
            return;
        }
        context.save();
        context.clipToRect(own);
        context.drawImage(*image(), { own.x(), own.y(), std::max(own.width(), area->bounds().width()), own.height() });
        context.restore();
    }

protected:
    explicit BarView(kit::ImagePtr image)
        : ImageView(std::move(image))
    {
    }
    friend class kit::View;
};

std::shared_ptr<kit::ImageView> barView(const char* imageName)
{
    auto bar = kit::View::create<BarView>(kit::Image::named(imageName));
    bar->setContentMode(kit::ContentMode::ScaleToFill);
    return bar;
}

} // namespace

VistrelController::VistrelController()
    : usageProvider([] { return SharedTools::usageDict(); })
{
}

VistrelController::~VistrelController() = default;

bool VistrelController::usesTabletRules(double width) { return isPad() && width >= kTabletRulesWidth; }

kit::Size VistrelController::preferredSize(const kit::DeviceProfile& profile)
{
    return { profile.isPad() ? kTabletRulesWidth : kPhoneWidth, kHeight };
}

kit::Array VistrelController::diskLegendItems()
{
    return { legendItem(5, "Used", kUsedColor), legendItem(6, "Free", kit::Color::lightGray()) };
}

kit::Array VistrelController::memoryLegendItems()
{
    return { legendItem(1, "Wired", kWiredColor), legendItem(2, "Active", kActiveColor),
        legendItem(3, "Inactive", kInactiveColor), legendItem(4, "Free", kit::Color::lightGray()) };
}

void VistrelController::viewDidLoad()
{
    kit::ViewController::viewDidLoad();
    m_isNeedReloadUI = true;
}

void VistrelController::viewWillAppear(bool animated)
{
    kit::ViewController::viewWillAppear(animated);
    if (m_isNeedReloadUI) {
        setupUsageUI();
        m_isNeedReloadUI = false;
    }
    updateInfo();
}

void VistrelController::widgetPerformUpdateWithCompletionHandler(const std::function<void(UpdateResult)>& completionHandler)
{
    updateInfo();
    if (completionHandler)
        completionHandler(UpdateResult::NewData);
}

void VistrelController::setupUsageUI()
{
    kit::View& root = *view();
    double width = root.bounds().width();
    double height = root.bounds().height();
    bool reduceTransparency = kit::isReduceTransparencyEnabled();
    m_tabletRules = usesTabletRules(width);

    buildDiskPanel(width, height, reduceTransparency);
    buildMemoryPanel(width, height, reduceTransparency);

    auto button = kit::Button::custom();
    button->setFrame(root.bounds());
    button->addAction(kit::ControlEvent::TouchUpInside, [this](kit::Control& sender) { openHostApp(&sender); });
    button->setAccessibilityLabel(localized("Open Quarrin"));
    root.addSubview(button);

    layoutPanels();
}

void VistrelController::buildDiskPanel(double width, double height, bool reduceTransparency)
{
    double panelHeight = height * (m_tabletRules && !isLargePad() ? 0.5 : 0.45);
    m_diskPanel = kit::View::create();
    m_diskPanel->setFrame({ 0, 0, width, panelHeight });
    view()->addSubview(m_diskPanel);

    m_diskPanelEffectView = kit::View::create<kit::VisualEffectView>(kit::VisualEffectView::Effect::NotificationCenterVibrancy);
    m_diskPanelEffectView->setFrame({ 0, 0, width, panelHeight });
    m_diskPanel->addSubview(m_diskPanelEffectView);
    kit::View& labelParent = reduceTransparency ? *m_diskPanel : *m_diskPanelEffectView->contentView();

    kit::Rect barArea { 0, 0, width, panelHeight * 0.6 };
    labelParent.addSubview(trackView(barArea));
    m_diskBarArea = kit::View::create();
    m_diskBarArea->setFrame(barArea);
    m_diskBarArea->setClipsToBounds(true);
    m_diskPanel->addSubview(m_diskBarArea);

    m_diskChartBarBlueImageView = barView("barBlue");
    m_diskBarArea->addSubview(m_diskChartBarBlueImageView);

    buildLegend(*m_diskPanel, labelParent, diskLegendItems(), width, false, m_diskLegend);

    m_diskTitleLabel = titleLabel(m_tabletRules);
    m_diskPanel->addSubview(m_diskTitleLabel);
}

void VistrelController::buildMemoryPanel(double width, double height, bool reduceTransparency)
{
    double diskHeight = m_diskPanel->frame().height();
    double panelHeight = height - diskHeight;
    m_memPanel = kit::View::create();
    m_memPanel->setFrame({ 0, m_diskPanel->frame().maxY(), width, panelHeight });
    view()->addSubview(m_memPanel);

    m_memPanelEffectView = kit::View::create<kit::VisualEffectView>(kit::VisualEffectView::Effect::NotificationCenterVibrancy);
    m_memPanelEffectView->setFrame({ 0, 0, width, panelHeight });
    m_memPanel->addSubview(m_memPanelEffectView);
    kit::View& labelParent = reduceTransparency ? *m_memPanel : *m_memPanelEffectView->contentView();

    kit::Rect barArea { 0, 0, m_diskBarArea->frame().width(), m_diskBarArea->frame().height() };
    labelParent.addSubview(trackView(barArea));
    m_memBarArea = kit::View::create();
    m_memBarArea->setFrame(barArea);
    m_memBarArea->setClipsToBounds(true);
    m_memPanel->addSubview(m_memBarArea);

    m_memChartBarOrangeImageView = barView("barOrange");
    m_memChartBarBlueImageView = barView("barBlue");
    m_memChartBarGreenImageView = barView("barGreen");
    m_memBarArea->addSubview(m_memChartBarOrangeImageView);
    m_memBarArea->addSubview(m_memChartBarBlueImageView);
    m_memBarArea->addSubview(m_memChartBarGreenImageView);

    // Values stand under their names on phones and large tablets; other tablets have the room
    // to put them on the same line.
    m_memValueUnderName = !m_tabletRules || isLargePad();
    buildLegend(*m_memPanel, labelParent, memoryLegendItems(), width, true, m_memLegend);

    m_memTitleLabel = titleLabel(m_tabletRules);
    m_memPanel->addSubview(m_memTitleLabel);
}

void VistrelController::buildLegend(kit::View& panel, kit::View& labelParent, const kit::Array& items, double width, bool memory,
    std::vector<LegendEntry>& entries)
{
    double markTop = (memory ? m_memBarArea : m_diskBarArea)->frame().maxY() + 5;
    for (std::size_t index = 0; index < items.size(); ++index) {
        const kit::Value& item = items[index];
        const std::string& textKey = item[kTextKey].string();
        double x;
        if (memory)
            x = textKey == "Wired" ? 8 : width * static_cast<double>(index) * 0.25;
        else
            x = textKey == "Used" ? 8 : width / 2.5;

        LegendEntry entry;
        entry.mark = kit::View::create<kit::ImageView>(markImage(colorFrom(item[kMarkTypeKey])));
        entry.mark->setFrame({ x, markTop, kMarkSize, kMarkSize });
        (textKey == "Free" ? labelParent : panel).addSubview(entry.mark);

        entry.name = legendLabel(m_tabletRules, "HelveticaNeue-CondensedBold", 15, 10);
        entry.name->setText(localized(textKey));
        labelParent.addSubview(entry.name);

        entry.value = legendLabel(m_tabletRules, "HelveticaNeue-Bold", 14, 11);
        entry.value->setTag(static_cast<int>(item[kValueLabelTagKey].intValue()));
        labelParent.addSubview(entry.value);
        entries.push_back(std::move(entry));
    }
}

void VistrelController::layoutLegend(std::vector<LegendEntry>& entries, bool valueUnderName)
{
    for (auto& entry : entries) {
        kit::Rect mark = entry.mark->frame();
        kit::Size nameSize = fittingSize(*entry.name);
        kit::Rect name { mark.maxX() + 5, mark.midY() - nameSize.height / 2, nameSize.width, nameSize.height };
        entry.name->setFrame(name);

        kit::Size valueSize = fittingSize(*entry.value);
        double valueX = valueUnderName ? name.minX() : name.maxX() + 5;
        // 13 points keep a phone's 11-point value clear of its 10-point name; the larger tablet
        // fonts need their half heights, or the lines touch.
        double below = std::max(13.0, (nameSize.height + valueSize.height) / 2);
        double valueMidY = name.midY() + (valueUnderName ? below : 0);
        entry.value->setFrame({ valueX, valueMidY - valueSize.height / 2, valueSize.width, valueSize.height });
    }
}

void VistrelController::layoutPanels()
{
    if (!m_diskPanel)
        return;
    kit::Rect diskArea = m_diskBarArea->bounds();
    m_diskChartBarBlueImageView->setFrame({ 0, 0, m_usedDiscSpaceValue, diskArea.height() });

    kit::Rect memArea = m_memBarArea->bounds();
    double x = 0;
    for (auto [bar, barWidth] : { std::pair { m_memChartBarOrangeImageView.get(), m_wiredMemoryValue },
             std::pair { m_memChartBarBlueImageView.get(), m_activeMemoryValue },
             std::pair { m_memChartBarGreenImageView.get(), m_inactiveMemoryValue } }) {
        bar->setFrame({ x, 0, barWidth, memArea.height() });
        x += barWidth;
    }

    layoutLegend(m_diskLegend, false);
    layoutLegend(m_memLegend, m_memValueUnderName);

    for (auto [title, area] : { std::pair { m_diskTitleLabel.get(), m_diskBarArea->frame() },
             std::pair { m_memTitleLabel.get(), m_memBarArea->frame() } }) {
        kit::Size size = fittingSize(*title);
        title->setFrame({ area.minX() + 8, area.midY() - size.height / 2, size.width, size.height });
    }
}

void VistrelController::setValueLabel(kit::View* panel, int tag, const kit::Value& text)
{
    // Searched in the whole panel, whichever layer the label was built into: the transparency
    // setting may have changed since the panels were built.
    if (!panel)
        return;
    if (auto* label = dynamic_cast<kit::Label*>(panel->viewWithTag(tag)))
        label->setText(text.string());
}

void VistrelController::updateInfo()
{
    kit::Value usage = usageProvider ? kit::Value(usageProvider()) : kit::Value(kit::Dict {});
    double width = view()->bounds().width();

    m_usedDiscSpaceValue = barWidth(width, usage[SharedTools::kUsedPercentDiskKey]);

    setValueLabel(m_diskPanel.get(), 5, usage[SharedTools::kUsedDiskStrKey]);
    setValueLabel(m_diskPanel.get(), 6, usage[SharedTools::kFreeDiskStrKey]);
    if (m_diskTitleLabel) {
        m_diskTitleLabel->setText(localized("Capacity") + " " + usage[SharedTools::kAllDiskStrKey].string());
    }

    setValueLabel(m_memPanel.get(), 1, usage[SharedTools::kWiredRamStrKey]);
    setValueLabel(m_memPanel.get(), 2, usage[SharedTools::kActiveRamStrKey]);
    setValueLabel(m_memPanel.get(), 3, usage[SharedTools::kInactiveRamStrKey]);
    setValueLabel(m_memPanel.get(), 4, usage[SharedTools::kFreeRamStrKey]);
    if (m_memTitleLabel) {
        m_memTitleLabel->setText(localized("Memory") + " " + usage[SharedTools::kAllRamStrKey].string());
    }

    m_wiredMemoryValue = barWidth(width, usage[SharedTools::kWiredPercentRamKey]);
    m_activeMemoryValue = barWidth(width, usage[SharedTools::kActivePercentRamKey]);
    m_inactiveMemoryValue = barWidth(width, usage[SharedTools::kInactivePercentRamKey]);

    // Every refresh moves the bars to the widths it computed.
    layoutPanels();
    describePanels(usage);
}

bool VistrelController::pressKey(kit::Key key)
{
    if (key != kit::Key::Return && key != kit::Key::Space)
        return false;
    openHostApp(nullptr);
    return true;
}

void VistrelController::openHostApp(kit::View*) { kit::Application::shared().openURL(std::string(kHostAppURL)); }

void VistrelController::describePanels(const kit::Value& usage)
{
    for (auto [panel, label] : { std::pair { m_diskPanel.get(), AccessibilityText::diskPanel(usage) },
             std::pair { m_memPanel.get(), AccessibilityText::memoryPanel(usage) } }) {
        if (!panel)
            continue;
        panel->setIsAccessibilityElement(true);
        panel->setAccessibilityLabel(label);
        panel->setAccessibilityTraits(kit::AccessibilityTraitStaticText);
    }
}

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/ViewController.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kit {
class ImageView;
class Label;
class View;
class VisualEffectView;
struct DeviceProfile;
} // namespace kit

// The desktop widget: a disk panel (used share, used and free sizes, capacity) over a memory
// panel (wired, active and inactive bars, four sizes, total memory). A click anywhere opens
// Quarrin.
class VistrelController : public kit::ViewController {
public:
    // The widget's answer to the host's request for fresh content: there is always new data.
    enum class UpdateResult { NewData = 0, NoData = 1, Failed = 2 };

    static constexpr std::string_view kValueLabelTagKey = "valueLabelTagKey";
    static constexpr std::string_view kTextKey = "textKey";
    static constexpr std::string_view kMarkTypeKey = "markTypeKey";
    static constexpr std::string_view kHostAppURL = "velmora-quarrin://";
    // The tablet layout (larger fonts, memory values beside their names) needs this much width:
    // a quarter of it holds a mark, a name and a value. A narrower widget on a tablet is laid out
    // as on a phone.
    static constexpr double kTabletRulesWidth = 768;
    static constexpr double kPhoneWidth = 320;
    static constexpr double kHeight = 160;

    // The window size for a profile: as wide as its layout needs.
    static kit::Size preferredSize(const kit::DeviceProfile& profile);
    // Whether a widget this wide on this device takes the tablet layout.
    static bool usesTabletRules(double width);

    VistrelController();
    ~VistrelController() override;

    // Object
    std::string className() const override { return "VistrelController"; }

    // ViewController
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Return (or Space) opens Quarrin, as a click does.
    bool pressKey(kit::Key key) override;

    // The host asks for fresh content.
    void widgetPerformUpdateWithCompletionHandler(const std::function<void(UpdateResult)>& completionHandler);
    // Builds both panels once, at the view's current size.
    void setupUsageUI();
    // One refresh: figures, labels, titles and bar widths.
    void updateInfo();
    void openHostApp(kit::View* sender);

    // The snapshot a refresh reads; tests replace it with chosen figures.
    std::function<kit::Dict()> usageProvider;

    double usedDiscSpaceValue() const { return m_usedDiscSpaceValue; }
    double wiredMemoryValue() const { return m_wiredMemoryValue; }
    double activeMemoryValue() const { return m_activeMemoryValue; }
    double inactiveMemoryValue() const { return m_inactiveMemoryValue; }
    bool needsReloadUI() const { return m_isNeedReloadUI; }

    kit::View* diskPanel() const { return m_diskPanel.get(); }
    kit::View* memPanel() const { return m_memPanel.get(); }
    kit::VisualEffectView* diskPanelEffectView() const { return m_diskPanelEffectView.get(); }
    kit::VisualEffectView* memPanelEffectView() const { return m_memPanelEffectView.get(); }
    kit::ImageView* memChartBarOrangeImageView() const { return m_memChartBarOrangeImageView.get(); }
    kit::ImageView* memChartBarGreenImageView() const { return m_memChartBarGreenImageView.get(); }
    kit::ImageView* memChartBarBlueImageView() const { return m_memChartBarBlueImageView.get(); }
    kit::ImageView* diskChartBarBlueImageView() const { return m_diskChartBarBlueImageView.get(); }
    kit::Label* diskTitleLabel() const { return m_diskTitleLabel.get(); }
    kit::Label* memTitleLabel() const { return m_memTitleLabel.get(); }

    // The legend items of each panel: tag, text key and mark colour.
    static kit::Array diskLegendItems();
    static kit::Array memoryLegendItems();

private:
    struct LegendEntry {
        std::shared_ptr<kit::ImageView> mark;
        std::shared_ptr<kit::Label> name;
        std::shared_ptr<kit::Label> value;
    };

    void buildDiskPanel(double width, double height, bool reduceTransparency);
    void buildMemoryPanel(double width, double height, bool reduceTransparency);
    void buildLegend(kit::View& panel, kit::View& labelParent, const kit::Array& items, double width, bool memory,
        std::vector<LegendEntry>& entries);
    // Places the bars at their stored widths and the legend labels after their current texts.
    void layoutPanels();
    // Each panel reads as one sentence of its figures; the whole-view button opens Quarrin.
    void describePanels(const kit::Value& usage);
    void layoutLegend(std::vector<LegendEntry>& entries, bool valueUnderName);
    void setValueLabel(kit::View* panel, int tag, const kit::Value& text);

    std::shared_ptr<kit::ImageView> m_memChartBarOrangeImageView;
    std::shared_ptr<kit::ImageView> m_memChartBarGreenImageView;
    std::shared_ptr<kit::ImageView> m_memChartBarBlueImageView;
    std::shared_ptr<kit::ImageView> m_diskChartBarBlueImageView;
    std::shared_ptr<kit::VisualEffectView> m_diskPanelEffectView;
    std::shared_ptr<kit::VisualEffectView> m_memPanelEffectView;
    double m_usedDiscSpaceValue = 0;
    double m_wiredMemoryValue = 0;
    double m_activeMemoryValue = 0;
    double m_inactiveMemoryValue = 0;
    std::shared_ptr<kit::Label> m_diskTitleLabel;
    std::shared_ptr<kit::Label> m_memTitleLabel;
    bool m_isNeedReloadUI = false;

    std::shared_ptr<kit::View> m_diskPanel;
    std::shared_ptr<kit::View> m_memPanel;
    std::shared_ptr<kit::View> m_diskBarArea;
    std::shared_ptr<kit::View> m_memBarArea;
    std::vector<LegendEntry> m_diskLegend;
    std::vector<LegendEntry> m_memLegend;
    bool m_memValueUnderName = true;
    bool m_tabletRules = false;
};

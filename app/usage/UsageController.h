// SPDX-License-Identifier: MIT
#pragma once

#include "app/usage/InterfaceRates.h"
#include "app/usage/PanelMetrics.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/Result.h"
#include "kit/base/Value.h"
#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"
#include "kit/ui/Color.h"
#include "kit/ui/TableView.h"
#include "kit/ui/ViewController.h"

#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace kit {
class ImageView;
class Label;
class View;
} // namespace kit

// The Usage tab: the disk and memory panels, the boot time, and a table with one section per
// network interface (its icon and traffic totals in the header, its addresses as rows).
class UsageController : public kit::ViewController, public kit::TableViewDataSource, public kit::TableViewDelegate {
public:
    static constexpr std::string_view kHeaderKey = "kHeaderKey";
    static constexpr std::string_view kRowsKey = "kRowsKey";
    static constexpr std::string_view kRowFirstItemKey = "kRowFirstItemKey";
    static constexpr std::string_view kRowSecondItemKey = "kRowSecondItemKey";
    static constexpr std::string_view kValueDownloadKey = "kValueDownloadKey";
    static constexpr std::string_view kValueUploadKey = "kValueUploadKey";
    // The interface's own name, shown beside its icon: Linux names tell two of a kind apart.
    static constexpr std::string_view kInterfaceNameKey = "kInterfaceNameKey";
    static constexpr std::string_view kCellIdentifier = "cellIdentifier";

    ~UsageController() override;

    // Object
    std::string className() const override { return "UsageController"; }

    // ViewController
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // One refresh: boot time, panels, interfaces and counters, the network table.
    void updateInfo();
    // Rebuilds the interface list from the interface configuration.
    void updateAddresses();
    // Adds the byte counters to the interface list.
    void netStats();

    // TableViewDataSource
    int numberOfSectionsInTableView(kit::TableView&) override;
    int numberOfRowsInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::TableViewCell> cellForRowAtIndexPath(kit::TableView&, const kit::IndexPath&) override;
    // TableViewDelegate
    void willDisplayCell(kit::TableView&, kit::TableViewCell&, const kit::IndexPath&) override;
    double heightForHeaderInSection(kit::TableView&, int section) override;
    std::shared_ptr<kit::View> viewForHeaderInSection(kit::TableView&, int section) override;

    const kit::Array& ifaces() const { return m_ifaces; }
    const kit::Array& networkDataModel() const { return m_networkDataModel; }
    kit::TableView* networkTableView() const { return m_networkTableView.get(); }
    kit::Label* bootTimeLabel() const { return m_bootTimeLabel.get(); }
    kit::ImageView* diskChartPanel() const { return m_diskChartPanel.get(); }
    kit::ImageView* memChartPanel() const { return m_memChartPanel.get(); }
    kit::ImageView* diskChartBarBlueImageView() const { return m_diskChartBarBlueImageView.get(); }
    kit::ImageView* diskChartBarShadowImageView() const { return m_diskChartBarShadowImageView.get(); }
    kit::ImageView* memChartBarOrangeImageView() const { return m_memChartBarOrangeImageView.get(); }
    kit::ImageView* memChartBarBlueImageView() const { return m_memChartBarBlueImageView.get(); }
    kit::ImageView* memChartBarGreenImageView() const { return m_memChartBarGreenImageView.get(); }
    kit::ImageView* memChartBarShadowImageView() const { return m_memChartBarShadowImageView.get(); }
    kit::Label* diskPanelTitleLabel() const { return m_diskPanelTitleLabel.get(); }
    kit::Label* memPanelTitleLabel() const { return m_memPanelTitleLabel.get(); }
    // The legend's value labels, left to right.
    std::vector<kit::Label*> diskValueLabels() const { return { m_usedDiskLabel.get(), m_freeDiskLabel.get() }; }
    std::vector<kit::Label*> memValueLabels() const
    {
        return { m_wiredRamLabel.get(), m_activeRamLabel.get(), m_inactiveRamLabel.get(), m_freeRamLabel.get() };
    }

    // Where the figures come from; tests give canned ones.
    std::function<kit::Result<std::vector<kit::InterfaceEntry>>()> configurationProvider;
    std::function<kit::Result<std::vector<kit::InterfaceCounters>>()> countersProvider;
    std::function<kit::InterfaceKind(std::string_view name)> kindProvider;
    std::function<kit::Dict()> usageProvider;

    // The pieces of a refresh that need no views.
    static bool isListedInterfaceName(std::string_view name);
    static void fillAddresses(kit::Array& ifaces, const std::vector<kit::InterfaceEntry>& entries);
    static void fillCounters(kit::Array& ifaces, const std::vector<kit::InterfaceCounters>& records);
    // Sections for the listed interfaces. Rows: "IP address", "IPv6 address", "MAC address" (before
    // version 7) and "Now" (the last tick's rates, once a record has "inRate" and "outRate").
    static kit::Array makeNetworkModel(const kit::Array& ifaces, double systemVersion,
        const std::function<kit::InterfaceKind(std::string_view)>& kindOf);
    // "wired", "wireless", "cellular", "bluetooth", "vpn", "loopback" or "virtual".
    static std::string_view interfaceKindName(kit::InterfaceKind kind);

protected:
    UsageController();
    friend class kit::ViewController;

private:
    // The builders run once, from viewDidLoad; fillPanels and the table's data source run on
    // every refresh and only set texts and positions.
    void buildPanels();
    void buildDiskPanel(const PanelMetrics&, double centerX);
    void buildMemoryPanel(const PanelMetrics&, double centerX);
    // A legend column's mark, value and name; returns the value label.
    static std::shared_ptr<kit::Label> buildLegendColumn(kit::View& panel, const PanelMetrics&, int column, const char* textKey,
        const char* markImage);
    void buildNetworkTable();
    void fillPanels(const kit::Value& usage);
    // What a screen reader says of the bars and the legends, after each fill.
    void describePanels(const kit::Value& usage);

    kit::Array m_networkDataModel;
    kit::Array m_ifaces;
    InterfaceRates m_rates;
    std::shared_ptr<kit::TableView> m_networkTableView;
    std::shared_ptr<kit::ImageView> m_diskChartPanel;
    std::shared_ptr<kit::ImageView> m_memChartPanel;
    std::shared_ptr<kit::ImageView> m_memChartBarOrangeImageView;
    std::shared_ptr<kit::ImageView> m_memChartBarGreenImageView;
    std::shared_ptr<kit::ImageView> m_memChartBarBlueImageView;
    std::shared_ptr<kit::ImageView> m_memChartBarShadowImageView;
    std::shared_ptr<kit::ImageView> m_diskChartBarBlueImageView;
    std::shared_ptr<kit::ImageView> m_diskChartBarShadowImageView;
    std::shared_ptr<kit::Label> m_diskPanelTitleLabel;
    std::shared_ptr<kit::Label> m_memPanelTitleLabel;
    std::shared_ptr<kit::Label> m_bootTimeLabel;
    std::shared_ptr<kit::Label> m_usedDiskLabel;
    std::shared_ptr<kit::Label> m_freeDiskLabel;
    std::shared_ptr<kit::Label> m_wiredRamLabel;
    std::shared_ptr<kit::Label> m_activeRamLabel;
    std::shared_ptr<kit::Label> m_inactiveRamLabel;
    std::shared_ptr<kit::Label> m_freeRamLabel;
    kit::Color m_tableTextColor { 0.86, 0.90, 0.94, 1.0 };

    std::vector<std::unique_ptr<kit::NotificationCenter::Observation>> m_observations;
};

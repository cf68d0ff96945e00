// SPDX-License-Identifier: MIT
#pragma once

#include "kit/ui/IndexPath.h"

#include <optional>
#include <vector>

namespace kit {

// Where a table's pieces sit along its scrolling axis, in content coordinates (0 = the top of
// the table header view): table header, then per section its header, rows and footer, then
// the table footer. Lookups are binary searches, so a table of many thousands of rows finds
// its visible rows without walking them.
class TableViewLayout {
public:
    struct Section {
        double headerHeight = 0;
        double footerHeight = 0;
        std::vector<double> rowHeights;
    };

    void setTableHeaderHeight(double height);
    void setTableFooterHeight(double height);
    // Negative or non-finite heights count as 0.
    void setSections(std::vector<Section> sections);

    int numberOfSections() const { return static_cast<int>(m_sections.size()); }
    int numberOfRows(int section) const;
    int totalRows() const { return m_totalRows; }
    bool isValid(const IndexPath& path) const;

    double tableHeaderHeight() const { return m_tableHeaderHeight; }
    double tableFooterOriginY() const;
    double contentHeight() const;

    double sectionOriginY(int section) const;
    double sectionEndY(int section) const;
    double headerOriginY(int section) const { return sectionOriginY(section); }
    double headerHeight(int section) const;
    double footerOriginY(int section) const;
    double footerHeight(int section) const;
    double rowOriginY(const IndexPath& path) const;
    double rowHeight(const IndexPath& path) const;

    // The row that covers y, or nothing over headers, footers and outside the rows.
    std::optional<IndexPath> indexPathForRowAtY(double y) const;
    // The rows that overlap [top, bottom), in order.
    std::vector<IndexPath> indexPathsForRowsBetween(double top, double bottom) const;
    // The sections whose span overlaps [top, bottom).
    std::vector<int> sectionsBetween(double top, double bottom) const;

private:
    struct Built {
        double origin = 0; // of the header
        double headerHeight = 0;
        double footerHeight = 0;
        std::vector<double> rowOrigins; // rows + 1 entries, relative to content top
    };
    int sectionAtY(double y) const;
    void rebuild();

    double m_tableHeaderHeight = 0;
    double m_tableFooterHeight = 0;
    std::vector<Section> m_sections;
    std::vector<Built> m_built;
    int m_totalRows = 0;
};

} // namespace kit

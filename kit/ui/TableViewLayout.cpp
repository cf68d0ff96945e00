// SPDX-License-Identifier: MIT
#include "kit/ui/TableViewLayout.h"

#include <algorithm>
#include <cmath>

namespace kit {

static double cleanHeight(double h) { return std::isfinite(h) && h > 0 ? h : 0.0; }

void TableViewLayout::setTableHeaderHeight(double height)
{
    m_tableHeaderHeight = cleanHeight(height);
    rebuild();
}

void TableViewLayout::setTableFooterHeight(double height) { m_tableFooterHeight = cleanHeight(height); }

void TableViewLayout::setSections(std::vector<Section> sections)
{
    m_sections = std::move(sections);
    rebuild();
}

void TableViewLayout::rebuild()
{
    m_built.clear();
    m_built.reserve(m_sections.size());
    m_totalRows = 0;
    double y = m_tableHeaderHeight;
    for (auto& s : m_sections) {
        Built b;
        b.origin = y;
        b.headerHeight = cleanHeight(s.headerHeight);
        b.footerHeight = cleanHeight(s.footerHeight);
        y += b.headerHeight;
        b.rowOrigins.reserve(s.rowHeights.size() + 1);
        for (double h : s.rowHeights) {
            b.rowOrigins.push_back(y);
            y += cleanHeight(h);
        }
        b.rowOrigins.push_back(y);
        y += b.footerHeight;
        m_totalRows += static_cast<int>(s.rowHeights.size());
        m_built.push_back(std::move(b));
    }
}

int TableViewLayout::numberOfRows(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return static_cast<int>(m_built[section].rowOrigins.size()) - 1;
}

bool TableViewLayout::isValid(const IndexPath& path) const { return path.row >= 0 && path.row < numberOfRows(path.section); }

double TableViewLayout::tableFooterOriginY() const
{
    if (m_built.empty())
        return m_tableHeaderHeight;
    return sectionEndY(numberOfSections() - 1);
}

double TableViewLayout::contentHeight() const { return tableFooterOriginY() + m_tableFooterHeight; }

double TableViewLayout::sectionOriginY(int section) const
{
    if (m_built.empty())
        return m_tableHeaderHeight;
    if (section < 0)
        return m_tableHeaderHeight;
    if (section >= numberOfSections())
        return tableFooterOriginY();
    return m_built[section].origin;
}

double TableViewLayout::sectionEndY(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return sectionOriginY(section);
    const Built& b = m_built[section];
    return b.rowOrigins.back() + b.footerHeight;
}

double TableViewLayout::headerHeight(int section) const
{
    return section >= 0 && section < numberOfSections() ? m_built[section].headerHeight : 0;
}

double TableViewLayout::footerOriginY(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return sectionOriginY(section);
    return m_built[section].rowOrigins.back();
}

double TableViewLayout::footerHeight(int section) const
{
    return section >= 0 && section < numberOfSections() ? m_built[section].footerHeight : 0;
}

double TableViewLayout::rowOriginY(const IndexPath& path) const
{
    if (!isValid(path))
        return sectionOriginY(path.section);
    return m_built[path.section].rowOrigins[path.row];
}

double TableViewLayout::rowHeight(const IndexPath& path) const
{
    if (!isValid(path))
        return 0;
    auto& o = m_built[path.section].rowOrigins;
    return o[path.row + 1] - o[path.row];
}

int TableViewLayout::sectionAtY(double y) const
{
    // Last section whose origin is at or above y.
    auto it = std::upper_bound(m_built.begin(), m_built.end(), y, [](double v, const Built& b) { return v < b.origin; });
    if (it == m_built.begin())
        return -1;
    return static_cast<int>(it - m_built.begin()) - 1;
}

std::optional<IndexPath> TableViewLayout::indexPathForRowAtY(double y) const
{
    if (!std::isfinite(y))
        return std::nullopt;
    int s = sectionAtY(y);
    // Zero-height sections share an origin; step back to one whose rows may cover y.
    for (; s >= 0; --s) {
        const auto& o = m_built[s].rowOrigins;
        if (y >= o.back())
            return std::nullopt; // in the footer or past the rows
        if (y < o.front())
            return std::nullopt; // in the header
        // Last row origin at or above y; zero-height rows are skipped by upper_bound.
        auto it = std::upper_bound(o.begin(), o.end(), y);
        int row = static_cast<int>(it - o.begin()) - 1;
        if (row >= 0 && row < static_cast<int>(o.size()) - 1)
            return IndexPath { s, row };
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<IndexPath> TableViewLayout::indexPathsForRowsBetween(double top, double bottom) const
{
    std::vector<IndexPath> out;
    if (!(bottom > top) || m_built.empty())
        return out;
    for (int s : sectionsBetween(top, bottom)) {
        const auto& o = m_built[s].rowOrigins;
        int rows = static_cast<int>(o.size()) - 1;
        // First row whose end lies below top.
        auto first = std::upper_bound(o.begin() + 1, o.end(), top);
        for (int r = static_cast<int>(first - o.begin()) - 1; r < rows; ++r) {
            if (o[r] >= bottom)
                break;
            if (o[r + 1] > o[r])
                out.push_back({ s, r });
        }
    }
    return out;
}

std::vector<int> TableViewLayout::sectionsBetween(double top, double bottom) const
{
    std::vector<int> out;
    if (!(bottom > top))
        return out;
    int s = std::max(0, sectionAtY(top));
    for (; s < numberOfSections(); ++s) {
        if (m_built[s].origin >= bottom)
            break;
        if (sectionEndY(s) > top)
            out.push_back(s);
    }
    return out;
}

} // namespace kit

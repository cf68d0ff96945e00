// SPDX-License-Identifier: MIT
#include "kit/ui/TableViewUpdates.h"

#include <string>

namespace kit {

namespace {

template<typename T>
void addAll(std::set<T>& to, const std::vector<T>& items, bool& negative)
{
    for (const T& item : items) {
        if constexpr (std::is_same_v<T, int>) {
            if (item < 0) {
                negative = true;
                continue;
            }
        } else {
            if (item.section < 0 || item.row < 0) {
                negative = true;
                continue;
            }
        }
        to.insert(item);
    }
}

std::string pathText(const IndexPath& p)
{
    return "(section " + std::to_string(p.section) + ", row " + std::to_string(p.row) + ")";
}

// Fills `slots` (size newCount) with the survivors in order, skipping inserted slots.
// Returns the mapping survivor index -> slot.
std::vector<int> fillSlots(int newCount, const std::set<int>& inserted)
{
    std::vector<int> free;
    free.reserve(newCount);
    for (int i = 0; i < newCount; ++i)
        if (!inserted.count(i))
            free.push_back(i);
    return free;
}

} // namespace

void TableViewUpdates::insertSections(const std::vector<int>& sections, TableViewRowAnimation a)
{
    addAll(m_insertedSections, sections, m_hasNegativeIndex);
    m_insertAnimation = a;
}

void TableViewUpdates::deleteSections(const std::vector<int>& sections, TableViewRowAnimation a)
{
    addAll(m_deletedSections, sections, m_hasNegativeIndex);
    m_deleteAnimation = a;
}

void TableViewUpdates::reloadSections(const std::vector<int>& sections, TableViewRowAnimation a)
{
    addAll(m_reloadedSections, sections, m_hasNegativeIndex);
    m_deleteAnimation = a;
    m_insertAnimation = a;
}

void TableViewUpdates::insertRows(const std::vector<IndexPath>& rows, TableViewRowAnimation a)
{
    addAll(m_insertedRows, rows, m_hasNegativeIndex);
    m_insertAnimation = a;
}

void TableViewUpdates::deleteRows(const std::vector<IndexPath>& rows, TableViewRowAnimation a)
{
    addAll(m_deletedRows, rows, m_hasNegativeIndex);
    m_deleteAnimation = a;
}

void TableViewUpdates::reloadRows(const std::vector<IndexPath>& rows, TableViewRowAnimation a)
{
    addAll(m_reloadedRows, rows, m_hasNegativeIndex);
    m_deleteAnimation = a;
    m_insertAnimation = a;
}

bool TableViewUpdates::isEmpty() const
{
    return m_insertedSections.empty() && m_deletedSections.empty() && m_reloadedSections.empty() && m_insertedRows.empty()
        && m_deletedRows.empty() && m_reloadedRows.empty() && !m_hasNegativeIndex;
}

Result<TableViewUpdates::Plan> TableViewUpdates::resolve(const std::vector<int>& oldRowCounts,
    const std::vector<int>& newRowCounts) const
{
    if (m_hasNegativeIndex)
        return Error { "negative section or row index in table updates" };
    const int oldSections = static_cast<int>(oldRowCounts.size());
    const int newSections = static_cast<int>(newRowCounts.size());

    for (int s : m_deletedSections)
        if (s >= oldSections)
            return Error { "attempt to delete section " + std::to_string(s) + ", but there are only "
                + std::to_string(oldSections) + " sections before the update" };
    for (int s : m_reloadedSections) {
        if (s >= oldSections)
            return Error { "attempt to reload section " + std::to_string(s) + ", but there are only "
                + std::to_string(oldSections) + " sections before the update" };
        if (m_deletedSections.count(s))
            return Error { "attempt to delete and reload the same section " + std::to_string(s) };
    }
    for (int s : m_insertedSections)
        if (s >= newSections)
            return Error { "attempt to insert section " + std::to_string(s) + ", but there are only "
                + std::to_string(newSections) + " sections after the update" };

    int expectedSections = oldSections - static_cast<int>(m_deletedSections.size()) + static_cast<int>(m_insertedSections.size());
    if (expectedSections != newSections)
        return Error { "invalid number of sections: " + std::to_string(newSections) + " after the update, but "
            + std::to_string(oldSections) + " before, plus " + std::to_string(m_insertedSections.size()) + " inserted, minus "
            + std::to_string(m_deletedSections.size()) + " deleted" };

    Plan plan;
    plan.deleteAnimation = m_deleteAnimation;
    plan.insertAnimation = m_insertAnimation;
    plan.sectionOldToNew.assign(oldSections, -1);
    plan.sectionIsFresh.assign(newSections, false);
    plan.rowOldToNew.resize(oldSections);

    std::vector<int> slots = fillSlots(newSections, m_insertedSections);
    size_t next = 0;
    for (int s = 0; s < oldSections; ++s) {
        plan.rowOldToNew[s].assign(oldRowCounts[s] > 0 ? oldRowCounts[s] : 0, -1);
        if (m_deletedSections.count(s))
            continue;
        int ns = slots[next++];
        if (m_reloadedSections.count(s))
            plan.sectionIsFresh[ns] = true;
        else
            plan.sectionOldToNew[s] = ns;
    }
    for (int s : m_insertedSections)
        plan.sectionIsFresh[s] = true;

    // Row changes inside sections that go or arrive whole are covered by the section change.
    std::vector<int> newToOld(newSections, -1);
    for (int s = 0; s < oldSections; ++s)
        if (plan.sectionOldToNew[s] >= 0)
            newToOld[plan.sectionOldToNew[s]] = s;

    for (const IndexPath& p : m_deletedRows) {
        if (p.section >= oldSections || p.row >= oldRowCounts[p.section])
            return Error { "attempt to delete row " + pathText(p) + ", which does not exist before the update" };
        if (m_reloadedRows.count(p))
            return Error { "attempt to delete and reload the same row " + pathText(p) };
    }
    for (const IndexPath& p : m_reloadedRows)
        if (p.section >= oldSections || p.row >= oldRowCounts[p.section])
            return Error { "attempt to reload row " + pathText(p) + ", which does not exist before the update" };
    for (const IndexPath& p : m_insertedRows)
        if (p.section >= newSections || p.row >= newRowCounts[p.section])
            return Error { "attempt to insert row " + pathText(p) + ", which does not exist after the update" };

    for (int ns = 0; ns < newSections; ++ns) {
        int newCount = newRowCounts[ns] > 0 ? newRowCounts[ns] : 0;
        if (plan.sectionIsFresh[ns]) {
            for (int r = 0; r < newCount; ++r)
                plan.freshRows.insert({ ns, r });
            continue;
        }
        int os = newToOld[ns];
        int oldCount = oldRowCounts[os] > 0 ? oldRowCounts[os] : 0;
        std::set<int> deleted, inserted, reloaded;
        for (auto it = m_deletedRows.lower_bound({ os, 0 }); it != m_deletedRows.end() && it->section == os; ++it)
            deleted.insert(it->row);
        for (auto it = m_reloadedRows.lower_bound({ os, 0 }); it != m_reloadedRows.end() && it->section == os; ++it)
            reloaded.insert(it->row);
        for (auto it = m_insertedRows.lower_bound({ ns, 0 }); it != m_insertedRows.end() && it->section == ns; ++it)
            inserted.insert(it->row);
        int expected = oldCount - static_cast<int>(deleted.size()) + static_cast<int>(inserted.size());
        if (expected != newCount)
            return Error { "invalid number of rows in section " + std::to_string(ns) + ": " + std::to_string(newCount)
                + " after the update, but " + std::to_string(oldCount) + " before, plus " + std::to_string(inserted.size())
                + " inserted, minus " + std::to_string(deleted.size()) + " deleted" };
        std::vector<int> rowSlots = fillSlots(newCount, inserted);
        size_t nextRow = 0;
        for (int r = 0; r < oldCount; ++r) {
            if (deleted.count(r))
                continue;
            int nr = rowSlots[nextRow++];
            if (reloaded.count(r))
                plan.freshRows.insert({ ns, nr });
            else
                plan.rowOldToNew[os][r] = nr;
        }
        for (int r : inserted)
            plan.freshRows.insert({ ns, r });
    }
    return plan;
}

} // namespace kit

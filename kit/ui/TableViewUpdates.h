// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/ui/IndexPath.h"

#include <set>
#include <vector>

namespace kit {

enum class TableViewRowAnimation {
    Fade,
    Right,
    Left,
    Top,
    Bottom,
    None,
    Middle,
    Automatic,
};

// The changes collected between beginUpdates and endUpdates, resolved against the row counts
// before and after. Deletions and reloads name rows and sections as they were before the
// batch, insertions as they are after it; a reload is a deletion plus an insertion in the same
// place. The counts the data source reports afterwards must agree with the changes.
class TableViewUpdates {
public:
    void insertSections(const std::vector<int>& sections, TableViewRowAnimation = TableViewRowAnimation::Automatic);
    void deleteSections(const std::vector<int>& sections, TableViewRowAnimation = TableViewRowAnimation::Automatic);
    void reloadSections(const std::vector<int>& sections, TableViewRowAnimation = TableViewRowAnimation::Automatic);
    void insertRows(const std::vector<IndexPath>& rows, TableViewRowAnimation = TableViewRowAnimation::Automatic);
    void deleteRows(const std::vector<IndexPath>& rows, TableViewRowAnimation = TableViewRowAnimation::Automatic);
    void reloadRows(const std::vector<IndexPath>& rows, TableViewRowAnimation = TableViewRowAnimation::Automatic);

    bool isEmpty() const;
    void clear() { *this = TableViewUpdates(); }

    // How a batch carries the old table into the new one.
    struct Plan {
        // Old section -> new section, or -1 for a deleted or reloaded one.
        std::vector<int> sectionOldToNew;
        // Per new section: true when it is inserted or reloaded (all its rows are new).
        std::vector<bool> sectionIsFresh;
        // Per old section, old row -> new row, or -1 when the row goes (deleted, reloaded,
        // or its section goes).
        std::vector<std::vector<int>> rowOldToNew;
        // New rows that need a new cell: inserted, reloaded, or in a fresh section.
        std::set<IndexPath> freshRows;
        // Animation of the disappearing and the appearing pieces (the last one named wins).
        TableViewRowAnimation deleteAnimation = TableViewRowAnimation::None;
        TableViewRowAnimation insertAnimation = TableViewRowAnimation::None;
    };

    // Checks the batch against the counts before and after and maps old rows to new rows.
    // An error describes the first inconsistency: an index out of range, or a section whose
    // new row count does not follow from its old count and the changes.
    Result<Plan> resolve(const std::vector<int>& oldRowCounts, const std::vector<int>& newRowCounts) const;

private:
    std::set<int> m_insertedSections;
    std::set<int> m_deletedSections;
    std::set<int> m_reloadedSections;
    std::set<IndexPath> m_insertedRows;
    std::set<IndexPath> m_deletedRows;
    std::set<IndexPath> m_reloadedRows;
    TableViewRowAnimation m_deleteAnimation = TableViewRowAnimation::None;
    TableViewRowAnimation m_insertAnimation = TableViewRowAnimation::None;
    bool m_hasNegativeIndex = false;
};

} // namespace kit

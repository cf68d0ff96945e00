// SPDX-License-Identifier: MIT
#include "kit/ui/TableViewLayout.h"
#include "kit/ui/TableViewUpdates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using kit::IndexPath;
using kit::TableViewLayout;
using kit::TableViewUpdates;

namespace {

// ---- TableViewUpdates::resolve ----

struct UpdateCase {
    const char* name;
    std::function<void(TableViewUpdates&)> changes;
    std::vector<int> oldCounts;
    std::vector<int> newCounts;
    // Expected when the batch holds: old section -> new section, and old rows -> new rows per
    // old section. Expected when it does not: a piece of the error text.
    std::vector<int> sectionOldToNew;
    std::vector<std::vector<int>> rowOldToNew;
    const char* error = nullptr;
};

void PrintTo(const UpdateCase& row, std::ostream* out) { *out << row.name; }

class ResolveUpdates : public ::testing::TestWithParam<UpdateCase> { };

TEST_P(ResolveUpdates, MapsOldRowsToNewOrNamesTheFirstInconsistency)
{
    const UpdateCase& row = GetParam();
    TableViewUpdates updates;
    row.changes(updates);
    auto plan = updates.resolve(row.oldCounts, row.newCounts);
    if (row.error) {
        ASSERT_FALSE(plan.ok());
        EXPECT_NE(plan.error().find(row.error), std::string::npos) << plan.error();
        return;
    }
    ASSERT_TRUE(plan.ok()) << plan.error();
    EXPECT_EQ(plan->sectionOldToNew, row.sectionOldToNew);
    EXPECT_EQ(plan->rowOldToNew, row.rowOldToNew);
}

INSTANTIATE_TEST_SUITE_P(Batches, ResolveUpdates,
    ::testing::Values(UpdateCase { "nothing", [](auto&) {}, { 2, 1 }, { 2, 1 }, { 0, 1 }, { { 0, 1 }, { 0 } } },
        UpdateCase { "insert_row_shifts_later_rows",
            [](auto& u) {
                u.insertRows({ IndexPath { 0, 1 } });
            },
            { 3 }, { 4 }, { 0 }, { { 0, 2, 3 } } },
        UpdateCase { "delete_names_old_rows_insert_new_ones",
            [](auto& u) {
                u.deleteRows({ IndexPath { 0, 0 } });
                u.insertRows({ IndexPath { 0, 0 } });
            },
            { 2 }, { 2 }, { 0 }, { { -1, 1 } } },
        UpdateCase { "reload_is_delete_plus_insert_in_place",
            [](auto& u) {
                u.reloadRows({ IndexPath { 0, 1 } });
            },
            { 3 }, { 3 }, { 0 }, { { 0, -1, 2 } } },
        UpdateCase { "delete_section_moves_the_next_up", [](auto& u) { u.deleteSections({ 0 }); }, { 2, 1 }, { 1 }, { -1, 0 },
            { { -1, -1 }, { 0 } } },
        UpdateCase { "insert_section_moves_the_next_down", [](auto& u) { u.insertSections({ 0 }); }, { 1 }, { 5, 1 }, { 1 },
            { { 0 } } },
        UpdateCase { "reloaded_section_keeps_no_rows", [](auto& u) { u.reloadSections({ 1 }); }, { 1, 2 }, { 1, 3 }, { 0, -1 },
            { { 0 }, { -1, -1 } } },
        UpdateCase { "row_count_must_follow_the_changes",
            [](auto& u) {
                u.insertRows({ IndexPath { 0, 0 } });
            },
            { 2 }, { 2 }, {}, {}, "section 0" },
        UpdateCase { "section_count_must_follow_the_changes", [](auto& u) { u.deleteSections({ 0 }); }, { 1, 1 }, { 1, 1 }, {},
            {}, "invalid number of sections" },
        UpdateCase { "delete_out_of_range",
            [](auto& u) {
                u.deleteRows({ IndexPath { 0, 5 } });
            },
            { 2 }, { 1 }, {}, {}, "attempt to delete row" },
        UpdateCase { "insert_out_of_range",
            [](auto& u) {
                u.insertRows({ IndexPath { 1, 0 } });
            },
            { 1 }, { 1 }, {}, {}, "attempt to insert row" },
        UpdateCase { "delete_and_reload_one_section",
            [](auto& u) {
                u.deleteSections({ 0 });
                u.reloadSections({ 0 });
            },
            { 1 }, { 0 }, {}, {}, "delete and reload the same section" },
        UpdateCase { "negative_index",
            [](auto& u) {
                u.deleteRows({ IndexPath { 0, -1 } });
            },
            { 1 }, { 1 }, {}, {}, "negative" }),
    [](const auto& info) { return std::string(info.param.name); });

// ---- TableViewLayout ----

TableViewLayout sampleLayout()
{
    // Header 10; section 0: header 20, rows 30 + 40, footer 5; section 1: no header, one row 50.
    TableViewLayout layout;
    layout.setTableHeaderHeight(10);
    layout.setTableFooterHeight(7);
    layout.setSections({ { 20, 5, { 30, 40 } }, { 0, 0, { 50 } } });
    return layout;
}

struct HitCase {
    double y;
    std::optional<IndexPath> row;
};

class LayoutHit : public ::testing::TestWithParam<HitCase> { };

TEST_P(LayoutHit, FindsTheRowUnderAPointAndNothingOverHeadersAndFooters)
{
    EXPECT_EQ(sampleLayout().indexPathForRowAtY(GetParam().y), GetParam().row) << "y = " << GetParam().y;
}

INSTANTIATE_TEST_SUITE_P(Points, LayoutHit,
    ::testing::Values(HitCase { -1, std::nullopt }, HitCase { 5, std::nullopt }, // table header
        HitCase { 29.9, std::nullopt }, // section header
        HitCase { 30, IndexPath { 0, 0 } }, HitCase { 59.9, IndexPath { 0, 0 } }, HitCase { 60, IndexPath { 0, 1 } },
        HitCase { 99.9, IndexPath { 0, 1 } }, HitCase { 100, std::nullopt }, // footer
        HitCase { 105, IndexPath { 1, 0 } }, HitCase { 154.9, IndexPath { 1, 0 } }, HitCase { 155, std::nullopt },
        HitCase { 1e9, std::nullopt }));

TEST(TableViewLayout, OriginsAndSpansAddUpInOrder)
{
    TableViewLayout layout = sampleLayout();
    EXPECT_EQ(layout.totalRows(), 3);
    EXPECT_DOUBLE_EQ(layout.sectionOriginY(0), 10);
    EXPECT_DOUBLE_EQ(layout.rowOriginY({ 0, 1 }), 60);
    EXPECT_DOUBLE_EQ(layout.footerOriginY(0), 100);
    EXPECT_DOUBLE_EQ(layout.sectionOriginY(1), 105);
    EXPECT_DOUBLE_EQ(layout.tableFooterOriginY(), 155);
    EXPECT_DOUBLE_EQ(layout.contentHeight(), 162);
    EXPECT_EQ(layout.indexPathsForRowsBetween(50, 110), (std::vector<IndexPath> { { 0, 0 }, { 0, 1 }, { 1, 0 } }));
    EXPECT_EQ(layout.indexPathsForRowsBetween(100, 105), std::vector<IndexPath> {});
    EXPECT_EQ(layout.sectionsBetween(0, 11), std::vector<int> { 0 });
    EXPECT_EQ(layout.sectionsBetween(104, 200), (std::vector<int> { 0, 1 }));
    EXPECT_EQ(layout.sectionsBetween(105, 200), std::vector<int> { 1 });
}

TEST(TableViewLayout, BadHeightsCountAsZero)
{
    TableViewLayout layout;
    layout.setTableHeaderHeight(-5);
    layout.setSections({ { std::nan(""), -1, { 10, -3, INFINITY, 20 } } });
    EXPECT_DOUBLE_EQ(layout.rowOriginY({ 0, 3 }), 10);
    EXPECT_DOUBLE_EQ(layout.contentHeight(), 30);
    EXPECT_EQ(layout.indexPathForRowAtY(15), (IndexPath { 0, 3 }));
    EXPECT_FALSE(layout.isValid({ 0, 4 }));
    EXPECT_FALSE(layout.isValid({ 1, 0 }));
}

} // namespace

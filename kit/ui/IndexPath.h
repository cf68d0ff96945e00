// SPDX-License-Identifier: MIT
#pragma once

#include <compare>
#include <cstddef>
#include <functional>

namespace kit {

// A row's place in a table: its section, then its row within the section.
// Ordered section first, as tables enumerate them.
class IndexPath {
public:
    int section = 0;
    int row = 0;

    static IndexPath forRow(int row, int section) { return IndexPath { section, row }; }

    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

} // namespace kit

template<>
struct std::hash<kit::IndexPath> {
    std::size_t operator()(const kit::IndexPath& p) const noexcept
    {
        return (static_cast<std::size_t>(static_cast<unsigned>(p.section)) << 32) ^ static_cast<unsigned>(p.row);
    }
};

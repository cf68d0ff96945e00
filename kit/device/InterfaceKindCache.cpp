// SPDX-License-Identifier: MIT
#include "kit/device/InterfaceKindCache.h"

#include <algorithm>

namespace kit {

InterfaceKindCache::InterfaceKindCache(std::string root)
    : m_source(std::move(root))
{
}

void InterfaceKindCache::noteLinks(const std::vector<InterfaceCounters>& links)
{
    std::vector<std::pair<int, std::string>> current;
    current.reserve(links.size());
    for (const auto& link : links)
        current.emplace_back(link.index, link.name);
    // The dump's order is the kernel's and may change without anything else changing.
    std::sort(current.begin(), current.end());
    if (m_linksKnown && current == m_links)
        return;
    m_links = std::move(current);
    m_linksKnown = true;
    m_kinds.clear();
}

void InterfaceKindCache::forget()
{
    m_linksKnown = false;
    m_links.clear();
    m_kinds.clear();
}

InterfaceKind InterfaceKindCache::kindOf(std::string_view name)
{
    if (m_linksKnown) {
        for (const auto& [kept, kind] : m_kinds) {
            if (kept == name)
                return kind;
        }
    }
    ++m_lookups;
    InterfaceKind kind = m_source.kindOf(name);
    // Only a listed interface's kind is known to last until the list changes.
    bool listed = std::any_of(m_links.begin(), m_links.end(), [&](const auto& link) { return link.second == name; });
    if (m_linksKnown && listed)
        m_kinds.emplace_back(std::string(name), kind);
    return kind;
}

} // namespace kit

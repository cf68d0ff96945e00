// SPDX-License-Identifier: MIT
#pragma once

#include "kit/device/InterfaceConfigurationSource.h"
#include "kit/device/InterfaceCounterSource.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

// The kind of each interface, looked up under <root>/sys once and kept while the kernel's list
// of interfaces stays the same. A kind belongs to the interface, not to its name: when an
// interface comes, goes or is renamed, or a name comes back with another index, every kept kind
// is dropped and looked up again. Until a list has been noted, nothing is kept.
class InterfaceKindCache {
public:
    explicit InterfaceKindCache(std::string root = "/");

    // The links the kernel lists now, by index and name, as a link dump gives them.
    void noteLinks(const std::vector<InterfaceCounters>& links);
    // The list could not be read: nothing is known to be unchanged, so nothing is kept.
    void forget();

    InterfaceKind kindOf(std::string_view name);

    // How many kinds were looked up under /sys rather than found kept.
    int lookups() const { return m_lookups; }

private:
    InterfaceConfigurationSource m_source;
    bool m_linksKnown = false;
    std::vector<std::pair<int, std::string>> m_links;
    std::vector<std::pair<std::string, InterfaceKind>> m_kinds;
    int m_lookups = 0;
};

} // namespace kit

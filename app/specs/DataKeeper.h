#pragma once

#include "kit/base/Date.h"
#include "kit/base/Value.h"
#include "kit/ui/AttributedString.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Posted after a refresh has stored a newer data set; the object is the shared DataKeeper.
inline constexpr std::string_view DKNewDataIsAvailableNotification = "DKNewDataIsAvailableNotification";

// The one owner of the specifications data set ("specs.plist"): the read-only bundle copy, the
// working copy in the application-support folder that the bundle copy seeds and downloads
// replace, and what the screens read from it. A process-wide instance; the class operations
// forward to it. Main thread only.
class DataKeeper {
public:
    // Top-level keys of the data set that are not model keys.
    static constexpr std::string_view kOrderedSpecsKeysKey = "orderedSpecsKeys";
    static constexpr std::string_view kOrderedComparisonSpecsKeysKey = "orderedComparisonSpecsKeys";
    static constexpr std::string_view kUnknownModelKey = "unknown";
    static constexpr std::string_view kFamilyKeys[] = { "iPhone", "iPod", "iPad" };
    static constexpr std::string_view kSpecsFileName = "specs.plist";
    // The rows used when the data set brings no (or an empty) "orderedSpecsKeys" or
    // "orderedComparisonSpecsKeys".
    static const std::vector<std::string>& defaultSpecsKeys();
    static const std::vector<std::string>& defaultComparisonSpecsKeys();

    // Created on the first call, lives for the process.
    static DataKeeper& sharedKeeper();

    // The bundle resource "specs" of type "plist"; looked up once.
    static std::optional<std::string> specsInBundlePath();
    // "specs.plist" in the application-support folder; computed once per process. When the
    // folder can't be had, one log line is written and the path stays absent.
    static std::optional<std::string> specsInWorkingDirectoryPath();
    // Seeds the working copy from the bundle copy unless the working copy is at least as new.
    // The copy is written atomically and carries the bundle copy's modification date.
    static void copyDataFromBundleIfNeeded();

    // One model's entry (a dictionary), looked up afresh; null when the key or the data is absent.
    static kit::Value specsForModel(std::string_view modelKey);
    // Model keys in display order: family keys, "unknown" and the two row lists left out
    // unless one of them is this device's key. Computed once per process.
    static const std::vector<std::string>& sortedModelsKeys();
    // Tech Specs rows and comparison rows (spec key paths). Computed once per process.
    static const std::vector<std::string>& allSpecsKeys();
    static const std::vector<std::string>& comparisonSpecsKeys();
    // This device's entry key: its own model identifier when the data set has it, else the
    // longest top-level key that is a prefix of it (a family entry), else "unknown".
    static std::string thisModelKey();

    // Three runs: first in attr1, the divider in attr1 only when both strings are non-empty
    // (else an empty run), second in attr2.
    static kit::AttributedString composeMultiString(std::string_view first, std::string_view second,
        std::string_view divider, const kit::TextAttributes& attr1, const kit::TextAttributes& attr2);

    // The parsed working copy: a dictionary, or null when it could not be had. Loaded on first
    // use; an unreadable working copy falls back to the bundle copy (one log line). The
    // reference stays valid until dropCachedData().
    const kit::Value& allData();

    // Forgets the data set and this device's key, so both are recomputed against the file on
    // their next use. The model list and the row lists are kept for the process.
    void dropCachedData();

    // Test seams. Overrides take effect after resetForTesting(), which also forgets every
    // cached value (including those kept for the process) and the computed paths.
    static void setBundleSpecsPathForTesting(std::optional<std::string> path);
    static void setApplicationSupportDirectoryForTesting(std::optional<std::string> directory);
    static void setModelIdentifierForTesting(std::optional<std::string> identifier);
    static void resetForTesting();

    DataKeeper(const DataKeeper&) = delete;
    DataKeeper& operator=(const DataKeeper&) = delete;

private:
    DataKeeper() = default;

    std::optional<std::string> computeWorkingDirectoryPath();
    std::string computeThisModelKey();
    std::string deviceModelIdentifier() const;

    // Cached data, in the order the screens depend on it.
    kit::Value m_allData;
    bool m_allDataLoaded = false;
    std::optional<std::vector<std::string>> m_sortedModelsKeys;
    std::optional<std::string> m_thisModelKey;
    std::optional<std::vector<std::string>> m_comparisonSpecsKeys;
    std::optional<std::vector<std::string>> m_allSpecsKeys;

    std::optional<std::optional<std::string>> m_specsInBundlePath;
    std::optional<std::optional<std::string>> m_specsInWorkingDirectoryPath;

    std::optional<std::string> m_bundleSpecsPathOverride;
    std::optional<std::string> m_applicationSupportDirectoryOverride;
    std::optional<std::string> m_modelIdentifierOverride;

public:
    // ---- Data set refresh from the server ----------------------------------------------------
    // Kept apart: updateData, getServerData and the URL session delegate operations live here,
    // implemented in DataKeeperUpdate.cpp, with their fields (connectionAttemptsCount,
    // serverURLs, connectionData, serverDataModificationDate, session) below.
};

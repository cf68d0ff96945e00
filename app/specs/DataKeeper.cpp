// SPDX-License-Identifier: MIT
#include "app/specs/DataKeeper.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/Memory.h"
#include "kit/base/PropertyList.h"
#include "kit/base/Strings.h"
#include "kit/device/Device.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view kFallbackBundleIdentifier = "com.velmora.quarrin";

// File systems and the double behind kit::Date keep a modification time to well under this;
// two dates closer than it are the same date, so a freshly seeded copy is never seeded again.
constexpr double kDateTolerance = 1e-6;

bool isNonModelKey(std::string_view key)
{
    static constexpr std::array<std::string_view, 6> keys = { "iPhone", "iPod", "iPad", DataKeeper::kUnknownModelKey,
        DataKeeper::kOrderedSpecsKeysKey, DataKeeper::kOrderedComparisonSpecsKeysKey };
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::vector<std::string> rowKeys(const kit::Value& data, std::string_view listKey, const std::vector<std::string>& defaults)
{
    std::vector<std::string> keys;
    if (const auto* list = data[listKey].asArray()) {
        // Entries that are not strings can't name a row; a list without usable entries counts
        // as empty.
        for (const auto& entry : *list) {
            if (const auto* key = entry.asString(); key && !key->empty())
                keys.push_back(*key);
        }
    }
    return keys.empty() ? defaults : keys;
}

kit::Value readDictionary(const std::string& path, std::string& error)
{
    auto result = kit::PropertyList::readFile(path);
    if (!result.ok()) {
        error = result.error();
        return {};
    }
    if (!result->isDict()) {
        error = "the root is not a dictionary";
        return {};
    }
    return std::move(*result);
}

} // namespace

const std::vector<std::string>& DataKeeper::defaultSpecsKeys()
{
    static const std::vector<std::string> keys = {
        "Processor",
        "GPU",
        "Onboard RAM",
        "Geekbench 2",
        "Geekbench 3",
        "Display",
        "Front Camera",
        "Rear Camera",
        "Weight",
        "Dimensions",
        "Wi-Fi",
        "Bluetooth",
        "Cellular",
        "Battery Capacity",
        "BatteryLife.Audio Playback",
        "BatteryLife.Video Playback",
        "BatteryLife.Talk over 2G",
        "BatteryLife.Talk over 3G",
        "BatteryLife.Browsing over Wi-Fi",
        "BatteryLife.Browsing over 3G",
        "BatteryLife.Browsing over LTE",
        "Sensors",
        "Location",
        "Connector",
        "SIM Card",
        "Capacity",
        "Release Date",
        "Discontinued Date",
        "Price",
    };
    return keys;
}

const std::vector<std::string>& DataKeeper::defaultComparisonSpecsKeys()
{
    // The comparison asks for the newer benchmark first: it shows "Geekbench 3" when every
    // chosen model has it and falls back to "Geekbench 2" otherwise.
    static const std::vector<std::string> keys = {
        "Processor",
        "GPU",
        "Onboard RAM",
        "Geekbench 3",
        "Geekbench 2",
        "Display",
        "Battery Capacity",
        "BatteryLife.Audio Playback",
        "BatteryLife.Video Playback",
        "BatteryLife.Browsing over Wi-Fi",
        "BatteryLife.Browsing over 3G",
        "BatteryLife.Talk over 3G",
        "Weight",
        "Dimensions",
        "Price",
    };
    return keys;
}

DataKeeper& DataKeeper::sharedKeeper()
{
    // A function-local static is initialised exactly once, even when first reached from two threads.
    static DataKeeper keeper;
    return keeper;
}

std::string DataKeeper::bundleIdentifier()
{
    auto identifier = kit::Bundle::mainBundle().bundleIdentifier();
    return identifier.empty() ? std::string(kFallbackBundleIdentifier) : identifier;
}

std::optional<std::string> DataKeeper::specsInBundlePath()
{
    auto& keeper = sharedKeeper();
    if (!keeper.m_specsInBundlePath) {
        if (keeper.m_bundleSpecsPathOverride)
            keeper.m_specsInBundlePath = keeper.m_bundleSpecsPathOverride;
        else
            keeper.m_specsInBundlePath = kit::Bundle::mainBundle().pathForResource("specs", "plist");
    }
    return *keeper.m_specsInBundlePath;
}

std::optional<std::string> DataKeeper::specsInWorkingDirectoryPath()
{
    auto& keeper = sharedKeeper();
    if (!keeper.m_specsInWorkingDirectoryPath)
        keeper.m_specsInWorkingDirectoryPath = keeper.computeWorkingDirectoryPath();
    return *keeper.m_specsInWorkingDirectoryPath;
}

std::optional<std::string> DataKeeper::computeWorkingDirectoryPath()
{
    std::string directory;
    if (m_applicationSupportDirectoryOverride) {
        directory = *m_applicationSupportDirectoryOverride;
        if (auto created = kit::FileManager::createDirectory(directory); !created.ok()) {
            kit::Log::write("Error specsInWorkingDirectoryPath: " + created.error());
            return std::nullopt;
        }
    } else {
        auto result = kit::FileManager::applicationSupportDirectory(bundleIdentifier());
        if (!result.ok()) {
            kit::Log::write("Error specsInWorkingDirectoryPath: " + result.error());
            return std::nullopt;
        }
        directory = *result;
    }
    if (!kit::FileManager::isDirectory(directory)) {
        kit::Log::write("Error specsInWorkingDirectoryPath: " + directory + " is not a folder");
        return std::nullopt;
    }
    if (!directory.empty() && directory.back() != '/')
        directory += '/';
    std::string path = directory + std::string(kSpecsFileName);
    // A store cut short (a crash between write and rename) leaves a hidden temporary file of the
    // data set's size; nothing else would ever remove it.
    kit::FileManager::removeStaleTemporaryFiles(path, 0);
    return path;
}

bool DataKeeper::isUsableDataSet(const kit::Value& data)
{
    const auto* root = data.asDict();
    if (!root)
        return false;
    for (const auto& [key, entry] : *root) {
        if (entry["Name"].asString())
            return true;
    }
    return false;
}

std::optional<kit::Date> DataKeeper::loadableWorkingCopyDate()
{
    auto path = specsInWorkingDirectoryPath();
    if (!path)
        return std::nullopt;
    auto date = kit::FileManager::modificationDate(*path);
    if (!date)
        return std::nullopt;
    // A date far past the clock was never a real data set's; believing it would make every
    // correct data set after it look old.
    if (!isPlausibleServerDate(*date, kit::Date::now()))
        return std::nullopt;
    std::string error;
    if (readDictionary(*path, error).isNull())
        return std::nullopt;
    return date;
}

void DataKeeper::copyDataFromBundleIfNeeded()
{
    auto bundlePath = specsInBundlePath();
    auto workingPath = specsInWorkingDirectoryPath();
    if (!bundlePath || !workingPath)
        return;
    auto bundleDate = kit::FileManager::modificationDate(*bundlePath);
    if (!bundleDate)
        return;
    // Only a working copy that loads has an age; one that doesn't is replaced whatever its date.
    auto workingDate = loadableWorkingCopyDate();
    // A working copy at least as new as the bundle copy may hold downloaded data: keep it.
    if (workingDate && workingDate->timeIntervalSince(*bundleDate) > -kDateTolerance)
        return;
    auto bytes = kit::FileManager::readFile(*bundlePath);
    if (!bytes.ok())
        return;
    // The copy carries the bundle copy's date: that date states the age of the data it holds.
    if (!kit::FileManager::writeFileAtomically(*workingPath, *bytes, *bundleDate).ok())
        return;
    sharedKeeper().dropCachedData();
}

const kit::Value& DataKeeper::allData()
{
    keepParsedDataAWhile();
    if (m_allDataLoaded)
        return m_allData;
    m_allDataLoaded = true;
    auto workingPath = specsInWorkingDirectoryPath();
    if (!workingPath)
        return m_allData;
    std::string error;
    bool missing = !kit::FileManager::fileExists(*workingPath);
    if (!missing)
        m_allData = readDictionary(*workingPath, error);
    if (!m_allData.isNull())
        return m_allData;
    // A damaged or deleted working copy must not leave the application without data while the
    // bundle copy is good. A damaged one stays where it is for the next download to replace.
    auto bundlePath = specsInBundlePath();
    std::string bundleError;
    if (bundlePath)
        m_allData = readDictionary(*bundlePath, bundleError);
    kit::Log::write("Error allData: the working copy " + *workingPath
        + (missing ? std::string(" is missing; ") : " is unreadable (" + error + "); ")
        + (m_allData.isNull() ? "the bundle copy is unreadable too" : "using the bundle copy"));
    return m_allData;
}

void DataKeeper::dropCachedData()
{
    m_allData = {};
    m_allDataLoaded = false;
    m_thisModelKey.reset();
}

void DataKeeper::keepParsedDataAWhile()
{
    m_lastDataUse = kit::RunLoop::main().now();
    if (!m_releaseTimer || !m_releaseTimer->isValid())
        armParsedDataRelease(kKeepParsedDataSeconds);
}

void DataKeeper::armParsedDataRelease(double delay)
{
    m_releaseTimer = kit::Timer::scheduled(delay, false, [this](kit::Timer&) {
        double idle = kit::RunLoop::main().now() - m_lastDataUse;
        // Read again meanwhile: wait out the rest.
        if (idle < kKeepParsedDataSeconds)
            armParsedDataRelease(kKeepParsedDataSeconds - idle);
        else
            releaseParsedData();
    });
    // Late is fine: it rides on the screens' refresh instead of waking the program.
    m_releaseTimer->setTolerance(kKeepParsedDataSeconds / 2);
}

void DataKeeper::releaseParsedData()
{
    if (m_releaseTimer)
        m_releaseTimer->invalidate();
    m_releaseTimer.reset();
    if (!m_allDataLoaded)
        return;
    m_allData = {};
    m_allDataLoaded = false;
    kit::returnFreedMemory();
}

kit::Value DataKeeper::specsForModel(std::string_view modelKey)
{
    const auto& entry = sharedKeeper().allData()[modelKey];
    // Only dictionaries are model entries; the row lists share the top level with them.
    return entry.isDict() ? entry : kit::Value();
}

const std::vector<std::string>& DataKeeper::sortedModelsKeys()
{
    auto& keeper = sharedKeeper();
    if (keeper.m_sortedModelsKeys)
        return *keeper.m_sortedModelsKeys;
    const auto* data = keeper.allData().asDict();
    if (!data) {
        // Without data there is nothing to keep: the list is built from the first data set that
        // arrives, so a first launch without data doesn't leave the screens empty until restart.
        static const std::vector<std::string> none;
        return none;
    }
    std::vector<std::string> keys;
    // The family or "unknown" entry this device resolved to stays, so the device finds itself.
    auto ownKey = thisModelKey();
    for (const auto& [key, entry] : *data) {
        if (!isNonModelKey(key) || key == ownKey)
            keys.push_back(key);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return kit::caseInsensitiveCompare(a, b) == kit::ComparisonResult::Ascending;
    });
    keeper.m_sortedModelsKeys = std::move(keys);
    return *keeper.m_sortedModelsKeys;
}

const std::vector<std::string>& DataKeeper::allSpecsKeys()
{
    auto& keeper = sharedKeeper();
    if (!keeper.m_allSpecsKeys)
        keeper.m_allSpecsKeys = rowKeys(keeper.allData(), kOrderedSpecsKeysKey, defaultSpecsKeys());
    return *keeper.m_allSpecsKeys;
}

const std::vector<std::string>& DataKeeper::comparisonSpecsKeys()
{
    auto& keeper = sharedKeeper();
    if (!keeper.m_comparisonSpecsKeys)
        keeper.m_comparisonSpecsKeys = rowKeys(keeper.allData(), kOrderedComparisonSpecsKeysKey, defaultComparisonSpecsKeys());
    return *keeper.m_comparisonSpecsKeys;
}

std::string DataKeeper::thisModelKey()
{
    auto& keeper = sharedKeeper();
    if (!keeper.m_thisModelKey)
        keeper.m_thisModelKey = keeper.computeThisModelKey();
    return *keeper.m_thisModelKey;
}

std::string DataKeeper::deviceModelIdentifier() const
{
    return m_modelIdentifierOverride ? *m_modelIdentifierOverride : kit::Device::modelIdentifier();
}

std::string DataKeeper::computeThisModelKey()
{
    auto candidate = deviceModelIdentifier();
    const auto* data = allData().asDict();
    if (!data || candidate.empty())
        return std::string(kUnknownModelKey);
    if (data->contains(candidate))
        return candidate;
    // A model newer than the data set falls back to its family entry. Of several keys that are
    // prefixes of the identifier the longest (most specific) wins; distinct keys of equal length
    // can't both be prefixes. The row lists and an empty key are never entries to fall back to.
    std::string_view best;
    for (const auto& [key, entry] : *data) {
        if (key.empty() || key == kOrderedSpecsKeysKey || key == kOrderedComparisonSpecsKeysKey)
            continue;
        if (key.size() > best.size() && kit::hasPrefix(candidate, key))
            best = key;
    }
    return best.empty() ? std::string(kUnknownModelKey) : std::string(best);
}

kit::AttributedString DataKeeper::composeMultiString(std::string_view first, std::string_view second, std::string_view divider,
    const kit::TextAttributes& attr1, const kit::TextAttributes& attr2)
{
    kit::AttributedString result;
    result.append(std::string(first), attr1);
    result.append(!first.empty() && !second.empty() ? std::string(divider) : std::string(), attr1);
    result.append(std::string(second), attr2);
    return result;
}

void DataKeeper::setBundleSpecsPathForTesting(std::optional<std::string> path)
{
    sharedKeeper().m_bundleSpecsPathOverride = std::move(path);
}

void DataKeeper::setApplicationSupportDirectoryForTesting(std::optional<std::string> directory)
{
    sharedKeeper().m_applicationSupportDirectoryOverride = std::move(directory);
}

void DataKeeper::setModelIdentifierForTesting(std::optional<std::string> identifier)
{
    sharedKeeper().m_modelIdentifierOverride = std::move(identifier);
}

void DataKeeper::resetForTesting()
{
    auto& keeper = sharedKeeper();
    keeper.releaseParsedData();
    keeper.dropCachedData();
    keeper.m_sortedModelsKeys.reset();
    keeper.m_comparisonSpecsKeys.reset();
    keeper.m_allSpecsKeys.reset();
    keeper.m_specsInBundlePath.reset();
    keeper.m_specsInWorkingDirectoryPath.reset();
}

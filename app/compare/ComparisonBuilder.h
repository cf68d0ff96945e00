// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"
#include "kit/ui/AttributedString.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {
class UserDefaults;
} // namespace kit

// Turns the chosen models and the data set into the comparison the Compare tab shows: one
// section per comparison key path, one row per distinct value naming the models that share it,
// rows largest figure first. Knows nothing of views, so the screen, `quarrin --print` and the
// benchmark build the same sections.
class ComparisonBuilder {
public:
    static constexpr std::string_view kHeaderKey = "kHeaderKey";
    static constexpr std::string_view kRowsKey = "kRowsKey";
    static constexpr std::string_view kRowFirstItemKey = "kRowFirstItemKey";
    static constexpr std::string_view kRowSecondItemKey = "kRowSecondItemKey";
    static constexpr std::string_view kAccessoryKey = "kAccessoryKey";
    // A comparison item's value.
    static constexpr std::string_view kItemKey = "kItemKey";
    // The stored selection: a list of model keys in the order the user chose them.
    static constexpr std::string_view kSelectedModelsKey = "kSelectedModelsKey";
    // What a model that lacks a key path shows; a string value like any other.
    static constexpr std::string_view kNotAvailable = "n/a";
    // Only one of the two benchmark generations is shown (see build()).
    static constexpr std::string_view kNewBenchmarkKeyPath = "Geekbench 3";
    static constexpr std::string_view kOldBenchmarkKeyPath = "Geekbench 2";

    // The four styles of the models and value texts.
    struct TextStyles {
        kit::TextAttributes name;
        kit::TextAttributes nameDetail;
        kit::TextAttributes value;
        kit::TextAttributes valueDetail;
    };
    // Names and values at 18 points on a tablet and 15 on a phone, value details at 16 and 13.
    static TextStyles textStyles(bool pad);

    // A model key's entry, null when the data set does not hold it.
    using ModelLookup = std::function<kit::Value(std::string_view modelKey)>;

    // The string elements of the stored list; nothing when no list is stored (a stored value
    // that is not a list counts as none). An empty list is a choice and comes back empty.
    static std::optional<std::vector<std::string>> storedSelection(const kit::UserDefaults& defaults);
    // The stored list, or, when there is none, a list of this device's key alone, stored only
    // when `storeDefault` is set (observers such as --print leave the preferences alone).
    static std::vector<std::string> selection(kit::UserDefaults& defaults, std::string_view thisModelKey, bool storeDefault);

    // The items of one key path, in selection order: {"Name", "DetailName", "kItemKey"}.
    // A key whose entry is missing or has no "Name" (a model dropped by a data update) makes no
    // item; it stays in the stored list for the user to delete.
    static kit::Array comparisonItems(const std::vector<std::string>& selection, std::string_view keyPath,
        const ModelLookup& lookup);

    // The sections {"kHeaderKey": header text, "kRowsKey": rows}, each row {"kRowFirstItemKey":
    // models text, "kRowSecondItemKey": value text} (both AttributedString objects).
    // A key path that every chosen model lacks gets no section. "Geekbench 3" is shown only when
    // every chosen model has it, and then "Geekbench 2" is not; the decision is taken where
    // "Geekbench 3" comes in keyPaths, so a list with "Geekbench 2" first always shows that one.
    static kit::Array build(const std::vector<std::string>& selection, const std::vector<std::string>& keyPaths,
        const ModelLookup& lookup, const TextStyles& styles);

    // A spec value as two styled parts joined by `divider`: a date in the medium date style;
    // a string localised; a dictionary's "NumericValue" as it is, then its "Value" localised
    // (or "Value" alone when there is no figure); anything else "n/a", not localised.
    static kit::AttributedString numericValueAttrString(const kit::Value& value, const kit::TextAttributes& firstPart,
        const kit::TextAttributes& secondPart, std::string_view divider);

    // The figure a row is ordered and measured by: the leading number of its value text read
    // in the C locale ("512 MB" → 512, "1.5 GB" → 1.5), 0 for text that does not start with one.
    static double rowNumber(const kit::Value& row);
    static double numberOfText(std::string_view text);
    // Whether row a stands above row b: the larger number first; equal numbers by value text,
    // the one that sorts later (localised, ignoring case) first.
    static bool rowPrecedes(const kit::Value& a, const kit::Value& b);
    // The localised last component of a key path: "BatteryLife.Talk over 3G" → "Talk over 3G".
    static std::string headerForKeyPath(std::string_view keyPath);

    // The plain text of a row's models or value text.
    static std::string plainText(const kit::Value& item);
    // Sections as plain data for scripts: [{"header", "rows": [{"models", "value", "number"}]}].
    static kit::Array plainSections(const kit::Array& sections);
};

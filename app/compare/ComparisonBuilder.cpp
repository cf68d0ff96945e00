// SPDX-License-Identifier: MIT
#include "app/compare/ComparisonBuilder.h"

#include "app/specs/DataKeeper.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/Strings.h"
#include "kit/base/UserDefaults.h"

#include <algorithm>
#include <memory>

namespace {

std::string localized(std::string_view key)
{
    return key.empty() ? std::string() : kit::Bundle::mainBundle().localizedString(key);
}

// A part of a dictionary value; parts that are not strings count as missing.
const std::string& part(const kit::Value& value, std::string_view key) { return value[key].string(); }

bool isNotAvailable(const kit::Value& value)
{
    const auto* text = value.asString();
    return text && *text == ComparisonBuilder::kNotAvailable;
}

const kit::Value& itemValue(const kit::Value& item) { return item[ComparisonBuilder::kItemKey]; }
const std::string& itemName(const kit::Value& item) { return item["Name"].string(); }

// The models text of one row: a line per name, each name qualified by the detail names of the
// group's models only where models of that name are split over several rows.
kit::AttributedString modelsText(const std::vector<const kit::Value*>& group, const kit::Array& items,
    const ComparisonBuilder::TextStyles& styles)
{
    std::vector<std::string> names;
    for (const kit::Value* item : group) {
        if (std::find(names.begin(), names.end(), itemName(*item)) == names.end())
            names.push_back(itemName(*item));
    }
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return kit::localizedCaseInsensitiveCompare(a, b) == kit::ComparisonResult::Ascending;
    });

    kit::AttributedString text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string& name = names[index];
        if (index > 0)
            text.append("\n", styles.name);
        auto named = [&](const kit::Value* item) { return itemName(*item) == name; };
        auto inSelection = std::count_if(items.begin(), items.end(), [&](const kit::Value& item) { return named(&item); });
        auto inGroup = std::count_if(group.begin(), group.end(), named);
        if (inSelection <= inGroup) {
            text.append(name, styles.name);
            continue;
        }
        std::vector<std::string> details;
        for (const kit::Value* item : group) {
            const std::string& detail = (*item)["DetailName"].string();
            if (named(item) && std::find(details.begin(), details.end(), detail) == details.end())
                details.push_back(detail);
        }
        text.append(DataKeeper::composeMultiString(name, kit::join(details, ", "), " ", styles.name, styles.nameDetail));
    }
    return text;
}

struct SortableRow {
    kit::Value row;
    double number = 0;
    std::string valueText;
};

bool precedes(const SortableRow& a, const SortableRow& b)
{
    if (a.number != b.number)
        return a.number > b.number;
    return kit::localizedCaseInsensitiveCompare(a.valueText, b.valueText) == kit::ComparisonResult::Descending;
}

} // namespace

ComparisonBuilder::TextStyles ComparisonBuilder::textStyles(bool pad)
{
    double nameSize = pad ? 18 : 15;
    TextStyles styles;
    styles.name.font = SharedTools::fontWithName("HelveticaNeue-Light", nameSize);
    styles.nameDetail.font = SharedTools::fontWithName("HelveticaNeue-UltraLight", nameSize);
    styles.value.font = SharedTools::fontWithName("HelveticaNeue-Medium", nameSize);
    styles.valueDetail.font = SharedTools::fontWithName("HelveticaNeue-Light", pad ? 16 : 13);
    styles.valueDetail.foregroundColor = kit::Color::white(0.8);
    return styles;
}

std::optional<std::vector<std::string>> ComparisonBuilder::storedSelection(const kit::UserDefaults& defaults)
{
    const kit::Value& stored = defaults.objectForKey(kSelectedModelsKey);
    const kit::Array* list = stored.asArray();
    if (!list)
        return std::nullopt;
    std::vector<std::string> keys;
    for (const kit::Value& key : *list) {
        if (const auto* text = key.asString())
            keys.push_back(*text);
    }
    return keys;
}

std::vector<std::string> ComparisonBuilder::selection(kit::UserDefaults& defaults, std::string_view thisModelKey,
    bool storeDefault)
{
    if (auto stored = storedSelection(defaults))
        return *stored;
    std::vector<std::string> keys { std::string(thisModelKey) };
    if (storeDefault)
        defaults.setStringArray(keys, kSelectedModelsKey);
    return keys;
}

kit::Array ComparisonBuilder::comparisonItems(const std::vector<std::string>& selection, std::string_view keyPath,
    const ModelLookup& lookup)
{
    kit::Array items;
    items.reserve(selection.size());
    for (const std::string& key : selection) {
        kit::Value entry = lookup ? lookup(key) : kit::Value();
        if (!entry["Name"].isString())
            continue;
        const kit::Value& value = entry.valueForKeyPath(keyPath);
        items.push_back(kit::Dict {
            { "Name", entry["Name"] },
            { "DetailName", entry["DetailName"].string() },
            { std::string(kItemKey), value.isNull() ? kit::Value(kNotAvailable) : value },
        });
    }
    return items;
}

kit::Array ComparisonBuilder::build(const std::vector<std::string>& selection, const std::vector<std::string>& keyPaths,
    const ModelLookup& lookup, const TextStyles& styles)
{
    kit::Array sections;
    bool everyModelHasNewBenchmark = false;
    for (const std::string& keyPath : keyPaths) {
        kit::Array items = comparisonItems(selection, keyPath, lookup);
        if (std::all_of(items.begin(), items.end(), [](const kit::Value& item) { return isNotAvailable(itemValue(item)); }))
            continue;
        if (keyPath == kNewBenchmarkKeyPath) {
            everyModelHasNewBenchmark = std::none_of(items.begin(), items.end(),
                [](const kit::Value& item) { return isNotAvailable(itemValue(item)); });
        }
        if ((keyPath == kNewBenchmarkKeyPath && !everyModelHasNewBenchmark)
            || (keyPath == kOldBenchmarkKeyPath && everyModelHasNewBenchmark))
            continue;

        // Distinct values in the order the items first show them.
        std::vector<const kit::Value*> values;
        for (const kit::Value& item : items) {
            const kit::Value& value = itemValue(item);
            if (std::none_of(values.begin(), values.end(), [&](const kit::Value* seen) { return *seen == value; }))
                values.push_back(&value);
        }

        std::vector<SortableRow> rows;
        rows.reserve(values.size());
        for (const kit::Value* value : values) {
            std::vector<const kit::Value*> group;
            for (const kit::Value& item : items) {
                if (itemValue(item) == *value)
                    group.push_back(&item);
            }
            auto models = std::make_shared<kit::AttributedString>(modelsText(group, items, styles));
            auto valueText
                = std::make_shared<kit::AttributedString>(numericValueAttrString(*value, styles.value, styles.valueDetail, "\n"));
            SortableRow row;
            row.valueText = valueText->string();
            row.number = numberOfText(row.valueText);
            row.row = kit::Dict { { std::string(kRowFirstItemKey), kit::Value(std::move(models)) },
                { std::string(kRowSecondItemKey), kit::Value(std::move(valueText)) } };
            rows.push_back(std::move(row));
        }
        std::stable_sort(rows.begin(), rows.end(), precedes);

        kit::Array sectionRows;
        sectionRows.reserve(rows.size());
        for (auto& row : rows)
            sectionRows.push_back(std::move(row.row));
        sections.push_back(kit::Dict { { std::string(kHeaderKey), headerForKeyPath(keyPath) },
            { std::string(kRowsKey), std::move(sectionRows) } });
    }
    return sections;
}

kit::AttributedString ComparisonBuilder::numericValueAttrString(const kit::Value& value, const kit::TextAttributes& firstPart,
    const kit::TextAttributes& secondPart, std::string_view divider)
{
    std::string first;
    std::string second;
    if (const auto* date = value.asDate()) {
        first = kit::DateFormatter::mediumDate(*date);
    } else if (const auto* text = value.asString()) {
        first = localized(*text);
    } else if (value.isDict()) {
        // The figure leads, so rows order by it; it is never translated.
        if (value["NumericValue"].isString()) {
            first = part(value, "NumericValue");
            second = localized(part(value, "Value"));
        } else {
            first = localized(part(value, "Value"));
        }
    } else {
        first = kNotAvailable;
    }
    return DataKeeper::composeMultiString(first, second, divider, firstPart, secondPart);
}

std::string ComparisonBuilder::plainText(const kit::Value& item)
{
    if (auto styled = item.objectAs<kit::AttributedString>())
        return styled->string();
    return item.stringValue();
}

kit::Array ComparisonBuilder::plainSections(const kit::Array& sections)
{
    kit::Array plain;
    for (const kit::Value& section : sections) {
        kit::Array rows;
        if (const kit::Array* sectionRows = section[kRowsKey].asArray()) {
            for (const kit::Value& row : *sectionRows) {
                kit::Dict plainRow;
                plainRow.emplace("models", plainText(row[kRowFirstItemKey]));
                plainRow.emplace("value", plainText(row[kRowSecondItemKey]));
                plainRow.emplace("number", rowNumber(row));
                rows.emplace_back(std::move(plainRow));
            }
        }
        plain.push_back(kit::Dict { { "header", section[kHeaderKey].string() }, { "rows", std::move(rows) } });
    }
    return plain;
}

double ComparisonBuilder::numberOfText(std::string_view text) { return kit::parseDouble(text); }

double ComparisonBuilder::rowNumber(const kit::Value& row) { return numberOfText(plainText(row[kRowSecondItemKey])); }

bool ComparisonBuilder::rowPrecedes(const kit::Value& a, const kit::Value& b)
{
    return precedes({ a, rowNumber(a), plainText(a[kRowSecondItemKey]) }, { b, rowNumber(b), plainText(b[kRowSecondItemKey]) });
}

std::string ComparisonBuilder::headerForKeyPath(std::string_view keyPath)
{
    auto components = kit::split(keyPath, ".");
    return localized(components.back());
}

#include "app/techspecs/SpecsController.h"

#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"

#include <initializer_list>

namespace {

std::string localized(const std::string& key)
{
    return key.empty() ? key : kit::Bundle::mainBundle().localizedString(key);
}

// A part of a dictionary value; parts that are not strings count as missing.
const std::string& part(const kit::Value& value, std::string_view key)
{
    return value[key].string();
}

} // namespace

std::string SpecsController::textValueString(const kit::Value& value)
{
    if (const auto* date = value.asDate())
        return kit::DateFormatter::mediumDate(*date);
    if (const auto* text = value.asString())
        return localized(*text);
    if (value.isDict()) {
        // Every part present gets its own line. "NumericValue" is a figure with its unit and is
        // never translated.
        std::string result;
        for (const auto& line : { localized(part(value, "Value")), part(value, "NumericValue"),
                 localized(part(value, "Details")) }) {
            if (line.empty())
                continue;
            if (!result.empty())
                result += '\n';
            result += line;
        }
        return result;
    }
    return "n/a";
}

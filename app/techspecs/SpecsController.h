#pragma once

#include "kit/base/Value.h"

#include <string>

// The Tech Specs screen: one model's tech specs, chosen with a horizontal picker.
class SpecsController {
public:
    // A spec value as plain text: a date in the medium date style; a string localised; a
    // dictionary's non-empty parts "Value" (localised), "NumericValue" (as it is) and "Details"
    // (localised), one per line; anything else (a number, an array, nothing) "n/a".
    static std::string textValueString(const kit::Value& value);
};

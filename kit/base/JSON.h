#pragma once

#include "kit/base/Value.h"

#include <string>

namespace kit {

// JSON text of a value, for scripts that read the programs' figures. Numbers stay numbers;
// dates become seconds since 1970; data and objects become null.
std::string toJSON(const Value& value, bool pretty = false);

} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <string>

namespace kit {

// JSON text of a value, for scripts that read the programs' figures. Numbers stay numbers;
// dates become seconds since 1970; data and objects become null. The text is always valid
// UTF-8: ill-formed bytes in strings and keys become U+FFFD.
std::string toJSON(const Value& value, bool pretty = false);

} // namespace kit

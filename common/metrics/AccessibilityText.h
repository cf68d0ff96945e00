// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <initializer_list>
#include <string>
#include <string_view>

// What a screen reader says for the figures that are drawn rather than written: the bars and
// the panels of Usage and the widget, the network headers. Texts come from the string tables;
// `usage` is SharedTools::usageDict()'s dictionary, whose figures are already formatted.
namespace AccessibilityText {

// The "%@" placeholders of a localised format filled in order; missing values leave "".
std::string fillIn(std::string_view format, std::initializer_list<std::string_view> values);

// "Used 173.3 GB of 252.0 GB".
std::string diskBar(const kit::Value& usage);
// "Free 5.6 GB of 16.0 GB".
std::string memoryBar(const kit::Value& usage);
// "Disk: used 173.3 GB, free 78.7 GB, capacity 252.0 GB".
std::string diskPanel(const kit::Value& usage);
// "Memory: wired 1.2 GB, active 3.4 GB, inactive 2.0 GB, free 5.6 GB, total 16.0 GB".
std::string memoryPanel(const kit::Value& usage);
// "eth0, received 47.9 MB, sent 85.0 KB"; just the name without counters.
std::string networkHeader(std::string_view name, std::string_view received, std::string_view sent);
// A legend's value with its name before it: "Used 173.3 GB".
std::string legend(std::string_view nameKey, std::string_view value);

} // namespace AccessibilityText

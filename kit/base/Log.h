// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace kit::Log {

// A diagnostic line for the system log (syslog) and standard error.
void write(std::string_view line);

// Tests silence standard error or capture what was logged.
void setEchoToStderr(bool);
void setCaptureHook(void (*hook)(std::string_view line));

} // namespace kit::Log

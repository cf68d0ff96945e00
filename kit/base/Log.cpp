// SPDX-License-Identifier: MIT
#include "kit/base/Log.h"

#include <cstdio>
#include <string>
#include <syslog.h>

namespace kit::Log {

namespace {
bool s_echo = true;
void (*s_hook)(std::string_view) = nullptr;
} // namespace

void write(std::string_view line)
{
    std::string text(line);
    syslog(LOG_NOTICE, "%s", text.c_str());
    if (s_echo)
        std::fprintf(stderr, "%s\n", text.c_str());
    if (s_hook)
        s_hook(line);
}

void setEchoToStderr(bool echo) { s_echo = echo; }
void setCaptureHook(void (*hook)(std::string_view)) { s_hook = hook; }

} // namespace kit::Log

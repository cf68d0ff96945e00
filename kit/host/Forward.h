// SPDX-License-Identifier: MIT
#pragma once

namespace kit {
struct CommandLine;
struct HostOptions;
class HostCore;
class HeadlessHost;
class GtkHost;
class StatusBarWindow;
class StatusBarBatteryItemView;
} // namespace kit

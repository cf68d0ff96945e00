// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// The application's refresh rhythm. The shell posts the notification every interval while the
// application is active; screens and the widget that show live figures observe it. It lives
// here, below both, so a screen can listen without including the shell that owns it.
inline constexpr std::string_view kRefreshNotification = "ADRefreshTimerDidShotNotification";
inline constexpr double kRefreshInterval = 3.0;

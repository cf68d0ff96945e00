// SPDX-License-Identifier: MIT
#pragma once

namespace kit {
class Value;
class Object;
class Date;
class DateFormatter;
class PropertyList;
class RunLoop;
class Timer;
class FdWatch;
class NotificationCenter;
class UserDefaults;
class Bundle;
class FileManager;
template<typename T>
class Result;
struct Error;
} // namespace kit

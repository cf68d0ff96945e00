// SPDX-License-Identifier: MIT
#pragma once

namespace kit {
enum class Idiom;
struct ScreenSize;
struct DeviceProfile;
class Device;
struct MemoryInfo;
class MemorySource;
struct FileSystemSizes;
class FileSystemSource;
class BootTimeSource;
enum class InterfaceKind;
struct InterfaceEntry;
class InterfaceConfigurationSource;
struct InterfaceCounters;
class InterfaceCounterSource;
struct BatteryReading;
class BatterySource;
class DeviceIdentity;
} // namespace kit

// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace kit {

// What this machine calls itself, read under <root>.
class DeviceIdentity {
public:
    explicit DeviceIdentity(std::string root = "/");

    // The device-tree model, else DMI vendor and product (placeholder texts left out), else
    // unameMachine (the uname machine field when empty).
    std::string modelIdentifier(std::string_view unameMachine = {}) const;

    static std::string hostName();
    static std::string kernelRelease();

    // "6.1.0-18-amd64" → "6.1"; "6" → "6"; text without a leading number → "".
    static std::string leadingVersion(std::string_view release);
    // True for DMI texts that vendors leave unset ("To Be Filled By O.E.M.", "Default string"…).
    static bool isPlaceholder(std::string_view text);

private:
    std::string m_root;
};

} // namespace kit

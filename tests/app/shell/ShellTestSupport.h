// SPDX-License-Identifier: MIT
#pragma once

#include "app/specs/DataKeeper.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/DeviceProfile.h"
#include "tests/kit/base/TempFolder.h"

namespace shelltest {

// Points everything a shell launch reads or writes into `home`: preferences, the data keeper's
// folders, the bundled data set of the source tree, and data servers nothing listens on, so an
// exchange fails at once without leaving the machine.
inline void isolateShell(const kit::testing::TempFolder& home, kit::testing::ScopedEnvironment& environment)
{
    environment.set("HOME", home.path());
    environment.set("XDG_CONFIG_HOME", home.path() + "/config");
    environment.set("XDG_DATA_HOME", home.path() + "/data");
    kit::UserDefaults::resetStandardUserDefaults();
    DataKeeper::setBundleSpecsPathForTesting(std::string(QUARRIN_SOURCE_DIR "/resources/specs.plist"));
    DataKeeper::setApplicationSupportDirectoryForTesting(home.path() + "/data/support");
    DataKeeper::resetForTesting();
    DataKeeper::sharedKeeper().setServerURLs({ "https://127.0.0.1:1/", "https://127.0.0.1:1/" });
    kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
}

// Undoes isolateShell, so the next test starts from the process's own state.
inline void restoreShell()
{
    DataKeeper::sharedKeeper().resetUpdateStateForTesting();
    DataKeeper::setBundleSpecsPathForTesting(std::nullopt);
    DataKeeper::setApplicationSupportDirectoryForTesting(std::nullopt);
    DataKeeper::resetForTesting();
    kit::UserDefaults::resetStandardUserDefaults();
    kit::DeviceProfile::setCurrent(kit::DeviceProfile::defaultProfile());
}

} // namespace shelltest

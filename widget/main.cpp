// SPDX-License-Identifier: MIT
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/JSON.h"
#include "kit/device/DeviceProfile.h"
#include "kit/host/ApplicationMain.h"
#include "kit/host/CommandLine.h"
#include "kit/ui/Application.h"
#include "widget/VistrelController.h"
#include "widget/VistrelHost.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The widget's own bundle: share/vistrel when installed, resources/vistrel in the build tree.
std::string findWidgetBundle()
{
    std::string main = kit::Bundle::findMainResourcePath();
    std::filesystem::path mainPath(main);
    for (auto candidate : { mainPath / "vistrel", mainPath.parent_path() / "vistrel" }) {
        if (kit::FileManager::fileExists((candidate / "Info.plist").string()))
            return candidate.string();
    }
    return (mainPath / "vistrel").string();
}

} // namespace

int main(int argc, char** argv)
{
    kit::Bundle::setMainBundlePath(findWidgetBundle());

    // The widget's own options (--interval, --print) are taken here; the rest are the host's,
    // which answers a bad command line with the usage line.
    double interval = 3;
    kit::Size size = VistrelController::preferredSize(kit::DeviceProfile::current());
    auto commandLine = kit::CommandLine::parse(argc, argv, kit::CommandLine::Kind::Widget);
    if (commandLine.ok() && !commandLine->help) {
        if (auto complete = kit::verifyMainBundle(); !complete.ok()) {
            std::fprintf(stderr, "vistrel: %s\n", complete.error().c_str());
            return 1;
        }
        if (commandLine->interval) {
            interval = kit::parseDouble(*commandLine->interval);
            if (!(interval >= 0.5 && interval <= 3600)) {
                std::fprintf(stderr, "vistrel: --interval takes 0.5 to 3600 seconds, not '%s'\n", commandLine->interval->c_str());
                return 2;
            }
        }
        // The window is as wide as the chosen profile's layout needs; the host reports an unknown name.
        if (commandLine->device) {
            if (auto profile = kit::DeviceProfile::named(*commandLine->device))
                size = VistrelController::preferredSize(*profile);
        }
        if (commandLine->print && !commandLine->version) {
            std::printf("%s\n", kit::toJSON(kit::Value(SharedTools::usageDict()), true).c_str());
            return 0;
        }
    }

    kit::ProgramInfo program;
    program.name = "vistrel";
    program.kind = kit::CommandLine::Kind::Widget;
    program.version = kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue();
    program.window.windowSize = size;
    program.window.statusBar = false;
    program.window.undecorated = true;
    program.window.applicationId = "com.velmora.vistrel";
    program.window.title = "Vistrel";
    program.window.desktopWidget = true;
    const kit::Bundle& bundle = kit::Bundle::mainBundle();
    program.window.contextMenu = {
        { bundle.localizedString("Open Quarrin"),
            [] { kit::Application::shared().openURL(std::string(VistrelController::kHostAppURL)); }, false },
        { bundle.localizedString("Close"), {}, true },
    };
    program.makeDelegate = [interval, size] { return std::make_unique<VistrelHost>(size, interval); };
    return kit::applicationMain(argc, argv, program);
}

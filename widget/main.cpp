#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/JSON.h"
#include "kit/host/ApplicationMain.h"
#include "widget/VistrelHost.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double kWidgetWidth = 320;
constexpr double kWidgetHeight = 160;

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

    // Options of the widget's own; the rest are the hosts'.
    double interval = 3;
    std::vector<char*> rest { argv[0] };
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--print") {
            std::printf("%s\n", kit::toJSON(kit::Value(SharedTools::usageDict()), true).c_str());
            return 0;
        }
        if (argument == "--interval" || argument.starts_with("--interval=")) {
            std::string value;
            if (argument == "--interval") {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "vistrel: --interval needs a number of seconds\n");
                    return 2;
                }
                value = argv[++i];
            } else {
                value = std::string(argument.substr(std::strlen("--interval=")));
            }
            interval = kit::parseDouble(value);
            if (!(interval >= 0.5 && interval <= 3600)) {
                std::fprintf(stderr, "vistrel: --interval takes 0.5 to 3600 seconds, not '%s'\n", value.c_str());
                return 2;
            }
            continue;
        }
        rest.push_back(argv[i]);
    }
    rest.push_back(nullptr);

    kit::ProgramInfo program;
    program.name = "vistrel";
    program.version = kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue();
    program.window.windowSize = kit::Size { kWidgetWidth, kWidgetHeight };
    program.window.statusBar = false;
    program.window.undecorated = true;
    program.window.applicationId = "com.velmora.vistrel";
    program.window.title = "Vistrel";
    program.makeDelegate = [interval] {
        return std::make_unique<VistrelHost>(kit::Size { kWidgetWidth, kWidgetHeight }, interval);
    };
    return kit::applicationMain(static_cast<int>(rest.size()) - 1, rest.data(), program);
}

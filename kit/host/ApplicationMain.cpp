// SPDX-License-Identifier: MIT
#include "kit/host/ApplicationMain.h"

#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/Memory.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/host/CommandLine.h"
#include "kit/host/GtkHost.h"
#include "kit/host/HeadlessHost.h"
#include "kit/ui/Application.h"
#include "kit/ui/Image.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kit {

namespace {

constexpr double kSettleSeconds = 5;

bool hasDisplay()
{
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// A file path for the snapshot: FILE as given when it ends in ".png", else DIR/<program>.png.
std::string snapshotPath(const std::string& target, const std::string& program)
{
    std::filesystem::path path(target);
    if (path.extension() == ".png")
        return target;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return (path / (program + ".png")).string();
}

void printTree(const View& view, int depth, std::string& out)
{
    Rect f = view.frame();
    char line[160];
    std::snprintf(line, sizeof(line), "%*s%s (%g, %g, %g, %g)", depth * 2, "", view.className().c_str(), f.x(), f.y(), f.width(),
        f.height());
    out += line;
    if (auto* label = dynamic_cast<const Label*>(&view))
        out += " \"" + label->text() + "\"";
    if (view.isHidden())
        out += " hidden";
    out += "\n";
    for (auto& subview : view.subviews())
        printTree(*subview, depth + 1, out);
}

} // namespace

Result<void> verifyMainBundle()
{
    const Bundle& bundle = Bundle::mainBundle();
    const std::string& folder = bundle.resourcePath();
    std::vector<std::string> missing;
    if (bundle.objectForInfoDictionaryKey("CFBundleVersion").stringValue().empty())
        missing.push_back("Info.plist");
    if (!FileManager::fileExists(folder + "/en.lproj/Localizable.strings"))
        missing.push_back("en.lproj/Localizable.strings");
    if (!FileManager::fileExists(folder + "/images"))
        missing.push_back("images/");
    if (missing.empty())
        return {};
    std::string list;
    for (auto& name : missing)
        list += (list.empty() ? "" : ", ") + name;
    return Error { "cannot find its resources (" + list + ") in " + folder
        + "; it looks for resources/ or share/<program>/ beside its executable and in the folders above it" };
}

int applicationMain(int argc, char** argv, const ProgramInfo& program)
{
    // The window class (X11) and the name desktop shells match to a launcher.
    g_set_prgname(program.name.c_str());
    auto commandLine = CommandLine::parse(argc, argv, program.kind);
    if (!commandLine.ok()) {
        std::fprintf(stderr, "%s: %s\n%s\n", program.name.c_str(), commandLine.error().c_str(),
            CommandLine::usageLine(program.name, program.kind).c_str());
        return 2;
    }
    if (commandLine->help) {
        std::fputs(CommandLine::helpText(program.name, program.kind).c_str(), stdout);
        return 0;
    }
    if (auto complete = verifyMainBundle(); !complete.ok()) {
        std::fprintf(stderr, "%s: %s\n", program.name.c_str(), complete.error().c_str());
        return 1;
    }
    if (commandLine->version) {
        std::printf("%s %s\n", program.name.c_str(), program.version.c_str());
        return 0;
    }
    if (commandLine->listDevices) {
        for (auto& profile : DeviceProfile::builtInProfiles()) {
            std::printf("%-20s %-6s %4g x %-4g %s\n", profile.name.c_str(), profile.isPad() ? "tablet" : "phone",
                profile.screenSize.width, profile.screenSize.height, profile.modelIdentifier.c_str());
        }
        return 0;
    }
    if (commandLine->device) {
        auto profile = DeviceProfile::named(*commandLine->device);
        if (!profile) {
            std::fprintf(stderr, "%s: unknown device '%s' (see --list-devices)\n", program.name.c_str(),
                commandLine->device->c_str());
            return 2;
        }
        DeviceProfile::setCurrent(*profile);
    }

    bool headless = commandLine->snapshot || commandLine->print || !hasDisplay();
    // Rasterised images are kept between runs, so that a normal start never loads the SVG library;
    // a run that only renders or prints uses what is there and writes nothing.
    Image::setRasterCache(Image::defaultRasterCacheFolder(), !headless);

    HostOptions options = program.window;
    options.profile = DeviceProfile::current();
    if (options.iconName.empty())
        options.iconName = program.name;
    std::unique_ptr<ApplicationDelegate> delegate = program.makeDelegate ? program.makeDelegate() : nullptr;

    // A run that only renders or prints looks at the stored state and changes none of it.
    if (headless)
        UserDefaults::setReadOnly(true);
    if (!headless) {
        // Launching leaves freed memory scattered through the heap (the data set read to check
        // the working copy, first layouts, images); a monitor runs for days, so it is handed back
        // once, after the window has settled. Over a megabyte of resident memory.
        static const int settled = 0;
        RunLoop::main().performAfterDelay(&settled, kSettleSeconds, [] { returnFreedMemory(); });
        GtkHost host(options);
        int status = host.run(delegate.get(), commandLine->urls);
        // A second launch only brings the running window forward; what it asked of a new window
        // does not apply there, and the user should know.
        if (host.wasRemote() && commandLine->device) {
            std::fprintf(stderr, "%s: already running; brought its window forward (--device %s applies only to a new start)\n",
                program.name.c_str(), commandLine->device->c_str());
        }
        return status;
    }

    options.scale = 2;
    HeadlessHost host(options);
    host.launch(delegate.get());
    // Let the first refresh, animations and delayed calls of the launch settle.
    host.advance(1.0);
    int status = 0;
    if (commandLine->print) {
        std::string out;
        for (Window* window : Window::allWindows())
            printTree(*window, 0, out);
        std::fputs(out.c_str(), stdout);
    }
    if (commandLine->snapshot || !commandLine->print) {
        std::string target = commandLine->snapshot ? *commandLine->snapshot : std::string("out");
        if (!commandLine->snapshot)
            std::fprintf(stderr, "%s: no display; rendering into %s/ instead\n", program.name.c_str(), target.c_str());
        std::string path = snapshotPath(target, program.name);
        auto written = host.writePNG(path);
        if (!written.ok()) {
            std::fprintf(stderr, "%s: %s\n", program.name.c_str(), written.error().c_str());
            status = 1;
        } else {
            std::printf("%s\n", path.c_str());
        }
    }
    host.terminate();
    return status;
}

} // namespace kit

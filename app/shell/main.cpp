#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"
#include "app/specs/DataKeeper.h"
#include "app/usage/UsageController.h"
#include "kit/device/Device.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/JSON.h"
#include "kit/host/ApplicationMain.h"
#include "kit/host/CommandLine.h"
#include "kit/host/HeadlessHost.h"

#include <cstdio>
#include <filesystem>

namespace {

constexpr const char* kProgram = "quarrin";

// The figures of one refresh as JSON, for scripts and for checking against other tools.
int printFigures()
{
    kit::Dict figures;
    figures.emplace("usage", SharedTools::usageDict());
    figures.emplace("bootTime", SharedTools::bootTimeString());
    figures.emplace("thisModelKey", DataKeeper::thisModelKey());
    // The interface records of one refresh, with their own keys.
    kit::Array ifaces;
    if (auto entries = kit::InterfaceConfigurationSource(kit::Device::root()).read(); entries.ok())
        UsageController::fillAddresses(ifaces, *entries);
    if (auto records = kit::InterfaceCounterSource().read(); records.ok())
        UsageController::fillCounters(ifaces, *records);
    figures.emplace("interfaces", std::move(ifaces));
    std::printf("%s\n", kit::toJSON(kit::Value(std::move(figures)), true).c_str());
    return 0;
}

// One PNG per tab after the first refresh, into a folder; a target ending in ".png" is that
// file, showing the first tab.
int writeSnapshots(const std::string& target, kit::HostOptions options)
{
    bool singleFile = std::filesystem::path(target).extension() == ".png";
    std::string folder = singleFile ? std::string() : target;
    std::error_code error;
    if (!singleFile)
        std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot create %s: %s\n", kProgram, folder.c_str(), error.message().c_str());
        return 1;
    }
    options.scale = 2;
    kit::HeadlessHost host(options);
    QNAppDelegate delegate;
    host.launch(&delegate);
    host.advance(QNAppDelegate::kRefreshInterval + 0.5);

    auto tabs = MainController::tabs();
    std::vector<std::string> names;
    for (auto& tab : tabs)
        names.push_back(tab.snapshotName);
    if (names.empty() || singleFile)
        names.resize(1, "main");

    int status = 0;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (auto* main = delegate.mainController(); main && index < tabs.size())
            main->setSelectedIndex(static_cast<int>(index));
        host.advance(0.5);
        std::string path = singleFile ? target : (std::filesystem::path(folder) / (names[index] + ".png")).string();
        if (auto written = host.writePNG(path); !written.ok()) {
            std::fprintf(stderr, "%s: %s\n", kProgram, written.error().c_str());
            status = 1;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    host.terminate();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    kit::ProgramInfo program;
    program.name = kProgram;
    program.version = kit::Bundle::mainBundle().objectForInfoDictionaryKey("CFBundleVersion").stringValue();
    program.window.applicationId = kit::Bundle::mainBundle().bundleIdentifier();
    program.window.title = "Quarrin";
    program.makeDelegate = [] { return std::make_unique<QNAppDelegate>(); };

    // --print and --snapshot are answered here; everything else is the host's.
    auto commandLine = kit::CommandLine::parse(argc, argv);
    if (commandLine.ok() && !commandLine->help && !commandLine->version && !commandLine->listDevices
        && (commandLine->print || commandLine->snapshot)) {
        if (commandLine->device) {
            auto profile = kit::DeviceProfile::named(*commandLine->device);
            if (!profile) {
                std::fprintf(stderr, "%s: unknown device '%s' (see --list-devices)\n", kProgram, commandLine->device->c_str());
                return 2;
            }
            kit::DeviceProfile::setCurrent(*profile);
        }
        if (commandLine->print)
            return printFigures();
        program.window.profile = kit::DeviceProfile::current();
        return writeSnapshots(*commandLine->snapshot, program.window);
    }
    return kit::applicationMain(argc, argv, program);
}

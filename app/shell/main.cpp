// SPDX-License-Identifier: MIT
#include "app/battery/BatteryController.h"
#include "app/compare/ComparisonBuilder.h"
#include "app/shell/MainController.h"
#include "app/shell/QNAppDelegate.h"
#include "app/specs/DataKeeper.h"
#include "app/techspecs/SpecsController.h"
#include "app/usage/UsageController.h"
#include "common/metrics/SharedTools.h"
#include "kit/base/Bundle.h"
#include "kit/base/JSON.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "kit/device/Device.h"
#include "kit/host/ApplicationMain.h"
#include "kit/host/CommandLine.h"
#include "kit/host/HeadlessHost.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

constexpr const char* kProgram = "quarrin";

// One charge reading as the Battery tab takes it.
kit::Dict batteryFigures()
{
    auto charge = BatteryController::readCharge();
    return { { "fraction", charge.level }, { "state", charge.state }, { "stateText", charge.stateText },
        { "hasBattery", charge.hasBattery } };
}

// The Tech Specs tab's model and its rows as [label, value] pairs, section after section.
kit::Value techSpecsFigures()
{
    std::string modelKey = SpecsController::chosenModelKey(DataKeeper::sortedModelsKeys());
    kit::Array rows;
    for (const kit::Value& section : SpecsController::makeDataModel(modelKey)) {
        const kit::Array* sectionRows = section[SpecsController::kRowsKey].asArray();
        if (!sectionRows)
            continue;
        for (const kit::Value& row : *sectionRows) {
            kit::Array pair;
            pair.push_back(row[SpecsController::kRowFirstItemKey]);
            pair.push_back(row[SpecsController::kRowSecondItemKey]);
            rows.push_back(kit::Value(std::move(pair)));
        }
    }
    return kit::Dict { { "modelKey", modelKey }, { "rows", std::move(rows) } };
}

// The model this machine was taken for: the identifier as the kit read it, the data set key it
// resolved to and that entry's names, so a user can see which key to add for an unknown machine.
kit::Value machineFigures()
{
    kit::Dict machine;
    machine.emplace("identifier", kit::Device::modelIdentifier());
    auto key = DataKeeper::thisModelKey();
    const auto entry = DataKeeper::specsForModel(key);
    machine.emplace("key", std::move(key));
    machine.emplace("name", entry["Name"].isString() ? entry["Name"].string() : std::string());
    machine.emplace("detailName", entry["DetailName"].isString() ? entry["DetailName"].string() : std::string());
    return kit::Value(std::move(machine));
}

// The comparison of the stored selection, as plain text. Like every observer it leaves the
// preferences alone: with nothing stored it shows this device's model without storing it.
kit::Array comparisonFigures()
{
    auto selection = ComparisonBuilder::selection(kit::UserDefaults::standardUserDefaults(), DataKeeper::thisModelKey(), false);
    auto sections = ComparisonBuilder::build(
        selection, DataKeeper::comparisonSpecsKeys(), [](std::string_view key) { return DataKeeper::specsForModel(key); },
        ComparisonBuilder::TextStyles {});
    return ComparisonBuilder::plainSections(sections);
}

// The interface records of a refresh, with the kit's word for each interface's kind.
kit::Array interfaceRecords()
{
    kit::Array ifaces;
    kit::InterfaceConfigurationSource configuration(kit::Device::root());
    if (auto entries = configuration.read(); entries.ok())
        UsageController::fillAddresses(ifaces, *entries);
    if (auto records = kit::InterfaceCounterSource().read(); records.ok())
        UsageController::fillCounters(ifaces, *records);
    for (kit::Value& record : ifaces) {
        if (kit::Dict* fields = record.asDict())
            fields->insert_or_assign("kind",
                std::string(UsageController::interfaceKindName(configuration.kindOf(record["Name"].string()))));
    }
    return ifaces;
}

// Rates need two readings: the first is taken as --print starts, the second here, at least a
// quarter of a second later (the other figures are gathered in between, so the wait is mostly
// theirs). Keys a record lacks are null, so scripts find every key in every record.
kit::Array interfaceFigures(InterfaceRates& rates, double firstReading)
{
    constexpr double kLeastInterval = 0.25;
    double waited = kit::RunLoop::main().now() - firstReading;
    if (waited < kLeastInterval)
        std::this_thread::sleep_for(std::chrono::duration<double>(kLeastInterval - waited));
    kit::Array ifaces = interfaceRecords();
    rates.update(ifaces, kit::RunLoop::main().now());
    for (kit::Value& record : ifaces) {
        if (kit::Dict* fields = record.asDict()) {
            for (const char* key : { "ipAddr", "ipv6Addr", "macAddr", "inBytes", "outBytes", "inRate", "outRate" })
                fields->emplace(key, kit::Value());
        }
    }
    return ifaces;
}

// The figures of one refresh as JSON, for scripts and for checking against other tools.
int printFigures()
{
    InterfaceRates rates;
    kit::Array firstInterfaces = interfaceRecords();
    double firstReading = kit::RunLoop::main().now();
    rates.update(firstInterfaces, firstReading);

    kit::Dict figures;
    figures.emplace("usage", SharedTools::usageDict());
    figures.emplace("bootTime", SharedTools::bootTimeString());
    figures.emplace("thisModelKey", DataKeeper::thisModelKey());
    figures.emplace("machine", machineFigures());
    figures.emplace("battery", batteryFigures());
    figures.emplace("techSpecs", techSpecsFigures());
    figures.emplace("compare", comparisonFigures());
    figures.emplace("interfaces", interfaceFigures(rates, firstReading));
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
    if (commandLine.ok() && !commandLine->help) {
        if (auto complete = kit::verifyMainBundle(); !complete.ok()) {
            std::fprintf(stderr, "%s: %s\n", kProgram, complete.error().c_str());
            return 1;
        }
    }
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
        // Looking changes nothing: no preference is written, no launch counted, no request sent.
        kit::UserDefaults::setReadOnly(true);
        QNAppDelegate::setObserving(true);
        if (commandLine->print)
            return printFigures();
        program.window.profile = kit::DeviceProfile::current();
        return writeSnapshots(*commandLine->snapshot, program.window);
    }
    return kit::applicationMain(argc, argv, program);
}

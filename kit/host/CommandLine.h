// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The command lines of Quarrin, Vistrel and kit-gallery: each program kind takes its own set of
// options, and its help lists just those. Anything else on the command line is an error answered
// with the usage line; the only plain arguments taken are application addresses
// ("velmora-quarrin://…"), which a desktop file hands over when another program opens one.
struct CommandLine {
    enum class Kind { Application, Widget, Gallery };

    std::optional<std::string> device; // --device NAME: a built-in device profile
    bool listDevices = false; // --list-devices
    std::optional<std::string> snapshot; // --snapshot DIR or FILE: render headless into PNGs
    bool print = false; // --print: print the figures (the gallery: the view tree) instead of drawing them
    bool version = false; // --version
    bool help = false; // --help, -h
    std::optional<std::string> interval; // --interval SECONDS (the widget), checked by the widget
    std::vector<std::string> urls;

    // Arguments without the program name. "--name=value" and "--name value" are both taken;
    // "--" ends the options.
    static Result<CommandLine> parse(std::span<const std::string_view> arguments, Kind kind = Kind::Application);
    static Result<CommandLine> parse(int argc, char** argv, Kind kind = Kind::Application);

    // "usage: PROGRAM [--device NAME] [--list-devices] [--snapshot DIR|FILE] [--print] [--version] [--help]"
    static std::string usageLine(std::string_view program, Kind kind = Kind::Application);
    // The usage line followed by one line per option of the kind.
    static std::string helpText(std::string_view program, Kind kind = Kind::Application);

    // Whether an argument is an address for the application (scheme "velmora-quarrin").
    static bool isApplicationURL(std::string_view argument);
};

inline constexpr std::string_view kApplicationURLScheme = "velmora-quarrin";

} // namespace kit

// SPDX-License-Identifier: MIT
#include "kit/host/CommandLine.h"

#include <cctype>

namespace kit {

namespace {

struct OptionSpec {
    std::string_view name;
    bool takesValue;
    std::string_view valueName;
    std::string_view help;
};

constexpr OptionSpec kApplicationOptions[] = {
    { "--device", true, "NAME", "lay the screens out for a built-in phone or tablet profile (see --list-devices)" },
    { "--list-devices", false, "", "list the built-in device profiles" },
    { "--snapshot", true, "DIR|FILE", "render every tab without a window into PNGs in a folder (or one .png file)" },
    { "--print", false, "", "print the figures as JSON" },
    { "--version", false, "", "print the program's version" },
    { "--help", false, "", "print this help" },
};

constexpr OptionSpec kWidgetOptions[] = {
    { "--interval", true, "SECONDS", "refresh every SECONDS while shown (0.5 to 3600; default 3)" },
    { "--device", true, "NAME", "lay the widget out as on a built-in phone or tablet profile" },
    { "--snapshot", true, "FILE|DIR", "render the widget without a window into a PNG" },
    { "--print", false, "", "print the figures as JSON" },
    { "--version", false, "", "print the program's version" },
    { "--help", false, "", "print this help" },
};

constexpr OptionSpec kGalleryOptions[] = {
    { "--device", true, "NAME", "lay the pages out for a built-in phone or tablet profile (see --list-devices)" },
    { "--list-devices", false, "", "list the built-in device profiles" },
    { "--snapshot", true, "DIR|FILE", "render the page without a window into a PNG" },
    { "--print", false, "", "print the view tree as text" },
    { "--version", false, "", "print the program's version" },
    { "--help", false, "", "print this help" },
};

std::span<const OptionSpec> optionsOf(CommandLine::Kind kind)
{
    switch (kind) {
    case CommandLine::Kind::Widget:
        return kWidgetOptions;
    case CommandLine::Kind::Gallery:
        return kGalleryOptions;
    case CommandLine::Kind::Application:
        break;
    }
    return kApplicationOptions;
}

const OptionSpec* findOption(CommandLine::Kind kind, std::string_view name)
{
    for (auto& option : optionsOf(kind)) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

} // namespace

bool CommandLine::isApplicationURL(std::string_view argument)
{
    // The scheme is case-insensitive; "velmora-quarrin:" alone (no slashes) is taken as well.
    if (argument.size() <= kApplicationURLScheme.size() || argument[kApplicationURLScheme.size()] != ':')
        return false;
    for (std::size_t i = 0; i < kApplicationURLScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(argument[i])) != kApplicationURLScheme[i])
            return false;
    }
    return true;
}

Result<CommandLine> CommandLine::parse(std::span<const std::string_view> arguments, Kind kind)
{
    CommandLine result;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument.empty() || argument[0] != '-') {
            if (!isApplicationURL(argument))
                return Error { "unexpected argument '" + std::string(argument) + "'" };
            result.urls.emplace_back(argument);
            continue;
        }
        if (argument == "-h")
            argument = "--help";

        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const OptionSpec* option = findOption(kind, name);
        if (!option)
            return Error { "unknown option '" + std::string(name) + "'" };

        std::string value;
        if (option->takesValue) {
            if (inlineValue) {
                value = std::string(*inlineValue);
            } else if (i + 1 < arguments.size()) {
                value = std::string(arguments[++i]);
            } else {
                return Error { "option '" + std::string(name) + "' needs a value" };
            }
            if (value.empty())
                return Error { "option '" + std::string(name) + "' needs a value" };
        } else if (inlineValue) {
            return Error { "option '" + std::string(name) + "' takes no value" };
        }

        if (name == "--device")
            result.device = value;
        else if (name == "--list-devices")
            result.listDevices = true;
        else if (name == "--snapshot")
            result.snapshot = value;
        else if (name == "--print")
            result.print = true;
        else if (name == "--version")
            result.version = true;
        else if (name == "--help")
            result.help = true;
        else if (name == "--interval")
            result.interval = value;
    }
    return result;
}

Result<CommandLine> CommandLine::parse(int argc, char** argv, Kind kind)
{
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) {
        if (argv[i])
            arguments.emplace_back(argv[i]);
    }
    return parse(std::span<const std::string_view>(arguments), kind);
}

std::string CommandLine::usageLine(std::string_view program, Kind kind)
{
    std::string line = "usage: " + std::string(program);
    for (auto& option : optionsOf(kind)) {
        line += " [" + std::string(option.name);
        if (option.takesValue)
            line += " " + std::string(option.valueName);
        line += "]";
    }
    return line;
}

std::string CommandLine::helpText(std::string_view program, Kind kind)
{
    std::string text = usageLine(program, kind) + "\n";
    for (auto& option : optionsOf(kind)) {
        std::string left = "  " + std::string(option.name) + (option.takesValue ? " " + std::string(option.valueName) : "");
        left.resize(std::max<std::size_t>(left.size() + 1, 26), ' ');
        text += left + std::string(option.help) + "\n";
    }
    return text;
}

} // namespace kit

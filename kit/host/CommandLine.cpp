#include "kit/host/CommandLine.h"

#include <cctype>

namespace kit {

namespace {

struct OptionSpec {
    std::string_view name;
    bool takesValue;
    std::string_view help;
};

constexpr OptionSpec kOptions[] = {
    { "--device", true, "use a built-in device profile (see --list-devices)" },
    { "--list-devices", false, "list the built-in device profiles" },
    { "--snapshot", true, "render the screens without a display into PNGs (a folder or a .png file)" },
    { "--print", false, "describe the screens as text on standard output" },
    { "--version", false, "print the program's version" },
    { "--help", false, "print this help" },
};

const OptionSpec* findOption(std::string_view name)
{
    for (auto& option : kOptions) {
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

Result<CommandLine> CommandLine::parse(std::span<const std::string_view> arguments)
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
        const OptionSpec* option = findOption(name);
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
    }
    return result;
}

Result<CommandLine> CommandLine::parse(int argc, char** argv)
{
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) {
        if (argv[i])
            arguments.emplace_back(argv[i]);
    }
    return parse(std::span<const std::string_view>(arguments));
}

std::string CommandLine::usageLine(std::string_view program)
{
    return "usage: " + std::string(program)
        + " [--device NAME] [--list-devices] [--snapshot DIR|FILE] [--print] [--version] [--help]";
}

std::string CommandLine::helpText(std::string_view program)
{
    std::string text = usageLine(program) + "\n";
    for (auto& option : kOptions) {
        std::string left = "  " + std::string(option.name) + (option.takesValue ? " VALUE" : "");
        left.resize(std::max<std::size_t>(left.size() + 1, 24), ' ');
        text += left + std::string(option.help) + "\n";
    }
    return text;
}

} // namespace kit

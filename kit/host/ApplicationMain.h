// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Result.h"
#include "kit/host/CommandLine.h"
#include "kit/host/HostOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace kit {

class ApplicationDelegate;

// What a program's main() hands to applicationMain().
struct ProgramInfo {
    std::string name; // "quarrin", used in the usage line, the snapshot's file name and as the window class
    // Which options the program takes (and its --help lists).
    CommandLine::Kind kind = CommandLine::Kind::Application;
    std::string version; // printed by --version
    // The window: the application id for single-instance, the title, and for the widget its
    // size, no status bar and no decoration.
    HostOptions window;
    // Makes the application delegate, once.
    std::function<std::unique_ptr<ApplicationDelegate>()> makeDelegate;
};

// The common entry of the programs: reads the command line (--device, --list-devices,
// --snapshot, --print, --version, --help; anything else prints the usage line and returns 2),
// then runs the application in a GtkHost, or, for --snapshot/--print or without a display,
// in a HeadlessHost that writes a PNG (or the view tree as text) and returns.
int applicationMain(int argc, char** argv, const ProgramInfo& program);

// Whether the main bundle is complete enough to run: its information list with a version, an
// English string table and its images. The error names the folder it looked in and how it was
// found, for a message on standard error.
Result<void> verifyMainBundle();

} // namespace kit

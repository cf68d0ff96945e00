// SPDX-License-Identifier: MIT
#include "kit/host/CommandLine.h"
#include "kit/host/GtkHost.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/gallery/GalleryScreens.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr const char* kProgram = "kit-gallery";

// Headless: every screen at 1x and 2x into the folder.
int writeSnapshots(const std::string& folder, const kit::HostOptions& base)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int status = 0;
    for (auto& screen : kit::galleryScreens()) {
        for (double scale : { 1.0, 2.0 }) {
            kit::HostOptions options = base;
            options.scale = scale;
            kit::HeadlessHost host(options);
            kit::Size size = host.screenSize();
            host.show(screen.build(size.width, size.height - kit::kStatusBarHeight));
            host.advance(0.5);
            std::string path = folder + "/" + screen.name + (scale > 1 ? "@2x" : "") + ".png";
            auto written = host.writePNG(path);
            if (!written.ok()) {
                std::fprintf(stderr, "%s: %s\n", kProgram, written.error().c_str());
                status = 1;
            } else {
                std::printf("%s\n", path.c_str());
            }
        }
    }
    return status;
}

void printTree(const kit::View& view, int depth)
{
    kit::Rect f = view.frame();
    std::printf("%*s%s (%g, %g, %g, %g)", depth * 2, "", view.className().c_str(), f.x(), f.y(), f.width(), f.height());
    if (auto* label = dynamic_cast<const kit::Label*>(&view))
        std::printf(" \"%s\"", label->text().c_str());
    std::printf("\n");
    for (auto& subview : view.subviews())
        printTree(*subview, depth + 1);
}

// The window: the current screen under a bar with a button that moves to the next one.
std::shared_ptr<kit::View> makeWindowContent(kit::Size size)
{
    auto root = kit::View::create<kit::View>();
    root->setFrame({ 0, 0, size.width, size.height });
    root->setBackgroundColor(kit::Color::white());
    constexpr double bar = 36;
    auto holder = kit::View::create<kit::View>();
    holder->setFrame({ 0, bar, size.width, size.height - bar });
    holder->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
    holder->setClipsToBounds(true);
    auto title = kit::View::create<kit::Label>(kit::galleryScreens().front().name);
    title->setFrame({ 12, 0, size.width - 120, bar });
    auto next = kit::Button::system("Next");
    next->setFrame({ size.width - 96, 0, 84, bar });
    next->setAutoresizingMask(kit::FlexibleLeftMargin);
    auto index = std::make_shared<std::size_t>(0);
    kit::View* holderView = holder.get();
    kit::Label* titleView = title.get();
    auto showScreen = [holderView, titleView, index] {
        holderView->removeAllSubviews();
        auto& screen = kit::galleryScreens()[*index];
        auto content = screen.build(holderView->bounds().width(), holderView->bounds().height());
        content->setAutoresizingMask(kit::FlexibleWidth | kit::FlexibleHeight);
        holderView->addSubview(content);
        titleView->setText(screen.name);
    };
    next->addAction(kit::ControlEvent::TouchUpInside, [showScreen, index](kit::Control&) {
        *index = (*index + 1) % kit::galleryScreens().size();
        showScreen();
    });
    root->addSubview(holder);
    root->addSubview(title);
    root->addSubview(next);
    showScreen();
    return root;
}

} // namespace

int main(int argc, char** argv)
{
    auto commandLine = kit::CommandLine::parse(argc, argv, kit::CommandLine::Kind::Gallery);
    if (!commandLine.ok()) {
        std::fprintf(stderr, "%s: %s\n%s\n", kProgram, commandLine.error().c_str(),
            kit::CommandLine::usageLine(kProgram, kit::CommandLine::Kind::Gallery).c_str());
        return 2;
    }
    if (commandLine->help) {
        std::fputs(kit::CommandLine::helpText(kProgram, kit::CommandLine::Kind::Gallery).c_str(), stdout);
        return 0;
    }
    if (commandLine->version) {
        std::printf("%s 1.0\n", kProgram);
        return 0;
    }
    if (commandLine->listDevices) {
        for (auto& profile : kit::DeviceProfile::builtInProfiles())
            std::printf("%s\n", profile.name.c_str());
        return 0;
    }
    if (commandLine->device) {
        auto profile = kit::DeviceProfile::named(*commandLine->device);
        if (!profile) {
            std::fprintf(stderr, "%s: unknown device '%s' (see --list-devices)\n", kProgram, commandLine->device->c_str());
            return 2;
        }
        kit::DeviceProfile::setCurrent(*profile);
    }

    kit::HostOptions options;
    options.profile = kit::DeviceProfile::current();
    options.title = "Kit gallery";
    options.applicationId = "com.velmora.KitGallery";
    if (commandLine->snapshot)
        return writeSnapshots(*commandLine->snapshot, options);
    if (commandLine->print) {
        for (auto& screen : kit::galleryScreens()) {
            std::printf("%s:\n", screen.name.c_str());
            printTree(*screen.build(options.profile.screenSize.width, options.profile.screenSize.height - 20), 1);
        }
        return 0;
    }
    const char* display = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    if (!(display && *display) && !(wayland && *wayland)) {
        std::fprintf(stderr, "%s: no display; rendering into out/ instead\n", kProgram);
        return writeSnapshots("out", options);
    }

    kit::GtkHost host(options);
    host.onPresentRequested = [] {
        std::printf("present requested\n");
        std::fflush(stdout);
    };
    host.onWindowShown = [] {
        std::printf("window shown\n");
        std::fflush(stdout);
    };
    bool firstFrame = true;
    host.onFrameDrawn = [&host, &firstFrame] {
        if (!firstFrame)
            return;
        firstFrame = false;
        std::printf("first frame at scale %g: %d tiles (%s)\n", host.scaleFactor(), host.frameTiles(),
            host.rendererName().c_str());
        std::fflush(stdout);
    };
    kit::Size size = host.windowSize();
    return host.runShowing(makeWindowContent({ size.width, size.height - kit::kStatusBarHeight }), commandLine->urls);
}
